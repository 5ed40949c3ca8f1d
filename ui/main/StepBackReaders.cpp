#include "ui/main/StepBackReaders.h"

#include <new>

CStepBackReaders::~CStepBackReaders() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    for (Slot& slot : slots_) {
        if (slot.thread.joinable()) {
            slot.thread.join();
        }
    }
}

void CStepBackReaders::SetFile(const std::string& path) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (path.empty() && path_.empty()) {
            return;
        }
        path_ = path;
        ++fileVersion_;
        target_ = targetKey_ = failed_ = -1;
        for (Slot& slot : slots_) {
            if (!slot.thread.joinable()) {
                slot.thread = std::thread([this, &slot] { Run(slot); });
            }
        }
    }
    wake_.notify_all();
}

void CStepBackReaders::Prepare(std::int32_t frame, std::int32_t stretchStart) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (frame == target_) {
            return;
        }
        target_ = frame;
        targetKey_ = stretchStart >= 0 && stretchStart <= frame ? stretchStart : frame;
        failed_ = -1;
    }
    wake_.notify_all();
}

bool CStepBackReaders::WithFrame(std::int32_t frame, std::chrono::milliseconds patience,
                                 const Draw& draw) {
    const auto until = std::chrono::steady_clock::now() + patience;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (Slot* slot = Holding(frame)) {
            // A thread takes its reader only after marking it busy, which
            // it cannot do while this holds mutex_.
            std::lock_guard<std::mutex> use(slot->use);
            lock.unlock();
            const BITMAPINFOHEADER* dib = nullptr;
            slot->reader->GetVideoFrame(0, frame, &dib);
            if (dib == nullptr) {
                return false;
            }
            draw(dib);
            return true;
        }
        // Readers still being opened would keep the window waiting for as
        // long as indexing takes: the caller decodes the frame itself then.
        if (!AnyWork() || done_.wait_until(lock, until) == std::cv_status::timeout) {
            return false;
        }
    }
}

bool CStepBackReaders::WaitUntilIdle(std::chrono::milliseconds patience) {
    std::unique_lock<std::mutex> lock(mutex_);
    return done_.wait_for(lock, patience, [this] {
        for (const Slot& slot : slots_) {
            if (slot.busy || slot.opened != fileVersion_) {
                return false;
            }
        }
        return !AnyWork();
    });
}

// A decode under way or about to begin.
bool CStepBackReaders::AnyWork() const {
    for (const Slot& slot : slots_) {
        if (slot.busy ? !slot.opening : NextJob(slot).frame >= 0) {
            return true;
        }
    }
    return false;
}

CStepBackReaders::Slot* CStepBackReaders::Holding(std::int32_t frame) {
    const auto* self = this;
    return const_cast<Slot*>(self->Holding(frame));
}

const CStepBackReaders::Slot* CStepBackReaders::Holding(std::int32_t frame) const {
    for (const Slot& slot : slots_) {
        if (!slot.busy && slot.reader != nullptr && slot.first >= 0 && slot.first <= frame &&
            frame <= slot.last) {
            return &slot;
        }
    }
    return nullptr;
}

// The stretch of the frame shown goes to a free reader that does not hold
// the stretch before it (the one used longer ago, when both may), and the
// stretch before to the other reader, side by side when neither holds
// anything.
CStepBackReaders::Job CStepBackReaders::NextJob(const Slot& slot) const {
    if (slot.busy) {
        return {};
    }
    if (slot.opened != fileVersion_) {
        return {true};
    }
    if (slot.reader == nullptr || target_ < 0) {
        return {};
    }
    const std::int32_t previous = targetKey_ - 1; // the last frame of the stretch before
    const bool previousWanted =
        previous >= 0 && previous != failed_ && Holding(previous) == nullptr;
    const Job before{false, previous, target_, true};
    const Slot& other = Other(slot);
    if (const Slot* holder = Holding(target_)) {
        return holder != &slot && previousWanted ? before : Job{};
    }
    if (other.busy && other.job.target == target_) {
        return other.job.before || !previousWanted ? Job{} : before;
    }
    const auto holds = [previous](const Slot& s) {
        return s.first >= 0 && s.first <= previous && previous <= s.last;
    };
    const bool otherTakes = !other.busy && other.reader != nullptr && !holds(other) &&
                            (holds(slot) || other.lastUsed < slot.lastUsed);
    if (target_ == failed_ || otherTakes) {
        return {};
    }
    return {false, target_, target_, false};
}

std::unique_ptr<CAviReader> CStepBackReaders::OpenReader(const std::string& path) {
    if (path.empty()) {
        return nullptr;
    }
    try {
        auto reader = std::make_unique<CAviReader>();
        if (reader->Open(path.c_str()) && reader->GetVideoStreamCount() > 0 &&
            reader->StartVideoRetrieve(0)) {
            reader->ReadVideoBackwards(0);
            return reader;
        }
    } catch (const std::bad_alloc&) {
    }
    return nullptr;
}

void CStepBackReaders::Run(Slot& slot) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        Job job;
        wake_.wait(lock, [&] {
            job = NextJob(slot);
            return quit_ || job.open || job.target >= 0;
        });
        if (quit_) {
            return;
        }
        slot.busy = true;
        slot.first = slot.last = -1;
        slot.job = job;
        const std::uint64_t version = fileVersion_;
        if (job.open) {
            slot.opening = true;
            slot.opened = version;
            const std::string path = path_;
            // The window may still be drawing a frame of the old reader.
            std::unique_ptr<CAviReader> old;
            {
                std::lock_guard<std::mutex> use(slot.use);
                old = std::move(slot.reader);
            }
            lock.unlock();
            old.reset();
            std::unique_ptr<CAviReader> fresh = OpenReader(path);
            lock.lock();
            slot.reader = std::move(fresh);
            slot.opening = false;
        } else {
            slot.lastUsed = ++uses_;
            lock.unlock();
            std::int32_t first = -1;
            {
                std::lock_guard<std::mutex> use(slot.use);
                const BITMAPINFOHEADER* dib = nullptr;
                slot.reader->GetVideoFrame(0, job.frame, &dib);
                if (dib != nullptr) {
                    const std::int32_t key = slot.reader->GetKeyFrameAtOrBefore(0, job.frame);
                    first = key >= 0 && key <= job.frame ? key : job.frame;
                }
            }
            lock.lock();
            if (version == fileVersion_ && first >= 0) {
                slot.first = first;
                slot.last = job.frame;
            } else if (version == fileVersion_) {
                failed_ = job.frame; // not tried again until the target moves
            }
        }
        slot.busy = false;
        slot.job = Job{};
        done_.notify_all();
        wake_.notify_all(); // the other reader's next job may follow from this one
    }
}
