// kadrimix-cli: the conversion engine without a display.
#include "cli/SelfCheck.h"
#include "engine/Product.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

void PrintUsage(std::FILE* to) {
    std::fprintf(to,
                 "Usage: kadrimix-cli COMMAND [OPTIONS]\n"
                 "\n"
                 "Commands:\n"
                 "  selfcheck     check the engine's building blocks on this machine\n"
                 "\n"
                 "Options:\n"
                 "  --version     print the program's name and version\n"
                 "  --help        print this help\n");
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        PrintUsage(stderr);
        return 2;
    }
    const std::string command = argv[1];
    if (command == "--version" || command == "version") {
        std::printf("%s %s\n", kProductName, kProductVersion);
        return 0;
    }
    if (command == "--help" || command == "-h" || command == "help") {
        PrintUsage(stdout);
        return 0;
    }
    if (command == "selfcheck") {
        return RunSelfCheck();
    }
    std::fprintf(stderr, "kadrimix-cli: unknown command '%s'\n\n", command.c_str());
    PrintUsage(stderr);
    return 2;
}
