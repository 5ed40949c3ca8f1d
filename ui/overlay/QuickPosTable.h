// The rectangles offered by the quick positioning dialog: quarters and
// centre, a 3 x 3 and a 4 x 4 grid, and the four halves of the base frame.
#pragma once

#include <array>
#include <cstdint>

struct QuickPosRect {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// The ids of the 34 buttons (1054 and 1078 are not used).
inline constexpr std::array<int, 34> kQuickPosButtonIds{
    1046, 1047, 1048, 1049, 1050, 1051, 1052, 1053, 1055, 1056, 1057, 1058,
    1059, 1060, 1061, 1062, 1063, 1064, 1065, 1066, 1067, 1068, 1069, 1070,
    1071, 1072, 1073, 1074, 1075, 1076, 1077, 1079, 1080, 1081};

// The rectangle of one button for a base frame of width x height pixels.
// A grid cell in column c and row r (from 1) of an n x n grid is
// ((W / n) x (c - 1), (H / n) x (r - 1), W / n, H / n), divided before
// multiplied, so the right and lower cells end short of the frame edge by
// the remainder. False (and *out unchanged) for an id that is no button.
bool QuickPosRectangle(int buttonId, std::int32_t width, std::int32_t height, QuickPosRect* out);
