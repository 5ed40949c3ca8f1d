// The main window's controls, captions, title, enable rules, option boxes,
// tool tips and the small dialogs it opens.
#include "app/LabeledProgress.h"
#include "app/QtNotificationTarget.h"
#include "tests/ui/MainDlgFixtureTest.h"
#include "ui/main/BitmapButton.h"
#include "ui/overlay/AviFileDialog.h"

#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QHelpEvent>
#include <QSlider>
#include <QTest>
#include <QToolTip>

namespace {

using MainDlgState = MainDlgTest;

TEST_F(MainDlgState, StartsWithoutInput) {
    CMainDlg dlg;
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Kadrimix 1.10 [Unknown]"));
    EXPECT_FALSE(dlg.IsModified());
    EXPECT_TRUE(Checked(dlg, 1006));
    EXPECT_FALSE(Checked(dlg, 1012));
    for (int id : {3, 4, 1011, 1014, 1022}) {
        EXPECT_FALSE(Enabled(dlg, id)) << id;
    }
    for (int id : {1, 5, 6, 7, 8, 9, 10, 1003, 1004, 1005, 1006, 1012, 1013}) {
        EXPECT_TRUE(Enabled(dlg, id)) << id;
    }
    // Halves belong to their mirror box, which is unchecked.
    for (int id : {1020, 1021, 1023, 1024}) {
        EXPECT_FALSE(Enabled(dlg, id)) << id;
    }

    auto* list = qobject_cast<QComboBox*>(dlg.Control(1022));
    ASSERT_EQ(list->count(), 10);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(list->itemText(i), QStringLiteral("Overlay %1").arg(i + 1));
    }
    EXPECT_EQ(list->currentIndex(), 0);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(dlg.Job().overlays[static_cast<std::size_t>(i)].number, i + 1);
    }

    EXPECT_EQ(Text(dlg, 1015), QStringLiteral("no compression"));
    EXPECT_EQ(dlg.CompressorSettings().cbSize, 64);
    EXPECT_EQ(dlg.CompressorSettings().fccHandler, 0u);
    EXPECT_EQ(dlg.CompressorInfo().dwSize, 568u);
    EXPECT_EQ(dlg.CompressorInfo().fccType, ICTYPE_VIDEO);

    auto* play = qobject_cast<CBitmapButton*>(dlg.Control(1013));
    ASSERT_NE(play, nullptr);
    EXPECT_EQ(play->BitmapIds(), (std::array<int, 4>{134, 134, 134, 134}));
    auto* slider = qobject_cast<QSlider*>(dlg.Control(1011));
    EXPECT_EQ(slider->minimum(), 1);
    EXPECT_EQ(slider->maximum(), 1000);
    auto* progress = qobject_cast<CLabeledProgress*>(dlg.Control(1002));
    ASSERT_NE(progress, nullptr);
    EXPECT_EQ(progress->GetPos(), 0);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(MainDlgState, CaptionsComeFromTheCatalogue) {
    CMainDlg dlg;
    EXPECT_EQ(Button(dlg, 3)->text(), QStringLiteral("Star&t"));
    EXPECT_EQ(Button(dlg, 1)->text(), QStringLiteral("END"));
    EXPECT_EQ(Button(dlg, 5)->text(), QStringLiteral("&Input AVI"));
    EXPECT_EQ(Button(dlg, 1020)->text(), QStringLiteral("U"));
    EXPECT_EQ(Button(dlg, 1023)->text(), QStringLiteral("D"));
    EXPECT_EQ(Button(dlg, 1003)->text(), QStringLiteral("Reverse"));
    EXPECT_EQ(qobject_cast<QGroupBox*>(dlg.Control(1052))->title(), QStringLiteral("Project File"));
    // These two keep the template's captions.
    EXPECT_EQ(qobject_cast<QGroupBox*>(dlg.Control(1053))->title(), QStringLiteral("File Info"));
    EXPECT_EQ(qobject_cast<QGroupBox*>(dlg.Control(1054))->title(), QStringLiteral("AVI File"));
}

TEST_F(MainDlgState, PreviewWindowSitsInItsFrameAndIsBlue) {
    CMainDlg dlg;
    QWidget* preview = dlg.PreviewWindow();
    QWidget* frame = dlg.Control(1000);
    ASSERT_NE(preview, nullptr);
    EXPECT_EQ(preview->parentWidget(), frame);
    EXPECT_EQ(preview->objectName(), QStringLiteral("control5001"));
    EXPECT_EQ(preview->geometry(),
              QRect((frame->width() - 362) / 2, (frame->height() - 290) / 2 + 3, 362, 290));
    EXPECT_TRUE(frame->rect().contains(preview->geometry()));
    const QImage picture = preview->grab().toImage();
    EXPECT_EQ(picture.pixel(181, 145), qRgb(0, 0, 255));
    EXPECT_TRUE(dlg.PositionText().empty());
}

TEST_F(MainDlgState, HalfMirrorPairsExcludeEachOther) {
    CMainDlg dlg;
    Button(dlg, 1004)->click();
    Button(dlg, 1005)->click();
    for (int id : {1020, 1021, 1023, 1024}) {
        ASSERT_TRUE(Enabled(dlg, id)) << id;
    }
    const std::pair<int, int> pairs[] = {{1020, 1023}, {1023, 1020}, {1021, 1024}, {1024, 1021}};
    for (const auto& [box, partner] : pairs) {
        Button(dlg, partner)->click();
        ASSERT_TRUE(Checked(dlg, partner));
        Button(dlg, box)->click();
        EXPECT_TRUE(Checked(dlg, box)) << box;
        EXPECT_FALSE(Checked(dlg, partner)) << box;
        // Unchecking leaves the partner alone: both may be off.
        Button(dlg, box)->click();
        EXPECT_FALSE(Checked(dlg, box));
        EXPECT_FALSE(Checked(dlg, partner));
    }
    // Pairs do not touch each other.
    Button(dlg, 1020)->click();
    Button(dlg, 1021)->click();
    EXPECT_TRUE(Checked(dlg, 1020));
    EXPECT_TRUE(Checked(dlg, 1021));
}

TEST_F(MainDlgState, MirrorBoxDisablesItsHalvesButKeepsTheirMarks) {
    CMainDlg dlg;
    Button(dlg, 1004)->click();
    Button(dlg, 1020)->click();
    Button(dlg, 1004)->click(); // unchecked again
    EXPECT_FALSE(Enabled(dlg, 1020));
    EXPECT_FALSE(Enabled(dlg, 1023));
    EXPECT_TRUE(Checked(dlg, 1020));
    Button(dlg, 1020)->click(); // disabled: no effect
    EXPECT_TRUE(Checked(dlg, 1020));
    Button(dlg, 1004)->click();
    EXPECT_TRUE(Enabled(dlg, 1020));
    EXPECT_TRUE(Checked(dlg, 1020));
}

TEST_F(MainDlgState, EveryOptionClickMarksTheProjectModified) {
    for (int id : {1003, 1004, 1005, 1006, 1012}) {
        CMainDlg dlg;
        Button(dlg, id)->click();
        EXPECT_TRUE(dlg.IsModified()) << id;
        EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Kadrimix 1.10 [Unknown*]")) << id;
    }
    // Marking twice does not add a second star.
    CMainDlg dlg;
    Button(dlg, 1005)->click();
    dlg.UpdateTitle(true);
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Kadrimix 1.10 [Unknown*]"));
}

TEST_F(MainDlgState, OverlayListKeepsOrMovesItsSelection) {
    CMainDlg dlg;
    auto* list = qobject_cast<QComboBox*>(dlg.Control(1022));
    dlg.FillOverlayList(4);
    EXPECT_EQ(list->currentIndex(), 4);
    dlg.FillOverlayList(-1);
    EXPECT_EQ(list->currentIndex(), 4);
    EXPECT_EQ(list->count(), 10);
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
    EXPECT_EQ(list->itemText(2).toStdString(), "Overlay 3 [" + overlay + "]");
    EXPECT_EQ(list->currentIndex(), 2);
    EXPECT_TRUE(dlg.windowTitle().endsWith(QStringLiteral("*]")));

    // Escape in the dialog changes nothing.
    modalAnswer = [](QDialog&) { return int(QDialog::Rejected); };
    emit list->activated(2);
    EXPECT_EQ(dlg.Job().overlays[2].path, overlay);
}

TEST_F(MainDlgState, ProgressNotificationsShowAndHideTheBar) {
    CMainDlg dlg;
    auto* progress = qobject_cast<CLabeledProgress*>(dlg.Control(1002));
    const auto post = [&](LPARAM value) {
        CWorkerEvent event(WM_CONVERT_PROGRESS, static_cast<WPARAM>(value), -1, nullptr);
        QCoreApplication::sendEvent(&dlg, &event);
    };
    post(1001);
    EXPECT_TRUE(progress->isHidden());
    post(0);
    EXPECT_FALSE(progress->isHidden());
    EXPECT_EQ(progress->GetPos(), 0);
    post(-1);
    EXPECT_TRUE(progress->isHidden());
    post(1000);
    EXPECT_FALSE(progress->isHidden());
    EXPECT_EQ(progress->GetPos(), 1000);
    post(437);
    EXPECT_EQ(progress->GetPos(), 437);
}

TEST_F(MainDlgState, ToolTipsFollowTheSettingAtEveryRequest) {
    CMainDlg dlg;
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    const auto ask = [&](int id) {
        QWidget* control = dlg.Control(id);
        const QPoint inside = control->rect().center();
        QHelpEvent event(QEvent::ToolTip, inside, control->mapToGlobal(inside));
        QApplication::sendEvent(control, &event);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    CSettings::toolTips = 0;
    EXPECT_EQ(ask(3), QString());
    CSettings::toolTips = 1;
    EXPECT_EQ(ask(3), QStringLiteral("start converting"));
    EXPECT_EQ(ask(1022).toStdString(),
              std::string("select overlay AVI and set parameter. 1 is the highest priority"));
    // Texts come in the language of the moment.
    TextCatalog().Init(1);
    EXPECT_EQ(ask(4), QStringLiteral("Konvertierung stoppen"));
    EXPECT_EQ(dlg.ToolTipText(1007), std::string()); // a control without a tip
    QToolTip::hideText();
}

TEST_F(MainDlgState, InfoAndPictureOpenTheAboutDialog) {
    CMainDlg dlg;
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    Button(dlg, 7)->click();
    ASSERT_EQ(modalDialogs.size(), 1u);
    EXPECT_EQ(modalDialogs[0], "CAboutDlg");
    QWidget* picture = dlg.Control(1019);
    QTest::mouseClick(picture, Qt::LeftButton, Qt::NoModifier, picture->rect().center());
    ASSERT_EQ(modalDialogs.size(), 2u);
    EXPECT_EQ(modalDialogs[1], "CAboutDlg");
    EXPECT_TRUE(dlg.isVisible());
}

TEST_F(MainDlgState, SetupOkSwitchesTheLanguageCancelDoesNot) {
    CMainDlg dlg;
    modalAnswer = [](QDialog&) {
        CSettings::language = 3;
        return int(QDialog::Accepted);
    };
    Button(dlg, 10)->click();
    ASSERT_EQ(modalDialogs.size(), 1u);
    EXPECT_EQ(modalDialogs[0], "CSetupDlg");
    EXPECT_EQ(TextCatalog().Language(), 3);
    EXPECT_EQ(Button(dlg, 1003)->text(), QStringLiteral("Achterstevoren"));
    EXPECT_EQ(Button(dlg, 1020)->text(), QStringLiteral("B"));
    EXPECT_EQ(qobject_cast<QGroupBox*>(dlg.Control(1010))->title(), QStringLiteral("Voortgang"));

    modalAnswer = [](QDialog&) {
        CSettings::language = 1;
        return int(QDialog::Rejected);
    };
    Button(dlg, 10)->click();
    EXPECT_EQ(TextCatalog().Language(), 3);
    EXPECT_EQ(Button(dlg, 1003)->text(), QStringLiteral("Achterstevoren"));
}

TEST_F(MainDlgState, EscapeAndEndLeaveF1DoesNothing) {
    {
        CMainDlg dlg;
        dlg.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
        QTest::keyClick(&dlg, Qt::Key_F1);
        EXPECT_TRUE(dlg.isVisible());
        QTest::keyClick(&dlg, Qt::Key_Escape);
        EXPECT_FALSE(dlg.isVisible());
        EXPECT_EQ(dlg.result(), QDialog::Rejected);
    }
    {
        CMainDlg dlg;
        dlg.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
        Button(dlg, 1)->click();
        EXPECT_FALSE(dlg.isVisible());
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
    }
    {
        CMainDlg dlg;
        dlg.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
        dlg.close(); // the close box
        EXPECT_FALSE(dlg.isVisible());
    }
    EXPECT_TRUE(modalDialogs.empty());
    EXPECT_TRUE(boxes.shown.empty());
}

} // namespace
