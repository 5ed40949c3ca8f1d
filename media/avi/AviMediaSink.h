// An AVI file written by our own RIFF code: at most one video and one audio
// stream, the OpenDML extension past 1 GiB. A gap in the video's time
// stamps becomes empty chunks (dropped frames), so that every frame lands
// at its own position.
#pragma once

#include "media/MediaSink.h"
#include "media/avi/RiffAviWriter.h"
#include "media/io/FileSink.h"

#include <memory>
#include <vector>

namespace kmx {

class CAviMediaSink final : public IMediaSink {
public:
    CAviMediaSink() = default;
    ~CAviMediaSink() override;
    CAviMediaSink(const CAviMediaSink&) = delete;
    CAviMediaSink& operator=(const CAviMediaSink&) = delete;

    bool Create(const char* name) override;
    int AddStream(const MediaStreamSetup& setup) override;
    bool Begin() override;
    bool WritePacket(int stream, const MediaPacket& packet) override;
    bool Flush() override { return file_.Flush(); }
    bool Finish() override;
    int ErrorNumber() const override { return file_.LastError(); }

private:
    FileSink file_;
    std::vector<AviStreamSetup> streams_;
    std::unique_ptr<RiffAviWriter> layout_; // exists once Begin was called
};

} // namespace kmx
