#include "engine/InputCheck.h"

#include "engine/FrameChecks.h"
#include "media/AviReader.h"

bool IsSupportedInputFormat(const BITMAPINFOHEADER& header) {
    return HasWorkableDepth(header) && header.biClrUsed == 0;
}

std::string InputRefusal(CAviReader& reader, BITMAPINFOHEADER* last) {
    if (reader.GetVideoStreamCount() == 0) {
        return "no video stream";
    }
    AVISTREAMINFOA info{};
    if (!reader.GetVideoStreamInfo(0, &info, static_cast<std::int32_t>(sizeof info))) {
        return "the stream header cannot be read";
    }
    if (!reader.StartVideoRetrieve(0)) {
        return "unknown codec";
    }
    const BITMAPINFOHEADER* frame = nullptr;
    reader.GetVideoFrame(0, 0, &frame);
    if (frame == nullptr) {
        return "the first frame cannot be decoded";
    }
    if (!HasWorkableDepth(*frame)) {
        return std::to_string(frame->biBitCount) + "-bit frames are not supported";
    }
    if (frame->biClrUsed != 0) {
        return "frames with a colour table are not supported";
    }
    const std::int32_t length = reader.GetVideoLength(0);
    frame = nullptr;
    if (length > 0) {
        reader.GetVideoFrame(0, length - 1, &frame);
    }
    if (frame == nullptr) {
        return "the last frame cannot be decoded";
    }
    if (last != nullptr) {
        *last = *frame;
    }
    return "";
}
