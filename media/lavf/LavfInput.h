// One libavformat demuxer over a file or over bytes in memory, which can be
// opened again from the start. Only local files are read: a container that
// names other resources may reach plain files, never the network.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

struct AVFormatContext;
struct AVIOContext;
struct AVPacket;

namespace kmx {

struct AvFormatContextDeleter {
    void operator()(AVFormatContext* p) const;
};
struct AvIoContextDeleter {
    void operator()(AVIOContext* p) const;
};

class CLavfInput {
public:
    CLavfInput() = default;
    ~CLavfInput();
    CLavfInput(const CLavfInput&) = delete;
    CLavfInput& operator=(const CLavfInput&) = delete;

    // Opens the demuxer and reads the stream parameters; false when
    // libavformat does not recognise the bytes.
    bool OpenFile(const char* path);
    // The bytes stay the caller's and must outlive the input.
    bool OpenMemory(const std::uint8_t* data, std::size_t size);
    // Opens the same file or bytes again, from the start.
    bool Reopen();
    void Close();

    AVFormatContext* Context() const { return format_.get(); }

    // A flag that, once raised, makes the inputs this thread opens from now
    // on stop reading (open and Read fail at once), so that a long first
    // reading of a large file can be stopped; null for none.
    static void SetThreadInterrupt(const std::atomic<std::int32_t>* flag);
    // Whether the last Read that returned false was stopped by that flag.
    bool Interrupted() const { return interrupted_; }
    // The next packet of a stream not discarded; false at the end or when
    // the demuxer cannot go on.
    bool Read(AVPacket* packet);
    // Whether the last Read that returned false met an error (a damaged or
    // cut file) rather than the end of the data.
    bool EndedOnError() const { return endedOnError_; }

    // Memory reading for libavformat's callbacks.
    int ReadMemory(std::uint8_t* out, int size);
    std::int64_t SeekMemory(std::int64_t offset, int whence);

private:
    bool OpenContext();
    // The flag of SetThreadInterrupt is raised.
    bool StopRequested() const {
        return interrupt_ != nullptr && interrupt_->load(std::memory_order_acquire) != 0;
    }

    std::string path_;
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t memoryPos_ = 0;
    bool memory_ = false;
    bool endedOnError_ = false;
    bool interrupted_ = false;
    const std::atomic<std::int32_t>* interrupt_ = nullptr;
    std::unique_ptr<AVIOContext, AvIoContextDeleter> io_;
    std::unique_ptr<AVFormatContext, AvFormatContextDeleter> format_;
};

} // namespace kmx
