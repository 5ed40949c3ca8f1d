// In-place transforms of one frame's pixel rows: field combining for reversed
// interlaced video, the row mirror and the column mirror. Rows are bottom-up
// and packed (width x bytes-per-pixel bytes, no padding); pixels are 1 to 4
// bytes and are moved as whole blocks, never looked into.
#pragma once

#include <cstdint>
#include <vector>

class CFrameTransforms {
public:
    // Forgets the previous frame and releases the buffers; called at the start of a run.
    void Reset();

    // Replaces the even memory rows (0, 2, 4, ...) with those of the frame passed
    // to the previous call, so a reversed interlaced video keeps its field order.
    // The first call of a run leaves the frame as it is. False when the buffers
    // cannot be created.
    bool FrameCombineOddAndOldEven(std::uint8_t* pixels, int width, int height, int bytesPerPixel);

    // Turns the picture upside down, or mirrors one half onto the other: with
    // mirrorUpperHalf the upper half stays and replaces the lower half, with
    // mirrorLowerHalf the reverse, with both nothing changes. Interlaced video
    // moves pairs of rows so each row stays in its field; for heights 4m + 3 the
    // three middle rows, which no pair can take without overlapping, stay in place.
    void MirrorRows(std::uint8_t* pixels, int width, int height, int bytesPerPixel, bool interlaced,
                    bool mirrorUpperHalf, bool mirrorLowerHalf);

    // Swaps left and right in every row, or mirrors one half onto the other
    // (mirrorLeftHalf keeps the left half, mirrorRightHalf the right half).
    void MirrorColumns(std::uint8_t* pixels, int width, int height, int bytesPerPixel,
                       bool mirrorLeftHalf, bool mirrorRightHalf);

    // Copies a frame from source to target (separate buffers) and mirrors it
    // on the way, as MirrorRows (when mirrorRows) and MirrorColumns (when
    // mirrorColumns) without halves would in place: every pixel is read and
    // written once.
    static void CopyMirrored(const std::uint8_t* source, std::uint8_t* target, int width,
                             int height, int bytesPerPixel, bool mirrorRows, bool interlaced,
                             bool mirrorColumns);

private:
    std::vector<std::uint8_t> previous_; // the last frame as it was read
    std::vector<std::uint8_t> scratch_;  // receives the current frame; swapped with previous_
    std::vector<std::uint8_t> unit_;     // one row or row pair, the mirrors' scratch space
    bool havePrevious_ = false;
};
