// libFuzzer target for the AVI reader: the input bytes are opened from memory
// and read in every way the program reads its inputs: stream
// information, frames forwards, backwards and by jumps, the conversions, and
// all audio in pieces of changing size.
#include "fuzz/ReaderExercise.h"
#include "media/AviReader.h"

#include <cstddef>
#include <cstdint>

namespace {

constexpr std::int32_t kMaxFrames = 200;
constexpr int kMaxAudioPieces = 400;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CAviReader reader;
    if (reader.OpenMemory(data, size)) {
        std::int32_t budget = kMaxFrames;
        for (std::uint32_t i = 0; i < reader.GetVideoStreamCount(); ++i) {
            fuzzread::ReadVideo(reader, i, budget);
        }
        for (std::uint32_t i = 0; i < reader.GetAudioStreamCount(); ++i) {
            fuzzread::ReadAudio(reader, i, kMaxAudioPieces);
        }
        // Reopening the same reader must start from a clean state.
        reader.OpenMemory(data, size);
        if (reader.GetVideoStreamCount() > 0 && reader.StartVideoRetrieve(0)) {
            const BITMAPINFOHEADER* frame = nullptr;
            reader.GetVideoFrame(0, 0, &frame);
        }
        reader.Close();
    }
    return 0;
}
