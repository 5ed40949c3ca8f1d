// Hand-made AVI files for the reader tests: RIFF chunks and lists, the AVI
// header records, and a builder that lays out streams with an idx1 index
// (relative or absolute), without index, with 'rec ' lists, or as OpenDML
// with super indexes, standard indexes and an AVIX extension.
#pragma once

#include "media/ByteOrder.h"

#include <cstdint>
#include <string>
#include <vector>

namespace readertest {

using Bytes = std::vector<std::uint8_t>;
using kmx::MakeFourcc;

std::uint32_t Fourcc(const char* text);

void PutU16(Bytes& out, std::uint16_t v);
void PutU32(Bytes& out, std::uint32_t v);
void PutU64(Bytes& out, std::uint64_t v);
void Append(Bytes& out, const Bytes& more);

// A chunk with its data and pad byte; a list or RIFF with its type and children.
Bytes Chunk(const char* id, const Bytes& data);
Bytes List(const char* type, const std::vector<Bytes>& children);
Bytes Riff(const char* type, const std::vector<Bytes>& children);
// A bare chunk header with any size, for chunks whose data is left out.
Bytes ChunkHeader(const char* id, std::uint32_t size);

struct StreamHeaderFields {
    std::uint32_t fccType = 0;
    std::uint32_t handler = 0;
    std::uint32_t scale = 1;
    std::uint32_t rate = 25;
    std::uint32_t start = 0;
    std::uint32_t length = 0;
    std::uint32_t suggestedBufferSize = 0;
    std::uint32_t quality = 0xFFFFFFFF;
    std::uint32_t sampleSize = 0;
    std::int16_t rect[4] = {0, 0, 0, 0};
};

Bytes StreamHeader(const StreamHeaderFields& fields); // 56 bytes
Bytes MainHeader(std::uint32_t microSecPerFrame, std::uint32_t frames, std::uint32_t streams,
                 std::uint32_t width, std::uint32_t height); // 56 bytes
Bytes BitmapFormat(std::int32_t width, std::int32_t height, int bitCount,
                   std::uint32_t compression = 0, const Bytes& extra = {});
Bytes WaveFormat(std::uint16_t channels, std::uint32_t sampleRate, std::uint16_t bits);

struct TestStream {
    bool video = true;
    StreamHeaderFields header; // fccType, sampleSize and length are filled in when 0
    Bytes format;
    std::string name;
    std::vector<Bytes> samples; // one chunk each, interleaved by position
    std::vector<bool> keys;     // per sample; missing entries count as key frames
    bool omitHeader = false;
    bool omitFormat = false;
};

enum class IndexKind { Idx1Relative, Idx1Absolute, None, OpenDml };

struct BuildOptions {
    IndexKind index = IndexKind::Idx1Relative;
    bool recordLists = false; // wrap each position's chunks in LIST 'rec '
    bool junkInMovie = false; // a JUNK chunk before the first sample
    std::uint32_t microSecPerFrame = 40000;
    // When not 0: samples at positions >= this go into an AVIX RIFF (which
    // only the OpenDML indexes cover; idx1 covers the first RIFF).
    std::size_t extensionFrom = 0;
};

struct BuiltFile {
    Bytes bytes;
    // Per stream, the file position of each sample's data.
    std::vector<std::vector<std::uint64_t>> samplePositions;
};

BuiltFile BuildAvi(const std::vector<TestStream>& streams, const BuildOptions& options = {});

// A 24-bit raw video stream of w x h whose sample k has every byte equal to
// (k * 7 + 1) & 0xFF, stored bottom-up with rows padded to 4 bytes.
TestStream RawVideoStream(int width, int height, int frames);
// 16-bit mono PCM at 8000 Hz: chunk sizes in samples, values counting up
// from 0 over the whole stream.
TestStream PcmAudioStream(const std::vector<int>& chunkSamples);

bool WriteBytes(const std::string& path, const Bytes& bytes);

} // namespace readertest
