#include "media/lavf/LavfMediaSource.h"
#include "media/decode/CodecNames.h"

#include "media/io/ByteOrder.h"
#include "media/lavf/LavfMediaSourceState.h"
#include "media/lavf/LavfStreamInfo.h"

#include <algorithm>
#include <climits>
#include <new>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace kmx {
namespace {

// The frames a stream's container promises: the index's count where it has
// one, else its duration (or the file's) at the stream's frame rate. For a
// variable rate its duration at the rate the frames are handed out at (the
// index counts pictures, not frames).
std::int32_t PromisedFrames(const AVStream& stream, const AVFormatContext& context,
                            const LavfFrameMap& map) {
    std::int64_t frames = map.variable ? 0 : stream.nb_frames;
    const AVRational rate = map.variable ? map.rate : stream.avg_frame_rate;
    if (frames <= 0 && rate.num > 0 && rate.den > 0) {
        if (stream.duration > 0 && stream.time_base.num > 0 && stream.time_base.den > 0) {
            frames = av_rescale_q(stream.duration, stream.time_base, av_inv_q(rate));
        } else if (context.duration > 0) {
            frames = av_rescale_q(context.duration, AV_TIME_BASE_Q, av_inv_q(rate));
        }
    }
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(frames, 0, INT32_MAX));
}

} // namespace

bool CLavfMediaSource::State::ChooseVideo(const CLavfInput& input) {
    const AVFormatContext* context = input.Context();
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        const AVStream& stream = *context->streams[i];
        // Cover art is a still picture, not the video.
        if (stream.codecpar->codec_type != AVMEDIA_TYPE_VIDEO ||
            (stream.disposition & AV_DISPOSITION_ATTACHED_PIC) != 0) {
            continue;
        }
        if (avcodec_find_decoder(stream.codecpar->codec_id) == nullptr) {
            return false;
        }
        videoFormat = MakeLavfVideoFormat(stream);
        if (videoFormat.empty()) {
            return false;
        }
        videoStream = static_cast<int>(i);
        codecId = stream.codecpar->codec_id;
        rotation = LavfRotation(stream);
        declaredScan = LavfScanType(stream);
        LavfSampleAspect(stream, &aspectNum, &aspectDen);
        return true;
    }
    return false;
}

void CLavfMediaSource::State::FinishVideo(const CLavfInput& input) {
    const std::size_t frames = index.packets.size();
    hasVideo = frames > 0 && frames <= INT32_MAX;
    if (!hasVideo) {
        return;
    }
    const AVStream& stream = *input.Context()->streams[videoStream];
    const AVRational nominal = LavfNominalRate(stream);
    frameMap = MakeLavfFrameMap(index.packets, stream.time_base, nominal, stream.r_frame_rate);
    videoLength = frameMap.variable ? frameMap.frames : static_cast<std::int32_t>(frames);
    const bool sideways = rotation == 90 || rotation == 270;
    const std::int32_t width = sideways ? stream.codecpar->height : stream.codecpar->width;
    const std::int32_t height = sideways ? stream.codecpar->width : stream.codecpar->height;
    MakeLavfVideoInfo(stream, frameMap.variable ? frameMap.rate : nominal,
                      static_cast<std::uint32_t>(videoLength), index.largest, width, height,
                      videoInfo);
    promisedLength = PromisedFrames(stream, *input.Context(), frameMap);
}

bool CLavfMediaSource::State::Load(CLavfInput& input) {
    containerName = LavfContainerName(*input.Context());
    if (!ChooseVideo(input)) {
        videoStream = -1;
    }
    ChooseAudio(input);
    if (!BuildLavfIndex(input, videoStream, audioStream, index, audio.get())) {
        return false;
    }
    if (input.Interrupted()) {
        return false; // the run that opens it is being stopped
    }
    endedOnError = input.EndedOnError() || index.cut;
    if (videoStream >= 0) {
        FinishVideo(input);
    }
    PlaceAudio(input);
    FinishAudio();
    return hasVideo || audio != nullptr;
}

CLavfMediaSource::CLavfMediaSource() : state_(std::make_unique<State>()) {}

CLavfMediaSource::~CLavfMediaSource() = default;

bool CLavfMediaSource::Open(const char* path) {
    Close();
    CLavfInput input;
    bool ok = false;
    try {
        state_->path = path != nullptr ? path : "";
        ok = input.OpenFile(path) && state_->Load(input);
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    if (!ok) {
        Close();
    }
    return ok;
}

bool CLavfMediaSource::OpenMemory(const std::uint8_t* data, std::size_t size) {
    Close();
    CLavfInput input;
    state_->data = data;
    state_->size = size;
    state_->memory = true;
    bool ok = false;
    try {
        ok = input.OpenMemory(data, size) && state_->Load(input);
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    if (!ok) {
        Close();
    }
    return ok;
}

void CLavfMediaSource::Close() {
    state_->decoder.reset(); // before the source it reads from
    state_->source.reset();
    state_ = std::make_unique<State>();
}

std::uint32_t CLavfMediaSource::GetVideoStreamCount() const {
    return state_->hasVideo ? 1 : 0;
}

bool CLavfMediaSource::GetVideoStreamInfo(std::uint32_t index, AVISTREAMINFOA* info,
                                          std::int32_t size) const {
    if (index >= GetVideoStreamCount() || info == nullptr ||
        size < static_cast<std::int32_t>(sizeof(AVISTREAMINFOA))) {
        return false;
    }
    *info = state_->videoInfo;
    return true;
}

std::int32_t CLavfMediaSource::GetVideoLength(std::uint32_t index) const {
    return index < GetVideoStreamCount() ? state_->videoLength : 0;
}

bool CLavfMediaSource::IsVariableFrameRate(std::uint32_t index) const {
    return index < GetVideoStreamCount() && state_->frameMap.variable;
}

bool CLavfMediaSource::BackwardReadingFellShort(std::uint32_t index) const {
    return index < GetVideoStreamCount() && state_->decoder != nullptr &&
           state_->decoder->SpillFellShort();
}

std::int32_t CLavfMediaSource::GetKeyFrameAtOrBefore(std::uint32_t index,
                                                     std::int32_t frame) const {
    if (index >= GetVideoStreamCount() || state_->decoder == nullptr || state_->frameMap.variable) {
        return -1;
    }
    return state_->decoder->KeyFrameAtOrBefore(frame);
}

ScanType CLavfMediaSource::GetScanType(std::uint32_t index) const {
    if (index >= GetVideoStreamCount()) {
        return ScanType::Unknown;
    }
    if (state_->declaredScan != ScanType::Unknown) {
        return state_->declaredScan;
    }
    return state_->decoder != nullptr ? state_->decoder->FirstScan() : ScanType::Unknown;
}

bool CLavfMediaSource::State::OpenSource() {
    source = std::make_unique<CLavfSampleSource>(index);
    const bool opened = memory ? source->OpenMemory(data, size, videoStream)
                               : source->OpenFile(path.c_str(), videoStream);
    if (!opened) {
        return false;
    }
    decoder = std::make_unique<CVideoDecoder>();
    return decoder->OpenCodec(videoFormat, codecId, *source) &&
           frame.Set(LoadI32(videoFormat.data() + 4), LoadI32(videoFormat.data() + 8), rotation);
}

bool CLavfMediaSource::StartVideoRetrieve(std::uint32_t index) {
    if (index >= GetVideoStreamCount()) {
        return false;
    }
    StopVideoRetrieve(index);
    bool ok = false;
    try {
        ok = state_->OpenSource();
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    if (!ok) {
        StopVideoRetrieve(index);
    }
    return ok;
}

bool CLavfMediaSource::StopVideoRetrieve(std::uint32_t index) {
    if (index >= GetVideoStreamCount()) {
        return false;
    }
    state_->decoder.reset();
    state_->source.reset();
    state_->frame.Release();
    state_->planar = false;
    return true;
}

void CLavfMediaSource::GetVideoFrame(std::uint32_t index, std::int32_t frame,
                                     const BITMAPINFOHEADER** out) {
    if (out == nullptr) {
        return;
    }
    *out = nullptr;
    if (index < GetVideoStreamCount() && state_->decoder != nullptr) {
        const LavfFrameMap& map = state_->frameMap;
        const BITMAPINFOHEADER* decoded =
            state_->decoder->GetFrame(map.variable ? map.Picture(frame) : frame);
        *out = state_->planar ? decoded : state_->frame.Convert(decoded);
    }
}

bool CLavfMediaSource::UsePlanarVideo(std::uint32_t index, bool bt709) {
    // Pictures to be turned stay RGB: the turning works on those.
    if (index >= GetVideoStreamCount() || state_->decoder == nullptr || state_->frame.Turns() ||
        !state_->decoder->UsePlanarFrames(bt709)) {
        return false;
    }
    state_->planar = true;
    return true;
}

void CLavfMediaSource::ReadVideoBackwards(std::uint32_t index) {
    if (index < GetVideoStreamCount() && state_->decoder != nullptr) {
        state_->decoder->SetReadingBackwards(true);
    }
}

bool CLavfMediaSource::GetSampleAspect(std::uint32_t index, std::int32_t* num,
                                       std::int32_t* den) const {
    if (index >= GetVideoStreamCount() || state_->aspectNum <= 0 || num == nullptr ||
        den == nullptr) {
        return false;
    }
    // Turned pictures have their pixels turned too.
    const bool sideways = state_->rotation == 90 || state_->rotation == 270;
    *num = sideways ? state_->aspectDen : state_->aspectNum;
    *den = sideways ? state_->aspectNum : state_->aspectDen;
    return true;
}

bool CLavfMediaSource::OpenAudioPackets(std::uint32_t index, MediaCodecDetails* details) {
    State& s = *state_;
    s.audioPackets.reset();
    // Packets copied as they are cannot carry the silence or the cut that
    // puts the sound in step with the video: such sound is encoded anew.
    if (index >= GetAudioStreamCount() || s.audio == nullptr || s.audioLead != 0) {
        return false;
    }
    try {
        auto packets = std::make_unique<CLavfAudioPackets>();
        const bool opened = s.memory ? packets->Input().OpenMemory(s.data, s.size)
                                     : packets->Input().OpenFile(s.path.c_str());
        if (!opened || !packets->Open(s.audioStream, s.audio->skipStart, details)) {
            return false;
        }
        s.audioPackets = std::move(packets);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool CLavfMediaSource::ReadAudioPacket(EncodedAudioPacket* packet) {
    try {
        return state_->audioPackets != nullptr && state_->audioPackets->Next(packet);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

std::string CLavfMediaSource::ContainerName() const {
    return state_->containerName;
}

std::string CLavfMediaSource::VideoCodecName(std::uint32_t index) const {
    return index < GetVideoStreamCount() ? CodecName(state_->codecId) : "";
}

std::string CLavfMediaSource::AudioCodecName(std::uint32_t index) const {
    return index < GetAudioStreamCount() ? CodecName(state_->audioCodecId) : "";
}

std::int32_t CLavfMediaSource::GetPromisedVideoLength(std::uint32_t index) const {
    return index < GetVideoStreamCount() ? state_->promisedLength : 0;
}

bool CLavfMediaSource::EndedOnError() const {
    return state_->endedOnError;
}

std::int32_t CLavfMediaSource::GetDamagedFrameCount(std::uint32_t index) const {
    if (index >= GetVideoStreamCount() || state_->decoder == nullptr) {
        return 0;
    }
    return state_->decoder->DamagedFrames();
}

bool CLavfMediaSource::IsRetrieving(std::uint32_t index) const {
    return index < GetVideoStreamCount() && state_->decoder != nullptr;
}

std::uint64_t CLavfMediaSource::VideoSeeks() const {
    return state_->source != nullptr ? state_->source->Seeks() : 0;
}

std::uint64_t CLavfMediaSource::VideoRewinds() const {
    return state_->source != nullptr ? state_->source->Rewinds() : 0;
}

} // namespace kmx
