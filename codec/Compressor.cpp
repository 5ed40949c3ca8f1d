#include "codec/Compressor.h"

#include "codec/CompressorInfo.h"
#include "codec/EncoderSettings.h"
#include "codec/FrameConverter.h"
#include "codec/FrameLayout.h"
#include "media/decode/AvPointers.h"

extern "C" {
#include <libavutil/imgutils.h>
}

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>
#include <vector>

namespace {

// Bound on one compressed frame: the encoders' own worst-case packet sizes
// stay below 12 bytes per pixel, plus room for headers.
constexpr std::int64_t kMaxBytesPerPixel = 12;
constexpr std::int64_t kFrameHeaderRoom = 65536;
// Codec extra data beyond this is not believed.
constexpr int kMaxExtradata = 1 << 20;

std::uint32_t NextHandle() {
    static std::atomic<std::uint32_t> next{1};
    std::uint32_t handle = next.fetch_add(1);
    while (handle == 0) {
        handle = next.fetch_add(1);
    }
    return handle;
}

bool IsPassThrough(const kmx::CompressorEntry& entry) {
    return entry.encoderName == nullptr;
}

// Row size of an uncompressed DIB: padded to whole 32-bit words.
std::int64_t DibStride(const kmx::FrameLayout& layout) {
    return (static_cast<std::int64_t>(layout.width) * layout.bitsPerPixel + 31) / 32 * 4;
}

bool SameShape(const kmx::FrameLayout& a, const kmx::FrameLayout& b) {
    return a.width == b.width && a.height == b.height && a.bitsPerPixel == b.bitsPerPixel;
}

// Checks the input format against what the entry's encoder takes.
bool DescribeUsableInput(const kmx::CompressorEntry& entry, const BITMAPINFOHEADER* input,
                         kmx::FrameLayout* layout) {
    if (!kmx::DescribeInputFormat(input, layout)) {
        return false;
    }
    if (layout->width % entry.widthMultiple != 0 || layout->height % entry.heightMultiple != 0) {
        return false;
    }
    // 'I420' pictures only go to encoders that take 4:2:0 themselves.
    if (layout->planar && (IsPassThrough(entry) || !kmx::TakesYuv420(entry))) {
        return false;
    }
    if (!IsPassThrough(entry) &&
        av_image_check_size(static_cast<unsigned>(layout->width),
                            static_cast<unsigned>(layout->height), 0, nullptr) < 0) {
        return false;
    }
    return true;
}

std::int64_t MaxFrameSize(const kmx::CompressorEntry& entry, const kmx::FrameLayout& layout) {
    if (IsPassThrough(entry)) {
        return DibStride(layout) * layout.height;
    }
    return kMaxBytesPerPixel * layout.width * layout.height + kFrameHeaderRoom;
}

} // namespace

// What an opened encoder declares about its stream: the extra data that goes
// after the header of the output format and the bit depth for biBitCount.
struct StreamDeclaration {
    std::vector<std::uint8_t> extradata;
    int bitCount = 24;
};

struct CCompressor::State {
    const kmx::CompressorEntry* entry = nullptr;
    std::uint32_t rate = 25;
    std::uint32_t scale = 1;
    std::int32_t aspectNum = 1;
    std::int32_t aspectDen = 1;

    // The last output format handed out, so that a sequence can be checked
    // against it.
    bool declared = false;
    kmx::FrameLayout declaredLayout;
    StreamDeclaration declaration;
    // What the running sequence's encoder declared.
    StreamDeclaration sequenceDeclaration;

    // The running sequence.
    bool started = false;
    bool broken = false;
    bool holdsFrames = false; // samples come back later than their frames
    kmx::FrameLayout layout;
    std::int64_t maxFrameSize = 0;
    std::int64_t frameIndex = 0;      // frames handed over
    std::int64_t sampleIndex = 0;     // samples given back
    std::int64_t lastDts = INT64_MIN; // the next sample's dts is at least this
    bool flushed = false;
    int frameQuality = 0;
    kmx::AvCodecContextPtr context;
    // The pictures handed to the encoder, used in turn: one, or a few more
    // than the frames an encoder that holds frames back keeps.
    std::vector<kmx::AvFramePtr> frames;
    kmx::AvPacketPtr packet;
    kmx::AvPacketPtr spare;
    kmx::CFrameConverter converter;
    std::vector<std::uint8_t> rows; // uncompressed output

    // The pictures handed to the encoder: one, or for an encoder that holds
    // frames back two more than it may hold, so that the next one is free.
    bool AllocatePictures() {
        const int pictures = holdsFrames ? std::max(context->thread_count, 1) + 2 : 1;
        for (int i = 0; i < pictures; ++i) {
            kmx::AvFramePtr picture(av_frame_alloc());
            if (!picture) {
                return false;
            }
            picture->format = context->pix_fmt;
            picture->width = layout.width;
            picture->height = layout.height;
            picture->color_range = context->color_range;
            if (av_frame_get_buffer(picture.get(), 0) < 0) {
                return false;
            }
            frames.push_back(std::move(picture));
        }
        return true;
    }

    void EndSequence() {
        // An encoder that looks ahead is told that the frames have ended
        // before it is closed: SVT-AV1 waits for that when it shuts down.
        if (context && !flushed && kmx::LooksAhead(*entry)) {
            avcodec_send_frame(context.get(), nullptr);
        }
        started = false;
        broken = false;
        holdsFrames = false;
        frameIndex = 0;
        sampleIndex = 0;
        lastDts = INT64_MIN;
        flushed = false;
        frameQuality = 0;
        context.reset();
        frames.clear();
        packet.reset();
        spare.reset();
        converter.Reset();
        std::vector<std::uint8_t>().swap(rows);
        sequenceDeclaration = StreamDeclaration{};
    }
};

namespace {

// Opens the entry's encoder for frames of layout with settings; null when
// libavcodec refuses.
kmx::AvCodecContextPtr OpenEncoder(const kmx::CompressorEntry& entry,
                                   const kmx::FrameLayout& layout,
                                   const kmx::EncoderSettings& settings, int* frameQuality) {
    const AVCodec* codec = avcodec_find_encoder_by_name(entry.encoderName);
    if (codec == nullptr) {
        return nullptr;
    }
    kmx::AvCodecContextPtr context(avcodec_alloc_context3(codec));
    if (!context) {
        return nullptr;
    }
    if (!kmx::ConfigureEncoder(context.get(), entry, layout.width, layout.height, settings,
                               frameQuality)) {
        return nullptr;
    }
    if (avcodec_open2(context.get(), codec, nullptr) < 0) {
        return nullptr;
    }
    return context;
}

bool ReadDeclaration(const AVCodecContext& context, StreamDeclaration* out) {
    if (context.extradata_size < 0 || context.extradata_size > kMaxExtradata ||
        (context.extradata_size > 0 && context.extradata == nullptr)) {
        return false;
    }
    out->extradata.assign(context.extradata, context.extradata + context.extradata_size);
    out->bitCount = context.bits_per_coded_sample > 0 ? context.bits_per_coded_sample : 24;
    return true;
}

bool SameDeclaration(const StreamDeclaration& a, const StreamDeclaration& b) {
    return a.bitCount == b.bitCount && a.extradata == b.extradata;
}

} // namespace

CCompressor::CCompressor(const kmx::CompressorEntry& entry, std::uint32_t handle)
    : entry_(&entry), handle_(handle), state_(std::make_unique<State>()) {
    state_->entry = entry_;
}

CCompressor::~CCompressor() {
    state_->EndSequence();
}

std::unique_ptr<CCompressor> CCompressor::Open(std::uint32_t fccType, std::uint32_t fccHandler,
                                               std::uint32_t mode) {
    if ((fccType != ICTYPE_VIDEO && fccType != 0) || mode != ICMODE_COMPRESS) {
        return nullptr;
    }
    const kmx::CompressorEntry* entry = kmx::FindCompressorEntry(fccHandler);
    if (entry == nullptr || !kmx::IsCompressorAvailable(*entry)) {
        return nullptr;
    }
    return std::unique_ptr<CCompressor>(new CCompressor(*entry, NextHandle()));
}

std::int32_t CCompressor::GetInfo(ICINFO* info, std::int32_t size) const {
    if (info == nullptr || size < static_cast<std::int32_t>(kmx::kIcInfoSize)) {
        return 0;
    }
    kmx::FillCompressorInfo(*entry_, info);
    return static_cast<std::int32_t>(kmx::kIcInfoSize);
}

std::int32_t CCompressor::GetSize(const BITMAPINFOHEADER* input) const {
    kmx::FrameLayout layout;
    if (!DescribeUsableInput(*entry_, input, &layout)) {
        return ICERR_BADFORMAT;
    }
    const std::int64_t size = MaxFrameSize(*entry_, layout);
    if (size > INT32_MAX) {
        return ICERR_BADSIZE;
    }
    return static_cast<std::int32_t>(size);
}

std::int32_t CCompressor::GetFormatSize(const BITMAPINFOHEADER* input) {
    // The size depends on the encoder's extra data, which only an opened
    // encoder knows: it is opened once per input shape with default settings.
    kmx::FrameLayout layout;
    if (GetSize(input) <= 0 || !DescribeUsableInput(*entry_, input, &layout)) {
        return ICERR_BADFORMAT;
    }
    // Containers other than AVI take the codec's headers from the running
    // sequence (DescribeStream), so no encoder is opened just to learn them.
    if (IsPassThrough(*entry_) || delivery_) {
        return static_cast<std::int32_t>(kmx::kBitmapInfoHeaderSize);
    }
    if (!state_->declared || !SameShape(state_->declaredLayout, layout)) {
        int frameQuality = 0;
        kmx::AvCodecContextPtr context =
            OpenEncoder(*entry_, layout, kmx::EncoderSettings{}, &frameQuality);
        StreamDeclaration declaration;
        if (!context || !ReadDeclaration(*context, &declaration)) {
            return ICERR_BADFORMAT;
        }
        state_->declared = true;
        state_->declaredLayout = layout;
        state_->declaration = std::move(declaration);
    }
    return static_cast<std::int32_t>(kmx::kBitmapInfoHeaderSize +
                                     state_->declaration.extradata.size());
}

std::int32_t CCompressor::GetFormat(const BITMAPINFOHEADER* input, void* output,
                                    std::int32_t outputSize) {
    const std::int32_t needed = GetFormatSize(input);
    if (needed <= 0) {
        return ICERR_BADFORMAT;
    }
    if (output == nullptr || outputSize < needed) {
        return ICERR_BADSIZE;
    }
    kmx::FrameLayout layout;
    DescribeUsableInput(*entry_, input, &layout);
    BITMAPINFOHEADER header{};
    header.biSize = static_cast<std::uint32_t>(needed);
    header.biWidth = layout.width;
    header.biHeight = layout.height;
    header.biPlanes = 1;
    header.biXPelsPerMeter = input->biXPelsPerMeter;
    header.biYPelsPerMeter = input->biYPelsPerMeter;
    header.biSizeImage = static_cast<std::uint32_t>(GetSize(input));
    if (IsPassThrough(*entry_)) {
        header.biBitCount = static_cast<std::uint16_t>(layout.bitsPerPixel);
        header.biCompression = BI_RGB;
    } else if (delivery_) {
        header.biBitCount = 24;
        header.biCompression = entry_->fourcc;
    } else {
        header.biBitCount = static_cast<std::uint16_t>(state_->declaration.bitCount);
        header.biCompression = entry_->fourcc;
    }
    auto* bytes = static_cast<std::uint8_t*>(output);
    kmx::StoreRecord(bytes, header);
    if (!IsPassThrough(*entry_) && !delivery_ && !state_->declaration.extradata.empty()) {
        std::memcpy(bytes + kmx::kBitmapInfoHeaderSize, state_->declaration.extradata.data(),
                    state_->declaration.extradata.size());
    }
    return ICERR_OK;
}

void CCompressor::SetFrameRate(std::uint32_t rate, std::uint32_t scale) {
    if (rate > 0 && scale > 0 && rate <= INT32_MAX && scale <= INT32_MAX) {
        state_->rate = rate;
        state_->scale = scale;
    }
}

void CCompressor::SetSampleAspect(std::int32_t num, std::int32_t den) {
    if (num > 0 && den > 0) {
        state_->aspectNum = num;
        state_->aspectDen = den;
    }
}

bool CCompressor::SeqCompressFrameStart(const COMPVARS& settings, const BITMAPINFOHEADER* input) {
    State& s = *state_;
    s.EndSequence();
    kmx::FrameLayout layout;
    if (!DescribeUsableInput(*entry_, input, &layout)) {
        return false;
    }
    const std::int64_t maxFrameSize = MaxFrameSize(*entry_, layout);
    if (maxFrameSize > INT32_MAX) {
        return false;
    }
    s.layout = layout;
    s.maxFrameSize = maxFrameSize;

    if (IsPassThrough(*entry_)) {
        try {
            s.rows.assign(static_cast<std::size_t>(maxFrameSize), 0);
        } catch (const std::bad_alloc&) {
            s.EndSequence();
            return false;
        }
        s.started = true;
        return true;
    }

    // An encoder that looks ahead cannot give each frame's sample at once.
    if (kmx::LooksAhead(*entry_) && !allowDelay_) {
        s.EndSequence();
        return false;
    }
    kmx::EncoderSettings encoderSettings = kmx::SettingsFromCompVars(settings, s.rate, s.scale);
    encoderSettings.frameThreads = allowDelay_;
    encoderSettings.delivery = delivery_;
    encoderSettings.aspectNum = s.aspectNum;
    encoderSettings.aspectDen = s.aspectDen;
    s.context = OpenEncoder(*entry_, layout, encoderSettings, &s.frameQuality);
    StreamDeclaration declaration;
    if (!s.context || !ReadDeclaration(*s.context, &declaration)) {
        s.EndSequence();
        return false;
    }
    // The output format handed out before must describe this stream; a
    // decoder fed with other extra data could not read the frames. Delivery
    // containers take the sequence's own headers instead.
    if (!delivery_ && s.declared && SameShape(s.declaredLayout, layout) &&
        !SameDeclaration(s.declaration, declaration)) {
        s.EndSequence();
        return false;
    }

    s.sequenceDeclaration = std::move(declaration);
    s.holdsFrames = kmx::HoldsFrames(*s.context, *entry_, encoderSettings);
    s.packet.reset(av_packet_alloc());
    s.spare.reset(av_packet_alloc());
    if (!s.AllocatePictures()) {
        s.EndSequence();
        return false;
    }
    if (!s.packet || !s.spare ||
        !s.converter.Init(layout, s.context->pix_fmt,
                          kmx::YuvLevels{s.context->pix_fmt == AV_PIX_FMT_YUVJ420P,
                                         s.context->colorspace == AVCOL_SPC_BT709})) {
        s.EndSequence();
        return false;
    }
    s.started = true;
    return true;
}

const std::uint8_t* CCompressor::SeqCompressFrame(const void* bits, std::int64_t bitsSize,
                                                  bool* key, std::int32_t* size) {
    State& s = *state_;
    if (!s.started || s.broken || bits == nullptr || key == nullptr || size == nullptr ||
        bitsSize < s.layout.frameBytes || Delays()) {
        return nullptr;
    }
    const auto* rows = static_cast<const std::uint8_t*>(bits);

    if (IsPassThrough(*entry_)) {
        const std::int64_t stride = DibStride(s.layout);
        for (int y = 0; y < s.layout.height; ++y) {
            std::memcpy(s.rows.data() + y * stride, rows + y * s.layout.rowBytes,
                        static_cast<std::size_t>(s.layout.rowBytes));
        }
        ++s.frameIndex;
        ++s.sampleIndex;
        *key = true;
        *size = static_cast<std::int32_t>(s.rows.size());
        return s.rows.data();
    }

    if (!SendFrame(bits, bitsSize)) {
        return nullptr;
    }
    // Exactly one sample must come back for this frame, at once.
    bool failed = false;
    const std::uint8_t* sample = TakeSample(key, size, &failed);
    if (sample == nullptr) {
        s.broken = true;
        return nullptr;
    }
    const int more = avcodec_receive_packet(s.context.get(), s.spare.get());
    if (more != AVERROR(EAGAIN)) {
        av_packet_unref(s.spare.get());
        s.broken = true;
        return nullptr;
    }
    return sample;
}

bool CCompressor::DescribeStream(kmx::MediaCodecDetails* details) const {
    const State& s = *state_;
    if (details == nullptr || !s.started || !s.context) {
        return false;
    }
    const AVCodecContext& c = *s.context;
    details->codecId = c.codec_id;
    details->codecPrivate = s.sequenceDeclaration.extradata;
    details->colorSpace = c.colorspace;
    details->colorPrimaries = c.color_primaries;
    details->colorTransfer = c.color_trc;
    details->colorRange = c.color_range;
    details->sampleAspectNum = c.sample_aspect_ratio.num;
    details->sampleAspectDen = c.sample_aspect_ratio.den;
    return true;
}

bool CCompressor::Delays() const {
    const State& s = *state_;
    return s.started && s.context && s.holdsFrames;
}

bool CCompressor::SendFrame(const void* bits, std::int64_t bitsSize) {
    State& s = *state_;
    if (!s.started || s.broken || s.flushed || bits == nullptr || bitsSize < s.layout.frameBytes ||
        IsPassThrough(*entry_)) {
        return false;
    }
    // From here on any failure leaves the encoder in an unknown state (a frame
    // may be held inside it), so the sequence is broken: no later frame may
    // come out shifted against its input.
    s.broken = true;
    // A picture the encoder still holds is copied away first (which the
    // spare pictures make rare).
    AVFrame* picture = s.frames[static_cast<std::size_t>(s.frameIndex) % s.frames.size()].get();
    if (av_frame_make_writable(picture) < 0 ||
        !s.converter.Convert(static_cast<const std::uint8_t*>(bits), picture)) {
        return false;
    }
    picture->pts = s.frameIndex;
    picture->quality = s.frameQuality;
    picture->pict_type = AV_PICTURE_TYPE_NONE;
    if (avcodec_send_frame(s.context.get(), picture) < 0) {
        return false;
    }
    s.broken = false;
    ++s.frameIndex;
    return true;
}

bool CCompressor::Flush() {
    State& s = *state_;
    if (!s.started || s.broken || IsPassThrough(*entry_)) {
        return false;
    }
    if (!s.flushed) {
        s.flushed = true;
        if (avcodec_send_frame(s.context.get(), nullptr) < 0) {
            s.broken = true;
            return false;
        }
    }
    return true;
}

const std::uint8_t* CCompressor::TakeSample(bool* key, std::int32_t* size, bool* failed,
                                            Stamps* stamps) {
    State& s = *state_;
    *failed = false;
    if (!s.started || s.broken || key == nullptr || size == nullptr || IsPassThrough(*entry_)) {
        *failed = true;
        return nullptr;
    }
    av_packet_unref(s.packet.get());
    const int rc = avcodec_receive_packet(s.context.get(), s.packet.get());
    if (rc == AVERROR(EAGAIN) || (rc == AVERROR_EOF && s.flushed)) {
        return nullptr;
    }
    const bool isKey = rc == 0 && (s.packet->flags & AV_PKT_FLAG_KEY) != 0;
    // Without reordering a sample shows the frame of its number.
    Stamps at{s.sampleIndex, s.sampleIndex};
    if (rc == 0 && delivery_ && s.packet->pts != AV_NOPTS_VALUE) {
        at.pts = s.packet->pts;
        at.dts = s.packet->dts != AV_NOPTS_VALUE ? s.packet->dts : at.pts;
    }
    // A sample for a frame not handed over, or one that no frame can have.
    if (rc < 0 || s.sampleIndex >= s.frameIndex || s.packet->size < 0 ||
        s.packet->size > s.maxFrameSize || (s.sampleIndex == 0 && !isKey) ||
        (s.packet->size > 0 && s.packet->data == nullptr) || at.pts < 0 || at.pts >= s.frameIndex ||
        at.dts > at.pts || at.dts < s.lastDts) {
        s.broken = true;
        *failed = true;
        return nullptr;
    }
    s.lastDts = at.dts + 1;
    if (stamps != nullptr) {
        *stamps = at;
    }
    ++s.sampleIndex;
    *key = isKey;
    *size = s.packet->size;
    // A valid pointer also for an empty sample.
    static const std::uint8_t kEmpty = 0;
    return s.packet->size > 0 ? s.packet->data : &kEmpty;
}

void CCompressor::SeqCompressFrameEnd() {
    state_->EndSequence();
}
