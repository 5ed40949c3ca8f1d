// The main window's start state, option boxes, progress bar, tool tips and
// the overlay list.
#include "app/LabeledProgress.h"
#include "tests/ui/MainDlgFixtureTest.h"
#include "ui/overlay/AviFileDialog.h"

#include <QComboBox>

#include <tuple>

namespace {

using MainDlgState = MainDlgTest;

TEST_F(MainDlgState, StartsWithoutInput) {
    CMainDlg dlg;
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Kadrimix 1.10 [Unknown]"));
    EXPECT_TRUE(Checked(dlg, 1006));  // Preview
    EXPECT_FALSE(Checked(dlg, 1012)); // Interlace
    // Start, Stop, the track bar, Codec, the overlay list and the halves of
    // the unchecked mirror boxes wait.
    for (int id : {3, 4, 1011, 1014, 1022, 1020, 1021, 1023, 1024}) {
        EXPECT_FALSE(Enabled(dlg, id)) << id;
    }
    EXPECT_EQ(qobject_cast<QComboBox*>(dlg.Control(1022))->count(), 10);
    EXPECT_EQ(Text(dlg, 1015), QStringLiteral("no compression"));
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(MainDlgState, HalfMirrorPairsExcludeEachOther) {
    CMainDlg dlg;
    Button(dlg, 1004)->click();
    Button(dlg, 1005)->click();
    EXPECT_TRUE(dlg.IsModified());
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Kadrimix 1.10 [Unknown*]"));
    const std::pair<int, int> pairs[] = {{1020, 1023}, {1023, 1020}, {1021, 1024}, {1024, 1021}};
    for (const auto& [box, partner] : pairs) {
        Button(dlg, partner)->click();
        ASSERT_TRUE(Checked(dlg, partner));
        Button(dlg, box)->click();
        EXPECT_TRUE(Checked(dlg, box)) << box;
        EXPECT_FALSE(Checked(dlg, partner)) << box;
        // Unchecking leaves the partner alone: both may be off.
        Button(dlg, box)->click();
        EXPECT_FALSE(Checked(dlg, partner)) << box;
    }
    // Pairs do not touch each other.
    Button(dlg, 1020)->click();
    Button(dlg, 1021)->click();
    EXPECT_TRUE(Checked(dlg, 1020));
    EXPECT_TRUE(Checked(dlg, 1021));
}

TEST_F(MainDlgState, ProgressOutsideZeroToThousandHidesTheBarUntilTheRunEnds) {
    CMainDlg dlg;
    auto* progress = qobject_cast<CLabeledProgress*>(dlg.Control(1002));
    Send(dlg, WM_CONVERT_PROGRESS, 437, -1);
    EXPECT_FALSE(progress->isHidden());
    EXPECT_EQ(progress->GetPos(), 437);
    Send(dlg, WM_CONVERT_PROGRESS, 1001, -1);
    EXPECT_TRUE(progress->isHidden());
    Send(dlg, WM_CONVERT_PROGRESS, 1000, -1);
    EXPECT_FALSE(progress->isHidden());
    EXPECT_EQ(progress->GetPos(), 1000);
    // A failed run leaves the bar idle, not hidden.
    Send(dlg, WM_CONVERT_PROGRESS, 1001, -1);
    Send(dlg, WM_CONVERT_DONE, 1, 0);
    EXPECT_FALSE(progress->isHidden());
    EXPECT_EQ(progress->GetPos(), 0);
}

TEST_F(MainDlgState, ToolTipsFollowTheSettingAtEveryRequest) {
    CMainDlg dlg;
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    CSettings::toolTips = 0;
    EXPECT_EQ(ToolTipOf(dlg.Control(3)), QString());
    CSettings::toolTips = 1;
    EXPECT_EQ(ToolTipOf(dlg.Control(3)), QStringLiteral("start converting"));
}

TEST_F(MainDlgState, OverlayListOpensTheOverlayDialogOnItsSlot) {
    CMainDlg dlg;
    ChooseInput(dlg, Sample("base.avi", 320, 240, 5));
    const std::string overlay = Sample("logo.avi", 64, 48, 5);
    SetAviFileDialogHook([&](const std::string&, const std::string&, std::string* chosen) {
        *chosen = overlay;
        return true;
    });
    modalAnswer = [](QDialog& dialog) {
        // Choose the overlay file in the dialog, then OK.
        dialog.findChild<QAbstractButton*>(QStringLiteral("control1021"))->click();
        dialog.accept();
        return int(QDialog::Accepted);
    };
    auto* list = qobject_cast<QComboBox*>(dlg.Control(1022));
    list->setCurrentIndex(2);
    emit list->activated(2);
    SetAviFileDialogHook({});

    ASSERT_EQ(modalDialogs.back(), "COverlayDlg");
    const OverlaySettings& slot = dlg.Job().overlays[2];
    EXPECT_EQ(slot.path, overlay);
    EXPECT_EQ(slot.number, 3);
    EXPECT_EQ(std::tie(slot.x, slot.y, slot.width, slot.height), std::make_tuple(32, 24, 80, 60));
    // The entry names the file and keeps its closing bracket in the list's width.
    const QString entry = list->itemText(2);
    EXPECT_TRUE(entry.startsWith(QStringLiteral("Overlay 3 [/"))) << entry.toStdString();
    EXPECT_TRUE(entry.endsWith(QStringLiteral("/logo.avi]"))) << entry.toStdString();
    EXPECT_LT(list->fontMetrics().horizontalAdvance(entry), list->width());
    EXPECT_EQ(list->currentIndex(), 2);

    // Escape in the dialog changes nothing.
    modalAnswer = [](QDialog&) { return int(QDialog::Rejected); };
    emit list->activated(2);
    EXPECT_EQ(dlg.Job().overlays[2].path, overlay);
}

} // namespace
