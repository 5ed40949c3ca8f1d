// Lays out one AVI file over a ByteSink: the header list, interleaved sample
// chunks of up to two streams, the indexes, and the OpenDML extension.
//
// The header reserves a super index per stream and an 'odml' list, as JUNK.
// Each RIFF holds at most riffLimit bytes; when the next chunk would pass
// that, the writer puts a standard index per stream at the end of the RIFF's
// 'movi' list (and idx1 after the first RIFF), and opens an 'AVIX' RIFF. At
// Finish the JUNK turns into the super indexes and the 'odml' list when
// there is more than one RIFF. Every index entry is kept in memory until
// Finish, so that a file whose writing failed half way can still be
// completed with the chunks that reached the file.
//
// While it writes, the writer keeps the file readable as it stands should
// the process die: at least once a second (of wall time, and of any
// stream's time) and after the first chunk of every new RIFF, it sets the
// sizes of the open RIFF and its 'movi' list to the end of the last chunk,
// the frame counts and stream lengths of the header to the chunks written,
// and from the second RIFF on turns the JUNK held for the 'odml' list into
// that list. These are writes of a few bytes in place, never synced; Finish
// overwrites them all, so a finished file does not depend on when they
// happened.
#pragma once

#include "media/AviRecords.h"
#include "media/avi/AviIndexWriter.h"
#include "media/io/FileSink.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kmx {

struct AviStreamSetup {
    // Written as the stream's strh, unchanged except for fccType (set from
    // video), dwLength (the samples written) and dwSuggestedBufferSize
    // (raised to the largest chunk). A non-empty szName gives a strn chunk.
    AVISTREAMINFOA header{};
    std::vector<std::uint8_t> format; // the strf contents
    bool video = false;
};

class RiffAviWriter {
public:
    static constexpr std::uint64_t kDefaultRiffLimit = std::uint64_t{1} << 30;
    static constexpr std::uint32_t kMaxChunkSize = std::uint32_t{512} << 20;
    static constexpr std::uint32_t kMaxFormatSize = std::uint32_t{1} << 20;
    static constexpr std::size_t kMaxStreams = 2;

    // riffLimit is clamped to 1 .. kDefaultRiffLimit; tests pass small values.
    explicit RiffAviWriter(ByteSink& sink, std::uint64_t riffLimit = kDefaultRiffLimit);
    RiffAviWriter(const RiffAviWriter&) = delete;
    RiffAviWriter& operator=(const RiffAviWriter&) = delete;

    // Writes the headers for these streams (stream numbers in this order).
    // False for more than kMaxStreams streams, a format over kMaxFormatSize
    // bytes, a second call, or a write failure.
    bool Begin(const std::vector<AviStreamSetup>& streams);

    // Appends one chunk of the stream holding samples stream samples (1 for
    // a video frame; a size of 0 makes an empty chunk, a dropped frame).
    // False, with nothing written, for a bad stream, null data with a
    // size, a size above kMaxChunkSize, or when the super index has no room
    // for another RIFF. False as well after a write failure; from then on
    // every write fails and Finish completes the file with what reached it.
    bool WriteChunk(std::size_t stream, const void* data, std::uint32_t size, bool key,
                    std::uint32_t samples);

    // Completes the file: closes the last RIFF with its indexes and fills in
    // the header (lengths, counts, super indexes). After a write failure it
    // first cuts the file back to the last chunk that reached it whole. If
    // even the indexes cannot be written, the sizes are still set so that
    // the chunks can be found by scanning. False when anything written was
    // lost or the file could not be completed with its indexes. Once only.
    bool Finish();

    std::size_t StreamCount() const { return streams_.size(); }
    // Chunks of the stream written so far (their index entries).
    std::size_t ChunkCount(std::size_t stream) const;
    std::size_t RiffCount() const { return riffs_.size(); }
    // True once a write to the sink failed.
    bool WriteFailed() const { return lostData_; }

private:
    struct Stream {
        AviStreamSetup setup;
        std::uint32_t chunkId = 0;
        std::uint32_t ixId = 0;
        std::vector<AviIndexEntry> entries;
        std::uint64_t samples = 0;
        std::uint64_t samplesShown = 0; // the length the header gives while writing
    };
    struct Riff {
        std::uint64_t riffPos = 0; // position of 'RIFF'
        std::uint64_t moviPos = 0; // position of the movi list's 'LIST'
        std::uint64_t moviEnd = 0; // 0 while the RIFF is open
        std::uint64_t riffEnd = 0; // 0 while the RIFF is open
        std::array<std::size_t, kMaxStreams> firstEntry{};
        std::array<AviSuperIndexEntry, kMaxStreams> ix{}; // size 0: no standard index
    };

    // Where BuildHeader puts the fields that UpdateOpenFile keeps current.
    struct LiveFields {
        std::uint64_t odmlId = 0;                        // JUNK until the file has a second RIFF
        std::uint64_t mainFrames = 0;                    // avih dwTotalFrames
        std::uint64_t totalFrames = 0;                   // dmlh dwTotalFrames
        std::array<std::uint64_t, kMaxStreams> length{}; // strh dwLength
    };
    // The video frames in the first RIFF and in the whole file.
    struct FrameCounts {
        std::uint32_t firstRiff = 0;
        std::uint32_t total = 0;
    };

    bool NeedNewRiff(std::size_t stream, std::uint32_t size) const;
    bool StartNewRiff();
    bool CloseRiff(bool withStandardIndexes);
    bool WriteHeader(bool withIndex);
    // True when a second of wall time or of a stream's time has passed since
    // the last UpdateOpenFile.
    bool OpenFileUpdateDue() const;
    // The sizes of the open RIFF and movi list, the header's counts.
    bool UpdateOpenFile();
    FrameCounts CountFrames() const;
    // What the main header sums up from all streams.
    struct HeaderFacts;
    HeaderFacts CollectHeaderFacts() const;
    // With fields given, notes where the live fields lie.
    void BuildHeader(RiffByteWriter& out, bool withIndex, LiveFields* fields = nullptr) const;
    void AppendMainHeader(RiffByteWriter& out, const HeaderFacts& facts, bool withIndex,
                          LiveFields* fields) const;
    // The stream's 'strl' list: strh, strf, strn when named, and the super
    // index (JUNK while the file has one RIFF).
    void AppendStreamList(RiffByteWriter& out, std::size_t stream, std::uint32_t largest,
                          LiveFields* fields) const;
    void AppendStreamHeader(RiffByteWriter& out, std::size_t stream, std::uint32_t largest,
                            LiveFields* fields) const;
    void PatchRiffSizes();
    bool Recover();
    bool FinishWithIndex();
    void FinishWithoutIndex();
    int VideoStream() const;

    ByteSink& sink_;
    std::uint64_t riffLimit_;
    std::vector<Stream> streams_;
    std::vector<Riff> riffs_;
    std::uint64_t headerSize_ = 0;
    LiveFields live_;
    std::chrono::steady_clock::time_point lastUpdate_;
    bool updateDue_ = false; // a new RIFF got its first chunk
    bool begun_ = false;
    bool finished_ = false;
    bool lostData_ = false;
};

} // namespace kmx
