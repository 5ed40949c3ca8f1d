// Our 4:2:0 conversion against libswscale's (2 x 2 area filter, BT.601,
// exact rounding), as an independent judge: video levels and full range, the
// three input depths, and bands converted on their own.
#include "tests/codec/CodecTestSupport.h"

#include "codec/FrameLayout.h"
#include "codec/RgbToYuv420.h"
#include "media/decode/AvPointers.h"
#include "pattern/TestPattern.h"

extern "C" {
#include <libswscale/swscale.h>
}

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

struct Planes {
    std::vector<std::uint8_t> y, u, v;
};

Planes Ours(const kmx::FrameLayout& layout, const std::vector<std::uint8_t>& rows,
            kmx::YuvLevels levels, int bands) {
    const int cw = (layout.width + 1) / 2;
    const int pairs = (layout.height + 1) / 2;
    Planes p{std::vector<std::uint8_t>(static_cast<std::size_t>(layout.width * layout.height)),
             std::vector<std::uint8_t>(static_cast<std::size_t>(cw * pairs)),
             std::vector<std::uint8_t>(static_cast<std::size_t>(cw * pairs))};
    const kmx::Yuv420Planes out{p.y.data(), p.u.data(), p.v.data(), layout.width, cw, cw};
    for (int band = 0; band < bands; ++band) {
        kmx::ConvertRowPairsToYuv420(layout, rows.data(), levels, out, pairs * band / bands,
                                     pairs * (band + 1) / bands);
    }
    return p;
}

// 5-5-5 pixels are judged as the 24-bit pixels they widen to (each five
// bits repeated into eight, so that white stays white); libswscale's own
// 5-5-5 input shifts them instead.
std::vector<std::uint8_t> Widened(const std::vector<std::uint8_t>& rows) {
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i + 1 < rows.size(); i += 2) {
        const int value = rows[i] | (rows[i + 1] << 8);
        for (const int shift : {0, 5, 10}) {
            const int five = (value >> shift) & 31;
            out.push_back(static_cast<std::uint8_t>((five << 3) | (five >> 2)));
        }
    }
    return out;
}

Planes Swscale(kmx::FrameLayout layout, std::vector<std::uint8_t> rows, kmx::YuvLevels levels) {
    if (layout.bitsPerPixel == 16) {
        rows = Widened(rows);
        layout.bitsPerPixel = 24;
        layout.rowBytes = std::int64_t{layout.width} * 3;
        layout.frameBytes = layout.rowBytes * layout.height;
    }
    const AVPixelFormat source = layout.bitsPerPixel == 24 ? AV_PIX_FMT_BGR24 : AV_PIX_FMT_BGR0;
    kmx::SwsContextPtr sws(sws_getContext(layout.width, layout.height, source, layout.width,
                                          layout.height, AV_PIX_FMT_YUV420P,
                                          SWS_AREA | SWS_ACCURATE_RND, nullptr, nullptr, nullptr));
    const int* coefficients = sws_getCoefficients(levels.bt709 ? SWS_CS_ITU709 : SWS_CS_ITU601);
    sws_setColorspaceDetails(sws.get(), coefficients, 1, coefficients, levels.fullRange ? 1 : 0, 0,
                             1 << 16, 1 << 16);
    const int cw = layout.width / 2;
    Planes p{std::vector<std::uint8_t>(static_cast<std::size_t>(layout.width * layout.height)),
             std::vector<std::uint8_t>(static_cast<std::size_t>(cw * layout.height / 2)),
             std::vector<std::uint8_t>(static_cast<std::size_t>(cw * layout.height / 2))};
    const std::uint8_t* top = rows.data() + layout.frameBytes - layout.rowBytes;
    const std::uint8_t* const in[4] = {top, nullptr, nullptr, nullptr};
    const int inStride[4] = {-static_cast<int>(layout.rowBytes), 0, 0, 0};
    std::uint8_t* const out[4] = {p.y.data(), p.u.data(), p.v.data(), nullptr};
    const int outStride[4] = {layout.width, cw, cw, 0};
    sws_scale(sws.get(), in, inStride, 0, layout.height, out, outStride);
    return p;
}

int LargestDifference(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    int most = a.size() == b.size() ? 0 : 256;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        most = std::max(most, std::abs(a[i] - b[i]));
    }
    return most;
}

TEST(RgbToYuv420, AgreesWithLibswscaleAndBandsChangeNothing) {
    for (const int bits : {16, 24, 32}) {
        for (const kmx::YuvLevels levels :
             {kmx::YuvLevels{false, false}, kmx::YuvLevels{true, false},
              kmx::YuvLevels{false, true}}) {
            kmx::FrameLayout layout;
            layout.width = 96;
            layout.height = 64;
            layout.bitsPerPixel = bits;
            layout.rowBytes = std::int64_t{layout.width} * bits / 8;
            layout.frameBytes = layout.rowBytes * layout.height;
            const std::vector<std::uint8_t> rows = kmx::PackedTestPatternFrame(96, 64, bits, 3);
            const Planes ours = Ours(layout, rows, levels, 1);
            const Planes theirs = Swscale(layout, rows, levels);
            SCOPED_TRACE(std::to_string(bits) + " bits" + (levels.fullRange ? ", full range" : "") +
                         (levels.bt709 ? ", BT.709" : ""));
            EXPECT_LE(LargestDifference(ours.y, theirs.y), 1);
            EXPECT_LE(LargestDifference(ours.u, theirs.u), 1);
            EXPECT_LE(LargestDifference(ours.v, theirs.v), 1);
            const Planes banded = Ours(layout, rows, levels, 5);
            EXPECT_TRUE(banded.y == ours.y && banded.u == ours.u && banded.v == ours.v);
        }
    }
}

} // namespace
