#include "tests/support/DamagedInput.h"

#include "tests/support/ExternalTools.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <vector>

bool WriteDamagedH264Avi(const std::string& path) {
    if (RunTool({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                 "testsrc2=size=320x240:rate=25", "-frames:v", "100", "-c:v", "libx264", "-g", "50",
                 "-pix_fmt", "yuv420p", path}) != 0) {
        return false;
    }
    std::vector<char> bytes;
    {
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    const std::string id = "00dc";
    std::vector<std::size_t> chunks;
    for (auto it = bytes.begin();
         (it = std::search(it, bytes.end(), id.begin(), id.end())) != bytes.end(); ++it) {
        chunks.push_back(static_cast<std::size_t>(it - bytes.begin()));
    }
    for (const std::size_t frame : {20u, 40u, 70u}) {
        if (frame >= chunks.size()) {
            return false;
        }
        const std::size_t at = chunks[frame];
        std::uint32_t size = 0;
        for (int i = 3; i >= 0; --i) {
            size = (size << 8) |
                   static_cast<unsigned char>(bytes[at + 4 + static_cast<std::size_t>(i)]);
        }
        // A stretch of the frame's middle third, well inside the chunk.
        for (std::size_t k = at + 8 + size / 3; k < at + 8 + 2 * size / 3 && k < bytes.size();
             ++k) {
            bytes[k] = static_cast<char>(bytes[k] ^ 0x5A);
        }
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}
