#include "media/decode/ScanType.h"

namespace kmx {

const char* ScanTypeText(ScanType scan) {
    switch (scan) {
    case ScanType::Progressive:
        return "progressive";
    case ScanType::TopFieldFirst:
        return "interlaced (top field first)";
    case ScanType::BottomFieldFirst:
        return "interlaced (bottom field first)";
    case ScanType::Unknown:
        break;
    }
    return "unknown";
}

} // namespace kmx
