// The frames the reader hands out for raw streams: depth kept, rows
// bottom-up and padded, top-down files flipped, the colour table of 8-bit
// frames, drop frames, and formats it refuses.
#include "media/AviReader.h"
#include "tests/media/AviReaderTestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

using namespace readertest;

namespace {

// Rows of w pixels at the given depth; row r (in file order) holds bytes
// equal to base + r, the padding bytes 0xEE.
Bytes Rows(int width, int height, int bitCount, int base, bool padded) {
    const std::size_t row = static_cast<std::size_t>(width) * bitCount / 8;
    const std::size_t stride = padded ? (row + 3) & ~std::size_t{3} : row;
    Bytes out;
    for (int r = 0; r < height; ++r) {
        Bytes line(stride, 0xEE);
        std::memset(line.data(), base + r, row);
        Append(out, line);
    }
    return out;
}

TestStream RawStream(std::int32_t width, std::int32_t height, int bitCount,
                     std::vector<Bytes> samples, const Bytes& palette = {}) {
    TestStream stream;
    stream.format = BitmapFormat(width, height, bitCount, 0, palette);
    stream.samples = std::move(samples);
    return stream;
}

const BITMAPINFOHEADER* Frame(CAviReader& reader, std::int32_t n) {
    const BITMAPINFOHEADER* frame = nullptr;
    reader.GetVideoFrame(0, n, &frame);
    return frame;
}

// The first byte of each DIB row, bottom row first.
std::vector<int> RowMarks(const BITMAPINFOHEADER* frame) {
    std::vector<int> marks;
    for (int r = 0; r < frame->biHeight; ++r) {
        marks.push_back(DibPixels(frame)[static_cast<std::size_t>(r) * DibStride(frame)]);
    }
    return marks;
}

TEST(AviReaderFrames, DepthsAreKeptAndRowsPaddedBottomUp) {
    TempDir dir;
    for (const int bits : {16, 24, 32}) {
        // Width 5: 10 and 15 bytes per row need padding, 20 do not.
        const TestStream stream = RawStream(5, 3, bits, {Rows(5, 3, bits, 10, true)});
        CAviReader reader;
        ASSERT_TRUE(reader.Open(WriteAvi(dir, "a.avi", {stream}).c_str()));
        ASSERT_TRUE(reader.StartVideoRetrieve(0));
        const BITMAPINFOHEADER* frame = Frame(reader, 0);
        ASSERT_NE(frame, nullptr) << bits;
        EXPECT_EQ(frame->biSize, 40u);
        EXPECT_EQ(frame->biWidth, 5);
        EXPECT_EQ(frame->biHeight, 3);
        EXPECT_EQ(frame->biPlanes, 1);
        EXPECT_EQ(frame->biBitCount, bits);
        EXPECT_EQ(frame->biCompression, 0u);
        EXPECT_EQ(frame->biClrUsed, 0u);
        const std::size_t row = 5u * static_cast<std::size_t>(bits) / 8;
        const std::size_t stride = (row + 3) & ~std::size_t{3};
        EXPECT_EQ(frame->biSizeImage, stride * 3);
        EXPECT_EQ(RowMarks(frame), (std::vector<int>{10, 11, 12})) << bits;
        for (int r = 0; r < 3; ++r) {
            const std::uint8_t* line = DibPixels(frame) + static_cast<std::size_t>(r) * stride;
            for (std::size_t i = 0; i < stride; ++i) {
                EXPECT_EQ(line[i], i < row ? 10 + r : 0) << bits << " row " << r << " byte " << i;
            }
        }
    }
}

TEST(AviReaderFrames, PackedSampleRowsAreAcceptedToo) {
    TempDir dir;
    const TestStream stream = RawStream(5, 3, 24, {Rows(5, 3, 24, 40, false)});
    CAviReader reader;
    ASSERT_TRUE(reader.Open(WriteAvi(dir, "a.avi", {stream}).c_str()));
    ASSERT_TRUE(reader.StartVideoRetrieve(0));
    const BITMAPINFOHEADER* frame = Frame(reader, 0);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(RowMarks(frame), (std::vector<int>{40, 41, 42}));
    EXPECT_EQ(DibPixels(frame)[15], 0); // padding of the first row
}

TEST(AviReaderFrames, TopDownFramesAreFlippedAndGetAPositiveHeight) {
    TempDir dir;
    const TestStream stream = RawStream(6, -4, 24, {Rows(6, 4, 24, 20, true)});
    CAviReader reader;
    ASSERT_TRUE(reader.Open(WriteAvi(dir, "a.avi", {stream}).c_str()));
    ASSERT_TRUE(reader.StartVideoRetrieve(0));
    const BITMAPINFOHEADER* frame = Frame(reader, 0);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->biHeight, 4);
    EXPECT_EQ(frame->biSizeImage, 80u); // rows of 18 bytes padded to 20
    // File row 0 is the top row: the last DIB row.
    EXPECT_EQ(RowMarks(frame), (std::vector<int>{23, 22, 21, 20}));
}

TEST(AviReaderFrames, EightBitFramesCarryAFullColourTable) {
    TempDir dir;
    Bytes palette;
    for (int i = 0; i < 256; ++i) {
        palette.insert(palette.end(),
                       {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i),
                        static_cast<std::uint8_t>(i / 2), 0});
    }
    TestStream full = RawStream(6, 2, 8, {Rows(6, 2, 8, 100, true)}, palette);
    // A format with only two colours stored (biClrUsed 2).
    TestStream two = RawStream(6, 2, 8, {Rows(6, 2, 8, 0, true)}, Bytes{1, 2, 3, 0, 4, 5, 6, 0});
    kmx::StoreU32(two.format.data() + 32, 2);
    CAviReader reader;
    ASSERT_TRUE(reader.Open(WriteAvi(dir, "a.avi", {full, two}).c_str()));
    ASSERT_TRUE(reader.StartVideoRetrieve(0));
    const BITMAPINFOHEADER* frame = Frame(reader, 0);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->biBitCount, 8);
    EXPECT_EQ(frame->biClrUsed, 0u);
    EXPECT_EQ(frame->biSizeImage, 16u);
    const auto* table = reinterpret_cast<const std::uint8_t*>(frame) + 40;
    EXPECT_EQ(std::memcmp(table, palette.data(), 1024), 0);
    EXPECT_EQ(RowMarks(frame), (std::vector<int>{100, 101}));

    ASSERT_TRUE(reader.StartVideoRetrieve(1));
    reader.GetVideoFrame(1, 0, &frame);
    ASSERT_NE(frame, nullptr);
    table = reinterpret_cast<const std::uint8_t*>(frame) + 40;
    EXPECT_EQ(Bytes(table, table + 12), (Bytes{1, 2, 3, 0, 4, 5, 6, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Bytes(table + 12, table + 1024), Bytes(1012, 0));
}

TEST(AviReaderFrames, DropFramesRepeatTheFrameBefore) {
    TempDir dir;
    const Bytes a = Rows(4, 2, 24, 1, true);
    const Bytes b = Rows(4, 2, 24, 50, true);
    const TestStream stream = RawStream(4, 2, 24, {Bytes{}, a, Bytes{}, b, Bytes{}, Bytes{}});
    CAviReader reader;
    ASSERT_TRUE(reader.Open(WriteAvi(dir, "a.avi", {stream}).c_str()));
    ASSERT_EQ(reader.GetVideoLength(0), 6);
    ASSERT_TRUE(reader.StartVideoRetrieve(0));
    EXPECT_EQ(Frame(reader, 0), nullptr); // nothing to repeat yet
    const int expected[] = {-1, 1, 1, 50, 50, 50};
    for (const int n : {5, 1, 2, 3, 4, 2, 0}) {
        const BITMAPINFOHEADER* frame = Frame(reader, n);
        if (expected[n] < 0) {
            EXPECT_EQ(frame, nullptr);
            continue;
        }
        ASSERT_NE(frame, nullptr) << n;
        EXPECT_EQ(RowMarks(frame)[0], expected[n]) << n;
    }
}

TEST(AviReaderFrames, TheBlockStaysUntilTheNextCallAndOutsideFramesAreNull) {
    TempDir dir;
    const TestStream stream = RawVideoStream(8, 4, 3);
    CAviReader reader;
    ASSERT_TRUE(reader.Open(WriteAvi(dir, "a.avi", {stream}).c_str()));
    ASSERT_TRUE(reader.StartVideoRetrieve(0));
    const BITMAPINFOHEADER* first = Frame(reader, 1);
    ASSERT_NE(first, nullptr);
    const Bytes copy(reinterpret_cast<const std::uint8_t*>(first),
                     reinterpret_cast<const std::uint8_t*>(first) + 40 + first->biSizeImage);
    const BITMAPINFOHEADER* again = Frame(reader, 1);
    EXPECT_EQ(again, first);
    EXPECT_EQ(Bytes(reinterpret_cast<const std::uint8_t*>(again),
                    reinterpret_cast<const std::uint8_t*>(again) + copy.size()),
              copy);
    EXPECT_EQ(Frame(reader, 3), nullptr);
    EXPECT_EQ(Frame(reader, -1), nullptr);
    EXPECT_EQ(Frame(reader, INT32_MAX), nullptr);
    EXPECT_EQ(DibPixels(Frame(reader, 2))[0], 2 * 7 + 1);
}

TEST(AviReaderFrames, ASampleTooShortForThePictureGivesNull) {
    TempDir dir;
    Bytes shortSample = Rows(4, 2, 24, 9, true);
    shortSample.resize(shortSample.size() - 1);
    const TestStream stream =
        RawStream(4, 2, 24, {Rows(4, 2, 24, 1, true), shortSample, Rows(4, 2, 24, 7, true)});
    CAviReader reader;
    ASSERT_TRUE(reader.Open(WriteAvi(dir, "a.avi", {stream}).c_str()));
    ASSERT_TRUE(reader.StartVideoRetrieve(0));
    EXPECT_NE(Frame(reader, 0), nullptr);
    EXPECT_EQ(Frame(reader, 1), nullptr);
    const BITMAPINFOHEADER* frame = Frame(reader, 2);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(RowMarks(frame)[0], 7);
}

TEST(AviReaderFrames, AbsurdOrUnknownFormatsCannotBeRetrieved) {
    TempDir dir;
    struct Case {
        const char* what;
        Bytes format;
    };
    const Case cases[] = {
        {"width 0", BitmapFormat(0, 4, 24)},
        {"negative width", BitmapFormat(-8, 4, 24)},
        {"height 0", BitmapFormat(8, 0, 24)},
        {"width above 32768", BitmapFormat(32769, 4, 24)},
        {"height below -32768", BitmapFormat(8, -32769, 24)},
        {"smallest height", BitmapFormat(8, INT32_MIN, 24)},
        {"too many pixels", BitmapFormat(20000, 20000, 32)},
        {"compressed with absurd size", BitmapFormat(32767, 32767, 24, Fourcc("MJPG"))},
        {"4 bits", BitmapFormat(8, 4, 4)},
        {"unknown codec", BitmapFormat(8, 4, 24, Fourcc("ZQ9X"))},
    };
    for (const Case& c : cases) {
        TestStream stream;
        stream.format = c.format;
        stream.samples = {Bytes(96, 1)};
        CAviReader reader;
        ASSERT_TRUE(reader.Open(WriteAvi(dir, "a.avi", {stream}).c_str())) << c.what;
        EXPECT_EQ(reader.GetVideoLength(0), 1) << c.what;
        EXPECT_FALSE(reader.StartVideoRetrieve(0)) << c.what;
        EXPECT_EQ(Frame(reader, 0), nullptr) << c.what;
    }
}

TEST(AviReaderFrames, TheCodecIsFoundThroughTheHandlerWhenTheFormatSaysNothing) {
    TempDir dir;
    // biCompression names nothing known, the stream header names MJPEG.
    TestStream stream;
    stream.header.handler = Fourcc("MJPG");
    stream.format = BitmapFormat(8, 4, 24, Fourcc("ZQ9X"));
    stream.samples = {Bytes(50, 0x55)}; // no JPEG data
    CAviReader reader;
    ASSERT_TRUE(reader.Open(WriteAvi(dir, "a.avi", {stream}).c_str()));
    EXPECT_TRUE(reader.StartVideoRetrieve(0));
    EXPECT_EQ(Frame(reader, 0), nullptr); // undecodable, but no crash
    EXPECT_EQ(Frame(reader, 0), nullptr);
}

} // namespace
