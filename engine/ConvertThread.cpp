#include "engine/ConvertThread.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>
#include <thread>

CConvertThread::CConvertThread(const std::atomic<std::int32_t>& abortFlag,
                               std::chrono::milliseconds pollPeriod)
    : abort_(abortFlag), poll_(pollPeriod) {
    job_ = MakeInitialJob();
    settings_ = kmx::MakeEmptyCompVars();
}

CConvertThread::~CConvertThread() = default;

void CConvertThread::ReleaseBuffers() {
    preview_.reset(); // a pending notice keeps its own reference
    readAhead_.Clear();
    std::vector<std::uint8_t>().swap(audioBuffer_);
    transforms_.Reset();
}

bool CConvertThread::PostToDialog(std::uint32_t message, WPARAM wParam, LPARAM lParam,
                                  std::shared_ptr<void> keepAlive) {
    if (target_ == nullptr) {
        return false;
    }
    return target_->Post(message, wParam, lParam, std::move(keepAlive));
}

bool CConvertThread::NotifyDone(bool failed) {
    return PostToDialog(WM_CONVERT_DONE, failed ? 1 : 0, static_cast<LPARAM>(damagedFrames_));
}

bool CConvertThread::NotifyWritten() {
    auto text = std::make_shared<std::string>(written_);
    const char* chars = text->c_str();
    return PostToDialog(WM_CONVERT_WRITTEN, reinterpret_cast<WPARAM>(chars), 0, std::move(text));
}

bool CConvertThread::NotifyWarning(const std::string& text) {
    auto copy = std::make_shared<std::string>(text);
    const char* chars = copy->c_str();
    return PostToDialog(WM_CONVERT_WARNING, reinterpret_cast<WPARAM>(chars), 0, std::move(copy));
}

bool CConvertThread::NotifyProgress(std::int32_t perMille, std::int32_t frame,
                                    std::int32_t frameCount) {
    return PostToDialog(WM_CONVERT_PROGRESS, static_cast<WPARAM>(static_cast<LPARAM>(perMille)),
                        PackProgressFrames(frame, frameCount));
}

bool CConvertThread::NotifyStatus(const char* text) {
    if (!status_->TryPut(text)) {
        return false;
    }
    if (!PostToDialog(WM_CONVERT_STATUS, reinterpret_cast<WPARAM>(status_.get()), 0, status_)) {
        status_->Take(); // nobody will take it: free the cell again
        return false;
    }
    return true;
}

bool CConvertThread::NotifyPreview(const std::uint8_t* frame, std::int32_t length) {
    if (length <= 0 || frame == nullptr ||
        (preview_ != nullptr && preview_->pending.load(std::memory_order_acquire) != 0)) {
        return false;
    }
    try {
        if (preview_ == nullptr) {
            preview_ = std::make_shared<PreviewCell>();
        }
        if (preview_->bytes.size() < static_cast<std::size_t>(length)) {
            std::vector<std::uint8_t>(static_cast<std::size_t>(length)).swap(preview_->bytes);
        }
    } catch (const std::bad_alloc&) {
        preview_.reset();
        return false;
    }
    PreviewCell& cell = *preview_;
    std::memcpy(cell.bytes.data(), frame, static_cast<std::size_t>(length));
    cell.pending.store(length, std::memory_order_release);
    if (!PostToDialog(WM_CONVERT_PREVIEW, reinterpret_cast<WPARAM>(cell.bytes.data()),
                      reinterpret_cast<LPARAM>(&cell.pending), preview_)) {
        cell.pending.store(0, std::memory_order_release);
        return false;
    }
    return true;
}

bool CConvertThread::ReportMessage(std::int32_t* reply, const char* format, ...) {
    // The ticket is shared with the receiver, so a message still queued after
    // an abort can be shown and answered safely.
    auto ticket = std::make_shared<MessageTicket>();
    char formatted[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(formatted, sizeof formatted, format, args);
    va_end(args);
    CopyTextCut(ticket->text, sizeof ticket->text, formatted);

    const std::uint32_t message = reply != nullptr ? WM_CONVERT_QUESTION : WM_CONVERT_MESSAGE;
    if (!PostToDialog(message, reinterpret_cast<WPARAM>(ticket->text),
                      reinterpret_cast<LPARAM>(&ticket->reply), ticket)) {
        return false;
    }
    while (!AbortRequested()) {
        const std::int32_t answer = ticket->reply.load(std::memory_order_acquire);
        if (answer != 0) {
            if (reply != nullptr) {
                *reply = answer;
            }
            return true;
        }
        std::this_thread::sleep_for(poll_);
    }
    return false;
}
