// "kadrimix-cli info --json": one JSON array with an object per file, for
// scripts and other front ends. The keys (documented in the manual page):
//   path, container, usable, reason (only when not usable), duration
//   (seconds of the first video stream, null when unknown), streams;
//   a video stream: type "video", codec, fourcc (null where the container
//   gives none of letters and digits), width, height, frame_rate ("30000/1001",
//   null when unknown), frames, variable_frame_rate, scan, rotation;
//   an audio stream: type "audio", codec, rate, channels, samples, duration.
// A file that cannot be read gives {path, error}.
#pragma once

#include <string>
#include <vector>

// Prints the array to standard output; false when any file gave an error.
bool PrintFilesJson(const std::vector<std::string>& paths);
