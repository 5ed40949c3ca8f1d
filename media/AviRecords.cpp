#include "media/AviRecords.h"

#include "media/io/ByteOrder.h"

#include <climits>
#include <cstring>

namespace kmx {

void StoreRecord(std::uint8_t* out, const RECT& r) {
    StoreI32(out + 0, r.left);
    StoreI32(out + 4, r.top);
    StoreI32(out + 8, r.right);
    StoreI32(out + 12, r.bottom);
}

void LoadRecord(const std::uint8_t* in, RECT& r) {
    r.left = LoadI32(in + 0);
    r.top = LoadI32(in + 4);
    r.right = LoadI32(in + 8);
    r.bottom = LoadI32(in + 12);
}

void StoreRecord(std::uint8_t* out, const BITMAPINFOHEADER& h) {
    StoreU32(out + 0, h.biSize);
    StoreI32(out + 4, h.biWidth);
    StoreI32(out + 8, h.biHeight);
    StoreU16(out + 12, h.biPlanes);
    StoreU16(out + 14, h.biBitCount);
    StoreU32(out + 16, h.biCompression);
    StoreU32(out + 20, h.biSizeImage);
    StoreI32(out + 24, h.biXPelsPerMeter);
    StoreI32(out + 28, h.biYPelsPerMeter);
    StoreU32(out + 32, h.biClrUsed);
    StoreU32(out + 36, h.biClrImportant);
}

void LoadRecord(const std::uint8_t* in, BITMAPINFOHEADER& h) {
    h.biSize = LoadU32(in + 0);
    h.biWidth = LoadI32(in + 4);
    h.biHeight = LoadI32(in + 8);
    h.biPlanes = LoadU16(in + 12);
    h.biBitCount = LoadU16(in + 14);
    h.biCompression = LoadU32(in + 16);
    h.biSizeImage = LoadU32(in + 20);
    h.biXPelsPerMeter = LoadI32(in + 24);
    h.biYPelsPerMeter = LoadI32(in + 28);
    h.biClrUsed = LoadU32(in + 32);
    h.biClrImportant = LoadU32(in + 36);
}

void StoreRecord(std::uint8_t* out, const WAVEFORMATEX& w) {
    StoreU16(out + 0, w.wFormatTag);
    StoreU16(out + 2, w.nChannels);
    StoreU32(out + 4, w.nSamplesPerSec);
    StoreU32(out + 8, w.nAvgBytesPerSec);
    StoreU16(out + 12, w.nBlockAlign);
    StoreU16(out + 14, w.wBitsPerSample);
    StoreU16(out + 16, w.cbSize);
}

void LoadRecord(const std::uint8_t* in, WAVEFORMATEX& w) {
    w.wFormatTag = LoadU16(in + 0);
    w.nChannels = LoadU16(in + 2);
    w.nSamplesPerSec = LoadU32(in + 4);
    w.nAvgBytesPerSec = LoadU32(in + 8);
    w.nBlockAlign = LoadU16(in + 12);
    w.wBitsPerSample = LoadU16(in + 14);
    w.cbSize = LoadU16(in + 16);
}

void StoreRecord(std::uint8_t* out, const AVISTREAMINFOA& s) {
    StoreU32(out + 0, s.fccType);
    StoreU32(out + 4, s.fccHandler);
    StoreU32(out + 8, s.dwFlags);
    StoreU32(out + 12, s.dwCaps);
    StoreU16(out + 16, s.wPriority);
    StoreU16(out + 18, s.wLanguage);
    StoreU32(out + 20, s.dwScale);
    StoreU32(out + 24, s.dwRate);
    StoreU32(out + 28, s.dwStart);
    StoreU32(out + 32, s.dwLength);
    StoreU32(out + 36, s.dwInitialFrames);
    StoreU32(out + 40, s.dwSuggestedBufferSize);
    StoreU32(out + 44, s.dwQuality);
    StoreU32(out + 48, s.dwSampleSize);
    StoreRecord(out + 52, s.rcFrame);
    StoreU32(out + 68, s.dwEditCount);
    StoreU32(out + 72, s.dwFormatChangeCount);
    std::memcpy(out + 76, s.szName, sizeof s.szName);
}

void LoadRecord(const std::uint8_t* in, AVISTREAMINFOA& s) {
    s.fccType = LoadU32(in + 0);
    s.fccHandler = LoadU32(in + 4);
    s.dwFlags = LoadU32(in + 8);
    s.dwCaps = LoadU32(in + 12);
    s.wPriority = LoadU16(in + 16);
    s.wLanguage = LoadU16(in + 18);
    s.dwScale = LoadU32(in + 20);
    s.dwRate = LoadU32(in + 24);
    s.dwStart = LoadU32(in + 28);
    s.dwLength = LoadU32(in + 32);
    s.dwInitialFrames = LoadU32(in + 36);
    s.dwSuggestedBufferSize = LoadU32(in + 40);
    s.dwQuality = LoadU32(in + 44);
    s.dwSampleSize = LoadU32(in + 48);
    LoadRecord(in + 52, s.rcFrame);
    s.dwEditCount = LoadU32(in + 68);
    s.dwFormatChangeCount = LoadU32(in + 72);
    std::memcpy(s.szName, in + 76, sizeof s.szName);
}

std::int64_t SampleToMilliseconds(std::int64_t sample, std::uint32_t scale, std::uint32_t rate) {
    if (sample < 0 || rate == 0) {
        return -1;
    }
    std::uint64_t ticks = 0;
    if (__builtin_mul_overflow(static_cast<std::uint64_t>(sample), std::uint64_t{scale}, &ticks)) {
        return INT64_MAX;
    }
    // ticks x 1000 / rate without forming ticks x 1000, which may not fit:
    // (q x rate + r) x 1000 / rate = q x 1000 + r x 1000 / rate.
    const std::uint64_t whole = ticks / rate;
    const std::uint64_t part = ticks % rate * 1000 / rate;
    std::uint64_t ms = 0;
    if (__builtin_mul_overflow(whole, std::uint64_t{1000}, &ms) ||
        __builtin_add_overflow(ms, part, &ms) || ms > static_cast<std::uint64_t>(INT64_MAX)) {
        return INT64_MAX;
    }
    return static_cast<std::int64_t>(ms);
}

std::int64_t MillisecondsToSample(std::int64_t ms, std::uint32_t scale, std::uint32_t rate) {
    if (ms < 0 || scale == 0) {
        return -1;
    }
    // ms stays below 2^31 for every caller, so ms x rate stays below 2^63.
    std::uint64_t ticks = 0;
    if (__builtin_mul_overflow(static_cast<std::uint64_t>(ms), std::uint64_t{rate}, &ticks)) {
        return INT64_MAX;
    }
    const std::uint64_t sample = ticks / (std::uint64_t{scale} * 1000);
    return sample > static_cast<std::uint64_t>(INT64_MAX) ? INT64_MAX
                                                          : static_cast<std::int64_t>(sample);
}

} // namespace kmx
