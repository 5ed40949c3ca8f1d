// "convert --output-dir DIR FILE...": a batch. Each video is converted into
// DIR under its own name with the extension of --format (.avi without one)
// by a conversion of its own: this program run again as
// "convert --input FILE --output DIR/NAME" with the batch's other options,
// in a process group of its own, --jobs of them at once with --threads
// shared among them. A file that fails does not stop the others; with
// --skip-existing an output that is there and complete (it opens and holds
// as many frames as its input gives) is left as it is. Ctrl-C (or SIGTERM)
// goes on to every running conversion, which stops as a single run does;
// finished outputs stay as they are and no further file is started. At the
// end a summary on standard error lists what finished, was skipped, failed
// (with the conversion's message) or was not started.
#pragma once

#include "cli/ConvertOptions.h"

// The exit status: 0 when every file finished or was skipped, 1 when any
// failed, 130 when the batch was interrupted (and none failed), 2 for bad
// options.
int RunBatch(const CLI::App& command, const ConvertOptions& options);
