#include "media/AviWriter.h"

#include "media/avi/AviMediaSink.h"
#include "media/avi/RiffAviWriter.h"
#include "media/lavf/LavfMediaSink.h"

#include <algorithm>
#include <limits>
#include <new>
#include <vector>

namespace {

bool CopyFormat(const void* format, std::int32_t size, std::vector<std::uint8_t>* out) {
    if (format == nullptr || size <= 0 ||
        static_cast<std::uint32_t>(size) > kmx::RiffAviWriter::kMaxFormatSize) {
        return false;
    }
    const auto* bytes = static_cast<const std::uint8_t*>(format);
    try {
        out->assign(bytes, bytes + size);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool CopyDetails(const kmx::MediaCodecDetails& details, kmx::MediaCodecDetails* out) {
    try {
        *out = details;
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

} // namespace

struct CAviWriter::State {
    std::unique_ptr<kmx::IMediaSink> sink;
    bool open = false;
    bool begun = false; // the sink's layout is fixed

    bool hasVideo = false;
    bool hasAudio = false;
    AVISTREAMINFOA videoHeader{};
    AVISTREAMINFOA audioHeader{};
    kmx::MediaCodecDetails videoDetails;
    kmx::MediaCodecDetails audioDetails;
    std::vector<std::uint8_t> videoFormat; // empty until SetVideoFormat
    std::vector<std::uint8_t> audioFormat;
    int videoStream = -1; // stream numbers in the file, -1 when not in it
    int audioStream = -1;

    std::int32_t videoPosition = 0;
    std::int32_t audioPosition = 0;
    // One past the last video frame the sink took; the frames between it
    // and videoPosition become dropped frames.
    std::int32_t videoWritten = 0;
    // errno of the file's last failure, kept after the sink is gone.
    int error = 0;

    // Sets up the sink's streams and writes its headers once the first
    // sample arrives (or at Close). The streams that have a format go into
    // the file, video first; the layout is fixed from then on.
    bool Commit() {
        if (begun) {
            return true;
        }
        begun = true;
        if (hasVideo && !videoFormat.empty()) {
            videoStream = AddStream(videoHeader, videoFormat, videoDetails, true);
        }
        if (hasAudio && !audioFormat.empty()) {
            audioStream = AddStream(audioHeader, audioFormat, audioDetails, false);
        }
        return sink->Begin();
    }

    int AddStream(const AVISTREAMINFOA& header, const std::vector<std::uint8_t>& format,
                  const kmx::MediaCodecDetails& details, bool video) {
        kmx::MediaStreamSetup setup;
        setup.video = video;
        setup.header = header;
        try {
            setup.format = format;
            setup.details = details;
        } catch (const std::bad_alloc&) {
            return -1;
        }
        return sink->AddStream(setup);
    }

    void Reset() {
        sink.reset();
        open = false;
        begun = false;
        hasVideo = false;
        hasAudio = false;
        videoHeader = {};
        audioHeader = {};
        videoFormat.clear();
        audioFormat.clear();
        videoDetails = {};
        audioDetails = {};
        videoStream = -1;
        audioStream = -1;
        videoPosition = 0;
        audioPosition = 0;
        videoWritten = 0;
    }
};

CAviWriter::CAviWriter() : state_(std::make_unique<State>()) {}

CAviWriter::~CAviWriter() {
    Close();
}

bool CAviWriter::Create(const char* name) {
    return Create(name, kmx::OutputContainer::Avi);
}

bool CAviWriter::Create(const char* name, kmx::OutputContainer container) {
    Close();
    if (name == nullptr || *name == '\0') {
        return false;
    }
    try {
        if (container == kmx::OutputContainer::Avi) {
            state_->sink = std::make_unique<kmx::CAviMediaSink>();
        } else {
            state_->sink = std::make_unique<kmx::CLavfMediaSink>(container);
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    state_->error = 0;
    if (!state_->sink->Create(name)) {
        state_->error = state_->sink->ErrorNumber();
        state_->sink.reset();
        return false;
    }
    state_->open = true;
    return true;
}

bool CAviWriter::Close() {
    State& s = *state_;
    if (!s.open) {
        return true;
    }
    bool ok = s.Commit();
    if (s.videoStream >= 0 && s.videoWritten < s.videoPosition) {
        kmx::MediaPacket dropped;
        dropped.pts = s.videoPosition - 1;
        dropped.dts = dropped.pts;
        ok = s.sink->WritePacket(s.videoStream, dropped) && ok;
    }
    ok = s.sink->Finish() && ok;
    if (!ok) {
        s.error = s.sink->ErrorNumber();
    }
    s.Reset();
    return ok;
}

bool CAviWriter::CreateVideoStream(const AVISTREAMINFOA& header) {
    State& s = *state_;
    if (!s.open || s.hasVideo || s.begun) {
        return false;
    }
    s.videoHeader = header;
    s.hasVideo = true;
    return true;
}

bool CAviWriter::CreateAudioStream(const AVISTREAMINFOA& header) {
    State& s = *state_;
    if (!s.open || s.hasAudio || s.begun) {
        return false;
    }
    s.audioHeader = header;
    s.hasAudio = true;
    return true;
}

bool CAviWriter::SetVideoFormat(const void* format, std::int32_t size) {
    State& s = *state_;
    if (!s.hasVideo || s.begun) {
        return false;
    }
    return CopyFormat(format, size, &s.videoFormat);
}

bool CAviWriter::SetAudioFormat(const void* format, std::int32_t size) {
    State& s = *state_;
    if (!s.hasAudio || s.begun) {
        return false;
    }
    return CopyFormat(format, size, &s.audioFormat);
}

bool CAviWriter::SetVideoDetails(const kmx::MediaCodecDetails& details) {
    const State& s = *state_;
    return s.hasVideo && !s.begun && CopyDetails(details, &state_->videoDetails);
}

bool CAviWriter::SetAudioDetails(const kmx::MediaCodecDetails& details) {
    const State& s = *state_;
    return s.hasAudio && !s.begun && CopyDetails(details, &state_->audioDetails);
}

bool CAviWriter::WriteHeaders() {
    State& s = *state_;
    return s.open && s.Commit();
}

bool CAviWriter::WriteVideoFrame(const void* data, std::int32_t size, std::int32_t key) {
    const std::int32_t number = state_->videoPosition;
    return WriteVideoFrame(data, size, key, number, number);
}

bool CAviWriter::WriteVideoFrame(const void* data, std::int32_t size, std::int32_t key,
                                 std::int64_t pts, std::int64_t dts) {
    State& s = *state_;
    if (!s.hasVideo || s.videoPosition == std::numeric_limits<std::int32_t>::max()) {
        return false;
    }
    // The frame takes its position whether or not the write succeeds.
    const std::int32_t number = s.videoPosition++;
    if (size < 0 || (data == nullptr && size > 0) ||
        static_cast<std::uint32_t>(size) > kmx::RiffAviWriter::kMaxChunkSize) {
        return false;
    }
    // Without a format the frame cannot be written, but the file's layout
    // stays open so that the format can still be set.
    if (s.videoFormat.empty() || !s.Commit() || s.videoStream < 0) {
        return false;
    }
    kmx::MediaPacket packet;
    packet.data = data;
    packet.size = static_cast<std::uint32_t>(size);
    packet.pts = pts;
    packet.dts = dts;
    packet.key = key != 0;
    if (!s.sink->WritePacket(s.videoStream, packet)) {
        return false;
    }
    s.videoWritten = number + 1;
    return true;
}

bool CAviWriter::WriteAudio(const void* data, std::int32_t bytes, std::int32_t samples) {
    State& s = *state_;
    if (!s.hasAudio || bytes < 0 || samples < 0 || (data == nullptr && bytes > 0) ||
        static_cast<std::uint32_t>(bytes) > kmx::RiffAviWriter::kMaxChunkSize) {
        return false;
    }
    if (s.audioFormat.empty() || !s.Commit() || s.audioStream < 0) {
        return false;
    }
    // With a fixed sample size only whole samples are written, and no more
    // than asked for; the position advances by what was written.
    std::int32_t written = samples;
    std::int32_t chunkBytes = bytes;
    const std::uint32_t sampleSize = s.audioHeader.dwSampleSize;
    if (sampleSize != 0) {
        written = std::min<std::int32_t>(
            samples, static_cast<std::int32_t>(static_cast<std::uint32_t>(bytes) / sampleSize));
        chunkBytes = static_cast<std::int32_t>(static_cast<std::uint32_t>(written) * sampleSize);
    } else if (samples > 1) {
        // Without a fixed sample size a chunk is one sample: several samples
        // in one chunk would be taken for one by every reader.
        return false;
    }
    if (written > std::numeric_limits<std::int32_t>::max() - s.audioPosition) {
        return false;
    }
    if (written == 0 && chunkBytes == 0) {
        return true;
    }
    kmx::MediaPacket packet;
    packet.data = data;
    packet.size = static_cast<std::uint32_t>(chunkBytes);
    packet.pts = s.audioPosition;
    packet.dts = s.audioPosition;
    packet.duration = written;
    packet.key = true;
    if (!s.sink->WritePacket(s.audioStream, packet)) {
        return false;
    }
    s.audioPosition += written;
    return true;
}

bool CAviWriter::WriteAudioPacket(const void* data, std::int32_t bytes, std::int64_t pts,
                                  std::int32_t duration, std::int64_t discardEnd) {
    State& s = *state_;
    if (!s.hasAudio || bytes < 0 || duration < 0 || (data == nullptr && bytes > 0) ||
        s.audioFormat.empty() || !s.Commit() || s.audioStream < 0) {
        return false;
    }
    kmx::MediaPacket packet;
    packet.data = data;
    packet.size = static_cast<std::uint32_t>(bytes);
    packet.pts = pts;
    packet.dts = pts;
    packet.duration = duration;
    packet.key = true;
    packet.discardEnd = discardEnd;
    return s.sink->WritePacket(s.audioStream, packet);
}

bool CAviWriter::Flush() {
    const State& s = *state_;
    return !s.open || !s.begun || s.sink->Flush();
}

int CAviWriter::ErrorNumber() const {
    return state_->sink ? state_->sink->ErrorNumber() : state_->error;
}

std::int32_t CAviWriter::VideoPosition() const {
    return state_->videoPosition;
}

std::int32_t CAviWriter::AudioPosition() const {
    return state_->audioPosition;
}
