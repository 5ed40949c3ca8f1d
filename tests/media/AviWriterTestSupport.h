// Helpers for the AVI writer tests: stream headers and formats as the
// conversion engine passes them, an independent walk over the RIFF chunk
// tree of a written file with decoders for the AVI structures in it, and
// ffprobe/ffmpeg calls that judge the file from outside.
#pragma once

#include "media/AviRecords.h"
#include "media/ByteOrder.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace avitest {

using kmx::MakeFourcc;

// ---- what the caller passes -------------------------------------------

AVISTREAMINFOA VideoHeader(int width, int height, std::uint32_t rate = 25, std::uint32_t scale = 1,
                           std::uint32_t handler = MakeFourcc('D', 'I', 'B', ' '));
AVISTREAMINFOA AudioHeader(std::uint32_t sampleRate = 44100, int channels = 2);
std::vector<std::uint8_t> VideoFormat(int width, int height, int bitsPerPixel,
                                      std::uint32_t compression = BI_RGB);
std::vector<std::uint8_t> AudioFormat(std::uint32_t sampleRate = 44100, int channels = 2);

// ---- the chunk tree -----------------------------------------------------

struct Chunk {
    std::uint32_t id = 0;
    std::uint32_t listType = 0; // RIFF and LIST chunks only
    std::uint64_t offset = 0;   // position of the chunk header
    std::uint32_t size = 0;
    std::vector<Chunk> children;

    bool IsList() const { return listType != 0; }
    std::uint64_t End() const { return offset + 8 + size + (size & 1); }
    // First child with this id (and list type for lists), or null.
    const Chunk* Child(std::uint32_t childId, std::uint32_t childListType = 0) const;
    std::vector<const Chunk*> ChildrenWithId(std::uint32_t childId) const;
};

class RiffFile {
public:
    // Reads the whole chunk tree. False, with the reason in *problem, when a
    // chunk passes the end of its parent or of the file, or the top level is
    // not a sequence of RIFF chunks that covers the file exactly.
    bool Load(const std::string& path, std::string* problem);

    const std::vector<Chunk>& Riffs() const { return riffs_; }
    std::uint64_t FileSize() const { return fileSize_; }
    std::vector<std::uint8_t> Read(std::uint64_t offset, std::size_t size) const;
    std::vector<std::uint8_t> Data(const Chunk& c) const;
    // hdrl/strl[stream]/<id> of the first RIFF, or null.
    const Chunk* StreamChunk(int stream, std::uint32_t id) const;
    const Chunk* HeaderChunk(std::uint32_t id) const; // directly in hdrl

private:
    bool Parse(std::uint64_t begin, std::uint64_t end, std::vector<Chunk>* out, int depth,
               std::string* problem);
    std::string path_;
    std::uint64_t fileSize_ = 0;
    std::vector<Chunk> riffs_;
};

struct MainHeader {
    std::uint32_t microSecPerFrame = 0;
    std::uint32_t maxBytesPerSec = 0;
    std::uint32_t flags = 0;
    std::uint32_t totalFrames = 0;
    std::uint32_t streams = 0;
    std::uint32_t suggestedBufferSize = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};
MainHeader ParseAvih(const std::vector<std::uint8_t>& data);

// The 56-byte strh as a stream info record (fields strh does not have stay 0).
AVISTREAMINFOA ParseStrh(const std::vector<std::uint8_t>& data);

struct Idx1Entry {
    std::uint32_t id = 0;
    std::uint32_t flags = 0;
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
};
std::vector<Idx1Entry> ParseIdx1(const std::vector<std::uint8_t>& data);

// An indx or ix## chunk. For a standard index each entry is (offset, size
// with the delta-frame bit, 0); for a super index (offset, size, duration).
struct OdmlIndex {
    std::uint16_t longsPerEntry = 0;
    std::uint8_t subType = 0;
    std::uint8_t type = 0;
    std::uint32_t entriesInUse = 0;
    std::uint32_t chunkId = 0;
    std::uint64_t baseOffset = 0;
    struct Entry {
        std::uint64_t offset = 0;
        std::uint32_t size = 0;
        std::uint32_t duration = 0;
    };
    std::vector<Entry> entries;
};
OdmlIndex ParseOdmlIndex(const std::vector<std::uint8_t>& data);

std::string FourccText(std::uint32_t fourcc);

// ---- ffprobe and ffmpeg ---------------------------------------------------

// ffprobe -count_frames -show_streams as "stream.N.key" -> value; empty
// when ffprobe failed (its messages in *errors).
std::map<std::string, std::string> ProbeStreams(const std::string& path,
                                                std::string* errors = nullptr);

// Decodes the first video stream to raw frames in the decoder's own pixel
// format (top-down rows without padding). False when ffmpeg fails.
bool DecodeVideo(const std::string& path, std::vector<std::uint8_t>* raw,
                 const std::vector<std::string>& extraOutputOptions = {});
// Decodes the first audio stream to interleaved 16-bit samples.
bool DecodeAudio(const std::string& path, std::vector<std::int16_t>* samples);

// Rows of a top-down frame without padding turned into a bottom-up DIB with
// rows padded to 4 bytes, and back.
std::vector<std::uint8_t> TopDownToDib(const std::uint8_t* topDown, int width, int height,
                                       int bitsPerPixel);
std::vector<std::uint8_t> DibToTopDown(const std::uint8_t* dib, int width, int height,
                                       int bitsPerPixel);

} // namespace avitest
