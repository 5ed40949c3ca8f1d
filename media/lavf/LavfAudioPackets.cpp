#include "media/lavf/LavfAudioPackets.h"

#include "media/decode/AvPointers.h"
#include "media/decode/SkipSamples.h"
#include "media/io/ByteOrder.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavformat/avformat.h>
}

namespace kmx {
namespace {

// Codec data beyond this is not believed.
constexpr int kMaxCodecData = 1 << 20;
constexpr int kMaxRate = 768000;
constexpr int kMaxChannels = 8;

} // namespace

bool CLavfAudioPackets::Open(int stream, std::int64_t skipStart, MediaCodecDetails* details) {
    const AVFormatContext* context = input_.Context();
    if (context == nullptr || details == nullptr || stream < 0 ||
        static_cast<unsigned>(stream) >= context->nb_streams) {
        return false;
    }
    const AVCodecParameters& par = *context->streams[stream]->codecpar;
    if (par.codec_type != AVMEDIA_TYPE_AUDIO || par.sample_rate <= 0 ||
        par.sample_rate > kMaxRate || par.ch_layout.nb_channels <= 0 ||
        par.ch_layout.nb_channels > kMaxChannels || par.extradata_size < 0 ||
        par.extradata_size > kMaxCodecData ||
        (par.extradata_size > 0 && par.extradata == nullptr) || skipStart < 0 ||
        skipStart > par.sample_rate) {
        return false;
    }
    // Opus names its encoder delay in its own header, which its decoder
    // skips by itself; the packets start that far before sample 0.
    if (skipStart == 0 && par.codec_id == AV_CODEC_ID_OPUS && par.extradata_size >= 19 &&
        std::memcmp(par.extradata, "OpusHead", 8) == 0) {
        skipStart = LoadU16(par.extradata + 10);
    }
    // Every other stream is left unread.
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        context->streams[i]->discard =
            static_cast<int>(i) == stream ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    }
    details->codecId = par.codec_id;
    details->codecPrivate.assign(par.extradata, par.extradata + par.extradata_size);
    details->sampleRate = par.sample_rate;
    details->channels = par.ch_layout.nb_channels;
    details->bitRate = static_cast<int>(std::min<std::int64_t>(par.bit_rate, INT32_MAX));
    details->frameSize = par.frame_size;
    details->initialPadding = static_cast<int>(skipStart);
    stream_ = stream;
    sampleRate_ = par.sample_rate;
    skipStart_ = skipStart;
    frameSize_ = std::max(par.frame_size, 0);
    first_ = true;
    return true;
}

bool CLavfAudioPackets::Next(EncodedAudioPacket* out) {
    if (stream_ < 0 || out == nullptr) {
        return false;
    }
    if (packet_ == nullptr) {
        packet_.reset(av_packet_alloc());
        if (packet_ == nullptr) {
            return false;
        }
    }
    AVPacket* packet = packet_.get();
    const AVStream& stream = *input_.Context()->streams[stream_];
    const AVRational samples{1, sampleRate_};
    while (input_.Read(packet)) {
        if (packet->stream_index != stream_ || packet->size <= 0) {
            continue;
        }
        const std::int64_t duration =
            packet->duration > 0 ? av_rescale_q(packet->duration, stream.time_base, samples)
                                 : frameSize_;
        std::int64_t pts = nextPts_;
        if (packet->pts != AV_NOPTS_VALUE) {
            pts = av_rescale_q(packet->pts, stream.time_base, samples);
        }
        if (first_) {
            // The first packet starts the encoder's delay before sample 0.
            firstPts_ = pts + skipStart_;
            first_ = false;
        }
        out->pts = pts - firstPts_;
        out->duration = duration;
        out->discardEnd = std::min(ReadSkipSamples(*packet).end, std::int64_t{sampleRate_});
        out->data.assign(packet->data, packet->data + packet->size);
        nextPts_ = pts + duration;
        return true;
    }
    return false;
}

} // namespace kmx
