#include "tests/support/DamagedInput.h"

#include "media/io/ByteOrder.h"
#include "tests/support/ExternalTools.h"
#include "tests/support/TempDir.h"

#include <cstdint>
#include <vector>

bool WriteDamagedH264Avi(const std::string& path) {
    if (RunTool({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                 "testsrc2=size=320x240:rate=25", "-frames:v", "100", "-c:v", "libx264", "-g", "50",
                 "-pix_fmt", "yuv420p", path}) != 0) {
        return false;
    }
    std::vector<std::uint8_t> bytes = ReadWholeFile(path);
    std::vector<std::size_t> chunks;
    for (std::size_t at = Find(bytes, "00dc"); at != std::string::npos;
         at = Find(bytes, "00dc", at + 1)) {
        chunks.push_back(at);
    }
    for (const std::size_t frame : {20u, 40u, 70u}) {
        if (frame >= chunks.size()) {
            return false;
        }
        const std::size_t at = chunks[frame];
        const std::uint32_t size = kmx::LoadU32(&bytes[at + 4]);
        // A stretch of the frame's middle third, well inside the chunk.
        for (std::size_t k = at + 8 + size / 3; k < at + 8 + 2 * size / 3 && k < bytes.size();
             ++k) {
            bytes[k] ^= 0x5A;
        }
    }
    return WriteBytes(path, bytes);
}
