#include "cli/SelfCheck.h"

#include "codec/CompressorRecords.h"
#include "engine/ConvertJob.h"
#include "engine/FrameTransforms.h"
#include "media/AviRecords.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

bool Check(bool ok, const char* what) {
    std::printf("  %-44s %s\n", what, ok ? "ok" : "FAILED");
    return ok;
}

bool CheckRecords() {
    COMPVARS cv = kmx::MakeEmptyCompVars();
    cv.fccHandler = FOURCC_DIB;
    cv.lQ = 10000;
    std::array<std::uint8_t, kmx::kCompVarsSize> bytes{};
    kmx::StoreRecord(bytes.data(), cv);
    COMPVARS back{};
    kmx::LoadRecord(bytes.data(), back);
    return std::memcmp(&cv, &back, sizeof cv) == 0 && bytes[0] == 64 &&
           std::memcmp(bytes.data() + 16, "DIB ", 4) == 0;
}

bool CheckJob() {
    const ConvertJob job = MakeInitialJob();
    return job.overlays.front().number == 1 && job.overlays.back().number == kOverlaySlotCount &&
           job.compressorSettings.cbSize == 64;
}

bool CheckTransforms() {
    // A 4 x 4 24-bit frame whose pixels carry their own index.
    constexpr int kSize = 4;
    std::vector<std::uint8_t> frame(kSize * kSize * 3);
    for (std::size_t i = 0; i < frame.size(); ++i) {
        frame[i] = static_cast<std::uint8_t>(i / 3);
    }
    const std::vector<std::uint8_t> original = frame;
    CFrameTransforms transforms;
    transforms.MirrorRows(frame.data(), kSize, kSize, 3, false, false, false);
    transforms.MirrorColumns(frame.data(), kSize, kSize, 3, false, false);
    // Both mirrors together turn the picture by 180 degrees.
    for (int p = 0; p < kSize * kSize; ++p) {
        if (frame[static_cast<std::size_t>(p) * 3] !=
            original[static_cast<std::size_t>(kSize * kSize - 1 - p) * 3]) {
            return false;
        }
    }
    transforms.MirrorColumns(frame.data(), kSize, kSize, 3, false, false);
    transforms.MirrorRows(frame.data(), kSize, kSize, 3, false, false, false);
    return frame == original;
}

} // namespace

int RunSelfCheck() {
    std::printf("Kadrimix self-check\n");
    bool ok = true;
    ok &= Check(CheckRecords(), "compressor record serialisation");
    ok &= Check(CheckJob(), "initial conversion job");
    ok &= Check(CheckTransforms(), "frame mirrors");
    std::printf(ok ? "self-check passed\n" : "self-check FAILED\n");
    return ok ? 0 : 1;
}
