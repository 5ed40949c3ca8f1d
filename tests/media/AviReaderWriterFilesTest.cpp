// Files made by our own writer, read back: every frame carries its number
// in its pixels and every audio sample its index.
#include "media/AviReader.h"
#include "media/TestPattern.h"
#include "tests/media/AviReaderTestSupport.h"

#include <gtest/gtest.h>

using namespace readertest;

namespace {

TEST(AviReaderWriterFiles, SampleFilesReadBackFrameByFrameAndSampleBySample) {
    TempDir dir;
    for (const int bits : {16, 24, 32}) {
        kmx::SampleAviOptions options;
        options.width = 162;
        options.height = 90;
        options.bitsPerPixel = bits;
        options.frames = 30;
        options.rate = 30000;
        options.scale = 1001;
        options.audio = true;
        options.audioRate = 22050;
        options.audioChannels = 2;
        options.patternOffset = 5;
        const std::string path = dir.File("sample" + std::to_string(bits) + ".avi");
        std::string error;
        ASSERT_TRUE(kmx::WriteSampleAvi(path, options, &error)) << error;

        CAviReader reader;
        ASSERT_TRUE(reader.Open(path.c_str())) << bits;
        ASSERT_EQ(reader.GetVideoStreamCount(), 1u);
        ASSERT_EQ(reader.GetAudioStreamCount(), 1u);
        ASSERT_EQ(reader.GetVideoLength(0), 30);
        AVISTREAMINFOA info{};
        ASSERT_TRUE(reader.GetVideoStreamInfo(0, &info, 140));
        EXPECT_EQ(info.dwScale, 1001u);
        EXPECT_EQ(info.dwRate, 30000u);
        EXPECT_EQ(info.rcFrame.right - info.rcFrame.left, 162);
        EXPECT_EQ(info.rcFrame.bottom - info.rcFrame.top, 90);

        ASSERT_TRUE(reader.StartVideoRetrieve(0));
        for (const bool backwards : {false, true}) {
            for (int i = 0; i < 30; ++i) {
                const int k = backwards ? 29 - i : i;
                const BITMAPINFOHEADER* frame = nullptr;
                reader.GetVideoFrame(0, k, &frame);
                ASSERT_NE(frame, nullptr) << bits << " frame " << k;
                ASSERT_EQ(frame->biBitCount, bits);
                ASSERT_EQ(frame->biWidth, 162);
                ASSERT_EQ(frame->biHeight, 90);
                EXPECT_EQ(kmx::ReadTestPatternNumber(DibPixels(frame), 162, 90, bits), k + 5)
                    << bits << " frame " << k;
            }
        }

        // The audio of all 30 frames: 1001 ms at 22050 Hz.
        const std::int32_t samples = reader.GetAudioLength(0);
        EXPECT_EQ(samples, kmx::TestAudioFirstSample(30, options));
        const Bytes audio = ReadAllAudio(reader, 1000);
        ASSERT_EQ(audio.size(), static_cast<std::size_t>(samples) * 4);
        for (std::int32_t s = 0; s < samples; ++s) {
            for (int c = 0; c < 2; ++c) {
                const auto value = static_cast<std::int16_t>(
                    kmx::LoadU16(audio.data() + 4 * static_cast<std::size_t>(s) + 2 * c));
                ASSERT_EQ(value, kmx::TestAudioValue(s, c)) << bits << " sample " << s;
            }
        }
    }
}

} // namespace
