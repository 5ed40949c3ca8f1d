#include "codec/AudioEncoder.h"

#include "media/decode/AvPointers.h"
#include "media/decode/PcmAudio.h" // SwrContextPtr
#include "media/decode/SkipSamples.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <deque>
#include <new>

namespace kmx {

namespace {

// Input sample frames converted per libswresample call, so that one large
// Send needs only a small scratch buffer.
constexpr int kConvertChunk = 8192;
// Frame length for an encoder that would take any (neither AAC nor Opus).
constexpr int kAnyFrameSize = 1024;
// The rate a codec gets when it does not take the input's own.
constexpr int kFallbackRate = 48000;
// A lone channel gets more than half of a pair's bit rate: both encoders
// share much of a pair's bits between its channels, which mono cannot.
constexpr int kMonoBitRate = 96000;
constexpr int kMaxChannels = 8;

// The channel layout of 1 .. 8 interleaved channels: Vorbis's and Opus's
// assignments, which for the common counts (1, 2, 4, 6, 8) are also what a
// WAVE format without a channel mask means. libopus takes only these for
// more than two channels; AAC writes a program config element for the ones
// outside its own table (quad, 6.1, 7.1).
constexpr std::uint64_t kChannelMasks[kMaxChannels] = {
    AV_CH_LAYOUT_MONO,    AV_CH_LAYOUT_STEREO,       AV_CH_LAYOUT_SURROUND,
    AV_CH_LAYOUT_QUAD,    AV_CH_LAYOUT_5POINT0_BACK, AV_CH_LAYOUT_5POINT1_BACK,
    AV_CH_LAYOUT_6POINT1, AV_CH_LAYOUT_7POINT1,
};

bool TakesRate(const AVCodec* codec, int rate) {
    if (codec->supported_samplerates == nullptr) {
        return true;
    }
    for (const int* r = codec->supported_samplerates; *r != 0; ++r) {
        if (*r == rate) {
            return true;
        }
    }
    return false;
}

// Float when the encoder takes it (16-bit samples convert to float exactly,
// and resampled ones keep their precision); else the encoder's first choice.
AVSampleFormat PickSampleFormat(const AVCodec* codec) {
    if (codec->sample_fmts == nullptr) {
        return AV_SAMPLE_FMT_S16;
    }
    for (const AVSampleFormat* f = codec->sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f) {
        if (*f == AV_SAMPLE_FMT_FLT || *f == AV_SAMPLE_FMT_FLTP) {
            return *f;
        }
    }
    return codec->sample_fmts[0];
}

// 160 kb/s per pair, an odd channel counting as half a pair (80 kb/s);
// mono gets kMonoBitRate.
int BitRateFor(int channels) {
    return channels == 1 ? kMonoBitRate
                         : CAudioEncoder::kBitsPerSecondPerTwoChannels / 2 * channels;
}

} // namespace

struct CAudioEncoder::State {
    AvCodecContextPtr context;
    SwrContextPtr resampler;
    // Converted samples waiting for a whole frame.
    AvAudioFifoPtr fifo;
    AvFramePtr frame;
    std::deque<AvPacketPtr> ready;
    AvPacketPtr taken; // the one Take handed out last
    std::vector<std::uint8_t> scratch;
    std::vector<std::uint8_t> codecPrivate;
    int frameSize = 0;
    bool shortLastFrame = false;
    int silencePadded = 0; // samples of silence after the last ones sent
    std::int64_t nextPts = 0;
    bool flushed = false;
    bool failed = false;

    bool Open(AudioCodec codec, int inputRate, int channels);
    int Convert(const std::int16_t* pcm, int count);
    bool EncodeWholeFrames();
    bool EncodeFrame(int samples);
    bool Receive();
};

bool CAudioEncoder::State::Open(AudioCodec codec, int inputRate, int channels) {
    const AVCodec* encoder =
        avcodec_find_encoder_by_name(codec == AudioCodec::Aac ? "aac" : "libopus");
    if (encoder == nullptr) {
        return false;
    }
    context.reset(avcodec_alloc_context3(encoder));
    if (!context) {
        return false;
    }
    const int rate = TakesRate(encoder, inputRate) ? inputRate : kFallbackRate;
    context->sample_rate = rate;
    context->sample_fmt = PickSampleFormat(encoder);
    if (av_channel_layout_from_mask(&context->ch_layout, kChannelMasks[channels - 1]) < 0) {
        return false;
    }
    context->bit_rate = BitRateFor(channels);
    context->time_base = AVRational{1, rate};
    context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(context.get(), encoder, nullptr) < 0) {
        return false;
    }
    frameSize = context->frame_size > 0 ? context->frame_size : kAnyFrameSize;
    shortLastFrame = (encoder->capabilities &
                      (AV_CODEC_CAP_SMALL_LAST_FRAME | AV_CODEC_CAP_VARIABLE_FRAME_SIZE)) != 0;
    if (context->extradata != nullptr && context->extradata_size > 0) {
        codecPrivate.assign(context->extradata, context->extradata + context->extradata_size);
    }

    // Same layout in and out: libswresample converts the sample format and
    // the rate and leaves the channels as they are.
    SwrContext* created = nullptr;
    if (swr_alloc_set_opts2(&created, &context->ch_layout, context->sample_fmt, rate,
                            &context->ch_layout, AV_SAMPLE_FMT_S16, inputRate, 0, nullptr) < 0) {
        return false;
    }
    resampler.reset(created);
    if (swr_init(resampler.get()) < 0) {
        return false;
    }
    fifo.reset(av_audio_fifo_alloc(context->sample_fmt, channels, frameSize));
    frame.reset(av_frame_alloc());
    return fifo && frame;
}

// Converts count sample frames (none and pcm null: what the resampler still
// holds) into the fifo. Returns the converted count, or -1.
int CAudioEncoder::State::Convert(const std::int16_t* pcm, int count) {
    const int channels = context->ch_layout.nb_channels;
    const AVSampleFormat format = context->sample_fmt;
    // swr_get_out_samples gives an upper bound; the margin keeps a drain of
    // a resampler that reports nothing from asking for an empty buffer.
    const int room = swr_get_out_samples(resampler.get(), count);
    if (room < 0) {
        return -1;
    }
    const int capacity = std::max(room, 256);
    const int bytes = av_samples_get_buffer_size(nullptr, channels, capacity, format, 1);
    if (bytes < 0) {
        return -1;
    }
    scratch.resize(static_cast<std::size_t>(bytes));
    std::uint8_t* planes[kMaxChannels] = {};
    if (av_samples_fill_arrays(planes, nullptr, scratch.data(), channels, capacity, format, 1) <
        0) {
        return -1;
    }
    const std::uint8_t* input[1] = {reinterpret_cast<const std::uint8_t*>(pcm)};
    const int made =
        swr_convert(resampler.get(), planes, capacity, pcm != nullptr ? input : nullptr, count);
    if (made < 0) {
        return -1;
    }
    if (made > 0 &&
        av_audio_fifo_write(fifo.get(), reinterpret_cast<void**>(planes), made) != made) {
        return -1;
    }
    return made;
}

bool CAudioEncoder::State::EncodeWholeFrames() {
    while (av_audio_fifo_size(fifo.get()) >= frameSize) {
        if (!EncodeFrame(frameSize)) {
            return false;
        }
    }
    return true;
}

// Sends the next samples from the fifo as one frame; fewer than frameSize
// only for the last one, padded with silence when the encoder wants whole
// frames. Collects the packets that become ready.
bool CAudioEncoder::State::EncodeFrame(int samples) {
    const int length = samples < frameSize && !shortLastFrame ? frameSize : samples;
    AVFrame* f = frame.get();
    av_frame_unref(f); // the encoder may still hold the last buffer
    f->nb_samples = length;
    f->format = context->sample_fmt;
    f->sample_rate = context->sample_rate;
    if (av_channel_layout_copy(&f->ch_layout, &context->ch_layout) < 0 ||
        av_frame_get_buffer(f, 0) < 0) {
        return false;
    }
    if (av_audio_fifo_read(fifo.get(), reinterpret_cast<void**>(f->data), samples) != samples) {
        return false;
    }
    if (length > samples &&
        av_samples_set_silence(f->data, samples, length - samples, f->ch_layout.nb_channels,
                               context->sample_fmt) < 0) {
        return false;
    }
    f->pts = nextPts;
    nextPts += length;
    silencePadded = length - samples;
    if (avcodec_send_frame(context.get(), f) < 0) {
        return false;
    }
    return Receive();
}

// Moves every packet the encoder has ready into the queue. Called after each
// frame, so that avcodec_send_frame never finds the encoder full.
bool CAudioEncoder::State::Receive() {
    for (;;) {
        AvPacketPtr packet(av_packet_alloc());
        if (!packet) {
            return false;
        }
        const int rc = avcodec_receive_packet(context.get(), packet.get());
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) {
            return true;
        }
        if (rc < 0) {
            return false;
        }
        ready.push_back(std::move(packet));
    }
}

CAudioEncoder::CAudioEncoder() = default;
CAudioEncoder::~CAudioEncoder() = default;

bool CAudioEncoder::Open(AudioCodec codec, int sampleRate, int channels) {
    state_.reset();
    if (channels < 1 || channels > kMaxChannels || sampleRate <= 0) {
        return false;
    }
    try {
        auto state = std::make_unique<State>();
        if (!state->Open(codec, sampleRate, channels)) {
            return false;
        }
        state_ = std::move(state);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

int CAudioEncoder::CodecId() const {
    return state_ ? static_cast<int>(state_->context->codec_id) : AV_CODEC_ID_NONE;
}

int CAudioEncoder::SampleRate() const {
    return state_ ? state_->context->sample_rate : 0;
}

int CAudioEncoder::Channels() const {
    return state_ ? state_->context->ch_layout.nb_channels : 0;
}

int CAudioEncoder::BitRate() const {
    return state_ ? static_cast<int>(state_->context->bit_rate) : 0;
}

int CAudioEncoder::InitialPadding() const {
    return state_ ? state_->context->initial_padding : 0;
}

int CAudioEncoder::FrameSize() const {
    return state_ ? state_->frameSize : 0;
}

const std::vector<std::uint8_t>& CAudioEncoder::CodecPrivate() const {
    static const std::vector<std::uint8_t> none;
    return state_ ? state_->codecPrivate : none;
}

bool CAudioEncoder::Send(const std::int16_t* pcm, std::int64_t samples) {
    State* s = state_.get();
    if (s == nullptr || s->flushed || s->failed || samples < 0 || (samples > 0 && pcm == nullptr)) {
        return false;
    }
    try {
        const int channels = s->context->ch_layout.nb_channels;
        while (samples > 0) {
            const int count = static_cast<int>(std::min<std::int64_t>(samples, kConvertChunk));
            if (s->Convert(pcm, count) < 0 || !s->EncodeWholeFrames()) {
                s->failed = true;
                return false;
            }
            pcm += static_cast<std::ptrdiff_t>(count) * channels;
            samples -= count;
        }
        return true;
    } catch (const std::bad_alloc&) {
        s->failed = true;
        return false;
    }
}

bool CAudioEncoder::Flush() {
    State* s = state_.get();
    if (s == nullptr || s->failed) {
        return false;
    }
    if (s->flushed) {
        return true;
    }
    try {
        for (;;) {
            const int made = s->Convert(nullptr, 0);
            if (made < 0 || !s->EncodeWholeFrames()) {
                s->failed = true;
                return false;
            }
            if (made == 0) {
                break;
            }
        }
        const int rest = av_audio_fifo_size(s->fifo.get());
        if ((rest > 0 && !s->EncodeFrame(rest)) ||
            avcodec_send_frame(s->context.get(), nullptr) < 0 || !s->Receive()) {
            s->failed = true;
            return false;
        }
        s->flushed = true;
        return true;
    } catch (const std::bad_alloc&) {
        s->failed = true;
        return false;
    }
}

bool CAudioEncoder::Take(Packet* packet, bool* failed) {
    State* s = state_.get();
    if (s == nullptr || s->ready.empty() || packet == nullptr) {
        if (failed != nullptr) {
            *failed = s != nullptr && s->failed;
        }
        return false;
    }
    s->taken = std::move(s->ready.front());
    s->ready.pop_front();
    packet->data = s->taken->data;
    packet->size = s->taken->size;
    packet->pts = s->taken->pts;
    packet->duration = s->taken->duration;
    packet->discardEnd = ReadSkipSamples(*s->taken).end;
    if (s->flushed && s->ready.empty()) {
        // The silence that filled the last frame is padding too.
        packet->discardEnd += s->silencePadded;
    }
    if (failed != nullptr) {
        *failed = false;
    }
    return true;
}

} // namespace kmx
