// The setup dialog (language and tool tips) and the about dialog (links,
// tips, the start-up window that closes itself).
#include "app/AboutDlg.h"
#include "app/ClickablePicture.h"
#include "app/Settings.h"
#include "app/SetupDlg.h"
#include "app/TextCatalog.h"
#include "tests/support/ScriptedMessageBoxes.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include <vector>

namespace {

template <typename T> T* Control(QWidget& dialog, int id) {
    T* control = dialog.findChild<T*>(QStringLiteral("control%1").arg(id));
    EXPECT_NE(control, nullptr) << id;
    return control;
}

class SetupDialog : public ::testing::Test {
protected:
    void SetUp() override {
        CSettings::language = 1;
        CSettings::toolTips = 1;
    }
    void TearDown() override { SetUp(); }
};

TEST_F(SetupDialog, OpensWithTheStoredLanguageOrDeutsch) {
    CSettings::language = 3;
    CSettings::toolTips = 0;
    CSetupDlg dutch;
    EXPECT_TRUE(Control<QRadioButton>(dutch, 1051)->isChecked());
    EXPECT_EQ(Control<QRadioButton>(dutch, 1051)->text(), QStringLiteral("Nederlands"));
    EXPECT_FALSE(Control<QCheckBox>(dutch, 1071)->isChecked());
    // The first start (German by default) and a stray value show Deutsch.
    for (int language : {1, 0}) {
        CSettings::language = language;
        CSetupDlg german;
        EXPECT_TRUE(Control<QRadioButton>(german, 1047)->isChecked()) << language;
    }
}

TEST_F(SetupDialog, FlagSelectsItsLanguageOkStoresCancelLeaves) {
    CSetupDlg dialog;
    dialog.show();
    QTest::mouseClick(Control<CClickablePicture>(dialog, 1069), Qt::LeftButton);
    EXPECT_TRUE(Control<QRadioButton>(dialog, 1048)->isChecked());
    EXPECT_EQ(CSettings::language, 1); // nothing stored before OK
    QTest::mouseClick(Control<QCheckBox>(dialog, 1071), Qt::LeftButton);
    QTest::mouseClick(Control<QPushButton>(dialog, 1), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(CSettings::language, 2);
    EXPECT_EQ(CSettings::toolTips, 0);

    CSetupDlg cancelled;
    cancelled.show();
    QTest::mouseClick(Control<CClickablePicture>(cancelled, 1070), Qt::LeftButton);
    EXPECT_TRUE(Control<QRadioButton>(cancelled, 1051)->isChecked());
    QTest::mouseClick(Control<QCheckBox>(cancelled, 1071), Qt::LeftButton);
    QTest::mouseClick(Control<QPushButton>(cancelled, 2), Qt::LeftButton);
    EXPECT_EQ(cancelled.result(), QDialog::Rejected);
    EXPECT_EQ(CSettings::language, 2);
    EXPECT_EQ(CSettings::toolTips, 0);
}

class AboutDialog : public ::testing::Test {
protected:
    void SetUp() override {
        TextCatalog().Init(2);
        CSettings::toolTips = 1;
    }
    void TearDown() override {
        CSettings::toolTips = 1;
        TextCatalog().Init(1);
    }
};

TEST_F(AboutDialog, ToolTipsFollowTheSettingAtEveryRequest) {
    CAboutDlg dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    auto* email = Control<QPushButton>(dialog, 1028);
    const auto hover = [email] {
        QHelpEvent event(QEvent::ToolTip, QPoint(2, 2), email->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(email, &event);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    CSettings::toolTips = 0;
    EXPECT_EQ(hover(), QString());
    CSettings::toolTips = 1; // the same dialog, no reopening
    EXPECT_EQ(hover(), QStringLiteral("send e-mail to me"));
    QToolTip::hideText();
}

TEST_F(AboutDialog, LinkButtonsOpenTheirAddressOrShowItAndClose) {
    ScriptedMessageBoxes boxes;
    CAboutDlg dialog;
    std::vector<QUrl> opened;
    dialog.openUrl = [&opened](const QUrl& url) {
        opened.push_back(url);
        return true;
    };
    dialog.show();
    QTest::mouseClick(Control<QPushButton>(dialog, 1028), Qt::LeftButton);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].scheme(), QStringLiteral("mailto"));
    EXPECT_EQ(opened[0].path(), QStringLiteral("kadrimix@quelmark.org"));
    EXPECT_EQ(opened[0].query(QUrl::FullyDecoded), QStringLiteral("subject=Kadrimix [1.10]"));
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(boxes.shown.empty());

    // No program to open a link with: the address is shown to be copied.
    for (const int button : {1028, 1029}) {
        CAboutDlg unhandled;
        unhandled.openUrl = [](const QUrl&) { return false; };
        unhandled.show();
        QTest::mouseClick(Control<QPushButton>(unhandled, button), Qt::LeftButton);
        EXPECT_FALSE(unhandled.isVisible());
    }
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[0].text, "kadrimix@quelmark.org");
    EXPECT_EQ(boxes.shown[1].text, "https://www.quelmark.org/kadrimix");
}

TEST_F(AboutDialog, StartupWindowClosesAtThe21stTickModalNever) {
    CAboutDlg startup;
    startup.displaySeconds = 2;
    startup.show();
    auto* timer = startup.findChild<QTimer*>(QStringLiteral("closeTimer"));
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->interval(), 100);
    // The first tick comes from the timer itself, the rest by hand.
    ASSERT_TRUE(QTest::qWaitFor([&startup] { return startup.elapsedMs >= 100; }, 3000));
    timer->stop();
    while (startup.elapsedMs < 2000) {
        startup.OnTimer();
        ASSERT_TRUE(startup.isVisible()) << startup.elapsedMs;
    }
    startup.OnTimer();
    EXPECT_EQ(startup.elapsedMs, 2100);
    EXPECT_FALSE(startup.isVisible());
    EXPECT_FALSE(startup.TimerRunning());

    CAboutDlg modal;
    modal.show();
    EXPECT_FALSE(modal.TimerRunning());
    for (int tick = 0; tick < 100; ++tick) {
        modal.OnTimer(); // even stray ticks do not close it
    }
    EXPECT_TRUE(modal.isVisible());
}

// F1 pressed on a control travels up to the dialog, which takes it and does
// nothing else; so does a What's This request sent to the dialog itself.
void ExpectHelpSwallowed(QDialog& dialog, QWidget& focused) {
    dialog.show();
    for (const Qt::Key key : {Qt::Key_F1, Qt::Key_Help}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(&focused, &press);
        EXPECT_TRUE(press.isAccepted()) << key;
    }
    QHelpEvent whatsThis(QEvent::WhatsThis, QPoint(1, 1), dialog.mapToGlobal(QPoint(1, 1)));
    EXPECT_TRUE(QApplication::sendEvent(&dialog, &whatsThis));
    EXPECT_TRUE(whatsThis.isAccepted());
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), 0);
}

TEST_F(SetupDialog, HelpKeyAndHelpRequestsDoNothing) {
    CSetupDlg dialog;
    ExpectHelpSwallowed(dialog, *Control<QPushButton>(dialog, 1));
}

TEST_F(AboutDialog, HelpKeyAndHelpRequestsDoNothing) {
    CAboutDlg dialog;
    ExpectHelpSwallowed(dialog, *Control<QPushButton>(dialog, 1));
}

} // namespace
