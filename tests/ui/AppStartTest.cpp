#include "app/AboutDlg.h"
#include "app/ClickablePicture.h"
#include "app/KadrimixApp.h"
#include "app/ResourceImages.h"
#include "app/Settings.h"
#include "app/SetupDlg.h"
#include "app/TextCatalog.h"
#include "engine/WorkerThread.h"
#include "tests/support/ScriptedMessageBoxes.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QSettings>
#include <QTest>

#include <chrono>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

// One run of the application object with every dialog answered by the test.
class AppStart : public ::testing::Test {
protected:
    void SetUp() override {
        const QString folder = QString::fromStdString(dir_.Path().string());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
    }

    // What the setup dialog does when it is shown; rejects it by default.
    std::function<int(CSetupDlg&)> answerSetup = [](CSetupDlg& setup) {
        setup.reject();
        return setup.result();
    };

    // Runs InitInstance; records each dialog that was run.
    bool Run(CKadrimixApp::WorkerControl worker) {
        runs_.clear();
        startupWindowWithMain_ = false;
        auto factory = [this]() -> std::unique_ptr<QDialog> {
            ++mainDialogsMade_;
            auto dialog = std::make_unique<QDialog>();
            dialog->setObjectName(QStringLiteral("main"));
            return dialog;
        };
        auto runner = [this](QDialog& dialog) -> int {
            if (auto* setup = qobject_cast<CSetupDlg*>(&dialog)) {
                runs_.push_back("setup");
                return answerSetup(*setup);
            }
            runs_.push_back(dialog.objectName().toStdString());
            // The start-up window is up while the main dialog runs.
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* about = qobject_cast<CAboutDlg*>(w);
                if (about != nullptr && about->isVisible() && about->displaySeconds == 2 &&
                    about->TimerRunning()) {
                    startupWindowWithMain_ = true;
                }
            }
            return QDialog::Accepted;
        };
        CKadrimixApp app(factory, worker, runner);
        return app.InitInstance();
    }

    CKadrimixApp::WorkerControl RealWorker() { return CKadrimixApp::ControlOf(worker_); }

    static QVariant Stored(const char* key) {
        QSettings store(QStringLiteral("Quelmark"), QStringLiteral("kadrimix"));
        return store.value(QStringLiteral("Setup/") + QString::fromLatin1(key));
    }

    static int AboutWindowsLeft() {
        int count = 0;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            count += qobject_cast<CAboutDlg*>(w) != nullptr ? 1 : 0;
        }
        return count;
    }

    TempDir dir_;
    ScriptedMessageBoxes boxes_;
    CWorkerThread worker_{CWorkerThread::Timing{5ms, 99}};
    std::vector<std::string> runs_;
    int mainDialogsMade_ = 0;
    bool startupWindowWithMain_ = false;
};

TEST_F(AppStart, FirstStartCancelledGivesGermanAndIsRemembered) {
    answerSetup = [](CSetupDlg& setup) {
        // A changed choice, then Cancel.
        QTest::mouseClick(setup.findChild<CClickablePicture*>(QStringLiteral("control1070")),
                          Qt::LeftButton);
        setup.reject();
        return setup.result();
    };
    EXPECT_FALSE(Run(RealWorker()));
    EXPECT_EQ(runs_, (std::vector<std::string>{"setup", "main"}));
    EXPECT_TRUE(startupWindowWithMain_);
    EXPECT_EQ(CSettings::language, 1);
    EXPECT_EQ(TextCatalog().Language(), 1);
    EXPECT_EQ(Stored("Language").toInt(), 1);
    EXPECT_EQ(Stored("Tool Tips").toInt(), 1);
    EXPECT_TRUE(boxes_.shown.empty());
    EXPECT_EQ(worker_.State(), -1); // stopped again
    EXPECT_EQ(AboutWindowsLeft(), 0);

    // The next start finds the language and asks nothing.
    EXPECT_FALSE(Run(RealWorker()));
    EXPECT_EQ(runs_, (std::vector<std::string>{"main"}));
    EXPECT_EQ(mainDialogsMade_, 2);
}

TEST_F(AppStart, FirstStartChoiceSetsCatalogueAndIsSaved) {
    answerSetup = [](CSetupDlg& setup) {
        QTest::mouseClick(setup.findChild<CClickablePicture*>(QStringLiteral("control1069")),
                          Qt::LeftButton);
        setup.findChild<QCheckBox*>(QStringLiteral("control1071"))->setChecked(false);
        setup.accept();
        return setup.result();
    };
    EXPECT_FALSE(Run(RealWorker()));
    EXPECT_EQ(runs_, (std::vector<std::string>{"setup", "main"}));
    EXPECT_EQ(TextCatalog().Language(), 2);
    EXPECT_STREQ(GetText(1), "close info dialog");
    EXPECT_EQ(Stored("Language").toInt(), 2);
    EXPECT_EQ(Stored("Tool Tips").toInt(), 0);
    TextCatalog().Init(1);
}

TEST_F(AppStart, StoredLanguageSkipsTheSetupDialog) {
    {
        QSettings store(QStringLiteral("Quelmark"), QStringLiteral("kadrimix"));
        store.setValue(QStringLiteral("Setup/Language"), 3);
        store.setValue(QStringLiteral("Setup/Tool Tips"), 0);
    }
    EXPECT_FALSE(Run(RealWorker()));
    EXPECT_EQ(runs_, (std::vector<std::string>{"main"}));
    EXPECT_EQ(TextCatalog().Language(), 3);
    EXPECT_EQ(Stored("Language").toInt(), 3);
    EXPECT_EQ(Stored("Tool Tips").toInt(), 0);
    TextCatalog().Init(1);
}

TEST_F(AppStart, WorkerStartFailureEndsWithoutWindowsOrSettings) {
    answerSetup = [](CSetupDlg& setup) {
        QTest::mouseClick(setup.findChild<CClickablePicture*>(QStringLiteral("control1069")),
                          Qt::LeftButton);
        setup.accept();
        return setup.result();
    };
    int stops = 0;
    EXPECT_FALSE(Run({[] { return false; },
                      [&stops] {
                          ++stops;
                          return true;
                      }}));
    ASSERT_EQ(boxes_.shown.size(), 1u);
    EXPECT_EQ(boxes_.shown[0].text, "INTERNAL ERROR: Unable to start worker thread");
    EXPECT_EQ(boxes_.shown[0].icon, MessageIcon::Stop);
    EXPECT_EQ(boxes_.shown[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(runs_, (std::vector<std::string>{"setup"}));
    EXPECT_EQ(mainDialogsMade_, 0);
    EXPECT_EQ(AboutWindowsLeft(), 0);
    EXPECT_EQ(stops, 0);
    // The choice made in the setup dialog is not written.
    QSettings store(QStringLiteral("Quelmark"), QStringLiteral("kadrimix"));
    EXPECT_TRUE(store.allKeys().isEmpty());
    TextCatalog().Init(1);
}

TEST_F(AppStart, WorkerStopFailureIsReportedAndShutDownGoesOn) {
    bool started = false;
    EXPECT_FALSE(Run({[&started] { return started = true; }, [] { return false; }}));
    EXPECT_TRUE(started);
    ASSERT_EQ(boxes_.shown.size(), 1u);
    EXPECT_EQ(boxes_.shown[0].text, "INTERNAL ERROR: Unable to stop worker thread");
    EXPECT_EQ(boxes_.shown[0].icon, MessageIcon::Stop);
    EXPECT_EQ(runs_, (std::vector<std::string>{"setup", "main"}));
    EXPECT_EQ(Stored("Language").toInt(), 1);
    EXPECT_EQ(AboutWindowsLeft(), 0);
}

TEST_F(AppStart, ProgramIconIsTheWindowIcon) {
    EXPECT_FALSE(Run(RealWorker()));
    EXPECT_FALSE(QApplication::windowIcon().isNull());
    EXPECT_EQ(QApplication::windowIcon().pixmap(32, 32).toImage(),
              ProgramIcon().pixmap(32, 32).toImage());
}

} // namespace
