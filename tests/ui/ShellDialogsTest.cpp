#include "app/AboutDlg.h"
#include "app/ClickablePicture.h"
#include "app/Settings.h"
#include "app/SetupDlg.h"
#include "app/TextCatalog.h"
#include "res/DialogTemplate.h"
#include "tests/support/ScriptedMessageBoxes.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QHelpEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include <string>
#include <vector>

namespace {

template <typename T> T* Control(QWidget& dialog, int id) {
    T* control = dialog.findChild<T*>(QStringLiteral("control%1").arg(id));
    EXPECT_NE(control, nullptr) << id;
    return control;
}

// The radio button that is checked: 1047 Deutsch, 1048 English, 1051 Nederlands.
int CheckedLanguage(CSetupDlg& dialog) {
    for (int id : {1047, 1048, 1051}) {
        if (Control<QRadioButton>(dialog, id)->isChecked()) {
            return id;
        }
    }
    return 0;
}

class SetupDialog : public ::testing::Test {
protected:
    void SetUp() override {
        CSettings::language = 1;
        CSettings::toolTips = 1;
    }
    void TearDown() override { SetUp(); }
};

TEST_F(SetupDialog, OpensWithTheStoredLanguage) {
    CSettings::language = 3;
    CSettings::toolTips = 0;
    CSetupDlg dutch;
    EXPECT_EQ(dutch.languageIndex, 2);
    EXPECT_EQ(CheckedLanguage(dutch), 1051);
    EXPECT_EQ(Control<QRadioButton>(dutch, 1051)->text(), QStringLiteral("Nederlands"));
    EXPECT_FALSE(Control<QCheckBox>(dutch, 1071)->isChecked());

    CSettings::language = 2;
    CSettings::toolTips = 5;
    CSetupDlg english;
    EXPECT_EQ(CheckedLanguage(english), 1048);
    EXPECT_TRUE(Control<QCheckBox>(english, 1071)->isChecked());

    // The first start (default German) and any stray value show Deutsch.
    for (int language : {1, 0, 7}) {
        CSettings::language = language;
        CSetupDlg german;
        EXPECT_EQ(german.languageIndex, 0) << language;
        EXPECT_EQ(CheckedLanguage(german), 1047) << language;
    }
    EXPECT_EQ(english.windowTitle(), QStringLiteral("Kadrimix Setup"));
}

TEST_F(SetupDialog, FlagsSelectTheirLanguage) {
    CSetupDlg dialog;
    dialog.show();
    auto* british = Control<CClickablePicture>(dialog, 1069);
    EXPECT_EQ(british->pixmap().size(), QSize(36, 18));
    QTest::mouseClick(british, Qt::LeftButton);
    EXPECT_EQ(dialog.languageIndex, 1);
    EXPECT_EQ(CheckedLanguage(dialog), 1048);
    QTest::mouseClick(Control<CClickablePicture>(dialog, 1070), Qt::LeftButton);
    EXPECT_EQ(CheckedLanguage(dialog), 1051);
    QTest::mouseClick(Control<CClickablePicture>(dialog, 1068), Qt::LeftButton);
    EXPECT_EQ(CheckedLanguage(dialog), 1047);
    // A right click is no click.
    QTest::mouseClick(british, Qt::RightButton);
    EXPECT_EQ(CheckedLanguage(dialog), 1047);
    // A flag click changes nothing stored before OK.
    EXPECT_EQ(CSettings::language, 1);
}

TEST_F(SetupDialog, OkStoresLanguageAndToolTips) {
    CSetupDlg dialog;
    dialog.show();
    QTest::mouseClick(Control<QRadioButton>(dialog, 1051), Qt::LeftButton);
    QTest::mouseClick(Control<QCheckBox>(dialog, 1071), Qt::LeftButton);
    QTest::mouseClick(Control<QPushButton>(dialog, 1), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.languageIndex, 2);
    EXPECT_EQ(CSettings::language, 3);
    EXPECT_EQ(CSettings::toolTips, 0);

    CSetupDlg again;
    again.show();
    QTest::mouseClick(Control<CClickablePicture>(again, 1069), Qt::LeftButton);
    QTest::mouseClick(Control<QCheckBox>(again, 1071), Qt::LeftButton);
    QTest::keyClick(&again, Qt::Key_Return); // OK is the default button
    EXPECT_EQ(again.result(), QDialog::Accepted);
    EXPECT_EQ(CSettings::language, 2);
    EXPECT_EQ(CSettings::toolTips, 1);
}

TEST_F(SetupDialog, CancelChangesNothing) {
    CSettings::language = 3;
    CSetupDlg dialog;
    dialog.show();
    QTest::mouseClick(Control<CClickablePicture>(dialog, 1068), Qt::LeftButton);
    QTest::mouseClick(Control<QCheckBox>(dialog, 1071), Qt::LeftButton);
    QTest::mouseClick(Control<QPushButton>(dialog, 2), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(CSettings::language, 3);
    EXPECT_EQ(CSettings::toolTips, 1);

    CSetupDlg escaped;
    escaped.show();
    QTest::mouseClick(Control<CClickablePicture>(escaped, 1069), Qt::LeftButton);
    QTest::keyClick(&escaped, Qt::Key_Escape);
    EXPECT_FALSE(escaped.isVisible());
    EXPECT_EQ(CSettings::language, 3);
}

TEST_F(SetupDialog, F1DoesNothing) {
    ScriptedMessageBoxes boxes;
    CSetupDlg dialog;
    dialog.show();
    QTest::keyClick(Control<QRadioButton>(dialog, 1047), Qt::Key_F1);
    QTest::keyClick(&dialog, Qt::Key_F1);
    QWhatsThisClickedEvent whatsThis(QStringLiteral("help"));
    EXPECT_TRUE(QApplication::sendEvent(&dialog, &whatsThis));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(CheckedLanguage(dialog), 1047);
    EXPECT_TRUE(boxes.shown.empty());
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

    // Remembers the links instead of opening them.
    static void RecordLinks(CAboutDlg& dialog, std::vector<QUrl>& opened) {
        dialog.openUrl = [&opened](const QUrl& url) { opened.push_back(url); };
    }

    // Asks for the tip of a control as hovering does; the tip text shown.
    static QString HoverTip(QWidget* control) {
        QHelpEvent hover(QEvent::ToolTip, QPoint(2, 2), control->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(control, &hover);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    }
};

TEST_F(AboutDialog, ShowsVersionNoticeAndLinks) {
    CAboutDlg dialog;
    EXPECT_EQ(dialog.versionText, "Kadrimix 1.10");
    EXPECT_FALSE(dialog.noticeText.empty());
    dialog.show();
    EXPECT_EQ(Control<QLabel>(dialog, 1016)->text(), QStringLiteral("Kadrimix 1.10"));
    EXPECT_EQ(Control<QLabel>(dialog, 1030)->text().toStdString(), dialog.noticeText);
    EXPECT_EQ(Control<QLabel>(dialog, 1019)->pixmap().size(), QSize(32, 32));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Kadrimix Info"));
    // The button, the template and the link agree on the address.
    const std::string caption = std::string("e-mail: ") + CAboutDlg::EmailAddress();
    EXPECT_EQ(Control<QPushButton>(dialog, 1028)->text().toStdString(), caption);
    const DialogTemplate& about = AboutDialogTemplate();
    bool templateAgrees = false;
    for (std::size_t i = 0; i < about.count; ++i) {
        if (about.controls[i].id == 1028) {
            templateAgrees = caption == about.controls[i].caption;
        }
    }
    EXPECT_TRUE(templateAgrees);
    EXPECT_EQ(std::string(CAboutDlg::HomePage()), "https://www.quelmark.org/kadrimix");
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowSystemMenuHint);
}

TEST_F(AboutDialog, EmailButtonOpensMailtoLinkAndCloses) {
    EXPECT_EQ(CAboutDlg::MailtoLink(), "mailto:kadrimix@quelmark.org?subject=Kadrimix [1.10]");
    CAboutDlg dialog;
    std::vector<QUrl> opened;
    RecordLinks(dialog, opened);
    dialog.setResult(QDialog::Accepted);
    dialog.show();
    QTest::mouseClick(Control<QPushButton>(dialog, 1028), Qt::LeftButton);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].scheme(), QStringLiteral("mailto"));
    EXPECT_EQ(opened[0].path(), QStringLiteral("kadrimix@quelmark.org"));
    EXPECT_EQ(opened[0].query(QUrl::FullyDecoded), QStringLiteral("subject=Kadrimix [1.10]"));
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), 0);
}

TEST_F(AboutDialog, HomePageButtonOpensHomePageAndCloses) {
    CAboutDlg dialog;
    std::vector<QUrl> opened;
    RecordLinks(dialog, opened);
    dialog.show();
    QTest::mouseClick(Control<QPushButton>(dialog, 1029), Qt::LeftButton);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QUrl(QStringLiteral("https://www.quelmark.org/kadrimix")));
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), 0);

    // The icon is only a picture; OK just closes.
    CAboutDlg other;
    RecordLinks(other, opened);
    other.show();
    QTest::mouseClick(Control<QLabel>(other, 1019), Qt::LeftButton);
    EXPECT_TRUE(other.isVisible());
    QTest::mouseClick(Control<QPushButton>(other, 1), Qt::LeftButton);
    EXPECT_FALSE(other.isVisible());
    EXPECT_EQ(other.result(), QDialog::Accepted);
    EXPECT_EQ(opened.size(), 1u);
}

TEST_F(AboutDialog, ToolTipTextsByControl) {
    EXPECT_EQ(CAboutDlg::ToolTipText(1), "close info dialog");
    EXPECT_EQ(CAboutDlg::ToolTipText(1019), "another colored picture");
    EXPECT_EQ(CAboutDlg::ToolTipText(1028), "send e-mail to me");
    EXPECT_EQ(CAboutDlg::ToolTipText(1029), "open Kadrimix Homepage");
    EXPECT_EQ(CAboutDlg::ToolTipText(1016), "");
    EXPECT_EQ(CAboutDlg::ToolTipText(-1), "");
    TextCatalog().Init(1);
    EXPECT_EQ(CAboutDlg::ToolTipText(1028), "E-Mail an mich senden");
}

TEST_F(AboutDialog, ToolTipsFollowTheSettingAtEveryRequest) {
    CAboutDlg dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    auto* email = Control<QPushButton>(dialog, 1028);

    CSettings::toolTips = 0;
    EXPECT_EQ(HoverTip(email), QString());

    CSettings::toolTips = 1; // the same dialog, no reopening
    EXPECT_EQ(HoverTip(email), QStringLiteral("send e-mail to me"));
    EXPECT_EQ(HoverTip(Control<QPushButton>(dialog, 1)), QStringLiteral("close info dialog"));

    CSettings::toolTips = 0;
    HoverTip(email);
    EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 2000));
}

TEST_F(AboutDialog, StartupWindowClosesItselfAtThe21stTick) {
    CAboutDlg dialog;
    dialog.displaySeconds = 2;
    dialog.show();
    auto* timer = dialog.findChild<QTimer*>(QStringLiteral("closeTimer"));
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(dialog.TimerRunning());
    EXPECT_EQ(timer->interval(), 100);
    timer->stop(); // ticks by hand from here on
    for (int tick = 1; tick <= 20; ++tick) {
        dialog.OnTimer();
        ASSERT_TRUE(dialog.isVisible()) << tick;
    }
    EXPECT_EQ(dialog.elapsedMs, 2000);
    timer->start();
    dialog.OnTimer();
    EXPECT_EQ(dialog.elapsedMs, 2100);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_FALSE(dialog.TimerRunning());
}

TEST_F(AboutDialog, TimerTicksOnItsOwn) {
    CAboutDlg dialog;
    dialog.displaySeconds = 1;
    dialog.show();
    EXPECT_TRUE(QTest::qWaitFor([&dialog] { return dialog.elapsedMs >= 200; }, 3000));
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(AboutDialog, ModalDialogNeverClosesByItself) {
    CAboutDlg dialog;
    dialog.show();
    EXPECT_FALSE(dialog.TimerRunning());
    QTest::qWait(250);
    EXPECT_EQ(dialog.elapsedMs, 0);
    for (int tick = 0; tick < 100; ++tick) {
        dialog.OnTimer(); // even stray ticks do not close it
    }
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(AboutDialog, F1DoesNothing) {
    ScriptedMessageBoxes boxes;
    CAboutDlg dialog;
    std::vector<QUrl> opened;
    RecordLinks(dialog, opened);
    dialog.show();
    QTest::keyClick(Control<QPushButton>(dialog, 1028), Qt::Key_F1);
    QTest::keyClick(&dialog, Qt::Key_F1);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(opened.empty());
    EXPECT_TRUE(boxes.shown.empty());
}

} // namespace
