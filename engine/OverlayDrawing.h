// Drawing one overlay frame into one base frame: nearest-neighbour scaling
// with crop zoom and a border, the unscaled split-screen window, and the pixel
// conversions between 16-bit (5-5-5), 24-bit and 32-bit pixels.
//
// Frames are packed bottom-up rows without padding; coordinates count from the
// top-left corner, so top-down row i of a picture of height H is memory row
// H - 1 - i. Rectangles are clipped at all four frame edges; the border is
// measured from the rectangle's own edges, so a cut side shows none.
#pragma once

#include "engine/ConvertJob.h"

#include <cstdint>
#include <vector>

// Copies one pixel between depths given in bytes per pixel (2, 3, 4).
// Combinations it does not cover, such as an 8-bit destination, write nothing.
void ConvertPixel(std::uint8_t* destination, int destinationBytes, const std::uint8_t* source,
                  int sourceBytes);

// Source columns of a scaled overlay for the frame columns the rectangle
// covers, worked out once per run instead of once per pixel (same values as
// the per-pixel formula). Rebuilt when anything it depends on changes.
struct ScaledOverlayColumns {
    std::int64_t key[5] = {-1, -1, -1, -1, -1}; // x, width, frame width, source width, crop
    std::vector<std::int32_t> sourceColumn;     // for frame columns max(x, 0) .. on
};

// Scales the overlay into the slot's rectangle (x, y, width, height), zoomed
// about its centre by the slot's crop; only every second overlay row (one
// field) is used. columns may be null; when given it caches the column map.
void DrawScaledOverlay(std::uint8_t* base, int W, int H, int B, const std::uint8_t* overlay,
                       const OverlaySettings& slot, ScaledOverlayColumns* columns = nullptr);

// Shows the overlay unscaled through the slot's rectangle: each base pixel in
// the rectangle shows the overlay pixel at the same position, where there is one.
void DrawUnscaledOverlay(std::uint8_t* base, int W, int H, int B, const std::uint8_t* overlay,
                         const OverlaySettings& slot);
