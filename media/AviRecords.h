// The platform records of the AVI and DIB world, with the platform's field
// order and sizes, and their explicit little-endian serialisation.
#pragma once

#include <cstddef>
#include <cstdint>

// These records keep the platform's names, so they live in the global namespace
// like the rest of the program's public records.

struct RECT {
    std::int32_t left;
    std::int32_t top;
    std::int32_t right;
    std::int32_t bottom;
};

struct BITMAPINFOHEADER {
    std::uint32_t biSize;
    std::int32_t biWidth;
    std::int32_t biHeight;
    std::uint16_t biPlanes;
    std::uint16_t biBitCount;
    std::uint32_t biCompression;
    std::uint32_t biSizeImage;
    std::int32_t biXPelsPerMeter;
    std::int32_t biYPelsPerMeter;
    std::uint32_t biClrUsed;
    std::uint32_t biClrImportant;
};

#pragma pack(push, 2)
struct WAVEFORMATEX {
    std::uint16_t wFormatTag;
    std::uint16_t nChannels;
    std::uint32_t nSamplesPerSec;
    std::uint32_t nAvgBytesPerSec;
    std::uint16_t nBlockAlign;
    std::uint16_t wBitsPerSample;
    std::uint16_t cbSize;
};
#pragma pack(pop)

struct AVISTREAMINFOA {
    std::uint32_t fccType;
    std::uint32_t fccHandler;
    std::uint32_t dwFlags;
    std::uint32_t dwCaps;
    std::uint16_t wPriority;
    std::uint16_t wLanguage;
    std::uint32_t dwScale;
    std::uint32_t dwRate;
    std::uint32_t dwStart;
    std::uint32_t dwLength;
    std::uint32_t dwInitialFrames;
    std::uint32_t dwSuggestedBufferSize;
    std::uint32_t dwQuality;
    std::uint32_t dwSampleSize;
    RECT rcFrame;
    std::uint32_t dwEditCount;
    std::uint32_t dwFormatChangeCount;
    char szName[64];
};

static_assert(sizeof(RECT) == 16);
static_assert(sizeof(BITMAPINFOHEADER) == 40);
static_assert(sizeof(WAVEFORMATEX) == 18);
static_assert(sizeof(AVISTREAMINFOA) == 140);

inline constexpr std::uint32_t BI_RGB = 0;
inline constexpr std::uint16_t WAVE_FORMAT_PCM = 1;

namespace kmx {

inline constexpr std::size_t kRectSize = 16;
inline constexpr std::size_t kBitmapInfoHeaderSize = 40;
inline constexpr std::size_t kWaveFormatExSize = 18;
// WAVEFORMATEXTENSIBLE: the format tag that names it, its size, and where its
// sub-format GUID lies, whose first two bytes are the format tag it stands for.
inline constexpr std::uint16_t kWaveFormatExtensible = 0xFFFE;
inline constexpr std::size_t kWaveFormatExtensibleSize = 40;
inline constexpr std::size_t kWaveSubFormatOffset = 24;
inline constexpr std::size_t kAviStreamInfoSize = 140;

// Store* writes exactly the record's size in bytes; Load* reads exactly that many.
void StoreRecord(std::uint8_t* out, const RECT& r);
void LoadRecord(const std::uint8_t* in, RECT& r);
void StoreRecord(std::uint8_t* out, const BITMAPINFOHEADER& h);
void LoadRecord(const std::uint8_t* in, BITMAPINFOHEADER& h);
void StoreRecord(std::uint8_t* out, const WAVEFORMATEX& w);
void LoadRecord(const std::uint8_t* in, WAVEFORMATEX& w);
void StoreRecord(std::uint8_t* out, const AVISTREAMINFOA& s);
void LoadRecord(const std::uint8_t* in, AVISTREAMINFOA& s);

// Time in milliseconds of a sample: sample x scale x 1000 / rate, truncated,
// in 64-bit integers. -1 for a negative sample or a zero rate; INT64_MAX when
// the result does not fit.
std::int64_t SampleToMilliseconds(std::int64_t sample, std::uint32_t scale, std::uint32_t rate);

// Sample at a time: ms x rate / (scale x 1000), truncated. -1 for a negative
// time or a zero scale.
std::int64_t MillisecondsToSample(std::int64_t ms, std::uint32_t scale, std::uint32_t rate);

} // namespace kmx
