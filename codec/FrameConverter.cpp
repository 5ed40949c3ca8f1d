#include "codec/FrameConverter.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

#include "codec/RgbToYuv420.h"
#include "media/WorkThreads.h"

#include <algorithm>

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

bool CFrameConverter::Init(const FrameLayout& layout, AVPixelFormat target, bool fullRange) {
    Reset();
    const AVPixelFormat source = DibPixelFormat(layout.bitsPerPixel);
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(target);
    if (source == AV_PIX_FMT_NONE || desc == nullptr || layout.width <= 0 || layout.height <= 0) {
        return false;
    }
    layout_ = layout;
    if (target == AV_PIX_FMT_YUV420P || target == AV_PIX_FMT_YUVJ420P) {
        yuv420_ = true;
        fullRange_ = fullRange;
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
    if ((!sws_ && !yuv420_) || rows == nullptr || out == nullptr || out->width != layout_.width ||
        out->height != layout_.height) {
        return false;
    }
    if (yuv420_) {
        const Yuv420Planes planes{out->data[0],     out->data[1],     out->data[2],
                                  out->linesize[0], out->linesize[1], out->linesize[2]};
        const int pairs = (layout_.height + 1) / 2;
        const int bands = bands_ ? bands_->Threads() : 1;
        const auto convert = [&](int band) {
            const auto first = static_cast<int>(std::int64_t{pairs} * band / bands);
            const auto end = static_cast<int>(std::int64_t{pairs} * (band + 1) / bands);
            ConvertRowPairsToYuv420(layout_, rows, fullRange_, planes, first, end);
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

void CFrameConverter::Reset() {
    sws_.reset();
    bands_.reset();
    yuv420_ = false;
    fullRange_ = false;
    layout_ = FrameLayout{};
}

} // namespace kmx
