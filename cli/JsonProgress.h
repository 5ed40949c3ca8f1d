// "convert --progress=json": the progress of a run as one JSON object per
// line on standard output, for front ends. Keys: state ("running", then
// "finished", "failed" or "interrupted"), input, output, frame, total, fps,
// elapsed and remaining (seconds; remaining null until a frame is done),
// and in the last line messages (the texts the run printed, in order).
// Running lines come at most every quarter second and at least every half
// second while the caller asks often enough (the pump polls ten times a
// second).
#pragma once

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

class CJsonProgress {
public:
    CJsonProgress(std::FILE* out, std::string input, std::string output);

    // frame of total frames is being worked on; 0 / 0 before the first.
    void Frame(long frame, long total);
    // Writes a running line when a quarter second has passed since the last.
    void Tick();
    // The last line; state is "finished", "failed" or "interrupted".
    void Finish(const char* state, const std::vector<std::string>& messages);

private:
    void Write(const char* state, const std::vector<std::string>* messages);

    std::FILE* out_;
    std::string input_;
    std::string output_;
    long frame_ = 0;
    long total_ = 0;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point last_;
    bool written_ = false;
};
