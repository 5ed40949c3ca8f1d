// The index of a libavformat input, built by demuxing every packet once:
// where each video packet lies and what it is, in decoding order, and the
// first audio stream decoded to PCM on the way.
#pragma once

#include "media/decode/PcmAudio.h"

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace kmx {

class CLavfInput;

struct LavfPacket {
    std::int64_t pos = -1;
    std::int64_t dts = 0; // AV_NOPTS_VALUE when unknown
    std::int64_t pts = 0;
    std::int64_t duration = 0; // 0 when unknown
    std::uint32_t size = 0;
    bool key = false;
};

// What tells a packet apart when the demuxer delivers it again after a seek:
// its position and presentation time (not its decoding time, which the
// demuxer may have to guess differently after a seek).
using LavfPacketKey = std::pair<std::int64_t, std::int64_t>;

struct LavfVideoIndex {
    std::vector<LavfPacket> packets;
    std::uint32_t largest = 0;
    bool keysKnown = false;
    bool cut = false; // a packet cut short by the file's end was left out
    // Packet key -> packet number; -1 for a key several packets share.
    std::map<LavfPacketKey, std::int32_t> byKey;

    std::int32_t Identify(const LavfPacketKey& key) const;
};

struct LavfAudio {
    CPcmAudio pcm;
    // Sample frames the container says to drop at the start and the end
    // (encoder delay and padding).
    std::int64_t skipStart = 0;
    std::int64_t skipEnd = 0;
    // The first packet's presentation time (in the stream's unit), which
    // belongs to the first decoded sample, the encoder delay included.
    bool hasFirstPts = false;
    std::int64_t firstPts = 0;
};

LavfPacketKey KeyOf(std::int64_t pos, std::int64_t pts);

// Reads the whole input once. videoStream / audioStream: stream numbers, or
// -1 for none; audio must be open already. False when memory runs out or
// the PCM cannot be stored.
bool BuildLavfIndex(CLavfInput& input, int videoStream, int audioStream, LavfVideoIndex& video,
                    LavfAudio* audio);

} // namespace kmx
