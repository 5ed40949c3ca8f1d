// Which compressors each output container holds, so that a run is refused
// before anything is created when the two do not fit.
#pragma once

#include "codec/CompressorTable.h"
#include "media/OutputContainer.h"

#include <cstdint>
#include <string>

namespace kmx {

// MP4: H.264, HEVC, AV1; MOV: those and Motion JPEG; WebM: VP9, AV1; MKV:
// every compressor (uncompressed frames stay AVI's); AVI: every compressor
// but HEVC, AV1 and VP9.
bool ContainerHolds(OutputContainer container, std::uint32_t fourcc);
// The FourCCs of this machine's compressors that the container holds, for
// messages: "H264, HEVC, AV01".
std::string FittingCompressors(OutputContainer container);
// Whether a forward run copies audio of this codec (AVCodecID) into the
// container as it is, rather than encoding it anew: AAC into MP4 and MOV.
bool ContainerTakesAudio(OutputContainer container, int codecId);
// The containers a compressor goes into: "AVI, MKV".
std::string ContainersOf(std::uint32_t fourcc);

} // namespace kmx
