#include "codec/CompressorRecords.h"

#include "media/io/ByteOrder.h"

namespace kmx {

COMPVARS MakeEmptyCompVars() {
    COMPVARS cv{};
    cv.cbSize = static_cast<std::int32_t>(kCompVarsSize);
    return cv;
}

ICINFO MakeEmptyIcInfo() {
    ICINFO info{};
    info.dwSize = static_cast<std::uint32_t>(kIcInfoSize);
    info.fccType = ICTYPE_VIDEO;
    return info;
}

bool IsUncompressed(const COMPVARS& cv) {
    return cv.fccHandler == 0 || cv.fccHandler == FOURCC_DIB;
}

void ClearRunState(COMPVARS& cv) {
    cv.hic = 0;
    cv.lpbiIn = 0;
    cv.lpbiOut = 0;
    cv.lpBitsOut = 0;
    cv.lpBitsPrev = 0;
    cv.lpState = 0;
    cv.cbState = 0;
}

void StoreRecord(std::uint8_t* out, const COMPVARS& cv) {
    const std::uint32_t members[16] = {static_cast<std::uint32_t>(cv.cbSize),
                                       cv.dwFlags,
                                       cv.hic,
                                       cv.fccType,
                                       cv.fccHandler,
                                       cv.lpbiIn,
                                       cv.lpbiOut,
                                       cv.lpBitsOut,
                                       cv.lpBitsPrev,
                                       static_cast<std::uint32_t>(cv.lFrame),
                                       static_cast<std::uint32_t>(cv.lKey),
                                       static_cast<std::uint32_t>(cv.lDataRate),
                                       static_cast<std::uint32_t>(cv.lQ),
                                       static_cast<std::uint32_t>(cv.lKeyCount),
                                       cv.lpState,
                                       static_cast<std::uint32_t>(cv.cbState)};
    for (int i = 0; i < 16; ++i) {
        StoreU32(out + 4 * i, members[i]);
    }
}

void LoadRecord(const std::uint8_t* in, COMPVARS& cv) {
    cv.cbSize = LoadI32(in + 0);
    cv.dwFlags = LoadU32(in + 4);
    cv.hic = LoadU32(in + 8);
    cv.fccType = LoadU32(in + 12);
    cv.fccHandler = LoadU32(in + 16);
    cv.lpbiIn = LoadU32(in + 20);
    cv.lpbiOut = LoadU32(in + 24);
    cv.lpBitsOut = LoadU32(in + 28);
    cv.lpBitsPrev = LoadU32(in + 32);
    cv.lFrame = LoadI32(in + 36);
    cv.lKey = LoadI32(in + 40);
    cv.lDataRate = LoadI32(in + 44);
    cv.lQ = LoadI32(in + 48);
    cv.lKeyCount = LoadI32(in + 52);
    cv.lpState = LoadU32(in + 56);
    cv.cbState = LoadI32(in + 60);
}

void StoreRecord(std::uint8_t* out, const ICINFO& info) {
    StoreU32(out + 0, info.dwSize);
    StoreU32(out + 4, info.fccType);
    StoreU32(out + 8, info.fccHandler);
    StoreU32(out + 12, info.dwFlags);
    StoreU32(out + 16, info.dwVersion);
    StoreU32(out + 20, info.dwVersionICM);
    std::uint8_t* p = out + 24;
    for (char16_t c : info.szName) {
        StoreU16(p, c);
        p += 2;
    }
    for (char16_t c : info.szDescription) {
        StoreU16(p, c);
        p += 2;
    }
    for (char16_t c : info.szDriver) {
        StoreU16(p, c);
        p += 2;
    }
}

void LoadRecord(const std::uint8_t* in, ICINFO& info) {
    info.dwSize = LoadU32(in + 0);
    info.fccType = LoadU32(in + 4);
    info.fccHandler = LoadU32(in + 8);
    info.dwFlags = LoadU32(in + 12);
    info.dwVersion = LoadU32(in + 16);
    info.dwVersionICM = LoadU32(in + 20);
    const std::uint8_t* p = in + 24;
    for (char16_t& c : info.szName) {
        c = LoadU16(p);
        p += 2;
    }
    for (char16_t& c : info.szDescription) {
        c = LoadU16(p);
        p += 2;
    }
    for (char16_t& c : info.szDriver) {
        c = LoadU16(p);
        p += 2;
    }
}

} // namespace kmx
