#include "app/InputOpener.h"

#include "app/TextIds.h"
#include "engine/InputCheck.h"

#include <new>

OpenedInput OpenAndCheckInput(const std::string& path) {
    OpenedInput result;
    auto reader = std::make_unique<CAviReader>();
    const auto refuse = [&result](std::int32_t textId) {
        result.refused = true;
        result.errorId = result.boxId = textId;
        return std::move(result);
    };
    if (!reader->Open(path.c_str())) {
        return refuse(txt::kErrorOpenAvi);
    }
    if (reader->GetVideoStreamCount() == 0) {
        return refuse(txt::kErrorNoVideoStream);
    }
    result.streamFrames = reader->GetVideoLength(0);
    if (!reader->GetSampleAspect(0, &result.aspectNum, &result.aspectDen)) {
        result.aspectNum = result.aspectDen = 1;
    }
    if (!reader->GetVideoStreamInfo(0, &result.stream,
                                    static_cast<std::int32_t>(sizeof result.stream))) {
        result.errorId = txt::kErrorStreamInfo;
        return result;
    }
    result.hasLines = true;
    result.variableRate = reader->IsVariableFrameRate(0);
    result.scan = reader->GetScanType(0);
    if (!reader->StartVideoRetrieve(0)) {
        result.errorId = txt::kErrorUnknownCodecStart;
        return result;
    }
    const BITMAPINFOHEADER* frame = nullptr;
    reader->GetVideoFrame(0, 0, &frame);
    if (frame == nullptr) {
        result.errorId = txt::kErrorUnknownCodecFrame;
        result.boxId = txt::kErrorUnknownCodec;
        return result;
    }
    result.first = *frame;
    result.bitDepth = std::to_string(frame->biBitCount);
    // The scan type may come from the first decoded frame.
    result.scan = reader->GetScanType(0);
    if (!IsSupportedInputFormat(*frame)) {
        result.errorId = result.boxId = txt::kErrorFormatNotSupported;
        return result;
    }
    const BITMAPINFOHEADER* last = nullptr;
    reader->GetVideoFrame(0, result.streamFrames - 1, &last);
    if (last == nullptr) {
        result.errorId = result.boxId = txt::kErrorLastFrame;
        return result;
    }
    // Frame 1 is what the window shows first.
    reader->GetVideoFrame(0, 0, &frame);
    result.reader = std::move(reader);
    return result;
}

CInputOpener::CInputOpener(std::shared_ptr<INotificationTarget> target)
    : target_(std::move(target)) {}

CInputOpener::~CInputOpener() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

std::uint64_t CInputOpener::Open(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    path_ = path;
    queued_ = ++lastTicket_;
    if (!thread_.joinable()) {
        thread_ = std::thread([this] { Run(); });
    }
    wake_.notify_all();
    return queued_;
}

void CInputOpener::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return quit_ || queued_ != 0; });
        if (quit_) {
            return;
        }
        const std::uint64_t ticket = queued_;
        const std::string path = path_;
        queued_ = 0;
        lock.unlock();
        std::shared_ptr<OpenedInput> result;
        try {
            result = std::make_shared<OpenedInput>(OpenAndCheckInput(path));
        } catch (const std::bad_alloc&) {
            result = std::make_shared<OpenedInput>();
            result->refused = true;
            result->errorId = result->boxId = txt::kErrorOpenAvi;
        }
        result->ticket = ticket;
        target_->Post(kInputOpenedMessage, 0, 0, std::move(result));
        lock.lock();
    }
}
