// Read-only access to one AVI file: its audio and video streams (up to five of
// each kind), stream headers, formats and lengths, decoded video frames as
// packed DIBs, raw audio samples, and frame/time conversions.
//
// The reader never shows messages; every operation reports by its result.
#pragma once

#include "media/AviRecords.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace kmx {
class IByteSource;
}

class CAviReader {
public:
    static constexpr std::uint32_t kMaxStreams = 5;

    CAviReader();
    virtual ~CAviReader();
    CAviReader(const CAviReader&) = delete;
    CAviReader& operator=(const CAviReader&) = delete;

    // Opens a file (UTF-8 path). True when the file, its streams and all their
    // formats could be read. An open reader is closed first; a failed Open
    // leaves the reader closed.
    bool Open(const char* name);
    // The same for an AVI file held in memory. The bytes stay the caller's
    // and must remain valid until Close or the next Open.
    bool OpenMemory(const std::uint8_t* data, std::size_t size);
    // The same for any byte source, which the reader then owns.
    bool Open(std::unique_ptr<kmx::IByteSource> source);
    // Safe at any time, also twice.
    void Close();

    std::uint32_t GetVideoStreamCount() const;
    std::uint32_t GetAudioStreamCount() const;

    // Fills info (size: the caller's record size, 140) from the stream header;
    // dwLength is the number of samples that really exist. False for a bad
    // index or a size below 140.
    bool GetVideoStreamInfo(std::uint32_t index, AVISTREAMINFOA* info, std::int32_t size) const;
    bool GetAudioStreamInfo(std::uint32_t index, AVISTREAMINFOA* info, std::int32_t size) const;

    // Length in frames / samples; 0 for a bad index.
    std::int32_t GetVideoLength(std::uint32_t index) const;
    std::int32_t GetAudioLength(std::uint32_t index) const;

    // Opens (or reopens) the frame decoder of a video stream.
    bool StartVideoRetrieve(std::uint32_t index);
    // False only for a bad index; a stream without decoder gives true.
    bool StopVideoRetrieve(std::uint32_t index);

    // Sets *out to the decoded frame, a packed DIB (header, for 8 bits a
    // 1024-byte colour table, then bottom-up rows padded to 4 bytes, with
    // biHeight positive and biSizeImage set), or to null when the frame cannot
    // be decoded or lies outside the stream. The block belongs to the reader
    // and stays valid until the next GetVideoFrame on that stream,
    // StopVideoRetrieve or Close.
    void GetVideoFrame(std::uint32_t index, std::int32_t frame, const BITMAPINFOHEADER** out);
    // Hands out the stream's frames as 'I420' pictures (media/DibFrame.h)
    // from now on, when they are decoded from 4:2:0 pictures in the BT.601
    // matrix and need no turning; a frame must have been read first. False,
    // changing nothing, otherwise (also for uncompressed streams).
    bool UsePlanarVideo(std::uint32_t index);

    // Frames of the stream that the decoder found damaged (and concealed or
    // repeated the frame before) since StartVideoRetrieve; 0 for a bad index.
    std::int32_t GetDamagedFrameCount(std::uint32_t index) const;

    // Milliseconds of a frame, or -1; needs StartVideoRetrieve on the stream.
    std::int32_t VideoFrameToTime(std::uint32_t index, std::int32_t frame) const;
    // Frame at a time in milliseconds, or -1 (also past the stream's end time);
    // needs StartVideoRetrieve on the stream.
    std::int32_t VideoTimeToFrame(std::uint32_t index, std::int32_t ms) const;

    // From here on the audio stream is described and delivered as 16-bit
    // PCM decoded from it (GetAudioStreamInfo, GetAudioFormat, GetAudioLength
    // and ReadAudio, one sample being one sample frame), for a stream whose
    // blocks cannot simply be cut and reversed. A stream that is already PCM
    // (see kmx::IsPcmWaveFormat) stays as it is. False for a bad index or
    // when the stream cannot be decoded; the stream is then unchanged.
    bool DecodeAudioToPcm(std::uint32_t index);

    // The audio stream's format block as stored in the file (read only, owned
    // by the reader) and its size; null and size 0 for a bad index.
    const std::uint8_t* GetAudioFormat(std::uint32_t index, std::int32_t* size) const;

    // Reads count samples from sample first into buffer (bufferSize bytes).
    // A sample is the stream's dwSampleSize bytes, or one whole chunk when
    // that is 0. A buffer too small for the request takes as many whole
    // samples as fit; a request reaching past the end of the stream reads the
    // samples that exist (*samplesRead tells how many). count -1 reads as
    // many samples as fit. A null buffer reads nothing and reports the bytes
    // and samples the request would give.
    // Results: 0 on success; kReadAudioBadIndex (998) for an index at or
    // above the audio count; kReadAudioNoStream (999) when the stream slot is
    // empty; kReadAudioBadParam when first lies outside the stream (0 to
    // length - 1), count is below -1 or bufferSize is negative;
    // kReadAudioBufferTooSmall when not even one sample fits; kReadAudioFileRead
    // when the file cannot be read. These three carry the values of AVIFile's
    // AVIERR_BADPARAM, AVIERR_BUFFERTOOSMALL and AVIERR_FILEREAD. On any
    // failure nothing is read and both counts are 0.
    static constexpr std::int32_t kReadAudioBadIndex = 998;
    static constexpr std::int32_t kReadAudioNoStream = 999;
    static constexpr std::int32_t kReadAudioBadParam = static_cast<std::int32_t>(0x80044069u);
    static constexpr std::int32_t kReadAudioFileRead = static_cast<std::int32_t>(0x8004406Cu);
    static constexpr std::int32_t kReadAudioBufferTooSmall = static_cast<std::int32_t>(0x80044070u);
    std::int32_t ReadAudio(std::uint32_t index, std::int32_t first, std::int32_t count,
                           void* buffer, std::int32_t bufferSize, std::int32_t* bytesRead,
                           std::int32_t* samplesRead);

private:
    struct State;
    std::unique_ptr<State> state_;
};
