#include "engine/FrameTransforms.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

// A frame whose every pixel (all of its B bytes) holds a letter: rows are
// given bottom-up as strings, one character per pixel.
std::vector<std::uint8_t> MakeFrame(const std::vector<std::string>& rows, int bytesPerPixel) {
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

std::vector<std::string> ReadFrame(const std::vector<std::uint8_t>& pixels, int width, int height,
                                   int bytesPerPixel) {
    std::vector<std::string> rows;
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

using Rows = std::vector<std::string>;

class EveryPixelSize : public ::testing::TestWithParam<int> {};

TEST_P(EveryPixelSize, RowMirrorFlipsAndMirrorsHalves) {
    const int B = GetParam();
    CFrameTransforms t;
    const Rows six = {"AA", "BB", "CC", "DD", "EE", "FF"}; // memory row 0 is the bottom

    auto f = MakeFrame(six, B);
    t.MirrorRows(f.data(), 2, 6, B, false, false, false);
    EXPECT_EQ(ReadFrame(f, 2, 6, B), (Rows{"FF", "EE", "DD", "CC", "BB", "AA"}));

    // Upper half (memory rows 3..5: D E F) stays and replaces the lower half.
    f = MakeFrame(six, B);
    t.MirrorRows(f.data(), 2, 6, B, false, true, false);
    EXPECT_EQ(ReadFrame(f, 2, 6, B), (Rows{"FF", "EE", "DD", "DD", "EE", "FF"}));

    f = MakeFrame(six, B);
    t.MirrorRows(f.data(), 2, 6, B, false, false, true);
    EXPECT_EQ(ReadFrame(f, 2, 6, B), (Rows{"AA", "BB", "CC", "CC", "BB", "AA"}));

    f = MakeFrame(six, B);
    t.MirrorRows(f.data(), 2, 6, B, false, true, true);
    EXPECT_EQ(ReadFrame(f, 2, 6, B), six);

    // An odd height keeps its middle row.
    f = MakeFrame({"AA", "BB", "CC", "DD", "EE"}, B);
    t.MirrorRows(f.data(), 2, 5, B, false, false, false);
    EXPECT_EQ(ReadFrame(f, 2, 5, B), (Rows{"EE", "DD", "CC", "BB", "AA"}));
}

TEST_P(EveryPixelSize, ColumnMirrorReversesRowsAndMirrorsHalves) {
    const int B = GetParam();
    CFrameTransforms t;
    auto f = MakeFrame({"abcde", "fghij"}, B);
    t.MirrorColumns(f.data(), 5, 2, B, false, false);
    EXPECT_EQ(ReadFrame(f, 5, 2, B), (Rows{"edcba", "jihgf"}));

    f = MakeFrame({"abcde", "fghij"}, B);
    t.MirrorColumns(f.data(), 5, 2, B, true, false);
    EXPECT_EQ(ReadFrame(f, 5, 2, B), (Rows{"abcba", "fghgf"}));

    f = MakeFrame({"abcdef", "ghijkl"}, B);
    t.MirrorColumns(f.data(), 6, 2, B, false, true);
    EXPECT_EQ(ReadFrame(f, 6, 2, B), (Rows{"feddef", "lkjjkl"}));

    f = MakeFrame({"abcd", "efgh"}, B);
    t.MirrorColumns(f.data(), 4, 2, B, true, true);
    EXPECT_EQ(ReadFrame(f, 4, 2, B), (Rows{"abcd", "efgh"}));
}

INSTANTIATE_TEST_SUITE_P(FrameTransforms, EveryPixelSize, ::testing::Values(1, 2, 3, 4));

TEST(FrameTransforms, InterlacedRowMirrorMovesRowPairs) {
    CFrameTransforms t;
    auto f = MakeFrame({"00", "11", "22", "33"}, 3);
    t.MirrorRows(f.data(), 2, 4, 3, true, false, false);
    EXPECT_EQ(ReadFrame(f, 2, 4, 3), (Rows{"22", "33", "00", "11"}));

    // Height 5: pairs 0-1 and 3-4 exchange, row 2 stays.
    f = MakeFrame({"00", "11", "22", "33", "44"}, 3);
    t.MirrorRows(f.data(), 2, 5, 3, true, false, false);
    EXPECT_EQ(ReadFrame(f, 2, 5, 3), (Rows{"33", "44", "22", "00", "11"}));

    // Height 8 with the upper half kept.
    f = MakeFrame({"00", "11", "22", "33", "44", "55", "66", "77"}, 2);
    t.MirrorRows(f.data(), 2, 8, 2, true, true, false);
    EXPECT_EQ(ReadFrame(f, 2, 8, 2), (Rows{"66", "77", "44", "55", "44", "55", "66", "77"}));
}

TEST(FrameTransforms, InterlacedHeightsOfFourMPlusThreeNeverOverlapPairs) {
    CFrameTransforms t;
    // Height 7: pairs 0-1 and 5-6 exchange; rows 2..4 would need overlapping
    // pairs, so they stay where they are.
    auto f = MakeFrame({"00", "11", "22", "33", "44", "55", "66"}, 4);
    t.MirrorRows(f.data(), 2, 7, 4, true, false, false);
    EXPECT_EQ(ReadFrame(f, 2, 7, 4), (Rows{"55", "66", "22", "33", "44", "00", "11"}));

    // Height 3: no pair at all.
    f = MakeFrame({"00", "11", "22"}, 1);
    t.MirrorRows(f.data(), 2, 3, 1, true, false, false);
    EXPECT_EQ(ReadFrame(f, 2, 3, 1), (Rows{"00", "11", "22"}));

    // Height 11 with the lower half kept: no row is written twice.
    f = MakeFrame({"aa", "bb", "cc", "dd", "ee", "ff", "gg", "hh", "ii", "jj", "kk"}, 2);
    t.MirrorRows(f.data(), 2, 11, 2, true, false, true);
    EXPECT_EQ(ReadFrame(f, 2, 11, 2),
              (Rows{"aa", "bb", "cc", "dd", "ee", "ff", "gg", "cc", "dd", "aa", "bb"}));
}

TEST(FrameTransforms, TinyFramesStayUnchanged) {
    CFrameTransforms t;
    auto f = MakeFrame({"abc"}, 3); // height 1
    t.MirrorColumns(f.data(), 3, 1, 3, false, false);
    t.MirrorRows(f.data(), 3, 1, 3, false, false, false);
    EXPECT_EQ(ReadFrame(f, 3, 1, 3), (Rows{"abc"}));
    f = MakeFrame({"a", "b", "c"}, 2); // width 1
    t.MirrorRows(f.data(), 1, 3, 2, false, false, false);
    t.MirrorColumns(f.data(), 1, 3, 2, false, false);
    EXPECT_EQ(ReadFrame(f, 1, 3, 2), (Rows{"a", "b", "c"}));
    t.MirrorRows(nullptr, 0, 0, 3, true, false, false);
    t.MirrorColumns(nullptr, 0, 0, 3, false, false);
}

// Pixel (x, y) of a frame with every byte distinct (up to wrapping).
std::vector<std::uint8_t> NumberedFrame(int width, int height, int bytesPerPixel) {
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width * height * bytesPerPixel));
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    }
    return pixels;
}

// The column mirror done pixel by pixel, the plain way.
std::vector<std::uint8_t> ReverseEachRow(const std::vector<std::uint8_t>& frame, int width,
                                         int height, int bytesPerPixel) {
    std::vector<std::uint8_t> out(frame.size());
    const auto B = static_cast<std::size_t>(bytesPerPixel);
    for (std::size_t y = 0; y < static_cast<std::size_t>(height); ++y) {
        for (std::size_t x = 0; x < static_cast<std::size_t>(width); ++x) {
            const std::size_t to = (y * static_cast<std::size_t>(width) + x) * B;
            const std::size_t from = (y * static_cast<std::size_t>(width) + width - 1 - x) * B;
            std::copy_n(frame.begin() + static_cast<std::ptrdiff_t>(from), B,
                        out.begin() + static_cast<std::ptrdiff_t>(to));
        }
    }
    return out;
}

// The mirrored copy gives what the in-place mirrors give, for widths on both
// sides of the vector moves' block sizes, odd heights and field pairs, and
// writes nothing outside the target frame.
TEST(FrameTransforms, MirroredCopyEqualsTheMirrorsInPlace) {
    constexpr std::uint8_t kGuard = 0xA5;
    for (int B = 1; B <= 4; ++B) {
        for (int w : {1, 2, 3, 5, 6, 7, 11, 12, 16, 17, 720}) {
            for (int h : {1, 2, 3, 5, 7, 8}) {
                for (int mode = 1; mode < 8; ++mode) {
                    const bool rows = (mode & 1) != 0;
                    const bool columns = (mode & 2) != 0;
                    const bool interlaced = (mode & 4) != 0;
                    const auto source = NumberedFrame(w, h, B);
                    auto expected = source;
                    CFrameTransforms t;
                    if (rows) {
                        t.MirrorRows(expected.data(), w, h, B, interlaced, false, false);
                    }
                    if (columns && w > 1 && h > 1) {
                        expected = ReverseEachRow(expected, w, h, B);
                    }
                    std::vector<std::uint8_t> target(source.size() + 32, kGuard);
                    CFrameTransforms::CopyMirrored(source.data(), target.data() + 16, w, h, B, rows,
                                                   interlaced, columns);
                    const std::vector<std::uint8_t> copied(target.begin() + 16, target.end() - 16);
                    ASSERT_EQ(copied, expected)
                        << "B " << B << " w " << w << " h " << h << " mode " << mode;
                    for (int g = 0; g < 16; ++g) {
                        ASSERT_EQ(target[static_cast<std::size_t>(g)], kGuard);
                        ASSERT_EQ(target[target.size() - 1 - static_cast<std::size_t>(g)], kGuard);
                    }
                    if (columns && !rows) {
                        auto inPlace = source;
                        t.MirrorColumns(inPlace.data(), w, h, B, false, false);
                        ASSERT_EQ(inPlace, expected) << "in place, B " << B << " w " << w;
                    }
                }
            }
        }
    }
}

TEST(FrameTransforms, FieldCombiningTakesEvenRowsFromThePreviousFrame) {
    CFrameTransforms t;
    const Rows last = {"L0", "L1", "L2", "L3", "L4"};
    const Rows secondLast = {"M0", "M1", "M2", "M3", "M4"};
    const Rows third = {"N0", "N1", "N2", "N3", "N4"};
    auto f = MakeFrame(last, 3);
    ASSERT_TRUE(t.FrameCombineOddAndOldEven(f.data(), 2, 5, 3));
    EXPECT_EQ(ReadFrame(f, 2, 5, 3), last); // the first frame of a run is unchanged

    f = MakeFrame(secondLast, 3);
    ASSERT_TRUE(t.FrameCombineOddAndOldEven(f.data(), 2, 5, 3));
    EXPECT_EQ(ReadFrame(f, 2, 5, 3), (Rows{"L0", "M1", "L2", "M3", "L4"}));

    // The previous frame is the one as read, not as combined.
    f = MakeFrame(third, 3);
    ASSERT_TRUE(t.FrameCombineOddAndOldEven(f.data(), 2, 5, 3));
    EXPECT_EQ(ReadFrame(f, 2, 5, 3), (Rows{"M0", "N1", "M2", "N3", "M4"}));

    // A new run starts again with an unchanged first frame.
    t.Reset();
    f = MakeFrame(secondLast, 3);
    ASSERT_TRUE(t.FrameCombineOddAndOldEven(f.data(), 2, 5, 3));
    EXPECT_EQ(ReadFrame(f, 2, 5, 3), secondLast);
}

} // namespace
