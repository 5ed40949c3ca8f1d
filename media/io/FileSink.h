// Where the AVI writer puts its bytes: an output that appends at its end and
// can overwrite bytes it wrote before, with 64-bit positions throughout.
//
// FileSink keeps its own buffer and checks every system call. After the first
// failure it refuses all further writes; DurableSize then tells how much of
// the output did reach the file, and Truncate cuts the output back to a point
// within that so that writing can go on from there (used to finish a file
// after a full disk).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kmx {

class ByteSink {
public:
    virtual ~ByteSink() = default;

    // Appends size bytes at Position(). False after any failure.
    virtual bool Write(const void* data, std::size_t size) = 0;
    // Overwrites size bytes at pos; the range must lie below Position().
    virtual bool WriteAt(std::uint64_t pos, const void* data, std::size_t size) = 0;
    // Pushes buffered bytes to the file.
    virtual bool Flush() = 0;
    // Cuts the output at size (at most DurableSize()), drops whatever was
    // buffered after it, and clears a failure so writing continues at size.
    virtual bool Truncate(std::uint64_t size) = 0;

    // Number of bytes accepted so far: where the next Write goes.
    virtual std::uint64_t Position() const = 0;
    // Number of bytes from the start known to have reached the file.
    virtual std::uint64_t DurableSize() const = 0;
    virtual bool Failed() const = 0;
};

class FileSink final : public ByteSink {
public:
    static constexpr std::size_t kDefaultBufferSize = std::size_t{1} << 20;

    explicit FileSink(std::size_t bufferSize = kDefaultBufferSize);
    ~FileSink() override;
    FileSink(const FileSink&) = delete;
    FileSink& operator=(const FileSink&) = delete;

    // Opens (creating or emptying) the file for writing and, for a regular
    // file, holds an exclusive lock on it until Close. Fails, leaving the
    // file as it is, when another process (or another open file in this one)
    // holds a lock on it. Never deletes anything and never blocks on a FIFO.
    // A sink that is open is closed first.
    bool Open(const char* path);
    // Replaces an existing file of that name with a new one and opens it.
    // Only regular files and symbolic links are removed: a device node, FIFO
    // or folder of that name is left alone (opening it then decides), so
    // that an output name like /dev/null can never delete a device. A
    // regular file is deleted only when no other run holds it (as its
    // output, or as an input it is reading): false, with nothing deleted,
    // otherwise. The lock taken to find that out is held until the new file
    // is created and locked, so no other run can slip in between.
    // LastError tells why it failed (EWOULDBLOCK: another run holds it).
    bool Replace(const char* path);
    // Flushes and closes. False when the flush or the close failed, or when
    // the sink was in the failed state. Safe when nothing is open.
    bool Close();
    bool IsOpen() const { return fd_ >= 0; }
    // errno of the first failure, 0 when there was none.
    int LastError() const { return error_; }

    bool Write(const void* data, std::size_t size) override;
    bool WriteAt(std::uint64_t pos, const void* data, std::size_t size) override;
    bool Flush() override;
    bool Truncate(std::uint64_t size) override;
    std::uint64_t Position() const override { return flushed_ + used_; }
    std::uint64_t DurableSize() const override { return flushed_; }
    bool Failed() const override { return failed_; }

private:
    // Writes all of data at pos with pwrite; *done receives the bytes that
    // were written before a failure.
    bool WriteAll(std::uint64_t pos, const std::uint8_t* data, std::size_t size, std::size_t* done);
    void Fail(int error);
    // Takes the exclusive lock of a regular file, then empties it.
    static bool LockAndEmpty(int fd);

    std::size_t bufferSize_;
    std::vector<std::uint8_t> buffer_;
    std::size_t used_ = 0;
    std::uint64_t flushed_ = 0;
    int fd_ = -1;
    bool failed_ = false;
    int error_ = 0;
};

} // namespace kmx
