// The overlay dialog's helpers: the quick positioning table and dialog, the
// border dialog and the crop dialog.
#include "tests/ui/OverlayTestSupport.h"
#include "ui/overlay/BorderDlg.h"
#include "ui/overlay/CropDlg.h"
#include "ui/overlay/PaintArea.h"
#include "ui/overlay/QuickPosDlg.h"
#include "ui/overlay/QuickPosTable.h"

#include <QTest>

#include <tuple>

namespace {

std::tuple<int, int, int, int> Cell(int id, int width, int height) {
    QuickPosRect r;
    EXPECT_TRUE(QuickPosRectangle(id, width, height, &r)) << id;
    return {r.x, r.y, r.width, r.height};
}

} // namespace

TEST(QuickPosTable, DividesBeforeMultiplying) {
    EXPECT_EQ(Cell(1064, 720, 576), std::make_tuple(540, 0, 180, 144));
    EXPECT_EQ(Cell(1050, 720, 576), std::make_tuple(180, 144, 360, 288));
    // 721 / 2 = 360: the last column and row stay outside.
    EXPECT_EQ(Cell(1081, 721, 577), std::make_tuple(360, 0, 360, 577));
    EXPECT_EQ(Cell(1079, 721, 577), std::make_tuple(0, 288, 721, 288));
    EXPECT_EQ(Cell(1060, 100, 100), std::make_tuple(66, 66, 33, 33));
    EXPECT_EQ(Cell(1061, 30, 30), std::make_tuple(0, 0, 7, 7)); // handed back as computed
    QuickPosRect unused;
    EXPECT_FALSE(QuickPosRectangle(1054, 640, 480, &unused));
}

using OverlaySubDlg = OverlayGuiTest;

TEST_F(OverlaySubDlg, QuickPositionClickWritesAllFourEscapeNone) {
    std::int32_t x = -1, y = 7, w = 8, h = 9;
    CQuickPosDlg escaped;
    escaped.SetTarget(4, 720, 576, &x, &y, &w, &h);
    escaped.show();
    QTest::keyClick(&escaped, Qt::Key_Escape);
    EXPECT_FALSE(escaped.isVisible());
    EXPECT_EQ(std::make_tuple(x, y, w, h), std::make_tuple(-1, 7, 8, 9));

    CQuickPosDlg clicked;
    clicked.SetTarget(4, 720, 576, &x, &y, &w, &h);
    clicked.show();
    QTest::mouseClick(Button(clicked, 1050), Qt::LeftButton);
    EXPECT_FALSE(clicked.isVisible());
    EXPECT_EQ(std::make_tuple(x, y, w, h), std::make_tuple(180, 144, 360, 288));
}

TEST_F(OverlaySubDlg, BorderColourIsStoredBlueGreenRedAndTheSwatchShowsIt) {
    OverlaySettings slot;
    slot.number = 6;
    slot.borderColor = {10, 20, 30, 0xA5};
    slot.borderWidth = 3;
    CBorderDlg dlg;
    dlg.SetTarget(&slot);
    EXPECT_EQ(Bar(dlg, 1037)->value(), 30); // red from byte 2
    EXPECT_EQ(Bar(dlg, 1039)->value(), 10); // blue from byte 0
    dlg.show();
    Bar(dlg, 1037)->setValue(255);
    Bar(dlg, 1038)->setValue(128);
    Bar(dlg, 1039)->setValue(0);
    Bar(dlg, 1040)->setValue(7);
    EXPECT_EQ(Field(dlg, 1041), "255");
    const QImage swatch = Grab(dlg.Swatch());
    EXPECT_EQ(swatch.pixelColor(swatch.width() / 2, swatch.height() / 2), QColor(255, 128, 0));
    EXPECT_EQ(slot.borderColor[2], 30) << "nothing is written before OK";

    QTest::mouseClick(Button(dlg, 1), Qt::LeftButton);
    EXPECT_EQ(slot.borderColor, (std::array<std::uint8_t, 4>{0, 128, 255, 0xA5}));
    EXPECT_EQ(slot.borderWidth, 7);
}

TEST_F(OverlaySubDlg, AStoredCropAbove50OpensAt50) {
    OverlaySettings slot;
    slot.number = 2;
    slot.crop = 70;
    CCropDlg dlg;
    dlg.SetTarget(&slot);
    EXPECT_EQ(Bar(dlg, 1044)->value(), 50);
    EXPECT_EQ(Field(dlg, 1045), "50");
    dlg.show();
    QTest::mouseClick(Button(dlg, 1), Qt::LeftButton);
    EXPECT_EQ(slot.crop, 50);
}
