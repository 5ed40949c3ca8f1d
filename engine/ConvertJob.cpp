#include "engine/ConvertJob.h"

ConvertJob MakeInitialJob() {
    ConvertJob job;
    job.compressorSettings = kmx::MakeEmptyCompVars();
    for (int i = 0; i < kOverlaySlotCount; ++i) {
        job.overlays[i].number = i + 1;
    }
    return job;
}
