// Stream information and format blocks for the streams of a libavformat
// input, in the shape the AVI reader reports them.
#pragma once

#include "media/AviRecords.h"
#include "media/decode/ScanType.h"

#include <cstdint>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/rational.h>
}

struct AVFormatContext;
struct AVStream;

namespace kmx {

class CPcmAudio;

// The container's name for people: "MP4" or "QuickTime / MOV" by the
// file's brand, else libavformat's long name ("Matroska / WebM", ...).
std::string LavfContainerName(const AVFormatContext& context);

// The stream's pixel shape (the container's word before the codec's),
// reduced to terms below 65536; false when neither says.
bool LavfSampleAspect(const AVStream& stream, int* num, int* den);

// Clockwise degrees (0, 90, 180 or 270) that turn the stream's pictures
// upright, from its display matrix; 0 without one.
int LavfRotation(const AVStream& stream);

// The scan type the stream's field order declares; Unknown when it names
// none.
ScanType LavfScanType(const AVStream& stream);

// A BITMAPINFOHEADER of the coded picture (24 bits, the codec's tag as
// compression) followed by the codec data. Empty for absurd sizes.
std::vector<std::uint8_t> MakeLavfVideoFormat(const AVStream& stream);

// The stream's nominal frame rate (its average, else r_frame_rate) as
// num / den, both within 32 bits; 25 / 1 when the stream names none.
AVRational LavfNominalRate(const AVStream& stream);

// 'vids': the codec's FOURCC, rate (frames per second, num and den both
// positive) as dwRate / dwScale, frames as dwLength, the picture handed out
// (width x height) as rcFrame.
void MakeLavfVideoInfo(const AVStream& stream, AVRational rate, std::uint32_t frames,
                       std::uint32_t largest, std::int32_t width, std::int32_t height,
                       AVISTREAMINFOA& info);

// 'auds' for 16-bit PCM as ffmpeg's AVI muxer describes it: one block (a
// sample frame) as the sample, dwRate / dwScale = sample frames per second.
void MakeLavfAudioInfo(const CPcmAudio& pcm, std::uint32_t length, AVISTREAMINFOA& info);

} // namespace kmx
