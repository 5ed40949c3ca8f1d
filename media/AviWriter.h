// Creates one video file and writes at most one video and one audio stream
// into it, sample by sample, keeping the write positions itself: an AVI by our
// own RIFF code, or an MP4, MOV, MKV or WebM by libavformat (media/lavf). The
// writer does no compression and shows no messages; every operation reports
// by its result.
#pragma once

#include "media/AviRecords.h"
#include "media/MediaSink.h"
#include "media/OutputContainer.h"

#include <cstdint>
#include <memory>

class CAviWriter {
public:
    CAviWriter();
    virtual ~CAviWriter();
    CAviWriter(const CAviWriter&) = delete;
    CAviWriter& operator=(const CAviWriter&) = delete;

    // Closes the writer, deletes any file of that name (UTF-8 path) and
    // creates it anew. True when the file was created.
    bool Create(const char* name);
    // The same for a file of that container.
    bool Create(const char* name, kmx::OutputContainer container);

    // Completes the file (headers, lengths, indexes) and closes it. Safe at any
    // time. False when finishing the file failed or a write error lost
    // samples on the way; the file then still holds every sample that
    // reached the disk whole, with sizes and (where there was room) indexes.
    bool Close();

    // False without an open file, when a stream of that kind exists already,
    // or once samples were written (the file's layout is fixed then).
    // The header is taken as given; only lengths are filled in by the writer,
    // and fccType always names the kind of stream that was created.
    bool CreateVideoStream(const AVISTREAMINFOA& header);
    bool CreateAudioStream(const AVISTREAMINFOA& header);

    // False when the stream of that kind does not exist, once samples were
    // written, or for a null or empty format or one over 1 MiB. A stream
    // whose format is never set is left out of the file.
    bool SetVideoFormat(const void* format, std::int32_t size);
    bool SetAudioFormat(const void* format, std::int32_t size);

    // What containers other than AVI need to know of the stream's codec
    // (codec, its global headers, colour, encoded audio); AVI keeps only the
    // header and format. False when the stream does not exist or once
    // samples were written.
    bool SetVideoDetails(const kmx::MediaCodecDetails& details);
    bool SetAudioDetails(const kmx::MediaCodecDetails& details);

    // Fixes the file's layout and writes its headers now rather than with the
    // first sample, so that the file is a readable AVI (with no samples yet)
    // from here on. False when the headers could not be written.
    bool WriteHeaders();

    // Writes one video sample at the video position, which advances by one
    // also when the write fails (the sample then stays an empty drop frame).
    bool WriteVideoFrame(const void* data, std::int32_t size, std::int32_t key);
    // The same for a sample that shows frame pts and is decoded at dts (in
    // frames), for the containers other than AVI that carry reordered
    // frames; samples come in decoding order.
    bool WriteVideoFrame(const void* data, std::int32_t size, std::int32_t key, std::int64_t pts,
                         std::int64_t dts);

    // Writes samples audio samples of bytes bytes; the audio position advances
    // by the samples written. Without a fixed sample size (dwSampleSize 0)
    // a chunk is one sample, so samples must not exceed 1.
    bool WriteAudio(const void* data, std::int32_t bytes, std::int32_t samples);

    // Writes one packet of encoded audio (SetAudioDetails names its codec)
    // lasting duration samples of its rate, at pts in those samples; the
    // last discardEnd of them are padding, where the container can say so.
    bool WriteAudioPacket(const void* data, std::int32_t bytes, std::int64_t pts,
                          std::int32_t duration, std::int64_t discardEnd = 0);

    // Hands what was written so far to the system; see kmx::IMediaSink.
    bool Flush();

    // errno of the first failure of the file itself (also of a Create or
    // Close that failed), 0 when there was none.
    int ErrorNumber() const;

    std::int32_t VideoPosition() const;
    std::int32_t AudioPosition() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};
