// The main window's side of a conversion: posting the job, stopping it, and
// the worker's notifications.
#include "ui/main/MainDlg.h"

#include "app/DialogBuilder.h"
#include "app/LabeledProgress.h"
#include "app/MessageBoxService.h"
#include "app/QtNotificationTarget.h"
#include "app/StringPrintf.h"
#include "app/TextCatalog.h"
#include "app/TextIds.h"
#include "engine/TextFormatting.h"
#include "engine/WorkerMessages.h"

#include <QCheckBox>
#include <QTimer>

#include <cstring>
#include <new>

namespace {

// What a window that went away leaves to the worker: its notification target
// and the jobs it posted but never saw finish. The worker may still read a
// job it has not taken yet and post to the target (which, detached, drops
// every notification), so both live on until the program ends.
std::vector<std::shared_ptr<const void>>& LeftToTheWorker() {
    static std::vector<std::shared_ptr<const void>> kept;
    return kept;
}

std::int32_t CheckState(const QCheckBox* box) {
    return box->isChecked() ? 1 : 0;
}

} // namespace

CMainDlg::~CMainDlg() {
    worker_.AbortJob(); // a job still running ends before its next frame
    notificationTarget_->Detach();
    if (!postedJobs_.empty()) {
        auto& kept = LeftToTheWorker();
        kept.push_back(notificationTarget_);
        kept.insert(kept.end(), postedJobs_.begin(), postedJobs_.end());
    }
    reader_->Close();
}

void CMainDlg::FillJobFromControls() {
    // The job holds copies of the names and the compressor record, so the
    // dialog is free to change its own while the worker reads the job.
    job_.inputPath = inputName_;
    job_.outputPath = outputName_;
    job_.compressorSettings = compVars_;
    job_.preview = CheckState(preview_);
    job_.reverse = CheckState(reverse_);
    job_.interlaced = CheckState(interlace_);
    job_.mirrorVertical = CheckState(mirrorVertical_);
    job_.mirrorHorizontal = CheckState(mirrorHorizontal_);
    job_.mirrorLeftHalf = CheckState(leftHalf_);
    job_.mirrorRightHalf = CheckState(rightHalf_);
    job_.mirrorUpperHalf = CheckState(upperHalf_);
    job_.mirrorLowerHalf = CheckState(lowerHalf_);
}

void CMainDlg::StartConversion() {
    if (converting_) {
        return;
    }
    CloseInput();
    FillJobFromControls();
    auto posted = std::make_shared<const ConvertJob>(job_);
    auto* target = static_cast<INotificationTarget*>(notificationTarget_.get());
    if (!worker_.PostToWorker(WM_CONVERT_START, reinterpret_cast<WPARAM>(target),
                              reinterpret_cast<LPARAM>(posted.get()))) {
        ShowMessage("FATAL ERROR: Sending msg to worker thread");
        return;
    }
    postedJobs_.push_back(std::move(posted));
    converting_ = true;
    ++runCount_;
    conversionStart_ = clock_();
    writtenText_.clear();
    runWarnings_.clear();
    progressFrameCount_ = 0;
    // Until the worker's first preview frame (none when the preview is off):
    // the empty blue area and no position line.
    DrawFrame(0, false);
    UpdateControls();
}

void CMainDlg::StopConversion() {
    if (!converting_ || stopping_) {
        return;
    }
    worker_.RequestAbort();
    stopping_ = true;
    UpdateControls();
    // A worker that has not ended when AbortJob would have given up is stuck;
    // Stop may then be pressed again.
    QTimer::singleShot(worker_.AbortWait(), this, [this, run = runCount_] {
        if (stopping_ && converting_ && runCount_ == run) {
            stopping_ = false;
            UpdateControls();
            ShowMessage("FATAL ERROR: Abort worker thread");
        }
    });
}

void CMainDlg::OnConversionEnd(WPARAM result, LPARAM damagedFrames) {
    const std::uint32_t elapsedMs = clock_() - conversionStart_;
    const double elapsed = elapsedMs * 0.001;
    if (result == 0 || result == 1) {
        std::string text = StringPrintf(
            "%s=%s", GetText(result == 0 ? txt::kConvertingFinished : txt::kConvertingAborted),
            FormatTime(elapsed).c_str());
        if (result == 0 && !writtenText_.empty()) {
            text += "\r\n" + writtenText_;
        }
        if (damagedFrames > 0) {
            text += "\r\n" + DamagedFramesWarning(damagedFrames);
        }
        text += runWarnings_;
        if (result == 0 && progressFrameCount_ > 0) {
            // The worker drops status texts while the window still holds one;
            // a finished run shows its last frame all the same.
            statusText_ = FrameStatusText(progressFrameCount_, progressFrameCount_);
            UpdateStatics();
        }
        ShowMessage(text, result == 0 ? MessageIcon::Information : MessageIcon::Exclamation);
        converting_ = false;
        stopping_ = false;
    } else {
        ShowMessage("Internal programming error", MessageIcon::Stop);
    }
    OpenInput(false);
}

void CMainDlg::OnPreviewFrame(const std::uint8_t* dib, std::atomic<std::int32_t>* byteCount) {
    const std::int32_t length = byteCount->load(std::memory_order_acquire);
    if (!converting_ || dib == nullptr || length <= 0) {
        byteCount->store(0, std::memory_order_release);
        return;
    }
    if (static_cast<std::size_t>(length) > previewBuffer_.size()) {
        std::vector<std::uint8_t>().swap(previewBuffer_);
        previewLength_ = 0;
        try {
            previewBuffer_.resize(static_cast<std::size_t>(length));
        } catch (const std::bad_alloc&) {
            // Not shown; the next frame tries again.
            std::vector<std::uint8_t>().swap(previewBuffer_);
            byteCount->store(0, std::memory_order_release);
            return;
        }
    }
    std::memcpy(previewBuffer_.data(), dib, static_cast<std::size_t>(length));
    previewLength_ = length;
    byteCount->store(0, std::memory_order_release);
    DrawFrame(0, false);
}

void CMainDlg::OnWorkerNotification(const CWorkerEvent& event) {
    switch (event.message) {
    case WM_CONVERT_MESSAGE:
    case WM_CONVERT_QUESTION: {
        const char* text = reinterpret_cast<const char*>(event.wParam);
        auto* reply = reinterpret_cast<std::atomic<std::int32_t>*>(event.lParam);
        const MessageButtons buttons =
            event.message == WM_CONVERT_MESSAGE ? MessageButtons::Ok : MessageButtons::OkCancel;
        const MessageResult answer =
            MessageBoxes().Show(text != nullptr ? text : "", buttons, MessageIcon::None);
        if (reply != nullptr) {
            const bool ok = buttons == MessageButtons::Ok || answer == MessageResult::Ok;
            reply->store(ok ? kReplyOk : kReplyCancel, std::memory_order_release);
        }
        break;
    }
    case WM_CONVERT_WRITTEN:
        if (const char* text = reinterpret_cast<const char*>(event.wParam)) {
            writtenText_ = text;
        }
        break;
    case WM_CONVERT_WARNING:
        if (const char* text = reinterpret_cast<const char*>(event.wParam)) {
            runWarnings_ += std::string("\r\n") + text;
        }
        break;
    case WM_CONVERT_DONE:
        // Jobs run in the order they were posted, one notice each.
        if (!postedJobs_.empty()) {
            postedJobs_.pop_front();
        }
        OnConversionEnd(event.wParam, event.lParam);
        break;
    case WM_CONVERT_STATUS: {
        auto* cell = reinterpret_cast<StatusTextCell*>(event.wParam);
        statusText_ = cell != nullptr ? cell->Take() : std::string();
        UpdateStatics();
        break;
    }
    case WM_CONVERT_PREVIEW:
        if (auto* count = reinterpret_cast<std::atomic<std::int32_t>*>(event.lParam)) {
            OnPreviewFrame(reinterpret_cast<const std::uint8_t*>(event.wParam), count);
        }
        break;
    case WM_CONVERT_PROGRESS: {
        // Taken unsigned: -1 hides the bar like any value above 1000.
        const auto perMille = static_cast<std::uint32_t>(event.wParam);
        if (ProgressFrameCountOf(event.lParam) > 0) {
            progressFrameCount_ = ProgressFrameCountOf(event.lParam);
        }
        if (perMille > 1000) {
            progress_->hide();
        } else {
            progress_->SetPos(static_cast<int>(perMille));
            progress_->show();
        }
        break;
    }
    default:
        break;
    }
}
