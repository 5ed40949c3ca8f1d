// An AVI audio stream delivered as 16-bit PCM: which format blocks already
// hold plain sample frames, and the decoding of any other stream into one.
#pragma once

#include "media/AviRecords.h"
#include "media/avi/AviIndex.h"
#include "media/decode/PcmAudio.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace kmx {

class IByteSource;

// True when the format block describes uncompressed samples (PCM, IEEE
// float, A-law, mu-law, also as the sub-format of WAVEFORMATEXTENSIBLE)
// whose nBlockAlign is exactly one sample frame, so that the stream can be
// cut and reversed block by block.
bool IsPcmWaveFormat(const std::vector<std::uint8_t>& format);

// Decodes every chunk of the stream in order; null when no decoder exists
// for the format, a chunk cannot be read or nothing decodes.
std::unique_ptr<CPcmAudio> DecodeAviAudio(const IByteSource& file, const AviStreamIndex& index,
                                          const std::vector<std::uint8_t>& format);

// Rewrites a stream header to describe the decoded samples: one sample frame
// per sample, dwScale 1 and dwRate the sample rate (as ffmpeg writes PCM),
// dwStart moved to the new time base, dwLength the decoded length.
void DescribePcmStream(const CPcmAudio& pcm, AVISTREAMINFOA& info);

} // namespace kmx
