// Runs one job on the worker thread through the same protocol as the main
// window: progress on standard error, engine messages printed and
// acknowledged, Ctrl-C stopping the job like the Stop button.
#pragma once

#include "engine/ConvertJob.h"

class CJsonProgress;

// Exit status: 0 when the conversion finished, 1 when it failed, 130 when it
// was interrupted (the output keeps the frames written so far). A second
// Ctrl-C while the job stops ends the process at once, by that signal.
// json, when given, gets the progress and, at the end, every text printed.
int RunConversion(const ConvertJob& job, bool showProgress = true, CJsonProgress* json = nullptr);
