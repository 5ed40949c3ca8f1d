// The console's progress line: a bar with the frame numbers, the rate and the
// time still needed, redrawn in place on a terminal and only when its text
// changes; plain lines at every tenth of the work when the output is a file
// or a pipe.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

class CProgressDisplay {
public:
    explicit CProgressDisplay(std::FILE* out);

    // frame of total frames has started (from the worker's progress notice).
    void Frame(long frame, long total);
    // Ends the line; called before anything else is printed and at the end.
    void Break();

private:
    std::string Line(long frame, long total) const;

    std::FILE* out_;
    bool terminal_;
    bool lineOpen_ = false;
    std::string shown_;
    long lastTenth_ = -1;
    std::chrono::steady_clock::time_point start_;
};
