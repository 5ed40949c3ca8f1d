#include "media/OutputContainer.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace kmx {
namespace {

struct ContainerName {
    const char* extension;
    OutputContainer container;
};

constexpr std::array kExtensions = {
    ContainerName{"avi", OutputContainer::Avi}, ContainerName{"mp4", OutputContainer::Mp4},
    ContainerName{"m4v", OutputContainer::Mp4}, ContainerName{"mov", OutputContainer::Mov},
    ContainerName{"mkv", OutputContainer::Mkv}, ContainerName{"webm", OutputContainer::WebM},
};

struct ContainerFacts {
    OutputContainer container;
    const char* title;
    const char* extension;
    const char* muxer; // libavformat's name; null for our own AVI writer
};

constexpr std::array kContainers = {
    ContainerFacts{OutputContainer::Avi, "AVI", ".avi", nullptr},
    ContainerFacts{OutputContainer::Mp4, "MP4", ".mp4", "mp4"},
    ContainerFacts{OutputContainer::Mov, "MOV", ".mov", "mov"},
    ContainerFacts{OutputContainer::Mkv, "MKV", ".mkv", "matroska"},
    ContainerFacts{OutputContainer::WebM, "WebM", ".webm", "webm"},
};

const ContainerFacts& Facts(OutputContainer container) {
    for (const ContainerFacts& facts : kContainers) {
        if (facts.container == container) {
            return facts;
        }
    }
    return kContainers[0];
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

} // namespace

std::optional<OutputContainer> ContainerForPath(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    // ".hidden" is a name, not an extension.
    if (dot == std::string::npos || dot <= nameStart) {
        return OutputContainer::Avi;
    }
    const std::string extension = Lower(path.substr(dot + 1));
    for (const ContainerName& entry : kExtensions) {
        if (extension == entry.extension) {
            return entry.container;
        }
    }
    return std::nullopt;
}

std::optional<OutputContainer> ContainerForName(const std::string& name) {
    const std::string lower = Lower(name);
    for (OutputContainer container :
         {OutputContainer::Avi, OutputContainer::Mp4, OutputContainer::Mov, OutputContainer::Mkv,
          OutputContainer::WebM}) {
        if ("." + lower == ContainerExtension(container)) {
            return container;
        }
    }
    return std::nullopt;
}

const char* ContainerTitle(OutputContainer container) {
    return Facts(container).title;
}

const char* ContainerExtension(OutputContainer container) {
    return Facts(container).extension;
}

const char* ContainerMuxer(OutputContainer container) {
    return Facts(container).muxer;
}

const char* SupportedOutputExtensions() {
    return ".avi, .mp4, .m4v, .mov, .mkv, .webm";
}

} // namespace kmx
