// The crop dialog: range, OK and Escape.
#include "ui/overlay/CropDlg.h"
#include "tests/ui/OverlayTestSupport.h"

#include <QPushButton>
#include <QTest>

class CropDlgTest : public OverlayGuiTest {};

TEST_F(CropDlgTest, AStoredCropAbove50OpensAt50AndOkWrites50Only) {
    OverlaySettings slot;
    slot.number = 2;
    slot.crop = 70;
    slot.borderWidth = 9;
    CCropDlg dlg;
    dlg.SetTarget(&slot);
    EXPECT_EQ(dlg.windowTitle().toStdString(), "Overlay 2 - [Crop frame]");
    EXPECT_EQ(Bar(dlg, 1044)->value(), 50);
    EXPECT_EQ(Field(dlg, 1045), "50");
    dlg.show();
    QTest::mouseClick(Control<QPushButton>(dlg, 1), Qt::LeftButton);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(slot.crop, 50);
    EXPECT_EQ(slot.borderWidth, 9);
}

TEST_F(CropDlgTest, TrackBarMovesTheFieldEscapeKeepsTheSlot) {
    OverlaySettings slot;
    slot.number = 2;
    CCropDlg dlg;
    dlg.SetTarget(&slot);
    EXPECT_EQ(Field(dlg, 1045), "0");
    dlg.show();
    Bar(dlg, 1044)->setFocus();
    QTest::keyClick(Bar(dlg, 1044), Qt::Key_PageUp);
    QTest::keyClick(Bar(dlg, 1044), Qt::Key_Right);
    EXPECT_EQ(Field(dlg, 1045), "6") << "page 5, arrow 1";
    QTest::keyClick(&dlg, Qt::Key_Escape);
    EXPECT_EQ(slot.crop, 0);

    CCropDlg again;
    again.SetTarget(&slot);
    again.show();
    Bar(again, 1044)->setValue(33);
    QTest::keyClick(&again, Qt::Key_Return);
    EXPECT_EQ(again.result(), QDialog::Accepted);
    EXPECT_EQ(slot.crop, 33);
}
