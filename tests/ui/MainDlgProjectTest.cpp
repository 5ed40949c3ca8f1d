// Project files through the main window: loading and saving every field,
// load failures, files named on the command line, the question at END, and a
// save that fails halfway.
#include "engine/ProjectRecord.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/ui/MainDlgFixtureTest.h"

#include <QComboBox>

#include <filesystem>
#include <fstream>

namespace {

class MainDlgProject : public MainDlgTest {
protected:
    void Save(CMainDlg& dlg, std::optional<std::string> path) { ClickWithFile(dlg, 9, path); }
    void Load(CMainDlg& dlg, std::optional<std::string> path) { ClickWithFile(dlg, 8, path); }

    // A project with every field set, its input an interlaced-looking sample.
    ProjectRecord StoredProject() {
        ProjectRecord stored;
        stored.inputPath = Sample("pal.avi", 720, 576, 2); // would be detected as interlaced
        stored.outputPath = dir.File("out.avi");
        stored.compressorName = "named in the file";
        COMPVARS& cv = stored.compressorSettings;
        cv = kmx::MakeEmptyCompVars();
        cv.dwFlags = ICMF_COMPVARS_VALID;
        cv.fccType = ICTYPE_VIDEO;
        cv.fccHandler = 0x47504A4D; // "MJPG"
        cv.lQ = 3300;
        cv.lKey = 7;
        cv.lDataRate = 500;
        cv.lpState = 0xCAFEBABE; // run state of another process: kept as stored
        // In the file's order: preview, reverse, interlaced, the two mirrors,
        // then the left, right, upper and lower halves.
        stored.checks = {0, 1, 0, 1, 1, 1, 0, 0, 1};
        for (std::size_t i = 0; i < stored.overlays.size(); ++i) {
            ProjectOverlay& o = stored.overlays[i];
            const auto n = static_cast<std::int32_t>(i);
            const std::string path =
                i == 2 ? std::string() : dir.File("overlay" + std::to_string(i) + ".avi");
            // The colour's braces left out: blue n, green 0x80, red 0xFF.
            o = {path, 10 + n, 20 + n, 100 + n, 80 + n, n,     static_cast<std::uint8_t>(n),
                 0x80, 0xFF,   3 * n,  n,       50 + n, 7 * n, n % 2};
        }
        return stored;
    }

    // The window's slots hold the stored overlays (every field: a save gives
    // the same record), and its list names the used ones.
    static void ExpectOverlaysShown(const CMainDlg& dlg, const ProjectRecord& stored) {
        auto* list = qobject_cast<QComboBox*>(dlg.Control(1022));
        for (std::size_t i = 0; i < 10; ++i) {
            const ProjectOverlay& o = stored.overlays[i];
            EXPECT_EQ(dlg.Job().overlays[i].number, static_cast<std::int32_t>(i + 1));
            EXPECT_EQ(dlg.Job().overlays[i].path, o.path) << i;
            EXPECT_EQ(list->itemText(static_cast<int>(i)).endsWith(']'), !o.path.empty()) << i;
        }
    }
};

TEST_F(MainDlgProject, LoadShowsEveryFieldAndSavingWritesTheSameBytes) {
    const ProjectRecord stored = StoredProject();
    const std::string path = dir.File("stored.kmx");
    ASSERT_EQ(WriteProjectFile(path, stored), ProjectFileResult::Ok);

    CMainDlg dlg;
    ChooseInput(dlg, Sample("base.avi", 32, 24, 3)); // modified
    boxes.Answer(MessageResult::No);                 // do not save it first
    Load(dlg, path);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Save actual project?"});
    EXPECT_EQ(dlg.InputName(), stored.inputPath);
    EXPECT_EQ(dlg.OutputName(), stored.outputPath);
    const int ids[] = {1006, 1003, 1012, 1005, 1004, 1021, 1024, 1020, 1023};
    for (std::size_t i = 0; i < 9; ++i) {
        EXPECT_EQ(Checked(dlg, ids[i]), stored.checks[i] != 0) << ids[i];
    }
    EXPECT_EQ(dlg.FrameCount(), 2);
    EXPECT_FALSE(dlg.IsModified());
    EXPECT_EQ(dlg.windowTitle(),
              QStringLiteral("Kadrimix 1.10 [%1]").arg(QString::fromStdString(path)));
    ExpectOverlaysShown(dlg, stored);

    // Saved again, the file is the same byte for byte: every field, the
    // compressor's name and settings among them, was taken.
    const std::string again = dir.File("again.kmx");
    Save(dlg, again);
    EXPECT_EQ(ReadWholeFile(again), ReadWholeFile(path));
    EXPECT_EQ(dlg.ProjectName(), again);
}

TEST_F(MainDlgProject, EveryLoadFailureLeavesTheProjectAsItWas) {
    const std::string input = Sample("base.avi", 32, 24, 3);
    ProjectRecord good;
    good.inputPath = Sample("other.avi", 32, 24, 7);
    const ProjectBytes bytes = EncodeProject(good);
    WriteBytes(dir.File("short.kmx"), std::span(bytes).first(bytes.size() - 1));
    ProjectBytes changed = bytes;
    changed[0] = 0x9D; // 6557
    WriteBytes(dir.File("size.kmx"), changed);
    changed = bytes;
    changed[4] = 101;
    WriteBytes(dir.File("version.kmx"), changed);

    const std::pair<std::string, std::string> cases[] = {
        {dir.File("missing.kmx"), "ERROR File Open:\r\nProject could not be read"},
        {dir.File("short.kmx"), "ERROR File Read:\r\nProject could not be read"},
        {dir.Path().string(), "ERROR File Read:\r\nProject could not be read"}, // a folder
        {dir.File("size.kmx"), "ERROR File Read:\r\nProject file corrupt"},
        {dir.File("version.kmx"), "ERROR File Read:\r\nProject file wrong version"},
    };
    for (const auto& [file, text] : cases) {
        CMainDlg dlg;
        ChooseInput(dlg, input); // modified, with an input
        Button(dlg, 1003)->click();
        const QString title = dlg.windowTitle();
        boxes.shown.clear();
        boxes.Answer(MessageResult::No);
        Load(dlg, file);
        EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"Save actual project?", text})) << file;
        EXPECT_EQ(dlg.ProjectName(), "Unknown") << file;
        EXPECT_EQ(dlg.windowTitle(), title) << file;
        EXPECT_EQ(dlg.InputName(), input) << file;
        EXPECT_EQ(dlg.FrameCount(), 3) << file; // the input stays open
        EXPECT_TRUE(Checked(dlg, 1003)) << file;
    }
}

TEST_F(MainDlgProject, CommandLineFilesLoadAndOpenOnceTheWindowRuns) {
    const ProjectRecord stored = StoredProject();
    const std::string path = dir.File("stored.kmx");
    ASSERT_EQ(WriteProjectFile(path, stored), ProjectFileResult::Ok);
    const std::string video = Sample("other.avi", 32, 24, 4);

    CMainDlg dlg;
    dlg.OpenStartFiles(path, video);
    EXPECT_EQ(dlg.ProjectName(), "Unknown"); // not before the window's loop runs
    QCoreApplication::processEvents();
    ASSERT_TRUE(WaitUntilOpened(dlg));
    EXPECT_EQ(dlg.ProjectName(), path);
    EXPECT_EQ(dlg.OutputName(), stored.outputPath);
    EXPECT_EQ(dlg.InputName(), video); // the video replaces the project's input
    EXPECT_EQ(dlg.FrameCount(), 4);
    EXPECT_TRUE(dlg.IsModified());
    ExpectOverlaysShown(dlg, stored);
    EXPECT_TRUE(fileRequests.empty());
    EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(MainDlgProject, EndAsksBeforeLeavingAModifiedProject) {
    const std::string input = Sample("base.avi", 32, 24, 3);
    const std::string saved = dir.File("at end.kmx");
    for (const MessageResult answer :
         {MessageResult::Cancel, MessageResult::No, MessageResult::Yes}) {
        CMainDlg dlg;
        dlg.show();
        ChooseInput(dlg, input);
        boxes.shown.clear();
        boxes.Answer(answer);
        fileAnswers.push_back(saved); // taken only by the save dialog after Yes
        Button(dlg, 1)->click();
        EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Save actual project?"});
        EXPECT_EQ(dlg.isVisible(), answer == MessageResult::Cancel);
        EXPECT_EQ(std::ifstream(saved).good(), answer == MessageResult::Yes);
        fileAnswers.clear();
    }
    ProjectRecord read;
    ASSERT_EQ(ReadProjectFile(saved, read), ProjectFileResult::Ok);
    EXPECT_EQ(read.inputPath, input);
}

// A save cut short (files may grow to 1000 bytes only) says so, keeps the old
// file whole and leaves no temporary file.
TEST_F(MainDlgProject, WriteThatFailsHalfwayKeepsTheOldFile) {
    CMainDlg dlg;
    ChooseInput(dlg, Sample("base.avi", 32, 24, 3));
    const std::string path = dir.File("project.kmx");
    Save(dlg, path);
    const std::vector<std::uint8_t> old = ReadWholeFile(path);
    ASSERT_EQ(old.size(), 6556u);
    Button(dlg, 1003)->click();
    {
        const FileSizeLimit limit(1000);
        ASSERT_TRUE(limit.active);
        Save(dlg, path);
    }
    EXPECT_EQ(BoxTexts(),
              std::vector<std::string>{"ERROR File Write:\r\nProject could not be written"});
    EXPECT_EQ(ReadWholeFile(path), old);
    EXPECT_TRUE(dlg.IsModified());
    namespace fs = std::filesystem;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 2);
}

} // namespace
