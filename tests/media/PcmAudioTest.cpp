// Compressed audio decoded to 16-bit PCM (CPcmAudio, and CAviReader's PCM
// delivery built on it), judged against ffmpeg's decoding of the same file.
// Both use libavcodec's decoders and libswresample's default conversion to
// s16, so the samples must match exactly.
#include "media/decode/PcmAudio.h"
#include "media/AviReader.h"
#include "media/avi/AviAudioPcm.h"
#include "media/io/ByteOrder.h"
#include "tests/media/AviWriterTestSupport.h"
#include "tests/support/ExternalTools.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

using namespace avitest;

namespace {

// Two seconds of tiny video and a stereo sound whose channels differ.
std::vector<std::string> InputArgs(const std::string& codec, const std::string& output) {
    std::vector<std::string> args =
        Words("-f lavfi -i testsrc2=size=32x24:rate=25 -f lavfi -i "
              "aevalsrc=0.5*sin(440*2*PI*t)|0.3*sin(697*2*PI*t):s=44100 -t 2 -c:v mjpeg -c:a " +
              codec);
    args.push_back(output);
    return args;
}

Bytes AudioFormat(const CAviReader& reader) {
    std::int32_t size = 0;
    const std::uint8_t* format = reader.GetAudioFormat(0, &size);
    return format == nullptr ? Bytes() : Bytes(format, format + size);
}

// A WAVEFORMATEX without extra bytes.
Bytes WaveFormatEx(std::uint16_t tag, int channels, int bits, int blockAlign,
                   std::uint32_t rate = 0, std::uint32_t bytesPerSecond = 0) {
    Bytes f(18, 0);
    kmx::StoreU16(&f[0], tag);
    kmx::StoreU16(&f[2], static_cast<std::uint16_t>(channels));
    kmx::StoreU32(&f[4], rate);
    kmx::StoreU32(&f[8], bytesPerSecond);
    kmx::StoreU16(&f[12], static_cast<std::uint16_t>(blockAlign));
    kmx::StoreU16(&f[14], static_cast<std::uint16_t>(bits));
    return f;
}

class PcmDecoding : public testing::TestWithParam<const char*> {};

TEST_P(PcmDecoding, ReaderDeliversWhatFfmpegDecodes) {
    REQUIRE_TOOL("ffmpeg");
    TempDir dir;
    const std::string path = dir.File("in.avi");
    ASSERT_TRUE(Ffmpeg(InputArgs(GetParam(), path)));
    const Bytes expected = FfmpegAudio(path);
    ASSERT_FALSE(expected.empty());

    CAviReader reader;
    ASSERT_TRUE(reader.Open(path.c_str()));
    ASSERT_FALSE(kmx::IsPcmWaveFormat(AudioFormat(reader)));
    ASSERT_TRUE(reader.DecodeAudioToPcm(0));
    ASSERT_TRUE(reader.DecodeAudioToPcm(0)); // a second call keeps what is there

    AVISTREAMINFOA info{};
    ASSERT_TRUE(reader.GetAudioStreamInfo(0, &info, sizeof info));
    EXPECT_EQ(info.dwSampleSize, 4u);
    EXPECT_EQ(info.dwScale, 1u);
    EXPECT_EQ(info.dwRate, 44100u);
    EXPECT_EQ(static_cast<std::size_t>(info.dwLength), expected.size() / 4);
    EXPECT_EQ(static_cast<std::size_t>(reader.GetAudioLength(0)), expected.size() / 4);
    EXPECT_EQ(AudioFormat(reader), WaveFormat(2, 44100)); // 16-bit PCM
    // Pieces of an odd size, so that reads start inside the decoded blocks.
    EXPECT_TRUE(ReadAllAudio(reader, 997) == expected);

    // A buffer below one sample frame takes nothing.
    std::uint8_t small[3];
    std::int32_t bytes = 0;
    std::int32_t samples = 0;
    EXPECT_EQ(reader.ReadAudio(0, 0, 1, small, sizeof small, &bytes, &samples),
              CAviReader::kReadAudioBufferTooSmall);
}

INSTANTIATE_TEST_SUITE_P(Codecs, PcmDecoding,
                         testing::Values("libmp3lame", "ac3", "aac", "adpcm_ima_wav", "adpcm_ms"));

// A stream no decoder knows stays as it is, and the call says so.
TEST(PcmDecoding, UnknownFormatIsLeftAlone) {
    REQUIRE_TOOL("ffmpeg");
    TempDir dir;
    const std::string made = dir.File("made.avi");
    ASSERT_TRUE(Ffmpeg(InputArgs("libmp3lame", made)));
    Bytes bytes = ReadWholeFile(made);
    const std::size_t strf = Find(bytes, "strf", Find(bytes, "auds"));
    ASSERT_NE(strf, std::string::npos);
    kmx::StoreU16(&bytes[strf + 8], 0x7A21); // a format tag without a codec
    const std::string path = dir.File("unknown.avi");
    ASSERT_TRUE(WriteBytes(path, bytes));
    CAviReader reader;
    ASSERT_TRUE(reader.Open(path.c_str()));
    const std::int32_t length = reader.GetAudioLength(0);
    const Bytes format = AudioFormat(reader);
    EXPECT_FALSE(reader.DecodeAudioToPcm(0));
    EXPECT_EQ(reader.GetAudioLength(0), length);
    EXPECT_EQ(AudioFormat(reader), format);
    EXPECT_FALSE(reader.DecodeAudioToPcm(1)); // no such stream
}

// MPEG audio cut at arbitrary places, as AVI files with a byte-sized sample
// hold it: the parser finds the frames again and nothing is lost.
TEST(PcmDecoding, MpegAudioCutAnywhereDecodesWhole) {
    REQUIRE_TOOL("ffmpeg");
    TempDir dir;
    const std::string path = dir.File("sound.mp3");
    ASSERT_TRUE(Ffmpeg({"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100", "-t", "2",
                        "-c:a", "libmp3lame", "-b:a", "128k", "-write_xing", "0", "-id3v2_version",
                        "0", "-f", "mp3", path}));
    const Bytes stream = ReadWholeFile(path);
    const Bytes expected = FfmpegAudio(path);
    ASSERT_FALSE(stream.empty());
    ASSERT_FALSE(expected.empty());

    const Bytes format = WaveFormatEx(0x55, 1, 0, 1, 44100, 16000); // MPEG layer 3, mono
    kmx::CPcmAudio pcm;
    ASSERT_TRUE(pcm.OpenWaveFormat(format.data(), format.size()));
    for (std::size_t at = 0; at < stream.size(); at += 777) {
        ASSERT_TRUE(pcm.Decode(&stream[at], std::min<std::size_t>(777, stream.size() - at)));
    }
    ASSERT_TRUE(pcm.Finish());
    EXPECT_EQ(pcm.Rejected(), 0);
    ASSERT_EQ(static_cast<std::size_t>(pcm.Length()) * 2, expected.size());
    Bytes decoded(expected.size());
    ASSERT_TRUE(pcm.Read(0, pcm.Length(), decoded.data()));
    EXPECT_TRUE(decoded == expected);
    EXPECT_FALSE(pcm.Read(1, pcm.Length(), decoded.data())); // past the end
}

TEST(PcmDecoding, PcmFormatsAreThoseWithOneSampleFramePerBlock) {
    auto extensible = [](std::uint16_t subFormat, int channels, int bits, int blockAlign) {
        Bytes f = WaveFormatEx(0xFFFE, channels, bits, blockAlign);
        kmx::StoreU16(&f[16], 22);
        f.resize(40, 0);
        kmx::StoreU16(&f[24], subFormat);
        return f;
    };
    EXPECT_TRUE(kmx::IsPcmWaveFormat(WaveFormatEx(1, 2, 16, 4)));
    EXPECT_TRUE(kmx::IsPcmWaveFormat(WaveFormatEx(1, 1, 8, 1)));
    EXPECT_TRUE(kmx::IsPcmWaveFormat(WaveFormatEx(1, 2, 24, 6)));
    EXPECT_TRUE(kmx::IsPcmWaveFormat(WaveFormatEx(3, 2, 32, 8)));
    EXPECT_TRUE(kmx::IsPcmWaveFormat(WaveFormatEx(6, 1, 8, 1)));
    EXPECT_TRUE(kmx::IsPcmWaveFormat(WaveFormatEx(7, 2, 8, 2)));
    EXPECT_TRUE(kmx::IsPcmWaveFormat(extensible(1, 6, 24, 18)));
    EXPECT_TRUE(kmx::IsPcmWaveFormat(extensible(3, 2, 32, 8)));
    // Blocks of several sample frames cannot be reversed as they are.
    EXPECT_FALSE(kmx::IsPcmWaveFormat(WaveFormatEx(1, 2, 16, 4096)));
    EXPECT_FALSE(kmx::IsPcmWaveFormat(WaveFormatEx(1, 2, 16, 0)));
    EXPECT_FALSE(kmx::IsPcmWaveFormat(WaveFormatEx(0x55, 2, 0, 1)));    // MP3
    EXPECT_FALSE(kmx::IsPcmWaveFormat(WaveFormatEx(0x2000, 2, 0, 1)));  // AC-3
    EXPECT_FALSE(kmx::IsPcmWaveFormat(WaveFormatEx(0x11, 2, 4, 2048))); // IMA ADPCM
    EXPECT_FALSE(kmx::IsPcmWaveFormat(WaveFormatEx(2, 2, 4, 2048)));    // MS ADPCM
    EXPECT_FALSE(kmx::IsPcmWaveFormat(extensible(0x55, 2, 16, 4)));
    EXPECT_FALSE(kmx::IsPcmWaveFormat(Bytes(10, 0)));
}

} // namespace
