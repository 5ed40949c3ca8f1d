// How the frame decoder moves through a compressed stream: forwards it goes
// on where it stopped, a jump starts at the nearest key frame before the
// wanted frame, the frame it holds is not decoded again, and without key
// flags from the file it finds the key frames itself.
#include "media/AviIndex.h"
#include "media/AviParser.h"
#include "media/AviParserStreamInfo.h"
#include "media/RiffFileReader.h"
#include "media/VideoDecoder.h"
#include "tests/media/AviReaderTestSupport.h"
#include "tests/support/ExternalTools.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

using namespace readertest;

namespace {

// Video stream 0 of a file, opened below the reader.
class Stream0 {
public:
    bool Open(const std::string& path) {
        if (!file_.Open(path.c_str()) || !kmx::ParseAviLayout(file_, layout_) ||
            layout_.streams.empty() ||
            !kmx::BuildAviIndexes(file_, layout_, {0}, indexes_, &source_)) {
            return false;
        }
        samples_ = std::make_unique<kmx::CAviSampleSource>(file_, indexes_[0]);
        const kmx::AviStreamList& stream = layout_.streams[0];
        return decoder_.Open(stream.format, kmx::LoadU32(stream.header.data() + 4), *samples_);
    }

    kmx::CVideoDecoder& Decoder() { return decoder_; }
    kmx::AviIndexSource Source() const { return source_; }
    std::int32_t Count() const { return samples_->SampleCount(); }

    // Decodes frame n and returns how many samples that read from the file.
    std::uint64_t SamplesFor(std::int32_t n, Bytes* picture = nullptr) {
        const std::uint64_t before = decoder_.SamplesRead();
        const BITMAPINFOHEADER* frame = decoder_.GetFrame(n);
        EXPECT_NE(frame, nullptr) << "frame " << n;
        if (frame != nullptr && picture != nullptr) {
            *picture = DibRowsTopDown(frame);
        }
        return decoder_.SamplesRead() - before;
    }

private:
    kmx::CRiffFile file_;
    kmx::AviLayout layout_;
    std::vector<kmx::AviStreamIndex> indexes_;
    kmx::AviIndexSource source_ = kmx::AviIndexSource::None;
    std::unique_ptr<kmx::CAviSampleSource> samples_;
    kmx::CVideoDecoder decoder_;
};

class AviReaderDecoder : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveTool("ffmpeg")) {
            GTEST_SKIP() << "ffmpeg is not installed; these tests need it to make input files";
        }
    }

    // 30 frames of MPEG-4 Visual without B-frames, a key frame every 10.
    std::string MakeMpeg4(const std::string& name, const std::string& gop = "10") {
        const std::string path = dir_.File(name);
        std::string errors;
        EXPECT_TRUE(Ffmpeg({"-f", "lavfi", "-i", "testsrc=size=96x64:rate=25", "-frames:v", "30",
                            "-c:v", "mpeg4", "-g", gop, "-bf", "0", path},
                           &errors))
            << errors;
        return path;
    }

    std::string Truncated(const std::string& path, double keep) {
        Bytes bytes = ReadWholeFile(path);
        bytes.resize(static_cast<std::size_t>(static_cast<double>(bytes.size()) * keep));
        const std::string cut = path + ".cut.avi";
        EXPECT_TRUE(WriteBytes(cut, bytes));
        return cut;
    }

    TempDir dir_;
};

TEST_F(AviReaderDecoder, ForwardReadingDecodesEverySampleOnce) {
    Stream0 stream;
    ASSERT_TRUE(stream.Open(MakeMpeg4("a.avi")));
    ASSERT_EQ(stream.Source(), kmx::AviIndexSource::Idx1);
    ASSERT_EQ(stream.Count(), 30);
    std::uint64_t total = 0;
    for (int n = 0; n < 30; ++n) {
        total += stream.SamplesFor(n);
    }
    EXPECT_EQ(total, 30u);
}

TEST_F(AviReaderDecoder, TheFrameHeldIsNotDecodedAgain) {
    Stream0 stream;
    ASSERT_TRUE(stream.Open(MakeMpeg4("a.avi")));
    Bytes first;
    Bytes second;
    EXPECT_EQ(stream.SamplesFor(14, &first), 5u); // 10 .. 14
    EXPECT_EQ(stream.SamplesFor(14, &second), 0u);
    EXPECT_EQ(first, second);
}

TEST_F(AviReaderDecoder, JumpsStartAtTheNearestKeyFrame) {
    Stream0 stream;
    ASSERT_TRUE(stream.Open(MakeMpeg4("a.avi")));
    EXPECT_EQ(stream.SamplesFor(17), 8u); // 10 .. 17
    EXPECT_EQ(stream.SamplesFor(18), 1u); // goes on
    EXPECT_EQ(stream.SamplesFor(12), 3u); // back: 10 .. 12
    EXPECT_EQ(stream.SamplesFor(23), 4u); // 20 is nearer than going on: 20 .. 23
    EXPECT_EQ(stream.SamplesFor(29), 6u); // no key frame between: goes on
    EXPECT_EQ(stream.SamplesFor(0), 1u);
    EXPECT_EQ(stream.SamplesFor(9), 9u);
}

TEST_F(AviReaderDecoder, BackwardsReadingMatchesForwardReading) {
    Stream0 forwards;
    Stream0 backwards;
    const std::string path = MakeMpeg4("a.avi");
    ASSERT_TRUE(forwards.Open(path));
    ASSERT_TRUE(backwards.Open(path));
    std::vector<Bytes> pictures(30);
    for (int n = 0; n < 30; ++n) {
        forwards.SamplesFor(n, &pictures[static_cast<std::size_t>(n)]);
    }
    for (int n = 29; n >= 0; --n) {
        Bytes picture;
        // Never more than the frames from the key frame on.
        EXPECT_LE(backwards.SamplesFor(n, &picture), static_cast<std::uint64_t>(n % 10 + 1));
        EXPECT_EQ(picture, pictures[static_cast<std::size_t>(n)]) << n;
    }
}

TEST_F(AviReaderDecoder, BFramesInAnyOrderMatchForwardReading) {
    // With B-frames the samples are stored in decoding order; pictures come
    // out in display order. A jump must still give the picture shown at
    // that place, also as the very first request of a decoder.
    const std::string path = dir_.File("b.avi");
    std::string errors;
    ASSERT_TRUE(Ffmpeg({"-f", "lavfi", "-i", "testsrc=size=96x64:rate=25", "-frames:v", "30",
                        "-c:v", "mpeg4", "-g", "10", "-bf", "2", path},
                       &errors))
        << errors;
    Stream0 forwards;
    ASSERT_TRUE(forwards.Open(path));
    std::vector<Bytes> pictures(30);
    for (int n = 0; n < 30; ++n) {
        forwards.SamplesFor(n, &pictures[static_cast<std::size_t>(n)]);
    }
    for (int n = 1; n < 30; ++n) {
        EXPECT_NE(pictures[static_cast<std::size_t>(n)], pictures[static_cast<std::size_t>(n - 1)]);
    }
    Stream0 jumping;
    ASSERT_TRUE(jumping.Open(path));
    for (const int n : {17, 11, 10, 12, 29, 0, 21, 9, 20}) {
        Bytes picture;
        jumping.SamplesFor(n, &picture);
        EXPECT_EQ(picture, pictures[static_cast<std::size_t>(n)]) << n;
    }
    Stream0 backwards;
    ASSERT_TRUE(backwards.Open(path));
    for (int n = 29; n >= 0; --n) {
        Bytes picture;
        backwards.SamplesFor(n, &picture);
        EXPECT_EQ(picture, pictures[static_cast<std::size_t>(n)]) << n;
    }
}

TEST_F(AviReaderDecoder, WithoutKeyFlagsKeyFramesAreLearnedWhileDecoding) {
    Stream0 stream;
    const std::string full = MakeMpeg4("a.avi");
    ASSERT_TRUE(stream.Open(Truncated(full, 0.9)));
    ASSERT_EQ(stream.Source(), kmx::AviIndexSource::Scan);
    ASSERT_GT(stream.Count(), 22);
    Stream0 reference;
    ASSERT_TRUE(reference.Open(full));
    Bytes expected;
    Bytes picture;
    // The first jump knows no key frame but the first sample.
    EXPECT_EQ(stream.SamplesFor(21, &picture), 22u);
    reference.SamplesFor(21, &expected);
    EXPECT_EQ(picture, expected);
    // Now 10 and 20 are known key frames.
    EXPECT_EQ(stream.SamplesFor(12, &picture), 3u);
    reference.SamplesFor(12, &expected);
    EXPECT_EQ(picture, expected);
}

TEST_F(AviReaderDecoder, KeyFlagsThatClaimTooMuchAreCorrected) {
    // FFV1 frames between key frames need the frames before them. An index
    // that flags every frame as a key frame sends the decoder to frames it
    // cannot start from; such a "key frame" is dropped and the one before
    // it tried.
    const std::string path = dir_.File("ffv1.avi");
    std::string errors;
    ASSERT_TRUE(Ffmpeg({"-f", "lavfi", "-i", "testsrc=size=96x64:rate=25", "-frames:v", "20",
                        "-c:v", "ffv1", "-g", "6", path},
                       &errors))
        << errors;
    Stream0 reference;
    ASSERT_TRUE(reference.Open(path));
    Bytes bytes = ReadWholeFile(path);
    std::size_t idx1 = 0;
    for (std::size_t i = 0; i + 4 <= bytes.size(); ++i) {
        if (std::memcmp(bytes.data() + i, "idx1", 4) == 0) {
            idx1 = i;
        }
    }
    ASSERT_NE(idx1, 0u);
    const std::size_t entries = kmx::LoadU32(bytes.data() + idx1 + 4) / 16;
    for (std::size_t e = 0; e < entries; ++e) {
        kmx::StoreU32(bytes.data() + idx1 + 8 + e * 16 + 4, 0x10);
    }
    const std::string lying = dir_.File("lying.avi");
    ASSERT_TRUE(WriteBytes(lying, bytes));
    Stream0 stream;
    ASSERT_TRUE(stream.Open(lying));
    for (const int n : {16, 9, 3, 14, 15, 4}) {
        Bytes picture;
        Bytes expected;
        stream.SamplesFor(n, &picture);
        reference.SamplesFor(n, &expected);
        EXPECT_EQ(picture, expected) << n;
    }
}

TEST_F(AviReaderDecoder, ScannedFfv1FileDecodesLikeTheFullOne) {
    const std::string full = dir_.File("ffv1.avi");
    std::string errors;
    ASSERT_TRUE(Ffmpeg({"-f", "lavfi", "-i", "testsrc=size=96x64:rate=25", "-frames:v", "20",
                        "-c:v", "ffv1", "-g", "6", full},
                       &errors))
        << errors;
    Stream0 stream;
    ASSERT_TRUE(stream.Open(Truncated(full, 0.95)));
    ASSERT_EQ(stream.Source(), kmx::AviIndexSource::Scan);
    ASSERT_GT(stream.Count(), 16);
    Stream0 reference;
    ASSERT_TRUE(reference.Open(full));
    for (const int n : {16, 9, 3, 14, 15}) {
        Bytes picture;
        Bytes expected;
        stream.SamplesFor(n, &picture);
        reference.SamplesFor(n, &expected);
        EXPECT_EQ(picture, expected) << n;
    }
}

} // namespace
