#include "media/avi/AviMediaSink.h"

#include <new>

namespace kmx {

CAviMediaSink::~CAviMediaSink() {
    Finish();
}

bool CAviMediaSink::Create(const char* name) {
    Finish();
    return name != nullptr && *name != '\0' && file_.Replace(name);
}

int CAviMediaSink::AddStream(const MediaStreamSetup& setup) {
    if (!file_.IsOpen() || layout_ || streams_.size() >= RiffAviWriter::kMaxStreams ||
        setup.format.size() > RiffAviWriter::kMaxFormatSize) {
        return -1;
    }
    try {
        streams_.push_back({setup.header, setup.format, setup.video});
    } catch (const std::bad_alloc&) {
        return -1;
    }
    return static_cast<int>(streams_.size() - 1);
}

bool CAviMediaSink::Begin() {
    if (!file_.IsOpen() || layout_) {
        return false;
    }
    try {
        layout_ = std::make_unique<RiffAviWriter>(file_);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return layout_->Begin(streams_);
}

bool CAviMediaSink::WritePacket(int stream, const MediaPacket& packet) {
    if (!layout_ || stream < 0 || static_cast<std::size_t>(stream) >= streams_.size() ||
        packet.pts < 0 || packet.duration < 0 || packet.duration > UINT32_MAX) {
        return false;
    }
    const auto number = static_cast<std::size_t>(stream);
    if (streams_[number].video) {
        // Frames that never came are dropped frames: empty chunks.
        while (layout_->ChunkCount(number) < static_cast<std::uint64_t>(packet.pts)) {
            if (!layout_->WriteChunk(number, nullptr, 0, false, 1)) {
                return false;
            }
        }
    }
    return layout_->WriteChunk(number, packet.data, packet.size, packet.key,
                               static_cast<std::uint32_t>(packet.duration));
}

bool CAviMediaSink::Finish() {
    if (!file_.IsOpen()) {
        return true;
    }
    bool ok = layout_ == nullptr || layout_->Finish();
    ok = file_.Close() && ok;
    layout_.reset();
    streams_.clear();
    return ok;
}

} // namespace kmx
