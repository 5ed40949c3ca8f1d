// The conversion job: everything one conversion needs, as the main window
// owns it, the project file stores it and the worker copies it.
#pragma once

#include "codec/CompressorRecords.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

class CAviReader;

inline constexpr int kOverlaySlotCount = 10;

// One overlay slot. The first thirteen fields are settings; the last six are
// working fields that only the engine's own copy fills during a run.
struct OverlaySettings {
    std::int32_t number = 0; // slot number 1..10
    std::string path;        // overlay AVI (UTF-8); empty = slot not in use
    std::int32_t x = 0;      // left edge in base pixels, 0 = left border
    std::int32_t y = 0;      // top edge in base pixels, 0 = top border
    std::int32_t width = 0;  // rectangle width in base pixels
    std::int32_t height = 0; // rectangle height in base pixels
    std::int32_t borderWidth = 0;
    std::array<std::uint8_t, 4> borderColor{}; // blue, green, red, reserved
    std::int32_t crop = 0;                     // crop zoom in pixels, 0 = none
    std::int32_t overlayStart = 0;             // first overlay frame shown (from 0)
    std::int32_t overlayEnd = 0;               // last overlay frame shown (inclusive)
    std::int32_t baseStart = 0;                // first output frame that shows the overlay
    std::int32_t noResize = 0;                 // split screen: drawn unscaled

    // Engine working fields.
    std::shared_ptr<CAviReader> reader; // the open overlay file during a run
    std::int32_t nextFrame = 0;
    std::int32_t headerSize = 0;
    std::int32_t sourceWidth = 0;
    std::int32_t sourceHeight = 0;
    std::int32_t sourceBytesPerPixel = 0;
};

struct ConvertJob {
    std::string inputPath;  // base AVI (UTF-8)
    std::string outputPath; // output AVI (UTF-8)
    // The output's container by name (avi, mp4, mov, mkv, webm); empty: by
    // the output's extension. Not kept in project files.
    std::string outputFormat;
    COMPVARS compressorSettings{}; // the user's compressor choice
    std::int32_t preview = 0;
    std::int32_t reverse = 0;
    std::int32_t interlaced = 0;
    std::int32_t mirrorVertical = 0;   // left and right swapped
    std::int32_t mirrorHorizontal = 0; // upside down
    std::int32_t mirrorLeftHalf = 0;
    std::int32_t mirrorRightHalf = 0;
    std::int32_t mirrorUpperHalf = 0;
    std::int32_t mirrorLowerHalf = 0;
    std::array<OverlaySettings, kOverlaySlotCount> overlays{}; // slot 1 first, highest priority
};

// A job as the main window starts with it: every field zero, slots numbered
// 1..10 with empty paths, and a compressor record that means no compression.
ConvertJob MakeInitialJob();
