#include "media/AviWriter.h"

#include "media/FileSink.h"
#include "media/RiffAviWriter.h"

#include <algorithm>
#include <fcntl.h>
#include <limits>
#include <new>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Replaces an existing file of that name with a new one opened in sink. Only
// regular files and symbolic links are removed: a device node, FIFO or folder
// of that name is left alone (opening it then decides), so that an output
// name like /dev/null can never delete a device. A regular file is deleted only when no other run
// holds it (as its output, or as an input it is reading): false, with nothing deleted, otherwise.
// The lock taken to find that out is held until the new file is created and locked, so no other run
// can slip in between.
bool ReplaceFile(const char* name, kmx::FileSink& sink) {
    struct stat info {};
    if (::lstat(name, &info) != 0) {
        return sink.Open(name);
    }
    if (S_ISLNK(info.st_mode)) {
        ::unlink(name);
        return sink.Open(name);
    }
    if (!S_ISREG(info.st_mode)) {
        return sink.Open(name);
    }
    const int held = ::open(name, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (held < 0 || ::flock(held, LOCK_EX | LOCK_NB) != 0) {
        if (held >= 0) {
            ::close(held);
        }
        return false;
    }
    ::unlink(name);
    const bool created = sink.Open(name);
    ::close(held);
    return created;
}

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

} // namespace

struct CAviWriter::State {
    kmx::FileSink sink;
    std::unique_ptr<kmx::RiffAviWriter> layout; // exists once the header is written
    bool open = false;

    bool hasVideo = false;
    bool hasAudio = false;
    AVISTREAMINFOA videoHeader{};
    AVISTREAMINFOA audioHeader{};
    std::vector<std::uint8_t> videoFormat; // empty until SetVideoFormat
    std::vector<std::uint8_t> audioFormat;
    int videoStream = -1; // stream numbers in the file, -1 when not in it
    int audioStream = -1;

    std::int32_t videoPosition = 0;
    std::int32_t audioPosition = 0;

    // Writes the header once the first sample arrives (or at Close). The
    // streams that have a format go into the file, video first; the layout
    // is fixed from then on.
    bool Commit() {
        if (layout) {
            return true;
        }
        std::vector<kmx::AviStreamSetup> setups;
        try {
            layout = std::make_unique<kmx::RiffAviWriter>(sink);
            if (hasVideo && !videoFormat.empty()) {
                videoStream = static_cast<int>(setups.size());
                setups.push_back({videoHeader, videoFormat, true});
            }
            if (hasAudio && !audioFormat.empty()) {
                audioStream = static_cast<int>(setups.size());
                setups.push_back({audioHeader, audioFormat, false});
            }
        } catch (const std::bad_alloc&) {
            layout.reset();
            videoStream = -1;
            audioStream = -1;
            return false;
        }
        return layout->Begin(setups);
    }

    // Empty chunks for the frames whose writing failed before `upTo`, so
    // that every later frame lands at its own position.
    bool FillDroppedFrames(std::int32_t upTo) {
        const auto stream = static_cast<std::size_t>(videoStream);
        while (layout->ChunkCount(stream) < static_cast<std::size_t>(upTo)) {
            if (!layout->WriteChunk(stream, nullptr, 0, false, 1)) {
                return false;
            }
        }
        return true;
    }

    void Reset() {
        layout.reset();
        open = false;
        hasVideo = false;
        hasAudio = false;
        videoHeader = {};
        audioHeader = {};
        videoFormat.clear();
        audioFormat.clear();
        videoStream = -1;
        audioStream = -1;
        videoPosition = 0;
        audioPosition = 0;
    }
};

CAviWriter::CAviWriter() : state_(std::make_unique<State>()) {}

CAviWriter::~CAviWriter() {
    Close();
}

bool CAviWriter::Create(const char* name) {
    Close();
    if (name == nullptr || *name == '\0') {
        return false;
    }
    if (!ReplaceFile(name, state_->sink)) {
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
    if (s.layout) {
        if (s.videoStream >= 0 && !s.layout->WriteFailed()) {
            ok = s.FillDroppedFrames(s.videoPosition) && ok;
        }
        ok = s.layout->Finish() && ok;
    }
    ok = s.sink.Close() && ok;
    s.Reset();
    return ok;
}

bool CAviWriter::CreateVideoStream(const AVISTREAMINFOA& header) {
    State& s = *state_;
    if (!s.open || s.hasVideo || s.layout) {
        return false;
    }
    s.videoHeader = header;
    s.hasVideo = true;
    return true;
}

bool CAviWriter::CreateAudioStream(const AVISTREAMINFOA& header) {
    State& s = *state_;
    if (!s.open || s.hasAudio || s.layout) {
        return false;
    }
    s.audioHeader = header;
    s.hasAudio = true;
    return true;
}

bool CAviWriter::SetVideoFormat(const void* format, std::int32_t size) {
    State& s = *state_;
    if (!s.hasVideo || s.layout) {
        return false;
    }
    return CopyFormat(format, size, &s.videoFormat);
}

bool CAviWriter::SetAudioFormat(const void* format, std::int32_t size) {
    State& s = *state_;
    if (!s.hasAudio || s.layout) {
        return false;
    }
    return CopyFormat(format, size, &s.audioFormat);
}

bool CAviWriter::WriteHeaders() {
    State& s = *state_;
    return s.open && s.Commit();
}

bool CAviWriter::WriteVideoFrame(const void* data, std::int32_t size, std::int32_t key) {
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
    if (s.videoFormat.empty() || !s.Commit() || s.videoStream < 0 || !s.FillDroppedFrames(number)) {
        return false;
    }
    return s.layout->WriteChunk(static_cast<std::size_t>(s.videoStream), data,
                                static_cast<std::uint32_t>(size), key != 0, 1);
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
    if (!s.layout->WriteChunk(static_cast<std::size_t>(s.audioStream), data,
                              static_cast<std::uint32_t>(chunkBytes), true,
                              static_cast<std::uint32_t>(written))) {
        return false;
    }
    s.audioPosition += written;
    return true;
}

std::int32_t CAviWriter::VideoPosition() const {
    return state_->videoPosition;
}

std::int32_t CAviWriter::AudioPosition() const {
    return state_->audioPosition;
}
