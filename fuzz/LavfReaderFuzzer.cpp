// libFuzzer target for the libavformat reader: the input bytes are opened
// from memory and read as the program reads its inputs: stream information,
// frames forwards, backwards and by jumps (which seek the demuxer), and all
// audio in pieces of changing size.
#include "fuzz/ReaderExercise.h"
#include "media/lavf/LavfMediaSource.h"

#include <cstddef>
#include <cstdint>

namespace {

constexpr std::int32_t kMaxFrames = 60;
constexpr int kMaxAudioPieces = 200;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kmx::CLavfMediaSource reader;
    if (reader.OpenMemory(data, size)) {
        std::int32_t budget = kMaxFrames;
        if (reader.GetVideoStreamCount() > 0) {
            fuzzread::ReadVideo(reader, 0, budget);
        }
        if (reader.GetAudioStreamCount() > 0) {
            fuzzread::ReadAudio(reader, 0, kMaxAudioPieces);
        }
        reader.Close();
    }
    return 0;
}
