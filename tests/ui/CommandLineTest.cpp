// The desktop program's command line: how it is read, and the real program
// answering --help and --version without any display.
#include "app/CommandLine.h"
#include "tests/support/ExternalTools.h"

#include <gtest/gtest.h>

#include <QDir>

namespace {

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

    for (const QStringList& bad :
         {QStringList{QStringLiteral("kadrimix"), QStringLiteral("a.kmx"), QStringLiteral("b.kmx")},
          QStringList{QStringLiteral("kadrimix"), QStringLiteral("a.avi"), QStringLiteral("b.mp4")},
          QStringList{QStringLiteral("kadrimix"), QStringLiteral("--bogus")}}) {
        line = ParseCommandLine(bad);
        EXPECT_EQ(line.action, CommandLine::Action::Fail) << bad.last().toStdString();
        EXPECT_TRUE(line.text.contains(bad.last().mid(2))) << line.text.toStdString();
    }
}

TEST(CommandLine, HelpAndVersionNeedNoDisplayAndBadOptionsGiveStatusTwo) {
    // No display of any kind: the program must answer without opening one.
    const std::vector<std::string> bare = {
        "env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "-u", "QT_QPA_PLATFORM", kProgram};
    std::vector<std::string> argv = bare;
    argv.push_back("--help");
    std::string out;
    ASSERT_EQ(RunTool(argv, &out), 0);
    EXPECT_EQ(out.rfind("Usage: kadrimix [options] [FILE...]\n", 0), 0u) << out;
    EXPECT_NE(out.find("--version"), std::string::npos) << out;

    // Qt's own options are no bad options, also before --version.
    argv = bare;
    argv.insert(argv.end(), {"-style", "fusion", "--version"});
    out.clear();
    ASSERT_EQ(RunTool(argv, &out), 0);
    EXPECT_EQ(out, "Kadrimix 1.10\n");

    std::string errors;
    out.clear();
    EXPECT_EQ(RunTool({kProgram, "-platform", "offscreen", "--bogus"}, &out, &errors), 2);
    EXPECT_NE(errors.find("bogus"), std::string::npos) << errors;
    EXPECT_TRUE(out.empty());
}

} // namespace
