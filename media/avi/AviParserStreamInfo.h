// Stream information from a stream's header chunk, with the repairs that
// keep every later computation sound.
#pragma once

#include "media/AviRecords.h"
#include "media/avi/AviParser.h"

#include <cstdint>

namespace kmx {

// The smallest stream header chunk that holds every field up to dwSampleSize.
inline constexpr std::size_t kMinStreamHeaderSize = 48;
inline constexpr std::size_t kMinVideoFormatSize = 40;
// A WAVEFORMAT without wBitsPerSample, as the oldest files have it.
inline constexpr std::size_t kMinAudioFormatSize = 14;

// Fills info from the stream's header (which must be at least
// kMinStreamHeaderSize bytes) and format. dwLength becomes length, the samples
// that really exist. A zero scale or rate is replaced (video: the main
// header's frame period, audio: the format's byte or sample rate, else 1/25)
// so that the conversions never divide by zero; an empty rcFrame of a video
// stream becomes the picture's size.
void MakeStreamInfo(const AviStreamList& stream, const AviLayout& layout, std::uint32_t length,
                    AVISTREAMINFOA& info);

} // namespace kmx
