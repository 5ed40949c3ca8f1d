// Start-up: the command line, how it is read, and the real program answering
// --help and --version without any display; InitInstance with every dialog
// answered by the test: the first start, the next one, and a worker that
// cannot be started.
#include "app/AboutDlg.h"
#include "app/ClickablePicture.h"
#include "app/CommandLine.h"
#include "app/KadrimixApp.h"
#include "app/Settings.h"
#include "app/SetupDlg.h"
#include "app/TextCatalog.h"
#include "engine/WorkerThread.h"
#include "tests/support/ExternalTools.h"
#include "tests/support/ScriptedMessageBoxes.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QSettings>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

const std::string kProgram = KADRIMIX_GUI_PATH;

std::string Absolute(const char* name) {
    return QDir::current().absoluteFilePath(QString::fromLatin1(name)).toStdString();
}

TEST(CommandLine, AProjectAndAVideoAreTakenOneOfEach) {
    CommandLine line = ParseCommandLine({QStringLiteral("kadrimix"), QStringLiteral("clip.mp4"),
                                         QStringLiteral("looks/holiday.KMX")});
    EXPECT_EQ(line.action, CommandLine::Action::Run);
    EXPECT_EQ(line.project, Absolute("looks/holiday.KMX"));
    EXPECT_EQ(line.input, Absolute("clip.mp4"));

    for (const char* args : {"kadrimix a.kmx b.kmx", "kadrimix a.avi b.mp4", "kadrimix --bogus"}) {
        const QStringList bad = QString::fromLatin1(args).split(QLatin1Char(' '));
        line = ParseCommandLine(bad);
        EXPECT_EQ(line.action, CommandLine::Action::Fail) << bad.last().toStdString();
        EXPECT_TRUE(line.text.contains(bad.last().mid(2))) << line.text.toStdString();
    }
}

// No display of any kind: the program must answer without opening one. Qt's
// own options are no bad options, also before --version.
TEST(CommandLine, HelpAndVersionNeedNoDisplayAndBadOptionsGiveStatusTwo) {
    const struct {
        std::vector<std::string> options;
        int status;
        std::string outStart, error;
    } cases[] = {{{"--help"}, 0, "Usage: kadrimix [options] [FILE...]\n", ""},
                 {{"-style", "fusion", "--version"}, 0, "Kadrimix 1.10\n", ""},
                 {{"-platform", "offscreen", "--bogus"}, 2, "", "bogus"}};
    for (const auto& c : cases) {
        std::vector<std::string> argv = {
            "env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "-u", "QT_QPA_PLATFORM", kProgram};
        argv.insert(argv.end(), c.options.begin(), c.options.end());
        std::string out, errors;
        EXPECT_EQ(RunTool(argv, &out, &errors), c.status) << c.options.back();
        EXPECT_EQ(out.substr(0, c.outStart.size()), c.outStart) << out;
        EXPECT_EQ(out.empty(), c.outStart.empty()) << out;
        EXPECT_NE(errors.find(c.error), std::string::npos) << errors;
    }
}

class AppStart : public ::testing::Test {
protected:
    void SetUp() override {
        CSettings::language = 1;
        CSettings::toolTips = 1;
        QSettings(QStringLiteral("Quelmark"), QStringLiteral("kadrimix")).clear(); // a first start
    }
    void TearDown() override { TextCatalog().Init(1); }

    // Runs InitInstance; the setup dialog gets a flag click, then OK or Cancel.
    bool Run(CKadrimixApp::WorkerControl worker, int flagId, bool ok) {
        runs_.clear();
        auto factory = [] { return std::make_unique<QDialog>(); };
        auto runner = [this, flagId, ok](QDialog& dialog) -> int {
            if (auto* setup = qobject_cast<CSetupDlg*>(&dialog)) {
                runs_.push_back("setup");
                QTest::mouseClick(
                    setup->findChild<CClickablePicture*>(QStringLiteral("control%1").arg(flagId)),
                    Qt::LeftButton);
                ok ? setup->accept() : setup->reject();
                return setup->result();
            }
            runs_.push_back("main");
            // The start-up window is up while the main dialog runs.
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* about = qobject_cast<CAboutDlg*>(w);
                startupWindowWithMain_ |= about != nullptr && about->isVisible() &&
                                          about->displaySeconds == 2 && about->TimerRunning();
            }
            return QDialog::Accepted;
        };
        CKadrimixApp app(factory, worker, runner);
        return app.InitInstance();
    }

    static QVariant Stored(const char* key) {
        QSettings store(QStringLiteral("Quelmark"), QStringLiteral("kadrimix"));
        return store.value(QStringLiteral("Setup/") + QString::fromLatin1(key));
    }
    static auto AboutWindowsLeft() {
        const QWidgetList tops = QApplication::topLevelWidgets();
        return std::count_if(tops.begin(), tops.end(),
                             [](QWidget* w) { return qobject_cast<CAboutDlg*>(w) != nullptr; });
    }

    ScriptedMessageBoxes boxes_;
    CWorkerThread worker_{CWorkerThread::Timing{5ms, 99}};
    std::vector<std::string> runs_;
    bool startupWindowWithMain_ = false;
};

TEST_F(AppStart, FirstStartCancelledGivesGermanAndTheNextStartAsksNothing) {
    // The Dutch flag is clicked, then Cancel.
    EXPECT_FALSE(Run(CKadrimixApp::ControlOf(worker_), 1070, false));
    EXPECT_EQ(runs_, (std::vector<std::string>{"setup", "main"}));
    EXPECT_TRUE(startupWindowWithMain_);
    EXPECT_EQ(TextCatalog().Language(), 1);
    EXPECT_EQ(Stored("Language").toInt(), 1);
    EXPECT_EQ(Stored("Tool Tips").toInt(), 1);
    EXPECT_TRUE(boxes_.shown.empty());
    EXPECT_EQ(worker_.State(), -1); // stopped again
    EXPECT_EQ(AboutWindowsLeft(), 0);
    EXPECT_FALSE(QApplication::windowIcon().isNull());

    EXPECT_FALSE(Run(CKadrimixApp::ControlOf(worker_), 1070, false));
    EXPECT_EQ(runs_, (std::vector<std::string>{"main"}));
}

TEST_F(AppStart, WorkerStartFailureEndsWithoutWindowsOrSettings) {
    int stops = 0;
    EXPECT_FALSE(Run({[] { return false; },
                      [&stops] {
                          ++stops;
                          return true;
                      }},
                     1069, true));
    ASSERT_EQ(boxes_.shown.size(), 1u);
    EXPECT_EQ(boxes_.shown[0].text, "INTERNAL ERROR: Unable to start worker thread");
    EXPECT_EQ(boxes_.shown[0].icon, MessageIcon::Stop);
    EXPECT_EQ(runs_, (std::vector<std::string>{"setup"}));
    EXPECT_EQ(AboutWindowsLeft(), 0);
    EXPECT_EQ(stops, 0);
    // The choice made in the setup dialog is not written.
    QSettings store(QStringLiteral("Quelmark"), QStringLiteral("kadrimix"));
    EXPECT_TRUE(store.allKeys().isEmpty());
}

} // namespace
