#include "media/avi/AviParserStreamInfo.h"

#include "media/avi/AviChunkIds.h"
#include "media/io/ByteOrder.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace kmx {
namespace {

constexpr std::size_t kStreamHeaderWithFrame = 56;

void RepairRate(const AviStreamList& stream, const AviLayout& layout, AVISTREAMINFOA& info) {
    if (info.dwScale != 0 && info.dwRate != 0) {
        return;
    }
    std::uint32_t scale = 1;
    std::uint32_t rate = 25;
    CByteView format(stream.format);
    if (info.fccType == kVids && layout.microSecPerFrame != 0) {
        scale = layout.microSecPerFrame;
        rate = 1000000;
    } else if (info.fccType == kAuds && format.Has(0, 12)) {
        const std::uint32_t samplesPerSec = format.U32(4);
        const std::uint32_t bytesPerSec = format.U32(8);
        if (info.dwSampleSize != 0 && bytesPerSec != 0) {
            scale = info.dwSampleSize;
            rate = bytesPerSec;
        } else if (samplesPerSec != 0) {
            scale = 1;
            rate = samplesPerSec;
        }
    }
    const std::uint32_t divisor = std::gcd(scale, rate);
    info.dwScale = scale / divisor;
    info.dwRate = rate / divisor;
}

} // namespace

void MakeStreamInfo(const AviStreamList& stream, const AviLayout& layout, std::uint32_t length,
                    AVISTREAMINFOA& info) {
    info = AVISTREAMINFOA{};
    CByteView header(stream.header);
    info.fccType = header.U32(0);
    info.fccHandler = header.U32(4);
    info.dwFlags = header.U32(8);
    info.wPriority = header.U16(12);
    info.wLanguage = header.U16(14);
    info.dwInitialFrames = header.U32(16);
    info.dwScale = header.U32(20);
    info.dwRate = header.U32(24);
    info.dwStart = header.U32(28);
    info.dwLength = length;
    info.dwSuggestedBufferSize = header.U32(36);
    info.dwQuality = header.U32(40);
    info.dwSampleSize = header.U32(44);
    if (header.Has(48, kStreamHeaderWithFrame - 48)) {
        info.rcFrame.left = header.I16(48);
        info.rcFrame.top = header.I16(50);
        info.rcFrame.right = header.I16(52);
        info.rcFrame.bottom = header.I16(54);
    }
    RepairRate(stream, layout, info);

    CByteView format(stream.format);
    const bool emptyFrame =
        info.rcFrame.right <= info.rcFrame.left || info.rcFrame.bottom <= info.rcFrame.top;
    if (info.fccType == kVids && emptyFrame && format.Has(0, kMinVideoFormatSize)) {
        const std::int64_t width = format.I32(4);
        const std::int64_t height = format.I32(8);
        const std::int64_t absHeight = height < 0 ? -height : height;
        info.rcFrame.left = 0;
        info.rcFrame.top = 0;
        info.rcFrame.right =
            static_cast<std::int32_t>(std::clamp<std::int64_t>(width, 0, INT32_MAX));
        info.rcFrame.bottom =
            static_cast<std::int32_t>(std::min<std::int64_t>(absHeight, INT32_MAX));
    }
    const std::size_t nameLength = std::min(stream.name.size(), sizeof info.szName - 1);
    std::memcpy(info.szName, stream.name.data(), nameLength);
    info.szName[nameLength] = '\0';
}

} // namespace kmx
