#include "engine/FrameTransforms.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Rows = std::vector<std::string>;

// A frame whose every pixel (all of its B bytes) holds a letter: rows are
// given bottom-up as strings, one character per pixel.
std::vector<std::uint8_t> MakeFrame(const Rows& rows, int bytesPerPixel) {
    std::vector<std::uint8_t> pixels;
    for (const std::string& row : rows) {
        for (char c : row) {
            for (int b = 0; b < bytesPerPixel; ++b) {
                // Each byte of a pixel differs, so a pixel torn apart would show.
                pixels.push_back(static_cast<std::uint8_t>(c + 32 * b));
            }
        }
    }
    return pixels;
}

Rows ReadFrame(const std::vector<std::uint8_t>& pixels, int width, int height, int bytesPerPixel) {
    Rows rows;
    std::size_t at = 0;
    for (int r = 0; r < height; ++r) {
        std::string row;
        for (int c = 0; c < width; ++c) {
            const char letter = static_cast<char>(pixels[at]);
            for (int b = 0; b < bytesPerPixel; ++b) {
                EXPECT_EQ(pixels[at + static_cast<std::size_t>(b)],
                          static_cast<std::uint8_t>(letter + 32 * b))
                    << "pixel bytes torn apart at row " << r << " column " << c;
            }
            at += static_cast<std::size_t>(bytesPerPixel);
            row.push_back(letter);
        }
        rows.push_back(row);
    }
    return rows;
}

// The rows of a frame bottom-up (memory row 0 first), separated by spaces.
Rows Split(const std::string& text) {
    std::istringstream words(text);
    return {std::istream_iterator<std::string>(words), {}};
}

// The bytes of a frame copied by CopyMirrored into a target with guard bytes
// before and after, which must stay.
std::vector<std::uint8_t> CopiedMirrored(const std::vector<std::uint8_t>& source, int w, int h,
                                         int B, bool rows, bool interlaced, bool columns) {
    std::vector<std::uint8_t> target(source.size() + 32, 0xA5);
    CFrameTransforms::CopyMirrored(source.data(), target.data() + 16, w, h, B, rows, interlaced,
                                   columns);
    EXPECT_EQ(std::count(target.begin(), target.begin() + 16, 0xA5), 16);
    EXPECT_EQ(std::count(target.end() - 16, target.end(), 0xA5), 16);
    return {target.begin() + 16, target.end() - 16};
}

// Every pixel size moves whole pixels. Interlaced video moves row pairs; for
// heights 4m + 3 the middle rows, which no pair can take without overlapping,
// stay; no row is written twice. Frames one pixel wide or high stay unchanged.
// The mirrored copy of whole frames gives the same, also for widths on both
// sides of the vector moves' block sizes.
TEST(FrameTransforms, MirrorsInPlaceAndInACopyForEveryPixelSize) {
    struct Case {
        const char* how; // rows or columns; interlaced; the half that stays
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {"rows", "AA BB CC DD EE FF", "FF EE DD CC BB AA"},
        {"rows upper", "AA BB CC DD EE FF", "FF EE DD DD EE FF"}, // D E F are the upper half
        {"rows lower", "AA BB CC DD EE FF", "AA BB CC CC BB AA"},
        {"rows upper lower", "AA BB CC DD EE FF", "AA BB CC DD EE FF"},
        {"rows", "AA BB CC DD EE", "EE DD CC BB AA"},
        {"rows interlaced", "00 11 22 33", "22 33 00 11"},
        {"rows interlaced", "00 11 22 33 44", "33 44 22 00 11"},
        {"rows interlaced upper", "00 11 22 33 44 55 66 77", "66 77 44 55 44 55 66 77"},
        {"rows interlaced", "00 11 22 33 44 55 66", "55 66 22 33 44 00 11"},
        {"rows interlaced", "00 11 22", "00 11 22"},
        {"rows interlaced lower", "aa bb cc dd ee ff gg hh ii jj kk",
         "aa bb cc dd ee ff gg cc dd aa bb"},
        {"rows", "abc", "abc"},
        {"rows", "a b c", "a b c"},
        {"columns", "abcde fghij", "edcba jihgf"},
        {"columns left", "abcde fghij", "abcba fghgf"},
        {"columns right", "abcdef ghijkl", "feddef lkjjkl"},
        {"columns left right", "abcd efgh", "abcd efgh"},
        {"columns", "abc", "abc"},
        {"columns", "a b c", "a b c"},
    };
    for (int B = 1; B <= 4; ++B) {
        for (const Case& c : cases) {
            const std::string how = c.how;
            const auto has = [&how](const char* word) { return how.find(word) != how.npos; };
            const Rows in = Split(c.in);
            const int w = static_cast<int>(in[0].size());
            const int h = static_cast<int>(in.size());
            auto f = MakeFrame(in, B);
            CFrameTransforms t;
            if (has("columns")) {
                t.MirrorColumns(f.data(), w, h, B, has("left"), has("right"));
            } else {
                t.MirrorRows(f.data(), w, h, B, has("interlaced"), has("upper"), has("lower"));
            }
            EXPECT_EQ(ReadFrame(f, w, h, B), Split(c.out)) << c.how << " " << c.in << ", " << B;
            if (!has("upper") && !has("lower") && !has("left") && !has("right")) {
                const auto copy = CopiedMirrored(MakeFrame(in, B), w, h, B, has("rows"),
                                                 has("interlaced"), has("columns"));
                EXPECT_EQ(ReadFrame(copy, w, h, B), Split(c.out))
                    << "copy " << c.how << " " << c.in;
            }
        }
        // Wide frames, every mode: the rows as MirrorRows leaves them, each
        // of them reversed when the columns are mirrored.
        for (const int w : {7, 11, 12, 16, 17, 720}) {
            Rows in(7);
            for (std::size_t y = 0; y < in.size(); ++y) {
                for (int x = 0; x < w; ++x) {
                    in[y].push_back(static_cast<char>('A' + (5 * x + static_cast<int>(y)) % 58));
                }
            }
            for (int mode = 1; mode < 8; ++mode) {
                const bool rows = mode & 1, columns = mode & 2, interlaced = mode & 4;
                auto f = MakeFrame(in, B);
                if (rows) {
                    CFrameTransforms().MirrorRows(f.data(), w, 7, B, interlaced, false, false);
                }
                Rows want = ReadFrame(f, w, 7, B);
                for (std::string& row : want) {
                    std::reverse(row.begin(), row.end() - (columns ? 0 : w));
                }
                const auto copy =
                    CopiedMirrored(MakeFrame(in, B), w, 7, B, rows, interlaced, columns);
                EXPECT_EQ(ReadFrame(copy, w, 7, B), want) << w << " " << B << " " << mode;
                if (columns && !rows) {
                    CFrameTransforms().MirrorColumns(f.data(), w, 7, B, false, false);
                    EXPECT_EQ(ReadFrame(f, w, 7, B), want) << "in place " << w << " " << B;
                }
            }
        }
    }
    CFrameTransforms t;
    t.MirrorRows(nullptr, 0, 0, 3, true, false, false);
    t.MirrorColumns(nullptr, 0, 0, 3, false, false);
}

TEST(FrameTransforms, FieldCombiningTakesEvenRowsFromThePreviousFrame) {
    CFrameTransforms t;
    const auto combine = [&t](const Rows& rows) {
        auto f = MakeFrame(rows, 3);
        EXPECT_TRUE(t.FrameCombineOddAndOldEven(f.data(), 2, 5, 3));
        return ReadFrame(f, 2, 5, 3);
    };
    const Rows last = {"L0", "L1", "L2", "L3", "L4"};
    const Rows secondLast = {"M0", "M1", "M2", "M3", "M4"};
    EXPECT_EQ(combine(last), last); // the first frame of a run is unchanged
    EXPECT_EQ(combine(secondLast), (Rows{"L0", "M1", "L2", "M3", "L4"}));
    // The previous frame is the one as read, not as combined.
    EXPECT_EQ(combine({"N0", "N1", "N2", "N3", "N4"}), (Rows{"M0", "N1", "M2", "N3", "M4"}));
    // A new run starts again with an unchanged first frame.
    t.Reset();
    EXPECT_EQ(combine(secondLast), secondLast);
}

} // namespace
