#include "cli/CodecsCommand.h"
#include "cli/TerminalText.h"

#include "codec/CompressorInfo.h"

#include <cstdio>
#include <string>

namespace {

void PrintCodecsUsage(std::FILE* to) {
    std::fprintf(to, "Usage: kadrimix-cli codecs [--all]\n"
                     "\n"
                     "Lists the video compressors: FOURCC, name, lossless or lossy, description.\n"
                     "  --all     also list the compressors that are not available here\n");
}

} // namespace

int RunCodecsCommand(int argc, char** argv) {
    bool all = false;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--all") {
            all = true;
        } else if (option == "--help" || option == "-h") {
            PrintCodecsUsage(stdout);
            return 0;
        } else {
            std::fprintf(stderr, "kadrimix-cli codecs: unknown option '%s'\n\n",
                         Printable(option).c_str());
            PrintCodecsUsage(stderr);
            return 2;
        }
    }
    const std::vector<kmx::CompressorListing> list = kmx::ListCompressors(all);
    std::printf("%-6s  %-16s  %-8s  %s\n", "FOURCC", "Name", "Kind", "Description");
    for (const kmx::CompressorListing& item : list) {
        std::printf("%-6s  %-16s  %-8s  %s%s\n", kmx::FourccText(item.fourcc).c_str(),
                    item.shortName.c_str(), item.lossless ? "lossless" : "lossy",
                    item.description.c_str(), item.available ? "" : "  [not available]");
    }
    return 0;
}
