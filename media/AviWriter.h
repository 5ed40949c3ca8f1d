// Creates one AVI file and writes at most one video and one audio stream into
// it, sample by sample, keeping the write positions itself. The writer does
// no compression and shows no messages; every operation reports by its result.
#pragma once

#include "media/AviRecords.h"

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

    // Completes the file (headers, lengths, indexes) and closes it. Safe at any
    // time. False when finishing the file failed; the file then still holds
    // every sample that was written before.
    bool Close();

    // False without an open file or when a stream of that kind exists already.
    // The header is taken as given; only lengths are filled in by the writer.
    bool CreateVideoStream(const AVISTREAMINFOA& header);
    bool CreateAudioStream(const AVISTREAMINFOA& header);

    // False when the stream of that kind does not exist.
    bool SetVideoFormat(const void* format, std::int32_t size);
    bool SetAudioFormat(const void* format, std::int32_t size);

    // Writes one video sample at the video position, which advances by one
    // also when the write fails (the sample then stays an empty drop frame).
    bool WriteVideoFrame(const void* data, std::int32_t size, std::int32_t key);

    // Writes samples audio samples of bytes bytes; the audio position advances
    // by the samples written.
    bool WriteAudio(const void* data, std::int32_t bytes, std::int32_t samples);

    std::int32_t VideoPosition() const;
    std::int32_t AudioPosition() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};
