#include "media/lavf/LavfInput.h"

#include <algorithm>
#include <atomic>
#include <cstring>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
}

namespace kmx {
namespace {

constexpr int kIoBufferSize = 1 << 15;

thread_local const std::atomic<std::int32_t>* threadInterrupt = nullptr;

int InterruptCallback(void* opaque) {
    const auto* flag = static_cast<const std::atomic<std::int32_t>*>(opaque);
    return flag != nullptr && flag->load(std::memory_order_acquire) != 0 ? 1 : 0;
}

int ReadCallback(void* opaque, std::uint8_t* out, int size) {
    return static_cast<CLavfInput*>(opaque)->ReadMemory(out, size);
}

std::int64_t SeekCallback(void* opaque, std::int64_t offset, int whence) {
    return static_cast<CLavfInput*>(opaque)->SeekMemory(offset, whence);
}

} // namespace

void AvFormatContextDeleter::operator()(AVFormatContext* p) const {
    avformat_close_input(&p);
}

void AvIoContextDeleter::operator()(AVIOContext* p) const {
    av_freep(&p->buffer);
    avio_context_free(&p);
}

void CLavfInput::SetThreadInterrupt(const std::atomic<std::int32_t>* flag) {
    threadInterrupt = flag;
}

CLavfInput::~CLavfInput() {
    Close();
}

bool CLavfInput::OpenFile(const char* path) {
    Close();
    if (path == nullptr) {
        return false;
    }
    path_ = path;
    memory_ = false;
    return OpenContext();
}

bool CLavfInput::OpenMemory(const std::uint8_t* data, std::size_t size) {
    Close();
    if (data == nullptr) {
        return false;
    }
    data_ = data;
    size_ = size;
    memory_ = true;
    return OpenContext();
}

bool CLavfInput::Reopen() {
    format_.reset();
    io_.reset();
    return (memory_ ? data_ != nullptr : !path_.empty()) && OpenContext();
}

void CLavfInput::Close() {
    format_.reset(); // before the I/O context it reads through
    io_.reset();
    path_.clear();
    data_ = nullptr;
    size_ = 0;
    memoryPos_ = 0;
    memory_ = false;
}

bool CLavfInput::OpenContext() {
    AVFormatContext* context = avformat_alloc_context();
    if (context == nullptr) {
        return false;
    }
    interrupt_ = threadInterrupt;
    if (interrupt_ != nullptr) {
        context->interrupt_callback.callback = InterruptCallback;
        context->interrupt_callback.opaque =
            const_cast<void*>(static_cast<const void*>(interrupt_));
    }
    if (memory_) {
        memoryPos_ = 0;
        auto* buffer = static_cast<std::uint8_t*>(av_malloc(kIoBufferSize));
        AVIOContext* io = buffer != nullptr
                              ? avio_alloc_context(buffer, kIoBufferSize, 0, this, ReadCallback,
                                                   nullptr, SeekCallback)
                              : nullptr;
        if (io == nullptr) {
            av_free(buffer);
            avformat_free_context(context);
            return false;
        }
        io_.reset(io);
        context->pb = io;
    }
    AVDictionary* options = nullptr;
    // Memory input reaches no other resource; a file may name local files only.
    av_dict_set(&options, "protocol_whitelist", memory_ ? "none" : "file", 0);
    const int rc = avformat_open_input(&context, memory_ ? "" : path_.c_str(), nullptr, &options);
    av_dict_free(&options);
    if (rc < 0) {
        io_.reset(); // avformat_open_input freed the context
        return false;
    }
    format_.reset(context);
    if (avformat_find_stream_info(context, nullptr) < 0) {
        format_.reset();
        io_.reset();
        return false;
    }
    return true;
}

bool CLavfInput::Read(AVPacket* packet) {
    av_packet_unref(packet);
    if (format_ == nullptr) {
        return false;
    }
    interrupted_ = StopRequested();
    if (interrupted_) {
        return false;
    }
    const int rc = av_read_frame(format_.get(), packet);
    interrupted_ = rc < 0 && StopRequested();
    // Some demuxers report a file cut short as its end; the reading layer
    // still knows.
    const AVIOContext* pb = format_->pb;
    endedOnError_ = rc < 0 && (rc != AVERROR_EOF ||
                               (pb != nullptr && pb->error < 0 && pb->error != AVERROR_EOF));
    return rc >= 0;
}

int CLavfInput::ReadMemory(std::uint8_t* out, int size) {
    if (memoryPos_ >= size_ || size <= 0) {
        return AVERROR_EOF;
    }
    const std::size_t take = std::min(size_ - memoryPos_, static_cast<std::size_t>(size));
    std::memcpy(out, data_ + memoryPos_, take);
    memoryPos_ += take;
    return static_cast<int>(take);
}

std::int64_t CLavfInput::SeekMemory(std::int64_t offset, int whence) {
    const std::int64_t size = static_cast<std::int64_t>(size_);
    std::int64_t base = 0;
    switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE:
        return size;
    case SEEK_SET:
        base = 0;
        break;
    case SEEK_CUR:
        base = static_cast<std::int64_t>(memoryPos_);
        break;
    case SEEK_END:
        base = size;
        break;
    default:
        return -1;
    }
    if (offset < -base || offset > size - base) {
        return -1;
    }
    memoryPos_ = static_cast<std::size_t>(base + offset);
    return base + offset;
}

} // namespace kmx
