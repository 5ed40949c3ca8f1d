// An AVI file read by our own RIFF code (AVI 1.0 and OpenDML): streams from
// the header list, samples found through idx1, the OpenDML indexes or a scan
// of 'movi', video decoded by media/decode, audio cut from its chunks.
#pragma once

#include "media/MediaSource.h"

#include <memory>
#include <vector>

namespace kmx {

class IByteSource;

class CAviMediaSource final : public IMediaSource {
public:
    CAviMediaSource();
    ~CAviMediaSource() override;
    CAviMediaSource(const CAviMediaSource&) = delete;
    CAviMediaSource& operator=(const CAviMediaSource&) = delete;

    // True for bytes that begin "RIFF....AVI ", however damaged the rest,
    // and for a file too short to tell: those are ours to refuse.
    static bool Claims(const IByteSource& file);

    // Reads the file's streams, formats and indexes from source, which the
    // object then owns. False when a stream's header or format cannot be
    // read; the object is then empty again.
    bool Open(std::unique_ptr<IByteSource> source);

    std::uint32_t GetVideoStreamCount() const override;
    std::uint32_t GetAudioStreamCount() const override;
    bool GetVideoStreamInfo(std::uint32_t index, AVISTREAMINFOA* info,
                            std::int32_t size) const override;
    bool GetAudioStreamInfo(std::uint32_t index, AVISTREAMINFOA* info,
                            std::int32_t size) const override;
    std::int32_t GetVideoLength(std::uint32_t index) const override;
    std::int32_t GetAudioLength(std::uint32_t index) const override;
    bool StartVideoRetrieve(std::uint32_t index) override;
    bool StopVideoRetrieve(std::uint32_t index) override;
    bool IsRetrieving(std::uint32_t index) const override;
    void GetVideoFrame(std::uint32_t index, std::int32_t frame,
                       const BITMAPINFOHEADER** out) override;
    bool UsePlanarVideo(std::uint32_t index, bool bt709) override;
    void ReadVideoBackwards(std::uint32_t index) override;
    bool BackwardReadingFellShort(std::uint32_t index) const override;
    std::int32_t GetKeyFrameAtOrBefore(std::uint32_t index, std::int32_t frame) const override;
    ScanType GetScanType(std::uint32_t index) const override;
    std::int32_t GetDamagedFrameCount(std::uint32_t index) const override;
    std::int32_t GetPromisedVideoLength(std::uint32_t index) const override;
    bool GetSampleAspect(std::uint32_t index, std::int32_t* num, std::int32_t* den) const override;
    bool OpenAudioPackets(std::uint32_t index, MediaCodecDetails* details) override;
    bool ReadAudioPacket(EncodedAudioPacket* packet) override;
    std::string ContainerName() const override;
    std::string VideoCodecName(std::uint32_t index) const override;
    std::string AudioCodecName(std::uint32_t index) const override;
    bool DecodeAudioToPcm(std::uint32_t index) override;
    const std::uint8_t* GetAudioFormat(std::uint32_t index, std::int32_t* size) const override;
    std::int32_t ReadAudio(std::uint32_t index, std::int32_t first, std::int32_t count,
                           void* buffer, std::int32_t bufferSize, std::int32_t* bytesRead,
                           std::int32_t* samplesRead) override;

private:
    struct Stream;
    bool Load();
    void PrepareAudio(Stream& stream);
    std::int32_t ReadFixed(const Stream& stream, std::int64_t first, std::int64_t want,
                           std::uint8_t* buffer, std::int64_t bufferSize, std::int32_t* bytesRead,
                           std::int32_t* samplesRead) const;
    std::int32_t ReadChunks(const Stream& stream, std::int64_t first, std::int64_t want,
                            std::uint8_t* buffer, std::int64_t bufferSize, std::int32_t* bytesRead,
                            std::int32_t* samplesRead) const;
    const Stream* VideoWithDecoder(std::uint32_t index) const;

    std::unique_ptr<IByteSource> source_;
    std::vector<Stream> audio_;
    std::vector<Stream> video_;
};

} // namespace kmx
