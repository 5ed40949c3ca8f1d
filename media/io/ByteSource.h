// Where the container readers get their bytes: positioned reads at 64-bit
// offsets, each checked against the size of the source, from a file or from
// a block of memory.
#pragma once

#include "media/io/FileIo.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kmx {

class IByteSource {
public:
    virtual ~IByteSource() = default;

    // Reads exactly size bytes at pos; false when they are not all in the
    // source or the read fails.
    virtual bool ReadAt(std::uint64_t pos, void* out, std::size_t size) const = 0;
    // Reads the bytes from pos on into the pieces, one after the other, as
    // ReadAt of each in turn would.
    virtual bool ReadPiecesAt(std::uint64_t pos, const ReadPiece* pieces, std::size_t count) const;
    // Number of bytes in the source, fixed once it is open.
    virtual std::uint64_t Size() const = 0;
};

// A read-only regular file read with pread, so files above 4 GiB read like
// any other.
class CFileSource final : public IByteSource {
public:
    CFileSource() = default;
    ~CFileSource() override;
    CFileSource(const CFileSource&) = delete;
    CFileSource& operator=(const CFileSource&) = delete;

    // Opens a regular file (UTF-8 path) and learns its size.
    bool Open(const char* path);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }

    bool ReadAt(std::uint64_t pos, void* out, std::size_t size) const override;
    // One system call for many pieces.
    bool ReadPiecesAt(std::uint64_t pos, const ReadPiece* pieces, std::size_t count) const override;
    std::uint64_t Size() const override { return size_; }

private:
    int fd_ = -1;
    std::uint64_t size_ = 0;
};

// Bytes in memory that belong to the caller and must outlive the source.
class CMemorySource final : public IByteSource {
public:
    // A null data pointer gives an empty source whatever size says.
    CMemorySource(const std::uint8_t* data, std::size_t size)
        : data_(data), size_(data != nullptr ? size : 0) {}

    bool ReadAt(std::uint64_t pos, void* out, std::size_t size) const override;
    std::uint64_t Size() const override { return size_; }

private:
    const std::uint8_t* data_;
    std::uint64_t size_;
};

// Another source read through a block kept in memory: small reads close to
// each other (the chunk headers of a scan) cost one read of the underlying
// source per block instead of one each. Not for use by two threads at once.
class CReadAheadSource final : public IByteSource {
public:
    static constexpr std::size_t kDefaultBlock = std::size_t{256} << 10;

    explicit CReadAheadSource(const IByteSource& source, std::size_t block = kDefaultBlock)
        : source_(source), block_(block == 0 ? 1 : block) {}

    bool ReadAt(std::uint64_t pos, void* out, std::size_t size) const override;
    std::uint64_t Size() const override { return source_.Size(); }

private:
    bool Fill(std::uint64_t pos) const;

    const IByteSource& source_;
    const std::size_t block_;
    mutable std::vector<std::uint8_t> buffer_;
    mutable std::uint64_t bufferPos_ = 0;
};

} // namespace kmx
