#include "media/MediaSource.h"

#include "media/lavf/LavfInput.h"

#include <climits>

namespace kmx {

std::int32_t IMediaSource::VideoFrameToTime(std::uint32_t index, std::int32_t frame) const {
    AVISTREAMINFOA info{};
    if (!IsRetrieving(index) || !GetVideoStreamInfo(index, &info, sizeof info)) {
        return -1;
    }
    const std::int64_t ms = SampleToMilliseconds(frame, info.dwScale, info.dwRate);
    return ms < 0 || ms > INT32_MAX ? -1 : static_cast<std::int32_t>(ms);
}

std::int32_t IMediaSource::VideoTimeToFrame(std::uint32_t index, std::int32_t ms) const {
    AVISTREAMINFOA info{};
    if (!IsRetrieving(index) || !GetVideoStreamInfo(index, &info, sizeof info)) {
        return -1;
    }
    // The time of the frame one past the last one.
    const std::int64_t end =
        SampleToMilliseconds(std::int64_t{info.dwLength} + info.dwStart, info.dwScale, info.dwRate);
    if (ms > end) {
        return -1;
    }
    const std::int64_t frame = MillisecondsToSample(ms, info.dwScale, info.dwRate);
    return frame < 0 || frame > INT32_MAX ? -1 : static_cast<std::int32_t>(frame);
}

void SetThreadReadInterrupt(const std::atomic<std::int32_t>* flag) {
    CLavfInput::SetThreadInterrupt(flag);
}

} // namespace kmx
