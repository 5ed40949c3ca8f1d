#include "engine/FrameTransforms.h"

#include <gtest/gtest.h>

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
