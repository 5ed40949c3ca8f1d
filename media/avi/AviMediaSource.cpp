#include "media/avi/AviMediaSource.h"
#include "media/decode/CodecNames.h"

#include "media/avi/AviAudioPcm.h"
#include "media/avi/AviChunkIds.h"
#include "media/avi/AviIndex.h"
#include "media/avi/AviParser.h"
#include "media/avi/AviParserStreamInfo.h"
#include "media/avi/RiffFileReader.h"
#include "media/decode/VideoDecoder.h"
#include "media/io/ByteOrder.h"

#include <algorithm>
#include <climits>
#include <new>

namespace kmx {

struct CAviMediaSource::Stream {
    int number = 0;
    AVISTREAMINFOA info{};
    std::vector<std::uint8_t> format;
    AviStreamIndex index;
    std::int32_t length = 0;
    std::int32_t promised = 0; // the stream header's length
    std::unique_ptr<CAviSampleSource> source;
    std::unique_ptr<CVideoDecoder> decoder;
    // Audio with a fixed sample size: where each chunk starts in the
    // stream's bytes (one more entry: the total).
    std::vector<std::uint64_t> byteStarts;
    // Audio delivered as decoded PCM (DecodeAudioToPcm); null otherwise.
    std::unique_ptr<CPcmAudio> pcm;
    std::string decodedCodec; // ... and the codec it was decoded from
};

namespace {

std::int32_t ClampToInt32(std::uint64_t value) {
    return static_cast<std::int32_t>(std::min<std::uint64_t>(value, INT32_MAX));
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

bool CAviMediaSource::Load() {
    const IByteSource& file = *source_;
    AviLayout layout;
    if (!ParseAviLayout(file, layout)) {
        return false;
    }
    std::vector<int> numbers;
    for (AviStreamList& list : layout.streams) {
        const bool isAudio = list.fccType == kAuds && audio_.size() < kMaxStreams;
        const bool isVideo = list.fccType == kVids && video_.size() < kMaxStreams;
        if (!isAudio && !isVideo) {
            continue;
        }
        // A stream whose header or format cannot be read makes the file
        // unreadable, whatever its kind.
        const std::size_t minFormat = isVideo ? kMinVideoFormatSize : kMinAudioFormatSize;
        if (list.header.size() < kMinStreamHeaderSize || !list.hasFormat ||
            list.format.size() < minFormat) {
            return false;
        }
        Stream stream;
        stream.number = list.number;
        stream.format = list.format;
        (isAudio ? audio_ : video_).push_back(std::move(stream));
        numbers.push_back(list.number);
    }

    std::vector<AviStreamIndex> indexes;
    if (!BuildAviIndexes(file, layout, numbers, indexes)) {
        return false;
    }
    // indexes[i] belongs to the stream numbered numbers[i].
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        for (std::vector<Stream>* kind : {&audio_, &video_}) {
            for (Stream& stream : *kind) {
                if (stream.number == numbers[i]) {
                    stream.index = std::move(indexes[i]);
                }
            }
        }
    }
    for (Stream& stream : audio_) {
        MakeStreamInfo(layout.streams[static_cast<std::size_t>(stream.number)], layout, 0,
                       stream.info);
        PrepareAudio(stream);
    }
    for (Stream& stream : video_) {
        stream.length = ClampToInt32(stream.index.entries.size());
        const AviStreamList& list = layout.streams[static_cast<std::size_t>(stream.number)];
        constexpr std::size_t kLengthOffset = 32; // dwLength in 'strh'
        if (list.header.size() >= kLengthOffset + 4) {
            stream.promised = ClampToInt32(LoadU32(list.header.data() + kLengthOffset));
        }
        MakeStreamInfo(layout.streams[static_cast<std::size_t>(stream.number)], layout,
                       static_cast<std::uint32_t>(stream.length), stream.info);
    }
    return true;
}

void CAviMediaSource::PrepareAudio(Stream& stream) {
    std::vector<AviSampleEntry>& entries = stream.index.entries;
    // Empty chunks hold no audio; without a fixed sample size every other
    // chunk is one sample.
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [](const AviSampleEntry& e) { return e.size == 0; }),
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

std::int32_t CAviMediaSource::ReadFixed(const Stream& stream, std::int64_t first, std::int64_t want,
                                        std::uint8_t* buffer, std::int64_t bufferSize,
                                        std::int32_t* bytesRead, std::int32_t* samplesRead) const {
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
        const AviSampleEntry& entry = stream.index.entries[chunk];
        const std::uint64_t inChunk = pos - starts[chunk];
        const std::uint64_t take = std::min<std::uint64_t>(entry.size - inChunk, end - pos);
        if (!source_->ReadAt(entry.pos + inChunk, out, static_cast<std::size_t>(take))) {
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

std::int32_t CAviMediaSource::ReadChunks(const Stream& stream, std::int64_t first,
                                         std::int64_t want, std::uint8_t* buffer,
                                         std::int64_t bufferSize, std::int32_t* bytesRead,
                                         std::int32_t* samplesRead) const {
    const std::vector<AviSampleEntry>& entries = stream.index.entries;
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
        const AviSampleEntry& entry = entries[begin + static_cast<std::size_t>(i)];
        if (!source_->ReadAt(entry.pos, out, entry.size)) {
            return kReadAudioFileRead;
        }
        out += entry.size;
    }
    SetCounts(bytesRead, samplesRead, bytes, samples);
    return 0;
}

const CAviMediaSource::Stream* CAviMediaSource::VideoWithDecoder(std::uint32_t index) const {
    if (index >= video_.size() || video_[index].decoder == nullptr) {
        return nullptr;
    }
    return &video_[index];
}

CAviMediaSource::CAviMediaSource() = default;

CAviMediaSource::~CAviMediaSource() {
    // Decoders before the sample sources they read from, those before the file.
    for (Stream& stream : video_) {
        stream.decoder.reset();
        stream.source.reset();
    }
}

bool CAviMediaSource::Claims(const IByteSource& file) {
    std::uint8_t head[12] = {};
    return file.Size() < sizeof head || !file.ReadAt(0, head, sizeof head) ||
           (LoadU32(head) == kRiff && LoadU32(head + 8) == kAvi);
}

bool CAviMediaSource::Open(std::unique_ptr<IByteSource> source) {
    if (source == nullptr || source_ != nullptr) {
        return false;
    }
    source_ = std::move(source);
    bool ok = false;
    try {
        ok = Load();
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    if (!ok) {
        audio_.clear();
        video_.clear();
        source_.reset();
    }
    return ok;
}

std::uint32_t CAviMediaSource::GetVideoStreamCount() const {
    return static_cast<std::uint32_t>(video_.size());
}

std::uint32_t CAviMediaSource::GetAudioStreamCount() const {
    return static_cast<std::uint32_t>(audio_.size());
}

bool CAviMediaSource::GetVideoStreamInfo(std::uint32_t index, AVISTREAMINFOA* info,
                                         std::int32_t size) const {
    if (index >= video_.size() || info == nullptr ||
        size < static_cast<std::int32_t>(kAviStreamInfoSize)) {
        return false;
    }
    *info = video_[index].info;
    return true;
}

bool CAviMediaSource::GetAudioStreamInfo(std::uint32_t index, AVISTREAMINFOA* info,
                                         std::int32_t size) const {
    if (index >= audio_.size() || info == nullptr ||
        size < static_cast<std::int32_t>(kAviStreamInfoSize)) {
        return false;
    }
    *info = audio_[index].info;
    return true;
}

std::int32_t CAviMediaSource::GetPromisedVideoLength(std::uint32_t index) const {
    return index < video_.size() ? video_[index].promised : 0;
}

std::int32_t CAviMediaSource::GetVideoLength(std::uint32_t index) const {
    return index < video_.size() ? video_[index].length : 0;
}

std::int32_t CAviMediaSource::GetAudioLength(std::uint32_t index) const {
    return index < audio_.size() ? audio_[index].length : 0;
}

bool CAviMediaSource::StartVideoRetrieve(std::uint32_t index) {
    if (index >= video_.size()) {
        return false;
    }
    StopVideoRetrieve(index);
    Stream& stream = video_[index];
    try {
        auto source = std::make_unique<CAviSampleSource>(*source_, stream.index);
        auto decoder = std::make_unique<CVideoDecoder>();
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

bool CAviMediaSource::StopVideoRetrieve(std::uint32_t index) {
    if (index >= video_.size()) {
        return false;
    }
    Stream& stream = video_[index];
    stream.decoder.reset();
    stream.source.reset();
    return true;
}

bool CAviMediaSource::IsRetrieving(std::uint32_t index) const {
    return VideoWithDecoder(index) != nullptr;
}

void CAviMediaSource::GetVideoFrame(std::uint32_t index, std::int32_t frame,
                                    const BITMAPINFOHEADER** out) {
    if (out == nullptr) {
        return;
    }
    *out = nullptr;
    if (index < video_.size() && video_[index].decoder != nullptr) {
        *out = video_[index].decoder->GetFrame(frame);
    }
}

bool CAviMediaSource::UsePlanarVideo(std::uint32_t index, bool bt709) {
    return index < video_.size() && video_[index].decoder != nullptr &&
           video_[index].decoder->UsePlanarFrames(bt709);
}

bool CAviMediaSource::BackwardReadingFellShort(std::uint32_t index) const {
    const Stream* stream = VideoWithDecoder(index);
    return stream != nullptr && stream->decoder->SpillFellShort();
}

std::int32_t CAviMediaSource::GetKeyFrameAtOrBefore(std::uint32_t index, std::int32_t frame) const {
    const Stream* stream = VideoWithDecoder(index);
    return stream != nullptr ? stream->decoder->KeyFrameAtOrBefore(frame) : -1;
}

ScanType CAviMediaSource::GetScanType(std::uint32_t index) const {
    const Stream* stream = VideoWithDecoder(index);
    return stream != nullptr ? stream->decoder->FirstScan() : ScanType::Unknown;
}

void CAviMediaSource::ReadVideoBackwards(std::uint32_t index) {
    if (index < video_.size() && video_[index].decoder != nullptr) {
        video_[index].decoder->SetReadingBackwards(true);
    }
}

std::int32_t CAviMediaSource::GetDamagedFrameCount(std::uint32_t index) const {
    const Stream* stream = VideoWithDecoder(index);
    return stream != nullptr ? stream->decoder->DamagedFrames() : 0;
}

bool CAviMediaSource::GetSampleAspect(std::uint32_t /*index*/, std::int32_t* /*num*/,
                                      std::int32_t* /*den*/) const {
    return false; // our AVI files keep square pixels
}

// AVI audio goes through the PCM path (or is written as it is into AVI).
bool CAviMediaSource::OpenAudioPackets(std::uint32_t /*index*/, MediaCodecDetails* /*details*/) {
    return false;
}

bool CAviMediaSource::ReadAudioPacket(EncodedAudioPacket* /*packet*/) {
    return false;
}

std::string CAviMediaSource::ContainerName() const {
    return "AVI";
}

std::string CAviMediaSource::VideoCodecName(std::uint32_t index) const {
    if (index >= video_.size()) {
        return "";
    }
    const Stream& stream = video_[index];
    return kmx::VideoFormatCodecName(stream.format.data(),
                                     static_cast<std::int32_t>(stream.format.size()),
                                     stream.info.fccHandler);
}

std::string CAviMediaSource::AudioCodecName(std::uint32_t index) const {
    if (index >= audio_.size()) {
        return "";
    }
    const Stream& stream = audio_[index];
    return stream.pcm != nullptr
               ? stream.decodedCodec
               : WaveFormatCodecName(stream.format.data(),
                                     static_cast<std::int32_t>(stream.format.size()));
}

bool CAviMediaSource::DecodeAudioToPcm(std::uint32_t index) {
    if (index >= audio_.size()) {
        return false;
    }
    Stream& stream = audio_[index];
    if (stream.pcm != nullptr || IsPcmWaveFormat(stream.format)) {
        return true;
    }
    std::unique_ptr<CPcmAudio> pcm = DecodeAviAudio(*source_, stream.index, stream.format);
    if (pcm == nullptr) {
        return false;
    }
    try {
        stream.decodedCodec = WaveFormatCodecName(stream.format.data(),
                                                  static_cast<std::int32_t>(stream.format.size()));
        stream.format = pcm->WaveFormat();
    } catch (const std::bad_alloc&) {
        return false;
    }
    DescribePcmStream(*pcm, stream.info);
    stream.length = static_cast<std::int32_t>(pcm->Length());
    stream.pcm = std::move(pcm);
    return true;
}

const std::uint8_t* CAviMediaSource::GetAudioFormat(std::uint32_t index, std::int32_t* size) const {
    if (index >= audio_.size()) {
        if (size != nullptr) {
            *size = 0;
        }
        return nullptr;
    }
    const std::vector<std::uint8_t>& format = audio_[index].format;
    if (size != nullptr) {
        *size = static_cast<std::int32_t>(format.size());
    }
    return format.data();
}

std::int32_t CAviMediaSource::ReadAudio(std::uint32_t index, std::int32_t first, std::int32_t count,
                                        void* buffer, std::int32_t bufferSize,
                                        std::int32_t* bytesRead, std::int32_t* samplesRead) {
    SetCounts(bytesRead, samplesRead, 0, 0);
    if (index >= audio_.size()) {
        return kReadAudioBadIndex;
    }
    const Stream& stream = audio_[index];
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
               ? ReadFixed(stream, first, want, bytes, bufferSize, bytesRead, samplesRead)
               : ReadChunks(stream, first, want, bytes, bufferSize, bytesRead, samplesRead);
}
} // namespace kmx
