// The frame loop of a run: every frame is read and checked, transformed,
// given its overlays, offered as a preview, compressed and written, and the
// audio that belongs to it is copied along (also backwards), so the sound
// stays in step with the pictures.
#include "engine/ConvertThread.h"
#include "engine/FrameChecks.h"

#include "media/decode/DibFrame.h"
#include "media/io/WorkThreads.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <new>

bool CConvertThread::ConvertFrames() {
    const std::int32_t frameCount = input_.GetVideoLength(0);
    run_ = FrameRun{};
    run_.frameCount = frameCount;
    if (audio_) {
        run_.audioLength = input_.GetAudioLength(0);
        if (job_.reverse != 0) {
            run_.nextSample = run_.audioLength - 1;
        }
    }
    PrepareFrameBuffers();
    // The next frame is read and decoded while this one is worked on and
    // written; everything that reaches the user still happens in frame order.
    readAhead_.Start(
        frameCount,
        [this, frameCount](std::int32_t step, FetchedFrame& frame) {
            FetchFrame(job_.reverse != 0 ? frameCount - 1 - step : step, step, frame);
        },
        kmx::WorkThreads() > 1);
    if (frameCount > 0) {
        NotifyFrame(0);
    }
    bool ok = true;
    for (std::int32_t i = 1; ok && i <= frameCount; ++i) {
        if (AbortRequested()) {
            ok = false;
            break;
        }
        const FetchedFrame& frame = readAhead_.Take(i - 1);
        if (frame.error != nullptr) {
            ReportMessage(nullptr, "%s", frame.error);
            ok = false;
            break;
        }
        ok = TransformFrame(frame) && CompressAndWrite(frame.layout);
    }
    readAhead_.Stop();
    // A compressor that holds frames back gives the last ones now. After a
    // stop nothing more is written: the frames reported done are.
    if (!ok || !FlushCompressor()) {
        return false;
    }
    // Every frame handed over must have come out and be in the file.
    if (run_.framesWritten != frameCount) {
        ReportMessage(nullptr, "ERROR: Compress Video Frame (%d of %d frames came out)",
                      static_cast<int>(run_.framesWritten), static_cast<int>(frameCount));
        return false;
    }
    return true;
}

void CConvertThread::NotifyFrame(std::int32_t frame) {
    const std::int32_t count = run_.frameCount;
    NotifyProgress(static_cast<std::int32_t>((std::int64_t{1000} * frame) / count), frame, count);
    NotifyStatus(FrameStatusText(frame, count).c_str());
}

void CConvertThread::PrepareFrameBuffers() {
    if (audio_) {
        try {
            std::vector<std::uint8_t>(kAudioBufferSize).swap(audioBuffer_);
        } catch (const std::bad_alloc&) {
            std::vector<std::uint8_t>().swap(audioBuffer_);
            audio_ = false;
        }
    }
    readAhead_.Clear();
    frameSize_ = 0;
    transforms_.Reset();
    const bool wholeRows = job_.mirrorUpperHalf == 0 && job_.mirrorLowerHalf == 0;
    const bool wholeColumns = job_.mirrorLeftHalf == 0 && job_.mirrorRightHalf == 0;
    mirrorWhileReading_ = (job_.mirrorHorizontal != 0 || job_.mirrorVertical != 0) &&
                          (job_.mirrorHorizontal == 0 || wholeRows) &&
                          (job_.mirrorVertical == 0 || wholeColumns) &&
                          !(job_.interlaced != 0 && job_.reverse != 0);
}

void CConvertThread::FetchFrame(std::int32_t frameIndex, std::int32_t outputIndex,
                                FetchedFrame& frame) {
    frame.error = nullptr;
    frame.hasOverlay = {};
    try {
        ReadFrame(frameIndex, frame);
        if (frame.error == nullptr && overlaysActive_) {
            FetchOverlays(outputIndex, frame);
        }
    } catch (const std::bad_alloc&) {
        // Nothing may leave the read-ahead thread; the loop reports it.
        frame.error = "ERROR: No more memory available";
    }
}

void CConvertThread::ReadFrame(std::int32_t frameIndex, FetchedFrame& frame) {
    const BITMAPINFOHEADER* header = nullptr;
    {
        // The decoded picture stays as it is until this thread asks for the
        // next one, so it is copied without holding up the audio.
        const std::lock_guard<std::mutex> lock(inputLock_);
        input_.GetVideoFrame(0, frameIndex, &header);
    }
    if (header == nullptr) {
        frame.error = "ERROR: Getting Video Frame";
        return;
    }
    const std::int64_t headerSize = HeaderBytes(*header);
    const std::int64_t dataSize = header->biSizeImage;
    const std::int64_t width = header->biWidth;
    const std::int64_t height = header->biHeight;
    const bool planar = header->biCompression == kmx::kFourccI420;
    const std::int64_t bytesPerPixel = planar ? 0 : header->biBitCount / 8;
    if (!FillsImageExactly(*header)) {
        frame.error = "ERROR: Inconsistant Frame Bitmap Data";
        return;
    }
    if (frameSize_ == 0) {
        frameSize_ = headerSize + dataSize;
    }
    if (static_cast<std::int64_t>(frame.bytes.size()) != frameSize_) {
        try {
            frame.bytes.resize(static_cast<std::size_t>(frameSize_));
        } catch (const std::bad_alloc&) {
            frame.error = "ERROR: No more memory available";
            return;
        }
    }
    if (headerSize + dataSize != frameSize_) {
        frame.error = "ERROR: Frame data size changed during processing";
        return;
    }
    const auto* source = reinterpret_cast<const std::uint8_t*>(header);
    if (mirrorWhileReading_ && !planar) {
        std::memcpy(frame.bytes.data(), source, static_cast<std::size_t>(headerSize));
        CFrameTransforms::CopyMirrored(source + headerSize, frame.bytes.data() + headerSize,
                                       static_cast<int>(width), static_cast<int>(height),
                                       static_cast<int>(bytesPerPixel), job_.mirrorHorizontal != 0,
                                       job_.interlaced != 0, job_.mirrorVertical != 0);
    } else {
        std::memcpy(frame.bytes.data(), source, static_cast<std::size_t>(frameSize_));
    }
    frame.layout.pixels = frame.bytes.data() + headerSize;
    frame.layout.dataSize = dataSize;
    frame.layout.width = static_cast<int>(width);
    frame.layout.height = static_cast<int>(height);
    frame.layout.bytesPerPixel = static_cast<int>(bytesPerPixel);
}

bool CConvertThread::TransformFrame(const FetchedFrame& fetched) {
    const FrameLayout& frame = fetched.layout;
    const int w = frame.width;
    const int h = frame.height;
    const int b = frame.bytesPerPixel;
    if (job_.interlaced != 0 && job_.reverse != 0 &&
        !transforms_.FrameCombineOddAndOldEven(frame.pixels, w, h, b)) {
        ReportMessage(nullptr, "ERROR: No more memory available (FrameCombineOddAndOldEven)");
        return false;
    }
    if (job_.mirrorHorizontal != 0 && !mirrorWhileReading_) {
        transforms_.MirrorRows(frame.pixels, w, h, b, job_.interlaced != 0,
                               job_.mirrorUpperHalf != 0, job_.mirrorLowerHalf != 0);
    }
    if (job_.mirrorVertical != 0 && !mirrorWhileReading_) {
        transforms_.MirrorColumns(frame.pixels, w, h, b, job_.mirrorLeftHalf != 0,
                                  job_.mirrorRightHalf != 0);
    }
    if (overlaysActive_) {
        DrawOverlays(frame.pixels, w, h, b, fetched);
    }
    if (job_.preview != 0) {
        NotifyPreview(fetched.bytes.data(), static_cast<std::int32_t>(fetched.bytes.size()));
    }
    return true;
}

bool CConvertThread::CompressAndWrite(const FrameLayout& frame) {
    if (compressor_ != nullptr && compressor_->Delays()) {
        if (!compressor_->SendFrame(frame.pixels, frame.dataSize)) {
            ReportMessage(nullptr, "ERROR: Compress Video Frame");
            return false;
        }
        return WriteReadySamples();
    }
    const void* data = frame.pixels;
    std::int32_t size = static_cast<std::int32_t>(frame.dataSize);
    bool key = true;
    if (compressor_ != nullptr) {
        size = 0;
        data = compressor_->SeqCompressFrame(frame.pixels, frame.dataSize, &key, &size);
        if (data == nullptr) {
            ReportMessage(nullptr, "ERROR: Compress Video Frame");
            return false;
        }
    }
    return WriteSample(data, size, key);
}

bool CConvertThread::WriteSample(const void* data, std::int32_t size, bool key,
                                 const CCompressor::Stamps* stamps) {
    const bool written = stamps != nullptr ? output_.WriteVideoFrame(data, size, key ? 1 : 0,
                                                                     stamps->pts, stamps->dts)
                                           : output_.WriteVideoFrame(data, size, key ? 1 : 0);
    if (!written) {
        ReportFileProblem("ERROR: Adding Video Frame", job_.outputPath, output_.ErrorNumber());
        return false;
    }
    const std::int32_t done = ++run_.framesWritten;
    if (audio_ && audioCopyCodec_ != 0) {
        const std::lock_guard<std::mutex> lock(inputLock_);
        CopyAudioPackets(static_cast<std::int64_t>(done * audioSamplesPerFrame_));
    } else if (audio_) {
        const std::int32_t frameIndex = job_.reverse != 0 ? run_.frameCount - done : done - 1;
        const std::lock_guard<std::mutex> lock(inputLock_);
        CopyAudio(run_.frameCount, frameIndex, run_.audioLength, run_.nextSample);
    }
    // Only what the system holds is reported: a run killed after the notice
    // keeps every frame it counted.
    if (!output_.Flush()) {
        ReportFileProblem("ERROR: Adding Video Frame", job_.outputPath, output_.ErrorNumber());
        return false;
    }
    NotifyFrame(done);
    return true;
}

bool CConvertThread::WriteReadySamples() {
    for (;;) {
        bool key = false;
        bool failed = false;
        std::int32_t size = 0;
        CCompressor::Stamps stamps;
        const std::uint8_t* data = compressor_->TakeSample(&key, &size, &failed, &stamps);
        if (failed) {
            ReportMessage(nullptr, "ERROR: Compress Video Frame");
            return false;
        }
        if (data == nullptr) {
            return true;
        }
        // AVI numbers its samples itself; the other containers take the
        // encoder's time stamps, which reordered frames need.
        const bool stamped = container_ != kmx::OutputContainer::Avi;
        if (!WriteSample(data, size, key, stamped ? &stamps : nullptr)) {
            return false;
        }
    }
}

bool CConvertThread::FlushCompressor() {
    if (compressor_ == nullptr || !compressor_->Delays()) {
        return true;
    }
    if (!compressor_->Flush()) {
        ReportMessage(nullptr, "ERROR: Compress Video Frame");
        return false;
    }
    return WriteReadySamples();
}

void CConvertThread::CopyAudio(std::int32_t frameCount, std::int32_t frameIndex,
                               std::int32_t audioLength, std::int32_t& nextSample) {
    if (audioLength <= 0) {
        audio_ = false;
        return;
    }
    // Target sample of this frame: frame 0 maps to sample 0, the last frame
    // to the last sample. A single frame takes all the audio.
    const std::int64_t target =
        frameCount > 1 ? (std::int64_t{audioLength - 1} * frameIndex) / (frameCount - 1)
                       : (job_.reverse != 0 ? 0 : audioLength - 1);
    // The samples of one frame are copied in as many buffer loads as they
    // need, so that nothing is dropped when a frame carries more audio than
    // the buffer holds.
    if (job_.reverse == 0) {
        CopyAudioForward(target, nextSample);
    } else {
        CopyAudioBackward(target, nextSample);
    }
    if (!audio_) {
        ReportMessage(nullptr, "WARNING: Error Reading/Writing Audio Samples");
    }
}

void CConvertThread::CopyAudioForward(std::int64_t target, std::int32_t& nextSample) {
    std::uint8_t* buffer = audioBuffer_.data();
    const std::int32_t capacity = static_cast<std::int32_t>(audioBuffer_.size());
    // A chunk of a stream without fixed sample size is one sample; several
    // read at once would be written as one chunk, that is as one sample.
    const std::int64_t most = audioPerChunk_ ? 1 : INT32_MAX;
    while (audio_ && nextSample <= target) {
        std::int32_t bytes = 0;
        std::int32_t samples = 0;
        const auto count = static_cast<std::int32_t>(std::min(target - nextSample + 1, most));
        if (input_.ReadAudio(0, nextSample, count, buffer, capacity, &bytes, &samples) != 0) {
            audio_ = false;
            break;
        }
        if (samples <= 0) {
            break; // nothing more to read: the stream is shorter than it said
        }
        nextSample += samples;
        if (!WriteAudio(buffer, bytes, samples)) {
            audio_ = false;
        }
    }
}

void CConvertThread::CopyAudioBackward(std::int64_t target, std::int32_t& nextSample) {
    std::uint8_t* buffer = audioBuffer_.data();
    const std::int32_t capacity = static_cast<std::int32_t>(audioBuffer_.size());
    while (audio_ && nextSample >= target) {
        // Read the highest samples still due first, so they are written
        // first; the block is then reversed sample by sample.
        std::int64_t start = target;
        std::int32_t bytes = 0;
        std::int32_t samples = 0;
        for (;;) {
            const std::int32_t count = static_cast<std::int32_t>(nextSample - start + 1);
            if (input_.ReadAudio(0, static_cast<std::int32_t>(start), count, buffer, capacity,
                                 &bytes, &samples) != 0) {
                audio_ = false;
                break;
            }
            if (samples >= count || samples <= 0) {
                break;
            }
            start = nextSample - samples + 1; // the buffer holds fewer: read the top part only
        }
        if (!audio_ || samples <= 0) {
            break;
        }
        nextSample -= samples;
        const std::int32_t block = bytes / samples;
        for (std::int32_t k = 0; k < samples / 2; ++k) {
            std::uint8_t* a = buffer + static_cast<std::ptrdiff_t>(k) * block;
            std::uint8_t* z = buffer + static_cast<std::ptrdiff_t>(samples - 1 - k) * block;
            std::swap_ranges(a, a + block, z);
        }
        if (!WriteAudio(buffer, bytes, samples)) {
            audio_ = false;
        }
    }
}
