// The audio half of CLavfMediaSource: the first audio stream that decodes, kept
// as 16-bit PCM and read by sample frame.
#include "media/lavf/LavfMediaSource.h"
#include "media/lavf/LavfMediaSourceState.h"
#include "media/lavf/LavfStreamInfo.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

extern "C" {
#include <libavformat/avformat.h>
}

namespace kmx {
namespace {

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

void CLavfMediaSource::State::ChooseAudio(const CLavfInput& input) {
    const AVFormatContext* context = input.Context();
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        const AVCodecParameters& parameters = *context->streams[i]->codecpar;
        if (parameters.codec_type != AVMEDIA_TYPE_AUDIO) {
            continue;
        }
        auto candidate = std::make_unique<LavfAudio>();
        if (candidate->pcm.Open(parameters)) {
            audio = std::move(candidate);
            audioStream = static_cast<int>(i);
            audioCodecId = parameters.codec_id;
            return;
        }
    }
}

void CLavfMediaSource::State::PlaceAudio(const CLavfInput& input) {
    audioLead = 0;
    if (audio == nullptr || !hasVideo || !audio->hasFirstPts || index.packets.empty() ||
        audio->pcm.Rate() <= 0 || videoInfo.dwRate == 0 || videoInfo.dwScale == 0) {
        return;
    }
    const AVFormatContext& context = *input.Context();
    const AVRational videoBase = context.streams[videoStream]->time_base;
    const AVRational audioBase = context.streams[audioStream]->time_base;
    std::int64_t videoStart = INT64_MAX;
    for (const LavfPacket& packet : index.packets) {
        if (packet.pts == AV_NOPTS_VALUE) {
            return;
        }
        videoStart = std::min(videoStart, packet.pts);
    }
    if (videoBase.num <= 0 || videoBase.den <= 0 || audioBase.num <= 0 || audioBase.den <= 0) {
        return;
    }
    // Both starts in sample frames (the sound's first one after the encoder
    // delay), each time believed only within a day.
    const AVRational samples{1, audio->pcm.Rate()};
    constexpr std::int64_t kDay = 86400;
    if (av_compare_ts(std::abs(videoStart), videoBase, kDay, AVRational{1, 1}) > 0 ||
        av_compare_ts(std::abs(audio->firstPts), audioBase, kDay, AVRational{1, 1}) > 0) {
        return;
    }
    const std::int64_t lead = av_rescale_q(audio->firstPts, audioBase, samples) + audio->skipStart -
                              av_rescale_q(videoStart, videoBase, samples);
    // Within half a frame the two start together, as they always did.
    const std::int64_t halfFrame =
        av_rescale(audio->pcm.Rate(), videoInfo.dwScale, std::int64_t{2} * videoInfo.dwRate);
    if (std::abs(lead) > halfFrame) {
        audioLead = lead;
    }
}

void CLavfMediaSource::State::FinishAudio() {
    if (audio == nullptr) {
        return;
    }
    const CPcmAudio& pcm = audio->pcm;
    const std::int64_t skipped = std::min(audio->skipStart, pcm.Length()) + audio->skipEnd;
    const std::int64_t length = std::max<std::int64_t>(pcm.Length() - skipped + audioLead, 0);
    if (length == 0 || length > INT32_MAX || pcm.BlockAlign() <= 0) {
        audio.reset();
        audioStream = -1;
        return;
    }
    audioLength = static_cast<std::int32_t>(length);
    audioFormat = pcm.WaveFormat();
    MakeLavfAudioInfo(pcm, static_cast<std::uint32_t>(audioLength), audioInfo);
}

std::int32_t CLavfMediaSource::State::ReadPcm(std::int64_t first, std::int64_t want,
                                              std::uint8_t* buffer, std::int64_t bufferSize,
                                              std::int32_t* bytesRead,
                                              std::int32_t* samplesRead) const {
    const std::int64_t block = audio->pcm.BlockAlign();
    if (buffer == nullptr) {
        SetCounts(bytesRead, samplesRead, std::min<std::int64_t>(want * block, INT32_MAX), want);
        return 0;
    }
    const std::int64_t samples = std::min(want, bufferSize / block);
    if (samples == 0) {
        return want > 0 ? kReadAudioBufferTooSmall : 0;
    }
    // The silence before the sound, then the sound from its first sample
    // (past the encoder delay and any part cut before the video).
    const std::int64_t silence = std::clamp<std::int64_t>(audioLead - first, 0, samples);
    std::memset(buffer, 0, static_cast<std::size_t>(silence * block));
    const std::int64_t from =
        first + silence - audioLead + std::min(audio->skipStart, audio->pcm.Length());
    if (samples > silence && !audio->pcm.Read(from, samples - silence, buffer + silence * block)) {
        return kReadAudioFileRead;
    }
    SetCounts(bytesRead, samplesRead, samples * block, samples);
    return 0;
}

std::uint32_t CLavfMediaSource::GetAudioStreamCount() const {
    return state_->audio != nullptr ? 1 : 0;
}

bool CLavfMediaSource::GetAudioStreamInfo(std::uint32_t index, AVISTREAMINFOA* info,
                                          std::int32_t size) const {
    if (index >= GetAudioStreamCount() || info == nullptr ||
        size < static_cast<std::int32_t>(sizeof(AVISTREAMINFOA))) {
        return false;
    }
    *info = state_->audioInfo;
    return true;
}

std::int32_t CLavfMediaSource::GetAudioLength(std::uint32_t index) const {
    return index < GetAudioStreamCount() ? state_->audioLength : 0;
}

const std::uint8_t* CLavfMediaSource::GetAudioFormat(std::uint32_t index,
                                                     std::int32_t* size) const {
    const bool exists = index < GetAudioStreamCount();
    if (size != nullptr) {
        *size = exists ? static_cast<std::int32_t>(state_->audioFormat.size()) : 0;
    }
    return exists ? state_->audioFormat.data() : nullptr;
}

std::int32_t CLavfMediaSource::ReadAudio(std::uint32_t index, std::int32_t first,
                                         std::int32_t count, void* buffer, std::int32_t bufferSize,
                                         std::int32_t* bytesRead, std::int32_t* samplesRead) {
    SetCounts(bytesRead, samplesRead, 0, 0);
    if (index >= GetAudioStreamCount()) {
        return kReadAudioBadIndex;
    }
    const std::int32_t length = state_->audioLength;
    if (first < 0 || first >= length || count < -1 || bufferSize < 0) {
        return kReadAudioBadParam;
    }
    const std::int64_t left = static_cast<std::int64_t>(length) - first;
    const std::int64_t want = count < 0 ? left : std::min<std::int64_t>(count, left);
    return state_->ReadPcm(first, want, static_cast<std::uint8_t*>(buffer), bufferSize, bytesRead,
                           samplesRead);
}

bool CLavfMediaSource::DecodeAudioToPcm(std::uint32_t index) {
    return index < GetAudioStreamCount();
}

} // namespace kmx
