#include "tests/codec/CodecTestSupport.h"

#include "codec/AvPointers.h"
#include "codec/CompressorRecords.h"
#include "media/ByteOrder.h"
#include "media/TestPattern.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

namespace codectest {

namespace {
// The encoders' informational chatter is of no use in test output.
const bool kQuietLibraries = (av_log_set_level(AV_LOG_ERROR), true);
} // namespace

BITMAPINFOHEADER MakeInputFormat(int width, int height, int bitsPerPixel) {
    BITMAPINFOHEADER h{};
    h.biSize = 40;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = static_cast<std::uint16_t>(bitsPerPixel);
    h.biCompression = BI_RGB;
    // Absurd sizes (tests of refused formats) get no image size.
    const bool sane = width > 0 && height > 0 && width <= 65536 && height <= 65536;
    const std::int64_t bytes = sane ? std::int64_t{width} * height * (bitsPerPixel / 8) : 0;
    h.biSizeImage = static_cast<std::uint32_t>(std::clamp<std::int64_t>(bytes, 0, UINT32_MAX));
    return h;
}

Frame MakePatternFrame(int width, int height, int bitsPerPixel, int number) {
    // The pattern is drawn into DIB rows padded to 4 bytes; the compressors
    // take unpadded rows.
    const std::size_t row = static_cast<std::size_t>(width) * (bitsPerPixel / 8);
    const std::size_t stride = (row + 3) / 4 * 4;
    std::vector<std::uint8_t> padded(stride * static_cast<std::size_t>(height));
    kmx::FillTestPatternFrame(padded.data(), width, height, bitsPerPixel, number);
    Frame frame(row * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        std::memcpy(frame.data() + row * y, padded.data() + stride * y, row);
    }
    return frame;
}

Frame ToBgr(const Frame& frame, int width, int height, int bitsPerPixel) {
    const int bpp = bitsPerPixel / 8;
    Frame out(static_cast<std::size_t>(width) * height * 3);
    for (std::size_t i = 0; i < static_cast<std::size_t>(width) * height; ++i) {
        const std::uint8_t* p = frame.data() + i * bpp;
        std::uint8_t* q = out.data() + i * 3;
        if (bitsPerPixel == 16) {
            const int v = kmx::LoadU16(p);
            const int c[3] = {v & 31, (v >> 5) & 31, (v >> 10) & 31};
            for (int k = 0; k < 3; ++k) {
                q[k] = static_cast<std::uint8_t>(c[k] << 3 | c[k] >> 2);
            }
        } else {
            q[0] = p[0];
            q[1] = p[1];
            q[2] = p[2];
        }
    }
    return out;
}

double Psnr(const Frame& a, const Frame& b) {
    if (a.size() != b.size() || a.empty()) {
        return 0.0;
    }
    double sum = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const double d = static_cast<double>(a[i]) - b[i];
        sum += d * d;
    }
    if (sum == 0.0) {
        return 1000.0;
    }
    const double mse = sum / static_cast<double>(a.size());
    return 10.0 * std::log10(255.0 * 255.0 / mse);
}

COMPVARS MakeSettings(std::uint32_t fourcc, std::int32_t quality, std::int32_t keyRate,
                      std::int32_t dataRate) {
    COMPVARS cv{};
    cv.cbSize = 64;
    cv.dwFlags = ICMF_COMPVARS_VALID;
    cv.fccType = ICTYPE_VIDEO;
    cv.fccHandler = fourcc;
    cv.lQ = quality;
    cv.lKey = keyRate;
    cv.lDataRate = dataRate;
    return cv;
}

Encoded CompressFrames(std::uint32_t fourcc, const COMPVARS& settings, int width, int height,
                       int bitsPerPixel, const std::vector<Frame>& frames, std::uint32_t rate) {
    Encoded result;
    std::unique_ptr<CCompressor> compressor = CCompressor::Open(ICTYPE_VIDEO, fourcc);
    if (!compressor) {
        result.error = "open failed";
        return result;
    }
    const BITMAPINFOHEADER input = MakeInputFormat(width, height, bitsPerPixel);
    const std::int32_t formatSize = compressor->GetFormatSize(&input);
    if (formatSize <= 0) {
        result.error = "format size refused";
        return result;
    }
    result.format.assign(static_cast<std::size_t>(formatSize), 0);
    if (compressor->GetFormat(&input, result.format.data(), formatSize) != ICERR_OK) {
        result.error = "format refused";
        return result;
    }
    result.maxFrameSize = compressor->GetSize(&input);
    if (rate != 0) {
        compressor->SetFrameRate(rate, 1);
    }
    if (!compressor->SeqCompressFrameStart(settings, &input)) {
        result.error = "start refused";
        return result;
    }
    for (std::size_t i = 0; i < frames.size(); ++i) {
        bool key = false;
        std::int32_t size = -1;
        const std::uint8_t* data = compressor->SeqCompressFrame(
            frames[i].data(), static_cast<std::int64_t>(frames[i].size()), &key, &size);
        if (data == nullptr || size < 0) {
            result.error = "frame " + std::to_string(i) + " failed";
            return result;
        }
        result.samples.push_back(Sample{std::vector<std::uint8_t>(data, data + size), key});
    }
    compressor->SeqCompressFrameEnd();
    result.ok = true;
    return result;
}

struct CTestDecoder::State {
    kmx::AvCodecContextPtr context;
    kmx::AvPacketPtr packet;
    kmx::AvFramePtr picture;
    int width = 0;
    int height = 0;
};

CTestDecoder::CTestDecoder() : state_(std::make_unique<State>()) {}
CTestDecoder::~CTestDecoder() = default;

bool CTestDecoder::Open(const std::vector<std::uint8_t>& format) {
    if (format.size() < 40) {
        return false;
    }
    BITMAPINFOHEADER h{};
    kmx::LoadRecord(format.data(), h);
    if (h.biSize != format.size()) {
        return false;
    }
    const AVCodecTag* const tags[] = {avformat_get_riff_video_tags(), nullptr};
    const AVCodecID id = av_codec_get_id(tags, h.biCompression);
    const AVCodec* codec = avcodec_find_decoder(id);
    if (codec == nullptr) {
        return false;
    }
    state_->context.reset(avcodec_alloc_context3(codec));
    state_->packet.reset(av_packet_alloc());
    state_->picture.reset(av_frame_alloc());
    if (!state_->context || !state_->packet || !state_->picture) {
        return false;
    }
    AVCodecContext* c = state_->context.get();
    c->width = h.biWidth;
    c->height = h.biHeight;
    c->codec_tag = h.biCompression;
    c->bits_per_coded_sample = h.biBitCount;
    c->thread_count = 1;
    const std::size_t extra = format.size() - 40;
    if (extra > 0) {
        c->extradata = static_cast<std::uint8_t*>(av_mallocz(extra + AV_INPUT_BUFFER_PADDING_SIZE));
        if (c->extradata == nullptr) {
            return false;
        }
        std::memcpy(c->extradata, format.data() + 40, extra);
        c->extradata_size = static_cast<int>(extra);
    }
    state_->width = h.biWidth;
    state_->height = h.biHeight;
    return avcodec_open2(c, codec, nullptr) >= 0;
}

bool CTestDecoder::Receive() {
    for (;;) {
        const int r = avcodec_receive_frame(state_->context.get(), state_->picture.get());
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) {
            return true;
        }
        if (r < 0) {
            return false;
        }
        AVFrame* f = state_->picture.get();
        const int w = state_->width;
        const int h = state_->height;
        if (f->width != w || f->height != h) {
            return false;
        }
        const AVPixelFormat source = static_cast<AVPixelFormat>(f->format);
        const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(source);
        if (desc == nullptr) {
            return false;
        }
        // RGB pictures are copied exactly; YUV pictures get proper chroma upsampling.
        const int flags = (desc->flags & AV_PIX_FMT_FLAG_RGB) != 0
                              ? (SWS_POINT | SWS_BITEXACT | SWS_ACCURATE_RND)
                              : (SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT);
        kmx::SwsContextPtr sws(
            sws_getContext(w, h, source, w, h, AV_PIX_FMT_BGR24, flags, nullptr, nullptr, nullptr));
        if (!sws) {
            return false;
        }
        Frame bgr(static_cast<std::size_t>(w) * h * 3);
        // Written bottom-up: the first output row is the picture's bottom row.
        std::uint8_t* planes[4] = {bgr.data() + static_cast<std::size_t>(h - 1) * w * 3, nullptr,
                                   nullptr, nullptr};
        const int strides[4] = {-w * 3, 0, 0, 0};
        if (sws_scale(sws.get(), f->data, f->linesize, 0, h, planes, strides) != h) {
            return false;
        }
        pictures_.push_back(std::move(bgr));
        av_frame_unref(f);
    }
}

bool CTestDecoder::Decode(const std::vector<std::uint8_t>& sample) {
    if (!state_->context) {
        return false;
    }
    AVPacket* p = state_->packet.get();
    if (av_new_packet(p, static_cast<int>(sample.size())) < 0) {
        return false;
    }
    if (!sample.empty()) {
        std::memcpy(p->data, sample.data(), sample.size());
    }
    const int r = avcodec_send_packet(state_->context.get(), p);
    av_packet_unref(p);
    return r >= 0 && Receive();
}

bool CTestDecoder::Finish() {
    if (!state_->context || avcodec_send_packet(state_->context.get(), nullptr) < 0) {
        return false;
    }
    return Receive();
}

bool DecodeAll(const Encoded& encoded, std::size_t first, std::size_t end,
               std::vector<Frame>* pictures) {
    CTestDecoder decoder;
    if (!decoder.Open(encoded.format)) {
        return false;
    }
    for (std::size_t i = first; i < end && i < encoded.samples.size(); ++i) {
        if (!decoder.Decode(encoded.samples[i].data)) {
            return false;
        }
    }
    if (!decoder.Finish()) {
        return false;
    }
    *pictures = decoder.Pictures();
    return true;
}

std::vector<const kmx::CompressorEntry*> AvailableEntries(bool withUncompressed) {
    std::vector<const kmx::CompressorEntry*> list;
    for (const kmx::CompressorEntry& entry : kmx::CompressorTable()) {
        if (entry.encoderName == nullptr && !withUncompressed) {
            continue;
        }
        if (kmx::IsCompressorAvailable(entry)) {
            list.push_back(&entry);
        }
    }
    return list;
}

std::string EntryName(const kmx::CompressorEntry& entry) {
    std::string name;
    for (int i = 0; i < 4; ++i) {
        const char c = static_cast<char>(entry.fourcc >> (8 * i));
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    }
    return name;
}

} // namespace codectest
