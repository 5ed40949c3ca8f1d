#include "ui/overlay/QuickPosTable.h"

namespace {

// Cell of an n x n grid, column and row counted from 1.
QuickPosRect Cell(std::int32_t width, std::int32_t height, std::int32_t n, std::int32_t column,
                  std::int32_t row) {
    const std::int32_t cellWidth = width / n;
    const std::int32_t cellHeight = height / n;
    return QuickPosRect{cellWidth * (column - 1), cellHeight * (row - 1), cellWidth, cellHeight};
}

} // namespace

bool QuickPosRectangle(int buttonId, std::int32_t width, std::int32_t height, QuickPosRect* out) {
    QuickPosRect r;
    if (buttonId >= 1046 && buttonId <= 1049) {
        const int i = buttonId - 1046;
        r = Cell(width, height, 2, i % 2 + 1, i / 2 + 1);
    } else if (buttonId == 1050) {
        r = QuickPosRect{width / 4, height / 4, width / 2, height / 2};
    } else if (buttonId >= 1051 && buttonId <= 1060 && buttonId != 1054) {
        // 1051..1053 is the first row; the second row starts at 1055.
        const int i = buttonId <= 1053 ? buttonId - 1051 : buttonId - 1052;
        r = Cell(width, height, 3, i % 3 + 1, i / 3 + 1);
    } else if (buttonId >= 1061 && buttonId <= 1076) {
        const int i = buttonId - 1061;
        r = Cell(width, height, 4, i % 4 + 1, i / 4 + 1);
    } else if (buttonId == 1077) {
        r = QuickPosRect{0, 0, width, height / 2};
    } else if (buttonId == 1079) {
        r = QuickPosRect{0, height / 2, width, height / 2};
    } else if (buttonId == 1080) {
        r = QuickPosRect{0, 0, width / 2, height};
    } else if (buttonId == 1081) {
        r = QuickPosRect{width / 2, 0, width / 2, height};
    } else {
        return false;
    }
    if (out != nullptr) {
        *out = r;
    }
    return true;
}
