// One open video compressor: the replacement for a Video Compression Manager
// handle. It answers the same questions the conversion pipeline asks of a
// platform compressor (output format, maximum frame size) and compresses a
// sequence of frames, one compressed sample per frame, each with its key flag.
//
// A compressor is opened for a FOURCC of the compressor table and owned by the
// caller through std::unique_ptr; destroying it ends any running sequence.
// Every operation reports by its result and never throws.
#pragma once

#include "codec/CompressorRecords.h"
#include "codec/CompressorTable.h"
#include "media/AviRecords.h"
#include "media/MediaSink.h"

#include <cstdint>
#include <memory>
#include <vector>

class CCompressor {
public:
    // Opens the compressor for fccHandler (ICOpen). fccType must be
    // ICTYPE_VIDEO or 0 and mode ICMODE_COMPRESS. Null for a FOURCC that is not
    // in the table or whose encoder this machine's libavcodec lacks.
    static std::unique_ptr<CCompressor> Open(std::uint32_t fccType, std::uint32_t fccHandler,
                                             std::uint32_t mode = ICMODE_COMPRESS);

    ~CCompressor();
    CCompressor(const CCompressor&) = delete;
    CCompressor& operator=(const CCompressor&) = delete;

    // Non-zero 32-bit token of this compressor, unique among the open ones,
    // for COMPVARS.hic.
    std::uint32_t Handle() const { return handle_; }
    const kmx::CompressorEntry& Entry() const { return *entry_; }

    // ICGetInfo: fills *info (size bytes, at least 568) and returns the bytes
    // filled, 0 on failure.
    std::int32_t GetInfo(ICINFO* info, std::int32_t size) const;

    // ICM_COMPRESS_GET_FORMAT without an output buffer: the size in bytes of
    // the output format for this input format, <= 0 when the input cannot be
    // taken.
    std::int32_t GetFormatSize(const BITMAPINFOHEADER* input);

    // ICM_COMPRESS_GET_FORMAT with an output buffer of outputSize bytes:
    // writes the output format (a BITMAPINFOHEADER followed by the codec's
    // extra data, biSize covering both). ICERR_OK on success, else an ICERR_
    // code.
    std::int32_t GetFormat(const BITMAPINFOHEADER* input, void* output, std::int32_t outputSize);

    // ICM_COMPRESS_GET_SIZE: the largest compressed frame for this input
    // format, <= 0 when the input cannot be taken.
    std::int32_t GetSize(const BITMAPINFOHEADER* input) const;

    // Frame rate for the encoder's rate control (ICM_COMPRESS_FRAMES_INFO);
    // 25 frames per second until set. Zero values are ignored. Takes effect
    // with the next SeqCompressFrameStart.
    void SetFrameRate(std::uint32_t rate, std::uint32_t scale);
    // The shape of the input's pixels (width : height) for the delivery
    // containers' streams; square until set. Values not above 0 are ignored.
    void SetSampleAspect(std::int32_t num, std::int32_t den);

    // ICSeqCompressFrameStart: starts a sequence with the settings' lQ, lKey
    // and lDataRate for frames of the input format. False when the format or
    // the settings cannot be taken; a running sequence is ended first.
    bool SeqCompressFrameStart(const COMPVARS& settings, const BITMAPINFOHEADER* input);

    // ICSeqCompressFrame: compresses one frame of bottom-up rows of exactly
    // width x bytes-per-pixel bytes (bitsSize bytes available at bits). Returns
    // the compressed data, valid until the next call or the end of the
    // sequence, and sets *key and *size; null on failure. After a failure the
    // sequence is broken and every later frame fails until the next start.
    const std::uint8_t* SeqCompressFrame(const void* bits, std::int64_t bitsSize, bool* key,
                                         std::int32_t* size);

    // Lets the sequences started from now on hold frames back: an intra-only
    // encoder that can then work on several frames at once gives each
    // frame's sample a few frames later (the same sample, in frame order).
    // Such a sequence is fed with SendFrame and TakeSample, not with
    // SeqCompressFrame. Off until set.
    void AllowDelay(bool allow) { allowDelay_ = allow; }
    // Lets the sequences started from now on (and the output format) be
    // made for a container that keeps the codec's headers apart from the
    // frames (MP4, MOV, MKV, WebM): see EncoderSettings::delivery. Off until set.
    void SetDelivery(bool delivery) { delivery_ = delivery; }
    // Fills what a container other than AVI needs to know of the running
    // sequence's stream: codec, its headers (the parameter sets, AV1's
    // sequence header, ...), colour description, sample aspect.
    // False (nothing filled) without a running sequence of an encoder.
    bool DescribeStream(kmx::MediaCodecDetails* details) const;

    // True when the running sequence holds frames back.
    bool Delays() const;

    // Hands one frame over, as SeqCompressFrame takes it; false on failure
    // (the sequence is then broken).
    bool SendFrame(const void* bits, std::int64_t bitsSize);
    // After the last frame: asks the encoder for every frame it still holds.
    bool Flush();
    // The next sample when it is ready (valid until the next call or the end
    // of the sequence), with *key and *size; null when none is ready yet, or
    // after Flush when none is left. *failed is set (and null returned) when
    // the encoder failed or gave a sample no frame can have. Samples come in
    // decoding order; *stamps, when given, receives the frame number the
    // sample shows (pts) and its decoding time (dts) in frames, which differ
    // only where a delivery sequence reorders frames (B-frames); dts may then
    // start below 0.
    struct Stamps {
        std::int64_t pts = 0;
        std::int64_t dts = 0;
    };
    const std::uint8_t* TakeSample(bool* key, std::int32_t* size, bool* failed,
                                   Stamps* stamps = nullptr);

    // ICSeqCompressFrameEnd: ends the sequence; safe at any time.
    void SeqCompressFrameEnd();

private:
    struct State;
    CCompressor(const kmx::CompressorEntry& entry, std::uint32_t handle);

    const kmx::CompressorEntry* entry_;
    std::uint32_t handle_;
    bool allowDelay_ = false;
    bool delivery_ = false;
    std::unique_ptr<State> state_;
};
