// What `cmake --install` puts on a machine: exactly the expected files, each
// accepted by the tool that judges its kind; project files and the input's
// video types lead to the program; the manual pages name every command and
// option the programs' help texts name.
#include "engine/ProjectRecord.h"
#include "tests/support/ExternalTools.h"
#include "tests/support/TempDir.h"
#include "ui/overlay/VideoFileTypes.h"

#include <gtest/gtest.h>

#include <QImageReader>
#include <QMimeDatabase>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>

namespace {

namespace fs = std::filesystem;

const std::string kId = "org.quelmark.Kadrimix";

class InstallTree : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        prefix_ = new TempDir;
        status_ = RunTool(
            {KADRIMIX_CMAKE, "--install", KADRIMIX_BUILD_DIR, "--prefix", prefix_->Path().string()},
            nullptr, &errors_);
    }
    static void TearDownTestSuite() {
        delete prefix_;
        prefix_ = nullptr;
    }
    void SetUp() override { ASSERT_EQ(status_, 0) << errors_; }

    static std::string Installed(const std::string& relative) {
        return (prefix_->Path() / relative).string();
    }
    // The text a manual page shows, in lines long enough never to be broken
    // (so never hyphenated).
    static std::string ManText(const std::string& page) {
        std::string roff;
        std::string text;
        std::string warnings;
        EXPECT_EQ(RunTool({"gzip", "-dc", Installed("share/man/man1/" + page + ".1.gz")}, &roff),
                  0);
        const std::string plain = prefix_->File(page + ".1");
        std::ofstream(plain) << roff;
        EXPECT_EQ(RunTool({"groff", "-man", "-Tascii", "-P-cbou", "-rLL=1000n", "-ww", plain},
                          &text, &warnings),
                  0);
        EXPECT_EQ(warnings, "") << page;
        return text;
    }

    static TempDir* prefix_;
    static int status_;
    static std::string errors_;
};

TempDir* InstallTree::prefix_ = nullptr;
int InstallTree::status_ = -1;
std::string InstallTree::errors_;

TEST_F(InstallTree, HoldsExactlyTheProgramsAndDesktopFilesEachValid) {
    std::set<std::string> files;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(prefix_->Path())) {
        if (!entry.is_directory()) {
            files.insert(fs::relative(entry.path(), prefix_->Path()).string());
        }
    }
    const std::set<std::string> expected = {
        "bin/kadrimix",
        "bin/kadrimix-cli",
        "share/applications/" + kId + ".desktop",
        "share/metainfo/" + kId + ".metainfo.xml",
        "share/mime/packages/" + kId + ".xml",
        "share/icons/hicolor/scalable/apps/" + kId + ".svg",
        "share/icons/hicolor/48x48/apps/" + kId + ".png",
        "share/icons/hicolor/128x128/apps/" + kId + ".png",
        "share/icons/hicolor/256x256/apps/" + kId + ".png",
        "share/man/man1/kadrimix.1.gz",
        "share/man/man1/kadrimix-cli.1.gz",
        "share/bash-completion/completions/kadrimix-cli",
        "share/zsh/vendor-completions/_kadrimix-cli",
        "share/fish/vendor_completions.d/kadrimix-cli.fish",
    };
    EXPECT_EQ(files, expected);

    for (int size : {48, 128, 256}) {
        const std::string dim = std::to_string(size);
        QImageReader png(QString::fromStdString(
            Installed("share/icons/hicolor/" + dim + "x" + dim + "/apps/" + kId + ".png")));
        EXPECT_EQ(png.format(), "png");
        EXPECT_EQ(png.size(), QSize(size, size));
    }
    REQUIRE_TOOL("desktop-file-validate");
    REQUIRE_TOOL("appstreamcli");
    REQUIRE_TOOL("xmllint");
    const std::vector<std::vector<std::string>> checks = {
        {"desktop-file-validate", Installed("share/applications/" + kId + ".desktop")},
        {"appstreamcli", "validate", "--no-net", "--pedantic",
         Installed("share/metainfo/" + kId + ".metainfo.xml")},
        {"xmllint", "--noout", Installed("share/mime/packages/" + kId + ".xml")},
        {"xmllint", "--noout", Installed("share/icons/hicolor/scalable/apps/" + kId + ".svg")}};
    for (const std::vector<std::string>& check : checks) {
        std::string report;
        EXPECT_EQ(RunTool(check, &report, &report), 0) << check.back() << ": " << report;
    }
}

TEST_F(InstallTree, ProjectFilesAndTheInputsVideoTypesLeadToTheProgram) {
    // Qt reads shared-mime-info's packages from the data folders named here:
    // the installed one first, then the machine's.
    qputenv("XDG_DATA_DIRS", QByteArray::fromStdString(Installed("share")) + ":/usr/share");
    const QMimeDatabase mime;
    const std::string kmx = "application/x-kadrimix-project";

    // By its first eight bytes, whatever the name.
    const auto typeOf = [&mime](const ProjectBytes& bytes) {
        const std::string path = prefix_->File("project.dat");
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        return mime.mimeTypeForFile(QString::fromStdString(path), QMimeDatabase::MatchContent)
            .name()
            .toStdString();
    };
    ProjectRecord project;
    project.inputPath = "/videos/in.avi";
    ProjectBytes bytes = EncodeProject(project);
    EXPECT_EQ(typeOf(bytes), kmx);
    bytes[4] = 101; // another version
    EXPECT_NE(typeOf(bytes), kmx);
    EXPECT_EQ(mime.mimeTypeForFile(QStringLiteral("holiday.kmx"), QMimeDatabase::MatchExtension)
                  .name()
                  .toStdString(),
              kmx);

    // The desktop entry offers the program for every kind of file the input
    // accepts (for a name that several types claim, such as *.ts, one of them).
    std::ifstream desktop(Installed("share/applications/" + kId + ".desktop"));
    QStringList offered;
    for (std::string line; std::getline(desktop, line);) {
        if (line.starts_with("MimeType=")) {
            offered = QString::fromStdString(line.substr(9)).split(';', Qt::SkipEmptyParts);
        }
    }
    EXPECT_TRUE(offered.contains(QString::fromStdString(kmx)));
    for (const QString& suffix : VideoFileSuffixes()) {
        bool found = false;
        for (const QMimeType& type : mime.mimeTypesForFileName(QStringLiteral("clip.") + suffix)) {
            found = found || offered.contains(type.name());
            for (const QString& alias : type.aliases()) {
                found = found || offered.contains(alias);
            }
        }
        EXPECT_TRUE(found) << suffix.toStdString();
    }
}

TEST_F(InstallTree, ManualPagesNameEveryCommandAndOptionOfTheHelpTexts) {
    const std::regex option("(^|[\\s\\[,])(--?[a-z][a-z-]*)");
    const auto expectAllIn = [&option](const std::string& help, const std::string& page,
                                       const std::string& from) {
        int options = 0;
        for (auto it = std::sregex_iterator(help.begin(), help.end(), option);
             it != std::sregex_iterator(); ++it, ++options) {
            const std::string name = (*it)[2].str();
            EXPECT_NE(page.find(name), std::string::npos) << name << " (" << from << ")";
        }
        return options;
    };
    const std::string cliPage = ManText("kadrimix-cli");
    const std::string cli = Installed("bin/kadrimix-cli");
    // The installed programs run and answer --help.
    std::string help;
    ASSERT_EQ(RunTool({cli, "--help"}, &help), 0);
    EXPECT_GT(expectAllIn(help, cliPage, "kadrimix-cli --help"), 0);
    for (const char* command : {"convert", "info", "codecs", "sample", "demo", "selfcheck"}) {
        EXPECT_NE(cliPage.find(command), std::string::npos) << command;
        std::string commandHelp;
        EXPECT_EQ(RunTool({cli, command, "--help"}, &commandHelp), 0) << command;
        expectAllIn(commandHelp, cliPage, command);
    }
    for (const char* section : {"EXIT STATUS", "FILES", "EXAMPLES", "130"}) {
        EXPECT_NE(cliPage.find(section), std::string::npos) << section;
    }

    const std::string guiPage = ManText("kadrimix");
    help.clear();
    ASSERT_EQ(RunTool({Installed("bin/kadrimix"), "--help"}, &help), 0);
    EXPECT_GT(expectAllIn(help, guiPage, "kadrimix --help"), 0);
    for (const char* section : {"EXIT STATUS", "FILES", "EXAMPLES", "kadrimix.conf", ".kmx"}) {
        EXPECT_NE(guiPage.find(section), std::string::npos) << section;
    }
}

} // namespace
