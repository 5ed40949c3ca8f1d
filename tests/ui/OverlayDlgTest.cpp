// The overlay settings dialog: a new slot, OK and Escape after every kind of
// change, the frame range refusals, keep ratio and an overlay in a format it
// does not take; its helpers: the quick positioning table, the border dialog
// and the crop dialog. (The quick positioning dialog: the end-to-end test.)
#include "ui/overlay/OverlayDlg.h"
#include "tests/support/ExternalTools.h"
#include "tests/ui/OverlayTestSupport.h"
#include "ui/overlay/BorderDlg.h"
#include "ui/overlay/CropDlg.h"
#include "ui/overlay/PaintArea.h"
#include "ui/overlay/QuickPosTable.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <tuple>

class OverlayDlgTest : public OverlayGuiTest {
protected:
    static std::tuple<int, int, int, int> Rectangle(const COverlayDlg& dlg) {
        return {Bar(dlg, 1011)->value(), Bar(dlg, 1012)->value(), Bar(dlg, 1013)->value(),
                Bar(dlg, 1014)->value()};
    }
    // Slot 3, already showing an overlay of 10 frames on a 320 x 240 base:
    // the rectangle (10, 20, 100, 70), border 4 in blue 1, green 2, red 3,
    // crop 5, overlay frames 2..5 from base frame 3, and the engine's next
    // frame 99, which the dialog never writes.
    static OverlaySettings UsedSlot() {
        const std::string path = Sample(80, 60, 10);
        return {3, path, 10, 20, 100, 70, 4, 1, 2, 3, 0x77, 5, 2, 5, 3, 0, nullptr, 99, 0, 0, 0, 0};
    }
};

TEST_F(OverlayDlgTest, ANewSlotGetsTheDefaultRectangleAndKeepsItsRatio) {
    OverlaySettings slot;
    slot.number = 3;
    COverlayDlg dlg;
    dlg.SetTarget(&slot, Sample(720, 576, 5));
    ASSERT_TRUE(WaitLoaded(dlg));
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(Rectangle(dlg), std::make_tuple(72, 57, 180, 144));
    EXPECT_EQ(Field(dlg, 1027), "180");
    for (const int id : {1029, 1030, 1032, 1033, 1035}) {
        EXPECT_EQ(Field(dlg, id), "1") << id;
    }
    EXPECT_TRUE(Button(dlg, 1023)->isChecked()); // keep ratio
    EXPECT_FALSE(Bar(dlg, 1015)->isEnabled());   // no overlay frames yet
    dlg.accept();
    EXPECT_EQ(std::make_tuple(slot.x, slot.y, slot.width, slot.height),
              std::make_tuple(72, 57, 180, 144));
    EXPECT_TRUE(slot.path.empty());

    // Keep ratio makes the height follow the width.
    Bar(dlg, 1013)->setValue(400);
    EXPECT_EQ(Bar(dlg, 1014)->value(), 320);
    EXPECT_EQ(Field(dlg, 1028), "320");
    Bar(dlg, 1013)->setValue(10); // 10 x 576 / 720 = 8, below the minimum
    EXPECT_EQ(dlg.WorkingCopy().height, 10);

    Button(dlg, 1023)->click(); // off: the height is free
    Bar(dlg, 1014)->setValue(500);
    Bar(dlg, 1013)->setValue(100);
    EXPECT_EQ(Bar(dlg, 1014)->value(), 500);
    Button(dlg, 1023)->click(); // on again: the ratio comes back at once
    EXPECT_EQ(Bar(dlg, 1014)->value(), 80);
}

TEST_F(OverlayDlgTest, OkWritesEveryFieldEscapeNone) {
    const OverlaySettings original = UsedSlot();
    for (const bool ok : {true, false}) {
        SCOPED_TRACE(ok ? "OK" : "Escape");
        OverlaySettings slot = original;
        COverlayDlg dlg;
        dlg.SetTarget(&slot, Sample(320, 240, 8));
        ASSERT_TRUE(WaitLoaded(dlg));
        dlg.show();
        Bar(dlg, 1011)->setValue(30);
        Bar(dlg, 1012)->setValue(40);
        // Border: red 200, width 9; crop 7; then split screen (which disables Crop).
        modalAnswer = [](QDialog& dialog) {
            if (qobject_cast<CBorderDlg*>(&dialog) != nullptr) {
                Bar(dialog, 1037)->setValue(200);
                Bar(dialog, 1040)->setValue(9);
            } else {
                Bar(dialog, 1044)->setValue(7);
            }
            Button(dialog, 1)->click();
            return dialog.result();
        };
        Button(dlg, 1038)->click();
        Button(dlg, 1039)->click();
        Button(dlg, 1040)->click();
        EXPECT_FALSE(Button(dlg, 1039)->isEnabled());
        Bar(dlg, 1015)->setValue(3);
        Button(dlg, 1024)->click();
        Bar(dlg, 1015)->setValue(8);
        Button(dlg, 1031)->click();
        Bar(dlg, 1016)->setValue(6);
        Button(dlg, 1034)->click();
        EXPECT_EQ(modalDialogs, (std::vector<std::string>{"CBorderDlg", "CCropDlg"}));
        modalDialogs.clear();
        EXPECT_EQ(slot.crop, 5) << "sub-dialogs write the working copy only";

        QTest::keyClick(&dlg, ok ? Qt::Key_Return : Qt::Key_Escape);
        EXPECT_EQ(dlg.result(), ok ? QDialog::Accepted : QDialog::Rejected);
        EXPECT_EQ(slot.path, original.path);
        EXPECT_EQ(std::make_tuple(slot.x, slot.y, slot.width, slot.height),
                  ok ? std::make_tuple(30, 40, 100, 70) : std::make_tuple(10, 20, 100, 70));
        EXPECT_EQ(std::make_tuple(slot.overlayStart, slot.overlayEnd, slot.baseStart),
                  ok ? std::make_tuple(3, 8, 6) : std::make_tuple(2, 5, 3));
        EXPECT_EQ(slot.borderColor,
                  ok ? (std::array<std::uint8_t, 4>{1, 2, 200, 0x77}) : original.borderColor);
        EXPECT_EQ(std::make_tuple(slot.borderWidth, slot.crop, slot.noResize),
                  ok ? std::make_tuple(9, 7, 1) : std::make_tuple(4, 5, 0));
        EXPECT_EQ(slot.number, 3);
        EXPECT_EQ(slot.nextFrame, 99);
    }
}

// Numbers typed into the boxes: Return commits one before OK acts (the 300
// typed into X is what OK writes); one outside the box's range is pulled
// into it and the dialog stays; Tab commits the box it leaves.
TEST_F(OverlayDlgTest, TypedNumbersAreCommittedByReturnOrTabWithinTheirRanges) {
    const std::tuple<int, const char*, Qt::Key, const char*, std::int32_t OverlaySettings::*, int>
        cases[] = {
            {1025, "300", Qt::Key_Return, "300", &OverlaySettings::x, 300},
            {1027, "900", Qt::Key_Return, "720", &OverlaySettings::height, 576}, // keeps ratio
            {1032, "9", Qt::Key_Tab, "6", &OverlaySettings::overlayStart, 5},    // up to the end
        };
    for (const auto& [box, typed, key, kept, field, written] : cases) {
        OverlaySettings slot = UsedSlot();
        COverlayDlg dlg;
        dlg.SetTarget(&slot, Sample(720, 576, 8));
        ASSERT_TRUE(WaitLoaded(dlg));
        dlg.show();
        dlg.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
        Control<QLineEdit>(dlg, box)->setFocus(Qt::TabFocusReason); // selects all
        QTest::keyClicks(dlg.focusWidget(), typed);
        QTest::keyClick(dlg.focusWidget(), key);
        EXPECT_EQ(Field(dlg, box), kept);
        EXPECT_EQ(dlg.isVisible(), box != 1025) << typed;
        Button(dlg, 1)->click();
        EXPECT_EQ(slot.*field, written) << typed;
    }
}

TEST_F(OverlayDlgTest, StartAfterEndAndEndBeforeStartAreRefused) {
    OverlaySettings slot = UsedSlot(); // start 3, end 6 in the fields
    COverlayDlg dlg;
    dlg.SetTarget(&slot, Sample(320, 240, 8));
    ASSERT_TRUE(WaitLoaded(dlg));
    Bar(dlg, 1015)->setValue(6); // frame 7
    Button(dlg, 1024)->click();
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{GetText(128)});
    EXPECT_EQ(Field(dlg, 1032), "3");
    Bar(dlg, 1015)->setValue(1); // frame 2
    Button(dlg, 1031)->click();
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{GetText(128), GetText(129)}));
    EXPECT_EQ(Field(dlg, 1033), "6");

    Bar(dlg, 1015)->setValue(5); // frame 6 = the end frame
    Button(dlg, 1024)->click();
    Button(dlg, 1031)->click();
    EXPECT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(Field(dlg, 1032), "6");
    EXPECT_EQ(Field(dlg, 1033), "6");
}

TEST_F(OverlayDlgTest, An8BitOverlayIsRefusedWithItsFormatShown) {
    REQUIRE_TOOL("ffmpeg");
    TempDir dir;
    const std::string pal8 = dir.File("pal8.avi");
    ASSERT_EQ(WritePalettedAvi(pal8, 5), 0);
    OverlaySettings slot;
    slot.number = 8;
    COverlayDlg dlg;
    dlg.SetTarget(&slot, Sample(320, 240, 8));
    ASSERT_TRUE(WaitLoaded(dlg));
    fileAnswers.push_back(pal8);
    Button(dlg, 1021)->click();
    // The file opens beside the dialog, which names it and holds OK back.
    EXPECT_TRUE(dlg.IsLoadingOverlay());
    EXPECT_EQ(dlg.InfoText(), "pal8.avi …");
    EXPECT_FALSE(Button(dlg, 1)->isEnabled());
    ASSERT_TRUE(WaitLoaded(dlg));
    EXPECT_TRUE(Button(dlg, 1)->isEnabled());
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{GetText(64)});
    const std::string expectedStart = std::string(GetText(64)) + "Format: 64 x 48 x 8 (";
    EXPECT_EQ(dlg.InfoText().substr(0, expectedStart.size()), expectedStart);
    EXPECT_TRUE(Control<QLabel>(dlg, 1009)->text().startsWith(QStringLiteral("ERROR: Format")));
    EXPECT_TRUE(dlg.OverlayPath().empty());
    EXPECT_FALSE(Bar(dlg, 1015)->isEnabled());
}

TEST(QuickPosTable, DividesBeforeMultiplying) {
    const auto Cell = [](int id, int width, int height) {
        QuickPosRect r;
        EXPECT_TRUE(QuickPosRectangle(id, width, height, &r)) << id;
        return std::make_tuple(r.x, r.y, r.width, r.height);
    };
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

TEST_F(OverlayDlgTest, BorderColourIsStoredBlueGreenRedAndACropAbove50OpensAt50) {
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

    // A stored crop above 50 opens at 50.
    slot.crop = 70;
    CCropDlg crop;
    crop.SetTarget(&slot);
    EXPECT_EQ(Field(crop, 1045), "50");
    crop.show();
    QTest::mouseClick(Button(crop, 1), Qt::LeftButton);
    EXPECT_EQ(slot.crop, 50);
}
