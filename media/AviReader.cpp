#include "media/AviReader.h"

#include "media/AviAudioPcm.h"
#include "media/AviChunkIds.h"
#include "media/AviIndex.h"
#include "media/AviParser.h"
#include "media/AviParserStreamInfo.h"
#include "media/ByteOrder.h"
#include "media/LavfReader.h"
#include "media/RiffFileReader.h"
#include "media/VideoDecoder.h"

#include <algorithm>
#include <climits>
#include <new>
#include <vector>

namespace {

struct Stream {
    int number = 0;
    AVISTREAMINFOA info{};
    std::vector<std::uint8_t> format;
    kmx::AviStreamIndex index;
    std::int32_t length = 0;
    // Video: the time of the sample one past the last one.
    std::int64_t endTime = 0;
    std::unique_ptr<kmx::CAviSampleSource> source;
    std::unique_ptr<kmx::CVideoDecoder> decoder;
    // Audio with a fixed sample size: where each chunk starts in the
    // stream's bytes (one more entry: the total).
    std::vector<std::uint64_t> byteStarts;
    // Audio delivered as decoded PCM (DecodeAudioToPcm); null otherwise.
    std::unique_ptr<kmx::CPcmAudio> pcm;
};

std::int32_t ClampToInt32(std::uint64_t value) {
    return static_cast<std::int32_t>(std::min<std::uint64_t>(value, INT32_MAX));
}

// A file that begins "RIFF....AVI " is ours, however damaged the rest.
bool IsRiffAvi(const kmx::IByteSource& file) {
    std::uint8_t head[12] = {};
    return file.Size() < sizeof head || !file.ReadAt(0, head, sizeof head) ||
           (kmx::LoadU32(head) == kmx::kRiff && kmx::LoadU32(head + 8) == kmx::kAvi);
}

void SetCounts(std::int32_t* bytesRead, std::int32_t* samplesRead, std::int64_t bytes,
               std::int64_t samples) {
    if (bytesRead != nullptr) {
        *bytesRead = static_cast<std::int32_t>(bytes);
    }
    if (samplesRead != nullptr) {
        *samplesRead = static_cast<std::int32_t>(samples);
    }
}

} // namespace

struct CAviReader::State {
    // A file of another container, read through libavformat.
    std::unique_ptr<kmx::CLavfReader> other;
    std::unique_ptr<kmx::IByteSource> source;
    std::vector<Stream> audio;
    std::vector<Stream> video;

    bool Load(std::unique_ptr<kmx::IByteSource> from);
    void PrepareAudio(Stream& stream);
    void PrepareVideo(Stream& stream, const kmx::AviLayout& layout);
    std::int32_t ReadFixed(const Stream& stream, std::int64_t first, std::int64_t want,
                           std::uint8_t* buffer, std::int64_t bufferSize, std::int32_t* bytesRead,
                           std::int32_t* samplesRead) const;
    std::int32_t ReadChunks(const Stream& stream, std::int64_t first, std::int64_t want,
                            std::uint8_t* buffer, std::int64_t bufferSize, std::int32_t* bytesRead,
                            std::int32_t* samplesRead) const;
    const Stream* VideoWithDecoder(std::uint32_t index) const;
};

bool CAviReader::State::Load(std::unique_ptr<kmx::IByteSource> from) {
    source = std::move(from);
    const kmx::IByteSource& file = *source;
    kmx::AviLayout layout;
    if (!kmx::ParseAviLayout(file, layout)) {
        return false;
    }
    std::vector<int> numbers;
    for (kmx::AviStreamList& list : layout.streams) {
        const bool isAudio = list.fccType == kmx::kAuds && audio.size() < kMaxStreams;
        const bool isVideo = list.fccType == kmx::kVids && video.size() < kMaxStreams;
        if (!isAudio && !isVideo) {
            continue;
        }
        // A stream whose header or format cannot be read makes the file
        // unreadable, whatever its kind.
        const std::size_t minFormat = isVideo ? kmx::kMinVideoFormatSize : kmx::kMinAudioFormatSize;
        if (list.header.size() < kmx::kMinStreamHeaderSize || !list.hasFormat ||
            list.format.size() < minFormat) {
            return false;
        }
        Stream stream;
        stream.number = list.number;
        stream.format = list.format;
        (isAudio ? audio : video).push_back(std::move(stream));
        numbers.push_back(list.number);
    }

    std::vector<kmx::AviStreamIndex> indexes;
    if (!kmx::BuildAviIndexes(file, layout, numbers, indexes)) {
        return false;
    }
    // indexes[i] belongs to the stream numbered numbers[i].
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        for (std::vector<Stream>* kind : {&audio, &video}) {
            for (Stream& stream : *kind) {
                if (stream.number == numbers[i]) {
                    stream.index = std::move(indexes[i]);
                }
            }
        }
    }
    for (Stream& stream : audio) {
        kmx::MakeStreamInfo(layout.streams[static_cast<std::size_t>(stream.number)], layout, 0,
                            stream.info);
        PrepareAudio(stream);
    }
    for (Stream& stream : video) {
        PrepareVideo(stream, layout);
    }
    return true;
}

void CAviReader::State::PrepareAudio(Stream& stream) {
    std::vector<kmx::AviSampleEntry>& entries = stream.index.entries;
    // Empty chunks hold no audio; without a fixed sample size every other
    // chunk is one sample.
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [](const kmx::AviSampleEntry& e) { return e.size == 0; }),
                  entries.end());
    const std::uint32_t sampleSize = stream.info.dwSampleSize;
    if (sampleSize == 0) {
        stream.length = ClampToInt32(entries.size());
    } else {
        stream.byteStarts.resize(entries.size() + 1);
        std::uint64_t total = 0;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            stream.byteStarts[i] = total;
            total += entries[i].size;
        }
        stream.byteStarts[entries.size()] = total;
        stream.length = ClampToInt32(total / sampleSize);
    }
    stream.info.dwLength = static_cast<std::uint32_t>(stream.length);
}

std::int32_t CAviReader::State::ReadFixed(const Stream& stream, std::int64_t first,
                                          std::int64_t want, std::uint8_t* buffer,
                                          std::int64_t bufferSize, std::int32_t* bytesRead,
                                          std::int32_t* samplesRead) const {
    const std::int64_t sampleSize = stream.info.dwSampleSize;
    if (buffer == nullptr) {
        SetCounts(bytesRead, samplesRead, std::min<std::int64_t>(want * sampleSize, INT32_MAX),
                  want);
        return 0;
    }
    const std::int64_t samples = std::min(want, bufferSize / sampleSize);
    if (samples == 0) {
        return want > 0 ? kReadAudioBufferTooSmall : 0;
    }
    if (stream.pcm != nullptr) {
        // Decoded audio: the sample size is one sample frame of it.
        if (!stream.pcm->Read(first, samples, buffer)) {
            return kReadAudioFileRead;
        }
        SetCounts(bytesRead, samplesRead, samples * sampleSize, samples);
        return 0;
    }
    const std::uint64_t begin = static_cast<std::uint64_t>(first * sampleSize);
    const std::uint64_t end = begin + static_cast<std::uint64_t>(samples * sampleSize);
    const std::vector<std::uint64_t>& starts = stream.byteStarts;
    // The chunk that holds the first byte: the last one starting at or before it.
    std::size_t chunk =
        static_cast<std::size_t>(std::upper_bound(starts.begin(), starts.end() - 1, begin) -
                                 starts.begin()) -
        1;
    std::uint64_t pos = begin;
    std::uint8_t* out = buffer;
    while (pos < end && chunk < stream.index.entries.size()) {
        const kmx::AviSampleEntry& entry = stream.index.entries[chunk];
        const std::uint64_t inChunk = pos - starts[chunk];
        const std::uint64_t take = std::min<std::uint64_t>(entry.size - inChunk, end - pos);
        if (!source->ReadAt(entry.pos + inChunk, out, static_cast<std::size_t>(take))) {
            return kReadAudioFileRead;
        }
        out += take;
        pos += take;
        ++chunk;
    }
    if (pos != end) {
        return kReadAudioFileRead;
    }
    SetCounts(bytesRead, samplesRead, samples * sampleSize, samples);
    return 0;
}

std::int32_t CAviReader::State::ReadChunks(const Stream& stream, std::int64_t first,
                                           std::int64_t want, std::uint8_t* buffer,
                                           std::int64_t bufferSize, std::int32_t* bytesRead,
                                           std::int32_t* samplesRead) const {
    const std::vector<kmx::AviSampleEntry>& entries = stream.index.entries;
    const std::size_t begin = static_cast<std::size_t>(first);
    std::int64_t samples = 0;
    std::int64_t bytes = 0;
    if (buffer == nullptr) {
        for (; samples < want; ++samples) {
            bytes += entries[begin + static_cast<std::size_t>(samples)].size;
        }
        SetCounts(bytesRead, samplesRead, std::min<std::int64_t>(bytes, INT32_MAX), samples);
        return 0;
    }
    while (samples < want &&
           bytes + entries[begin + static_cast<std::size_t>(samples)].size <= bufferSize) {
        bytes += entries[begin + static_cast<std::size_t>(samples)].size;
        ++samples;
    }
    if (samples == 0) {
        return want > 0 ? kReadAudioBufferTooSmall : 0;
    }
    std::uint8_t* out = buffer;
    for (std::int64_t i = 0; i < samples; ++i) {
        const kmx::AviSampleEntry& entry = entries[begin + static_cast<std::size_t>(i)];
        if (!source->ReadAt(entry.pos, out, entry.size)) {
            return kReadAudioFileRead;
        }
        out += entry.size;
    }
    SetCounts(bytesRead, samplesRead, bytes, samples);
    return 0;
}

void CAviReader::State::PrepareVideo(Stream& stream, const kmx::AviLayout& layout) {
    stream.length = ClampToInt32(stream.index.entries.size());
    kmx::MakeStreamInfo(layout.streams[static_cast<std::size_t>(stream.number)], layout,
                        static_cast<std::uint32_t>(stream.length), stream.info);
    stream.endTime =
        kmx::SampleToMilliseconds(static_cast<std::int64_t>(stream.length) + stream.info.dwStart,
                                  stream.info.dwScale, stream.info.dwRate);
}

const Stream* CAviReader::State::VideoWithDecoder(std::uint32_t index) const {
    if (index >= video.size() || video[index].decoder == nullptr) {
        return nullptr;
    }
    return &video[index];
}

CAviReader::CAviReader() : state_(std::make_unique<State>()) {}

CAviReader::~CAviReader() {
    Close();
}

bool CAviReader::Open(const char* name) {
    Close();
    std::unique_ptr<kmx::CFileSource> file;
    try {
        file = std::make_unique<kmx::CFileSource>();
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!file->Open(name)) {
        return false;
    }
    if (IsRiffAvi(*file)) {
        return Open(std::move(file));
    }
    state_->other = std::make_unique<kmx::CLavfReader>();
    if (!state_->other->Open(name)) {
        state_->other.reset();
        return false;
    }
    return true;
}

bool CAviReader::OpenMemory(const std::uint8_t* data, std::size_t size) {
    Close();
    if (data == nullptr && size > 0) {
        return false;
    }
    std::unique_ptr<kmx::CMemorySource> memory;
    try {
        memory = std::make_unique<kmx::CMemorySource>(data, size);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return Open(std::move(memory));
}

bool CAviReader::Open(std::unique_ptr<kmx::IByteSource> source) {
    Close();
    if (source == nullptr) {
        return false;
    }
    bool ok = false;
    try {
        ok = state_->Load(std::move(source));
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    if (!ok) {
        Close();
    }
    return ok;
}

void CAviReader::Close() {
    state_->other.reset();
    for (Stream& stream : state_->video) {
        stream.decoder.reset();
        stream.source.reset();
    }
    state_->audio.clear();
    state_->video.clear();
    state_->source.reset();
}

std::uint32_t CAviReader::GetVideoStreamCount() const {
    if (state_->other) {
        return state_->other->GetVideoStreamCount();
    }
    return static_cast<std::uint32_t>(state_->video.size());
}

std::uint32_t CAviReader::GetAudioStreamCount() const {
    if (state_->other) {
        return state_->other->GetAudioStreamCount();
    }
    return static_cast<std::uint32_t>(state_->audio.size());
}

bool CAviReader::GetVideoStreamInfo(std::uint32_t index, AVISTREAMINFOA* info,
                                    std::int32_t size) const {
    if (state_->other) {
        return state_->other->GetVideoStreamInfo(index, info, size);
    }
    if (index >= state_->video.size() || info == nullptr ||
        size < static_cast<std::int32_t>(kmx::kAviStreamInfoSize)) {
        return false;
    }
    *info = state_->video[index].info;
    return true;
}

bool CAviReader::GetAudioStreamInfo(std::uint32_t index, AVISTREAMINFOA* info,
                                    std::int32_t size) const {
    if (state_->other) {
        return state_->other->GetAudioStreamInfo(index, info, size);
    }
    if (index >= state_->audio.size() || info == nullptr ||
        size < static_cast<std::int32_t>(kmx::kAviStreamInfoSize)) {
        return false;
    }
    *info = state_->audio[index].info;
    return true;
}

std::int32_t CAviReader::GetVideoLength(std::uint32_t index) const {
    if (state_->other) {
        return state_->other->GetVideoLength(index);
    }
    return index < state_->video.size() ? state_->video[index].length : 0;
}

std::int32_t CAviReader::GetAudioLength(std::uint32_t index) const {
    if (state_->other) {
        return state_->other->GetAudioLength(index);
    }
    return index < state_->audio.size() ? state_->audio[index].length : 0;
}

bool CAviReader::StartVideoRetrieve(std::uint32_t index) {
    if (state_->other) {
        return state_->other->StartVideoRetrieve(index);
    }
    if (index >= state_->video.size()) {
        return false;
    }
    StopVideoRetrieve(index);
    Stream& stream = state_->video[index];
    try {
        auto source = std::make_unique<kmx::CAviSampleSource>(*state_->source, stream.index);
        auto decoder = std::make_unique<kmx::CVideoDecoder>();
        if (!decoder->Open(stream.format, stream.info.fccHandler, *source)) {
            return false;
        }
        stream.source = std::move(source);
        stream.decoder = std::move(decoder);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool CAviReader::StopVideoRetrieve(std::uint32_t index) {
    if (state_->other) {
        return state_->other->StopVideoRetrieve(index);
    }
    if (index >= state_->video.size()) {
        return false;
    }
    Stream& stream = state_->video[index];
    stream.decoder.reset();
    stream.source.reset();
    return true;
}

void CAviReader::GetVideoFrame(std::uint32_t index, std::int32_t frame,
                               const BITMAPINFOHEADER** out) {
    if (state_->other) {
        return state_->other->GetVideoFrame(index, frame, out);
    }
    if (out == nullptr) {
        return;
    }
    *out = nullptr;
    if (index < state_->video.size() && state_->video[index].decoder != nullptr) {
        *out = state_->video[index].decoder->GetFrame(frame);
    }
}

bool CAviReader::UsePlanarVideo(std::uint32_t index) {
    if (state_->other) {
        return state_->other->UsePlanarVideo(index);
    }
    return index < state_->video.size() && state_->video[index].decoder != nullptr &&
           state_->video[index].decoder->UsePlanarFrames();
}

std::int32_t CAviReader::GetDamagedFrameCount(std::uint32_t index) const {
    if (state_->other) {
        return state_->other->GetDamagedFrameCount(index);
    }
    const Stream* stream = state_->VideoWithDecoder(index);
    return stream != nullptr ? stream->decoder->DamagedFrames() : 0;
}

std::int32_t CAviReader::VideoFrameToTime(std::uint32_t index, std::int32_t frame) const {
    if (state_->other) {
        return state_->other->VideoFrameToTime(index, frame);
    }
    const Stream* stream = state_->VideoWithDecoder(index);
    if (stream == nullptr) {
        return -1;
    }
    const std::int64_t ms =
        kmx::SampleToMilliseconds(frame, stream->info.dwScale, stream->info.dwRate);
    return ms < 0 || ms > INT32_MAX ? -1 : static_cast<std::int32_t>(ms);
}

std::int32_t CAviReader::VideoTimeToFrame(std::uint32_t index, std::int32_t ms) const {
    if (state_->other) {
        return state_->other->VideoTimeToFrame(index, ms);
    }
    const Stream* stream = state_->VideoWithDecoder(index);
    if (stream == nullptr || ms > stream->endTime) {
        return -1;
    }
    const std::int64_t frame =
        kmx::MillisecondsToSample(ms, stream->info.dwScale, stream->info.dwRate);
    return frame < 0 || frame > INT32_MAX ? -1 : static_cast<std::int32_t>(frame);
}

bool CAviReader::DecodeAudioToPcm(std::uint32_t index) {
    if (state_->other) {
        return state_->other->DecodeAudioToPcm(index);
    }
    if (index >= state_->audio.size()) {
        return false;
    }
    Stream& stream = state_->audio[index];
    if (stream.pcm != nullptr || kmx::IsPcmWaveFormat(stream.format)) {
        return true;
    }
    std::unique_ptr<kmx::CPcmAudio> pcm =
        kmx::DecodeAviAudio(*state_->source, stream.index, stream.format);
    if (pcm == nullptr) {
        return false;
    }
    try {
        stream.format = pcm->WaveFormat();
    } catch (const std::bad_alloc&) {
        return false;
    }
    kmx::DescribePcmStream(*pcm, stream.info);
    stream.length = static_cast<std::int32_t>(pcm->Length());
    stream.pcm = std::move(pcm);
    return true;
}

const std::uint8_t* CAviReader::GetAudioFormat(std::uint32_t index, std::int32_t* size) const {
    if (state_->other) {
        return state_->other->GetAudioFormat(index, size);
    }
    if (index >= state_->audio.size()) {
        if (size != nullptr) {
            *size = 0;
        }
        return nullptr;
    }
    const std::vector<std::uint8_t>& format = state_->audio[index].format;
    if (size != nullptr) {
        *size = static_cast<std::int32_t>(format.size());
    }
    return format.data();
}

std::int32_t CAviReader::ReadAudio(std::uint32_t index, std::int32_t first, std::int32_t count,
                                   void* buffer, std::int32_t bufferSize, std::int32_t* bytesRead,
                                   std::int32_t* samplesRead) {
    if (state_->other) {
        return state_->other->ReadAudio(index, first, count, buffer, bufferSize, bytesRead,
                                        samplesRead);
    }
    SetCounts(bytesRead, samplesRead, 0, 0);
    if (index >= state_->audio.size()) {
        return kReadAudioBadIndex;
    }
    const Stream& stream = state_->audio[index];
    if (stream.format.empty()) {
        return kReadAudioNoStream;
    }
    if (first < 0 || first >= stream.length || count < -1 || bufferSize < 0) {
        return kReadAudioBadParam;
    }
    const std::int64_t left = static_cast<std::int64_t>(stream.length) - first;
    const std::int64_t want = count < 0 ? left : std::min<std::int64_t>(count, left);
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    return stream.info.dwSampleSize != 0
               ? state_->ReadFixed(stream, first, want, bytes, bufferSize, bytesRead, samplesRead)
               : state_->ReadChunks(stream, first, want, bytes, bufferSize, bytesRead, samplesRead);
}
