#include "media/decode/DibFrame.h"

#include "media/io/ByteOrder.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace kmx {

bool MakeDibGeometry(std::int32_t biWidth, std::int32_t biHeight, int bitCount, DibGeometry& out) {
    out = DibGeometry{};
    if (bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32) {
        return false;
    }
    const std::int64_t width = biWidth;
    const std::int64_t height = biHeight < 0 ? -static_cast<std::int64_t>(biHeight) : biHeight;
    if (width <= 0 || height <= 0 || width > kMaxDibDimension || height > kMaxDibDimension ||
        width * height * 4 > kMaxDibPixelBytes) {
        return false;
    }
    const std::int64_t stride = (width * bitCount / 8 + 3) & ~std::int64_t{3};
    out.width = static_cast<std::int32_t>(width);
    out.height = static_cast<std::int32_t>(height);
    out.topDown = biHeight < 0;
    out.bitCount = bitCount;
    out.stride = static_cast<std::uint32_t>(stride);
    out.imageSize = static_cast<std::uint32_t>(stride * height);
    return true;
}

std::int64_t PlanarImageBytes(std::int64_t width, std::int64_t height) {
    return width * height + 2 * ((width + 1) / 2) * ((height + 1) / 2);
}

PlanarPlanes DescribePlanes(int width, int height) {
    const int chromaWidth = (width + 1) / 2;
    const int chromaHeight = (height + 1) / 2;
    const std::int64_t luma = std::int64_t{width} * height;
    return {{0, luma, luma + std::int64_t{chromaWidth} * chromaHeight},
            {width, chromaWidth, chromaWidth},
            {height, chromaHeight, chromaHeight}};
}

bool MakePlanarGeometry(std::int32_t width, std::int32_t height, DibGeometry& out) {
    if (!MakeDibGeometry(width, height, 24, out) || out.topDown) {
        out = DibGeometry{};
        return false;
    }
    out.bitCount = 12;
    out.stride = static_cast<std::uint32_t>(width);
    out.imageSize = static_cast<std::uint32_t>(PlanarImageBytes(width, height));
    out.planar = true;
    return true;
}

bool CDibBuffer::Allocate(const DibGeometry& geometry) {
    Release();
    const std::size_t table = geometry.bitCount == 8 ? kDibColourTableSize : 0;
    pixelOffset_ = kBitmapInfoHeaderSize + table;
    try {
        bytes_.assign(pixelOffset_ + geometry.imageSize, 0);
    } catch (const std::bad_alloc&) {
        Release();
        return false;
    }
    BITMAPINFOHEADER header{};
    header.biSize = static_cast<std::uint32_t>(kBitmapInfoHeaderSize);
    header.biWidth = geometry.width;
    header.biHeight = geometry.height;
    header.biPlanes = 1;
    header.biBitCount = static_cast<std::uint16_t>(geometry.bitCount);
    header.biCompression = geometry.planar ? kFourccI420 : BI_RGB;
    header.biSizeImage = geometry.imageSize;
    std::memcpy(bytes_.data(), &header, sizeof header);
    return true;
}

void CDibBuffer::Release() {
    std::vector<std::uint8_t>().swap(bytes_);
    pixelOffset_ = 0;
}

const BITMAPINFOHEADER* CDibBuffer::Header() const {
    return bytes_.empty() ? nullptr : reinterpret_cast<const BITMAPINFOHEADER*>(bytes_.data());
}

std::uint8_t* CDibBuffer::ColourTable() {
    return pixelOffset_ > kBitmapInfoHeaderSize ? bytes_.data() + kBitmapInfoHeaderSize : nullptr;
}

std::uint8_t* CDibBuffer::Pixels() {
    return bytes_.empty() ? nullptr : bytes_.data() + pixelOffset_;
}

bool PlanRawDibRows(std::size_t sampleSize, const DibGeometry& geometry, std::uint8_t* pixels,
                    std::vector<ReadPiece>& pieces) {
    const std::uint64_t rows = static_cast<std::uint64_t>(geometry.height);
    const std::uint64_t packed = static_cast<std::uint64_t>(geometry.width) * geometry.bitCount / 8;
    const std::uint64_t padded = geometry.stride;
    std::uint64_t sourceStride = 0;
    if (sampleSize >= padded * rows) {
        sourceStride = padded;
    } else if (sampleSize >= packed * rows) {
        sourceStride = packed;
    } else {
        return false;
    }
    pieces.resize(static_cast<std::size_t>(rows));
    for (std::uint64_t row = 0; row < rows; ++row) {
        const std::uint64_t to = geometry.topDown ? rows - 1 - row : row;
        pieces[static_cast<std::size_t>(row)] = {pixels + to * padded,
                                                 static_cast<std::size_t>(sourceStride)};
    }
    return true;
}

void ClearDibRowPadding(const DibGeometry& geometry, std::uint8_t* pixels) {
    const std::uint64_t packed = static_cast<std::uint64_t>(geometry.width) * geometry.bitCount / 8;
    const std::uint64_t padded = geometry.stride;
    if (packed == padded) {
        return;
    }
    for (std::uint64_t row = 0; row < static_cast<std::uint64_t>(geometry.height); ++row) {
        std::memset(pixels + row * padded + packed, 0, static_cast<std::size_t>(padded - packed));
    }
}

void CopyDibColourTable(const std::vector<std::uint8_t>& format, std::uint8_t* table) {
    std::memset(table, 0, kDibColourTableSize);
    if (format.size() < kBitmapInfoHeaderSize) {
        return;
    }
    // The table follows the header, whose own size field says how long it is.
    std::size_t offset = LoadU32(format.data());
    if (offset < kBitmapInfoHeaderSize || offset > format.size()) {
        offset = kBitmapInfoHeaderSize;
    }
    const std::uint32_t used = LoadU32(format.data() + 32);
    std::size_t entries = used == 0 ? 256 : std::min<std::size_t>(used, 256);
    entries = std::min(entries, (format.size() - offset) / 4);
    std::memcpy(table, format.data() + offset, entries * 4);
}

} // namespace kmx
