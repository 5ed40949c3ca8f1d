// Parsing the console's "--overlay SLOT:FILE:X,Y,W,H[,options]" into a slot
// of the job. Options: border=WIDTH, color=RRGGBB (hex), crop=N, start=N,
// end=N, base=N, noresize. Frame numbers count from 0.
#pragma once

#include "engine/ConvertJob.h"

#include <string>

// Fills job.overlays[SLOT - 1]; false with a reason in *error when the text
// cannot be read. A slot without end= shows the overlay to its last frame.
bool ParseOverlayOption(const std::string& text, ConvertJob& job, std::string* error);

// Parses a whole decimal number into value; false when the text is not one or
// it does not fit.
bool ParseInt(const std::string& text, int& value);

// Puts reason into *error (when error is given) and returns false: how the
// parsers of the command line say why they refuse a text.
bool Fail(std::string* error, const std::string& reason);
