#include "codec/FrameConverter.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

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
    if (source == AV_PIX_FMT_NONE || desc == nullptr) {
        return false;
    }
    const bool rgbTarget = (desc->flags & AV_PIX_FMT_FLAG_RGB) != 0;
    // Same size in and out: only the colour conversion and, for YUV targets,
    // the chroma subsampling filter are at work. Point sampling keeps RGB
    // targets bit-exact; YUV targets get a proper subsampling filter.
    const int flags = rgbTarget ? (SWS_POINT | SWS_BITEXACT | SWS_ACCURATE_RND)
                                : (SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INP);
    // libswscale warns about the deprecated JPEG formats; it is told the
    // matching plain format and the full range instead.
    AVPixelFormat swsTarget = target;
    if (target == AV_PIX_FMT_YUVJ420P) {
        swsTarget = AV_PIX_FMT_YUV420P;
    } else if (target == AV_PIX_FMT_YUVJ422P) {
        swsTarget = AV_PIX_FMT_YUV422P;
    } else if (target == AV_PIX_FMT_YUVJ444P) {
        swsTarget = AV_PIX_FMT_YUV444P;
    }
    sws_.reset(sws_getContext(layout.width, layout.height, source, layout.width, layout.height,
                              swsTarget, flags, nullptr, nullptr, nullptr));
    if (!sws_) {
        return false;
    }
    if (!rgbTarget) {
        const int* coefficients = sws_getCoefficients(SWS_CS_ITU601);
        if (sws_setColorspaceDetails(sws_.get(), coefficients, 1, coefficients, fullRange ? 1 : 0,
                                     0, 1 << 16, 1 << 16) < 0) {
            sws_.reset();
            return false;
        }
    }
    layout_ = layout;
    return true;
}

bool CFrameConverter::Convert(const std::uint8_t* rows, AVFrame* out) const {
    if (!sws_ || rows == nullptr || out == nullptr || out->width != layout_.width ||
        out->height != layout_.height) {
        return false;
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
    layout_ = FrameLayout{};
}

} // namespace kmx
