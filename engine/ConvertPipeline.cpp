// The run of one conversion: opening and checking, the frame loop, the audio
// copy that keeps the sound in step with the pictures (also backwards), and
// the clean-up that every outcome takes.
#include "engine/ConvertThread.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <sys/stat.h>

namespace {

constexpr std::int32_t kStreamInfoSize = 140;

// Header bytes of a frame: the header itself and, below 16 bits, the
// colour table, taken as 1024 bytes.
std::int64_t HeaderBytes(const BITMAPINFOHEADER& h) {
    return std::int64_t{h.biSize} + (h.biBitCount < 16 ? 1024 : 0);
}

bool SameFile(const struct stat& a, const std::string& path) {
    struct stat b {};
    return !path.empty() && ::stat(path.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

} // namespace

void CConvertThread::RunJob(const ConvertJob& job) {
    job_ = job;
    settings_ = job.compressorSettings;
    // Handles and pointer members only meant something in the run (or the
    // program) that filled them; a compressor is only ever one opened here.
    kmx::ClearRunState(settings_);
    overlaysActive_ = false;
    for (OverlaySettings& slot : job_.overlays) {
        slot.reader.reset();
        slot.nextFrame = 0;
    }
    NotifyProgress(-1);
    const bool succeeded = OpenAndConvert();
    NotifyDone(!succeeded);
    for (OverlaySettings& slot : job_.overlays) {
        ReleaseOverlay(slot);
    }
}

bool CConvertThread::OutputWouldReplaceAnInput() const {
    // The output is deleted before it is written. On this platform an open
    // file can be deleted, so an output naming the input or an overlay (also
    // through another path or a link) must be refused here, or it is lost.
    struct stat output {};
    if (::stat(job_.outputPath.c_str(), &output) != 0) {
        return false;
    }
    if (SameFile(output, job_.inputPath)) {
        return true;
    }
    return std::any_of(job_.overlays.begin(), job_.overlays.end(),
                       [&](const OverlaySettings& slot) { return SameFile(output, slot.path); });
}

bool CConvertThread::OpenAndConvert() {
    audio_ = false;
    if (!input_.Open(job_.inputPath.c_str())) {
        ReportMessage(nullptr, "FEHLER: Öffne Input AVI");
        return false;
    }
    AVISTREAMINFOA videoInfo{};
    if (!input_.GetVideoStreamInfo(0, &videoInfo, kStreamInfoSize)) {
        ReportMessage(nullptr, "ERROR: Getting Video Stream Info");
        input_.Close();
        return false;
    }
    AVISTREAMINFOA audioInfo{};
    audio_ = input_.GetAudioStreamInfo(0, &audioInfo, kStreamInfoSize);
    if (!input_.StartVideoRetrieve(0)) {
        ReportMessage(nullptr, "ERROR: Start Video Retrieve");
        input_.Close();
        return false;
    }
    const BITMAPINFOHEADER* first = nullptr;
    input_.GetVideoFrame(0, 0, &first);
    if (first == nullptr) {
        ReportMessage(nullptr, "ERROR: Getting First Video Frame");
        input_.Close();
        return false;
    }
    // The first frame's header (with its colour table below 16 bits) is the
    // compressor's input format, also when the run is reversed.
    const std::int64_t firstHeaderBytes = HeaderBytes(*first);
    inputFormat_.assign(reinterpret_cast<const std::uint8_t*>(first),
                        reinterpret_cast<const std::uint8_t*>(first) + firstHeaderBytes);
    BITMAPINFOHEADER format{};
    std::memcpy(&format, inputFormat_.data(), sizeof format);

    if (OutputWouldReplaceAnInput() || !output_.Create(job_.outputPath.c_str())) {
        ReportMessage(nullptr, "FEHLER: Öffne Output AVI");
        input_.Close();
        return false;
    }

    bool ok = true;
    std::int64_t maxFrameSize = 0;
    if (!kmx::IsUncompressed(settings_)) {
        compressor_ = CCompressor::Open(settings_.fccType, settings_.fccHandler, ICMODE_COMPRESS);
        if (compressor_ == nullptr) {
            ReportMessage(nullptr, "ERROR: Open Compressor");
            ok = false;
        }
        if (ok) {
            settings_.hic = compressor_->Handle();
            const std::int32_t formatSize = compressor_->GetFormatSize(&format);
            if (formatSize <= 0) {
                ReportMessage(nullptr, "ERROR: Calling ICCompressGetFormat (get size)");
                ok = false;
            } else {
                outputFormat_.assign(static_cast<std::size_t>(formatSize), 0);
                if (compressor_->GetFormat(&format, outputFormat_.data(), formatSize) != ICERR_OK) {
                    ReportMessage(nullptr, "ERROR: Calling ICCompressGetFormat");
                    ok = false;
                }
            }
        }
        if (ok) {
            settings_.dwFlags = ICMF_COMPVARS_VALID;
            compressor_->SetFrameRate(videoInfo.dwRate, videoInfo.dwScale);
            if (!compressor_->SeqCompressFrameStart(settings_, &format)) {
                ReportMessage(nullptr, "ERROR: Calling ICSeqCompressFrameStart");
                ok = false;
            } else {
                maxFrameSize = compressor_->GetSize(&format);
            }
        }
    } else {
        // Uncompressed output keeps the input format; below 16 bits its
        // colour table goes along, or the output's colours would be lost.
        outputFormat_ = inputFormat_;
        maxFrameSize = std::int64_t{format.biBitCount / 8} * format.biHeight * format.biWidth;
    }
    if (settings_.fccHandler == 0) {
        settings_.fccHandler = FOURCC_DIB;
    }

    if (ok) {
        AVISTREAMINFOA outputInfo = videoInfo;
        outputInfo.fccHandler = settings_.fccHandler;
        outputInfo.dwSuggestedBufferSize =
            static_cast<std::uint32_t>(std::clamp<std::int64_t>(maxFrameSize, 0, UINT32_MAX));
        if (!output_.CreateVideoStream(outputInfo)) {
            ReportMessage(nullptr, "ERROR: Create Video Stream");
            ok = false;
        }
    }
    if (ok && audio_ && !output_.CreateAudioStream(audioInfo)) {
        ReportMessage(nullptr, "WARNING: Error Create Audio Stream");
        audio_ = false;
    }
    if (ok && !output_.SetVideoFormat(outputFormat_.data(),
                                      static_cast<std::int32_t>(outputFormat_.size()))) {
        ReportMessage(nullptr, "ERROR: Set Video Format");
        ok = false;
    }
    if (ok && audio_) {
        std::int32_t audioFormatSize = 0;
        const std::uint8_t* audioFormat = input_.GetAudioFormat(0, &audioFormatSize);
        if (audioFormat == nullptr || !output_.SetAudioFormat(audioFormat, audioFormatSize)) {
            ReportMessage(nullptr, "WARNING: Error Setting Audio Format");
            audio_ = false;
        }
    }
    if (ok) {
        ok = OpenOverlays();
    }
    if (ok) {
        ok = ConvertFrames();
    }

    // Common clean-up of every outcome from here on.
    if (compressor_ != nullptr) {
        compressor_->SeqCompressFrameEnd();
        compressor_.reset();
        settings_.hic = 0;
    }
    input_.StopVideoRetrieve(0);
    input_.Close();
    if (!output_.Close() && ok) {
        // The frames are written but the file could not be completed (a full
        // disk at the end, for instance): that is no success.
        ReportMessage(nullptr, "ERROR: Closing Output AVI");
        ok = false;
    }
    std::vector<std::uint8_t>().swap(outputFormat_);
    return ok;
}

bool CConvertThread::ConvertFrames() {
    const std::int32_t n = input_.GetVideoLength(0);
    std::int32_t p = 0;
    std::int32_t L = 0;
    if (audio_) {
        L = input_.GetAudioLength(0);
        if (job_.reverse != 0) {
            p = L - 1;
        }
        try {
            std::vector<std::uint8_t>(kAudioBufferSize).swap(audioBuffer_);
        } catch (const std::bad_alloc&) {
            std::vector<std::uint8_t>().swap(audioBuffer_);
            audio_ = false;
        }
    }
    std::vector<std::uint8_t>().swap(frame_);
    frameSize_ = 0;
    transforms_.Reset();
    if (n < 1) {
        return true;
    }

    for (std::int32_t i = 1; i <= n; ++i) {
        NotifyProgress(static_cast<std::int32_t>((std::int64_t{1000} * i) / n));
        char status[64];
        std::snprintf(status, sizeof status, "%u / %u", static_cast<unsigned>(i),
                      static_cast<unsigned>(n));
        NotifyStatus(status);
        if (AbortRequested()) {
            return false;
        }
        const std::int32_t f = job_.reverse != 0 ? n - i : i - 1;
        const BITMAPINFOHEADER* header = nullptr;
        input_.GetVideoFrame(0, f, &header);
        if (header == nullptr) {
            ReportMessage(nullptr, "ERROR: Getting Video Frame");
            return false;
        }
        const std::int64_t hs = HeaderBytes(*header);
        const std::int64_t ds = header->biSizeImage;
        const std::int64_t W = header->biWidth;
        const std::int64_t H = header->biHeight;
        const std::int64_t B = header->biBitCount / 8;
        // 64-bit, so that no header can make the product wrap around; frames
        // below 8 bits have no whole bytes per pixel and are refused too.
        if (B < 1 || B * H * W != ds) {
            ReportMessage(nullptr, "ERROR: Inconsistant Frame Bitmap Data");
            return false;
        }
        if (frame_.empty()) {
            frameSize_ = hs + ds;
            try {
                frame_.resize(static_cast<std::size_t>(frameSize_));
            } catch (const std::bad_alloc&) {
                ReportMessage(nullptr, "ERROR: No more memory available");
                return false;
            }
        }
        if (hs + ds != frameSize_) {
            ReportMessage(nullptr, "ERROR: Frame data size changed during processing");
            return false;
        }
        std::memcpy(frame_.data(), header, static_cast<std::size_t>(frameSize_));
        std::uint8_t* pixels = frame_.data() + hs;
        const int w = static_cast<int>(W);
        const int h = static_cast<int>(H);
        const int b = static_cast<int>(B);

        if (job_.interlaced != 0 && job_.reverse != 0 &&
            !transforms_.FrameCombineOddAndOldEven(pixels, w, h, b)) {
            ReportMessage(nullptr, "ERROR: No more memory available (FrameCombineOddAndOldEven)");
            return false;
        }
        if (job_.mirrorHorizontal != 0) {
            transforms_.MirrorRows(pixels, w, h, b, job_.interlaced != 0, job_.mirrorUpperHalf != 0,
                                   job_.mirrorLowerHalf != 0);
        }
        if (job_.mirrorVertical != 0) {
            transforms_.MirrorColumns(pixels, w, h, b, job_.mirrorLeftHalf != 0,
                                      job_.mirrorRightHalf != 0);
        }
        if (overlaysActive_) {
            DrawOverlays(pixels, w, h, b, i - 1);
        }
        if (job_.preview != 0) {
            NotifyPreview(frame_.data(), static_cast<std::int32_t>(frameSize_));
        }

        const void* data = pixels;
        std::int32_t size = static_cast<std::int32_t>(ds);
        bool key = true;
        if (compressor_ != nullptr) {
            size = 0;
            data = compressor_->SeqCompressFrame(pixels, ds, &key, &size);
            if (data == nullptr) {
                ReportMessage(nullptr, "ERROR: Compress Video Frame");
                return false;
            }
        }
        if (!output_.WriteVideoFrame(data, size, key ? 1 : 0)) {
            ReportMessage(nullptr, "ERROR: Adding Video Frame");
            return false;
        }
        if (audio_) {
            CopyAudio(n, f, L, p);
        }
    }
    return true;
}

void CConvertThread::CopyAudio(std::int32_t n, std::int32_t f, std::int32_t L, std::int32_t& p) {
    if (L <= 0) {
        audio_ = false;
        return;
    }
    // Target sample of this frame: frame 0 maps to sample 0, frame n - 1 to
    // sample L - 1. A single frame takes all the audio.
    const std::int64_t t =
        n > 1 ? (std::int64_t{L - 1} * f) / (n - 1) : (job_.reverse != 0 ? 0 : L - 1);
    std::uint8_t* buffer = audioBuffer_.data();
    const std::int32_t capacity = static_cast<std::int32_t>(audioBuffer_.size());

    // The samples of one frame are copied in as many buffer loads as they
    // need, so that nothing is dropped when a frame carries more audio than
    // the buffer holds.
    if (job_.reverse == 0) {
        while (audio_ && p <= t) {
            std::int32_t bytes = 0;
            std::int32_t samples = 0;
            if (input_.ReadAudio(0, p, static_cast<std::int32_t>(t - p + 1), buffer, capacity,
                                 &bytes, &samples) != 0) {
                audio_ = false;
                break;
            }
            if (samples <= 0) {
                break; // nothing more to read: the stream is shorter than it said
            }
            p += samples;
            if (!output_.WriteAudio(buffer, bytes, samples)) {
                audio_ = false;
            }
        }
    } else {
        while (audio_ && p >= t) {
            // Read the highest samples still due first, so they are written
            // first; the block is then reversed sample by sample.
            std::int64_t start = t;
            std::int32_t bytes = 0;
            std::int32_t samples = 0;
            for (;;) {
                const std::int32_t count = static_cast<std::int32_t>(p - start + 1);
                if (input_.ReadAudio(0, static_cast<std::int32_t>(start), count, buffer, capacity,
                                     &bytes, &samples) != 0) {
                    audio_ = false;
                    break;
                }
                if (samples >= count || samples <= 0) {
                    break;
                }
                start = p - samples + 1; // the buffer holds fewer: read the top part only
            }
            if (!audio_ || samples <= 0) {
                break;
            }
            p -= samples;
            const std::int32_t block = bytes / samples;
            for (std::int32_t k = 0; k < samples / 2; ++k) {
                std::uint8_t* a = buffer + static_cast<std::ptrdiff_t>(k) * block;
                std::uint8_t* z = buffer + static_cast<std::ptrdiff_t>(samples - 1 - k) * block;
                std::swap_ranges(a, a + block, z);
            }
            if (!output_.WriteAudio(buffer, bytes, samples)) {
                audio_ = false;
            }
        }
    }
    if (!audio_) {
        ReportMessage(nullptr, "WARNING: Error Reading/Writing Audio Samples");
    }
}
