// Variable frame rate: whether a stream's pictures are shown at the steady
// pace of one frame rate, and, when they are not, which picture is on screen
// at each frame of the stream's highest rate.
#pragma once

#include "media/lavf/LavfIndex.h"

#include <cstdint>
#include <vector>

extern "C" {
#include <libavutil/rational.h>
}

namespace kmx {

struct LavfFrameMap {
    bool variable = false;
    AVRational rate{0, 1}; // frames per second handed out when variable
    std::int32_t frames = 0;
    // Per picture in display order: the first frame that shows it (never
    // decreasing; the first picture starts at frame 0).
    std::vector<std::int32_t> firstFrame;

    // The display-order picture that frame shows; -1 outside the frames.
    std::int32_t Picture(std::int32_t frame) const;
};

// timeBase: the packets' time unit; nominal: the rate frames are handed out
// at today (pictures at its steady pace need no map); highest: the rate all
// pictures' times sit on (the stream's r_frame_rate), zero when unknown.
// A stream whose pictures, in display order, each lie within half a frame of
// their place at the nominal or the highest rate is constant (an empty map
// with variable false); so is one whose times are missing or absurd, or one
// whose frame count would exceed kMaxMappedFrames.
LavfFrameMap MakeLavfFrameMap(const std::vector<LavfPacket>& packets, AVRational timeBase,
                              AVRational nominal, AVRational highest);

inline constexpr std::int64_t kMaxMappedFrames = std::int64_t{1} << 24;

} // namespace kmx
