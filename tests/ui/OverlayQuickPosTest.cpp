// The quick positioning table and dialog.
#include "app/DialogBuilder.h"
#include "res/DialogTemplate.h"
#include "tests/ui/OverlayTestSupport.h"
#include "ui/overlay/QuickPosDlg.h"
#include "ui/overlay/QuickPosTable.h"

#include <QPushButton>
#include <QTest>

#include <set>
#include <tuple>

namespace {

std::tuple<int, int, int, int> Rect(int id, int width, int height) {
    QuickPosRect r;
    EXPECT_TRUE(QuickPosRectangle(id, width, height, &r)) << id;
    return {r.x, r.y, r.width, r.height};
}

} // namespace

TEST(QuickPosTable, CellsOfA720x576Frame) {
    EXPECT_EQ(Rect(1064, 720, 576), std::make_tuple(540, 0, 180, 144));
    EXPECT_EQ(Rect(1050, 720, 576), std::make_tuple(180, 144, 360, 288));
    EXPECT_EQ(Rect(1049, 720, 576), std::make_tuple(360, 288, 360, 288));
    EXPECT_EQ(Rect(1057, 720, 576), std::make_tuple(480, 192, 240, 192));
    EXPECT_EQ(Rect(1058, 720, 576), std::make_tuple(0, 384, 240, 192));
    EXPECT_EQ(Rect(1073, 720, 576), std::make_tuple(0, 432, 180, 144));
    EXPECT_EQ(Rect(1077, 720, 576), std::make_tuple(0, 0, 720, 288));
    EXPECT_EQ(Rect(1080, 720, 576), std::make_tuple(0, 0, 360, 576));
}

TEST(QuickPosTable, DividesBeforeMultiplying) {
    // 721 / 2 = 360: the right half starts at 360 and is 360 wide, so the
    // last column stays outside; likewise the lower half.
    EXPECT_EQ(Rect(1081, 721, 577), std::make_tuple(360, 0, 360, 577));
    EXPECT_EQ(Rect(1079, 721, 577), std::make_tuple(0, 288, 721, 288));
    // 3 x 3 on 100 x 100: 33 wide cells at 0, 33, 66 (not 66.67 rounded).
    EXPECT_EQ(Rect(1060, 100, 100), std::make_tuple(66, 66, 33, 33));
    // 4 x 4 on 103: cells 25 wide at 75 for the fourth column.
    EXPECT_EQ(Rect(1076, 103, 103), std::make_tuple(75, 75, 25, 25));
}

TEST(QuickPosTable, EveryButtonGivesAGridCellInsideTheFrame) {
    std::set<std::tuple<int, int, int, int>> seen;
    for (const int id : kQuickPosButtonIds) {
        const auto [x, y, w, h] = Rect(id, 640, 480);
        EXPECT_GE(x, 0) << id;
        EXPECT_GE(y, 0) << id;
        EXPECT_LE(x + w, 640) << id;
        EXPECT_LE(y + h, 480) << id;
        EXPECT_GT(w, 0) << id;
        EXPECT_GT(h, 0) << id;
        seen.insert({x, y, w, h});
    }
    EXPECT_EQ(seen.size(), kQuickPosButtonIds.size()) << "two buttons give the same rectangle";
    QuickPosRect untouched{1, 2, 3, 4};
    EXPECT_FALSE(QuickPosRectangle(1054, 640, 480, &untouched));
    EXPECT_FALSE(QuickPosRectangle(1078, 640, 480, &untouched));
    EXPECT_EQ(untouched.x, 1);
    // Small frames give small cells, handed back as computed.
    EXPECT_EQ(Rect(1061, 30, 30), std::make_tuple(0, 0, 7, 7));
}

class QuickPosDlgTest : public OverlayGuiTest {};

TEST_F(QuickPosDlgTest, ButtonsSitWhereTheTemplatePutsThem) {
    CQuickPosDlg dlg;
    QDialog reference;
    reference.setFont(dlg.font());
    const CDialogBuilder units(reference, QuickPosDialogTemplate());
    struct Place {
        int id, x, y, w, h;
    };
    const Place places[] = {
        {1046, 37, 24, 23, 14},  {1047, 68, 24, 23, 14},  {1048, 37, 42, 23, 14},
        {1049, 68, 42, 23, 14},  {1050, 52, 33, 23, 14},  {1051, 24, 76, 23, 14},
        {1052, 53, 76, 23, 14},  {1053, 82, 76, 23, 14},  {1055, 24, 96, 23, 14},
        {1056, 53, 96, 23, 14},  {1057, 82, 96, 23, 14},  {1058, 24, 116, 23, 14},
        {1059, 53, 116, 23, 14}, {1060, 82, 116, 23, 14}, {1061, 133, 41, 23, 14},
        {1062, 162, 41, 23, 14}, {1063, 191, 41, 23, 14}, {1064, 220, 41, 23, 14},
        {1065, 133, 60, 23, 14}, {1066, 162, 60, 23, 14}, {1067, 191, 60, 23, 14},
        {1068, 220, 60, 23, 14}, {1069, 133, 79, 23, 14}, {1070, 162, 79, 23, 14},
        {1071, 191, 79, 23, 14}, {1072, 220, 79, 23, 14}, {1073, 133, 98, 23, 14},
        {1074, 162, 98, 23, 14}, {1075, 191, 98, 23, 14}, {1076, 220, 98, 23, 14},
        {1077, 269, 25, 49, 19}, {1079, 269, 47, 49, 19}, {1080, 270, 87, 22, 39},
        {1081, 297, 87, 22, 39},
    };
    ASSERT_EQ(std::size(places), kQuickPosButtonIds.size());
    for (const Place& p : places) {
        auto* button = Control<QPushButton>(dlg, p.id);
        ASSERT_NE(button, nullptr) << p.id;
        EXPECT_EQ(button->geometry(), units.ToPixels(p.x, p.y, p.w, p.h)) << p.id;
        EXPECT_TRUE(button->text().isEmpty()) << p.id;
    }
    EXPECT_EQ(dlg.findChildren<QPushButton*>().size(), 34);
    EXPECT_EQ(dlg.size(), units.ToPixels(0, 0, 343, 151).size());
}

TEST_F(QuickPosDlgTest, AClickWritesAllFourAndClosesEscapeWritesNothing) {
    std::int32_t x = -1, y = 7, w = 8, h = 9;
    {
        CQuickPosDlg dlg;
        dlg.SetTarget(4, 720, 576, &x, &y, &w, &h);
        EXPECT_EQ(dlg.windowTitle().toStdString(),
                  "Overlay 4 - [Select predefined overlay position]");
        dlg.show();
        QTest::keyClick(&dlg, Qt::Key_Escape);
        EXPECT_FALSE(dlg.isVisible());
        EXPECT_EQ(std::make_tuple(x, y, w, h), std::make_tuple(-1, 7, 8, 9));
    }
    {
        CQuickPosDlg dlg;
        dlg.SetTarget(4, 720, 576, &x, &y, &w, &h);
        dlg.show();
        QTest::mouseClick(Control<QPushButton>(dlg, 1050), Qt::LeftButton);
        EXPECT_FALSE(dlg.isVisible());
        EXPECT_EQ(dlg.result(), 0);
        EXPECT_EQ(std::make_tuple(x, y, w, h), std::make_tuple(180, 144, 360, 288));
    }
}
