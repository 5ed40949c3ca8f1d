// Decoded frames of one window of samples, held so that frames asked for
// backwards come out of memory instead of each being decoded again from its
// key frame. The cache owns the frames' DIBs; a new window replaces the one
// before it and reuses its buffers. The number of frames it holds is bounded
// by a byte budget: by default 256 MiB per decoder (for the cache and the
// decoder's own pictures together), or what KADRIMIX_DECODE_CACHE_MB or
// SetDecodeCacheBudget set for the process.
//
// A window longer than the budget allows (a key-frame segment longer than
// the cache) is decoded forwards once into an unnamed temporary file and its
// frames read back one at a time, so that memory stays one frame, however
// long the segment is.
#pragma once

#include "media/AviRecords.h"
#include "media/decode/DibFrame.h"
#include "media/decode/StoredPicture.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace kmx {

inline constexpr std::uint64_t kDefaultDecodeCacheBytes = std::uint64_t{256} << 20;

// Sets the budget for decoders opened from now on, in place of the default
// and of the environment variable.
void SetDecodeCacheBudget(std::uint64_t bytes);
// Forgets what SetDecodeCacheBudget set.
void ClearDecodeCacheBudget();
// The budget for a decoder opened now: what SetDecodeCacheBudget set, else
// KADRIMIX_DECODE_CACHE_MB (whole MiB) when it is a number, else the default.
std::uint64_t DecodeCacheBudget();

// What a decoder holds besides its cache: up to 16 reference pictures of the
// codec (as 4:2:0, the most H.264 keeps) and the frame it hands out. They
// count against the same budget, so that the budget bounds every decoded
// picture of a reader, not only the cached ones.
std::uint64_t DecoderPictureBytes(std::int32_t width, std::int32_t height);

class CReverseFrameCache {
public:
    CReverseFrameCache() = default;
    ~CReverseFrameCache();
    CReverseFrameCache(const CReverseFrameCache&) = delete;
    CReverseFrameCache& operator=(const CReverseFrameCache&) = delete;

    // Decodes one sample into 24-bit DIB pixels; false when it cannot.
    using DecodeFn = std::function<bool(std::int32_t sample, std::uint8_t* pixels)>;

    // Sets the frames' shape and the bytes they may take, and drops what is
    // held.
    void Configure(const DibGeometry& geometry, std::uint64_t budgetBytes);
    // Frees the frames' memory; the shape and budget stay.
    void Release();

    // How many frames fit the budget.
    std::int32_t Capacity() const { return capacity_; }
    // Frames held now.
    std::int32_t Held() const;

    // The held frame of a sample, or null (also when the temporary file
    // cannot be read). Valid until the next call.
    const BITMAPINFOHEADER* Find(std::int32_t sample);
    // True when the sample lies within the window last filled, whether or
    // not its frame could be decoded.
    bool Covers(std::int32_t sample) const;

    // Replaces the window with the frames of the samples (ascending, at most
    // Capacity()), decoding them in turn. A sample that does not decode is
    // not held. False, holding nothing, when the memory cannot be had.
    bool Fill(const std::vector<std::int32_t>& samples, const DecodeFn& decode);
    // A window of any length, held in an unnamed temporary file and built
    // frame by frame. BeginSpill drops what is held and makes the file with
    // room for the given number of frame slots; false when the file cannot
    // be made or the disk has no room for it (after a failed write, see
    // WriteSpill, no later window is spilled). Each frame is decoded into
    // SpillPixels, as DIB pixels or as a stored picture of at most the
    // image's size, and written to a slot of its own by WriteSpill, which
    // drops the file and returns false when the write fails (a full disk).
    // EndSpill then names the frames, ascending, and the window is held;
    // restore turns its stored pictures into DIB pixels when they are read.
    bool BeginSpill(std::size_t slots);
    std::uint8_t* SpillPixels();
    bool WriteSpill(std::size_t slot, const StoredPicture& picture);
    struct SpilledFrame {
        std::int32_t sample = -1;
        std::int32_t slot = -1; // -1: the sample lies in the window but did not decode
        StoredPicture picture;
    };
    using RestoreFn = std::function<bool(const std::uint8_t* stored, const StoredPicture& picture,
                                         std::uint8_t* pixels)>;
    void EndSpill(std::vector<SpilledFrame> frames, RestoreFn restore);
    // Forgets a spilled window; its file stays for the next one.
    void DropSpill();

private:
    void CloseSpillFile();
    bool ReadSpilled(const SpilledFrame& frame, std::uint8_t* pixels);

    struct Slot {
        std::int32_t sample = -1;
        bool decoded = false;
        CDibBuffer dib;
    };

    DibGeometry geometry_;
    std::int32_t capacity_ = 0;
    std::vector<Slot> slots_; // the window's samples ascending, then spare buffers
    std::size_t used_ = 0;    // slots of the current window
    // A spilled window: the frame of slot i at i * imageSize in the file,
    // the one last read in slots_[0].
    int spillFd_ = -1;
    std::size_t spillReserved_ = 0; // slots the file has room for
    std::size_t spillSlots_ = 0;    // slots of the window being built or held
    bool spillHeld_ = false;        // EndSpill named the frames
    std::vector<SpilledFrame> spilled_;
    RestoreFn restore_;
    std::vector<std::uint8_t> stored_; // a stored picture read back, aligned within
    std::int32_t spillLoaded_ = -1;    // the slot in slots_[0]
    bool spillFailed_ = false;
};

} // namespace kmx
