// MP4, MOV, Matroska and WebM files written by libavformat's muxers through
// our FileSink (so that replacing, locking and a full disk are handled as for
// AVI). Packets are interleaved by their time stamps.
//
// An MP4 or MOV is written in fragments while the run goes on (a fragment at
// every key frame and at least every second), so that a killed run leaves a
// file that plays up to its last fragment; Finish then writes it anew with
// its index before the media data, so that a browser starts playing at
// once. Matroska and WebM are readable when cut by their nature; their cues
// are written at Finish.
#pragma once

#include "media/MediaSink.h"
#include "media/OutputContainer.h"
#include "media/io/FileSink.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kmx {

class CLavfMediaSink final : public IMediaSink {
public:
    explicit CLavfMediaSink(OutputContainer container);
    ~CLavfMediaSink() override;
    CLavfMediaSink(const CLavfMediaSink&) = delete;
    CLavfMediaSink& operator=(const CLavfMediaSink&) = delete;

    bool Create(const char* name) override;
    int AddStream(const MediaStreamSetup& setup) override;
    bool Begin() override;
    bool WritePacket(int stream, const MediaPacket& packet) override;
    // WritePacket hands each packet over already.
    bool Flush() override { return !file_.Failed(); }
    bool Finish() override;
    int ErrorNumber() const override;

private:
    struct State;
    // Where a stream's packets end (the last one's decoding time and
    // duration), in the time base num/den the muxer counts in.
    struct StreamEnd {
        std::int64_t end = 0;
        int num = 0;
        int den = 1;
    };
    // Writes the fragmented file again with its index first; false leaves
    // the fragmented file as it is.
    bool MoveIndexToFront();

    OutputContainer container_;
    std::string path_;
    FileSink file_;
    std::unique_ptr<State> state_;
    // Kept for MoveIndexToFront: libavformat's MP4 reader gives the packets
    // of fragments no durations, and a last packet that ends where it
    // begins falls outside the track's edit list.
    std::vector<StreamEnd> ends_;
    int error_ = 0;
};

} // namespace kmx
