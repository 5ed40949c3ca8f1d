#include "codec/EncoderSettings.h"

#include "media/decode/ColourMatrix.h"
#include "media/io/WorkThreads.h"

extern "C" {
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

namespace kmx {

namespace {

// One kilobyte per second of the data rate setting, in bits per second.
constexpr std::int64_t kBitsPerKilobyte = 1024 * 8;

bool IsX264(const CompressorEntry& entry) {
    return entry.encoderName != nullptr && std::strcmp(entry.encoderName, "libx264") == 0;
}

int ClampQuality(int quality) {
    return std::clamp(quality, ICQUALITY_LOW, ICQUALITY_HIGH);
}

// Quality 0..10000 as a fraction 0..1.
double QualityFraction(int quality) {
    return ClampQuality(quality) / 10000.0;
}

void ApplyKeyRate(AVCodecContext* context, const CompressorEntry& entry, int keyRate) {
    if (keyRate <= 0) {
        return; // the encoder's default
    }
    switch (entry.key) {
    case KeyControl::IntraOnly:
        break;
    case KeyControl::GopSize:
        context->gop_size = keyRate;
        break;
    case KeyControl::GopAndKeyInt:
        context->gop_size = keyRate;
        context->keyint_min = keyRate;
        break;
    case KeyControl::KeyIntMinLess:
        // msvideo1 inserts a key frame once keyint_min non-key frames have passed.
        context->keyint_min = keyRate - 1;
        break;
    }
}

bool ApplyX264Options(AVCodecContext* context, const CompressorEntry& entry,
                      const EncoderSettings& settings) {
    // For AVI one sample out per frame in: no B-frames and no lookahead. Its
    // threads work on several frames at once when the caller takes the
    // samples as they come (a frame fewer late than there are threads), else
    // they share the slices of one frame. The delivery containers carry
    // reordered frames with their time stamps and get x264's own defaults.
    // x264's own messages are limited to warnings and errors.
    const char* params = settings.delivery ? "log=1"
                         : settings.frameThreads
                             ? "bframes=0:rc-lookahead=0:sync-lookahead=0:sliced-threads=0:log=1"
                             : "bframes=0:rc-lookahead=0:sync-lookahead=0:sliced-threads=1:log=1";
    if ((!settings.delivery && av_opt_set(context->priv_data, "tune", "zerolatency", 0) < 0) ||
        av_opt_set(context->priv_data, "x264-params", params, 0) < 0) {
        return false;
    }
    if (settings.dataRate == 0 && entry.quality == QualityControl::Crf) {
        if (av_opt_set_double(context->priv_data, "crf", CrfForQuality(EffectiveQuality(settings)),
                              0) < 0) {
            return false;
        }
    }
    return true;
}

bool IsEncoder(const CompressorEntry& entry, const char* name) {
    return entry.encoderName != nullptr && std::strcmp(entry.encoderName, name) == 0;
}

// x265, SVT-AV1 and libvpx-vp9 with their rate factor (unless a data rate is
// asked for). x265 reorders frames with B-frames as it likes to (it only
// writes to the delivery containers, which take the packets' time stamps);
// AV1 and VP9 packets come in display order by their nature.
bool ApplyLookaheadOptions(AVCodecContext* context, const CompressorEntry& entry,
                           const EncoderSettings& settings) {
    const int quality = EffectiveQuality(settings);
    const bool crf = settings.dataRate == 0;
    void* priv = context->priv_data;
    if (IsEncoder(entry, "libx265")) {
        // x265 keeps its own thread pool, sized here to the process's threads.
        const std::string params = "log-level=error:pools=" + std::to_string(WorkThreads());
        return av_opt_set(priv, "x265-params", params.c_str(), 0) >= 0 &&
               (!crf || av_opt_set_double(priv, "crf", CrfForQuality(quality), 0) >= 0);
    }
    if (IsEncoder(entry, "libsvtav1")) {
        // SVT-AV1 prints its configuration unless told to keep to warnings
        // and errors (a level the user set stays); the environment is set
        // once, not at every sequence.
        static std::once_flag quiet;
        std::call_once(quiet, [] { setenv("SVT_LOG", "2", 0); });
        // Its logical processors: the process's threads.
        const std::string params = "lp=" + std::to_string(WorkThreads());
        return av_opt_set_int(priv, "preset", 10, 0) >= 0 &&
               av_opt_set(priv, "svtav1-params", params.c_str(), 0) >= 0 &&
               (!crf || av_opt_set_int(priv, "crf", std::lround(Crf63ForQuality(quality)), 0) >= 0);
    }
    if (IsEncoder(entry, "libvpx-vp9")) {
        if (crf) {
            context->bit_rate = 0;
        } else {
            // Its variable rate falls far short of the target on simple
            // pictures; the constant rate meets it.
            context->rc_min_rate = context->bit_rate;
            context->rc_max_rate = context->bit_rate;
        }
        return av_opt_set(priv, "deadline", "good", 0) >= 0 &&
               av_opt_set_int(priv, "cpu-used", 4, 0) >= 0 &&
               av_opt_set_int(priv, "row-mt", 1, 0) >= 0 &&
               (!crf || av_opt_set_int(priv, "crf", std::lround(Crf63ForQuality(quality)), 0) >= 0);
    }
    return true;
}

} // namespace

EncoderSettings SettingsFromCompVars(const COMPVARS& settings, std::uint32_t rate,
                                     std::uint32_t scale) {
    EncoderSettings out;
    out.quality = settings.lQ < 0 ? ICQUALITY_DEFAULT : std::min(settings.lQ, ICQUALITY_HIGH);
    out.keyRate = std::max(settings.lKey, 0);
    out.dataRate = std::max(settings.lDataRate, 0);
    if (rate > 0 && scale > 0) {
        out.rate = rate;
        out.scale = scale;
    }
    return out;
}

int EffectiveQuality(const EncoderSettings& settings) {
    return settings.quality >= 0 ? ClampQuality(settings.quality) : kDefaultQuality;
}

// Frame sizes follow the quantiser roughly in proportion, so the quantiser
// is spread exponentially: every step of the quality changes the size by
// about the same factor. The rate factor is logarithmic in the quantiser
// already and is spread evenly.
int QScaleForQuality(int quality) {
    return static_cast<int>(std::lround(31.0 * std::pow(2.0 / 31.0, QualityFraction(quality))));
}

double CrfForQuality(int quality) {
    return 51.0 - 50.0 * QualityFraction(quality);
}

double Crf63ForQuality(int quality) {
    return 63.0 - 62.0 * QualityFraction(quality);
}

int CinepakLambdaForQuality(int quality) {
    // Doubling every 1250 steps down, 256 (the encoder's own default) at 7500.
    const double exponent = (7500.0 - ClampQuality(quality)) / 1250.0; // -2 .. 6
    return static_cast<int>(std::lround(256.0 * std::exp2(exponent)));
}

namespace {

// The target data rate, or else the quality, in the way the encoder takes
// it; *frameQuality receives what each frame must carry (0: nothing).
void ApplyRateControl(AVCodecContext* context, const CompressorEntry& entry,
                      const EncoderSettings& settings, int* frameQuality) {
    *frameQuality = 0;
    const int quality = EffectiveQuality(settings);
    if (settings.dataRate > 0 && entry.dataRate) {
        const std::int64_t bits = settings.dataRate * kBitsPerKilobyte;
        context->bit_rate = bits;
        context->rc_max_rate = 0;
    } else {
        switch (entry.quality) {
        case QualityControl::QScale:
            context->flags |= AV_CODEC_FLAG_QSCALE;
            context->global_quality = FF_QP2LAMBDA * QScaleForQuality(quality);
            *frameQuality = context->global_quality;
            break;
        case QualityControl::CinepakLambda:
            // The encoder reads lambda + 1 from each frame's quality field.
            *frameQuality = CinepakLambdaForQuality(quality) + 1;
            break;
        case QualityControl::Crf: // set with the encoder's private options
        case QualityControl::Crf63:
        case QualityControl::None:
            break;
        }
    }
}

// The AVI gets exactly one sample per frame, in order (no B-frames are ever
// asked for). Intra-only encoders that can work on several frames at once do
// so when the caller takes the samples as they come (the samples are the same
// as one thread's); cut into slices instead, their frames would lose their own
// code tables. x264 then works on several frames too, which keeps its threads
// busier than slices do. The other encoders share the slices of each frame out.
void ApplyThreads(AVCodecContext* context, const CompressorEntry& entry,
                  const EncoderSettings& settings) {
    const bool frameCapable = entry.key == KeyControl::IntraOnly && context->codec != nullptr &&
                              (context->codec->capabilities & AV_CODEC_CAP_FRAME_THREADS) != 0;
    if (frameCapable) {
        context->thread_count = settings.frameThreads ? WorkThreads() : 1;
        context->thread_type = FF_THREAD_FRAME;
    } else if (IsX264(entry) && settings.frameThreads) {
        context->thread_count = WorkThreads();
        context->thread_type = FF_THREAD_FRAME;
    } else {
        context->thread_count = WorkThreads();
        context->thread_type = FF_THREAD_SLICE;
    }
    // Half as many again as there are threads keeps them all busy (x264's
    // own rule for its frame threads; its slices differ in cost too).
    if (IsX264(entry) && context->thread_count > 1) {
        context->thread_count = context->thread_count * 3 / 2;
    }
}

} // namespace

bool UsesBt709(bool delivery, int width, int height) {
    return delivery && AboveStandardDefinition(width, height);
}

bool HoldsFrames(const AVCodecContext& opened, const CompressorEntry& entry,
                 const EncoderSettings& settings) {
    return (opened.active_thread_type & FF_THREAD_FRAME) != 0 || LooksAhead(entry) ||
           (IsX264(entry) && settings.delivery) ||
           (IsX264(entry) && settings.frameThreads && opened.thread_count > 1);
}

bool ConfigureEncoder(AVCodecContext* context, const CompressorEntry& entry, int width, int height,
                      const EncoderSettings& settings, int* frameQuality) {
    if (context == nullptr || frameQuality == nullptr || entry.pixelFormat == nullptr) {
        return false;
    }
    const AVPixelFormat format = av_get_pix_fmt(entry.pixelFormat);
    if (format == AV_PIX_FMT_NONE || settings.rate == 0 || settings.scale == 0 ||
        settings.rate > INT32_MAX || settings.scale > INT32_MAX) {
        return false;
    }
    context->width = width;
    context->height = height;
    context->pix_fmt = format;
    context->time_base =
        AVRational{static_cast<int>(settings.scale), static_cast<int>(settings.rate)};
    context->framerate =
        AVRational{static_cast<int>(settings.rate), static_cast<int>(settings.scale)};
    context->sample_aspect_ratio = AVRational{1, 1};
    if (settings.delivery && settings.aspectNum > 0 && settings.aspectDen > 0) {
        context->sample_aspect_ratio = AVRational{settings.aspectNum, settings.aspectDen};
    }
    context->codec_tag = entry.fourcc;
    ApplyThreads(context, entry, settings);
    // B-frames only from x264 and x265 where the container takes reordered
    // frames (-1: the encoder's own default).
    context->max_b_frames =
        settings.delivery && (IsX264(entry) || IsEncoder(entry, "libx265")) ? -1 : 0;
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(format);
    if (desc != nullptr && (desc->flags & AV_PIX_FMT_FLAG_RGB) == 0) {
        // The frame converter uses the matrix named here; streams that can say
        // so tell the decoder. AVI keeps BT.601 at every size; the delivery
        // containers get BT.709 above standard definition, as players expect
        // of HD.
        const bool bt709 = UsesBt709(settings.delivery, width, height);
        context->colorspace = bt709 ? AVCOL_SPC_BT709 : AVCOL_SPC_SMPTE170M;
        context->color_range = format == AV_PIX_FMT_YUVJ420P ? AVCOL_RANGE_JPEG : AVCOL_RANGE_MPEG;
        if (settings.delivery) {
            context->color_primaries = bt709 ? AVCOL_PRI_BT709 : AVCOL_PRI_SMPTE170M;
            context->color_trc = bt709 ? AVCOL_TRC_BT709 : AVCOL_TRC_SMPTE170M;
        }
    }
    if (settings.delivery) {
        context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }

    ApplyRateControl(context, entry, settings, frameQuality);
    ApplyKeyRate(context, entry, settings.keyRate);

    if (IsX264(entry)) {
        return ApplyX264Options(context, entry, settings);
    }
    return ApplyLookaheadOptions(context, entry, settings);
}

} // namespace kmx
