#include "media/lavf/LavfFrameMap.h"

#include <algorithm>
#include <climits>

extern "C" {
#include <libavutil/avutil.h>
#include <libavutil/mathematics.h>
}

namespace kmx {
namespace {

// Times beyond this (in the stream's unit) are not believed.
constexpr std::int64_t kMaxTime = std::int64_t{1} << 60;

// A believable frame rate: from one frame in ten seconds to 1000 a second.
bool Believable(AVRational rate) {
    return rate.num > 0 && rate.den > 0 && std::int64_t{rate.num} * 10 >= rate.den &&
           rate.num <= std::int64_t{rate.den} * 1000;
}

// A time since the first picture as frames of rate, rounded to the nearest.
std::int64_t FrameOf(std::int64_t time, AVRational timeBase, AVRational rate) {
    return av_rescale_rnd(time, std::int64_t{timeBase.num} * rate.num,
                          std::int64_t{timeBase.den} * rate.den, AV_ROUND_NEAR_INF);
}

// Picture j (times since the first, in display order) lies within half a
// frame of frame j at rate.
bool OnGrid(const std::vector<std::int64_t>& times, AVRational timeBase, AVRational rate) {
    if (!Believable(rate)) {
        return false;
    }
    for (std::size_t j = 0; j < times.size(); ++j) {
        if (FrameOf(times[j], timeBase, rate) != static_cast<std::int64_t>(j)) {
            return false;
        }
    }
    return true;
}

// The rate of the closest two pictures, for a stream that names no rate.
AVRational RateOfClosest(const std::vector<std::int64_t>& times, AVRational timeBase) {
    std::int64_t gap = INT64_MAX;
    for (std::size_t j = 1; j < times.size(); ++j) {
        const std::int64_t step = times[j] - times[j - 1];
        if (step > 0) {
            gap = std::min(gap, step);
        }
    }
    AVRational rate{0, 1};
    if (gap != INT64_MAX && gap <= INT32_MAX) {
        av_reduce(&rate.num, &rate.den, timeBase.den, gap * timeBase.num, INT32_MAX);
    }
    return rate;
}

} // namespace

std::int32_t LavfFrameMap::Picture(std::int32_t frame) const {
    if (frame < 0 || frame >= frames || firstFrame.empty()) {
        return -1;
    }
    const auto after = std::upper_bound(firstFrame.begin(), firstFrame.end(), frame);
    return static_cast<std::int32_t>(after - firstFrame.begin()) - 1;
}

LavfFrameMap MakeLavfFrameMap(const std::vector<LavfPacket>& packets, AVRational timeBase,
                              AVRational nominal, AVRational highest) {
    LavfFrameMap map;
    if (packets.size() < 2 || timeBase.num <= 0 || timeBase.den <= 0) {
        return map;
    }
    // Presentation times in display order; the last picture lasts as long
    // as its packet says, else as long as the one before it.
    std::vector<std::int64_t> times;
    times.reserve(packets.size());
    const LavfPacket* last = &packets.front();
    for (const LavfPacket& packet : packets) {
        if (packet.pts == AV_NOPTS_VALUE || packet.pts < -kMaxTime || packet.pts > kMaxTime) {
            return map;
        }
        times.push_back(packet.pts);
        last = packet.pts >= last->pts ? &packet : last;
    }
    std::sort(times.begin(), times.end());
    const std::int64_t start = times.front();
    for (std::int64_t& time : times) {
        time -= start;
    }
    if (OnGrid(times, timeBase, nominal) || OnGrid(times, timeBase, highest)) {
        return map;
    }
    AVRational rate = Believable(highest) ? highest : RateOfClosest(times, timeBase);
    if (!Believable(rate)) {
        return map;
    }
    av_reduce(&rate.num, &rate.den, rate.num, rate.den, INT32_MAX);
    const std::int64_t end = times.back();
    const std::int64_t lastDuration = last->duration > 0 && last->duration <= kMaxTime
                                          ? last->duration
                                          : end - times[times.size() - 2];
    const std::int64_t lastFrame = FrameOf(end, timeBase, rate);
    const std::int64_t frames =
        std::max(FrameOf(end + lastDuration, timeBase, rate), lastFrame + 1);
    if (lastFrame < 0 || frames > kMaxMappedFrames) {
        return map;
    }
    map.firstFrame.reserve(times.size());
    for (const std::int64_t time : times) {
        map.firstFrame.push_back(static_cast<std::int32_t>(FrameOf(time, timeBase, rate)));
    }
    map.variable = true;
    map.rate = rate;
    map.frames = static_cast<std::int32_t>(frames);
    return map;
}

} // namespace kmx
