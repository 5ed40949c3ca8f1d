// Compression speed and output size of every available compressor on
// 720 x 576 24-bit test-pattern frames at the default settings. Prints a
// Markdown table.
//
//   kadrimix_compressor_bench [--seconds S] [--width W] [--height H] [--only FOURCC]
//                             [--threads N]
//   kadrimix_compressor_bench --quantisers
//
// The second form prints, for every lossy compressor with a quality
// setting, the encoder value that quality 25, 50, 75 and 100 give (used by
// bench/quality-scale.sh).
#include "codec/Compressor.h"
#include "codec/CompressorInfo.h"
#include "codec/CompressorTable.h"
#include "codec/EncoderSettings.h"
#include "media/io/WorkThreads.h"
#include "pattern/TestPattern.h"

extern "C" {
#include <libavutil/log.h>
}

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Options {
    double seconds = 2.0; // measuring time per compressor
    int width = 720;
    int height = 576;
    std::string only; // one FOURCC, or all
    int threads = 1;
};

struct Result {
    bool ok = false;
    int frames = 0;
    double framesPerSecond = 0.0;
    double bytesPerFrame = 0.0;
};

bool ParseOptions(int argc, char** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (i + 1 >= argc) {
            return false;
        }
        const char* value = argv[++i];
        if (option == "--seconds") {
            options->seconds = std::atof(value);
        } else if (option == "--width") {
            options->width = std::atoi(value);
        } else if (option == "--height") {
            options->height = std::atoi(value);
        } else if (option == "--only") {
            options->only = value;
        } else if (option == "--threads") {
            options->threads = std::atoi(value);
        } else {
            return false;
        }
    }
    return options->seconds > 0 && options->width > 0 && options->height > 0 &&
           options->threads >= 1 && options->threads <= kmx::kMaxWorkThreads;
}

// Test-pattern frames with unpadded rows, as the pipeline hands them over.
std::vector<std::vector<std::uint8_t>> MakeFrames(int width, int height, int count) {
    std::vector<std::vector<std::uint8_t>> frames;
    for (int n = 0; n < count; ++n) {
        frames.push_back(kmx::PackedTestPatternFrame(width, height, 24, n));
    }
    return frames;
}

Result Measure(const kmx::CompressorEntry& entry, const Options& options,
               const std::vector<std::vector<std::uint8_t>>& frames) {
    Result result;
    std::unique_ptr<CCompressor> compressor = CCompressor::Open(ICTYPE_VIDEO, entry.fourcc);
    if (!compressor) {
        return result;
    }
    BITMAPINFOHEADER input = kmx::TestPatternFormat(options.width, options.height, 24);
    COMPVARS settings{};
    settings.cbSize = 64;
    settings.fccType = ICTYPE_VIDEO;
    settings.fccHandler = entry.fourcc;
    settings.lQ = ICQUALITY_DEFAULT;
    if (compressor->GetFormatSize(&input) <= 0 ||
        !compressor->SeqCompressFrameStart(settings, &input)) {
        return result;
    }
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    double elapsed = 0.0;
    std::int64_t bytes = 0;
    // At least a few frames, also for the slow compressors; at most one pass
    // of the time budget otherwise.
    while (result.frames < 5 || elapsed < options.seconds) {
        const std::vector<std::uint8_t>& frame = frames[result.frames % frames.size()];
        bool key = false;
        std::int32_t size = 0;
        if (compressor->SeqCompressFrame(frame.data(), static_cast<std::int64_t>(frame.size()),
                                         &key, &size) == nullptr) {
            return result;
        }
        bytes += size;
        ++result.frames;
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    }
    compressor->SeqCompressFrameEnd();
    result.ok = true;
    result.framesPerSecond = result.frames / elapsed;
    result.bytesPerFrame = static_cast<double>(bytes) / result.frames;
    return result;
}

// The encoder's own value for a quality: quantiser scale, rate factor or
// Cinepak's lambda.
void PrintQuantisers() {
    for (const kmx::CompressorEntry& entry : kmx::CompressorTable()) {
        if (!kmx::IsCompressorAvailable(entry) || entry.quality == kmx::QualityControl::None) {
            continue;
        }
        for (const int quality : {25, 50, 75, 100}) {
            const int q = quality * 100;
            std::string value;
            switch (entry.quality) {
            case kmx::QualityControl::QScale:
                value = "qscale " + std::to_string(kmx::QScaleForQuality(q));
                break;
            case kmx::QualityControl::Crf:
            case kmx::QualityControl::Crf63: {
                const bool crf63 = entry.quality == kmx::QualityControl::Crf63;
                char text[32];
                std::snprintf(text, sizeof text, crf63 ? "crf %.0f" : "crf %.1f",
                              crf63 ? std::round(kmx::Crf63ForQuality(q)) : kmx::CrfForQuality(q));
                value = text;
                break;
            }
            case kmx::QualityControl::CinepakLambda:
                value = "lambda " + std::to_string(kmx::CinepakLambdaForQuality(q));
                break;
            case kmx::QualityControl::None:
                break;
            }
            std::printf("%s %d %s\n", kmx::FourccText(entry.fourcc).c_str(), quality,
                        value.c_str());
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "--quantisers") {
        PrintQuantisers();
        return 0;
    }
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        std::fprintf(stderr,
                     "Usage: kadrimix_compressor_bench [--seconds S] [--width W] [--height H] "
                     "[--only FOURCC] [--threads N]\n"
                     "       kadrimix_compressor_bench --quantisers\n");
        return 2;
    }
    kmx::SetWorkThreads(options.threads);
    av_log_set_level(AV_LOG_ERROR);
    const std::vector<std::vector<std::uint8_t>> frames =
        MakeFrames(options.width, options.height, 50);
    const double raw = static_cast<double>(frames.front().size());

    std::printf("Compressors on %d x %d 24-bit test-pattern frames, default settings, "
                "%d thread(s), %.1f s each:\n\n",
                options.width, options.height, options.threads, options.seconds);
    std::printf("| FOURCC | Compressor | Kind | Frames/s | Bytes/frame | %% of raw |\n");
    std::printf("|---|---|---|---:|---:|---:|\n");
    for (const kmx::CompressorEntry& entry : kmx::CompressorTable()) {
        if (!kmx::IsCompressorAvailable(entry) ||
            (!options.only.empty() && options.only != kmx::FourccText(entry.fourcc))) {
            continue;
        }
        const Result r = Measure(entry, options, frames);
        const std::string fourcc = kmx::FourccText(entry.fourcc);
        if (!r.ok) {
            std::printf("| `%s` | %s | %s | failed | | |\n", fourcc.c_str(), entry.shortName,
                        entry.lossless ? "lossless" : "lossy");
            continue;
        }
        std::printf("| `%s` | %s | %s | %.1f | %.0f | %.1f |\n", fourcc.c_str(), entry.shortName,
                    entry.lossless ? "lossless" : "lossy", r.framesPerSecond, r.bytesPerFrame,
                    100.0 * r.bytesPerFrame / raw);
        std::fflush(stdout);
    }
    return 0;
}
