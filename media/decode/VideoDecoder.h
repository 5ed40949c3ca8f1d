// The frame decoder of one video stream: hands out every frame as a packed
// DIB. Raw BI_RGB streams of 8, 16, 24 and 32 bits keep their depth; every
// other codec libavcodec knows is decoded to 24 bits. Rows are bottom-up and
// padded to 4 bytes, biHeight is positive and biSizeImage is set. A drop
// frame (an empty sample) repeats the frame before it.
//
// Frames asked for backwards from a codec whose pictures depend on one
// another come out of a frame cache (media/decode/ReverseFrameCache.h): the
// samples up to the wanted one are decoded forwards once and handed out from
// memory, or from a temporary file when their key-frame segment does not fit
// it or the reader said that it reads backwards.
#pragma once

#include "media/AviRecords.h"
#include "media/decode/ScanType.h"
#include "media/decode/VideoDecoderSource.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace kmx {

class CVideoDecoder {
public:
    CVideoDecoder();
    ~CVideoDecoder();
    CVideoDecoder(const CVideoDecoder&) = delete;
    CVideoDecoder& operator=(const CVideoDecoder&) = delete;

    // format: the stream's format block; handler: its stream header's
    // FOURCC. False for formats that cannot be decoded or whose dimensions
    // are absurd. The source must outlive the decoder.
    bool Open(const std::vector<std::uint8_t>& format, std::uint32_t handler,
              const IVideoSampleSource& source);
    // The same for a stream whose codec is known by its libavcodec id (an
    // AVCodecID): the format's header gives the picture size and what follows
    // it the codec data. Always decoded through libavcodec.
    bool OpenCodec(const std::vector<std::uint8_t>& format, int codecId,
                   const IVideoSampleSource& source);
    void Close();

    // The frame as a DIB owned by the decoder, valid until the next call or
    // Close; null when it cannot be decoded or lies outside the stream.
    // Asking for the frame already held returns it without decoding again.
    const BITMAPINFOHEADER* GetFrame(std::int32_t frame);

    // From now on hands out 'I420' frames (media/DibFrame.h) instead of RGB
    // ones, when the stream goes through libavcodec and every picture
    // decoded so far is 4:2:0 in the BT.709 matrix (bt709), or else in
    // BT.601 (one that names none by its size, see ColourMatrix.h): a frame
    // must have been read first. False, changing nothing, otherwise.
    bool UsePlanarFrames(bool bt709);

    // How the first frame decoded is scanned (CCodecDecoder::FirstScan);
    // Unknown for raw streams.
    ScanType FirstScan() const;

    // Samples read from the file since Open (for tests of the seeking).
    std::uint64_t SamplesRead() const;
    // Frames the codec found damaged (and concealed) since Open.
    std::int32_t DamagedFrames() const;

    // Tells the decoder that frames will be asked for backwards (from the
    // next request on, until told otherwise): every jump then decodes the
    // frames before the wanted one as well, and each key-frame segment goes
    // to a temporary file at once, whether or not the cache could hold it.
    void SetReadingBackwards(bool backwards);

    // The frame where decoding the frame starts: the key frame at or before
    // it. -1 where every frame decodes alone (raw and intra-only streams, as
    // far as the frames decoded so far tell) or the frame lies outside.
    std::int32_t KeyFrameAtOrBefore(std::int32_t frame) const;

    // Bytes the frame cache may take from the next Open on; by default
    // DecodeCacheBudget() as it stands at Open.
    void SetCacheBudget(std::uint64_t bytes);
    // Whether frames read backwards were decoded more than once because the
    // temporary folder had no room (or could take no file) for them.
    bool SpillFellShort() const;
    // Frames the cache holds now (for tests).
    std::int32_t CachedFrames() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace kmx
