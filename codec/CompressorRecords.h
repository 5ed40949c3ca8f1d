// The compressor choice records: COMPVARS (the user's compressor and its
// settings, stored byte for byte in project files) and ICINFO (the name and
// description of a compressor). Platform field order and sizes; the pointer
// members of COMPVARS are opaque 32-bit values that are never used as addresses.
#pragma once

#include <cstddef>
#include <cstdint>

struct COMPVARS {
    std::int32_t cbSize;
    std::uint32_t dwFlags;
    std::uint32_t hic;
    std::uint32_t fccType;
    std::uint32_t fccHandler;
    std::uint32_t lpbiIn;
    std::uint32_t lpbiOut;
    std::uint32_t lpBitsOut;
    std::uint32_t lpBitsPrev;
    std::int32_t lFrame;
    std::int32_t lKey;
    std::int32_t lDataRate;
    std::int32_t lQ;
    std::int32_t lKeyCount;
    std::uint32_t lpState;
    std::int32_t cbState;
};

struct ICINFO {
    std::uint32_t dwSize;
    std::uint32_t fccType;
    std::uint32_t fccHandler;
    std::uint32_t dwFlags;
    std::uint32_t dwVersion;
    std::uint32_t dwVersionICM;
    char16_t szName[16];
    char16_t szDescription[128];
    char16_t szDriver[128];
};

static_assert(sizeof(COMPVARS) == 64);
static_assert(sizeof(ICINFO) == 568);

inline constexpr std::uint32_t ICMF_COMPVARS_VALID = 0x00000001;
inline constexpr std::uint32_t ICMF_CHOOSE_KEYFRAME = 0x0001;
inline constexpr std::uint32_t ICMF_CHOOSE_DATARATE = 0x0002;
inline constexpr std::uint32_t ICTYPE_VIDEO = 0x63646976; // "vidc"
inline constexpr std::uint32_t FOURCC_DIB = 0x20424944;   // "DIB "
inline constexpr std::uint32_t ICMODE_COMPRESS = 1;

// Quality range of COMPVARS.lQ; a negative value asks for the compressor's default.
inline constexpr std::int32_t ICQUALITY_LOW = 0;
inline constexpr std::int32_t ICQUALITY_HIGH = 10000;
inline constexpr std::int32_t ICQUALITY_DEFAULT = -1;

// ICINFO.dwFlags: which settings a compressor honours.
inline constexpr std::uint32_t VIDCF_QUALITY = 0x0001;  // lQ
inline constexpr std::uint32_t VIDCF_CRUNCH = 0x0002;   // lDataRate
inline constexpr std::uint32_t VIDCF_TEMPORAL = 0x0004; // lKey (frames depend on earlier ones)

inline constexpr std::uint32_t ICVERSION = 0x0104;

// Results of the compressor calls that answer with an error code.
inline constexpr std::int32_t ICERR_OK = 0;
inline constexpr std::int32_t ICERR_UNSUPPORTED = -1;
inline constexpr std::int32_t ICERR_BADFORMAT = -2;
inline constexpr std::int32_t ICERR_MEMORY = -3;
inline constexpr std::int32_t ICERR_INTERNAL = -4;
inline constexpr std::int32_t ICERR_BADPARAM = -6;
inline constexpr std::int32_t ICERR_BADSIZE = -7;
inline constexpr std::int32_t ICERR_ERROR = -100;

namespace kmx {

inline constexpr std::size_t kCompVarsSize = 64;
inline constexpr std::size_t kIcInfoSize = 568;

// A COMPVARS as the main window keeps it before any choice: all zero, cbSize 64,
// which means no compression.
COMPVARS MakeEmptyCompVars();

// ICINFO as the main window keeps it before any choice: size, video type, no handler.
ICINFO MakeEmptyIcInfo();

// True when the settings ask for no compression (handler 0 or "DIB ").
bool IsUncompressed(const COMPVARS& cv);

// Clears the members that only have a meaning inside the run that filled them
// (compressor handle and the pointer members), as a loaded record needs.
void ClearRunState(COMPVARS& cv);

void StoreRecord(std::uint8_t* out, const COMPVARS& cv); // 64 bytes
void LoadRecord(const std::uint8_t* in, COMPVARS& cv);
void StoreRecord(std::uint8_t* out, const ICINFO& info); // 568 bytes
void LoadRecord(const std::uint8_t* in, ICINFO& info);

} // namespace kmx
