// What a CLavfMediaSource holds for an open file (shared by its source files).
#pragma once

#include "media/decode/VideoDecoder.h"
#include "media/lavf/LavfAudioPackets.h"
#include "media/lavf/LavfFrame.h"
#include "media/lavf/LavfFrameMap.h"
#include "media/lavf/LavfIndex.h"
#include "media/lavf/LavfMediaSource.h"
#include "media/lavf/LavfSampleSource.h"

#include <memory>
#include <string>
#include <vector>

namespace kmx {

struct CLavfMediaSource::State {
    // Where the file is, for the video demuxer StartVideoRetrieve opens.
    std::string path;
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    bool memory = false;

    std::string containerName;
    int audioCodecId = 0;

    bool hasVideo = false;
    int videoStream = -1;
    int codecId = 0;
    int rotation = 0;
    ScanType declaredScan = ScanType::Unknown; // the container's field order
    int aspectNum = 0;                         // the pixels' shape, 0 when the file does not say
    int aspectDen = 0;
    LavfVideoIndex index;
    LavfFrameMap frameMap; // for a variable frame rate: frame -> picture
    std::vector<std::uint8_t> videoFormat;
    AVISTREAMINFOA videoInfo{};
    std::int32_t videoLength = 0;
    std::int32_t promisedLength = 0; // what the container says, 0 for nothing
    bool endedOnError = false;       // the first reading of the file
    std::unique_ptr<CLavfSampleSource> source;
    std::unique_ptr<CVideoDecoder> decoder;
    CLavfFrame frame;
    bool planar = false; // the decoder's 'I420' frames go out as they are

    std::unique_ptr<LavfAudio> audio;
    int audioStream = -1;
    AVISTREAMINFOA audioInfo{};
    std::int32_t audioLength = 0;
    std::vector<std::uint8_t> audioFormat;
    // Sample frames of silence before the decoded sound (negative: sound
    // left out at its start), so that it starts with the video as the
    // files' times say; 0 when they start within half a frame.
    std::int64_t audioLead = 0;
    std::unique_ptr<CLavfAudioPackets> audioPackets; // OpenAudioPackets

    bool Load(CLavfInput& input);
    bool ChooseVideo(const CLavfInput& input);
    void ChooseAudio(const CLavfInput& input);
    void FinishVideo(const CLavfInput& input);
    void PlaceAudio(const CLavfInput& input);
    void FinishAudio();
    bool OpenSource();
    std::int32_t ReadPcm(std::int64_t first, std::int64_t want, std::uint8_t* buffer,
                         std::int64_t bufferSize, std::int32_t* bytesRead,
                         std::int32_t* samplesRead) const;
};

} // namespace kmx
