// The compressors this program offers, keyed by the FOURCC that goes into the
// AVI stream header and format. Each entry names the libavcodec encoder that
// does the work, the pixel format the encoder is fed with, and how the user's
// quality, key-frame rate and data rate map onto the encoder's own options.
#pragma once

#include <cstdint>
#include <span>

namespace kmx {

// How COMPVARS.lQ reaches the encoder.
enum class QualityControl {
    None,          // the encoder has no quality setting
    QScale,        // fixed quantiser 31 (low) .. 2 (high)
    Crf,           // x264 / x265 constant rate factor 51 (low) .. 1 (high)
    Crf63,         // SVT-AV1 / libvpx-vp9 constant rate factor 63 (low) .. 1 (high)
    CinepakLambda, // rate-distortion weight of the cinepak encoder
};

// How COMPVARS.lKey reaches the encoder.
enum class KeyControl {
    IntraOnly,     // every frame is a key frame; lKey has nothing to do
    GopSize,       // key frame every lKey frames (gop_size)
    GopAndKeyInt,  // key frame every lKey frames; cinepak reads gop_size or, in
                   // later libavcodec versions, keyint_min
    KeyIntMinLess, // key frame after keyint_min non-key frames (msvideo1)
};

struct CompressorEntry {
    std::uint32_t fourcc;
    const char* shortName;   // ICINFO.szName, at most 15 characters
    const char* description; // ICINFO.szDescription
    const char* encoderName; // libavcodec encoder; null for uncompressed frames
    const char* pixelFormat; // libavcodec name of the format the encoder is fed with
    bool lossless;
    QualityControl quality;
    KeyControl key;
    bool dataRate;      // honours lDataRate with the encoder's rate control
    int widthMultiple;  // frame width must be a multiple of this
    int heightMultiple; // frame height must be a multiple of this
    int defaultQuality; // lQ used for ICQUALITY_DEFAULT; -1: the encoder has no quality
};

// The quality of a lossy encoder when the settings ask for the default: a
// good picture, not the best.
inline constexpr int kDefaultQuality = 7500;

// All entries, "DIB " (uncompressed) first.
std::span<const CompressorEntry> CompressorTable();

// Whether the entry's encoder looks ahead and so always hands samples back
// later than their frames (x265, SVT-AV1, libvpx-vp9).
bool LooksAhead(const CompressorEntry& entry);

// Whether the entry's encoder is fed with 4:2:0 YUV.
bool TakesYuv420(const CompressorEntry& entry);

// The entry of a FOURCC, or null.
const CompressorEntry* FindCompressorEntry(std::uint32_t fourcc);

// True when the entry can be used with the libavcodec of this process.
bool IsCompressorAvailable(const CompressorEntry& entry);

// The ICINFO.dwFlags (VIDCF_*) of an entry.
std::uint32_t CompressorCapabilities(const CompressorEntry& entry);

} // namespace kmx
