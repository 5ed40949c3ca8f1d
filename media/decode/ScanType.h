// How a video's pictures are scanned, as far as the file or its codec says.
#pragma once

namespace kmx {

enum class ScanType { Unknown, Progressive, TopFieldFirst, BottomFieldFirst };

// The console's and the file information's words for it: "progressive",
// "interlaced (top field first)", "interlaced (bottom field first)",
// "unknown".
const char* ScanTypeText(ScanType scan);

} // namespace kmx
