// Any file libavformat demuxes and libavcodec decodes, as a media source
// (CAviReader hands every file that is not AVI to it). One video stream (the file's first) and one
// audio stream (the first that decodes) at most:
//  - video frames in presentation order, one per packet, at the stream's
//    nominal frame rate, turned upright as the display matrix says, as
//    24-bit DIBs when rows need no padding, else as 32-bit ones; a stream
//    of variable frame rate (media/lavf/LavfFrameMap.h) is handed out at its
//    highest rate instead, each frame showing the picture on screen at its
//    time, so that slower stretches repeat pictures;
//  - audio decoded once at open into 16-bit PCM (one sample = one sample
//    frame), without the encoder delay and padding the container names,
//    and with silence before it (or its start cut) where the files' times
//    say it starts after (or before) the video.
#pragma once

#include "media/MediaSource.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace kmx {

class CLavfMediaSource final : public IMediaSource {
public:
    CLavfMediaSource();
    ~CLavfMediaSource() override;
    CLavfMediaSource(const CLavfMediaSource&) = delete;
    CLavfMediaSource& operator=(const CLavfMediaSource&) = delete;

    // Demuxes the whole file once to index its video packets and decode its
    // audio. False when libavformat cannot read it or it has neither stream.
    bool Open(const char* path);
    // The same for bytes in memory, which must stay valid until Close.
    bool OpenMemory(const std::uint8_t* data, std::size_t size);
    void Close();

    std::uint32_t GetVideoStreamCount() const override;
    std::uint32_t GetAudioStreamCount() const override;
    bool GetVideoStreamInfo(std::uint32_t index, AVISTREAMINFOA* info,
                            std::int32_t size) const override;
    bool GetAudioStreamInfo(std::uint32_t index, AVISTREAMINFOA* info,
                            std::int32_t size) const override;
    std::int32_t GetVideoLength(std::uint32_t index) const override;
    std::int32_t GetAudioLength(std::uint32_t index) const override;
    bool IsVariableFrameRate(std::uint32_t index) const override;
    ScanType GetScanType(std::uint32_t index) const override;
    bool StartVideoRetrieve(std::uint32_t index) override;
    bool StopVideoRetrieve(std::uint32_t index) override;
    bool IsRetrieving(std::uint32_t index) const override;
    void GetVideoFrame(std::uint32_t index, std::int32_t frame,
                       const BITMAPINFOHEADER** out) override;
    bool UsePlanarVideo(std::uint32_t index, bool bt709) override;
    void ReadVideoBackwards(std::uint32_t index) override;
    bool BackwardReadingFellShort(std::uint32_t index) const override;
    std::int32_t GetKeyFrameAtOrBefore(std::uint32_t index, std::int32_t frame) const override;
    std::int32_t GetDamagedFrameCount(std::uint32_t index) const override;
    std::int32_t GetPromisedVideoLength(std::uint32_t index) const override;
    bool EndedOnError() const override;
    bool GetSampleAspect(std::uint32_t index, std::int32_t* num, std::int32_t* den) const override;
    bool OpenAudioPackets(std::uint32_t index, MediaCodecDetails* details) override;
    bool ReadAudioPacket(EncodedAudioPacket* packet) override;
    std::string ContainerName() const override;
    std::string VideoCodecName(std::uint32_t index) const override;
    std::string AudioCodecName(std::uint32_t index) const override;
    // Audio is PCM already: true for an existing stream.
    bool DecodeAudioToPcm(std::uint32_t index) override;
    const std::uint8_t* GetAudioFormat(std::uint32_t index, std::int32_t* size) const override;
    std::int32_t ReadAudio(std::uint32_t index, std::int32_t first, std::int32_t count,
                           void* buffer, std::int32_t bufferSize, std::int32_t* bytesRead,
                           std::int32_t* samplesRead) override;

    // Jumps of the video demuxer since StartVideoRetrieve, and how many of
    // them read from the start of the file (for tests).
    std::uint64_t VideoSeeks() const;
    std::uint64_t VideoRewinds() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace kmx
