#include "media/lavf/LavfSampleSource.h"

#include "media/io/ByteSource.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavformat/avformat.h>
}

namespace kmx {
namespace {

// Packets read after a seek before giving up on finding the wanted one.
constexpr std::int32_t kMaxScanAfterSeek = 1 << 16;

} // namespace

bool CLavfSampleSource::OpenFile(const char* path, int stream) {
    return input_.OpenFile(path) && Prepare(stream);
}

bool CLavfSampleSource::OpenMemory(const std::uint8_t* data, std::size_t size, int stream) {
    return input_.OpenMemory(data, size) && Prepare(stream);
}

bool CLavfSampleSource::Prepare(int stream) {
    AVFormatContext* context = input_.Context();
    if (stream < 0 || static_cast<unsigned>(stream) >= context->nb_streams) {
        return false;
    }
    packet_.reset(av_packet_alloc());
    if (packet_ == nullptr) {
        return false;
    }
    stream_ = stream;
    next_ = 0;
    DiscardOthers();
    return true;
}

// The demuxer passes over the other streams' packets without delivering them.
void CLavfSampleSource::DiscardOthers() const {
    AVFormatContext* context = input_.Context();
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        context->streams[i]->discard =
            static_cast<int>(i) == stream_ ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    }
}

std::int32_t CLavfSampleSource::SampleCount() const {
    return static_cast<std::int32_t>(index_.packets.size());
}

std::uint32_t CLavfSampleSource::SampleSize(std::int32_t sample) const {
    return sample >= 0 && sample < SampleCount()
               ? index_.packets[static_cast<std::size_t>(sample)].size
               : 0;
}

bool CLavfSampleSource::IsKeySample(std::int32_t sample) const {
    return sample >= 0 && sample < SampleCount() &&
           index_.packets[static_cast<std::size_t>(sample)].key;
}

bool CLavfSampleSource::FetchSample(std::int32_t sample) const {
    if (packet_ == nullptr || sample < 0 || sample >= SampleCount()) {
        return false;
    }
    const bool found = sample == next_ ? NextVideoPacket() : SeekTo(sample);
    const LavfPacket& entry = index_.packets[static_cast<std::size_t>(sample)];
    if (!found || packet_->size < 0 || static_cast<std::uint32_t>(packet_->size) != entry.size) {
        next_ = -1;
        return false;
    }
    next_ = sample + 1;
    return true;
}

bool CLavfSampleSource::ReadSample(std::int32_t sample, std::uint8_t* out) const {
    if (!FetchSample(sample)) {
        return false;
    }
    std::memcpy(out, packet_->data, static_cast<std::size_t>(packet_->size));
    return true;
}

bool CLavfSampleSource::ReadSamplePieces(std::int32_t sample, const ReadPiece* pieces,
                                         std::size_t count) const {
    if (!FetchSample(sample)) {
        return false;
    }
    CMemorySource packet(packet_->data, static_cast<std::size_t>(packet_->size));
    return packet.ReadPiecesAt(0, pieces, count);
}

// Reads on to the next packet of the video stream.
bool CLavfSampleSource::NextVideoPacket() const {
    while (input_.Read(packet_.get())) {
        if (packet_->stream_index == stream_) {
            return true;
        }
    }
    return false;
}

bool CLavfSampleSource::SeekTo(std::int32_t sample) const {
    ++seeks_;
    if (SeekNear(sample) && ScanTo(sample)) {
        return true;
    }
    return ReadFromStart(sample);
}

// Seeks to the key packet at or before the sample, by its earliest time.
bool CLavfSampleSource::SeekNear(std::int32_t sample) const {
    std::int32_t key = sample;
    while (key > 0 && !index_.packets[static_cast<std::size_t>(key)].key) {
        --key;
    }
    const LavfPacket& entry = index_.packets[static_cast<std::size_t>(key)];
    std::int64_t ts = entry.dts;
    if (ts == AV_NOPTS_VALUE || (entry.pts != AV_NOPTS_VALUE && entry.pts < ts)) {
        ts = entry.pts;
    }
    return ts != AV_NOPTS_VALUE &&
           av_seek_frame(input_.Context(), stream_, ts, AVSEEK_FLAG_BACKWARD) >= 0;
}

// Reads forward after a seek until the sample; false when the demuxer lands
// past it or cannot tell where it is.
bool CLavfSampleSource::ScanTo(std::int32_t sample) const {
    std::int32_t at = -1;
    for (std::int32_t n = 0; n < kMaxScanAfterSeek; ++n) {
        if (!NextVideoPacket()) {
            return false;
        }
        const std::int32_t known = index_.Identify(KeyOf(packet_->pos, packet_->pts));
        at = known >= 0 ? known : (at >= 0 ? at + 1 : -1);
        if (at == sample) {
            return true;
        }
        if (at > sample) {
            return false;
        }
    }
    return false;
}

bool CLavfSampleSource::ReadFromStart(std::int32_t sample) const {
    ++rewinds_;
    if (!input_.Reopen()) {
        return false;
    }
    DiscardOthers();
    for (std::int32_t at = 0; NextVideoPacket(); ++at) {
        if (at == sample) {
            return true;
        }
    }
    return false;
}

} // namespace kmx
