// Opening an AVI that has no index, so that every chunk header must be found
// by walking the movie list: the worst case is a file of nothing but empty
// chunks. Prints the open time, the header rate and the peak memory.
//
//   kadrimix_scan_bench [CHUNKS] [FOLDER]   (default 16777215 chunks, $TMPDIR or /tmp)
#include "media/AviReader.h"
#include "pattern/TestPattern.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

// An interrupted file: the header of a one-frame sample, then `chunks`
// empty '00dc' chunks, with the RIFF and movie sizes left at 0 as a writer
// that never finished leaves them.
bool WriteScanFile(const std::string& path, long chunks) {
    const std::string seed = path + ".seed";
    kmx::SampleAviOptions options;
    options.width = 16;
    options.height = 16;
    options.frames = 1;
    if (!kmx::WriteSampleAvi(seed, options)) {
        return false;
    }
    std::ifstream in(seed, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::remove(seed.c_str());
    const std::string movi = "movi";
    const auto at = std::search(bytes.begin(), bytes.end(), movi.begin(), movi.end());
    if (at == bytes.end()) {
        return false;
    }
    bytes.resize(static_cast<std::size_t>(at - bytes.begin()) + 4);
    std::memset(bytes.data() + 4, 0, 4);                // RIFF size
    std::memset(bytes.data() + bytes.size() - 8, 0, 4); // movi size
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    std::vector<char> block(8 * 65536);
    for (std::size_t i = 0; i < block.size(); i += 8) {
        std::memcpy(&block[i], "00dc\0\0\0\0", 8);
    }
    for (long left = chunks; left > 0;) {
        const long n = std::min<long>(left, 65536);
        out.write(block.data(), n * 8);
        left -= n;
    }
    return static_cast<bool>(out);
}

} // namespace

int main(int argc, char** argv) {
    const long chunks = argc > 1 ? std::atol(argv[1]) : 16777215;
    const char* tmp = std::getenv("TMPDIR");
    const std::string folder = argc > 2 ? argv[2] : (tmp != nullptr ? tmp : "/tmp");
    const std::string path = folder + "/kadrimix-scan-bench.avi";
    if (chunks <= 0 || !WriteScanFile(path, chunks)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
    }
    const auto start = std::chrono::steady_clock::now();
    CAviReader reader;
    const bool opened = reader.Open(path.c_str());
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const long frames = opened ? reader.GetVideoLength(0) : -1;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const double megabytes = static_cast<double>(chunks) * 8 / 1e6;
    std::printf(
        "| %ld empty chunks | %.0f MB | open %.2f s | %.0f MB/s | %ld frames | peak %ld MiB "
        "|\n",
        chunks, megabytes, seconds, megabytes / seconds, frames, usage.ru_maxrss / 1024);
    reader.Close();
    std::remove(path.c_str());
    return opened ? 0 : 1;
}
