#include "codec/CompressorTable.h"

#include "codec/CompressorRecords.h"
#include "media/io/ByteOrder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/pixdesc.h>
}

#include <array>
#include <string_view>

namespace kmx {

namespace {

constexpr std::array kEntries = {
    CompressorEntry{FOURCC_DIB, "Uncompressed", "Full frames (uncompressed)", nullptr, nullptr,
                    true, QualityControl::None, KeyControl::IntraOnly, false, 1, 1, -1},
    CompressorEntry{MakeFourcc('M', 'J', 'P', 'G'), "MJPEG", "Motion JPEG (libavcodec mjpeg)",
                    "mjpeg", "yuvj420p", false, QualityControl::QScale, KeyControl::IntraOnly, true,
                    1, 1, kDefaultQuality},
    CompressorEntry{MakeFourcc('H', 'F', 'Y', 'U'), "Huffyuv",
                    "Huffyuv lossless RGB (libavcodec huffyuv)", "huffyuv", "rgb24", true,
                    QualityControl::None, KeyControl::IntraOnly, false, 1, 1, -1},
    CompressorEntry{MakeFourcc('F', 'F', 'V', 'H'), "FFVHuff",
                    "Huffyuv FFmpeg variant, lossless RGB (libavcodec ffvhuff)", "ffvhuff", "gbrp",
                    true, QualityControl::None, KeyControl::IntraOnly, false, 1, 1, -1},
    CompressorEntry{MakeFourcc('F', 'F', 'V', '1'), "FFV1", "FFV1 lossless RGB (libavcodec ffv1)",
                    "ffv1", "bgr0", true, QualityControl::None, KeyControl::GopSize, false, 1, 1,
                    -1},
    CompressorEntry{MakeFourcc('U', 'L', 'R', 'G'), "UtVideo",
                    "Ut Video lossless RGB (libavcodec utvideo)", "utvideo", "gbrp", true,
                    QualityControl::None, KeyControl::IntraOnly, false, 1, 1, -1},
    CompressorEntry{MakeFourcc('M', 'A', 'G', 'Y'), "MagicYUV",
                    "MagicYUV lossless RGB (libavcodec magicyuv)", "magicyuv", "gbrp", true,
                    QualityControl::None, KeyControl::IntraOnly, false, 1, 1, -1},
    CompressorEntry{MakeFourcc('X', 'V', 'I', 'D'), "MPEG-4 (Xvid)",
                    "MPEG-4 part 2, Xvid compatible (libavcodec mpeg4)", "mpeg4", "yuv420p", false,
                    QualityControl::QScale, KeyControl::GopSize, true, 1, 1, kDefaultQuality},
    CompressorEntry{MakeFourcc('F', 'M', 'P', '4'), "MPEG-4 (FFmpeg)",
                    "MPEG-4 part 2, FFmpeg tag (libavcodec mpeg4)", "mpeg4", "yuv420p", false,
                    QualityControl::QScale, KeyControl::GopSize, true, 1, 1, kDefaultQuality},
    CompressorEntry{MakeFourcc('D', 'I', 'V', '3'), "MS-MPEG4 v3",
                    "MS MPEG-4 v3, DivX 3 compatible (libavcodec msmpeg4)", "msmpeg4", "yuv420p",
                    false, QualityControl::QScale, KeyControl::GopSize, true, 1, 1,
                    kDefaultQuality},
    CompressorEntry{MakeFourcc('H', '2', '6', '4'), "H.264", "H.264 / AVC (libx264)", "libx264",
                    "yuv420p", false, QualityControl::Crf, KeyControl::GopSize, true, 2, 2,
                    kDefaultQuality},
    CompressorEntry{MakeFourcc('H', 'E', 'V', 'C'), "H.265", "H.265 / HEVC (libx265)", "libx265",
                    "yuv420p", false, QualityControl::Crf, KeyControl::GopSize, true, 2, 2,
                    kDefaultQuality},
    CompressorEntry{MakeFourcc('A', 'V', '0', '1'), "AV1", "AV1 (SVT-AV1)", "libsvtav1", "yuv420p",
                    false, QualityControl::Crf63, KeyControl::GopSize, true, 2, 2, kDefaultQuality},
    CompressorEntry{MakeFourcc('V', 'P', '9', '0'), "VP9", "VP9 (libvpx-vp9)", "libvpx-vp9",
                    "yuv420p", false, QualityControl::Crf63, KeyControl::GopSize, true, 2, 2,
                    kDefaultQuality},
    CompressorEntry{MakeFourcc('c', 'v', 'i', 'd'), "Cinepak", "Cinepak (libavcodec cinepak)",
                    "cinepak", "rgb24", false, QualityControl::CinepakLambda,
                    KeyControl::GopAndKeyInt, false, 4, 4, kDefaultQuality},
    CompressorEntry{MakeFourcc('M', 'S', 'V', 'C'), "Video 1",
                    "Microsoft Video 1 (libavcodec msvideo1)", "msvideo1", "rgb555le", false,
                    QualityControl::None, KeyControl::KeyIntMinLess, false, 4, 4, -1},
};

} // namespace

std::span<const CompressorEntry> CompressorTable() {
    return kEntries;
}

bool LooksAhead(const CompressorEntry& entry) {
    if (entry.encoderName == nullptr) {
        return false;
    }
    const std::string_view name = entry.encoderName;
    return name == "libx265" || name == "libsvtav1" || name == "libvpx-vp9";
}

bool TakesYuv420(const CompressorEntry& entry) {
    const AVPixelFormat format =
        entry.pixelFormat != nullptr ? av_get_pix_fmt(entry.pixelFormat) : AV_PIX_FMT_NONE;
    return format == AV_PIX_FMT_YUV420P || format == AV_PIX_FMT_YUVJ420P;
}

const CompressorEntry* FindCompressorEntry(std::uint32_t fourcc) {
    for (const CompressorEntry& entry : kEntries) {
        if (entry.fourcc == fourcc) {
            return &entry;
        }
    }
    return nullptr;
}

bool IsCompressorAvailable(const CompressorEntry& entry) {
    if (entry.encoderName == nullptr) {
        return true;
    }
    const AVCodec* encoder = avcodec_find_encoder_by_name(entry.encoderName);
    const AVPixelFormat format = av_get_pix_fmt(entry.pixelFormat);
    if (encoder == nullptr || format == AV_PIX_FMT_NONE) {
        return false;
    }
    if (encoder->pix_fmts == nullptr) {
        return true;
    }
    for (const AVPixelFormat* f = encoder->pix_fmts; *f != AV_PIX_FMT_NONE; ++f) {
        if (*f == format) {
            return true;
        }
    }
    return false;
}

std::uint32_t CompressorCapabilities(const CompressorEntry& entry) {
    std::uint32_t flags = 0;
    if (entry.quality != QualityControl::None) {
        flags |= VIDCF_QUALITY;
    }
    if (entry.dataRate) {
        flags |= VIDCF_CRUNCH;
    }
    if (entry.key != KeyControl::IntraOnly) {
        flags |= VIDCF_TEMPORAL;
    }
    return flags;
}

} // namespace kmx
