// Runs conversion jobs on a real worker thread for the tests and plays the
// main window's part of the protocol: every message is answered with OK,
// status texts and preview frames are taken, and everything is recorded.
#pragma once

#include "engine/ConvertJob.h"
#include "engine/NotificationPump.h"
#include "engine/WorkerThread.h"

#include <string>
#include <utility>
#include <vector>

struct JobOutcome {
    int done = -1; // wParam of the completion notice; -1 when none came
    std::vector<std::string> messages;
    std::vector<std::string> statuses;
    std::vector<int> progress;                       // per mille of every progress notice
    std::vector<std::pair<int, int>> progressFrames; // its frame and frame count
    int previews = 0;
    std::vector<std::uint8_t> lastPreview;
    std::vector<std::string> warnings;
    std::int64_t damaged = 0; // lParam of the completion notice
};

// Posts the job to a worker and handles its notifications until the
// completion notice (or a generous time-out) arrives.
JobOutcome RunJobOnWorker(const ConvertJob& job, bool takeStatus = true, bool takePreviews = true);

// A job for one input and output, otherwise as the main window starts.
ConvertJob SimpleJob(const std::string& input, const std::string& output);
