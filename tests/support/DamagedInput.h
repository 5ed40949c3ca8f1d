// An input whose video the decoder has to conceal: made by ffmpeg, then
// damaged in the middle of three of its frames, with every size and the
// index left intact so that only the decoder can notice.
#pragma once

#include <string>

// Writes a 100-frame 320x240 H.264 AVI (key frame every 50) to path and
// damages frames 20, 40 and 70. False when ffmpeg is missing or fails.
bool WriteDamagedH264Avi(const std::string& path);
