// The border dialog: colour bytes in pixel order, the swatch, the coloured
// value fields, OK and Escape.
#include "ui/overlay/BorderDlg.h"
#include "tests/ui/OverlayTestSupport.h"
#include "ui/overlay/PaintArea.h"

#include <QPushButton>
#include <QTest>

class BorderDlgTest : public OverlayGuiTest {
protected:
    static OverlaySettings Slot() {
        OverlaySettings slot;
        slot.number = 6;
        slot.borderColor = {10, 20, 30, 0xA5};
        slot.borderWidth = 3;
        slot.crop = 12;
        slot.x = 44;
        return slot;
    }
    static QColor Centre(QWidget* widget) {
        const QImage image = Grab(widget);
        return image.pixelColor(image.width() / 2, image.height() / 2);
    }
};

TEST_F(BorderDlgTest, OpensFromTheSlotWithItsColourAndWidth) {
    OverlaySettings slot = Slot();
    CBorderDlg dlg;
    dlg.SetTarget(&slot);
    EXPECT_EQ(dlg.windowTitle().toStdString(), "Overlay 6 - [Frame properties]");
    EXPECT_EQ(Bar(dlg, 1037)->value(), 30); // red from byte 2
    EXPECT_EQ(Bar(dlg, 1038)->value(), 20);
    EXPECT_EQ(Bar(dlg, 1039)->value(), 10); // blue from byte 0
    EXPECT_EQ(Bar(dlg, 1040)->value(), 3);
    EXPECT_EQ(Field(dlg, 1041), "30");
    EXPECT_EQ(Field(dlg, 1042), "20");
    EXPECT_EQ(Field(dlg, 1043), "10");
    EXPECT_EQ(Field(dlg, 1044), "3");
    EXPECT_EQ(Bar(dlg, 1037)->pageStep(), 16);
    EXPECT_EQ(Bar(dlg, 1040)->pageStep(), 5);
}

TEST_F(BorderDlgTest, RedGreenBlueAreStoredBlueGreenRedAndTheSwatchShowsOrange) {
    OverlaySettings slot = Slot();
    CBorderDlg dlg;
    dlg.SetTarget(&slot);
    dlg.show();
    Bar(dlg, 1037)->setValue(255);
    Bar(dlg, 1038)->setValue(128);
    Bar(dlg, 1039)->setValue(0);
    Bar(dlg, 1040)->setValue(7);
    EXPECT_EQ(Field(dlg, 1041), "255");
    EXPECT_EQ(Field(dlg, 1042), "128");
    EXPECT_EQ(Field(dlg, 1043), "0");
    EXPECT_EQ(Centre(dlg.Swatch()), QColor(255, 128, 0));
    EXPECT_EQ(slot.borderColor[2], 30) << "nothing is written before OK";

    QTest::mouseClick(Control<QPushButton>(dlg, 1), Qt::LeftButton);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(slot.borderColor[0], 0);
    EXPECT_EQ(slot.borderColor[1], 128);
    EXPECT_EQ(slot.borderColor[2], 255);
    EXPECT_EQ(slot.borderColor[3], 0xA5) << "the fourth byte is not the dialog's";
    EXPECT_EQ(slot.borderWidth, 7);
    EXPECT_EQ(slot.crop, 12);
    EXPECT_EQ(slot.x, 44);
}

TEST_F(BorderDlgTest, EscapeLeavesTheSlotAndTheTrackBarsHoldTheirRanges) {
    OverlaySettings slot = Slot();
    CBorderDlg dlg;
    dlg.SetTarget(&slot);
    dlg.show();
    Bar(dlg, 1037)->setValue(300);
    Bar(dlg, 1040)->setValue(80);
    EXPECT_EQ(Field(dlg, 1041), "255");
    EXPECT_EQ(Field(dlg, 1044), "50");
    QTest::keyClick(&dlg, Qt::Key_Escape);
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_EQ(slot.borderColor, (std::array<std::uint8_t, 4>{10, 20, 30, 0xA5}));
    EXPECT_EQ(slot.borderWidth, 3);
}

TEST_F(BorderDlgTest, ANeverBorderedSlotShowsBlackAndTheFieldsTheirOwnColours) {
    OverlaySettings slot;
    slot.number = 1;
    CBorderDlg dlg;
    dlg.SetTarget(&slot);
    dlg.show();
    EXPECT_EQ(Centre(dlg.Swatch()), QColor(0, 0, 0));
    EXPECT_EQ(Field(dlg, 1044), "0");

    // Background and text colours of the three colour fields: a pixel in
    // the field's corner (inside the frame) and the palette's text.
    struct Expect {
        int id;
        QColor background;
        QColor text;
    };
    const Expect fields[] = {
        {1041, QColor(255, 0, 0), QColor(255, 255, 255)},
        {1042, QColor(0, 255, 0), QColor(0, 0, 0)},
        {1043, QColor(0, 0, 255), QColor(255, 255, 255)},
    };
    for (const Expect& e : fields) {
        auto* field = Control<QLineEdit>(dlg, e.id);
        const QImage image = Grab(field);
        EXPECT_EQ(image.pixelColor(3, image.height() / 2), e.background) << e.id;
        EXPECT_EQ(field->palette().color(QPalette::Text), e.text) << e.id;
    }
    const QImage width = Grab(Control<QLineEdit>(dlg, 1044));
    EXPECT_NE(width.pixelColor(3, width.height() / 2), QColor(255, 0, 0));
}
