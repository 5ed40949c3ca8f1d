// Little-endian loads and stores for file formats. Every on-disk integer of
// the AVI, DIB and project formats goes through these, whatever the host order.
#pragma once

#include <cstdint>

namespace kmx {

inline std::uint16_t LoadU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t LoadU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline std::uint64_t LoadU64(const std::uint8_t* p) {
    return static_cast<std::uint64_t>(LoadU32(p)) |
           (static_cast<std::uint64_t>(LoadU32(p + 4)) << 32);
}

inline std::int32_t LoadI32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(LoadU32(p));
}
inline std::int16_t LoadI16(const std::uint8_t* p) {
    return static_cast<std::int16_t>(LoadU16(p));
}

inline void StoreU16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

inline void StoreU32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

inline void StoreU64(std::uint8_t* p, std::uint64_t v) {
    StoreU32(p, static_cast<std::uint32_t>(v));
    StoreU32(p + 4, static_cast<std::uint32_t>(v >> 32));
}

inline void StoreI32(std::uint8_t* p, std::int32_t v) {
    StoreU32(p, static_cast<std::uint32_t>(v));
}
inline void StoreI16(std::uint8_t* p, std::int16_t v) {
    StoreU16(p, static_cast<std::uint16_t>(v));
}

// Four-character code as stored in a file: first character in the lowest byte.
constexpr std::uint32_t MakeFourcc(char a, char b, char c, char d) {
    return static_cast<std::uint32_t>(static_cast<std::uint8_t>(a)) |
           (static_cast<std::uint32_t>(static_cast<std::uint8_t>(b)) << 8) |
           (static_cast<std::uint32_t>(static_cast<std::uint8_t>(c)) << 16) |
           (static_cast<std::uint32_t>(static_cast<std::uint8_t>(d)) << 24);
}

} // namespace kmx
