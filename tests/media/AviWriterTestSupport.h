// Helpers of the AVI tests (the engine's tests use the chunk walk too):
// hand-made AVI files in the index layouts the reader must handle, the records
// a writer is given, a walk over a file's RIFF chunk tree, DIB helpers, and
// ffmpeg/ffprobe as judges from outside.
#pragma once

#include "media/AviReader.h"
#include "media/AviRecords.h"
#include "media/avi/AviIndex.h"
#include "media/io/ByteOrder.h"
#include "pattern/TestPattern.h"
#include "tests/support/TempDir.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

namespace avitest {

using Bytes = std::vector<std::uint8_t>;
using ::Find;
using ::ReadWholeFile;
using ::WriteBytes;
using kmx::MakeFourcc;

std::uint32_t Fourcc(const char* text);
// biSizeImage counts rows padded to 4 bytes; extra (a colour table) follows.
Bytes BitmapFormat(std::int32_t width, std::int32_t height, int bitCount,
                   std::uint32_t compression = BI_RGB, const Bytes& extra = {});
Bytes WaveFormat(int channels, std::uint32_t sampleRate); // 16-bit PCM

struct TestStream {
    bool video = true;
    std::uint32_t scale = 1;
    std::uint32_t rate = 25;
    std::uint32_t start = 0;
    std::uint32_t sampleSize = 0; // strh dwSampleSize; the length follows from it
    Bytes format;
    bool omitFormat = false;
    std::vector<Bytes> samples; // one chunk each, interleaved by number
    std::vector<bool> keys;     // missing entries are key frames
};

// 24-bit frames of w x h, rows padded to 4 bytes, every byte of frame k
// equal to k * 7 + 1.
TestStream RawVideoStream(int width, int height, int frames);
// 16-bit mono PCM at 8000 Hz in chunks of these many samples, the values
// counting up from 0 over the whole stream.
TestStream PcmAudioStream(const std::vector<int>& chunkSamples);

enum class IndexKind { Idx1Relative, Idx1Absolute, None, OpenDml };

struct BuildOptions {
    IndexKind index = IndexKind::Idx1Relative;
    // When not 0, samples from this number on go into an AVIX RIFF, which
    // only the OpenDML indexes cover.
    std::size_t extensionFrom = 0;
    std::uint32_t microSecPerFrame = 40000;
};

Bytes BuildAvi(const std::vector<TestStream>& streams, const BuildOptions& options = {});
std::string WriteAvi(const TempDir& dir, const std::string& name,
                     const std::vector<TestStream>& streams, const BuildOptions& options = {});

// A test-pattern sample written by kmx::WriteSampleAvi into dir (a failure
// when it cannot be written); its path.
std::string WriteSample(const TempDir& dir, const std::string& name,
                        const kmx::SampleAviOptions& options);

// The pixel rows of a DIB and one row's bytes with padding.
const std::uint8_t* DibPixels(const BITMAPINFOHEADER* dib);
std::size_t DibStride(const BITMAPINFOHEADER* dib);
// The rows top-down without padding, as ffmpeg's rawvideo gives them.
Bytes DibRowsTopDown(const BITMAPINFOHEADER* dib);
// The rows of frame n of video stream 0 as DibRowsTopDown gives them; empty,
// and a failure, when the reader gives null.
template <typename Reader> Bytes FrameRows(Reader& reader, std::int32_t n) {
    const BITMAPINFOHEADER* dib = nullptr;
    reader.GetVideoFrame(0, n, &dib);
    if (dib == nullptr) {
        ADD_FAILURE() << "frame " << n << " is null";
        return {};
    }
    return DibRowsTopDown(dib);
}
// FrameRows of every frame of a file, read with our reader.
std::vector<Bytes> AllFrameRows(const std::string& path);
// The header and pixels of a DIB; empty for null.
Bytes WholeDib(const BITMAPINFOHEADER* dib);
// The first pixel byte of a frame, -1 when the reader gives null.
int FrameMark(CAviReader& reader, std::int32_t frame, std::uint32_t stream = 0);
// The test-pattern number of each frame of video stream 0, -1 for null; a
// width or height of 0 takes the frame's own.
std::vector<int> PatternNumbers(const std::string& path, int width = 0, int height = 0);
// Every sample of audio stream 0 through ReadAudio in pieces; a failure when
// one the stream counts cannot be read.
Bytes ReadAllAudio(CAviReader& reader, std::int32_t pieceSamples);
// Everything a reader hands out for a file, gathered for comparison and
// checked for consistency on the way (each stream's header against its
// length, rates and scales not 0, no counted audio sample unreadable).
struct Contents {
    bool opened = false;
    std::vector<std::uint32_t> lengths; // video streams, then audio streams
    std::vector<std::uint32_t> rates;
    std::vector<Bytes> frames; // WholeDib of the first 50 frames of video stream 0
    Bytes audioFormat;
    Bytes audio; // audio stream 0
    bool operator==(const Contents&) const = default;
};
// Of a reader that Open or OpenMemory gave `opened`.
Contents Gather(CAviReader& reader, bool opened);
// The sizes of the chunks with this id in the first RIFF's movi list, in file
// order; a failure when the file's chunk tree is not sound.
std::vector<std::uint32_t> MoviChunkSizes(const std::string& path, const char* id);
// The indexes the reader builds for the streams, and where they came from.
bool LoadIndexes(const std::string& path, std::vector<kmx::AviStreamIndex>& out,
                 kmx::AviIndexSource* source, const std::vector<int>& streams = {0, 1});

AVISTREAMINFOA VideoHeader(int width, int height, std::uint32_t rate = 25, std::uint32_t scale = 1,
                           std::uint32_t handler = MakeFourcc('D', 'I', 'B', ' '));
AVISTREAMINFOA AudioHeader(std::uint32_t sampleRate = 44100, int channels = 2);

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
};

class RiffFile {
public:
    // Reads the whole chunk tree. False, with the reason in *problem, when a
    // chunk passes the end of its parent or the top level is not a sequence
    // of RIFF chunks covering the file exactly.
    bool Load(const std::string& path, std::string* problem);

    const std::vector<Chunk>& Riffs() const { return riffs_; }
    std::uint64_t FileSize() const { return fileSize_; }
    Bytes Data(const Chunk& c) const;

private:
    Bytes Read(std::uint64_t offset, std::size_t size) const;
    bool Parse(std::uint64_t begin, std::uint64_t end, std::vector<Chunk>* out, int depth,
               std::string* problem);
    std::string path_;
    std::uint64_t fileSize_ = 0;
    std::vector<Chunk> riffs_;
};

// Runs ffmpeg with the arguments after "-v error -y"; the messages go to *errors.
bool Ffmpeg(const std::vector<std::string>& args, std::string* errors = nullptr);
// ffprobe -count_frames of the streams and packets: "stream.N.key" and
// "packets.packet.N.key" (stream_index, pts, flags) -> value; empty when it
// failed.
std::map<std::string, std::string> ProbeStreams(const std::string& path,
                                                std::string* errors = nullptr);
// The first video stream decoded to raw top-down frames in pixelFormat, or
// the first audio stream as s16le; empty when ffmpeg fails.
Bytes FfmpegVideo(const std::string& path, const std::string& pixelFormat);
Bytes FfmpegAudio(const std::string& path);
// Peak signal-to-noise ratio of two frames in dB (1000 when identical, 0
// when their sizes differ).
double Psnr(const Bytes& a, const Bytes& b);
// Rows of a top-down frame without padding turned into a bottom-up DIB with
// rows padded to 4 bytes.
Bytes TopDownToDib(const std::uint8_t* topDown, int width, int height, int bitsPerPixel);

} // namespace avitest
