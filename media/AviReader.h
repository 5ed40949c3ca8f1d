// The reader the program opens video files with: AVI files go to our own
// RIFF code (media/avi), every other container to libavformat (media/lavf).
// The operations are those of kmx::IMediaSource; a closed reader has no
// streams.
//
// The reader never shows messages; every operation reports by its result.
#pragma once

#include "media/MediaSource.h"
#include "media/avi/AviMediaSource.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace kmx {
class IByteSource;
}

class CAviReader final : public kmx::IMediaSource {
public:
    CAviReader();
    ~CAviReader() override;
    CAviReader(const CAviReader&) = delete;
    CAviReader& operator=(const CAviReader&) = delete;

    // Opens a file (UTF-8 path). True when the file, its streams and all their
    // formats could be read. An open reader is closed first; a failed Open
    // leaves the reader closed.
    bool Open(const char* name);
    // The same for an AVI file held in memory. The bytes stay the caller's
    // and must remain valid until Close or the next Open.
    bool OpenMemory(const std::uint8_t* data, std::size_t size);
    // The same for an AVI file from any byte source, which the reader then owns.
    bool Open(std::unique_ptr<kmx::IByteSource> source);
    // Safe at any time, also twice.
    void Close();

    // Each as kmx::IMediaSource describes it, for the open file.
    std::uint32_t GetVideoStreamCount() const override { return source_->GetVideoStreamCount(); }
    std::uint32_t GetAudioStreamCount() const override { return source_->GetAudioStreamCount(); }
    bool GetVideoStreamInfo(std::uint32_t index, AVISTREAMINFOA* info,
                            std::int32_t size) const override {
        return source_->GetVideoStreamInfo(index, info, size);
    }
    bool GetAudioStreamInfo(std::uint32_t index, AVISTREAMINFOA* info,
                            std::int32_t size) const override {
        return source_->GetAudioStreamInfo(index, info, size);
    }
    std::int32_t GetVideoLength(std::uint32_t index) const override {
        return source_->GetVideoLength(index);
    }
    std::int32_t GetAudioLength(std::uint32_t index) const override {
        return source_->GetAudioLength(index);
    }
    bool StartVideoRetrieve(std::uint32_t index) override {
        return source_->StartVideoRetrieve(index);
    }
    bool StopVideoRetrieve(std::uint32_t index) override {
        return source_->StopVideoRetrieve(index);
    }
    bool IsRetrieving(std::uint32_t index) const override { return source_->IsRetrieving(index); }
    void GetVideoFrame(std::uint32_t index, std::int32_t frame,
                       const BITMAPINFOHEADER** out) override {
        source_->GetVideoFrame(index, frame, out);
    }
    bool UsePlanarVideo(std::uint32_t index, bool bt709) override {
        return source_->UsePlanarVideo(index, bt709);
    }
    void ReadVideoBackwards(std::uint32_t index) override { source_->ReadVideoBackwards(index); }
    bool BackwardReadingFellShort(std::uint32_t index) const override {
        return source_->BackwardReadingFellShort(index);
    }
    std::int32_t GetKeyFrameAtOrBefore(std::uint32_t index, std::int32_t frame) const override {
        return source_->GetKeyFrameAtOrBefore(index, frame);
    }
    bool GetSampleAspect(std::uint32_t index, std::int32_t* num, std::int32_t* den) const override {
        return source_->GetSampleAspect(index, num, den);
    }
    bool OpenAudioPackets(std::uint32_t index, kmx::MediaCodecDetails* details) override {
        return source_->OpenAudioPackets(index, details);
    }
    bool ReadAudioPacket(kmx::EncodedAudioPacket* packet) override {
        return source_->ReadAudioPacket(packet);
    }
    std::string ContainerName() const override { return source_->ContainerName(); }
    std::string VideoCodecName(std::uint32_t index) const override {
        return source_->VideoCodecName(index);
    }
    std::string AudioCodecName(std::uint32_t index) const override {
        return source_->AudioCodecName(index);
    }
    std::int32_t GetPromisedVideoLength(std::uint32_t index) const override {
        return source_->GetPromisedVideoLength(index);
    }
    bool EndedOnError() const override { return source_->EndedOnError(); }
    bool IsVariableFrameRate(std::uint32_t index) const override {
        return source_->IsVariableFrameRate(index);
    }
    kmx::ScanType GetScanType(std::uint32_t index) const override {
        return source_->GetScanType(index);
    }
    std::int32_t GetDamagedFrameCount(std::uint32_t index) const override {
        return source_->GetDamagedFrameCount(index);
    }
    bool DecodeAudioToPcm(std::uint32_t index) override { return source_->DecodeAudioToPcm(index); }
    const std::uint8_t* GetAudioFormat(std::uint32_t index, std::int32_t* size) const override {
        return source_->GetAudioFormat(index, size);
    }
    std::int32_t ReadAudio(std::uint32_t index, std::int32_t first, std::int32_t count,
                           void* buffer, std::int32_t bufferSize, std::int32_t* bytesRead,
                           std::int32_t* samplesRead) override {
        return source_->ReadAudio(index, first, count, buffer, bufferSize, bytesRead, samplesRead);
    }

private:
    // The open file's source, or closed_ (no streams) while none is open.
    std::unique_ptr<kmx::IMediaSource> open_;
    kmx::CAviMediaSource closed_;
    kmx::IMediaSource* source_ = &closed_;
};
