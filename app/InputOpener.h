// Opening and checking an input video (the main window's, an overlay) away
// from the window's thread: indexing a long file and decoding its first and
// last frame take seconds, during which the window must go on repainting.
// Each request gets a ticket; the result, with the reader ready to show
// frame 1, is posted to the window, which drops every result but the one of
// its latest ticket.
#pragma once

#include "engine/WorkerMessages.h"
#include "media/AviReader.h"
#include "media/decode/ScanType.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

// The notification (app/QtNotificationTarget.h) that carries a result to
// the window, outside the worker's numbers.
inline constexpr std::uint32_t kInputOpenedMessage = WM_USER + 200;

// What opening an input found out.
struct OpenedInput {
    std::uint64_t ticket = 0;
    // Open with a first frame that can be shown; null when the input is unusable.
    std::unique_ptr<CAviReader> reader;
    // The input could not be read at all: only its error is shown.
    bool refused = false;
    std::int32_t errorId = 0; // catalogue text shown before the information; 0 none
    std::int32_t boxId = 0;   // catalogue text of the message box to show; 0 none
    // The stream's information (when the stream header could be read).
    bool hasLines = false;
    AVISTREAMINFOA stream{};
    BITMAPINFOHEADER first{};      // the first frame's header; biSize 0 when none decoded
    std::string bitDepth{"?"};     // of the first frame
    std::int32_t streamFrames = 0; // frames the stream declares
    bool variableRate = false;
    kmx::ScanType scan = kmx::ScanType::Unknown;
    std::int32_t aspectNum = 1;
    std::int32_t aspectDen = 1;
};

// The steps of opening, in the window's order: the file, a video stream,
// its header, its first frame (of a format the conversion takes) and its
// last frame. The first frame is held again at the end.
OpenedInput OpenAndCheckInput(const std::string& path);

class CInputOpener {
public:
    // Each result is posted to target as kInputOpenedMessage, the result
    // itself as the notice's keepAlive.
    explicit CInputOpener(std::shared_ptr<INotificationTarget> target);
    // Waits for an open under way; one not yet begun is dropped.
    ~CInputOpener();
    CInputOpener(const CInputOpener&) = delete;
    CInputOpener& operator=(const CInputOpener&) = delete;

    // Queues the path and returns its ticket (from 1 up); a request still
    // waiting is replaced, since its result would be dropped anyway.
    std::uint64_t Open(const std::string& path);

private:
    void Run();

    std::shared_ptr<INotificationTarget> target_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::string path_;
    std::uint64_t queued_ = 0; // ticket waiting to be opened; 0 none
    std::uint64_t lastTicket_ = 0;
    bool quit_ = false;
    std::thread thread_;
};
