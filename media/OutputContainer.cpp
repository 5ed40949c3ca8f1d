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
    switch (container) {
    case OutputContainer::Avi:
        return "AVI";
    case OutputContainer::Mp4:
        return "MP4";
    case OutputContainer::Mov:
        return "MOV";
    case OutputContainer::Mkv:
        return "MKV";
    case OutputContainer::WebM:
        return "WebM";
    }
    return "AVI";
}

const char* ContainerExtension(OutputContainer container) {
    switch (container) {
    case OutputContainer::Avi:
        return ".avi";
    case OutputContainer::Mp4:
        return ".mp4";
    case OutputContainer::Mov:
        return ".mov";
    case OutputContainer::Mkv:
        return ".mkv";
    case OutputContainer::WebM:
        return ".webm";
    }
    return ".avi";
}

const char* SupportedOutputExtensions() {
    return ".avi, .mp4, .m4v, .mov, .mkv, .webm";
}

} // namespace kmx
