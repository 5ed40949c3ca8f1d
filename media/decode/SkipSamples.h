// The samples a packet of encoded audio tells the decoder to drop: the
// encoder's delay at the start of a stream and its padding at the end, as
// libavcodec and libavformat carry them in AV_PKT_DATA_SKIP_SAMPLES.
#pragma once

#include <cstdint>

struct AVPacket;

namespace kmx {

struct SkipSamples {
    std::int64_t start = 0;
    std::int64_t end = 0;
};

// What the packet's side data names; zeros when it names nothing.
SkipSamples ReadSkipSamples(const AVPacket& packet);
// Names the padding at the end of the packet; false when memory runs out.
bool AttachDiscardAtEnd(AVPacket* packet, std::int64_t samples);

} // namespace kmx
