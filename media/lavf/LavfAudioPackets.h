// The packets of one audio stream of a libavformat input as the file holds
// them, for a run that copies them into another container: their codec
// details, then each packet with its time in samples, counted so that
// sample 0 is the first sample after the encoder's delay (the sample that
// the decoded PCM calls 0).
#pragma once

#include "media/MediaSink.h"
#include "media/MediaSource.h"
#include "media/decode/AvPointers.h"
#include "media/lavf/LavfInput.h"

#include <cstdint>

namespace kmx {

class CLavfAudioPackets {
public:
    // The input to read, to be opened by the caller before Open.
    CLavfInput& Input() { return input_; }
    // Takes the audio stream of that number; skipStart: the samples the
    // container says to drop at the start. False when the stream's
    // parameters are not believable.
    bool Open(int stream, std::int64_t skipStart, MediaCodecDetails* details);
    // False at the end or when the file cannot be read further.
    bool Next(EncodedAudioPacket* packet);

private:
    CLavfInput input_;
    AvPacketPtr packet_; // the packet read into, kept from call to call
    int stream_ = -1;
    int sampleRate_ = 0;
    std::int64_t frameSize_ = 0; // samples of a packet without a duration
    std::int64_t skipStart_ = 0;
    std::int64_t firstPts_ = 0;
    bool first_ = true;
    std::int64_t nextPts_ = 0; // for packets without a time stamp
};

} // namespace kmx
