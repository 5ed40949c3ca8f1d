#include "media/lavf/LavfIndex.h"

#include "media/decode/SkipSamples.h"
#include "media/io/ByteOrder.h"
#include "media/lavf/LavfInput.h"

#include <algorithm>
#include <new>

extern "C" {
#include <libavformat/avformat.h>
}

namespace kmx {
namespace {

// More packets than this are left out of the index (about 40 bytes each).
constexpr std::size_t kMaxPackets = std::size_t{1} << 24;

// A packet shorter than the container's index says it is: the file was cut
// inside it. Only containers with a sample index (MP4, MOV) can tell.
bool IsPartial(const AVStream& stream, const AVPacket& packet) {
    if (packet.pos < 0) {
        return false;
    }
    const AVIndexEntry* entry = avformat_index_get_entry_from_timestamp(
        const_cast<AVStream*>(&stream), packet.dts, AVSEEK_FLAG_ANY | AVSEEK_FLAG_BACKWARD);
    return entry != nullptr && entry->pos == packet.pos && entry->size > packet.size;
}

void AddVideo(const AVPacket& packet, LavfVideoIndex& video) {
    if (video.packets.size() >= kMaxPackets || packet.size < 0) {
        return;
    }
    LavfPacket entry;
    entry.pos = packet.pos;
    entry.dts = packet.dts;
    entry.pts = packet.pts;
    entry.duration = std::max<std::int64_t>(packet.duration, 0);
    entry.size = static_cast<std::uint32_t>(packet.size);
    entry.key = (packet.flags & AV_PKT_FLAG_KEY) != 0;
    video.keysKnown = video.keysKnown || entry.key;
    video.largest = std::max(video.largest, entry.size);
    const std::int32_t number = static_cast<std::int32_t>(video.packets.size());
    const auto [it, added] = video.byKey.emplace(KeyOf(entry.pos, entry.pts), number);
    if (!added) {
        it->second = -1;
    }
    video.packets.push_back(entry);
}

// The encoder delay and padding a packet's side data names.
void AddSkip(const AVPacket& packet, LavfAudio& audio, bool first) {
    const SkipSamples skip = ReadSkipSamples(packet);
    if (first) {
        audio.skipStart = skip.start;
        audio.hasFirstPts = packet.pts != AV_NOPTS_VALUE;
        audio.firstPts = audio.hasFirstPts ? packet.pts : 0;
    }
    audio.skipEnd = skip.end;
}

} // namespace

LavfPacketKey KeyOf(std::int64_t pos, std::int64_t pts) {
    return {pos, pts};
}

std::int32_t LavfVideoIndex::Identify(const LavfPacketKey& key) const {
    const auto it = byKey.find(key);
    return it == byKey.end() ? -1 : it->second;
}

bool BuildLavfIndex(CLavfInput& input, int videoStream, int audioStream, LavfVideoIndex& video,
                    LavfAudio* audio) {
    AvPacketPtr packet(av_packet_alloc());
    if (packet == nullptr) {
        return false;
    }
    bool firstAudio = true;
    try {
        while (input.Read(packet.get())) {
            if (packet->stream_index == videoStream) {
                if (IsPartial(*input.Context()->streams[videoStream], *packet)) {
                    video.cut = true; // a picture that cannot be decoded whole
                    continue;
                }
                AddVideo(*packet, video);
            } else if (audio != nullptr && packet->stream_index == audioStream) {
                AddSkip(*packet, *audio, firstAudio);
                firstAudio = false;
                if (!audio->pcm.Decode(packet->data, static_cast<std::size_t>(packet->size))) {
                    return false;
                }
            }
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    av_packet_unref(packet.get());
    return audio == nullptr || audio->pcm.Finish();
}

} // namespace kmx
