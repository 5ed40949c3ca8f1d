// CAudioEncoder judged by ffmpeg: two seconds of a sine per channel, handed
// over in odd portions, muxed by libavformat and decoded by the ffmpeg program.
#include "codec/AudioEncoder.h"
#include "media/lavf/LavfMediaSink.h"
#include "tests/support/ExternalTools.h"
#include "tests/support/TempDir.h"

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
    kmx::OutputContainer container;
    const char* codecName;
};
const Case kCases[] = {
    {"AacStereo44100", AudioCodec::Aac, 44100, 2, 44100, "out.mp4", kmx::OutputContainer::Mp4,
     "aac"},
    {"AacMono48000", AudioCodec::Aac, 48000, 1, 48000, "out.mp4", kmx::OutputContainer::Mp4, "aac"},
    {"OpusStereo44100", AudioCodec::Opus, 44100, 2, 48000, "out.webm", kmx::OutputContainer::WebM,
     "opus"},
    {"OpusStereo48000", AudioCodec::Opus, 48000, 2, 48000, "out.webm", kmx::OutputContainer::WebM,
     "opus"},
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
    std::int64_t discardEnd;
};

// Writes the packets as the one stream of a file through our libavformat
// sink; the encoder's delay goes in as the stream's initial padding.
bool Mux(const std::string& path, kmx::OutputContainer container, const CAudioEncoder& encoder,
         const std::vector<Stored>& packets) {
    kmx::MediaStreamSetup setup;
    setup.header.dwScale = 1;
    setup.header.dwRate = static_cast<std::uint32_t>(encoder.SampleRate());
    setup.details.codecId = encoder.CodecId();
    setup.details.codecPrivate = encoder.CodecPrivate();
    setup.details.sampleRate = encoder.SampleRate();
    setup.details.channels = encoder.Channels();
    setup.details.frameSize = encoder.FrameSize();
    setup.details.initialPadding = encoder.InitialPadding();
    kmx::CLavfMediaSink sink(container);
    bool ok = sink.Create(path.c_str()) && sink.AddStream(setup) == 0 && sink.Begin();
    for (const Stored& p : packets) {
        kmx::MediaPacket packet;
        packet.data = p.bytes.data();
        packet.size = static_cast<std::uint32_t>(p.bytes.size());
        packet.pts = packet.dts = p.pts;
        packet.duration = p.duration;
        packet.key = true;
        packet.discardEnd = p.discardEnd;
        ok = ok && sink.WritePacket(0, packet);
    }
    return sink.Finish() && ok;
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
            packets.push_back({{p.data, p.data + p.size}, p.pts, p.duration, p.discardEnd});
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
    ASSERT_TRUE(Mux(path, c.container, encoder, packets));
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
    // WebM drops the encoder's padding at the end, to the sample; MP4 cannot.
    const auto frames = static_cast<std::int64_t>(sound.samples.size()) / c.channels;
    EXPECT_NEAR(frames, kSeconds * c.encodedRate,
                c.container == kmx::OutputContainer::WebM ? 1 : encoder.FrameSize());

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
