// Stepping back through a video one frame at a time, as the player does when
// Left is held on its slider: opens the file, shows the first frame, jumps to
// the last and steps back to the first, one step every MS milliseconds (the
// key's repeat; default 33), each step as the window takes it: from the
// readers that decode ahead (ui/main/StepBackReaders.h), or else from the
// window's own reader. Prints the time of the jump, the median and slowest
// step, and every step over 100 ms with its frame.
//
//   kadrimix_step_back_bench FILE [MS]
#include "media/AviReader.h"
#include "ui/main/StepBackReaders.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
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
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: kadrimix_step_back_bench FILE [MS]\n");
        return 2;
    }
    const std::chrono::milliseconds pace(argc == 3 ? std::atoi(argv[2]) : 33);
    CAviReader reader;
    if (!reader.Open(argv[1]) || reader.GetVideoStreamCount() == 0 ||
        !reader.StartVideoRetrieve(0)) {
        std::fprintf(stderr, "cannot read the video of %s\n", argv[1]);
        return 1;
    }
    const std::int32_t length = reader.GetVideoLength(0);
    CStepBackReaders ahead;
    ahead.SetFile(argv[1]);
    // A frame as the window shows it at a step back or a jump to the end.
    const auto show = [&](std::int32_t frame, double* ms) {
        const auto start = Clock::now();
        ahead.Prepare(frame, reader.GetKeyFrameAtOrBefore(0, frame));
        if (ahead.WithFrame(frame, std::chrono::seconds(5), [](const BITMAPINFOHEADER*) {})) {
            *ms = Milliseconds(Clock::now() - start);
            return true;
        }
        return TimeFrame(reader, frame, ms);
    };
    double first = 0;
    double jump = 0;
    if (length < 2 || !TimeFrame(reader, 0, &first) || !show(length - 1, &jump)) {
        std::fprintf(stderr, "cannot decode the first and the last frame\n");
        return 1;
    }
    std::vector<double> steps;
    std::vector<std::int32_t> slow;
    for (std::int32_t frame = length - 2; frame >= 0; --frame) {
        const auto start = Clock::now();
        double ms = 0;
        if (!show(frame, &ms)) {
            std::fprintf(stderr, "frame %d cannot be decoded\n", frame);
            return 1;
        }
        std::this_thread::sleep_until(start + pace);
        steps.push_back(ms);
        if (ms > 100) {
            slow.push_back(frame);
        }
    }
    const auto closing = Clock::now();
    ahead.SetFile(std::string());
    if (!ahead.WaitUntilIdle(std::chrono::seconds(60))) {
        std::fprintf(stderr, "the readers did not close\n");
    }
    const double closed = Milliseconds(Clock::now() - closing);
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
    std::printf("closing the readers %.0f ms\n", closed);
    std::printf("%zu steps over 100 ms, at frames:", slow.size());
    for (const std::int32_t frame : slow) {
        std::printf(" %d (%.0f ms)", frame, steps[static_cast<std::size_t>(length - 2 - frame)]);
    }
    std::printf("\n");
    return 0;
}
