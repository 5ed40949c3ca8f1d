#include "media/AviReader.h"

#include "media/io/ByteSource.h"
#include "media/lavf/LavfMediaSource.h"

#include <new>

CAviReader::CAviReader() = default;

CAviReader::~CAviReader() {
    Close();
}

bool CAviReader::Open(const char* name) {
    Close();
    std::unique_ptr<kmx::CFileSource> file;
    try {
        file = std::make_unique<kmx::CFileSource>();
        if (!file->Open(name)) {
            return false;
        }
        if (kmx::CAviMediaSource::Claims(*file)) {
            return Open(std::move(file));
        }
        file.reset();
        auto other = std::make_unique<kmx::CLavfMediaSource>();
        if (!other->Open(name)) {
            return false;
        }
        open_ = std::move(other);
    } catch (const std::bad_alloc&) {
        return false;
    }
    source_ = open_.get();
    return true;
}

bool CAviReader::OpenMemory(const std::uint8_t* data, std::size_t size) {
    Close();
    if (data == nullptr && size > 0) {
        return false;
    }
    std::unique_ptr<kmx::CMemorySource> memory;
    try {
        memory = std::make_unique<kmx::CMemorySource>(data, size);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return Open(std::move(memory));
}

bool CAviReader::Open(std::unique_ptr<kmx::IByteSource> source) {
    Close();
    std::unique_ptr<kmx::CAviMediaSource> avi;
    try {
        avi = std::make_unique<kmx::CAviMediaSource>();
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!avi->Open(std::move(source))) {
        return false;
    }
    open_ = std::move(avi);
    source_ = open_.get();
    return true;
}

void CAviReader::Close() {
    source_ = &closed_;
    open_.reset();
}
