// Compressed frames in a real AVI file: written with CAviWriter (stream
// handler = FOURCC, format = the compressor's output format), then read back
// by our own reader and by ffmpeg/ffprobe. Lossless compressors must come back
// exactly, lossy ones close; the index carries the encoder's key flags.
#include "tests/codec/CodecTestSupport.h"
#include "tests/support/ExternalTools.h"
#include "tests/support/TempDir.h"

#include "codec/CompressorInfo.h"
#include "media/AviReader.h"
#include "media/AviWriter.h"
#include "media/ByteOrder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <sstream>

namespace {

using codectest::Frame;

constexpr int kWidth = 128; // 24-bit rows of a multiple of 4 bytes: no DIB padding
constexpr int kHeight = 96;
constexpr int kFrames = 10;
constexpr int kKeyRate = 4;

bool WriteAvi(const std::string& path, const kmx::CompressorEntry& entry,
              const codectest::Encoded& encoded) {
    CAviWriter writer;
    if (!writer.Create(path.c_str())) {
        return false;
    }
    AVISTREAMINFOA info{};
    info.fccType = kmx::MakeFourcc('v', 'i', 'd', 's');
    info.fccHandler = entry.fourcc;
    info.dwScale = 1;
    info.dwRate = 25;
    info.dwSuggestedBufferSize = static_cast<std::uint32_t>(encoded.maxFrameSize);
    info.dwQuality = 0xFFFFFFFF;
    info.rcFrame = RECT{0, 0, kWidth, kHeight};
    bool ok = writer.CreateVideoStream(info) &&
              writer.SetVideoFormat(encoded.format.data(),
                                    static_cast<std::int32_t>(encoded.format.size()));
    for (const codectest::Sample& s : encoded.samples) {
        ok = ok && writer.WriteVideoFrame(s.data.data(), static_cast<std::int32_t>(s.data.size()),
                                          s.key ? 1 : 0);
    }
    return writer.Close() && ok;
}

// Lossless: identical; lossy: at least 30 dB.
void ExpectClose(const kmx::CompressorEntry& entry, const Frame& expected, const Frame& actual,
                 const std::string& what) {
    ASSERT_EQ(actual.size(), expected.size()) << what;
    if (entry.lossless) {
        EXPECT_TRUE(actual == expected) << what << " differs";
    } else {
        EXPECT_GE(codectest::Psnr(expected, actual), 30.0) << what;
    }
}

// Bottom-up B,G,R rows to top-down (ffmpeg's raw output order).
Frame FlipRows(const Frame& frame, int width, int height) {
    const std::size_t row = static_cast<std::size_t>(width) * 3;
    Frame out(frame.size());
    for (int y = 0; y < height; ++y) {
        std::memcpy(out.data() + row * y, frame.data() + row * (height - 1 - y), row);
    }
    return out;
}

// The input frames, their samples and the AVI file of one compressor; made
// once per compressor and shared by the checks below.
struct WrittenAvi {
    std::string path;
    std::vector<Frame> frames;
    codectest::Encoded encoded;
    bool written = false;
};

class CompressorAvi : public testing::TestWithParam<const kmx::CompressorEntry*> {
protected:
    static void SetUpTestSuite() { dir_ = std::make_unique<TempDir>(); }
    static void TearDownTestSuite() {
        files_.clear();
        dir_.reset();
    }

    void SetUp() override {
        const kmx::CompressorEntry& entry = *GetParam();
        WrittenAvi& avi = files_[entry.fourcc];
        if (avi.path.empty()) {
            avi.path = dir_->File(codectest::EntryName(entry) + ".avi");
            for (int i = 0; i < kFrames; ++i) {
                avi.frames.push_back(codectest::MakePatternFrame(kWidth, kHeight, 24, i));
            }
            avi.encoded = codectest::CompressFrames(
                entry.fourcc, codectest::MakeSettings(entry.fourcc, -1, kKeyRate), kWidth, kHeight,
                24, avi.frames);
            avi.written = avi.encoded.ok && WriteAvi(avi.path, entry, avi.encoded);
        }
        ASSERT_TRUE(avi.encoded.ok) << avi.encoded.error;
        ASSERT_TRUE(avi.written);
        path_ = avi.path;
        frames_ = &avi.frames;
        encoded_ = &avi.encoded;
    }

    static std::unique_ptr<TempDir> dir_;
    static std::map<std::uint32_t, WrittenAvi> files_;
    std::string path_;
    const std::vector<Frame>* frames_ = nullptr;
    const codectest::Encoded* encoded_ = nullptr;
};

std::unique_ptr<TempDir> CompressorAvi::dir_;
std::map<std::uint32_t, WrittenAvi> CompressorAvi::files_;

TEST_P(CompressorAvi, OurReaderGivesBackTheFramesInAnyOrder) {
    const kmx::CompressorEntry& entry = *GetParam();
    CAviReader reader;
    ASSERT_TRUE(reader.Open(path_.c_str()));
    ASSERT_EQ(reader.GetVideoLength(0), kFrames);
    AVISTREAMINFOA info{};
    ASSERT_TRUE(reader.GetVideoStreamInfo(0, &info, sizeof info));
    EXPECT_EQ(info.fccHandler, entry.fourcc);
    ASSERT_TRUE(reader.StartVideoRetrieve(0));

    auto readFrame = [&](int i) {
        const BITMAPINFOHEADER* dib = nullptr;
        reader.GetVideoFrame(0, i, &dib);
        Frame pixels;
        if (dib == nullptr || dib->biWidth != kWidth || dib->biHeight != kHeight ||
            dib->biBitCount != 24 || dib->biSizeImage != kWidth * kHeight * 3) {
            return pixels;
        }
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(dib) + dib->biSize;
        pixels.assign(bytes, bytes + dib->biSizeImage);
        return pixels;
    };

    std::vector<Frame> forward;
    for (int i = 0; i < kFrames; ++i) {
        forward.push_back(readFrame(i));
        ExpectClose(entry, codectest::ToBgr((*frames_)[i], kWidth, kHeight, 24), forward.back(),
                    "reader frame " + std::to_string(i));
    }
    // Backwards, as a reversed conversion reads: every frame must decode to
    // the same picture, which needs the key flags in the index to be right.
    for (int i = kFrames - 1; i >= 0; --i) {
        EXPECT_TRUE(readFrame(i) == forward[i]) << "frame " << i << " read backwards differs";
    }
    reader.StopVideoRetrieve(0);
}

TEST_P(CompressorAvi, FfprobeSeesOneSamplePerFrameWithTheEncodersKeyFlags) {
    REQUIRE_TOOL("ffprobe");
    const kmx::CompressorEntry& entry = *GetParam();
    std::string out;
    ASSERT_EQ(RunTool({"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                       "stream=codec_tag_string:packet=flags", "-of", "csv", path_},
                      &out),
              0);
    const std::string tag =
        entry.encoderName == nullptr ? "[0][0][0][0]" : kmx::FourccText(entry.fourcc);
    std::istringstream lines(out);
    std::string line;
    int index = 0;
    int streams = 0;
    while (std::getline(lines, line)) {
        if (line.rfind("stream,", 0) == 0) {
            EXPECT_EQ(line.substr(7), tag);
            ++streams;
            continue;
        }
        ASSERT_EQ(line.rfind("packet,", 0), 0u) << line;
        ASSERT_LT(index, kFrames);
        EXPECT_EQ(line.size() > 7 && line[7] == 'K', encoded_->samples[index].key)
            << "packet " << index << " flags " << line;
        ++index;
    }
    EXPECT_EQ(streams, 1);
    EXPECT_EQ(index, kFrames);
}

TEST_P(CompressorAvi, FfmpegDecodesTheFrames) {
    REQUIRE_TOOL("ffmpeg");
    const kmx::CompressorEntry& entry = *GetParam();
    std::string raw;
    std::string errors;
    ASSERT_EQ(RunTool({"ffmpeg", "-v", "error", "-i", path_, "-f", "rawvideo", "-pix_fmt", "bgr24",
                       "-fps_mode", "passthrough", "-"},
                      &raw, &errors),
              0)
        << errors;
    const std::size_t frameBytes = static_cast<std::size_t>(kWidth) * kHeight * 3;
    ASSERT_EQ(raw.size(), frameBytes * kFrames) << errors;
    for (int i = 0; i < kFrames; ++i) {
        const Frame decoded(raw.begin() + static_cast<std::ptrdiff_t>(frameBytes * i),
                            raw.begin() + static_cast<std::ptrdiff_t>(frameBytes * (i + 1)));
        ExpectClose(entry,
                    FlipRows(codectest::ToBgr((*frames_)[i], kWidth, kHeight, 24), kWidth, kHeight),
                    decoded, "ffmpeg frame " + std::to_string(i));
    }
}

INSTANTIATE_TEST_SUITE_P(Available, CompressorAvi,
                         testing::ValuesIn(codectest::AvailableEntries(true)),
                         [](const testing::TestParamInfo<const kmx::CompressorEntry*>& info) {
                             return codectest::EntryName(*info.param);
                         });

} // namespace
