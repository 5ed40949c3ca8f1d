// The overlay settings dialog: set-up of a new and a used slot, OK and
// Escape, frame range, keep ratio, quick positioning, the overlay file and
// its refusals, a base that cannot be opened, tips.
#include "ui/overlay/OverlayDlg.h"
#include "app/Settings.h"
#include "tests/support/ExternalTools.h"
#include "tests/ui/OverlayTestSupport.h"
#include "ui/overlay/BorderDlg.h"
#include "ui/overlay/CropDlg.h"
#include "ui/overlay/PaintArea.h"
#include "ui/overlay/QuickPosDlg.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QToolTip>

#include <tuple>

class OverlayDlgTest : public OverlayGuiTest {
protected:
    static QAbstractButton* Button(const QWidget& dlg, int id) {
        return Control<QAbstractButton>(dlg, id);
    }
    static std::tuple<int, int, int, int> Rectangle(const COverlayDlg& dlg) {
        return {Bar(dlg, 1011)->value(), Bar(dlg, 1012)->value(), Bar(dlg, 1013)->value(),
                Bar(dlg, 1014)->value()};
    }
    // A slot that already shows an overlay of 10 frames on a 320 x 240 base.
    OverlaySettings UsedSlot() const {
        OverlaySettings slot;
        slot.number = 3;
        slot.path = Sample(80, 60, 10);
        slot.x = 10;
        slot.y = 20;
        slot.width = 100;
        slot.height = 70;
        slot.borderWidth = 4;
        slot.borderColor = {1, 2, 3, 0x77};
        slot.crop = 5;
        slot.overlayStart = 2;
        slot.overlayEnd = 5;
        slot.baseStart = 3;
        slot.nextFrame = 99; // an engine field: never written by the dialog
        return slot;
    }
    // Sub-dialog answer: click a quick position button.
    void AnswerQuickPosition(int buttonId) {
        subDialogAnswer = [buttonId](QDialog& dialog) {
            EXPECT_NE(qobject_cast<CQuickPosDlg*>(&dialog), nullptr);
            Control<QPushButton>(dialog, buttonId)->click();
            return dialog.result();
        };
    }
};

TEST_F(OverlayDlgTest, ANewSlotGetsTheDefaultRectangleAndFrameNumbers) {
    OverlaySettings slot;
    slot.number = 3;
    COverlayDlg dlg;
    dlg.SetTarget(&slot, Sample(720, 576, 5));
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(dlg.windowTitle().toStdString(), "Overlay 3");
    EXPECT_EQ(Rectangle(dlg), std::make_tuple(72, 57, 180, 144));
    EXPECT_EQ(Field(dlg, 1025), "72");
    EXPECT_EQ(Field(dlg, 1026), "57");
    EXPECT_EQ(Field(dlg, 1027), "180");
    EXPECT_EQ(Field(dlg, 1028), "144");
    for (const int id : {1029, 1030, 1032, 1033, 1035}) {
        EXPECT_EQ(Field(dlg, id), "1") << id;
    }
    // Ranges and page sizes of the six track bars.
    const std::tuple<int, int, int, int> bars[] = {
        {1011, 0, 719, 71},  {1012, 0, 575, 57},   {1013, 10, 720, 72},
        {1014, 10, 576, 57}, {1015, 0, 1000, 100}, {1016, 0, 4, 1},
    };
    for (const auto& [id, low, high, page] : bars) {
        EXPECT_EQ(Bar(dlg, id)->minimum(), low) << id;
        EXPECT_EQ(Bar(dlg, id)->maximum(), high) << id;
        EXPECT_EQ(Bar(dlg, id)->pageStep(), page) << id;
    }
    EXPECT_TRUE(Button(dlg, 1023)->isChecked());
    EXPECT_FALSE(Bar(dlg, 1014)->isEnabled());
    EXPECT_FALSE(Bar(dlg, 1015)->isEnabled());
    EXPECT_FALSE(Button(dlg, 1024)->isEnabled());
    EXPECT_FALSE(Button(dlg, 1031)->isEnabled());
    EXPECT_TRUE(Button(dlg, 1039)->isEnabled());
    EXPECT_EQ(Button(dlg, 1037)->text().toStdString(), "Position");
    EXPECT_EQ(Control<QLabel>(dlg, 1061)->text().toStdString(), "Set");

    dlg.show();
    const QImage overlay = Grab(dlg.OverlayArea());
    EXPECT_EQ(overlay.pixelColor(overlay.width() / 2, overlay.height() / 2), QColor(0, 0, 255));

    QTest::mouseClick(Button(dlg, 1), Qt::LeftButton);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(std::make_tuple(slot.x, slot.y, slot.width, slot.height),
              std::make_tuple(72, 57, 180, 144));
    EXPECT_EQ(std::make_tuple(slot.overlayStart, slot.overlayEnd, slot.baseStart),
              std::make_tuple(0, 0, 0));
    EXPECT_TRUE(slot.path.empty());
    EXPECT_EQ(slot.number, 3);
}

TEST_F(OverlayDlgTest, AUsedSlotOpensWithItsValuesAndTheOverlaysFirstFrame) {
    OverlaySettings slot = UsedSlot();
    COverlayDlg dlg;
    dlg.SetTarget(&slot, Sample(320, 240, 8));
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(dlg.windowTitle().toStdString(), "Overlay 3 - [" + slot.path + "]");
    // The height does not follow the ratio until the width moves.
    EXPECT_EQ(Rectangle(dlg), std::make_tuple(10, 20, 100, 70));
    EXPECT_EQ(Field(dlg, 1032), "3");
    EXPECT_EQ(Field(dlg, 1033), "6");
    EXPECT_EQ(Field(dlg, 1035), "4");
    EXPECT_EQ(Field(dlg, 1029), "1") << "the overlay's first frame, not the start frame";
    EXPECT_EQ(Bar(dlg, 1015)->maximum(), 9);
    EXPECT_EQ(Bar(dlg, 1016)->value(), 3);
    EXPECT_TRUE(Bar(dlg, 1015)->isEnabled());
    EXPECT_EQ(dlg.InfoText(), "Format: 80 x 60 x 24 (DIB )\r\nFrames: 10  Frames/sec.: 25.000"
                              "\r\nDuration: 0,400");
}

TEST_F(OverlayDlgTest, OkWritesEveryFieldEscapeNone) {
    const std::string base = Sample(320, 240, 8);
    const OverlaySettings original = UsedSlot();
    for (const bool ok : {true, false}) {
        SCOPED_TRACE(ok ? "OK" : "Escape");
        OverlaySettings slot = original;
        COverlayDlg dlg;
        dlg.SetTarget(&slot, base);
        dlg.show();
        Bar(dlg, 1011)->setValue(30);
        Bar(dlg, 1012)->setValue(40);
        // Border: red 200; crop 7; then split screen (which disables Crop).
        subDialogAnswer = [](QDialog& dialog) {
            if (qobject_cast<CBorderDlg*>(&dialog) != nullptr) {
                Bar(dialog, 1037)->setValue(200);
                Bar(dialog, 1040)->setValue(9);
            } else {
                Bar(dialog, 1044)->setValue(7);
            }
            Control<QPushButton>(dialog, 1)->click();
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
        EXPECT_EQ(subDialogs, (std::vector<std::string>{"CBorderDlg", "CCropDlg"}));
        subDialogs.clear();
        EXPECT_EQ(dlg.WorkingCopy().crop, 7);
        EXPECT_EQ(slot.crop, 5) << "sub-dialogs write the working copy only";

        if (ok) {
            QTest::keyClick(&dlg, Qt::Key_Return);
            EXPECT_EQ(dlg.result(), QDialog::Accepted);
            EXPECT_EQ(slot.path, original.path);
            EXPECT_EQ(std::make_tuple(slot.x, slot.y, slot.width, slot.height),
                      std::make_tuple(30, 40, 100, 70));
            EXPECT_EQ(std::make_tuple(slot.overlayStart, slot.overlayEnd, slot.baseStart),
                      std::make_tuple(3, 8, 6));
            EXPECT_EQ(slot.borderColor, (std::array<std::uint8_t, 4>{1, 2, 200, 0x77}));
            EXPECT_EQ(slot.borderWidth, 9);
            EXPECT_EQ(slot.crop, 7);
            EXPECT_EQ(slot.noResize, 1);
        } else {
            QTest::keyClick(&dlg, Qt::Key_Escape);
            EXPECT_EQ(dlg.result(), QDialog::Rejected);
            EXPECT_EQ(slot.path, original.path);
            EXPECT_EQ(std::make_tuple(slot.x, slot.y, slot.width, slot.height),
                      std::make_tuple(10, 20, 100, 70));
            EXPECT_EQ(std::make_tuple(slot.overlayStart, slot.overlayEnd, slot.baseStart),
                      std::make_tuple(2, 5, 3));
            EXPECT_EQ(slot.borderColor, original.borderColor);
            EXPECT_EQ(slot.borderWidth, 4);
            EXPECT_EQ(slot.crop, 5);
            EXPECT_EQ(slot.noResize, 0);
        }
        EXPECT_EQ(slot.number, 3);
        EXPECT_EQ(slot.nextFrame, 99);
    }
}

TEST_F(OverlayDlgTest, StartAfterEndAndEndBeforeStartAreRefused) {
    OverlaySettings slot = UsedSlot(); // start 3, end 6 in the fields
    COverlayDlg dlg;
    dlg.SetTarget(&slot, Sample(320, 240, 8));
    Bar(dlg, 1015)->setValue(6); // frame 7
    Button(dlg, 1024)->click();
    ASSERT_EQ(BoxTexts(), std::vector<std::string>{GetText(128)});
    EXPECT_EQ(boxes.shown[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(boxes.shown[0].icon, MessageIcon::None);
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
    EXPECT_EQ(Field(dlg, 1029), "6");
}

TEST_F(OverlayDlgTest, KeepRatioMakesTheHeightFollowTheWidth) {
    OverlaySettings slot;
    slot.number = 1;
    COverlayDlg dlg;
    dlg.SetTarget(&slot, Sample(720, 576, 3));
    Bar(dlg, 1013)->setValue(400);
    EXPECT_EQ(Bar(dlg, 1014)->value(), 320);
    EXPECT_EQ(Field(dlg, 1028), "320");
    Bar(dlg, 1013)->setValue(10); // 10 x 576 / 720 = 8, below the minimum
    EXPECT_EQ(Bar(dlg, 1014)->value(), 10);
    EXPECT_EQ(dlg.WorkingCopy().height, 10);

    Button(dlg, 1023)->click(); // off: the height is free
    EXPECT_TRUE(Bar(dlg, 1014)->isEnabled());
    Bar(dlg, 1014)->setValue(500);
    Bar(dlg, 1013)->setValue(100);
    EXPECT_EQ(Bar(dlg, 1014)->value(), 500);
    Button(dlg, 1023)->click(); // on again: the ratio comes back at once
    EXPECT_FALSE(Bar(dlg, 1014)->isEnabled());
    EXPECT_EQ(Bar(dlg, 1014)->value(), 80);
    EXPECT_EQ(Field(dlg, 1028), "80");
}

TEST_F(OverlayDlgTest, QuickPositioningSetsTheRectangleAsChosen) {
    OverlaySettings slot;
    slot.number = 5;
    {
        COverlayDlg dlg;
        dlg.SetTarget(&slot, Sample(720, 576, 3));
        AnswerQuickPosition(1064);
        Button(dlg, 1037)->click();
        EXPECT_EQ(Rectangle(dlg), std::make_tuple(540, 0, 180, 144));
        EXPECT_EQ(Field(dlg, 1025), "540");
        AnswerQuickPosition(1050);
        Button(dlg, 1037)->click();
        EXPECT_EQ(Rectangle(dlg), std::make_tuple(180, 144, 360, 288));
        // Keep ratio is not applied to the result.
        AnswerQuickPosition(1077);
        Button(dlg, 1037)->click();
        EXPECT_EQ(Rectangle(dlg), std::make_tuple(0, 0, 720, 288));
        // Left without a choice: nothing changes.
        subDialogAnswer = nullptr;
        Button(dlg, 1037)->click();
        EXPECT_EQ(Rectangle(dlg), std::make_tuple(0, 0, 720, 288));
        dlg.accept();
        EXPECT_EQ(std::make_tuple(slot.x, slot.y, slot.width, slot.height),
                  std::make_tuple(0, 0, 720, 288));
    }
    COverlayDlg odd;
    odd.SetTarget(&slot, Sample(721, 577, 2));
    AnswerQuickPosition(1081);
    Button(odd, 1037)->click();
    EXPECT_EQ(Bar(odd, 1011)->value(), 360);
    EXPECT_EQ(Bar(odd, 1013)->value(), 360);
    AnswerQuickPosition(1079);
    Button(odd, 1037)->click();
    EXPECT_EQ(Bar(odd, 1012)->value(), 288);
    EXPECT_EQ(Bar(odd, 1014)->value(), 288);
    EXPECT_EQ(odd.WorkingCopy().y, 288);
}

TEST_F(OverlayDlgTest, SelectingAnOverlayResetsItsRangeCancellingReloadsIt) {
    OverlaySettings slot = UsedSlot();
    const std::string other = Sample(64, 48, 12);
    COverlayDlg dlg;
    dlg.SetTarget(&slot, Sample(320, 240, 8));
    fileAnswers.push_back(other);
    Button(dlg, 1021)->click();
    ASSERT_EQ(fileRequests.size(), 1u);
    EXPECT_EQ(fileRequests[0].title, "Select overlay AVI");
    EXPECT_EQ(fileRequests[0].initialName, slot.path);
    EXPECT_EQ(dlg.OverlayPath(), other);
    EXPECT_EQ(Field(dlg, 1032), "1");
    EXPECT_EQ(Field(dlg, 1033), "12");
    EXPECT_EQ(Bar(dlg, 1015)->maximum(), 11);
    EXPECT_EQ(dlg.windowTitle().toStdString(), "Overlay 3 - [" + other + "]");

    Bar(dlg, 1015)->setValue(4);
    Button(dlg, 1024)->click();
    EXPECT_EQ(Field(dlg, 1032), "5");
    fileAnswers.push_back(std::nullopt); // Cancel: the same overlay, from its start again
    Button(dlg, 1021)->click();
    EXPECT_EQ(dlg.OverlayPath(), other);
    EXPECT_EQ(Field(dlg, 1032), "1");
    EXPECT_EQ(Field(dlg, 1033), "12");
    EXPECT_EQ(Field(dlg, 1029), "1");

    Button(dlg, 1022)->click(); // Clear overlay
    EXPECT_TRUE(dlg.OverlayPath().empty());
    EXPECT_TRUE(dlg.InfoText().empty());
    EXPECT_FALSE(Bar(dlg, 1015)->isEnabled());
    EXPECT_EQ(dlg.windowTitle().toStdString(), "Overlay 3");
    fileAnswers.push_back(std::nullopt); // no overlay and Cancel: nothing changes
    Button(dlg, 1021)->click();
    EXPECT_TRUE(dlg.OverlayPath().empty());
    EXPECT_TRUE(boxes.shown.empty());
    dlg.accept();
    EXPECT_TRUE(slot.path.empty());
    EXPECT_EQ(slot.overlayStart, 0);
    EXPECT_EQ(slot.overlayEnd, 0);
    EXPECT_EQ(slot.x, 10) << "clearing keeps the rectangle";
}

TEST_F(OverlayDlgTest, AnOverlayThatCannotBeOpenedKeepsItsPath) {
    OverlaySettings slot = UsedSlot();
    slot.path = Sample(320, 240, 8) + ".missing";
    COverlayDlg dlg;
    dlg.SetTarget(&slot, Sample(320, 240, 8));
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{GetText(54)});
    EXPECT_EQ(dlg.InfoText(), GetText(54));
    EXPECT_EQ(dlg.OverlayPath(), slot.path);
    dlg.accept();
    EXPECT_EQ(slot.path, Sample(320, 240, 8) + ".missing") << "the user may still fix the file";
}

TEST_F(OverlayDlgTest, An8BitOverlayIsRefusedWithItsFormatShown) {
    REQUIRE_TOOL("ffmpeg");
    TempDir dir;
    const std::string pal8 = dir.File("pal8.avi");
    ASSERT_EQ(
        RunTool({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=64x48:rate=5",
                 "-t", "1", "-c:v", "rawvideo", "-pix_fmt", "pal8", pal8}),
        0);
    OverlaySettings slot;
    slot.number = 8;
    COverlayDlg dlg;
    dlg.SetTarget(&slot, Sample(320, 240, 8));
    fileAnswers.push_back(pal8);
    Button(dlg, 1021)->click();
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{GetText(64)});
    const std::string expectedStart = std::string(GetText(64)) + "Format: 64 x 48 x 8 (";
    EXPECT_EQ(dlg.InfoText().substr(0, expectedStart.size()), expectedStart);
    EXPECT_NE(dlg.InfoText().find("Frames: 5  Frames/sec.:  5.000"), std::string::npos)
        << dlg.InfoText();
    EXPECT_TRUE(dlg.OverlayPath().empty());
    EXPECT_FALSE(Bar(dlg, 1015)->isEnabled());
    EXPECT_EQ(dlg.windowTitle().toStdString(), "Overlay 8");
    const QString shown = Control<QLabel>(dlg, 1009)->text();
    EXPECT_TRUE(shown.startsWith(QStringLiteral("ERROR: Format not supported\n")))
        << shown.toStdString();
}

TEST_F(OverlayDlgTest, ABaseThatCannotBeOpenedKeepsTheSlotsValues) {
    OverlaySettings slot = UsedSlot();
    slot.x = 500;
    slot.width = 640;
    slot.y = 30;
    slot.height = 400;
    slot.baseStart = 40;
    COverlayDlg dlg;
    dlg.SetTarget(&slot, "/nonexistent/base.avi");
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"FATAL ERROR: Open Base AVI"});
    EXPECT_EQ(dlg.BaseWidth(), 640);
    EXPECT_EQ(dlg.BaseHeight(), 400);
    EXPECT_EQ(dlg.BaseFrameCount(), 41);
    EXPECT_EQ(Rectangle(dlg), std::make_tuple(500, 30, 640, 400));
    Bar(dlg, 1013)->setValue(320); // keep ratio: no division by zero
    EXPECT_EQ(Bar(dlg, 1014)->value(), 200);

    dlg.show();
    const QImage base = Grab(dlg.BaseArea());
    EXPECT_EQ(base.pixelColor(5, 5), QColor(255, 0, 0));
    dlg.accept();
    EXPECT_EQ(std::make_tuple(slot.x, slot.y, slot.width, slot.height, slot.baseStart),
              std::make_tuple(500, 30, 320, 200, 40));

    // A never-used slot without a base: at least 10 x 10 and one frame.
    OverlaySettings fresh;
    fresh.number = 2;
    COverlayDlg empty;
    empty.SetTarget(&fresh, "");
    EXPECT_EQ(empty.BaseWidth(), 10);
    EXPECT_EQ(empty.BaseHeight(), 10);
    EXPECT_EQ(empty.BaseFrameCount(), 1);
    EXPECT_EQ(Bar(empty, 1013)->value(), 10);
    EXPECT_EQ(empty.WorkingCopy().width, 10);
}

TEST_F(OverlayDlgTest, FrameNumberTipsCarryTheFramesTime) {
    OverlaySettings slot = UsedSlot(); // start 3, end 6, base start 4
    COverlayDlg dlg;
    dlg.SetTarget(&slot, Sample(320, 240, 8));
    Bar(dlg, 1015)->setValue(5);
    Bar(dlg, 1016)->setValue(2);
    EXPECT_EQ(dlg.TipOf(1029), "Actual overlay frame number [Time=0,200 sec.]");
    EXPECT_EQ(dlg.TipOf(1030), "Actual base frame number [Time=0,080 sec.]");
    EXPECT_EQ(dlg.TipOf(1032), "Overlay frame start number [Time=0,080 sec.]");
    EXPECT_EQ(dlg.TipOf(1033), "Overlay frame end number [Time=0,200 sec.]");
    EXPECT_EQ(dlg.TipOf(1035), "Basic AVI frame start number [Time=0,120 sec.]");
    EXPECT_EQ(dlg.TipOf(1011), GetText(83));
    EXPECT_EQ(dlg.TipOf(1), GetText(82));
    EXPECT_EQ(dlg.TipOf(1055), "");

    // A tip request on the field asks the dialog at that moment.
    dlg.show();
    auto* field = Control<QLineEdit>(dlg, 1029);
    QHelpEvent help(QEvent::ToolTip, QPoint(2, 2), field->mapToGlobal(QPoint(2, 2)));
    QCoreApplication::sendEvent(field, &help);
    EXPECT_EQ(QToolTip::text().toStdString(), "Actual overlay frame number [Time=0,200 sec.]");
    Button(dlg, 1022)->click();
    EXPECT_EQ(dlg.TipOf(1029), "Actual overlay frame number [Time=--- sec.]");
}
