#include "cli/CodecsCommand.h"
#include "cli/TerminalText.h"

#include "codec/CompressorInfo.h"
#include "codec/ContainerCodecs.h"

#include <cstdio>

int RunCodecsCommand(bool all) {
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
