#include "media/lavf/LavfMediaSink.h"

#include "media/decode/SkipSamples.h"
#include "media/io/ByteOrder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavformat/avio.h>
#include <libavutil/mem.h>
}

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <unistd.h>

namespace kmx {
namespace {

constexpr int kIoBufferSize = 1 << 16;

bool IsQuickTime(OutputContainer container) {
    return container == OutputContainer::Mp4 || container == OutputContainer::Mov;
}

struct FormatContextDeleter {
    void operator()(AVFormatContext* p) const { avformat_free_context(p); }
};
using FormatContextPtr = std::unique_ptr<AVFormatContext, FormatContextDeleter>;

struct PacketDeleter {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;

struct DictionaryDeleter {
    void operator()(AVDictionary* p) const { av_dict_free(&p); }
};

AVCodecID PcmCodec(const std::vector<std::uint8_t>& format) {
    if (format.size() < kWaveFormatExSize - 2) {
        return AV_CODEC_ID_NONE;
    }
    std::uint16_t tag = LoadU16(format.data());
    if (tag == kWaveFormatExtensible && format.size() >= kWaveFormatExtensibleSize) {
        tag = LoadU16(format.data() + kWaveSubFormatOffset);
    }
    if (tag != WAVE_FORMAT_PCM) {
        return AV_CODEC_ID_NONE;
    }
    switch (LoadU16(format.data() + 14)) {
    case 8:
        return AV_CODEC_ID_PCM_U8;
    case 16:
        return AV_CODEC_ID_PCM_S16LE;
    case 24:
        return AV_CODEC_ID_PCM_S24LE;
    case 32:
        return AV_CODEC_ID_PCM_S32LE;
    default:
        return AV_CODEC_ID_NONE;
    }
}

bool SetExtradata(AVCodecParameters* par, const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return true;
    }
    if (size > (1u << 20)) {
        return false;
    }
    par->extradata = static_cast<std::uint8_t*>(av_mallocz(size + AV_INPUT_BUFFER_PADDING_SIZE));
    if (par->extradata == nullptr) {
        return false;
    }
    std::memcpy(par->extradata, data, size);
    par->extradata_size = static_cast<int>(size);
    return true;
}

bool DescribeVideo(const MediaStreamSetup& setup, OutputContainer container,
                   AVCodecParameters* par) {
    if (setup.format.size() < kBitmapInfoHeaderSize) {
        return false;
    }
    BITMAPINFOHEADER header{};
    LoadRecord(setup.format.data(), header);
    const MediaCodecDetails& d = setup.details;
    par->codec_type = AVMEDIA_TYPE_VIDEO;
    if (d.codecId != 0) {
        par->codec_id = static_cast<AVCodecID>(d.codecId);
    } else if (header.biCompression == BI_RGB) {
        par->codec_id = AV_CODEC_ID_RAWVIDEO;
    } else {
        const AVCodecTag* const tags[] = {avformat_get_riff_video_tags(), nullptr};
        par->codec_id = av_codec_get_id(tags, header.biCompression);
    }
    if (par->codec_id == AV_CODEC_ID_NONE || header.biWidth <= 0 || header.biHeight == 0) {
        return false;
    }
    par->width = header.biWidth;
    par->height = header.biHeight < 0 ? -header.biHeight : header.biHeight;
    par->bits_per_coded_sample = header.biBitCount;
    if (par->codec_id == AV_CODEC_ID_RAWVIDEO) {
        par->codec_tag = header.biCompression;
    }
    if (par->codec_id == AV_CODEC_ID_HEVC && IsQuickTime(container)) {
        // hvc1: parameter sets only in the sample description, as Apple's
        // players and browsers want them.
        par->codec_tag = MKTAG('h', 'v', 'c', '1');
    }
    if (d.sampleAspectNum > 0 && d.sampleAspectDen > 0) {
        par->sample_aspect_ratio = AVRational{d.sampleAspectNum, d.sampleAspectDen};
    }
    par->color_space = static_cast<AVColorSpace>(d.colorSpace);
    par->color_primaries = static_cast<AVColorPrimaries>(d.colorPrimaries);
    par->color_trc = static_cast<AVColorTransferCharacteristic>(d.colorTransfer);
    par->color_range = static_cast<AVColorRange>(d.colorRange);
    par->field_order = AV_FIELD_PROGRESSIVE;
    if (!d.codecPrivate.empty()) {
        return SetExtradata(par, d.codecPrivate.data(), d.codecPrivate.size());
    }
    // Extra data after the header, as the AVI format block carries it.
    const std::size_t end = std::min<std::size_t>(header.biSize, setup.format.size());
    return end <= kBitmapInfoHeaderSize ||
           SetExtradata(par, setup.format.data() + kBitmapInfoHeaderSize,
                        end - kBitmapInfoHeaderSize);
}

bool DescribeAudio(const MediaStreamSetup& setup, AVCodecParameters* par) {
    const MediaCodecDetails& d = setup.details;
    par->codec_type = AVMEDIA_TYPE_AUDIO;
    int channels = d.channels;
    if (d.codecId != 0) {
        par->codec_id = static_cast<AVCodecID>(d.codecId);
        par->sample_rate = d.sampleRate;
        par->bit_rate = d.bitRate;
        par->frame_size = d.frameSize;
        par->initial_padding = d.initialPadding;
        if (!SetExtradata(par, d.codecPrivate.data(), d.codecPrivate.size())) {
            return false;
        }
    } else {
        par->codec_id = PcmCodec(setup.format);
        if (par->codec_id == AV_CODEC_ID_NONE) {
            return false;
        }
        WAVEFORMATEX wave{};
        std::uint8_t bytes[kWaveFormatExSize] = {};
        std::memcpy(bytes, setup.format.data(), std::min(setup.format.size(), sizeof bytes));
        LoadRecord(bytes, wave);
        channels = wave.nChannels;
        par->sample_rate = static_cast<int>(wave.nSamplesPerSec);
        par->block_align = wave.nBlockAlign;
        par->bits_per_coded_sample = wave.wBitsPerSample;
    }
    if (channels < 1 || channels > 8 || par->sample_rate <= 0) {
        return false;
    }
    av_channel_layout_default(&par->ch_layout, channels);
    return true;
}

} // namespace

struct CLavfMediaSink::State {
    FileSink* file = nullptr;
    std::uint64_t position = 0; // where the muxer writes next
    AVIOContext* io = nullptr;
    FormatContextPtr context;
    std::vector<AVRational> timeBases; // the packets' own, per stream
    std::vector<std::int64_t> shifts;  // added to the packets' time stamps
    bool begun = false;
    bool failed = false;

    ~State() {
        context.reset();
        if (io != nullptr) {
            av_freep(&io->buffer);
            avio_context_free(&io);
        }
    }

    // The muxer's writes: appended at the end, or over bytes written before
    // (sizes and indexes filled in later).
    static int Write(void* opaque, std::uint8_t* data, int size) {
        auto* s = static_cast<State*>(opaque);
        if (size < 0) {
            return AVERROR(EINVAL);
        }
        const std::uint64_t end = s->file->Position();
        std::uint64_t pos = s->position;
        std::size_t done = 0;
        bool ok = true;
        static const std::uint8_t kZeros[4096] = {};
        while (ok && pos > end + done) {
            const std::size_t gap =
                static_cast<std::size_t>(std::min<std::uint64_t>(pos - end - done, sizeof kZeros));
            ok = s->file->Write(kZeros, gap);
            done += gap;
        }
        const auto total = static_cast<std::size_t>(size);
        std::size_t at = 0;
        if (ok && pos < end) {
            at = static_cast<std::size_t>(std::min<std::uint64_t>(end - pos, total));
            ok = s->file->WriteAt(pos, data, at);
        }
        if (ok && at < total) {
            ok = s->file->Write(data + at, total - at);
        }
        if (!ok) {
            s->failed = true;
            return AVERROR(EIO);
        }
        s->position = pos + total;
        return size;
    }

    static std::int64_t Seek(void* opaque, std::int64_t offset, int whence) {
        auto* s = static_cast<State*>(opaque);
        const auto size = static_cast<std::int64_t>(s->file->Position());
        if ((whence & AVSEEK_SIZE) != 0) {
            return size;
        }
        std::int64_t target = -1;
        switch (whence & ~AVSEEK_FORCE) {
        case SEEK_SET:
            target = offset;
            break;
        case SEEK_CUR:
            target = static_cast<std::int64_t>(s->position) + offset;
            break;
        case SEEK_END:
            target = size + offset;
            break;
        default:
            break;
        }
        if (target < 0) {
            return AVERROR(EINVAL);
        }
        s->position = static_cast<std::uint64_t>(target);
        return target;
    }
};

CLavfMediaSink::CLavfMediaSink(OutputContainer container) : container_(container) {}

CLavfMediaSink::~CLavfMediaSink() {
    Finish();
}

bool CLavfMediaSink::Create(const char* name) {
    Finish();
    error_ = 0;
    const char* muxer = ContainerMuxer(container_);
    if (muxer == nullptr || name == nullptr || *name == '\0' || !file_.Replace(name)) {
        return false;
    }
    try {
        path_ = name;
        ends_.clear();
        state_ = std::make_unique<State>();
    } catch (const std::bad_alloc&) {
        file_.Close();
        return false;
    }
    State& s = *state_;
    s.file = &file_;
    AVFormatContext* context = nullptr;
    if (avformat_alloc_output_context2(&context, nullptr, muxer, nullptr) < 0 ||
        context == nullptr) {
        Finish();
        return false;
    }
    s.context.reset(context);
    auto* buffer = static_cast<std::uint8_t*>(av_malloc(kIoBufferSize));
    s.io = buffer != nullptr ? avio_alloc_context(buffer, kIoBufferSize, 1, &s, nullptr,
                                                  &State::Write, &State::Seek)
                             : nullptr;
    if (s.io == nullptr) {
        av_free(buffer);
        Finish();
        return false;
    }
    s.context->pb = s.io;
    return true;
}

int CLavfMediaSink::AddStream(const MediaStreamSetup& setup) {
    if (!state_ || state_->begun) {
        return -1;
    }
    State& s = *state_;
    const AVRational timeBase{static_cast<int>(setup.header.dwScale),
                              static_cast<int>(setup.header.dwRate)};
    AVStream* stream = avformat_new_stream(s.context.get(), nullptr);
    if (stream == nullptr || timeBase.num <= 0 || timeBase.den <= 0 ||
        setup.header.dwScale > INT32_MAX || setup.header.dwRate > INT32_MAX) {
        return -1;
    }
    const bool described = setup.video ? DescribeVideo(setup, container_, stream->codecpar)
                                       : DescribeAudio(setup, stream->codecpar);
    if (!described) {
        return -1;
    }
    // Audio counts in samples; encoded audio at the encoder's rate.
    AVRational own = timeBase;
    if (!setup.video) {
        own = AVRational{1, stream->codecpar->sample_rate};
    } else {
        stream->avg_frame_rate = AVRational{timeBase.den, timeBase.num};
        // Matroska takes the pixel shape from the stream, not the codec.
        stream->sample_aspect_ratio = stream->codecpar->sample_aspect_ratio;
        stream->r_frame_rate = stream->avg_frame_rate;
    }
    stream->time_base = own;
    // Encoded audio starts before 0 by the encoder's delay; Matroska wants
    // an Opus track to start at 0 and skips its codec delay itself.
    const bool opusInMatroska =
        !IsQuickTime(container_) && !setup.video && stream->codecpar->codec_id == AV_CODEC_ID_OPUS;
    try {
        s.timeBases.push_back(own);
        s.shifts.push_back(opusInMatroska ? setup.details.initialPadding : 0);
        ends_.emplace_back();
    } catch (const std::bad_alloc&) {
        return -1;
    }
    return stream->index;
}

bool CLavfMediaSink::Begin() {
    if (!state_ || state_->begun) {
        return false;
    }
    State& s = *state_;
    AVDictionary* options = nullptr;
    if (IsQuickTime(container_)) {
        // Fragments while running; the first one (and the index with it) is
        // written once the encoders' delays are known.
        av_dict_set(&options, "movflags", "frag_keyframe+empty_moov+delay_moov+default_base_moof",
                    0);
        av_dict_set(&options, "frag_duration", "1000000", 0);
    } else {
        av_dict_set(&options, "cluster_time_limit", "1000", 0);
        // Matroska counts an Opus track from its first packet and names the
        // pre-skip as the track's codec delay (see WritePacket).
        s.context->avoid_negative_ts = AVFMT_AVOID_NEG_TS_DISABLED;
    }
    const int rc = avformat_write_header(s.context.get(), &options);
    DictionaryDeleter{}(options);
    s.begun = rc >= 0;
    if (s.begun) {
        avio_flush(s.io);
        s.begun = !s.failed && file_.Flush();
    }
    return s.begun;
}

bool CLavfMediaSink::WritePacket(int stream, const MediaPacket& packet) {
    if (!state_ || !state_->begun || stream < 0 ||
        static_cast<std::size_t>(stream) >= state_->timeBases.size() ||
        static_cast<std::size_t>(stream) >= ends_.size() || packet.size > INT32_MAX ||
        (packet.data == nullptr && packet.size > 0)) {
        return false;
    }
    State& s = *state_;
    if (packet.size == 0) {
        return true; // a frame that did not come: a gap in the time stamps
    }
    PacketPtr out(av_packet_alloc());
    if (!out || av_new_packet(out.get(), static_cast<int>(packet.size)) < 0) {
        return false;
    }
    std::memcpy(out->data, packet.data, packet.size);
    const std::int64_t shift = s.shifts[static_cast<std::size_t>(stream)];
    out->pts = packet.pts + shift;
    out->dts = packet.dts + shift;
    out->duration = packet.duration;
    out->flags = packet.key ? AV_PKT_FLAG_KEY : 0;
    out->stream_index = stream;
    if (!AttachDiscardAtEnd(out.get(), packet.discardEnd)) {
        return false;
    }
    const AVRational muxerBase = s.context->streams[stream]->time_base;
    av_packet_rescale_ts(out.get(), s.timeBases[static_cast<std::size_t>(stream)], muxerBase);
    StreamEnd& end = ends_[static_cast<std::size_t>(stream)];
    if (out->dts != AV_NOPTS_VALUE && out->duration > 0 &&
        (end.num == 0 || out->dts + out->duration > end.end)) {
        end = StreamEnd{out->dts + out->duration, muxerBase.num, muxerBase.den};
    }
    if (av_interleaved_write_frame(s.context.get(), out.get()) < 0 || s.failed) {
        return false;
    }
    // What the muxer has let go of goes to the file at once, so that a run
    // that is killed leaves every finished fragment behind.
    avio_flush(s.io);
    return !s.failed && file_.Flush();
}

bool CLavfMediaSink::Finish() {
    if (!state_) {
        return true;
    }
    bool ok = true;
    if (state_->begun) {
        ok = av_interleaved_write_frame(state_->context.get(), nullptr) >= 0;
        ok = av_write_trailer(state_->context.get()) >= 0 && ok;
        avio_flush(state_->io);
        ok = !state_->failed && ok;
    }
    const bool begun = state_->begun;
    state_.reset();
    ok = file_.Close() && ok;
    if (ok && begun && IsQuickTime(container_)) {
        // A file that cannot be moved keeps its fragments: it still plays.
        MoveIndexToFront();
    }
    return ok;
}

int CLavfMediaSink::ErrorNumber() const {
    return file_.LastError() != 0 ? file_.LastError() : error_;
}

bool CLavfMediaSink::MoveIndexToFront() {
    const std::string part = path_ + ".part";
    AVFormatContext* in = nullptr;
    if (avformat_open_input(&in, path_.c_str(), nullptr, nullptr) < 0) {
        return false;
    }
    struct InputCloser {
        AVFormatContext** p;
        ~InputCloser() { avformat_close_input(p); }
    } closeIn{&in};
    AVFormatContext* out = nullptr;
    if (avformat_alloc_output_context2(&out, nullptr, ContainerMuxer(container_), part.c_str()) <
        0) {
        return false;
    }
    FormatContextPtr output(out);
    for (unsigned i = 0; i < in->nb_streams; ++i) {
        AVStream* stream = avformat_new_stream(out, nullptr);
        if (stream == nullptr ||
            avcodec_parameters_copy(stream->codecpar, in->streams[i]->codecpar) < 0) {
            return false;
        }
        stream->time_base = in->streams[i]->time_base;
        stream->avg_frame_rate = in->streams[i]->avg_frame_rate;
        stream->r_frame_rate = in->streams[i]->r_frame_rate;
    }
    if (avio_open(&out->pb, part.c_str(), AVIO_FLAG_WRITE) < 0) {
        return false;
    }
    AVDictionary* options = nullptr;
    av_dict_set(&options, "movflags", "+faststart", 0);
    bool ok = avformat_write_header(out, &options) >= 0;
    DictionaryDeleter{}(options);
    // Each packet waits for the next one of its stream, which tells its
    // duration; the last one's comes from what WritePacket was given.
    PacketPtr packet(av_packet_alloc());
    std::vector<PacketPtr> held;
    std::vector<bool> holding(in->nb_streams, false);
    ok = ok && packet != nullptr;
    for (unsigned i = 0; ok && i < in->nb_streams; ++i) {
        held.emplace_back(av_packet_alloc());
        ok = held.back() != nullptr;
    }
    const auto send = [&](unsigned i) {
        AVPacket* p = held[i].get();
        holding[i] = false;
        av_packet_rescale_ts(p, in->streams[i]->time_base, out->streams[i]->time_base);
        return av_interleaved_write_frame(out, p) >= 0;
    };
    while (ok) {
        const int rc = av_read_frame(in, packet.get());
        if (rc == AVERROR_EOF) {
            break;
        }
        if (rc < 0) {
            ok = false;
            break;
        }
        const auto i = static_cast<unsigned>(packet->stream_index);
        AVPacket* last = held[i].get();
        if (holding[i]) {
            if (last->dts != AV_NOPTS_VALUE && packet->dts != AV_NOPTS_VALUE &&
                packet->dts > last->dts) {
                last->duration = packet->dts - last->dts;
            }
            ok = send(i);
        }
        av_packet_move_ref(last, packet.get());
        holding[i] = true;
    }
    for (unsigned i = 0; ok && i < in->nb_streams; ++i) {
        if (!holding[i]) {
            continue;
        }
        AVPacket* last = held[i].get();
        if (i < ends_.size() && ends_[i].num > 0 && last->dts != AV_NOPTS_VALUE) {
            const std::int64_t end = av_rescale_q(
                ends_[i].end, AVRational{ends_[i].num, ends_[i].den}, in->streams[i]->time_base);
            if (end > last->dts) {
                last->duration = end - last->dts;
            }
        }
        ok = send(i);
    }
    ok = ok && av_write_trailer(out) >= 0;
    ok = avio_closep(&out->pb) >= 0 && ok;
    if (!ok || std::rename(part.c_str(), path_.c_str()) != 0) {
        error_ = errno;
        ::unlink(part.c_str());
        return false;
    }
    return true;
}

} // namespace kmx
