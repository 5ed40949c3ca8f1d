// Whether a file can be the base video or an overlay of a run: the checks the
// main window and the overlay dialog make on a file chosen, which the console
// makes before a run and shows in its file information.
#pragma once

#include "media/AviRecords.h"

#include <string>

class CAviReader;

// Frames the preview and the engine take: 16, 24 or 32 bits per pixel and no
// colour table.
bool IsSupportedInputFormat(const BITMAPINFOHEADER& header);

// Why the first video stream of the open reader cannot be used, such as "8-bit
// frames are not supported"; empty when it can. Decodes its first and last
// frames; *last, when given, receives the last frame's header of a usable
// stream.
std::string InputRefusal(CAviReader& reader, BITMAPINFOHEADER* last = nullptr);
