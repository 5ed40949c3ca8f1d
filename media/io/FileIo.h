// Whole reads and writes at a position of a file descriptor: a short transfer
// or an interrupted call is continued until everything is done, the file
// ends or the system reports an error.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kmx {

// Writes all of size bytes at pos (pwrite); false on any error.
bool WriteAllAt(int fd, const std::uint8_t* data, std::size_t size, std::uint64_t pos);
// Reads all of size bytes at pos (pread); false on any error or at the end.
bool ReadAllAt(int fd, std::uint8_t* out, std::size_t size, std::uint64_t pos);

// One place a scattered read fills: size bytes at out.
struct ReadPiece {
    void* out;
    std::size_t size;
};
// The bytes the pieces hold in all.
std::uint64_t PiecesSize(const ReadPiece* pieces, std::size_t count);
// Reads the bytes from pos on into the pieces, one after the other, in as few
// calls (preadv) as the system allows; false on any error or at the end.
bool ReadPiecesAt(int fd, const ReadPiece* pieces, std::size_t count, std::uint64_t pos);

} // namespace kmx
