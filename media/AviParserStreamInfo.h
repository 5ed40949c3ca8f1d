// Stream information from a stream's header chunk, with the repairs that
// keep every later computation sound, and the conversions between sample
// numbers and milliseconds.
#pragma once

#include "media/AviParser.h"
#include "media/AviRecords.h"

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

// Time in milliseconds of a sample: sample x scale x 1000 / rate, truncated,
// in 64-bit integers. -1 for a negative sample or a zero rate; INT64_MAX when
// the result does not fit.
std::int64_t SampleToMilliseconds(std::int64_t sample, std::uint32_t scale, std::uint32_t rate);

// Sample at a time: ms x rate / (scale x 1000), truncated. -1 for a negative
// time or a zero scale.
std::int64_t MillisecondsToSample(std::int64_t ms, std::uint32_t scale, std::uint32_t rate);

} // namespace kmx
