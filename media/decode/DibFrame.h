// Packed device-independent bitmaps as the reader hands them out: a
// BITMAPINFOHEADER, a 1024-byte colour table for 8 bits per pixel, then
// bottom-up rows padded to 4 bytes. Also the copy of raw BI_RGB samples into
// that shape, whatever row order and padding the file used.
#pragma once

#include "media/AviRecords.h"
#include "media/io/ByteOrder.h"
#include "media/io/FileIo.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kmx {

inline constexpr std::int64_t kMaxDibDimension = 32768;
// Width x height x 4 above this is refused before anything is allocated.
inline constexpr std::int64_t kMaxDibPixelBytes = std::int64_t{512} << 20;
inline constexpr std::size_t kDibColourTableSize = 1024;
// Planar 4:2:0 pictures in video levels (BT.601): the luma plane, then the
// two chroma planes of (width + 1) / 2 x (height + 1) / 2 samples, top row
// first and without padding.
inline constexpr std::uint32_t kFourccI420 = MakeFourcc('I', '4', '2', '0');

struct DibGeometry {
    std::int32_t width = 0;
    std::int32_t height = 0; // always positive
    bool topDown = false;    // the source's rows run top to bottom
    int bitCount = 0;
    std::uint32_t stride = 0;    // bytes per row, padded to 4 (planar: of the luma plane)
    std::uint32_t imageSize = 0; // stride x height (planar: all three planes)
    bool planar = false;         // 'I420' instead of BI_RGB rows
};

// Checks dimensions from a format (biHeight negative: rows stored top-down)
// and computes the DIB's row size. False for a width or height of 0, above
// 32768, or a picture above the byte limit, and for bit counts other than
// 8, 16, 24 and 32.
bool MakeDibGeometry(std::int32_t biWidth, std::int32_t biHeight, int bitCount, DibGeometry& out);
// The same for an 'I420' picture (12 bits per pixel).
bool MakePlanarGeometry(std::int32_t width, std::int32_t height, DibGeometry& out);
// The bytes of an 'I420' picture of that size.
std::int64_t PlanarImageBytes(std::int64_t width, std::int64_t height);
// Where the three planes of an 'I420' picture start (from its first byte),
// and their rows: length (also the stride) and count.
struct PlanarPlanes {
    std::int64_t offset[3];
    int width[3];
    int height[3];
};
PlanarPlanes DescribePlanes(int width, int height);

// One packed DIB, allocated once and refilled frame by frame.
class CDibBuffer {
public:
    // Sets up header, colour table (zeroed) and pixel area. False when the
    // memory cannot be had.
    bool Allocate(const DibGeometry& geometry);
    void Release();
    bool IsAllocated() const { return !bytes_.empty(); }

    const BITMAPINFOHEADER* Header() const;
    std::uint8_t* ColourTable(); // null unless 8 bits per pixel
    std::uint8_t* Pixels();

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t pixelOffset_ = 0;
};

// Where the rows of one raw BI_RGB sample go in bottom-up DIB rows, as pieces
// for a scattered read: one per row, in the sample's order, each at its DIB
// row, so top-down samples are flipped as they are read. The sample's rows
// may be padded to 4 bytes (as DIB rows are) or packed, which the sample's
// size tells. False when the sample is too short for the picture.
bool PlanRawDibRows(std::size_t sampleSize, const DibGeometry& geometry, std::uint8_t* pixels,
                    std::vector<ReadPiece>& pieces);
// Zeroes the bytes that pad each DIB row to 4 bytes.
void ClearDibRowPadding(const DibGeometry& geometry, std::uint8_t* pixels);

// Fills a 1024-byte colour table from an 8-bit format block: biClrUsed
// entries (256 when 0) after the header, as many as the block holds; the
// rest stays zero.
void CopyDibColourTable(const std::vector<std::uint8_t>& format, std::uint8_t* table);

} // namespace kmx
