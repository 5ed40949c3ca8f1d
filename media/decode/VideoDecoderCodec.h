// Decoding of compressed video samples with libavcodec into 24-bit bottom-up
// DIB rows. Keeps the decoder's position so that reading frame n and then
// n + 1 continues where it stopped; a jump starts again at the nearest key
// frame before the wanted one.
#pragma once

#include "media/decode/AvPointers.h"
#include "media/decode/DibFrame.h"
#include "media/decode/ScanType.h"
#include "media/decode/StoredPicture.h"
#include "media/decode/VideoDecoderSource.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace kmx {

class CCodecDecoder {
public:
    CCodecDecoder() = default;
    ~CCodecDecoder();
    CCodecDecoder(const CCodecDecoder&) = delete;
    CCodecDecoder& operator=(const CCodecDecoder&) = delete;

    // Finds the decoder for the format's compression FOURCC (or, failing
    // that, the stream handler's) through libavformat's RIFF tag table and
    // opens it with the format bytes beyond the 40-byte header as codec data.
    // A codecId other than 0 (an AVCodecID) names the codec instead.
    // The source must outlive the decoder.
    bool Open(const std::vector<std::uint8_t>& format, std::uint32_t handler,
              const IVideoSampleSource& source, int codecId = 0);
    void Close();

    // Where a decoded picture goes: called once the picture is known to have
    // the geometry's size; null when no memory can be had.
    using PixelTarget = std::function<std::uint8_t*()>;

    // Decodes the non-empty sample and writes it as 24-bit rows bottom-up
    // into what target gives. False, asking target for nothing, when the
    // picture does not have the geometry's size: the stream's header does not
    // describe its pictures, and the file is damaged.
    bool Decode(std::int32_t sample, const DibGeometry& geometry, const PixelTarget& target);

    // While storing, Decode and the lead-in (below) write the pictures as
    // they come out of the decoder (StoredPicture.h), where they fit the
    // geometry's image size, instead of converting them; LastStored then
    // describes the picture last written (format -1 for one converted after
    // all), and ConvertStored converts it later to what Decode would have
    // written. A planar geometry is never stored: its frames are as small.
    void SetStoring(bool storing) { storing_ = storing; }
    const StoredPicture& LastStored() const { return lastStored_; }
    bool ConvertStored(const std::uint8_t* planes, const StoredPicture& picture,
                       const DibGeometry& geometry, std::uint8_t* pixels);

    // A codec that reorders pictures starts each run one key frame early and
    // passes over the pictures before the sample it was started for. A sink
    // set here gets those pictures instead, in display order, from the run's
    // first picture on: Pixels gives where the next one goes and Keep takes
    // it once it is written there, as the index-th picture of the lead-in
    // (from 0 for every run). They are the pictures of the non-empty samples
    // right before the anchor key frame, the last of them showing the sample
    // before it.
    class LeadInSink {
    public:
        virtual ~LeadInSink() = default;
        virtual std::uint8_t* Pixels() = 0;
        virtual void Keep(std::int32_t index) = 0;
    };
    // Sets the sink (null for none) and counts its pictures from 0.
    void SetLeadInSink(LeadInSink* sink);
    // Lead-in pictures handed to the sink in the run that is under way; -1
    // when a picture of the lead-in could not be converted.
    std::int32_t LeadInPictures() const { return leadInPictures_; }
    // The key frame the run under way was started for: the lead-in's
    // pictures show the samples before it.
    std::int32_t RunAnchor() const { return runAnchor_; }

    // Whether the pictures decoded so far can go out as 'I420' frames as
    // they are: 4:2:0 in the BT.709 matrix, or else in BT.601 (a picture
    // that names none counts as ColourMatrix.h says). A geometry that is
    // planar makes Decode write such frames.
    bool PlanarFits(bool bt709) const { return bt709 ? planar709Fits_ : planarFits_; }

    // How the first picture decoded is scanned: interlaced as the decoder
    // flags it, progressive only for codecs that say so in their bitstream
    // (for the others an unflagged picture says nothing); Unknown before a
    // picture was decoded.
    ScanType FirstScan() const { return firstScan_; }

    // Packets handed to libavcodec since Open (for tests of the seeking).
    std::uint64_t PacketsSent() const { return packetsSent_; }

    // Samples found damaged so far: rejected by the decoder, unreadable, or
    // decoded with errors that the decoder concealed. Each counts once, also
    // when it is decoded again.
    std::int32_t DamagedSamples() const { return damagedCount_; }

    // What a frame cache needs to know of the stream: whether every picture
    // stands on its own, and where the key frames are as far as known.
    bool IntraOnly() const { return intraOnly_; }
    // Whether pictures may come out in another order than the samples go
    // in: they did, or no picture has come out yet.
    bool MayReorder() const { return reorders_ || !sawPicture_; }
    std::int32_t KeyAtOrBefore(std::int32_t sample) const; // -1: none
    std::int32_t KeyAfter(std::int32_t sample) const;      // -1: none

private:
    enum class Step { Frame, Missing, Failed, Rerun };

    // Lists the key samples of the source (with the first non-empty one).
    void FindKeys(bool intraOnly);
    std::int32_t NextNonEmpty(std::int32_t sample) const;
    void ForgetKey(std::int32_t sample);
    void LearnKey(std::int32_t sample);
    void CheckKey(std::int32_t sample);
    bool KeyChecked(std::int32_t sample) const;
    void Restart(std::int32_t key);
    Step DecodeForward(std::int32_t sample, const DibGeometry& geometry, const PixelTarget& target);
    // Which sample a frame that came out shows; -1 for a frame to pass over.
    // May ask for the run to start again further back (Step::Rerun).
    // A picture of the lead-in sets *leadIn.
    std::int32_t PlaceFrame(const AVFrame* frame, bool* rerun, bool* leadIn);
    void PassToLeadIn(const AVFrame* frame, const DibGeometry& geometry);
    bool FeedNext();
    // Convert, or while storing Store where the picture fits.
    bool Deliver(const AVFrame* frame, const DibGeometry& geometry, const PixelTarget& target);
    bool Store(const AVFrame* frame, const DibGeometry& geometry, const PixelTarget& target);
    bool Convert(const AVFrame* frame, const DibGeometry& geometry, const PixelTarget& target);
    bool ConvertPlanar(const AVFrame* frame, const DibGeometry& geometry,
                       const PixelTarget& target);
    void NotePicture(const AVFrame* frame);

    const IVideoSampleSource* source_ = nullptr;
    AvCodecContextPtr context_;
    AvPacketPtr packet_;
    AvFramePtr frame_;
    AvFramePtr pending_; // a frame that came out ahead of the one asked for
    bool hasPending_ = false;
    std::int32_t pendingSample_ = -1;
    SwsContextPtr scaler_;

    std::vector<std::int32_t> keys_; // sorted
    // Per sample: a key frame seen to start a run well (or found by its
    // picture). A run with a lead-in only anchors at such a key frame: a
    // sample the index wrongly calls a key frame would number the pictures
    // after it wrongly, and only a run that starts at it can tell.
    std::vector<bool> keyChecked_;
    bool learnKeys_ = false;
    bool intraOnly_ = false;
    // The decoder reorders pictures (B-frames): the samples are stored in
    // decoding order, and a run must begin one key frame earlier so that the
    // pictures shown before the wanted key frame can be told apart.
    bool reorders_ = false;
    std::int32_t firstSample_ = -1; // the first non-empty sample

    // The current run: decoding began at runStart_; the first picture at or
    // after runAnchor_ (a key frame) shows sample runAnchor_.
    std::int32_t runStart_ = 0;
    std::int32_t runAnchor_ = 0;
    bool started_ = false; // a picture of this run came out
    bool anchored_ = false;
    bool countPictures_ = false; // place pictures by counting, not by their sample
    std::int32_t lastPlaced_ = -1;
    std::int32_t lastCoded_ = -1; // the highest sample whose picture came out
    std::int32_t nextFeed_ = 0;
    std::int32_t consumed_ = -1; // the last sample whose picture was passed over or shown
    bool drained_ = false;
    bool needsRestart_ = true;

    bool storing_ = false;
    StoredPicture lastStored_;
    AvFramePtr stored_; // describes a stored picture to Convert

    LeadInSink* leadIn_ = nullptr;
    std::int32_t leadInPictures_ = 0;

    std::vector<std::uint8_t> packetBytes_;
    std::vector<std::uint8_t> rgbRows_; // top-down BGR24 (or planes) from the scaler
    bool planarFits_ = false;
    bool planar709Fits_ = false;
    bool sawPicture_ = false;
    ScanType firstScan_ = ScanType::Unknown;
    std::uint64_t packetsSent_ = 0;
    std::vector<bool> damaged_; // per sample, sized on the first damage
    std::int32_t damagedCount_ = 0;

    void MarkDamaged(std::int32_t sample);
};

} // namespace kmx
