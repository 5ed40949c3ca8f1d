#include "codec/FrameConverter.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

#include "codec/RgbToYuv420.h"
#include "media/io/WorkThreads.h"

#include <algorithm>
#include <cstring>

namespace kmx {

AVPixelFormat DibPixelFormat(int bitsPerPixel) {
    switch (bitsPerPixel) {
    case 16:
        return AV_PIX_FMT_RGB555LE;
    case 24:
        return AV_PIX_FMT_BGR24;
    case 32:
        return AV_PIX_FMT_BGR0;
    default:
        return AV_PIX_FMT_NONE;
    }
}

bool CFrameConverter::Init(const FrameLayout& layout, AVPixelFormat target, YuvLevels levels) {
    Reset();
    const AVPixelFormat source = DibPixelFormat(layout.bitsPerPixel);
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(target);
    if ((source == AV_PIX_FMT_NONE && !layout.planar) || desc == nullptr || layout.width <= 0 ||
        layout.height <= 0) {
        return false;
    }
    layout_ = layout;
    if (layout.planar) {
        // 'I420' pictures are in video levels: copied as they are, or
        // stretched to the full range JPEG takes.
        if (target != AV_PIX_FMT_YUV420P && target != AV_PIX_FMT_YUVJ420P) {
            Reset();
            return false;
        }
        levels_ = levels;
        return true;
    }
    if (target == AV_PIX_FMT_YUV420P || target == AV_PIX_FMT_YUVJ420P) {
        yuv420_ = true;
        levels_ = levels;
        // Bands of at least 16 rows, one per thread.
        const int threads = std::min(WorkThreads(), std::max(layout.height / 16, 1));
        if (threads > 1) {
            bands_ = std::make_unique<CBandWorkers>(threads);
        }
        return true;
    }
    if ((desc->flags & AV_PIX_FMT_FLAG_RGB) == 0) {
        Reset();
        return false; // other YUV layouts have no conversion here
    }
    // Same size in and out: point sampling without dithering keeps RGB
    // targets exact.
    sws_.reset(sws_getContext(layout.width, layout.height, source, layout.width, layout.height,
                              target, SWS_POINT | SWS_BITEXACT | SWS_ACCURATE_RND, nullptr, nullptr,
                              nullptr));
    if (!sws_) {
        Reset();
        return false;
    }
    return true;
}

bool CFrameConverter::Convert(const std::uint8_t* rows, AVFrame* out) {
    if ((!sws_ && !yuv420_ && !layout_.planar) || rows == nullptr || out == nullptr ||
        out->width != layout_.width || out->height != layout_.height) {
        return false;
    }
    if (layout_.planar) {
        CopyPlanes(rows, out);
        return true;
    }
    if (yuv420_) {
        const Yuv420Planes planes{out->data[0],     out->data[1],     out->data[2],
                                  out->linesize[0], out->linesize[1], out->linesize[2]};
        const int pairs = (layout_.height + 1) / 2;
        const int bands = bands_ ? bands_->Threads() : 1;
        const auto convert = [&](int band) {
            const auto first = static_cast<int>(std::int64_t{pairs} * band / bands);
            const auto end = static_cast<int>(std::int64_t{pairs} * (band + 1) / bands);
            ConvertRowPairsToYuv420(layout_, rows, levels_, planes, first, end);
        };
        if (bands_) {
            bands_->Run(bands, convert);
        } else {
            convert(0);
        }
        return true;
    }
    // The first row in memory is the bottom one: start at the last row and
    // walk upwards.
    const std::uint8_t* top = rows + (layout_.frameBytes - layout_.rowBytes);
    const std::uint8_t* const planes[4] = {top, nullptr, nullptr, nullptr};
    const int strides[4] = {-static_cast<int>(layout_.rowBytes), 0, 0, 0};
    const int done =
        sws_scale(sws_.get(), planes, strides, 0, layout_.height, out->data, out->linesize);
    return done == layout_.height;
}

void CFrameConverter::CopyPlanes(const std::uint8_t* planes, AVFrame* out) const {
    const PlanarPlanes layout = DescribePlanes(layout_.width, layout_.height);
    for (int p = 0; p < 3; ++p) {
        const int width = layout.width[p];
        for (int y = 0; y < layout.height[p]; ++y) {
            const std::uint8_t* from = planes + layout.offset[p] + std::ptrdiff_t{width} * y;
            std::uint8_t* to = out->data[p] + std::ptrdiff_t{out->linesize[p]} * y;
            if (levels_.fullRange) {
                StretchToFullRange(from, to, width, p == 0);
            } else {
                std::memcpy(to, from, static_cast<std::size_t>(width));
            }
        }
    }
}

void CFrameConverter::Reset() {
    sws_.reset();
    bands_.reset();
    yuv420_ = false;
    levels_ = YuvLevels{};
    layout_ = FrameLayout{};
}

} // namespace kmx
