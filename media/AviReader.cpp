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

std::uint32_t CAviReader::GetVideoStreamCount() const {
    return source_->GetVideoStreamCount();
}

std::uint32_t CAviReader::GetAudioStreamCount() const {
    return source_->GetAudioStreamCount();
}

bool CAviReader::GetVideoStreamInfo(std::uint32_t index, AVISTREAMINFOA* info,
                                    std::int32_t size) const {
    return source_->GetVideoStreamInfo(index, info, size);
}

bool CAviReader::GetAudioStreamInfo(std::uint32_t index, AVISTREAMINFOA* info,
                                    std::int32_t size) const {
    return source_->GetAudioStreamInfo(index, info, size);
}

std::int32_t CAviReader::GetVideoLength(std::uint32_t index) const {
    return source_->GetVideoLength(index);
}

std::int32_t CAviReader::GetAudioLength(std::uint32_t index) const {
    return source_->GetAudioLength(index);
}

bool CAviReader::StartVideoRetrieve(std::uint32_t index) {
    return source_->StartVideoRetrieve(index);
}

bool CAviReader::StopVideoRetrieve(std::uint32_t index) {
    return source_->StopVideoRetrieve(index);
}

bool CAviReader::IsRetrieving(std::uint32_t index) const {
    return source_->IsRetrieving(index);
}

void CAviReader::GetVideoFrame(std::uint32_t index, std::int32_t frame,
                               const BITMAPINFOHEADER** out) {
    source_->GetVideoFrame(index, frame, out);
}

bool CAviReader::UsePlanarVideo(std::uint32_t index) {
    return source_->UsePlanarVideo(index);
}

std::int32_t CAviReader::GetDamagedFrameCount(std::uint32_t index) const {
    return source_->GetDamagedFrameCount(index);
}

bool CAviReader::DecodeAudioToPcm(std::uint32_t index) {
    return source_->DecodeAudioToPcm(index);
}

const std::uint8_t* CAviReader::GetAudioFormat(std::uint32_t index, std::int32_t* size) const {
    return source_->GetAudioFormat(index, size);
}

std::int32_t CAviReader::ReadAudio(std::uint32_t index, std::int32_t first, std::int32_t count,
                                   void* buffer, std::int32_t bufferSize, std::int32_t* bytesRead,
                                   std::int32_t* samplesRead) {
    return source_->ReadAudio(index, first, count, buffer, bufferSize, bytesRead, samplesRead);
}
