#include "codec/ContainerCodecs.h"

#include "codec/CompressorInfo.h"
#include "codec/CompressorRecords.h"
#include "media/io/ByteOrder.h"

extern "C" {
#include <libavcodec/codec_id.h>
}

#include <algorithm>
#include <array>

namespace kmx {
namespace {

constexpr std::array kAllContainers = {OutputContainer::Avi, OutputContainer::Mp4,
                                       OutputContainer::Mov, OutputContainer::Mkv,
                                       OutputContainer::WebM};

bool OneOf(std::uint32_t fourcc, std::initializer_list<std::uint32_t> list) {
    return std::find(list.begin(), list.end(), fourcc) != list.end();
}

} // namespace

bool ContainerTakesAudio(OutputContainer container, int codecId) {
    switch (container) {
    case OutputContainer::Mp4:
    case OutputContainer::Mov:
        return codecId == AV_CODEC_ID_AAC;
    case OutputContainer::WebM:
        return codecId == AV_CODEC_ID_OPUS;
    case OutputContainer::Mkv:
        return codecId == AV_CODEC_ID_OPUS || codecId == AV_CODEC_ID_AAC;
    case OutputContainer::Avi:
        break;
    }
    return false;
}

bool ContainerHolds(OutputContainer container, std::uint32_t fourcc) {
    if (FindCompressorEntry(fourcc) == nullptr) {
        return false;
    }
    const std::uint32_t h264 = MakeFourcc('H', '2', '6', '4');
    const std::uint32_t hevc = MakeFourcc('H', 'E', 'V', 'C');
    const std::uint32_t av1 = MakeFourcc('A', 'V', '0', '1');
    const std::uint32_t vp9 = MakeFourcc('V', 'P', '9', '0');
    switch (container) {
    case OutputContainer::Avi:
        return !OneOf(fourcc, {hevc, av1, vp9});
    case OutputContainer::Mp4:
        return OneOf(fourcc, {h264, hevc, av1});
    case OutputContainer::Mov:
        return OneOf(fourcc, {h264, hevc, av1, MakeFourcc('M', 'J', 'P', 'G')});
    case OutputContainer::WebM:
        return OneOf(fourcc, {vp9, av1});
    case OutputContainer::Mkv:
        return fourcc != FOURCC_DIB;
    }
    return false;
}

std::string FittingCompressors(OutputContainer container) {
    std::string list;
    for (const CompressorEntry& entry : CompressorTable()) {
        if (IsCompressorAvailable(entry) && ContainerHolds(container, entry.fourcc)) {
            std::string name = FourccText(entry.fourcc);
            while (!name.empty() && name.back() == ' ') {
                name.pop_back();
            }
            list += (list.empty() ? "" : ", ") + name;
        }
    }
    return list;
}

std::string ContainersOf(std::uint32_t fourcc) {
    std::string list;
    for (OutputContainer container : kAllContainers) {
        if (ContainerHolds(container, fourcc)) {
            list += (list.empty() ? "" : ", ") + std::string(ContainerTitle(container));
        }
    }
    return list;
}

} // namespace kmx
