// The setup dialog (language and tool tips) and the about dialog (links and
// the start-up window that closes itself).
#include "app/AboutDlg.h"
#include "app/ClickablePicture.h"
#include "app/SetupDlg.h"
#include "tests/ui/GuiFixture.h"

#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <vector>

namespace {

using SetupDialog = GuiFixture;
using AboutDialog = GuiFixture;

TEST_F(SetupDialog, OpensWithTheStoredLanguageOrDeutsch) {
    CSettings::language = 3;
    CSettings::toolTips = 0;
    CSetupDlg dutch;
    EXPECT_TRUE(Control<QRadioButton>(dutch, 1051)->isChecked());
    EXPECT_EQ(Control<QRadioButton>(dutch, 1051)->text(), QStringLiteral("&Nederlands"));
    EXPECT_FALSE(Control<QCheckBox>(dutch, 1071)->isChecked());
    // The first start (German by default) and a stray value show Deutsch.
    for (int language : {1, 0}) {
        CSettings::language = language;
        CSetupDlg german;
        EXPECT_TRUE(Control<QRadioButton>(german, 1047)->isChecked()) << language;
    }
}

TEST_F(SetupDialog, FlagSelectsItsLanguageAndOkStoresIt) {
    CSettings::language = 1;
    CSetupDlg dialog;
    dialog.show();
    for (const auto& [flag, radio] : {std::pair{1070, 1051}, std::pair{1069, 1048}}) {
        QTest::mouseClick(Control<CClickablePicture>(dialog, flag), Qt::LeftButton);
        EXPECT_TRUE(Control<QRadioButton>(dialog, radio)->isChecked()) << flag;
    }
    EXPECT_EQ(CSettings::language, 1); // nothing stored before OK
    QTest::mouseClick(Control<QCheckBox>(dialog, 1071), Qt::LeftButton);
    QTest::mouseClick(Button(dialog, 1), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(CSettings::language, 2);
    EXPECT_EQ(CSettings::toolTips, 0);
}

TEST_F(AboutDialog, LinkButtonsOpenTheirAddressOrShowItAndClose) {
    CAboutDlg dialog;
    std::vector<QUrl> opened;
    dialog.openUrl = [&opened](const QUrl& url) {
        opened.push_back(url);
        return true;
    };
    dialog.show();
    QTest::mouseClick(Button(dialog, 1028), Qt::LeftButton);
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
        QTest::mouseClick(Button(unhandled, button), Qt::LeftButton);
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

} // namespace
