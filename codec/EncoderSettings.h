// Maps the user's compressor settings (COMPVARS quality, key-frame rate and
// data rate) and the frame rate onto a libavcodec encoder context.
#pragma once

#include "codec/CompressorRecords.h"
#include "codec/CompressorTable.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <cstdint>

namespace kmx {

struct EncoderSettings {
    int quality = ICQUALITY_DEFAULT; // 0..10000, or negative for the default
    int keyRate = 0;                 // key frame at least every keyRate frames; 0: default
    int dataRate = 0;                // kilobytes per second; 0: no rate control
    std::uint32_t rate = 25;         // frames per second = rate / scale
    std::uint32_t scale = 1;
    // The caller takes each frame's sample when it comes: intra-only
    // encoders and x264 may then work on several frames at once and hand the
    // samples back a few frames later, in order.
    bool frameThreads = false;
    // The stream goes into a container that keeps the codec's headers apart
    // from the packets (MP4, MOV, MKV, WebM): global headers, and the full
    // colour description (matrix, primaries, transfer, range); BT.709
    // above standard definition, BT.601 up to it.
    bool delivery = false;
    // The pixels' shape (width : height), which the delivery containers'
    // streams carry; AVI streams say square.
    std::int32_t aspectNum = 1;
    std::int32_t aspectDen = 1;
};

// Settings from a COMPVARS record; out-of-range values are clamped (quality
// above 10000 to 10000, negative key-frame and data rates to 0).
EncoderSettings SettingsFromCompVars(const COMPVARS& settings, std::uint32_t rate,
                                     std::uint32_t scale);

// The quality a run uses: the settings' own, or kDefaultQuality for a
// negative one.
int EffectiveQuality(const EncoderSettings& settings);

// Quality 0..10000 mapped onto the encoders' scales (higher quality, larger
// frames, by about the same factor per step).
int QScaleForQuality(int quality);        // 31 .. 2 (16, 8, 4 at 2500, 5000, 7500)
double CrfForQuality(int quality);        // 51 .. 1
double Crf63ForQuality(int quality);      // 63 .. 1
int CinepakLambdaForQuality(int quality); // 16384 .. 64 (256 is the encoder's default)

// Whether a stream of this size is converted with (and tagged) the BT.709
// matrix rather than BT.601: in the delivery containers above standard
// definition.
bool UsesBt709(bool delivery, int width, int height);

// Prepares a context that is allocated for entry's encoder but not opened:
// size, pixel format, time base, threads, and the mapped settings. Without
// settings.frameThreads every frame's sample comes out at once. *frameQuality receives the value
// each frame's quality field must carry (0 for none).
bool ConfigureEncoder(AVCodecContext* context, const CompressorEntry& entry, int width, int height,
                      const EncoderSettings& settings, int* frameQuality);
// Whether an encoder opened with these settings hands samples back later
// than their frames: libavcodec's frame threads, or x264's own (also
// its look-ahead in the delivery containers).
bool HoldsFrames(const AVCodecContext& opened, const CompressorEntry& entry,
                 const EncoderSettings& settings);

} // namespace kmx
