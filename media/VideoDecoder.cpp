#include "media/VideoDecoder.h"

#include "media/ByteOrder.h"
#include "media/DibFrame.h"
#include "media/VideoDecoderCodec.h"

#include <new>

namespace kmx {
namespace {

// A raw sample above this is treated as unreadable; the largest picture the
// dimension checks let through is 512 MiB.
constexpr std::uint64_t kMaxRawSampleBytes = std::uint64_t{768} << 20;

bool IsRawRgb(std::uint32_t compression, int bitCount) {
    const bool rgb = compression == BI_RGB || compression == MakeFourcc('D', 'I', 'B', ' ') ||
                     compression == MakeFourcc('R', 'G', 'B', ' ');
    return rgb && (bitCount == 8 || bitCount == 16 || bitCount == 24 || bitCount == 32);
}

} // namespace

struct CVideoDecoder::Impl {
    const IVideoSampleSource* source = nullptr;
    DibGeometry geometry;
    CDibBuffer dib;
    bool raw = false;
    CCodecDecoder codec;
    std::vector<std::int32_t> shown;  // per sample: the non-empty sample it shows, or -1
    std::int32_t current = -1;        // the sample whose picture the DIB holds
    std::vector<std::uint8_t> sample; // raw sample bytes
    std::uint64_t samplesRead = 0;
    int codecId = 0; // set only while OpenCodec runs

    bool DecodeRaw(std::int32_t index);
};

CVideoDecoder::CVideoDecoder() : impl_(std::make_unique<Impl>()) {}

CVideoDecoder::~CVideoDecoder() = default;

bool CVideoDecoder::Open(const std::vector<std::uint8_t>& format, std::uint32_t handler,
                         const IVideoSampleSource& source) {
    Close();
    if (format.size() < kBitmapInfoHeaderSize) {
        return false;
    }
    const std::int32_t width = LoadI32(format.data() + 4);
    const std::int32_t height = LoadI32(format.data() + 8);
    const int bitCount = LoadU16(format.data() + 14);
    const std::uint32_t compression = LoadU32(format.data() + 16);
    Impl& d = *impl_;
    d.raw = d.codecId == 0 && IsRawRgb(compression, bitCount);
    if (!MakeDibGeometry(width, height, d.raw ? bitCount : 24, d.geometry)) {
        return false;
    }
    if (!d.raw) {
        // Compressed pictures come out of the decoder top to bottom.
        d.geometry.topDown = false;
    }
    try {
        if (!d.raw && !d.codec.Open(format, handler, source, d.codecId)) {
            Close();
            return false;
        }
        if (!d.dib.Allocate(d.geometry)) {
            Close();
            return false;
        }
        if (d.raw && d.geometry.bitCount == 8) {
            CopyDibColourTable(format, d.dib.ColourTable());
        }
        const std::int32_t count = source.SampleCount();
        d.shown.resize(static_cast<std::size_t>(count));
        std::int32_t last = -1;
        for (std::int32_t i = 0; i < count; ++i) {
            if (source.SampleSize(i) != 0) {
                last = i;
            }
            d.shown[static_cast<std::size_t>(i)] = last;
        }
    } catch (const std::bad_alloc&) {
        Close();
        return false;
    }
    d.source = &source;
    return true;
}

bool CVideoDecoder::OpenCodec(const std::vector<std::uint8_t>& format, int codecId,
                              const IVideoSampleSource& source) {
    if (codecId == 0) {
        return false;
    }
    impl_->codecId = codecId;
    const bool ok = Open(format, 0, source);
    impl_->codecId = 0;
    return ok;
}

void CVideoDecoder::Close() {
    Impl& d = *impl_;
    d.codec.Close();
    d.dib.Release();
    std::vector<std::int32_t>().swap(d.shown);
    std::vector<std::uint8_t>().swap(d.sample);
    d.source = nullptr;
    d.geometry = DibGeometry{};
    d.raw = false;
    d.current = -1;
    d.samplesRead = 0;
}

const BITMAPINFOHEADER* CVideoDecoder::GetFrame(std::int32_t frame) {
    Impl& d = *impl_;
    if (d.source == nullptr || frame < 0 || static_cast<std::size_t>(frame) >= d.shown.size()) {
        return nullptr;
    }
    const std::int32_t wanted = d.shown[static_cast<std::size_t>(frame)];
    if (wanted < 0) {
        return nullptr; // only drop frames before it
    }
    if (wanted == d.current) {
        return d.dib.Header();
    }
    d.current = -1;
    bool ok = false;
    try {
        if (d.raw) {
            ok = d.DecodeRaw(wanted);
        } else {
            const std::uint64_t before = d.codec.PacketsSent();
            ok = d.codec.Decode(wanted, d.geometry, d.dib.Pixels());
            d.samplesRead += d.codec.PacketsSent() - before;
        }
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    if (!ok) {
        return nullptr;
    }
    d.current = wanted;
    return d.dib.Header();
}

bool CVideoDecoder::Impl::DecodeRaw(std::int32_t index) {
    const std::uint32_t size = source->SampleSize(index);
    if (size > kMaxRawSampleBytes) {
        return false;
    }
    ++samplesRead;
    if (!geometry.topDown && size == geometry.imageSize) {
        // Stored exactly as the DIB holds it (bottom-up, padded rows): read
        // straight into the frame, without a copy.
        return source->ReadSample(index, dib.Pixels());
    }
    sample.resize(size);
    if (!source->ReadSample(index, sample.data())) {
        return false;
    }
    return CopyRawDibRows(sample.data(), sample.size(), geometry, dib.Pixels());
}

std::uint64_t CVideoDecoder::SamplesRead() const {
    return impl_->samplesRead;
}

} // namespace kmx
