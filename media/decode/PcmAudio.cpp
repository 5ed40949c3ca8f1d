#include "media/decode/PcmAudio.h"

#include "media/AviRecords.h"
#include "media/decode/CodecNames.h"
#include "media/io/ByteOrder.h"
#include "media/io/FileIo.h"
#include "media/io/TempFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace kmx {
namespace {

constexpr int kMaxChannels = 8;
constexpr int kMaxRate = 768000;
// Decoded samples are written to the file in blocks of about this size.
constexpr std::size_t kWriteBlock = std::size_t{1} << 20;
// Extra bytes beyond this in a format block are not codec data.
constexpr std::size_t kMaxExtraData = std::size_t{1} << 20;

// Codecs whose stream may be cut anywhere (as AVI files with a byte-sized
// sample hold them), so the decoder needs a parser to find the frames.
bool NeedsParser(AVCodecID id) {
    return id == AV_CODEC_ID_MP1 || id == AV_CODEC_ID_MP2 || id == AV_CODEC_ID_MP3 ||
           id == AV_CODEC_ID_AC3 || id == AV_CODEC_ID_EAC3 || id == AV_CODEC_ID_DTS;
}

} // namespace

void SwrContextDeleter::operator()(SwrContext* p) const {
    swr_free(&p);
}

void ParserContextDeleter::operator()(AVCodecParserContext* p) const {
    av_parser_close(p);
}

CPcmAudio::~CPcmAudio() {
    Close();
}

void CPcmAudio::Close() {
    parser_.reset();
    context_.reset();
    packet_.reset();
    frame_.reset();
    resampler_.reset();
    resamplerFormat_ = -1;
    resamplerRate_ = 0;
    resamplerChannels_ = 0;
    channels_ = 0;
    rate_ = 0;
    length_ = 0;
    rejected_ = 0;
    finished_ = false;
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    std::vector<std::uint8_t>().swap(pending_);
    std::vector<std::uint8_t>().swap(converted_);
    std::vector<std::uint8_t>().swap(packetBytes_);
}

bool CPcmAudio::Open(const AVCodecParameters& parameters) {
    Close();
    if (!OpenDecoder(parameters)) {
        Close();
        return false;
    }
    return true;
}

bool CPcmAudio::OpenWaveFormat(const std::uint8_t* format, std::size_t size) {
    Close();
    if (format == nullptr || size < kWaveFormatExSize - 2) {
        return false;
    }
    std::uint16_t tag = LoadU16(format);
    const std::uint16_t channels = LoadU16(format + 2);
    const std::uint16_t bits = LoadU16(format + 14);
    const std::size_t declared = size >= kWaveFormatExSize ? LoadU16(format + 16) : 0;
    const std::size_t extraSize = std::min(declared, size - std::min(size, kWaveFormatExSize));
    const std::uint8_t* extra = format + kWaveFormatExSize;
    std::size_t codecDataSize = extraSize;
    // The extensible part (valid bits, channel mask, sub-format) comes before
    // any codec data.
    constexpr std::size_t kExtensiblePart = kWaveFormatExtensibleSize - kWaveFormatExSize;
    if (tag == kWaveFormatExtensible && size >= kWaveFormatExtensibleSize &&
        extraSize >= kExtensiblePart) {
        tag = LoadU16(format + kWaveSubFormatOffset);
        extra += kExtensiblePart;
        codecDataSize -= kExtensiblePart;
    }
    if (channels == 0 || channels > kMaxChannels || codecDataSize > kMaxExtraData) {
        return false;
    }
    AVCodecParameters* parameters = avcodec_parameters_alloc();
    if (parameters == nullptr) {
        return false;
    }
    parameters->codec_type = AVMEDIA_TYPE_AUDIO;
    parameters->codec_id = static_cast<AVCodecID>(AudioCodecOfTag(tag, bits));
    parameters->codec_tag = tag;
    parameters->sample_rate =
        static_cast<int>(std::min<std::uint32_t>(LoadU32(format + 4), kMaxRate));
    parameters->bit_rate = std::int64_t{LoadU32(format + 8)} * 8;
    parameters->block_align = LoadU16(format + 12);
    parameters->bits_per_coded_sample = bits;
    av_channel_layout_default(&parameters->ch_layout, channels);
    bool ok = true;
    if (codecDataSize > 0) {
        parameters->extradata =
            static_cast<std::uint8_t*>(av_mallocz(codecDataSize + AV_INPUT_BUFFER_PADDING_SIZE));
        ok = parameters->extradata != nullptr;
        if (ok) {
            std::memcpy(parameters->extradata, extra, codecDataSize);
            parameters->extradata_size = static_cast<int>(codecDataSize);
        }
    }
    ok = ok && Open(*parameters);
    avcodec_parameters_free(&parameters);
    return ok;
}

bool CPcmAudio::OpenDecoder(const AVCodecParameters& parameters) {
    if (parameters.codec_type != AVMEDIA_TYPE_AUDIO || parameters.sample_rate <= 0 ||
        parameters.sample_rate > kMaxRate) {
        return false;
    }
    const AVCodec* codec = avcodec_find_decoder(parameters.codec_id);
    if (codec == nullptr) {
        return false;
    }
    context_.reset(avcodec_alloc_context3(codec));
    packet_.reset(av_packet_alloc());
    frame_.reset(av_frame_alloc());
    if (context_ == nullptr || packet_ == nullptr || frame_ == nullptr ||
        avcodec_parameters_to_context(context_.get(), &parameters) < 0 ||
        avcodec_open2(context_.get(), codec, nullptr) < 0) {
        return false;
    }
    if (NeedsParser(codec->id)) {
        parser_.reset(av_parser_init(codec->id));
        if (parser_ == nullptr) {
            return false;
        }
    }
    fd_ = OpenTemporaryFile("kadrimix-pcm-");
    return fd_ >= 0;
}

bool CPcmAudio::Decode(const std::uint8_t* data, std::size_t size) {
    if (context_ == nullptr || finished_) {
        return false;
    }
    if (data == nullptr || size == 0 || size > static_cast<std::size_t>(INT32_MAX) / 2) {
        return true; // an empty or absurd packet decodes to nothing
    }
    return parser_ != nullptr ? Parse(data, size) : Send(data, size);
}

// Cuts the bytes into frames and sends each; null data drains the parser.
bool CPcmAudio::Parse(const std::uint8_t* data, std::size_t size) {
    do {
        std::uint8_t* frame = nullptr;
        int frameSize = 0;
        const int used =
            av_parser_parse2(parser_.get(), context_.get(), &frame, &frameSize, data,
                             static_cast<int>(size), AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
        if (used < 0) {
            ++rejected_;
            return true;
        }
        if (data != nullptr) {
            data += used;
            size -= static_cast<std::size_t>(used);
        }
        if (frameSize > 0 && !Send(frame, static_cast<std::size_t>(frameSize))) {
            return false;
        }
        if (data == nullptr && frameSize <= 0) {
            return true;
        }
        if (used == 0 && frameSize <= 0) {
            return true; // nothing taken and nothing made: no progress is possible
        }
    } while (data == nullptr || size > 0);
    return true;
}

bool CPcmAudio::Send(const std::uint8_t* data, std::size_t size) {
    packetBytes_.resize(size + AV_INPUT_BUFFER_PADDING_SIZE);
    std::memcpy(packetBytes_.data(), data, size);
    std::memset(packetBytes_.data() + size, 0, AV_INPUT_BUFFER_PADDING_SIZE);
    av_packet_unref(packet_.get());
    packet_->data = packetBytes_.data();
    packet_->size = static_cast<int>(size);
    int rc = avcodec_send_packet(context_.get(), packet_.get());
    if (rc == AVERROR(EAGAIN)) {
        // The decoder holds frames still to be taken: take them, then retry.
        if (!Receive()) {
            return false;
        }
        rc = avcodec_send_packet(context_.get(), packet_.get());
    }
    av_packet_unref(packet_.get());
    if (rc < 0) {
        ++rejected_;
        return true;
    }
    return Receive();
}

bool CPcmAudio::Receive() {
    for (;;) {
        const int rc = avcodec_receive_frame(context_.get(), frame_.get());
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) {
            return true;
        }
        if (rc < 0) {
            ++rejected_;
            return true;
        }
        const bool stored = Store(frame_.get());
        av_frame_unref(frame_.get());
        if (!stored) {
            return false;
        }
    }
}

bool CPcmAudio::SetUpResampler(const AVFrame* frame) {
    const int channels = frame->ch_layout.nb_channels;
    if (channels <= 0 || channels > kMaxChannels || frame->sample_rate <= 0 ||
        frame->sample_rate > kMaxRate) {
        return false;
    }
    if (channels_ == 0) {
        // The first decoded frame fixes the output; later changes of layout
        // or rate are converted to it.
        channels_ = channels;
        rate_ = frame->sample_rate;
    }
    if (resampler_ != nullptr && resamplerFormat_ == frame->format &&
        resamplerRate_ == frame->sample_rate && resamplerChannels_ == channels) {
        return true;
    }
    if (resampler_ != nullptr && !Flush()) {
        return false;
    }
    AVChannelLayout output{};
    AVChannelLayout input{};
    av_channel_layout_default(&output, channels_);
    SwrContext* created = nullptr;
    int rc = av_channel_layout_copy(&input, &frame->ch_layout);
    if (rc >= 0) {
        rc = swr_alloc_set_opts2(&created, &output, AV_SAMPLE_FMT_S16, rate_, &input,
                                 static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0,
                                 nullptr);
    }
    av_channel_layout_uninit(&output);
    av_channel_layout_uninit(&input);
    resampler_.reset(created);
    if (rc < 0 || resampler_ == nullptr || swr_init(resampler_.get()) < 0) {
        resampler_.reset();
        return false;
    }
    resamplerFormat_ = frame->format;
    resamplerRate_ = frame->sample_rate;
    resamplerChannels_ = channels;
    return true;
}

bool CPcmAudio::Store(const AVFrame* frame) {
    if (frame->nb_samples <= 0) {
        return true;
    }
    if (!SetUpResampler(frame)) {
        ++rejected_;
        return true;
    }
    const int room = swr_get_out_samples(resampler_.get(), frame->nb_samples);
    if (room <= 0) {
        return true;
    }
    converted_.resize(static_cast<std::size_t>(room) * static_cast<std::size_t>(BlockAlign()));
    std::uint8_t* out[1] = {converted_.data()};
    const int made =
        swr_convert(resampler_.get(), out, room,
                    const_cast<const std::uint8_t**>(frame->extended_data), frame->nb_samples);
    if (made < 0) {
        ++rejected_;
        return true;
    }
    const std::size_t bytes =
        static_cast<std::size_t>(made) * static_cast<std::size_t>(BlockAlign());
    pending_.insert(pending_.end(), converted_.begin(),
                    converted_.begin() + static_cast<std::ptrdiff_t>(bytes));
    length_ += made;
    if (pending_.size() < kWriteBlock) {
        return true;
    }
    const off_t at =
        static_cast<off_t>(length_ * BlockAlign() - static_cast<std::int64_t>(pending_.size()));
    const bool written =
        WriteAllAt(fd_, pending_.data(), pending_.size(), static_cast<std::uint64_t>(at));
    pending_.clear();
    return written;
}

// Takes what the resampler still holds (its delay) before it is replaced or
// the stream ends.
bool CPcmAudio::Flush() {
    if (resampler_ == nullptr) {
        return true;
    }
    for (;;) {
        const int room = swr_get_out_samples(resampler_.get(), 0);
        if (room <= 0) {
            return true;
        }
        converted_.resize(static_cast<std::size_t>(room) * static_cast<std::size_t>(BlockAlign()));
        std::uint8_t* out[1] = {converted_.data()};
        const int made = swr_convert(resampler_.get(), out, room, nullptr, 0);
        if (made <= 0) {
            return made == 0;
        }
        const std::size_t bytes =
            static_cast<std::size_t>(made) * static_cast<std::size_t>(BlockAlign());
        pending_.insert(pending_.end(), converted_.begin(),
                        converted_.begin() + static_cast<std::ptrdiff_t>(bytes));
        length_ += made;
    }
}

bool CPcmAudio::Finish() {
    if (context_ == nullptr || finished_) {
        return finished_;
    }
    if (parser_ != nullptr && !Parse(nullptr, 0)) {
        return false;
    }
    if (avcodec_send_packet(context_.get(), nullptr) >= 0 && !Receive()) {
        return false;
    }
    if (!Flush()) {
        return false;
    }
    const off_t at =
        static_cast<off_t>(length_ * BlockAlign() - static_cast<std::int64_t>(pending_.size()));
    if (!pending_.empty() &&
        !WriteAllAt(fd_, pending_.data(), pending_.size(), static_cast<std::uint64_t>(at))) {
        return false;
    }
    std::vector<std::uint8_t>().swap(pending_);
    std::vector<std::uint8_t>().swap(converted_);
    std::vector<std::uint8_t>().swap(packetBytes_);
    resampler_.reset();
    frame_.reset();
    packet_.reset();
    parser_.reset();
    context_.reset();
    finished_ = true;
    return true;
}

bool CPcmAudio::Read(std::int64_t first, std::int64_t count, std::uint8_t* out) const {
    if (!finished_ || first < 0 || count < 0 || first > length_ || count > length_ - first) {
        return false;
    }
    return ReadAllAt(fd_, out, static_cast<std::size_t>(count * BlockAlign()),
                     static_cast<std::uint64_t>(first * BlockAlign()));
}

std::vector<std::uint8_t> CPcmAudio::WaveFormat() const {
    std::vector<std::uint8_t> format(kWaveFormatExSize, 0);
    StoreU16(format.data(), 1);
    StoreU16(format.data() + 2, static_cast<std::uint16_t>(channels_));
    StoreU32(format.data() + 4, static_cast<std::uint32_t>(rate_));
    StoreU32(format.data() + 8, static_cast<std::uint32_t>(rate_ * BlockAlign()));
    StoreU16(format.data() + 12, static_cast<std::uint16_t>(BlockAlign()));
    StoreU16(format.data() + 14, 16);
    return format;
}

} // namespace kmx
