// The reader's rules: results for bad indexes and closed readers, the
// lifecycle of the frame decoder, stream counts and information, the time
// conversions and the audio reads.
#include "media/AviReader.h"
#include "tests/media/AviReaderTestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

using namespace readertest;

namespace {

// Ten 8x4 frames at 25 fps and 8000 Hz mono audio in chunks of 100, 250 and 50 samples.
std::vector<TestStream> VideoAndAudio() {
    return {RawVideoStream(8, 4, 10), PcmAudioStream({100, 250, 50})};
}

void ExpectEveryVideoOperationFails(CAviReader& reader, std::uint32_t index) {
    AVISTREAMINFOA info{};
    EXPECT_FALSE(reader.GetVideoStreamInfo(index, &info, 140));
    EXPECT_EQ(reader.GetVideoLength(index), 0);
    EXPECT_FALSE(reader.StartVideoRetrieve(index));
    EXPECT_FALSE(reader.StopVideoRetrieve(index));
    const BITMAPINFOHEADER* frame = reinterpret_cast<const BITMAPINFOHEADER*>(&info);
    reader.GetVideoFrame(index, 0, &frame);
    EXPECT_EQ(frame, nullptr);
    EXPECT_EQ(reader.VideoFrameToTime(index, 0), -1);
    EXPECT_EQ(reader.VideoTimeToFrame(index, 0), -1);
}

void ExpectEveryAudioOperationFails(CAviReader& reader, std::uint32_t index) {
    AVISTREAMINFOA info{};
    EXPECT_FALSE(reader.GetAudioStreamInfo(index, &info, 140));
    EXPECT_EQ(reader.GetAudioLength(index), 0);
    std::int32_t size = 77;
    EXPECT_EQ(reader.GetAudioFormat(index, &size), nullptr);
    EXPECT_EQ(size, 0);
    std::uint8_t buffer[64];
    std::int32_t bytes = 5;
    std::int32_t samples = 5;
    EXPECT_EQ(reader.ReadAudio(index, 0, 1, buffer, sizeof buffer, &bytes, &samples), 998);
    EXPECT_EQ(bytes, 0);
    EXPECT_EQ(samples, 0);
}

TEST(AviReaderRules, ClosedReaderFailsEveryOperation) {
    CAviReader reader;
    EXPECT_EQ(reader.GetVideoStreamCount(), 0u);
    EXPECT_EQ(reader.GetAudioStreamCount(), 0u);
    ExpectEveryVideoOperationFails(reader, 0);
    ExpectEveryAudioOperationFails(reader, 0);
}

TEST(AviReaderRules, IndexesAtOrAboveTheCountFail) {
    TempDir dir;
    CAviReader reader;
    ASSERT_TRUE(reader.Open(WriteAvi(dir, "a.avi", VideoAndAudio()).c_str()));
    ASSERT_EQ(reader.GetVideoStreamCount(), 1u);
    ASSERT_EQ(reader.GetAudioStreamCount(), 1u);
    for (const std::uint32_t index : {1u, 4u, 5u, UINT32_MAX}) {
        ExpectEveryVideoOperationFails(reader, index);
        ExpectEveryAudioOperationFails(reader, index);
    }
    // Index 0 still works after all that.
    EXPECT_EQ(reader.GetVideoLength(0), 10);
    EXPECT_TRUE(reader.StartVideoRetrieve(0));
}

TEST(AviReaderRules, StreamInfoNeedsTheFullRecordSize) {
    TempDir dir;
    CAviReader reader;
    ASSERT_TRUE(reader.Open(WriteAvi(dir, "a.avi", VideoAndAudio()).c_str()));
    AVISTREAMINFOA info{};
    EXPECT_FALSE(reader.GetVideoStreamInfo(0, &info, 139));
    EXPECT_FALSE(reader.GetAudioStreamInfo(0, nullptr, 140));
    EXPECT_TRUE(reader.GetVideoStreamInfo(0, &info, 140));
    EXPECT_TRUE(reader.GetAudioStreamInfo(0, &info, 200));
}

TEST(AviReaderRules, ConversionsNeedAnOpenDecoder) {
    TempDir dir;
    CAviReader reader;
    ASSERT_TRUE(reader.Open(WriteAvi(dir, "a.avi", VideoAndAudio()).c_str()));
    EXPECT_EQ(reader.VideoFrameToTime(0, 5), -1);
    EXPECT_EQ(reader.VideoTimeToFrame(0, 200), -1);
    ASSERT_TRUE(reader.StartVideoRetrieve(0));
    EXPECT_EQ(reader.VideoFrameToTime(0, 5), 200);
    EXPECT_EQ(reader.VideoTimeToFrame(0, 200), 5);
    EXPECT_TRUE(reader.StopVideoRetrieve(0));
    EXPECT_EQ(reader.VideoFrameToTime(0, 5), -1);
    EXPECT_EQ(reader.VideoTimeToFrame(0, 200), -1);
    const BITMAPINFOHEADER* frame = nullptr;
    reader.GetVideoFrame(0, 0, &frame);
    EXPECT_EQ(frame, nullptr);
}

TEST(AviReaderRules, StopWithoutDecoderSucceedsAndStartReplacesTheDecoder) {
    TempDir dir;
    CAviReader reader;
    ASSERT_TRUE(reader.Open(WriteAvi(dir, "a.avi", VideoAndAudio()).c_str()));
    EXPECT_TRUE(reader.StopVideoRetrieve(0));
    EXPECT_TRUE(reader.StopVideoRetrieve(0));
    ASSERT_TRUE(reader.StartVideoRetrieve(0));
    ASSERT_TRUE(reader.StartVideoRetrieve(0));
    const BITMAPINFOHEADER* frame = nullptr;
    reader.GetVideoFrame(0, 3, &frame);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(DibPixels(frame)[0], 3 * 7 + 1);
}

TEST(AviReaderRules, VideoTimeToFrameAcceptsTheEndTimeButNotOneMillisecondMore) {
    TempDir dir;
    TestStream video = RawVideoStream(8, 4, 10);
    CAviReader reader;
    ASSERT_TRUE(reader.Open(WriteAvi(dir, "a.avi", {video}).c_str()));
    ASSERT_TRUE(reader.StartVideoRetrieve(0));
    EXPECT_EQ(reader.VideoTimeToFrame(0, 400), 10); // 10 frames at 25 fps end at 400 ms
    EXPECT_EQ(reader.VideoTimeToFrame(0, 401), -1);
    EXPECT_EQ(reader.VideoTimeToFrame(0, -1), -1);

    // The end time counts from the stream's start.
    video.header.start = 3;
    ASSERT_TRUE(reader.Open(WriteAvi(dir, "b.avi", {video}).c_str()));
    ASSERT_TRUE(reader.StartVideoRetrieve(0));
    EXPECT_EQ(reader.VideoTimeToFrame(0, 520), 13);
    EXPECT_EQ(reader.VideoTimeToFrame(0, 521), -1);
}

TEST(AviReaderRules, ConversionsTruncateInIntegers) {
    TempDir dir;
    TestStream video = RawVideoStream(8, 4, 3);
    video.header.scale = 1001;
    video.header.rate = 30000;
    CAviReader reader;
    ASSERT_TRUE(reader.Open(WriteAvi(dir, "a.avi", {video}).c_str()));
    ASSERT_TRUE(reader.StartVideoRetrieve(0));
    EXPECT_EQ(reader.VideoFrameToTime(0, 1), 33);  // 33.37
    EXPECT_EQ(reader.VideoFrameToTime(0, 2), 66);  // 66.73
    EXPECT_EQ(reader.VideoFrameToTime(0, 3), 100); // 100.1
    EXPECT_EQ(reader.VideoTimeToFrame(0, 100), 2); // 2.997, at the end time
    EXPECT_EQ(reader.VideoTimeToFrame(0, 101), -1);
    EXPECT_EQ(reader.VideoFrameToTime(0, -1), -1);
}

TEST(AviReaderRules, ConversionsThatDoNotFitGiveMinusOne) {
    TempDir dir;
    TestStream video = RawVideoStream(8, 4, 2);
    video.header.scale = 0xFFFFFFFF;
    video.header.rate = 1;
    CAviReader reader;
    ASSERT_TRUE(reader.Open(WriteAvi(dir, "a.avi", {video}).c_str()));
    ASSERT_TRUE(reader.StartVideoRetrieve(0));
    EXPECT_EQ(reader.VideoFrameToTime(0, 0), 0);
    EXPECT_EQ(reader.VideoFrameToTime(0, 1), -1);         // 4.29e12 ms
    EXPECT_EQ(reader.VideoFrameToTime(0, INT32_MAX), -1); // would overflow 64 bits on the way
    EXPECT_EQ(reader.VideoTimeToFrame(0, INT32_MAX), 0);
}

TEST(AviReaderRules, CloseTwiceAndReopen) {
    TempDir dir;
    CAviReader reader;
    ASSERT_TRUE(reader.Open(WriteAvi(dir, "a.avi", VideoAndAudio()).c_str()));
    ASSERT_TRUE(reader.StartVideoRetrieve(0));
    reader.Close();
    reader.Close();
    EXPECT_EQ(reader.GetVideoStreamCount(), 0u);
    EXPECT_EQ(reader.GetAudioStreamCount(), 0u);
    ExpectEveryVideoOperationFails(reader, 0);

    // Open on an open reader replaces the file.
    ASSERT_TRUE(reader.Open(WriteAvi(dir, "b.avi", VideoAndAudio()).c_str()));
    ASSERT_TRUE(reader.Open(WriteAvi(dir, "c.avi", {PcmAudioStream({10})}).c_str()));
    EXPECT_EQ(reader.GetVideoStreamCount(), 0u);
    EXPECT_EQ(reader.GetAudioLength(0), 10);

    // A failed Open leaves the reader closed.
    EXPECT_FALSE(reader.Open(dir.File("missing.avi").c_str()));
    EXPECT_EQ(reader.GetAudioStreamCount(), 0u);
    EXPECT_FALSE(reader.Open(nullptr));
}

TEST(AviReaderRules, AudioWithoutVideoOpensWithNoVideoStream) {
    TempDir dir;
    CAviReader reader;
    ASSERT_TRUE(reader.Open(WriteAvi(dir, "a.avi", {PcmAudioStream({100, 100})}).c_str()));
    EXPECT_EQ(reader.GetVideoStreamCount(), 0u);
    EXPECT_EQ(reader.GetAudioStreamCount(), 1u);
    EXPECT_EQ(reader.GetAudioLength(0), 200);
    ExpectEveryVideoOperationFails(reader, 0);
}

TEST(AviReaderRules, AtMostFiveStreamsOfEachKind) {
    TempDir dir;
    std::vector<TestStream> streams;
    for (int i = 0; i < 6; ++i) {
        streams.push_back(RawVideoStream(8, 4, 2 + i));
        streams.push_back(PcmAudioStream({10 * (i + 1)}));
    }
    CAviReader reader;
    ASSERT_TRUE(reader.Open(WriteAvi(dir, "a.avi", streams).c_str()));
    EXPECT_EQ(reader.GetVideoStreamCount(), 5u);
    EXPECT_EQ(reader.GetAudioStreamCount(), 5u);
    for (std::uint32_t i = 0; i < 5; ++i) {
        EXPECT_EQ(reader.GetVideoLength(i), static_cast<std::int32_t>(2 + i));
        EXPECT_EQ(reader.GetAudioLength(i), static_cast<std::int32_t>(10 * (i + 1)));
    }
    EXPECT_EQ(reader.GetVideoLength(5), 0);
    // The streams keep their own samples although they are interleaved.
    ASSERT_TRUE(reader.StartVideoRetrieve(4));
    const BITMAPINFOHEADER* frame = nullptr;
    reader.GetVideoFrame(4, 5, &frame);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(DibPixels(frame)[0], 5 * 7 + 1);
    reader.GetVideoFrame(4, 6, &frame);
    EXPECT_EQ(frame, nullptr);
}

TEST(AviReaderRules, AStreamWithoutReadableFormatFailsOpen) {
    TempDir dir;
    struct Case {
        const char* what;
        bool video;
        bool omitFormat;
        std::size_t formatSize;
        bool omitHeader;
    };
    const Case cases[] = {
        {"audio without strf", false, true, 0, false},
        {"audio strf of 10 bytes", false, false, 10, false},
        {"video without strf", true, true, 0, false},
        {"video strf of 39 bytes", true, false, 39, false},
        {"video without strh", true, false, 40, true},
    };
    for (const Case& c : cases) {
        std::vector<TestStream> streams = VideoAndAudio();
        TestStream& broken = streams[c.video ? 0 : 1];
        broken.omitFormat = c.omitFormat;
        broken.omitHeader = c.omitHeader;
        if (!c.omitFormat) {
            broken.format.resize(c.formatSize);
        }
        CAviReader reader;
        ASSERT_TRUE(reader.Open(WriteAvi(dir, "good.avi", VideoAndAudio()).c_str()));
        const std::string path = WriteAvi(dir, "broken.avi", streams);
        if (c.omitHeader) {
            // Without a header the stream has no kind; it is ignored.
            EXPECT_TRUE(reader.Open(path.c_str())) << c.what;
            EXPECT_EQ(reader.GetVideoStreamCount(), 0u) << c.what;
            continue;
        }
        EXPECT_FALSE(reader.Open(path.c_str())) << c.what;
        EXPECT_EQ(reader.GetVideoStreamCount(), 0u) << c.what;
        EXPECT_EQ(reader.GetAudioStreamCount(), 0u) << c.what;
    }
}

TEST(AviReaderRules, SixthStreamWithBrokenFormatIsIgnored) {
    TempDir dir;
    std::vector<TestStream> streams;
    for (int i = 0; i < 6; ++i) {
        streams.push_back(RawVideoStream(8, 4, 2));
    }
    streams[5].omitFormat = true;
    CAviReader reader;
    ASSERT_TRUE(reader.Open(WriteAvi(dir, "a.avi", streams).c_str()));
    EXPECT_EQ(reader.GetVideoStreamCount(), 5u);
}

TEST(AviReaderInfo, FieldsComeFromTheStreamHeaderWithTheRealLength) {
    TempDir dir;
    TestStream video = RawVideoStream(8, 4, 7);
    video.header.length = 1000; // a header that promises more than exists
    video.header.handler = Fourcc("DIB ");
    video.header.suggestedBufferSize = 4321;
    video.header.quality = 7500;
    video.header.rect[0] = 1;
    video.header.rect[1] = 2;
    video.header.rect[2] = 7;
    video.header.rect[3] = 4;
    video.name = "Camera one";
    TestStream audio = PcmAudioStream({100, 250, 51});
    CAviReader reader;
    ASSERT_TRUE(reader.Open(WriteAvi(dir, "a.avi", {video, audio}).c_str()));
    AVISTREAMINFOA info{};
    ASSERT_TRUE(reader.GetVideoStreamInfo(0, &info, 140));
    EXPECT_EQ(info.fccType, Fourcc("vids"));
    EXPECT_EQ(info.fccHandler, Fourcc("DIB "));
    EXPECT_EQ(info.dwScale, 1u);
    EXPECT_EQ(info.dwRate, 25u);
    EXPECT_EQ(info.dwLength, 7u);
    EXPECT_EQ(info.dwSuggestedBufferSize, 4321u);
    EXPECT_EQ(info.dwQuality, 7500u);
    EXPECT_EQ(info.rcFrame.left, 1);
    EXPECT_EQ(info.rcFrame.top, 2);
    EXPECT_EQ(info.rcFrame.right, 7);
    EXPECT_EQ(info.rcFrame.bottom, 4);
    EXPECT_STREQ(info.szName, "Camera one");
    EXPECT_EQ(reader.GetVideoLength(0), 7);

    ASSERT_TRUE(reader.GetAudioStreamInfo(0, &info, 140));
    EXPECT_EQ(info.fccType, Fourcc("auds"));
    EXPECT_EQ(info.dwSampleSize, 2u);
    EXPECT_EQ(info.dwScale, 2u);
    EXPECT_EQ(info.dwRate, 16000u);
    EXPECT_EQ(info.dwLength, 401u);
    EXPECT_STREQ(info.szName, "");
}

TEST(AviReaderInfo, EmptyFrameRectangleTakesThePictureSize) {
    TempDir dir;
    TestStream video = RawVideoStream(8, 4, 2);
    video.format = BitmapFormat(8, -4, 24); // top-down: the size is still 8 x 4
    CAviReader reader;
    ASSERT_TRUE(reader.Open(WriteAvi(dir, "a.avi", {video}).c_str()));
    AVISTREAMINFOA info{};
    ASSERT_TRUE(reader.GetVideoStreamInfo(0, &info, 140));
    EXPECT_EQ(info.rcFrame.left, 0);
    EXPECT_EQ(info.rcFrame.top, 0);
    EXPECT_EQ(info.rcFrame.right, 8);
    EXPECT_EQ(info.rcFrame.bottom, 4);
}

TEST(AviReaderInfo, ZeroScaleOrRateIsRepaired) {
    TempDir dir;
    TestStream video = RawVideoStream(8, 4, 10);
    video.header.scale = 0;
    TestStream audio = PcmAudioStream({100});
    audio.header.rate = 0;
    BuildOptions options;
    options.microSecPerFrame = 33367; // 29.97 fps
    CAviReader reader;
    ASSERT_TRUE(reader.Open(WriteAvi(dir, "a.avi", {video, audio}, options).c_str()));
    AVISTREAMINFOA info{};
    ASSERT_TRUE(reader.GetVideoStreamInfo(0, &info, 140));
    EXPECT_EQ(info.dwScale, 33367u);
    EXPECT_EQ(info.dwRate, 1000000u);
    ASSERT_TRUE(reader.StartVideoRetrieve(0));
    EXPECT_EQ(reader.VideoFrameToTime(0, 3), 100);
    ASSERT_TRUE(reader.GetAudioStreamInfo(0, &info, 140));
    EXPECT_EQ(info.dwScale, 1u); // 2 bytes per sample at 16000 bytes per second
    EXPECT_EQ(info.dwRate, 8000u);

    // Without a frame period the video falls back to 25 fps.
    options.microSecPerFrame = 0;
    video.header.rate = 0;
    ASSERT_TRUE(reader.Open(WriteAvi(dir, "b.avi", {video}, options).c_str()));
    ASSERT_TRUE(reader.GetVideoStreamInfo(0, &info, 140));
    EXPECT_EQ(info.dwScale, 1u);
    EXPECT_EQ(info.dwRate, 25u);
    ASSERT_TRUE(reader.StartVideoRetrieve(0));
    EXPECT_EQ(reader.VideoFrameToTime(0, 10), 400);
    EXPECT_EQ(reader.VideoTimeToFrame(0, 400), 10);
}

TEST(AviReaderAudio, FormatIsHandedOutAsStored) {
    TempDir dir;
    TestStream audio = PcmAudioStream({10});
    audio.format.push_back(0xAB); // a byte beyond the usual 18
    audio.format.push_back(0xCD);
    CAviReader reader;
    ASSERT_TRUE(reader.Open(WriteAvi(dir, "a.avi", {audio}).c_str()));
    std::int32_t size = 0;
    const std::uint8_t* format = reader.GetAudioFormat(0, &size);
    ASSERT_NE(format, nullptr);
    ASSERT_EQ(size, 20);
    EXPECT_EQ(std::memcmp(format, audio.format.data(), 20), 0);
}

std::vector<std::int16_t> Values(const std::uint8_t* bytes, std::int32_t count) {
    std::vector<std::int16_t> out;
    for (std::int32_t i = 0; i < count; ++i) {
        out.push_back(static_cast<std::int16_t>(kmx::LoadU16(bytes + 2 * i)));
    }
    return out;
}

std::vector<std::int16_t> Counting(std::int16_t from, std::int32_t count) {
    std::vector<std::int16_t> out;
    for (std::int32_t i = 0; i < count; ++i) {
        out.push_back(static_cast<std::int16_t>(from + i));
    }
    return out;
}

TEST(AviReaderAudio, ReadsAcrossChunkBoundariesExactlyAsAsked) {
    TempDir dir;
    CAviReader reader;
    ASSERT_TRUE(reader.Open(WriteAvi(dir, "a.avi", VideoAndAudio()).c_str()));
    ASSERT_EQ(reader.GetAudioLength(0), 400);
    std::uint8_t buffer[2000];
    std::int32_t bytes = 0;
    std::int32_t samples = 0;
    // 90 .. 369 spans all three chunks.
    ASSERT_EQ(reader.ReadAudio(0, 90, 280, buffer, sizeof buffer, &bytes, &samples), 0);
    EXPECT_EQ(samples, 280);
    EXPECT_EQ(bytes, 560);
    EXPECT_EQ(Values(buffer, samples), Counting(90, 280));
    // A single sample in the middle of a chunk.
    ASSERT_EQ(reader.ReadAudio(0, 123, 1, buffer, sizeof buffer, &bytes, &samples), 0);
    EXPECT_EQ(Values(buffer, samples), Counting(123, 1));
    // Reading in odd pieces gives the whole stream.
    const Bytes all = ReadAllAudio(reader, 37);
    ASSERT_EQ(all.size(), 800u);
    EXPECT_EQ(Values(all.data(), 400), Counting(0, 400));
}

TEST(AviReaderAudio, SmallBuffersPastTheEndAndBadArguments) {
    TempDir dir;
    CAviReader reader;
    ASSERT_TRUE(reader.Open(WriteAvi(dir, "a.avi", VideoAndAudio()).c_str()));
    std::uint8_t buffer[2000];
    std::int32_t bytes = -1;
    std::int32_t samples = -1;
    // A buffer of 101 bytes takes 50 whole samples.
    ASSERT_EQ(reader.ReadAudio(0, 10, 200, buffer, 101, &bytes, &samples), 0);
    EXPECT_EQ(samples, 50);
    EXPECT_EQ(bytes, 100);
    EXPECT_EQ(Values(buffer, samples), Counting(10, 50));
    // Past the end: what exists.
    ASSERT_EQ(reader.ReadAudio(0, 390, 100, buffer, sizeof buffer, &bytes, &samples), 0);
    EXPECT_EQ(samples, 10);
    EXPECT_EQ(Values(buffer, samples), Counting(390, 10));
    // count -1: as many as fit.
    ASSERT_EQ(reader.ReadAudio(0, 0, -1, buffer, 60, &bytes, &samples), 0);
    EXPECT_EQ(samples, 30);
    // A null buffer only reports the size.
    ASSERT_EQ(reader.ReadAudio(0, 350, 100, nullptr, 0, &bytes, &samples), 0);
    EXPECT_EQ(samples, 50);
    EXPECT_EQ(bytes, 100);
    // Nothing asked, nothing read.
    ASSERT_EQ(reader.ReadAudio(0, 5, 0, buffer, sizeof buffer, &bytes, &samples), 0);
    EXPECT_EQ(samples, 0);
    // Failures read nothing.
    EXPECT_EQ(reader.ReadAudio(0, 0, 10, buffer, 1, &bytes, &samples),
              CAviReader::kReadAudioBufferTooSmall);
    EXPECT_EQ(samples, 0);
    EXPECT_EQ(bytes, 0);
    EXPECT_EQ(reader.ReadAudio(0, 400, 1, buffer, sizeof buffer, &bytes, &samples),
              CAviReader::kReadAudioBadParam);
    EXPECT_EQ(reader.ReadAudio(0, -1, 1, buffer, sizeof buffer, &bytes, &samples),
              CAviReader::kReadAudioBadParam);
    EXPECT_EQ(reader.ReadAudio(0, 0, -2, buffer, sizeof buffer, &bytes, &samples),
              CAviReader::kReadAudioBadParam);
    EXPECT_EQ(reader.ReadAudio(0, 0, 1, buffer, -1, &bytes, &samples),
              CAviReader::kReadAudioBadParam);
    // The counts are optional.
    EXPECT_EQ(reader.ReadAudio(0, 0, 1, buffer, sizeof buffer, nullptr, nullptr), 0);
}

TEST(AviReaderAudio, WithoutSampleSizeEachChunkIsOneSample) {
    TempDir dir;
    TestStream audio;
    audio.video = false;
    audio.header.scale = 1152;
    audio.header.rate = 44100;
    audio.format = WaveFormat(2, 44100, 16);
    audio.format[0] = 0x55; // MPEG layer 3
    audio.samples = {Bytes(5, 1), Bytes(7, 2), Bytes{}, Bytes(3, 3), Bytes(9, 4)};
    CAviReader reader;
    ASSERT_TRUE(reader.Open(WriteAvi(dir, "a.avi", {audio}).c_str()));
    EXPECT_EQ(reader.GetAudioLength(0), 4); // the empty chunk holds nothing
    std::uint8_t buffer[64];
    std::int32_t bytes = 0;
    std::int32_t samples = 0;
    ASSERT_EQ(reader.ReadAudio(0, 1, 3, buffer, sizeof buffer, &bytes, &samples), 0);
    EXPECT_EQ(samples, 3);
    EXPECT_EQ(bytes, 19);
    EXPECT_EQ(Bytes(buffer, buffer + bytes),
              (Bytes{2, 2, 2, 2, 2, 2, 2, 3, 3, 3, 4, 4, 4, 4, 4, 4, 4, 4, 4}));
    // Only whole chunks: 12 bytes take the 7- and 3-byte ones.
    ASSERT_EQ(reader.ReadAudio(0, 1, 3, buffer, 12, &bytes, &samples), 0);
    EXPECT_EQ(samples, 2);
    EXPECT_EQ(bytes, 10);
    EXPECT_EQ(reader.ReadAudio(0, 3, 1, buffer, 8, &bytes, &samples),
              CAviReader::kReadAudioBufferTooSmall);
    ASSERT_EQ(reader.ReadAudio(0, 0, 4, nullptr, 0, &bytes, &samples), 0);
    EXPECT_EQ(bytes, 24);
    EXPECT_EQ(samples, 4);
}

} // namespace
