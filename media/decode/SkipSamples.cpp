#include "media/decode/SkipSamples.h"

#include "media/io/ByteOrder.h"

extern "C" {
#include <libavcodec/packet.h>
}

namespace kmx {
namespace {

// Start and end as 32-bit counts, then two reason bytes.
constexpr std::size_t kSideDataSize = 10;

} // namespace

SkipSamples ReadSkipSamples(const AVPacket& packet) {
    std::size_t size = 0;
    const std::uint8_t* data = av_packet_get_side_data(&packet, AV_PKT_DATA_SKIP_SAMPLES, &size);
    SkipSamples skip;
    if (data != nullptr && size >= 8) {
        skip.start = LoadU32(data);
        skip.end = LoadU32(data + 4);
    }
    return skip;
}

bool AttachDiscardAtEnd(AVPacket* packet, std::int64_t samples) {
    if (samples <= 0 || samples > UINT32_MAX) {
        return samples == 0;
    }
    std::uint8_t* data = av_packet_new_side_data(packet, AV_PKT_DATA_SKIP_SAMPLES, kSideDataSize);
    if (data == nullptr) {
        return false;
    }
    StoreU32(data, 0);
    StoreU32(data + 4, static_cast<std::uint32_t>(samples));
    data[8] = 0;
    data[9] = 0;
    return true;
}

} // namespace kmx
