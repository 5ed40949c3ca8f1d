// Start-up shared by the fuzz targets: libav's log would only drown the
// fuzzer's own output in notes about the damaged inputs it is fed.
#include <cstdint>

extern "C" {
#include <libavutil/log.h>
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    av_log_set_level(AV_LOG_QUIET);
    return 0;
}
