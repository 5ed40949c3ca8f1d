#include "codec/CompressorInfo.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <cstddef>

namespace kmx {

namespace {

// Copies an ASCII text into a UTF-16 field of count units, always terminated.
template <std::size_t N> void CopyText(char16_t (&field)[N], const char* text) {
    std::size_t i = 0;
    if (text != nullptr) {
        for (; i + 1 < N && text[i] != '\0'; ++i) {
            field[i] = static_cast<unsigned char>(text[i]);
        }
    }
    for (; i < N; ++i) {
        field[i] = 0;
    }
}

} // namespace

std::vector<CompressorListing> ListCompressors(bool includeUnavailable) {
    std::vector<CompressorListing> list;
    for (const CompressorEntry& entry : CompressorTable()) {
        const bool available = IsCompressorAvailable(entry);
        if (!available && !includeUnavailable) {
            continue;
        }
        CompressorListing item;
        item.fourcc = entry.fourcc;
        item.shortName = entry.shortName;
        item.description = entry.description;
        item.lossless = entry.lossless;
        item.available = available;
        item.capabilities = CompressorCapabilities(entry);
        list.push_back(std::move(item));
    }
    return list;
}

void FillCompressorInfo(const CompressorEntry& entry, ICINFO* info) {
    if (info == nullptr) {
        return;
    }
    *info = ICINFO{};
    info->dwSize = static_cast<std::uint32_t>(kIcInfoSize);
    info->fccType = ICTYPE_VIDEO;
    info->fccHandler = entry.fourcc;
    info->dwFlags = CompressorCapabilities(entry);
    info->dwVersion = entry.encoderName != nullptr ? avcodec_version() : 0;
    info->dwVersionICM = ICVERSION;
    CopyText(info->szName, entry.shortName);
    CopyText(info->szDescription, entry.description);
    CopyText(info->szDriver, "libavcodec");
}

std::string FourccText(std::uint32_t fourcc) {
    if (fourcc == 0) {
        return "----";
    }
    std::string text(4, '.');
    for (int i = 0; i < 4; ++i) {
        const unsigned char c = static_cast<unsigned char>(fourcc >> (8 * i));
        if (c >= 0x20 && c < 0x7F) {
            text[static_cast<std::size_t>(i)] = static_cast<char>(c);
        }
    }
    return text;
}

} // namespace kmx
