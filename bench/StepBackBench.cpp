// Stepping back through a video one frame at a time, as the player does when
// Left is held on its slider: opens the file, shows the first frame, jumps to
// the last and steps back to the first. Prints the time of the jump, the
// median and slowest step, and every step over 100 ms with its frame: the
// steps that enter a key-frame segment not decoded yet, which decode it.
//
//   kadrimix_step_back_bench FILE
#include "media/AviReader.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// The time GetVideoFrame takes; false when the frame cannot be had.
bool TimeFrame(CAviReader& reader, std::int32_t frame, double* ms) {
    const BITMAPINFOHEADER* header = nullptr;
    const auto start = Clock::now();
    reader.GetVideoFrame(0, frame, &header);
    *ms = Milliseconds(Clock::now() - start);
    return header != nullptr;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kadrimix_step_back_bench FILE\n");
        return 2;
    }
    CAviReader reader;
    if (!reader.Open(argv[1]) || reader.GetVideoStreamCount() == 0 ||
        !reader.StartVideoRetrieve(0)) {
        std::fprintf(stderr, "cannot read the video of %s\n", argv[1]);
        return 1;
    }
    const std::int32_t length = reader.GetVideoLength(0);
    double first = 0;
    double jump = 0;
    if (length < 2 || !TimeFrame(reader, 0, &first) || !TimeFrame(reader, length - 1, &jump)) {
        std::fprintf(stderr, "cannot decode the first and the last frame\n");
        return 1;
    }
    std::vector<double> steps;
    std::vector<std::int32_t> slow;
    for (std::int32_t frame = length - 2; frame >= 0; --frame) {
        double ms = 0;
        if (!TimeFrame(reader, frame, &ms)) {
            std::fprintf(stderr, "frame %d cannot be decoded\n", frame);
            return 1;
        }
        steps.push_back(ms);
        if (ms > 100) {
            slow.push_back(frame);
        }
    }
    std::vector<double> sorted = steps;
    std::sort(sorted.begin(), sorted.end());
    std::printf("%d frames: first %.1f ms, jump to the last %.1f ms\n", length, first, jump);
    std::printf("%zu steps back: median %.2f ms, 99th percentile %.2f ms, slowest %.1f ms\n",
                steps.size(), sorted[sorted.size() / 2], sorted[sorted.size() * 99 / 100],
                sorted.back());
    if (sorted.size() > slow.size()) {
        std::printf("slowest step of at most 100 ms: %.2f ms\n",
                    sorted[sorted.size() - 1 - slow.size()]);
    }
    std::printf("%zu steps over 100 ms, at frames:", slow.size());
    for (const std::int32_t frame : slow) {
        std::printf(" %d (%.0f ms)", frame, steps[static_cast<std::size_t>(length - 2 - frame)]);
    }
    std::printf("\n");
    return 0;
}
