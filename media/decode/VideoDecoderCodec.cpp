#include "media/decode/VideoDecoderCodec.h"
#include "media/decode/ColourMatrix.h"

#include "media/io/ByteOrder.h"
#include "media/io/WorkThreads.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace kmx {
namespace {

// A compressed sample above this is treated as unreadable.
constexpr std::uint64_t kMaxPacketBytes = std::uint64_t{768} << 20;
// How often a supposed key frame that does not decode is dropped in favour of
// the one before it, for one request.
constexpr int kMaxKeyRetries = 1024;
constexpr std::size_t kRowAlign = 64;

bool IsIntraOnly(AVCodecID id) {
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get(id);
    return descriptor != nullptr && (descriptor->props & AV_CODEC_PROP_INTRA_ONLY) != 0;
}

// The full-range "J" formats name a range, not a layout; the scaler wants
// the layout with the range set apart.
AVPixelFormat WithoutRange(AVPixelFormat format, bool* fullRange) {
    switch (format) {
    case AV_PIX_FMT_YUVJ420P:
        *fullRange = true;
        return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P:
        *fullRange = true;
        return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P:
        *fullRange = true;
        return AV_PIX_FMT_YUV444P;
    case AV_PIX_FMT_YUVJ440P:
        *fullRange = true;
        return AV_PIX_FMT_YUV440P;
    case AV_PIX_FMT_YUVJ411P:
        *fullRange = true;
        return AV_PIX_FMT_YUV411P;
    default:
        return format;
    }
}

// A colour field of a frame as a plain number: decoders copy these from the
// bitstream, and a value outside the enumeration must not be loaded as one.
template <typename Field> int FieldValue(const Field& field) {
    static_assert(sizeof(Field) == sizeof(int));
    int value = 0;
    std::memcpy(&value, &field, sizeof value);
    return value;
}

// Sets such a field to a value FieldValue gave.
template <typename Field> void SetFieldValue(Field& field, int value) {
    static_assert(sizeof(Field) == sizeof(int));
    std::memcpy(&field, &value, sizeof value);
}

// Codecs whose bitstream says whether each picture is interlaced, so that a
// picture not flagged interlaced is progressive.
bool DeclaresScan(AVCodecID id) {
    switch (id) {
    case AV_CODEC_ID_H264:
    case AV_CODEC_ID_HEVC:
    case AV_CODEC_ID_MPEG1VIDEO:
    case AV_CODEC_ID_MPEG2VIDEO:
    case AV_CODEC_ID_MPEG4:
    case AV_CODEC_ID_VC1:
    case AV_CODEC_ID_WMV3:
    case AV_CODEC_ID_DVVIDEO:
    case AV_CODEC_ID_VP8:
    case AV_CODEC_ID_VP9:
    case AV_CODEC_ID_AV1:
        return true;
    default:
        return false;
    }
}

ScanType PictureScan(const AVFrame* frame, AVCodecID id) {
#ifdef AV_FRAME_FLAG_INTERLACED
    const bool interlaced = (frame->flags & AV_FRAME_FLAG_INTERLACED) != 0;
    const bool topFirst = (frame->flags & AV_FRAME_FLAG_TOP_FIELD_FIRST) != 0;
#else
    const bool interlaced = frame->interlaced_frame != 0;
    const bool topFirst = frame->top_field_first != 0;
#endif
    if (interlaced) {
        return topFirst ? ScanType::TopFieldFirst : ScanType::BottomFieldFirst;
    }
    return DeclaresScan(id) ? ScanType::Progressive : ScanType::Unknown;
}

bool HasKeyFlag(const AVFrame* frame) {
#ifdef AV_FRAME_FLAG_KEY
    return (frame->flags & AV_FRAME_FLAG_KEY) != 0;
#else
    return frame->key_frame != 0;
#endif
}

bool IsKeyFrame(const AVFrame* frame) {
    return HasKeyFlag(frame) && frame->pict_type == AV_PICTURE_TYPE_I;
}

// The decoder for the format's compression FOURCC or, failing that, the
// stream handler's; *tag receives the FOURCC that found it.
const AVCodec* FindDecoder(const std::vector<std::uint8_t>& format, std::uint32_t handler,
                           std::uint32_t* tag) {
    const std::uint32_t compression = LoadU32(format.data() + 16);
    const AVCodecTag* const tags[] = {avformat_get_riff_video_tags(), nullptr};
    *tag = compression;
    AVCodecID id = compression != 0 ? av_codec_get_id(tags, compression) : AV_CODEC_ID_NONE;
    if (id == AV_CODEC_ID_NONE && handler != 0) {
        *tag = handler;
        id = av_codec_get_id(tags, handler);
    }
    return id != AV_CODEC_ID_NONE ? avcodec_find_decoder(id) : nullptr;
}

// Sets the picture size, depth and codec data from the BITMAPINFOHEADER and
// what follows it. False when the codec data cannot be allocated.
bool SetUpContext(AVCodecContext* context, const std::vector<std::uint8_t>& format,
                  std::uint32_t tag) {
    const std::int64_t height = LoadI32(format.data() + 8);
    context->codec_tag = tag;
    context->width = LoadI32(format.data() + 4);
    context->height = static_cast<int>(
        std::min<std::int64_t>(height < 0 ? -height : height, std::int64_t{INT32_MAX}));
    context->bits_per_coded_sample = LoadU16(format.data() + 14);
    // Frame threads where the codec has them, else slice threads; either
    // gives the same pictures as one thread.
    context->thread_count = WorkThreads();
    context->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    context->max_pixels = static_cast<std::int64_t>(kMaxDibPixelBytes / 4);
    const std::size_t extra = format.size() - kBitmapInfoHeaderSize;
    if (extra > 0) {
        context->extradata =
            static_cast<std::uint8_t*>(av_mallocz(extra + AV_INPUT_BUFFER_PADDING_SIZE));
        if (context->extradata == nullptr) {
            return false;
        }
        std::memcpy(context->extradata, format.data() + kBitmapInfoHeaderSize, extra);
        context->extradata_size = static_cast<int>(extra);
    }
    return true;
}

} // namespace

CCodecDecoder::~CCodecDecoder() {
    Close();
}

bool CCodecDecoder::Open(const std::vector<std::uint8_t>& format, std::uint32_t handler,
                         const IVideoSampleSource& source, int codecId) {
    Close();
    if (format.size() < kBitmapInfoHeaderSize) {
        return false;
    }
    std::uint32_t tag = LoadU32(format.data() + 16);
    const AVCodec* codec = codecId != 0 ? avcodec_find_decoder(static_cast<AVCodecID>(codecId))
                                        : FindDecoder(format, handler, &tag);
    if (codec == nullptr) {
        return false;
    }
    context_.reset(avcodec_alloc_context3(codec));
    packet_.reset(av_packet_alloc());
    frame_.reset(av_frame_alloc());
    pending_.reset(av_frame_alloc());
    stored_.reset(av_frame_alloc());
    if (context_ == nullptr || packet_ == nullptr || frame_ == nullptr || pending_ == nullptr ||
        stored_ == nullptr || !SetUpContext(context_.get(), format, tag) ||
        avcodec_open2(context_.get(), codec, nullptr) < 0) {
        Close();
        return false;
    }
    source_ = &source;
    intraOnly_ = IsIntraOnly(codec->id);
    FindKeys(intraOnly_);
    needsRestart_ = true;
    return true;
}

void CCodecDecoder::FindKeys(bool intraOnly) {
    const bool keysKnown = source_->KeysKnown();
    learnKeys_ = !keysKnown && !intraOnly;
    const std::int32_t count = source_->SampleCount();
    for (std::int32_t i = 0; i < count; ++i) {
        if (source_->SampleSize(i) == 0) {
            continue;
        }
        if (firstSample_ < 0) {
            firstSample_ = i;
        }
        // Without key flags, an intra-only codec is assumed to start afresh
        // at every sample; a sample that then does not decode on its own is
        // dropped from the keys.
        if (keysKnown ? source_->IsKeySample(i) : intraOnly) {
            keys_.push_back(i);
        }
    }
}

void CCodecDecoder::Close() {
    context_.reset();
    packet_.reset();
    frame_.reset();
    pending_.reset();
    stored_.reset();
    storing_ = false;
    lastStored_ = StoredPicture{};
    scaler_.reset();
    source_ = nullptr;
    leadIn_ = nullptr;
    leadInPictures_ = 0;
    hasPending_ = false;
    pendingSample_ = -1;
    keys_.clear();
    std::vector<bool>().swap(keyChecked_);
    learnKeys_ = false;
    intraOnly_ = false;
    firstSample_ = -1;
    reorders_ = false;
    runStart_ = 0;
    runAnchor_ = 0;
    started_ = false;
    anchored_ = false;
    countPictures_ = false;
    lastPlaced_ = -1;
    lastCoded_ = -1;
    nextFeed_ = 0;
    consumed_ = -1;
    drained_ = false;
    needsRestart_ = true;
    std::vector<std::uint8_t>().swap(packetBytes_);
    std::vector<std::uint8_t>().swap(rgbRows_);
    planarFits_ = false;
    planar709Fits_ = false;
    sawPicture_ = false;
    firstScan_ = ScanType::Unknown;
    packetsSent_ = 0;
    std::vector<bool>().swap(damaged_);
    damagedCount_ = 0;
}

std::int32_t CCodecDecoder::KeyAtOrBefore(std::int32_t sample) const {
    const auto it = std::upper_bound(keys_.begin(), keys_.end(), sample);
    return it == keys_.begin() ? -1 : *(it - 1);
}

std::int32_t CCodecDecoder::KeyAfter(std::int32_t sample) const {
    const auto it = std::upper_bound(keys_.begin(), keys_.end(), sample);
    return it == keys_.end() ? -1 : *it;
}

void CCodecDecoder::ForgetKey(std::int32_t sample) {
    const auto it = std::lower_bound(keys_.begin(), keys_.end(), sample);
    if (it != keys_.end() && *it == sample) {
        keys_.erase(it);
    }
}

void CCodecDecoder::LearnKey(std::int32_t sample) {
    const auto it = std::lower_bound(keys_.begin(), keys_.end(), sample);
    if (it == keys_.end() || *it != sample) {
        keys_.insert(it, sample);
    }
    CheckKey(sample);
}

void CCodecDecoder::CheckKey(std::int32_t sample) {
    if (sample < 0 || sample >= source_->SampleCount()) {
        return;
    }
    if (keyChecked_.empty()) {
        keyChecked_.assign(static_cast<std::size_t>(source_->SampleCount()), false);
    }
    keyChecked_[static_cast<std::size_t>(sample)] = true;
}

bool CCodecDecoder::KeyChecked(std::int32_t sample) const {
    return sample >= 0 && static_cast<std::size_t>(sample) < keyChecked_.size() &&
           keyChecked_[static_cast<std::size_t>(sample)];
}

std::int32_t CCodecDecoder::NextNonEmpty(std::int32_t sample) const {
    const std::int32_t count = source_->SampleCount();
    std::int32_t next = sample + 1;
    while (next < count && source_->SampleSize(next) == 0) {
        ++next;
    }
    return next;
}

void CCodecDecoder::Restart(std::int32_t key) {
    avcodec_flush_buffers(context_.get());
    av_frame_unref(pending_.get());
    hasPending_ = false;
    runStart_ = key;
    // A key frame not yet seen to start a run is first tried on its own
    // (see PlaceFrame).
    if (reorders_ && key > firstSample_ && KeyChecked(key)) {
        const std::int32_t before = KeyAtOrBefore(key - 1);
        runStart_ = before >= 0 ? before : firstSample_;
    }
    runAnchor_ = key;
    leadInPictures_ = 0;
    started_ = false;
    anchored_ = false;
    countPictures_ = false;
    lastPlaced_ = key - 1;
    lastCoded_ = -1;
    nextFeed_ = runStart_;
    consumed_ = key - 1;
    drained_ = false;
    needsRestart_ = false;
}

bool CCodecDecoder::Decode(std::int32_t sample, const DibGeometry& geometry,
                           const PixelTarget& target) {
    if (context_ == nullptr || sample < 0 || sample >= source_->SampleCount() ||
        source_->SampleSize(sample) == 0) {
        return false;
    }
    for (int attempt = 0; attempt <= kMaxKeyRetries; ++attempt) {
        std::int32_t key = KeyAtOrBefore(sample);
        if (key < 0) {
            key = firstSample_;
        }
        if (key < 0) {
            return false;
        }
        // Continue where the decoder stands unless the sample lies behind it
        // or a key frame ahead of it is closer to the sample.
        const bool restart = needsRestart_ || sample <= consumed_ ||
                             (hasPending_ && sample < pendingSample_) || key > nextFeed_;
        if (restart) {
            Restart(key);
        }
        const Step step = DecodeForward(sample, geometry, target);
        if (step == Step::Frame) {
            return true;
        }
        if (step == Step::Rerun) {
            continue;
        }
        // Nothing up to the sample came out from the key frame on: it was no
        // key frame (or it is broken); try again from the one before it.
        if (step == Step::Failed || !restart || consumed_ >= key || key == firstSample_) {
            return false;
        }
        ForgetKey(key);
        needsRestart_ = true;
    }
    return false;
}

void CCodecDecoder::SetLeadInSink(LeadInSink* sink) {
    leadIn_ = sink;
    leadInPictures_ = 0;
}

void CCodecDecoder::PassToLeadIn(const AVFrame* frame, const DibGeometry& geometry) {
    if (leadIn_ == nullptr || leadInPictures_ < 0) {
        return;
    }
    LeadInSink* sink = leadIn_;
    if (!Deliver(frame, geometry, [sink] { return sink->Pixels(); })) {
        leadInPictures_ = -1;
        return;
    }
    sink->Keep(leadInPictures_++);
}

std::int32_t CCodecDecoder::PlaceFrame(const AVFrame* frame, bool* rerun, bool* leadIn) {
    *rerun = false;
    *leadIn = false;
    const std::int64_t pts = frame->pts;
    const std::int32_t coded = pts != AV_NOPTS_VALUE && pts >= 0 && pts < source_->SampleCount()
                                   ? static_cast<std::int32_t>(pts)
                                   : -1;
    if (learnKeys_ && coded >= 0 && IsKeyFrame(frame)) {
        LearnKey(coded);
    }
    if (!started_) {
        started_ = true;
        // A run must begin with a picture of its first sample that the
        // decoder calls a key frame. Otherwise the index called a sample a
        // key frame that is none (or it does not decode): forget it and
        // begin further back.
        const bool startsWell = (coded < 0 || coded == runStart_) && HasKeyFlag(frame);
        if (!startsWell && runStart_ != firstSample_) {
            ForgetKey(runStart_);
            needsRestart_ = true;
            *rerun = true;
            return -1;
        }
        if (startsWell) {
            CheckKey(runStart_);
        }
        // A codec that reorders needs the run to begin a key frame earlier,
        // now that the anchor is known to be one.
        if (reorders_ && runStart_ == runAnchor_ && runAnchor_ != firstSample_) {
            needsRestart_ = true;
            *rerun = true;
            return -1;
        }
    }
    if (!anchored_) {
        // Pictures of samples before the anchor only warm the decoder up.
        if (coded >= 0 && coded < runAnchor_) {
            *leadIn = true;
            return -1;
        }
        if (!reorders_ && context_->has_b_frames > 0) {
            reorders_ = true;
            if (runStart_ == runAnchor_ && runAnchor_ != firstSample_) {
                needsRestart_ = true;
                *rerun = true;
                return -1;
            }
        }
        anchored_ = true;
        // Without reordering a picture shows its own sample, which stays
        // right when the decoder drops one. With reordering the samples are
        // in decoding order, so pictures, which come out in display order,
        // are counted from the anchor: every sample before the key frame is
        // shown before every sample from the key frame on.
        countPictures_ = reorders_ || coded < 0;
        lastCoded_ = coded;
        lastPlaced_ = countPictures_ ? runAnchor_ : coded;
        return lastPlaced_;
    }
    if (!countPictures_ && coded >= 0 && coded <= lastCoded_) {
        reorders_ = true; // pictures came out of order after all
        countPictures_ = true;
    }
    lastCoded_ = std::max(lastCoded_, coded);
    lastPlaced_ = countPictures_ || coded < 0 ? NextNonEmpty(lastPlaced_) : coded;
    return lastPlaced_;
}

CCodecDecoder::Step CCodecDecoder::DecodeForward(std::int32_t sample, const DibGeometry& geometry,
                                                 const PixelTarget& target) {
    for (;;) {
        if (hasPending_) {
            if (pendingSample_ > sample) {
                return Step::Missing;
            }
            hasPending_ = false;
            consumed_ = pendingSample_;
            if (pendingSample_ == sample) {
                const bool ok = Deliver(pending_.get(), geometry, target);
                av_frame_unref(pending_.get());
                return ok ? Step::Frame : Step::Failed;
            }
            av_frame_unref(pending_.get());
        }
        const int rc = avcodec_receive_frame(context_.get(), frame_.get());
        if (rc == 0) {
            bool rerun = false;
            bool leadIn = false;
            const std::int32_t placed = PlaceFrame(frame_.get(), &rerun, &leadIn);
            if (rerun) {
                av_frame_unref(frame_.get());
                return Step::Rerun;
            }
            if (leadIn) {
                PassToLeadIn(frame_.get(), geometry);
            }
            if (placed >= 0 &&
                (frame_->decode_error_flags != 0 || (frame_->flags & AV_FRAME_FLAG_CORRUPT) != 0)) {
                MarkDamaged(placed);
            }
            if (placed < 0 || placed < sample) {
                consumed_ = std::max(consumed_, placed);
                av_frame_unref(frame_.get());
                continue;
            }
            if (placed == sample) {
                consumed_ = placed;
                const bool ok = Deliver(frame_.get(), geometry, target);
                av_frame_unref(frame_.get());
                return ok ? Step::Frame : Step::Failed;
            }
            av_frame_move_ref(pending_.get(), frame_.get());
            hasPending_ = true;
            pendingSample_ = placed;
            return Step::Missing;
        }
        if (rc == AVERROR(EAGAIN) && !drained_ && FeedNext()) {
            continue;
        }
        // The end of the stream, or a decoder that cannot go on.
        needsRestart_ = true;
        return Step::Missing;
    }
}

bool CCodecDecoder::FeedNext() {
    const std::int32_t count = source_->SampleCount();
    while (nextFeed_ < count && source_->SampleSize(nextFeed_) == 0) {
        ++nextFeed_;
    }
    if (nextFeed_ >= count) {
        drained_ = true;
        const int rc = avcodec_send_packet(context_.get(), nullptr);
        return rc == 0 || rc == AVERROR_EOF;
    }
    const std::int32_t sample = nextFeed_++;
    const std::uint32_t size = source_->SampleSize(sample);
    if (size > kMaxPacketBytes) {
        return true; // skipped: its frame never comes out
    }
    packetBytes_.resize(static_cast<std::size_t>(size) + AV_INPUT_BUFFER_PADDING_SIZE);
    std::memset(packetBytes_.data() + size, 0, AV_INPUT_BUFFER_PADDING_SIZE);
    if (!source_->ReadSample(sample, packetBytes_.data())) {
        if (!source_->ReadInterrupted()) {
            MarkDamaged(sample);
        }
        return true;
    }
    av_packet_unref(packet_.get());
    packet_->data = packetBytes_.data();
    packet_->size = static_cast<int>(size);
    packet_->pts = sample;
    packet_->dts = AV_NOPTS_VALUE;
    packet_->flags = source_->IsKeySample(sample) ? AV_PKT_FLAG_KEY : 0;
    const int rc = avcodec_send_packet(context_.get(), packet_.get());
    av_packet_unref(packet_.get());
    ++packetsSent_;
    // A sample the decoder rejects produces no frame; anything else means
    // the decoder cannot take more input.
    const bool rejected = rc < 0 && rc != AVERROR(EAGAIN) && rc != AVERROR_EOF;
    if (rejected) {
        MarkDamaged(sample);
    }
    return rc == 0 || rejected;
}

void CCodecDecoder::MarkDamaged(std::int32_t sample) {
    const std::int32_t count = source_ != nullptr ? source_->SampleCount() : 0;
    if (sample < 0 || sample >= count) {
        return;
    }
    if (damaged_.empty()) {
        damaged_.assign(static_cast<std::size_t>(count), false);
    }
    if (!damaged_[static_cast<std::size_t>(sample)]) {
        damaged_[static_cast<std::size_t>(sample)] = true;
        ++damagedCount_;
    }
}

namespace {

// The picture's matrix (AVCOL_SPC_*, which libswscale's SWS_CS_* follow);
// one that names none is taken by its size.
int PictureMatrix(const AVFrame* frame) {
    const int space = FieldValue(frame->colorspace);
    if (space != AVCOL_SPC_UNSPECIFIED) {
        return space;
    }
    return AboveStandardDefinition(frame->width, frame->height) ? AVCOL_SPC_BT709
                                                                : AVCOL_SPC_SMPTE170M;
}

} // namespace

void CCodecDecoder::NotePicture(const AVFrame* frame) {
    bool fullRange = false;
    const AVPixelFormat format =
        WithoutRange(static_cast<AVPixelFormat>(frame->format), &fullRange);
    const int space = PictureMatrix(frame);
    const bool yuv420 = format == AV_PIX_FMT_YUV420P;
    const bool fits = yuv420 && (space == AVCOL_SPC_BT470BG || space == AVCOL_SPC_SMPTE170M);
    planarFits_ = fits && (planarFits_ || !sawPicture_);
    planar709Fits_ = yuv420 && space == AVCOL_SPC_BT709 && (planar709Fits_ || !sawPicture_);
    if (!sawPicture_) {
        firstScan_ = PictureScan(frame, context_->codec_id);
    }
    sawPicture_ = true;
}

// An 'I420' frame in video levels: 4:2:0 pictures in those levels are copied,
// anything else goes through the scaler (whose rows may run past their end,
// so into a buffer of its own first).
bool CCodecDecoder::ConvertPlanar(const AVFrame* frame, const DibGeometry& geometry,
                                  const PixelTarget& destination) {
    const int width = geometry.width;
    const int height = geometry.height;
    std::uint8_t* const pixels = destination();
    if (pixels == nullptr) {
        return false;
    }
    const PlanarPlanes layout = DescribePlanes(width, height);
    std::uint8_t* planes[4] = {pixels + layout.offset[0], pixels + layout.offset[1],
                               pixels + layout.offset[2], nullptr};
    int strides[4] = {layout.width[0], layout.width[1], layout.width[2], 0};
    bool fullRange = FieldValue(frame->color_range) == AVCOL_RANGE_JPEG;
    const AVPixelFormat format =
        WithoutRange(static_cast<AVPixelFormat>(frame->format), &fullRange);
    if (format == AV_PIX_FMT_YUV420P && !fullRange) {
        av_image_copy(planes, strides, const_cast<const std::uint8_t**>(frame->data),
                      frame->linesize, AV_PIX_FMT_YUV420P, width, height);
        return true;
    }
    scaler_.reset(sws_getCachedContext(scaler_.release(), width, height, format, width, height,
                                       AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr));
    if (scaler_ == nullptr) {
        return false;
    }
    const int* coefficients = sws_getCoefficients(SWS_CS_ITU601);
    sws_setColorspaceDetails(scaler_.get(), coefficients, fullRange ? 1 : 0, coefficients, 0, 0,
                             1 << 16, 1 << 16);
    int alignedStrides[4] = {0, 0, 0, 0};
    std::uint8_t* aligned[4] = {nullptr, nullptr, nullptr, nullptr};
    const int bytes = av_image_fill_arrays(aligned, alignedStrides, nullptr, AV_PIX_FMT_YUV420P,
                                           width, height, static_cast<int>(kRowAlign));
    if (bytes <= 0) {
        return false;
    }
    rgbRows_.resize(static_cast<std::size_t>(bytes) + kRowAlign);
    av_image_fill_arrays(aligned, alignedStrides, rgbRows_.data(), AV_PIX_FMT_YUV420P, width,
                         height, static_cast<int>(kRowAlign));
    if (sws_scale(scaler_.get(), frame->data, frame->linesize, 0, height, aligned,
                  alignedStrides) <= 0) {
        return false;
    }
    av_image_copy(planes, strides, const_cast<const std::uint8_t**>(aligned), alignedStrides,
                  AV_PIX_FMT_YUV420P, width, height);
    return true;
}

bool CCodecDecoder::Deliver(const AVFrame* frame, const DibGeometry& geometry,
                            const PixelTarget& target) {
    lastStored_ = StoredPicture{};
    if (storing_ && !geometry.planar && Store(frame, geometry, target)) {
        return true;
    }
    return Convert(frame, geometry, target);
}

// The planes as they are, with their strides, when they take no more room
// than the geometry's image; false, writing nothing, otherwise.
bool CCodecDecoder::Store(const AVFrame* frame, const DibGeometry& geometry,
                          const PixelTarget& destination) {
    const auto format = static_cast<AVPixelFormat>(frame->format);
    const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(format);
    if (frame->width != geometry.width || frame->height != geometry.height ||
        descriptor == nullptr ||
        (descriptor->flags & (AV_PIX_FMT_FLAG_HWACCEL | AV_PIX_FMT_FLAG_PAL)) != 0) {
        return false;
    }
    StoredPicture picture;
    picture.format = frame->format;
    picture.colourSpace = FieldValue(frame->colorspace);
    picture.colourRange = FieldValue(frame->color_range);
    std::ptrdiff_t strides[4] = {0, 0, 0, 0};
    for (int i = 0; i < 4; ++i) {
        if (frame->linesize[i] < 0) {
            return false;
        }
        strides[i] = frame->linesize[i];
        picture.stride[i] = frame->linesize[i];
    }
    std::size_t sizes[4] = {0, 0, 0, 0};
    if (av_image_fill_plane_sizes(sizes, format, frame->height, strides) < 0) {
        return false;
    }
    std::uint64_t end = 0;
    for (int i = 0; i < 4; ++i) {
        if (sizes[i] == 0) {
            continue;
        }
        end = (end + kRowAlign - 1) / kRowAlign * kRowAlign;
        picture.offset[i] = static_cast<std::uint32_t>(std::min<std::uint64_t>(end, UINT32_MAX));
        end += sizes[i];
    }
    if (end > geometry.imageSize) {
        return false;
    }
    std::uint8_t* const out = destination();
    if (out == nullptr) {
        return false;
    }
    NotePicture(frame);
    for (int i = 0; i < 4; ++i) {
        if (sizes[i] == 0) {
            continue;
        }
        const int rows = static_cast<int>(sizes[i] / static_cast<std::size_t>(strides[i]));
        const int bytes = av_image_get_linesize(format, frame->width, i);
        if (bytes < 0) {
            return false;
        }
        av_image_copy_plane(out + picture.offset[i], picture.stride[i], frame->data[i],
                            frame->linesize[i], bytes, rows);
    }
    picture.bytes = static_cast<std::uint32_t>(end);
    lastStored_ = picture;
    return true;
}

bool CCodecDecoder::ConvertStored(const std::uint8_t* planes, const StoredPicture& picture,
                                  const DibGeometry& geometry, std::uint8_t* pixels) {
    if (stored_ == nullptr || picture.format < 0) {
        return false;
    }
    AVFrame* frame = stored_.get();
    frame->width = geometry.width;
    frame->height = geometry.height;
    frame->format = picture.format;
    SetFieldValue(frame->colorspace, picture.colourSpace);
    SetFieldValue(frame->color_range, picture.colourRange);
    for (int i = 0; i < 4; ++i) {
        frame->linesize[i] = picture.stride[i];
        frame->data[i] = picture.stride[i] > 0 || i == 0
                             ? const_cast<std::uint8_t*>(planes) + picture.offset[i]
                             : nullptr;
    }
    return Convert(frame, geometry, [pixels] { return pixels; });
}

bool CCodecDecoder::Convert(const AVFrame* frame, const DibGeometry& geometry,
                            const PixelTarget& destination) {
    // A picture of another size than the header gives means a damaged file:
    // nothing is allocated for (or scaled to) a size the pictures do not have.
    if (frame->width != geometry.width || frame->height != geometry.height || frame->format < 0) {
        return false;
    }
    NotePicture(frame);
    if (geometry.planar) {
        return ConvertPlanar(frame, geometry, destination);
    }
    bool fullRange = FieldValue(frame->color_range) == AVCOL_RANGE_JPEG;
    const AVPixelFormat format =
        WithoutRange(static_cast<AVPixelFormat>(frame->format), &fullRange);
    // The cached-context call frees the old scaler when it cannot reuse it.
    scaler_.reset(sws_getCachedContext(scaler_.release(), frame->width, frame->height, format,
                                       geometry.width, geometry.height, AV_PIX_FMT_BGR24,
                                       SWS_BICUBIC, nullptr, nullptr, nullptr));
    if (scaler_ == nullptr) {
        return false;
    }
    int* inverse = nullptr;
    int* table = nullptr;
    int sourceRange = 0;
    int targetRange = 0;
    int brightness = 0;
    int contrast = 0;
    int saturation = 0;
    if (sws_getColorspaceDetails(scaler_.get(), &inverse, &sourceRange, &table, &targetRange,
                                 &brightness, &contrast, &saturation) >= 0) {
        sws_setColorspaceDetails(scaler_.get(), sws_getCoefficients(PictureMatrix(frame)),
                                 fullRange ? 1 : sourceRange, table, targetRange, brightness,
                                 contrast, saturation);
    }
    const std::size_t row = static_cast<std::size_t>(geometry.width) * 3;
    const std::size_t stride = (row + kRowAlign - 1) / kRowAlign * kRowAlign;
    rgbRows_.resize(stride * static_cast<std::size_t>(geometry.height) + kRowAlign);
    std::uint8_t* target[4] = {rgbRows_.data(), nullptr, nullptr, nullptr};
    const int targetStride[4] = {static_cast<int>(stride), 0, 0, 0};
    if (sws_scale(scaler_.get(), frame->data, frame->linesize, 0, frame->height, target,
                  targetStride) <= 0) {
        return false;
    }
    std::uint8_t* const pixels = destination();
    if (pixels == nullptr) {
        return false;
    }
    for (std::int32_t y = 0; y < geometry.height; ++y) {
        std::uint8_t* out =
            pixels + static_cast<std::size_t>(geometry.height - 1 - y) * geometry.stride;
        std::memcpy(out, rgbRows_.data() + static_cast<std::size_t>(y) * stride, row);
        std::memset(out + row, 0, geometry.stride - row);
    }
    return true;
}

} // namespace kmx
