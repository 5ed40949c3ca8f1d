// The file information of the main window's input: the three lines shown
// below "File Info" (format, frames and frame rate, duration) and the
// conversion of texts for the window's statics. Whether a first frame's
// format is taken is engine/InputCheck's IsSupportedInputFormat.
#pragma once

#include "media/AviRecords.h"
#include "media/decode/ScanType.h"

#include <QString>

#include <cstdint>
#include <string>

struct InputInfoLines {
    std::string format;   // "Format: 320 x 240 x 24 (DIB )"
    std::string frames;   // "\r\nFrames: 250  Frames/sec.: 25.000"
    std::string duration; // "\r\nDuration: 10,000"
    std::string scan;     // "\r\nScan: progressive"
};

// Picture size from the stream's frame rectangle, in 64 bits (the values
// come from the file).
std::int64_t StreamFrameWidth(const AVISTREAMINFOA& info);
std::int64_t StreamFrameHeight(const AVISTREAMINFOA& info);

// Frames per second: rate / scale in double precision.
double StreamFrameRate(const AVISTREAMINFOA& info);

// The lines from the stream header, the bit depth text ("?" while no frame
// was decoded), the frame count and the scan type, in the catalogue's
// language; the rate of a variable-rate stream (the highest, which frames
// are handed out at) is followed by "(variable frame rate)".
InputInfoLines MakeInputInfoLines(const AVISTREAMINFOA& info, const std::string& bitDepth,
                                  std::int32_t frameCount, bool variableRate = false,
                                  kmx::ScanType scan = kmx::ScanType::Unknown);

// Whether the Interlace option starts ticked for an input: as its scan type
// says, and where it says nothing (most AVIs) for pictures higher than 400
// lines, which were interlaced in the days of PAL and NTSC capture.
inline bool LooksInterlaced(kmx::ScanType scan, std::int64_t height) {
    return scan == kmx::ScanType::Unknown ? height > 400 : scan != kmx::ScanType::Progressive;
}

// A catalogue or information text for a static: "\r\n" (and "\n\r") line
// breaks become plain line feeds.
QString StaticText(const std::string& text);
