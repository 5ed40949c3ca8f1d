#include "cli/CodecsCommand.h"
#include "cli/TerminalText.h"

#include "codec/CompressorInfo.h"
#include "codec/ContainerCodecs.h"

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
            PrintLine(stderr, "kadrimix-cli codecs: unknown option '%s'", option.c_str());
            std::fputc('\n', stderr);
            PrintCodecsUsage(stderr);
            return 2;
        }
    }
    const std::vector<kmx::CompressorListing> list = kmx::ListCompressors(all);
    PrintLine(stdout, "%-6s  %-16s  %-8s  %-22s  %s", "FOURCC", "Name", "Kind", "Containers",
              "Description");
    for (const kmx::CompressorListing& item : list) {
        PrintLine(stdout, "%-6s  %-16s  %-8s  %-22s  %s%s", kmx::FourccText(item.fourcc).c_str(),
                  item.shortName.c_str(), item.lossless ? "lossless" : "lossy",
                  kmx::ContainersOf(item.fourcc).c_str(), item.description.c_str(),
                  item.available ? "" : "  [not available]");
    }
    return 0;
}
