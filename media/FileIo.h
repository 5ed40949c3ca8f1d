// Whole writes to a file descriptor: a short write or an interrupted call is
// continued until everything is written or the system reports an error.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kmx {

// Writes all of size bytes at pos (pwrite); false on any error.
bool WriteAllAt(int fd, const std::uint8_t* data, std::size_t size, std::uint64_t pos);

} // namespace kmx
