// The worker object: runs one conversion job at a time on the worker thread
// and reports to the notification target named by the job message.
//
// A run opens and checks the base file, creates the output, sets up the
// compressor and the overlays, then for every frame reads, checks,
// transforms, draws the overlays, offers a preview, compresses, writes and
// copies the matching audio. Every buffer is created once per run.
#pragma once

#include "codec/AudioEncoder.h"
#include "codec/Compressor.h"
#include "codec/CompressorRecords.h"
#include "engine/ConvertJob.h"
#include "engine/FrameTransforms.h"
#include "engine/OverlayDrawing.h"
#include "engine/ReadAhead.h"
#include "engine/WorkerMessages.h"
#include "media/AviReader.h"
#include "media/AviWriter.h"
#include "media/OutputContainer.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class CConvertThread {
public:
    enum State : std::int32_t { kCreated = 0, kIdle = 1, kRunning = 2 };

    // abortFlag is raised by the user-interface side and read here before
    // every frame and while a message waits for its answer; pollPeriod is how
    // long the worker sleeps between two looks at a cell or flag.
    CConvertThread(const std::atomic<std::int32_t>& abortFlag,
                   std::chrono::milliseconds pollPeriod = std::chrono::milliseconds(100));
    virtual ~CConvertThread();
    CConvertThread(const CConvertThread&) = delete;
    CConvertThread& operator=(const CConvertThread&) = delete;

    std::atomic<std::int32_t> state{kCreated};

    // The target of the notifications; set from the job message, cleared
    // before every poll.
    void SetNotificationTarget(INotificationTarget* target) { target_ = target; }

    // Copies the job and runs it, then posts the completion notice.
    void RunJob(const ConvertJob& job);

    // Notifications to the target; false when there is none or posting fails.
    bool PostToDialog(std::uint32_t message, WPARAM wParam, LPARAM lParam,
                      std::shared_ptr<void> keepAlive = {});
    // lParam carries how many input frames (base and overlays) the decoders
    // found damaged and concealed.
    bool NotifyDone(bool failed);
    // Before the completion notice of a finished run: the container and
    // codecs of the file written, "MP4 (Video H264, Audio aac)".
    bool NotifyWritten();
    // A warning that belongs to the run's finish message.
    bool NotifyWarning(const std::string& text);
    // perMille -1 hides the progress; frame (the frames written) and frameCount travel
    // in lParam (see Notification::ProgressFrame), -1 when unknown.
    bool NotifyProgress(std::int32_t perMille, std::int32_t frame = -1,
                        std::int32_t frameCount = -1);
    // Dropped (false) while the receiver has not taken the previous text.
    bool NotifyStatus(const char* text);
    // Dropped (false) while the previous frame is pending, or for no frame.
    bool NotifyPreview(const std::uint8_t* frame, std::int32_t length);
    // Posts a message (reply null) or a question (its answer goes to *reply)
    // and waits until it is answered. False when posting failed or the run was
    // aborted meanwhile. Texts longer than 255 bytes are cut.
    bool ReportMessage(std::int32_t* reply, const char* format, ...)
        __attribute__((format(printf, 3, 4)));

    // Release of the buffers kept between runs (the worker loop's end).
    void ReleaseBuffers();

private:
    // What the opening steps learn from the input and pass on.
    struct RunFormats {
        AVISTREAMINFOA videoInfo{};
        AVISTREAMINFOA audioInfo{};
        BITMAPINFOHEADER frameFormat{}; // the first frame's header
        std::int64_t maxFrameSize = 0;  // largest compressed (or raw) frame
    };
    // The pixels of a decoded frame and their layout.
    struct FrameLayout {
        std::uint8_t* pixels = nullptr;
        std::int64_t dataSize = 0;
        int width = 0;
        int height = 0;
        int bytesPerPixel = 0;
    };
    // One output frame's input, read ahead of its turn: the base frame's
    // header (with its colour table) and pixels, and the overlay frames
    // that go on it.
    struct FetchedFrame {
        std::vector<std::uint8_t> bytes;
        FrameLayout layout;          // the pixels in bytes
        const char* error = nullptr; // the message for a frame that cannot be used
        std::array<std::vector<std::uint8_t>, kOverlaySlotCount> overlays;
        std::array<bool, kOverlaySlotCount> hasOverlay{};
    };

    // The run's steps, in order; each reports its own failure.
    bool OpenAndConvert();
    bool ReadInputFormats(RunFormats& formats);
    // Reads frame 0 and keeps its header as the compressor's input format.
    bool ReadFirstFrameFormat(RunFormats& formats);
    // Whether the job leaves every pixel as it is (no mirror, field
    // combining, overlay or preview).
    bool LeavesPixelsAlone() const;
    bool UsePlanarFramesIfUntouched(RunFormats& formats);
    // Finds the output's container and checks that it holds the chosen
    // compressor, before anything is created.
    bool ChooseContainer();
    bool CreateOutput();
    bool SetUpCompressor(RunFormats& formats);
    bool StartCompressor(RunFormats& formats);
    bool CreateStreams(const RunFormats& formats);
    // What a container other than AVI learns of the video codec, and the
    // audio encoder for one that cannot carry the input's PCM.
    bool DescribeVideoCodec();
    bool SetUpAudioEncoder(const RunFormats& formats);
    // Writes a block of the input's audio samples, as they are or encoded.
    bool WriteAudio(const std::uint8_t* data, std::int32_t bytes, std::int32_t samples);
    // Writes the packets the audio encoder has ready (all of them after
    // flush).
    bool WriteAudioPackets(bool flush);
    // Sets up the copy of the input's audio packets; false (nothing set up)
    // when the run or the container does not allow it.
    bool SetUpAudioCopy(const RunFormats& formats);
    // Writes the copied packets that start before this sample.
    void CopyAudioPackets(std::int64_t beforeSample);
    // The clean-up every run takes once the output exists: ends the
    // compressor, closes input and output. ok is the run's result so far;
    // returns it, false also when the output cannot be completed.
    // Adds up what the decoders of the run's inputs found damaged.
    void CountDamagedFrames();
    bool CloseRun(bool ok);
    void DescribeWrittenFile();
    // Warns when the input gave fewer frames than its container promised,
    // or reading it stopped on an error.
    void WarnOfCutInput();

    bool ConvertFrames();
    void PrepareFrameBuffers();
    // Reads input frame frameIndex and the overlay frames of output frame
    // outputIndex into frame; runs on the read-ahead thread, so it reports
    // nothing itself and leaves input_ to others while it does not read.
    void FetchFrame(std::int32_t frameIndex, std::int32_t outputIndex, FetchedFrame& frame);
    void ReadFrame(std::int32_t frameIndex, FetchedFrame& frame);
    void FetchOverlays(std::int32_t outputIndex, FetchedFrame& frame);
    bool TransformFrame(const FetchedFrame& frame);
    bool CompressAndWrite(const FrameLayout& frame);
    // Writes the next frame's sample and the audio that belongs to the
    // frame, hands them to the system and then tells the user: a notice
    // "frame F" always means frames 1 .. F are in the file.
    // stamps: the sample's time stamps where the container takes them.
    bool WriteSample(const void* data, std::int32_t size, bool key,
                     const CCompressor::Stamps* stamps = nullptr);
    void NotifyFrame(std::int32_t frame);
    // A compressor that holds frames back gives their samples later, in
    // order: these write what it has ready, and at the end what it held.
    bool WriteReadySamples();
    bool FlushCompressor();
    // Copies the audio that belongs to input frame frameIndex of frameCount
    // frames to the output. audioLength is the input's audio length in
    // samples; nextSample is the next sample still to be copied (counting
    // down when the run is reversed) and is moved on past what was copied.
    void CopyAudio(std::int32_t frameCount, std::int32_t frameIndex, std::int32_t audioLength,
                   std::int32_t& nextSample);
    // The two directions of CopyAudio, up to and including sample target.
    void CopyAudioForward(std::int64_t target, std::int32_t& nextSample);
    void CopyAudioBackward(std::int64_t target, std::int32_t& nextSample);
    // Reads the input's audio stream header into formats; false when there
    // is no audio to copy. A reversed run gets compressed audio decoded.
    bool OpenInputAudio(RunFormats& formats);
    bool OpenOverlays();
    void DrawOverlays(std::uint8_t* pixels, int W, int H, int B, const FetchedFrame& frame);
    void ReleaseOverlay(OverlaySettings& slot);
    // "is the input" or "is an overlay" when the output names one of the
    // run's inputs, else null.
    const char* InputTheOutputWouldReplace() const;
    // Reports text with the file and, when error is set, the system's word
    // for it: "ERROR: Adding Video Frame (out.avi: No space left on device)".
    void ReportFileProblem(const char* text, const std::string& path, int error);
    // Header bytes of a frame: the header itself and, below 16 bits, the
    // colour table, taken as 1024 bytes.
    static std::int64_t HeaderBytes(const BITMAPINFOHEADER& header);
    bool AbortRequested() const { return abort_.load(std::memory_order_acquire) != 0; }

    const std::atomic<std::int32_t>& abort_;
    const std::chrono::milliseconds poll_;
    INotificationTarget* target_ = nullptr;

    CAviReader input_;
    CAviWriter output_;
    ConvertJob job_;
    COMPVARS settings_{};
    std::unique_ptr<CCompressor> compressor_;
    kmx::OutputContainer container_ = kmx::OutputContainer::Avi;
    // Encodes the audio for containers that cannot carry PCM; null otherwise.
    std::unique_ptr<kmx::CAudioEncoder> audioEncoder_;
    // A forward run into a container that takes the input's audio codec
    // copies its packets: the codec, the samples per video frame and the
    // next packet to write.
    int audioCopyCodec_ = 0;
    double audioSamplesPerFrame_ = 0;
    std::optional<kmx::EncodedAudioPacket> nextAudioPacket_;

    // Preview hand-over: the buffer is rewritten only while nothing is pending.
    // Each notice holds its cell alive, so a worker that releases its buffers
    // or ends never takes memory from under a notice still queued.
    struct PreviewCell {
        std::vector<std::uint8_t> bytes;
        std::atomic<std::int32_t> pending{0};
    };
    std::shared_ptr<PreviewCell> preview_;

    std::shared_ptr<StatusTextCell> status_ = std::make_shared<StatusTextCell>();
    bool audio_ = false;
    // The input audio has no fixed sample size: every chunk is one sample
    // (one compressed frame) and goes to the output as its own chunk.
    bool audioPerChunk_ = false;
    bool overlaysActive_ = false;
    std::array<ScaledOverlayColumns, kOverlaySlotCount> overlayColumns_{};
    std::array<BITMAPINFOHEADER, kOverlaySlotCount> overlayFormat_{};

    // Where the frame loop stands.
    struct FrameRun {
        std::int32_t frameCount = 0;
        std::int32_t framesWritten = 0;
        std::int32_t audioLength = 0; // of the input, in samples
        std::int32_t nextSample = 0;  // the next audio sample to copy
    };
    FrameRun run_;
    std::int64_t frameSize_ = 0; // header and pixels of every frame of the run
    // The frames are mirrored as they are copied from the decoder, in one
    // pass, instead of in place afterwards (whole mirrors, no field combining).
    bool mirrorWhileReading_ = false;
    std::int64_t damagedFrames_ = 0;
    // Concealed frames of the overlays that ended before the run did (their
    // readers are gone); added up on the read-ahead thread.
    std::atomic<std::int64_t> endedOverlayDamage_{0};
    std::string written_; // what the run wrote, for NotifyWritten
    CReadAhead<FetchedFrame> readAhead_;
    // Taken by whoever reads from input_ while the frame loop runs: the
    // read-ahead thread for frames, the loop for audio.
    std::mutex inputLock_;
    CFrameTransforms transforms_;
    std::vector<std::uint8_t> audioBuffer_;
    std::vector<std::uint8_t> outputFormat_;
    std::vector<std::uint8_t> inputFormat_; // header (and colour table) of the first frame
};

inline constexpr std::int32_t kAudioBufferSize = 176000;
