#include "media/avi/AviAudioPcm.h"

#include "media/io/ByteOrder.h"
#include "media/io/ByteSource.h"

#include <algorithm>
#include <climits>
#include <new>

namespace kmx {
namespace {

constexpr std::uint16_t kTagFloat = 3;
constexpr std::uint16_t kTagALaw = 6;
constexpr std::uint16_t kTagMuLaw = 7;
// A chunk larger than this is no audio packet a decoder could take.
constexpr std::uint32_t kMaxPacket = std::uint32_t{64} << 20;

bool IsPlainTag(std::uint16_t tag) {
    return tag == WAVE_FORMAT_PCM || tag == kTagFloat || tag == kTagALaw || tag == kTagMuLaw;
}

} // namespace

bool IsPcmWaveFormat(const std::vector<std::uint8_t>& format) {
    if (format.size() < 14) {
        return false;
    }
    std::uint16_t tag = LoadU16(format.data());
    if (tag == kWaveFormatExtensible && format.size() >= kWaveFormatExtensibleSize) {
        tag = LoadU16(format.data() + kWaveSubFormatOffset);
    }
    if (!IsPlainTag(tag)) {
        return false;
    }
    if (format.size() < 16) {
        return true; // a bare WAVEFORMAT: no sample width to check against
    }
    const std::uint32_t channels = LoadU16(format.data() + 2);
    const std::uint32_t blockAlign = LoadU16(format.data() + 12);
    const std::uint32_t bits = LoadU16(format.data() + 14);
    return blockAlign != 0 && blockAlign == channels * ((bits + 7) / 8);
}

std::unique_ptr<CPcmAudio> DecodeAviAudio(const IByteSource& file, const AviStreamIndex& index,
                                          const std::vector<std::uint8_t>& format) {
    std::unique_ptr<CPcmAudio> pcm;
    std::vector<std::uint8_t> packet;
    try {
        pcm = std::make_unique<CPcmAudio>();
        if (!pcm->OpenWaveFormat(format.data(), format.size())) {
            return nullptr;
        }
        for (const AviSampleEntry& entry : index.entries) {
            if (entry.size > kMaxPacket) {
                return nullptr;
            }
            packet.resize(entry.size);
            if (!file.ReadAt(entry.pos, packet.data(), packet.size()) ||
                !pcm->Decode(packet.data(), packet.size())) {
                return nullptr;
            }
        }
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    if (!pcm->Finish() || pcm->Length() <= 0 || pcm->Length() > INT32_MAX) {
        return nullptr;
    }
    return pcm;
}

void DescribePcmStream(const CPcmAudio& pcm, AVISTREAMINFOA& info) {
    const std::uint64_t rate = static_cast<std::uint64_t>(pcm.Rate());
    // dwStart is in the old stream's units of dwScale / dwRate seconds.
    // Split so that no product can wrap: ticks < 2^64, the remainder below
    // dwRate and the rate below 2^20.
    std::uint64_t start = 0;
    if (info.dwRate != 0) {
        const std::uint64_t ticks = std::uint64_t{info.dwStart} * info.dwScale;
        const std::uint64_t whole = std::min<std::uint64_t>(ticks / info.dwRate, UINT32_MAX);
        start = whole * rate + (ticks % info.dwRate) * rate / info.dwRate;
    }
    info.dwStart = static_cast<std::uint32_t>(std::min<std::uint64_t>(start, UINT32_MAX));
    info.dwScale = 1;
    info.dwRate = static_cast<std::uint32_t>(rate);
    info.dwSampleSize = static_cast<std::uint32_t>(pcm.BlockAlign());
    info.dwLength = static_cast<std::uint32_t>(pcm.Length());
    info.dwSuggestedBufferSize = static_cast<std::uint32_t>(rate * info.dwSampleSize);
    info.dwInitialFrames = 0;
    info.dwFormatChangeCount = 0;
}

} // namespace kmx
