// Frames for stepping backwards in the player without a stall at each
// key-frame stretch. Decoding a frame starts at the key frame before it, so
// a step back into a stretch not seen yet decodes the whole stretch. Two
// readers of the same file, each reading backwards (a stretch it decodes
// goes to the temporary file whole), take turns on a thread of their own:
// while the window steps back through the stretch that one of them holds,
// the other decodes the stretch before it. Each reader has a thread of its
// own, so that a stretch and the one before it are decoded side by side
// when a step lands where neither reader holds anything.
#pragma once

#include "media/AviReader.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class CStepBackReaders {
public:
    CStepBackReaders() = default;
    // Waits for the decodes under way.
    ~CStepBackReaders();
    CStepBackReaders(const CStepBackReaders&) = delete;
    CStepBackReaders& operator=(const CStepBackReaders&) = delete;

    // The file the frames come from; empty closes the readers. They are
    // opened on their threads at once.
    void SetFile(const std::string& path);
    // Says that the frame (0-based) is shown and that steps backwards may
    // follow: the stretch holding it and the one before it are decoded.
    // stretchStart: the key frame at or before it (GetKeyFrameAtOrBefore).
    void Prepare(std::int32_t frame, std::int32_t stretchStart);
    // Hands the frame to draw when a reader holds it, waiting up to patience
    // for a decode under way that brings it; false when none does. The frame
    // is valid only within draw.
    using Draw = std::function<void(const BITMAPINFOHEADER* dib)>;
    bool WithFrame(std::int32_t frame, std::chrono::milliseconds patience, const Draw& draw);
    // Waits up to patience until the thread has nothing left to do; whether
    // it came to that.
    bool WaitUntilIdle(std::chrono::milliseconds patience);

private:
    struct Job {
        bool open = false;        // (re)open the reader for the file
        std::int32_t frame = -1;  // the last frame of the stretch to decode; -1: none
        std::int32_t target = -1; // the frame shown it decodes for
        bool before = false;      // the stretch before the target's, not its own
    };
    struct Slot {
        // Set under mutex_ and use together, by the slot's thread only.
        std::unique_ptr<CAviReader> reader;
        std::mutex use; // held while the reader decodes or hands out a frame
        // The frames the reader holds decoded (first -1: none), known while
        // it is not busy.
        std::int32_t first = -1;
        std::int32_t last = -1;
        bool busy = false;    // opening, or decoding
        bool opening = false; // opening its reader
        Job job;              // while busy: what it decodes
        std::uint64_t lastUsed = 0;
        std::uint64_t opened = 0; // the file version its reader has
        std::thread thread;
    };

    void Run(Slot& slot);
    // A reader of the file that reads backwards, or null.
    static std::unique_ptr<CAviReader> OpenReader(const std::string& path);
    // What the slot's thread does next. Under mutex_.
    Job NextJob(const Slot& slot) const;
    bool AnyWork() const;
    Slot* Holding(std::int32_t frame);
    const Slot* Holding(std::int32_t frame) const;
    const Slot& Other(const Slot& slot) const {
        return &slot == &slots_[0] ? slots_[1] : slots_[0];
    }

    std::mutex mutex_;
    std::condition_variable wake_; // for the threads
    std::condition_variable done_; // for WithFrame
    std::string path_;
    std::uint64_t fileVersion_ = 0; // counts SetFile calls
    std::int32_t target_ = -1;      // the frame shown last (Prepare)
    std::int32_t targetKey_ = -1;   // the start of its stretch
    std::int32_t failed_ = -1;      // a frame that did not decode
    bool quit_ = false;
    std::uint64_t uses_ = 0;
    std::array<Slot, 2> slots_;
};
