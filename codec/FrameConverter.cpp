#include "codec/FrameConverter.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

#include <cstring>
#include <new>

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
    // the chroma subsampling are at work. Point sampling keeps RGB targets
    // bit-exact. YUV targets average each 2 x 2 block for its chroma (what
    // decoders assume when they place it back), with the exact rounding that
    // also keeps the full range of JPEG targets.
    const int flags =
        rgbTarget ? (SWS_POINT | SWS_BITEXACT | SWS_ACCURATE_RND) : (SWS_AREA | SWS_ACCURATE_RND);
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
    // The chroma of an odd width is averaged over the last pixel and the one
    // after it: such rows are converted from a copy with that pixel repeated,
    // so that nothing beyond the row is read.
    if (!rgbTarget && layout.width % 2 != 0) {
        const std::int64_t bytesPerPixel = layout.bitsPerPixel / 8;
        paddedRowBytes_ = layout.rowBytes + bytesPerPixel;
        try {
            padded_.assign(static_cast<std::size_t>(paddedRowBytes_ * layout.height), 0);
        } catch (const std::bad_alloc&) {
            Reset();
            return false;
        }
    }
    return true;
}

bool CFrameConverter::Convert(const std::uint8_t* rows, AVFrame* out) {
    if (!sws_ || rows == nullptr || out == nullptr || out->width != layout_.width ||
        out->height != layout_.height) {
        return false;
    }
    // The first row in memory is the bottom one: start at the last row and
    // walk upwards.
    const std::uint8_t* top = rows + (layout_.frameBytes - layout_.rowBytes);
    std::int64_t stride = -layout_.rowBytes;
    if (!padded_.empty()) {
        const std::int64_t bytesPerPixel = layout_.bitsPerPixel / 8;
        for (std::int64_t y = 0; y < layout_.height; ++y) {
            const std::uint8_t* from = top - y * layout_.rowBytes;
            std::uint8_t* to = padded_.data() + y * paddedRowBytes_;
            std::memcpy(to, from, static_cast<std::size_t>(layout_.rowBytes));
            std::memcpy(to + layout_.rowBytes, from + layout_.rowBytes - bytesPerPixel,
                        static_cast<std::size_t>(bytesPerPixel));
        }
        top = padded_.data();
        stride = paddedRowBytes_;
    }
    const std::uint8_t* const planes[4] = {top, nullptr, nullptr, nullptr};
    const int strides[4] = {static_cast<int>(stride), 0, 0, 0};
    const int done =
        sws_scale(sws_.get(), planes, strides, 0, layout_.height, out->data, out->linesize);
    return done == layout_.height;
}

void CFrameConverter::Reset() {
    sws_.reset();
    layout_ = FrameLayout{};
    std::vector<std::uint8_t>().swap(padded_);
    paddedRowBytes_ = 0;
}

} // namespace kmx
