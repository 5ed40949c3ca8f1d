// Writes small test-pattern files with our own AVI writer, as seeds for the
// fuzz targets: seed-writer <folder>.
#include "pattern/TestPattern.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    struct Seed {
        const char* name;
        int bits;
        bool audio;
        int frames;
    };
    const Seed seeds[] = {
        {"writer-16.avi", 16, false, 3},
        {"writer-24-audio.avi", 24, true, 4},
        {"writer-32.avi", 32, false, 2},
    };
    for (const Seed& seed : seeds) {
        kmx::SampleAviOptions options;
        options.width = 34;
        options.height = 18;
        options.bitsPerPixel = seed.bits;
        options.frames = seed.frames;
        options.audio = seed.audio;
        options.audioRate = 8000;
        options.audioChannels = 1;
        std::string error;
        if (!kmx::WriteSampleAvi(folder + "/" + seed.name, options, &error)) {
            std::fprintf(stderr, "%s: %s\n", seed.name, error.c_str());
            return 1;
        }
    }
    return 0;
}
