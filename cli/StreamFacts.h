// What "kadrimix-cli info" reads from a file beyond the reader's own calls,
// shared by its text and its JSON.
#pragma once

#include "media/AviReader.h"

#include <cstdint>
#include <string>

inline constexpr std::int32_t kStreamInfoSize = 140;

// Frames (or samples) per second, dwRate / dwScale; 0 when dwScale is 0.
double StreamRate(const AVISTREAMINFOA& info);

// "yes", or "no: REASON" for the checks the main window makes before it
// accepts a file as input, or "no for conversion: REASON" when the frames do
// not fill their images, which a run needs as well.
std::string UsableAsInput(CAviReader& reader);

// The audio stream's WAVEFORMATEX; false when the file gives none.
bool ReadWaveFormat(CAviReader& reader, std::uint32_t index, WAVEFORMATEX& wave);

// Clockwise degrees (0, 90, 180, 270) that the first video stream's display
// matrix turns its pictures by, as libavformat reads it; 0 for a file
// without one or that libavformat cannot open.
int FirstVideoRotation(const std::string& path);
