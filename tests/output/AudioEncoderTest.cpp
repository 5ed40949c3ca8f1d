// CAudioEncoder judged by ffmpeg: two seconds of a sine per channel, handed
// over in odd portions, muxed by libavformat and decoded by the ffmpeg program.
#include "codec/AudioEncoder.h"
#include "tests/support/ExternalTools.h"
#include "tests/support/TempDir.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>

using kmx::AudioCodec;
using kmx::CAudioEncoder;

namespace {

struct Case {
    const char* name;
    AudioCodec codec;
    int rate;
    int channels;
    int encodedRate;
    const char* file; // the container the codec goes into in practice
    const char* codecName;
};
const Case kCases[] = {
    {"AacStereo44100", AudioCodec::Aac, 44100, 2, 44100, "out.mp4", "aac"},
    {"AacMono48000", AudioCodec::Aac, 48000, 1, 48000, "out.mp4", "aac"},
    {"OpusStereo44100", AudioCodec::Opus, 44100, 2, 48000, "out.webm", "opus"},
    {"OpusStereo48000", AudioCodec::Opus, 48000, 2, 48000, "out.webm", "opus"},
};
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}
constexpr int kSeconds = 2;
constexpr double kAmplitude = 8000;
constexpr int kPortions[] = {1, 7, 333, 1021, 4099, 29, 65537};

double Frequency(int channel) {
    return 500.0 + 750.0 * channel;
}

struct Stored {
    std::vector<std::uint8_t> bytes;
    std::int64_t pts;
    std::int64_t duration;
};

// Writes the packets as the one stream of a file whose extension picks the
// container; the encoder's delay goes in as the stream's initial padding.
bool Mux(const std::string& path, const CAudioEncoder& encoder,
         const std::vector<Stored>& packets) {
    AVFormatContext* raw = nullptr;
    if (avformat_alloc_output_context2(&raw, nullptr, nullptr, path.c_str()) < 0) {
        return false;
    }
    std::unique_ptr<AVFormatContext, void (*)(AVFormatContext*)> out(raw, avformat_free_context);
    AVStream* stream = avformat_new_stream(raw, nullptr);
    const std::vector<std::uint8_t>& config = encoder.CodecPrivate();
    if (stream == nullptr) {
        return false;
    }
    AVCodecParameters* par = stream->codecpar;
    par->codec_type = AVMEDIA_TYPE_AUDIO;
    par->codec_id = static_cast<AVCodecID>(encoder.CodecId());
    par->sample_rate = encoder.SampleRate();
    par->frame_size = encoder.FrameSize();
    par->initial_padding = encoder.InitialPadding();
    av_channel_layout_default(&par->ch_layout, encoder.Channels());
    par->extradata =
        static_cast<std::uint8_t*>(av_mallocz(config.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    par->extradata_size = static_cast<int>(config.size());
    std::memcpy(par->extradata, config.data(), config.size());
    const AVRational samples{1, encoder.SampleRate()};
    stream->time_base = samples;
    if (avio_open(&raw->pb, path.c_str(), AVIO_FLAG_WRITE) < 0 ||
        avformat_write_header(raw, nullptr) < 0) {
        return false;
    }
    AVPacket* pkt = av_packet_alloc();
    bool ok = pkt != nullptr;
    for (std::size_t i = 0; ok && i < packets.size(); ++i) {
        ok = av_new_packet(pkt, static_cast<int>(packets[i].bytes.size())) >= 0;
        if (ok) {
            std::memcpy(pkt->data, packets[i].bytes.data(), packets[i].bytes.size());
            pkt->pts = pkt->dts = packets[i].pts;
            pkt->duration = packets[i].duration;
            av_packet_rescale_ts(pkt, samples, stream->time_base);
            ok = av_write_frame(raw, pkt) >= 0;
        }
        av_packet_unref(pkt);
    }
    av_packet_free(&pkt);
    return ok && av_write_trailer(raw) >= 0 && avio_closep(&raw->pb) >= 0;
}

class AudioEncoderTest : public testing::TestWithParam<Case> {};

TEST_P(AudioEncoderTest, FfmpegDecodesTheSine) {
    REQUIRE_TOOL("ffmpeg");
    REQUIRE_TOOL("ffprobe");
    const Case& c = GetParam();
    CAudioEncoder encoder;
    ASSERT_TRUE(encoder.Open(c.codec, c.rate, c.channels));
    EXPECT_EQ(encoder.SampleRate(), c.encodedRate);
    EXPECT_FALSE(encoder.CodecPrivate().empty());

    const std::int64_t length = std::int64_t{kSeconds} * c.rate;
    std::vector<std::int16_t> pcm(static_cast<std::size_t>(length * c.channels));
    for (std::size_t i = 0; i < pcm.size(); ++i) {
        const double t = static_cast<double>(i / c.channels) / c.rate;
        pcm[i] = static_cast<std::int16_t>(std::lround(
            kAmplitude * std::sin(2 * std::numbers::pi * Frequency(int(i % c.channels)) * t)));
    }
    std::vector<Stored> packets;
    auto takeAll = [&] {
        CAudioEncoder::Packet p;
        bool failed = true;
        while (encoder.Take(&p, &failed)) {
            packets.push_back({{p.data, p.data + p.size}, p.pts, p.duration});
        }
        EXPECT_FALSE(failed);
    };
    for (std::int64_t sent = 0, i = 0; sent < length; ++i) {
        const std::int64_t portion = std::min<std::int64_t>(kPortions[i % 7], length - sent);
        ASSERT_TRUE(encoder.Send(pcm.data() + sent * c.channels, portion));
        sent += portion;
        takeAll();
    }
    ASSERT_TRUE(encoder.Flush());
    takeAll();
    EXPECT_FALSE(encoder.Send(pcm.data(), 1)); // nothing after the flush

    // Packets follow each other without gaps from the encoder's delay on and
    // end where the input does, at the encoded rate (the last one shorter).
    ASSERT_FALSE(packets.empty());
    EXPECT_EQ(packets.front().pts, -encoder.InitialPadding());
    std::int64_t end = packets.front().pts;
    for (const Stored& p : packets) {
        EXPECT_EQ(p.pts, end);
        end = p.pts + p.duration;
    }
    EXPECT_NEAR(end, kSeconds * c.encodedRate, 1);

    TempDir dir;
    const std::string path = dir.File(c.file);
    ASSERT_TRUE(Mux(path, encoder, packets));
    EXPECT_EQ(ProbeAudioStream(path, "codec_name"), c.codecName);
    EXPECT_EQ(ProbeAudioStream(path, "sample_rate"), std::to_string(c.encodedRate));
    EXPECT_EQ(ProbeAudioStream(path, "channels"), std::to_string(c.channels));
    std::string duration;
    ASSERT_EQ(RunTool({"ffprobe", "-v", "error", "-show_entries", "format=duration", "-of",
                       "csv=p=0", path},
                      &duration),
              0);
    EXPECT_NEAR(std::stod(duration), kSeconds, double(encoder.FrameSize()) / c.encodedRate);
    const FfmpegSound sound = DecodeAudioWithFfmpeg(path);
    ASSERT_TRUE(sound.ok);
    EXPECT_EQ(sound.warnings, "");
    const auto frames = static_cast<std::int64_t>(sound.samples.size()) / c.channels;
    EXPECT_NEAR(frames, kSeconds * c.encodedRate, encoder.FrameSize());

    // Least squares fit of each channel's own sine away from the ends: the
    // level, the lag in samples (the delay hidden exactly, the resampler
    // keeping time) and what is left (a wrong frequency or channel leaves
    // nearly all of it).
    const std::int64_t from = c.encodedRate / 10;
    const std::int64_t to = std::min(frames, std::int64_t{kSeconds} * c.encodedRate - from);
    for (int ch = 0; ch < c.channels; ++ch) {
        const double w = 2 * std::numbers::pi * Frequency(ch) / c.encodedRate;
        auto x = [&](std::int64_t n) { return double(sound.samples[n * c.channels + ch]); };
        double s = 0, k = 0, rest = 0;
        for (std::int64_t n = from; n < to; ++n) {
            s += x(n) * std::sin(w * n) * 2 / double(to - from);
            k += x(n) * std::cos(w * n) * 2 / double(to - from);
        }
        for (std::int64_t n = from; n < to; ++n) {
            rest += std::pow(x(n) - s * std::sin(w * n) - k * std::cos(w * n), 2);
        }
        EXPECT_NEAR(std::hypot(s, k), kAmplitude, kAmplitude * 0.05) << "channel " << ch;
        EXPECT_NEAR(-std::atan2(k, s) / w, 0, 1) << "channel " << ch;
        EXPECT_LT(std::sqrt(rest / double(to - from)), kAmplitude * 0.05) << "channel " << ch;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, AudioEncoderTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& param) {
                             return param.param.name;
                         });

TEST(AudioEncoderOpenTest, RefusesAbsurdFormatsAndOpensEveryChannelCount) {
    CAudioEncoder encoder;
    EXPECT_FALSE(encoder.Open(AudioCodec::Aac, 44100, 0));
    EXPECT_FALSE(encoder.Open(AudioCodec::Aac, 0, 2));
    EXPECT_FALSE(encoder.Open(AudioCodec::Opus, 48000, 9));
    EXPECT_FALSE(encoder.Open(AudioCodec::Opus, -48000, 2));
    const std::int16_t silence[2] = {};
    EXPECT_FALSE(encoder.Send(silence, 1));
    EXPECT_FALSE(encoder.Flush());
    for (AudioCodec codec : {AudioCodec::Aac, AudioCodec::Opus}) {
        for (int channels = 1; channels <= 8; ++channels) {
            EXPECT_TRUE(encoder.Open(codec, 48000, channels)) << channels;
            EXPECT_EQ(encoder.Channels(), channels);
            EXPECT_EQ(encoder.BitRate(), channels == 1 ? 96000 : 80000 * channels);
        }
    }
}

} // namespace
