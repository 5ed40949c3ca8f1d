// The containers the program writes, chosen by the output's name or by name
// of the container: AVI by our own RIFF code, the others by libavformat.
#pragma once

#include <optional>
#include <string>

namespace kmx {

enum class OutputContainer { Avi, Mp4, Mov, Mkv, WebM };

// The container of an output file by its extension (any case): .avi; .mp4
// and .m4v; .mov; .mkv; .webm. A name without extension is an AVI; any
// other extension has no container.
std::optional<OutputContainer> ContainerForPath(const std::string& path);
// The container of a name as the console takes it: avi, mp4, mov, mkv, webm.
std::optional<OutputContainer> ContainerForName(const std::string& name);
// "AVI", "MP4", "MOV", "MKV", "WebM".
const char* ContainerTitle(OutputContainer container);
// The extension the container's files get, with its dot: ".avi", ".mp4", ...
const char* ContainerExtension(OutputContainer container);
// libavformat's muxer of the container; null for AVI, which is our own.
const char* ContainerMuxer(OutputContainer container);
// The extensions an output may have, for messages: ".avi, .mp4, .m4v, .mov, .mkv, .webm".
const char* SupportedOutputExtensions();

} // namespace kmx
