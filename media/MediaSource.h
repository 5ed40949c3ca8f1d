// What the program reads from a video file, whatever its container: up to
// five audio and five video streams, their headers, formats and lengths,
// decoded video frames as packed DIBs, audio samples, and frame/time
// conversions. Our RIFF code (media/avi) and libavformat (media/lavf) each
// implement it; CAviReader picks one for a file.
//
// A source never shows messages; every operation reports by its result.
#pragma once

#include "media/AviRecords.h"
#include "media/MediaSink.h"
#include "media/decode/ScanType.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kmx {

// One packet of encoded audio as a file holds it; pts and duration in
// samples of the stream's rate.
struct EncodedAudioPacket {
    std::vector<std::uint8_t> data;
    std::int64_t pts = 0;
    std::int64_t duration = 0;
    std::int64_t discardEnd = 0; // padding samples the decoder drops at its end
};

class IMediaSource {
public:
    static constexpr std::uint32_t kMaxStreams = 5;

    // Results of ReadAudio.
    static constexpr std::int32_t kReadAudioBadIndex = 998;
    static constexpr std::int32_t kReadAudioNoStream = 999;
    // These three carry the values of AVIFile's AVIERR_BADPARAM,
    // AVIERR_FILEREAD and AVIERR_BUFFERTOOSMALL.
    static constexpr std::int32_t kReadAudioBadParam = static_cast<std::int32_t>(0x80044069u);
    static constexpr std::int32_t kReadAudioFileRead = static_cast<std::int32_t>(0x8004406Cu);
    static constexpr std::int32_t kReadAudioBufferTooSmall = static_cast<std::int32_t>(0x80044070u);

    virtual ~IMediaSource() = default;

    virtual std::uint32_t GetVideoStreamCount() const = 0;
    virtual std::uint32_t GetAudioStreamCount() const = 0;

    // Fills info (size: the caller's record size, 140) from the stream header;
    // dwLength is the number of samples that really exist. False for a bad
    // index or a size below 140.
    virtual bool GetVideoStreamInfo(std::uint32_t index, AVISTREAMINFOA* info,
                                    std::int32_t size) const = 0;
    virtual bool GetAudioStreamInfo(std::uint32_t index, AVISTREAMINFOA* info,
                                    std::int32_t size) const = 0;

    // Length in frames / samples; 0 for a bad index.
    virtual std::int32_t GetVideoLength(std::uint32_t index) const = 0;
    virtual std::int32_t GetAudioLength(std::uint32_t index) const = 0;

    // Whether the stream's pictures are shown for different lengths of time
    // in the file, and are handed out at its highest rate, slower stretches
    // repeating pictures; false for a bad index.
    virtual bool IsVariableFrameRate(std::uint32_t /*index*/) const { return false; }
    // How the stream's pictures are scanned: as the container declares it,
    // else as the codec flags the first frame decoded (needs a frame read
    // after StartVideoRetrieve); Unknown where neither says.
    virtual ScanType GetScanType(std::uint32_t /*index*/) const { return ScanType::Unknown; }

    // Opens (or reopens) the frame decoder of a video stream.
    virtual bool StartVideoRetrieve(std::uint32_t index) = 0;
    // False only for a bad index; a stream without decoder gives true.
    virtual bool StopVideoRetrieve(std::uint32_t index) = 0;
    // True between a successful StartVideoRetrieve and StopVideoRetrieve.
    virtual bool IsRetrieving(std::uint32_t index) const = 0;

    // Sets *out to the decoded frame, a packed DIB (header, for 8 bits a
    // 1024-byte colour table, then bottom-up rows padded to 4 bytes, with
    // biHeight positive and biSizeImage set), or to null when the frame cannot
    // be decoded or lies outside the stream. The block belongs to the source
    // and stays valid until the next GetVideoFrame on that stream,
    // StopVideoRetrieve or Close.
    virtual void GetVideoFrame(std::uint32_t index, std::int32_t frame,
                               const BITMAPINFOHEADER** out) = 0;
    // Hands out the stream's frames as 'I420' pictures (media/decode/DibFrame.h)
    // from now on, when they are decoded from 4:2:0 pictures in the BT.709
    // matrix (bt709) or else the BT.601 one, and need no turning; a frame
    // must have been read first. False, changing nothing, otherwise (also
    // for uncompressed streams).
    virtual bool UsePlanarVideo(std::uint32_t index, bool bt709) = 0;
    // Says that the stream's frames will be asked for backwards, until the
    // next StartVideoRetrieve, so that its decoder keeps what it decodes on
    // the way; needs StartVideoRetrieve on the stream.
    virtual void ReadVideoBackwards(std::uint32_t /*index*/) {}
    // Whether reading the stream backwards took longer than it needed:
    // the temporary folder had no room for the decoded frames, which were
    // decoded again instead.
    virtual bool BackwardReadingFellShort(std::uint32_t /*index*/) const { return false; }
    // The first frame of the key-frame stretch that holds the frame: where
    // decoding it starts. -1 where every frame decodes on its own (raw and
    // intra-only streams), where frames do not map one to one onto the
    // stream's pictures (a variable frame rate), or while the stream is not
    // retrieved.
    virtual std::int32_t GetKeyFrameAtOrBefore(std::uint32_t /*index*/,
                                               std::int32_t /*frame*/) const {
        return -1;
    }

    // Frames of the stream that the decoder found damaged (and concealed or
    // repeated the frame before) since StartVideoRetrieve; 0 for a bad index.
    virtual std::int32_t GetDamagedFrameCount(std::uint32_t index) const = 0;

    // What the container promised of the stream: its index's or header's
    // frame count, or its duration at its frame rate; 0 when it names none.
    // More than GetVideoLength when the file is cut short.
    virtual std::int32_t GetPromisedVideoLength(std::uint32_t /*index*/) const { return 0; }
    // Whether reading the file stopped on an error (a damaged or cut file)
    // rather than at its end.
    virtual bool EndedOnError() const { return false; }

    // The shape of one pixel of the stream's frames as handed out (width :
    // height, turned with the frames), for anamorphic video. False when the
    // file does not say or for a bad index: square pixels then.
    virtual bool GetSampleAspect(std::uint32_t index, std::int32_t* num,
                                 std::int32_t* den) const = 0;

    // The audio stream's packets as the file holds them, for a forward run
    // that copies them into a container taking their codec: fills *details
    // (codec, its headers, rate, channels, the encoder's delay) and starts
    // at the first packet. Sample 0 is the one ReadAudio calls 0. False when
    // the source cannot hand the stream's packets out.
    virtual bool OpenAudioPackets(std::uint32_t index, MediaCodecDetails* details) = 0;
    // The next packet in file order; false at the end or when the file
    // cannot be read further.
    virtual bool ReadAudioPacket(EncodedAudioPacket* packet) = 0;

    // The container ("AVI", "MP4", "QuickTime / MOV", "Matroska / WebM",
    // ...) and a stream's codec as libavcodec names it ("h264", "aac");
    // empty for a bad index or a codec libavcodec does not know. The audio
    // codec is the file's own, also once it is decoded to PCM.
    virtual std::string ContainerName() const = 0;
    virtual std::string VideoCodecName(std::uint32_t index) const = 0;
    virtual std::string AudioCodecName(std::uint32_t index) const = 0;

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
    virtual bool DecodeAudioToPcm(std::uint32_t index) = 0;

    // The audio stream's format block (read only, owned by the source) and
    // its size; null and size 0 for a bad index.
    virtual const std::uint8_t* GetAudioFormat(std::uint32_t index, std::int32_t* size) const = 0;

    // Reads count samples from sample first into buffer (bufferSize bytes).
    // A sample is the stream's dwSampleSize bytes, or one whole chunk when
    // that is 0. A buffer too small for the request takes as many whole
    // samples as fit; a request reaching past the end of the stream reads the
    // samples that exist (*samplesRead tells how many). count -1 reads as
    // many samples as fit. A null buffer reads nothing and reports the bytes
    // and samples the request would give.
    // Results: 0 on success; kReadAudioBadIndex for an index at or above the
    // audio count; kReadAudioNoStream when the stream slot is empty;
    // kReadAudioBadParam when first lies outside the stream (0 to
    // length - 1), count is below -1 or bufferSize is negative;
    // kReadAudioBufferTooSmall when not even one sample fits;
    // kReadAudioFileRead when the file cannot be read. On any failure nothing
    // is read and both counts are 0.
    virtual std::int32_t ReadAudio(std::uint32_t index, std::int32_t first, std::int32_t count,
                                   void* buffer, std::int32_t bufferSize, std::int32_t* bytesRead,
                                   std::int32_t* samplesRead) = 0;
};

// A flag that, once raised, stops the reading of the files this thread opens
// from then on (their opening fails), so that a long first reading of a
// large file ends when the user stops the run; null for none.
void SetThreadReadInterrupt(const std::atomic<std::int32_t>* flag);

} // namespace kmx
