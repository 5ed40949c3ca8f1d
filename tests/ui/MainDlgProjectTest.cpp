// Project files through the main window: saving and loading every field,
// the question before the project is replaced or left, and every failure.
#include "engine/ProjectRecord.h"
#include "tests/ui/MainDlgFixtureTest.h"
#include "ui/main/CodecChooserDlg.h"

#include <QComboBox>
#include <QSlider>
#include <QTest>

#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/resource.h>

namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t kMjpg = 0x47504A4D; // "MJPG"

class MainDlgProject : public MainDlgTest {
protected:
    static std::vector<std::uint8_t> Bytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
    }
    static void WriteBytes(const std::string& path, const std::uint8_t* data, std::size_t size) {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    void Save(CMainDlg& dlg, std::optional<std::string> path) {
        fileAnswers.push_back(std::move(path));
        Button(dlg, 9)->click();
    }
    void Load(CMainDlg& dlg, std::optional<std::string> path) {
        fileAnswers.push_back(std::move(path));
        Button(dlg, 8)->click();
    }
    // MJPEG at the given quality through the chooser.
    void ChooseMjpeg(CMainDlg& dlg, int percent) {
        modalAnswer = [percent](QDialog& dialog) {
            auto& chooser = dynamic_cast<CCodecChooserDlg&>(dialog);
            for (std::size_t i = 0; i < chooser.Offers().size(); ++i) {
                if (chooser.Offers()[i].fourcc == kMjpg) {
                    qobject_cast<QComboBox*>(chooser.Control(CCodecChooserDlg::kIdCompressorList))
                        ->setCurrentIndex(static_cast<int>(i));
                }
            }
            qobject_cast<QSlider*>(chooser.Control(CCodecChooserDlg::kIdQuality))
                ->setValue(percent);
            return int(QDialog::Accepted);
        };
        Button(dlg, 1014)->click();
        modalAnswer = nullptr;
    }
    static QString Title(const std::string& project, bool modified) {
        return QStringLiteral("Kadrimix 1.10 [%1%2]")
            .arg(QString::fromStdString(project), modified ? QStringLiteral("*") : QString());
    }
    static std::array<bool, 9> Checks(const CMainDlg& dlg) {
        // In the order the file keeps them.
        const int ids[] = {1006, 1003, 1012, 1005, 1004, 1021, 1024, 1020, 1023};
        std::array<bool, 9> states{};
        for (std::size_t i = 0; i < states.size(); ++i) {
            states[i] = Checked(dlg, ids[i]);
        }
        return states;
    }
    static bool SameCompVars(const COMPVARS& a, const COMPVARS& b) {
        return std::memcmp(&a, &b, sizeof a) == 0;
    }
};

TEST_F(MainDlgProject, SaveAndLoadRoundTripThroughTheWindow) {
    const std::string input = Sample("base.avi", 64, 48, 5);
    const std::string output = dir.File("out.avi");
    const std::string project = dir.File("first.kmx");
    CMainDlg dlg;
    ChooseInput(dlg, input);
    ChooseOutput(dlg, output);
    for (int id : {1003, 1004, 1020, 1005, 1024, 1006, 1012}) {
        Button(dlg, id)->click(); // reverse, mirrors with a half each, preview off, interlace on
    }
    ChooseMjpeg(dlg, 60);
    ASSERT_EQ(dlg.CompressorSettings().lQ, 6000);
    const std::array<bool, 9> checks = Checks(dlg);
    const COMPVARS compVars = dlg.CompressorSettings();

    Save(dlg, project);
    ASSERT_EQ(fileRequests.size(), 3u);
    const FileDialogRequest& request = fileRequests[2];
    EXPECT_EQ(request.title, "Save Kadrimix project");
    EXPECT_EQ(request.initialName, "Unknown");
    EXPECT_EQ(request.defaultExtension, "kmx");
    EXPECT_EQ(request.filter, "Kadrimix(*.kmx)|*.kmx||");
    EXPECT_EQ(QtNameFilters(request.filter), QStringLiteral("Kadrimix (*.kmx)"));
    EXPECT_TRUE(request.forSaving);
    EXPECT_TRUE(BoxTexts().empty());
    EXPECT_FALSE(dlg.IsModified());
    EXPECT_EQ(dlg.ProjectName(), project);
    EXPECT_EQ(dlg.windowTitle(), Title(project, false));

    // The file is exactly the record of what the window shows.
    ProjectRecord expected;
    expected.inputPath = input;
    expected.outputPath = output;
    expected.compressorSettings = compVars;
    expected.compressorName = "Motion JPEG (libavcodec mjpeg)";
    expected.checks = {0, 1, 1, 1, 1, 0, 1, 1, 0};
    const ProjectBytes encoded = EncodeProject(expected);
    EXPECT_EQ(Bytes(project), std::vector<std::uint8_t>(encoded.begin(), encoded.end()));

    // Change everything, then load the file again (without saving the changes).
    ChooseOutput(dlg, dir.File("other.avi"));
    for (int id : {1003, 1004, 1006, 1012, 1021}) {
        Button(dlg, id)->click();
    }
    ChooseMjpeg(dlg, 10);
    boxes.Answer(MessageResult::No);
    Load(dlg, project);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Save actual project?"});
    EXPECT_EQ(boxes.shown[0].buttons, MessageButtons::YesNoCancel);
    EXPECT_EQ(boxes.shown[0].icon, MessageIcon::None);
    const FileDialogRequest& open = fileRequests.back();
    EXPECT_EQ(open.title, "Load Kadrimix project");
    EXPECT_FALSE(open.forSaving);
    EXPECT_EQ(open.initialName, project);
    EXPECT_EQ(open.defaultExtension, "kmx");

    EXPECT_EQ(dlg.InputName(), input);
    EXPECT_EQ(dlg.OutputName(), output);
    EXPECT_EQ(Checks(dlg), checks);
    EXPECT_TRUE(SameCompVars(dlg.CompressorSettings(), compVars));
    EXPECT_EQ(dlg.CompressorName(), "Motion JPEG (libavcodec mjpeg)");
    EXPECT_EQ(Text(dlg, 1015), QStringLiteral("Motion JPEG (libavcodec mjpeg)"));
    EXPECT_FALSE(dlg.IsModified());
    EXPECT_EQ(dlg.ProjectName(), project);
    EXPECT_EQ(dlg.windowTitle(), Title(project, false));
    EXPECT_EQ(dlg.FrameCount(), 5); // the input is open again
    EXPECT_TRUE(Enabled(dlg, 3));

    // Saving it again under another name gives the same bytes.
    const std::string second = dir.File("second.kmx");
    Save(dlg, second);
    EXPECT_EQ(Bytes(second), Bytes(project));
}

TEST_F(MainDlgProject, OverlaySlotsAndStoredRecordsComeBackUnchanged) {
    const std::string input = Sample("pal.avi", 720, 576, 2); // would be detected as interlaced
    ProjectRecord stored;
    stored.inputPath = input;
    stored.outputPath = dir.File("out.avi");
    stored.compressorName = "named in the file";
    stored.compressorSettings = kmx::MakeEmptyCompVars();
    stored.compressorSettings.dwFlags = ICMF_COMPVARS_VALID;
    stored.compressorSettings.fccType = ICTYPE_VIDEO;
    stored.compressorSettings.fccHandler = kMjpg;
    stored.compressorSettings.lQ = 3300;
    // Run state of another process: kept as stored, never used.
    stored.compressorSettings.hic = 0x1234;
    stored.compressorSettings.lpbiIn = 0xDEADBEEF;
    stored.compressorSettings.lpState = 0xCAFEBABE;
    stored.compressorSettings.cbState = 77;
    stored.checks = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    for (std::size_t i = 0; i < stored.overlays.size(); ++i) {
        ProjectOverlay& o = stored.overlays[i];
        const auto n = static_cast<std::int32_t>(i);
        o.path = i == 2 ? std::string() : dir.File("overlay" + std::to_string(i + 1) + ".avi");
        o.x = 10 + n;
        o.y = 20 + n;
        o.width = 100 + n;
        o.height = 80 + n;
        o.borderWidth = n;
        o.borderColor = {static_cast<std::uint8_t>(n), 0x80, 0xFF};
        o.crop = 3 * n;
        o.overlayStart = n;
        o.overlayEnd = 50 + n;
        o.baseStart = 7 * n;
        o.noResize = n % 2;
    }
    const std::string path = dir.File("stored.kmx");
    ASSERT_EQ(WriteProjectFile(path, stored), ProjectFileResult::Ok);

    CMainDlg dlg;
    Load(dlg, path);
    EXPECT_TRUE(BoxTexts().empty());
    EXPECT_FALSE(Checked(dlg, 1012)); // as stored, not detected from the height
    EXPECT_EQ(dlg.FrameCount(), 2);
    EXPECT_EQ(dlg.CompressorName(), "named in the file");
    EXPECT_TRUE(SameCompVars(dlg.CompressorSettings(), stored.compressorSettings));

    auto* list = qobject_cast<QComboBox*>(dlg.Control(1022));
    for (std::size_t i = 0; i < 10; ++i) {
        const OverlaySettings& slot = dlg.Job().overlays[i];
        const ProjectOverlay& o = stored.overlays[i];
        EXPECT_EQ(slot.number, static_cast<std::int32_t>(i + 1)); // kept
        EXPECT_EQ(slot.path, o.path);
        EXPECT_EQ(slot.x, o.x);
        EXPECT_EQ(slot.y, o.y);
        EXPECT_EQ(slot.width, o.width);
        EXPECT_EQ(slot.height, o.height);
        EXPECT_EQ(slot.borderWidth, o.borderWidth);
        EXPECT_EQ(slot.borderColor[0], o.borderColor[0]);
        EXPECT_EQ(slot.borderColor[1], o.borderColor[1]);
        EXPECT_EQ(slot.borderColor[2], o.borderColor[2]);
        EXPECT_EQ(slot.borderColor[3], 0);
        EXPECT_EQ(slot.crop, o.crop);
        EXPECT_EQ(slot.overlayStart, o.overlayStart);
        EXPECT_EQ(slot.overlayEnd, o.overlayEnd);
        EXPECT_EQ(slot.baseStart, o.baseStart);
        EXPECT_EQ(slot.noResize, o.noResize);
        const QString entry =
            o.path.empty()
                ? QStringLiteral("Overlay %1").arg(i + 1)
                : QStringLiteral("Overlay %1 [%2]").arg(i + 1).arg(QString::fromStdString(o.path));
        EXPECT_EQ(list->itemText(static_cast<int>(i)), entry);
    }

    // Saved again, the file is the same byte for byte.
    const std::string again = dir.File("again.kmx");
    Save(dlg, again);
    EXPECT_EQ(Bytes(again), Bytes(path));

    // A cancelled choice still names the loaded compressor.
    Button(dlg, 1014)->click(); // the chooser is answered with Cancel
    EXPECT_EQ(modalDialogs.back(), "CCodecChooserDlg");
    EXPECT_EQ(dlg.CompressorName(), "Motion JPEG (libavcodec mjpeg)");
    EXPECT_TRUE(SameCompVars(dlg.CompressorSettings(), stored.compressorSettings));
}

TEST_F(MainDlgProject, LoadedRunStateIsNeverUsed) {
    // A stored compressor record whose handle and pointers are garbage
    // converts like any other.
    CWorkerThread worker(CWorkerThread::Timing{10ms, 100});
    ASSERT_TRUE(worker.StartWorker());
    ProjectRecord stored;
    stored.inputPath = Sample("base.avi", 32, 24, 4);
    stored.outputPath = dir.File("out.avi");
    stored.compressorName = "MJPEG";
    stored.compressorSettings = kmx::MakeEmptyCompVars();
    stored.compressorSettings.fccType = ICTYPE_VIDEO;
    stored.compressorSettings.fccHandler = kMjpg;
    stored.compressorSettings.lQ = 5000;
    stored.compressorSettings.hic = 0xFFFFFFFF;
    stored.compressorSettings.lpbiIn = 0x10;
    stored.compressorSettings.lpbiOut = 0x20;
    stored.compressorSettings.lpBitsOut = 0x30;
    stored.compressorSettings.lpBitsPrev = 0x40;
    stored.compressorSettings.lpState = 0x50;
    stored.compressorSettings.cbState = 0x7FFFFFFF;
    const std::string path = dir.File("p.kmx");
    ASSERT_EQ(WriteProjectFile(path, stored), ProjectFileResult::Ok);

    CMainDlg dlg(worker);
    Load(dlg, path);
    ASSERT_EQ(dlg.FrameCount(), 4);
    Button(dlg, 3)->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg.IsConverting(); }, 20000));
    ASSERT_FALSE(boxes.shown.empty());
    EXPECT_EQ(boxes.shown.back().text.rfind("Converting finished", 0), 0u)
        << boxes.shown.back().text;
}

TEST_F(MainDlgProject, SavingRightAfterStartStoresTheStartState) {
    CMainDlg dlg;
    const std::string path = dir.File("fresh.kmx");
    Save(dlg, path);
    ProjectRecord read;
    ASSERT_EQ(ReadProjectFile(path, read), ProjectFileResult::Ok);
    EXPECT_EQ(read.compressorName, "no compression");
    COMPVARS empty{};
    empty.cbSize = 64;
    EXPECT_TRUE(SameCompVars(read.compressorSettings, empty));
    EXPECT_EQ(read.checks, (std::array<std::int32_t, 9>{1, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(read.inputPath.empty());
    EXPECT_EQ(dlg.windowTitle(), Title(path, false));
}

TEST_F(MainDlgProject, EveryLoadFailureLeavesTheProjectAsItWas) {
    const std::string input = Sample("base.avi", 32, 24, 3);
    ProjectRecord good;
    good.inputPath = Sample("other.avi", 32, 24, 7);
    const ProjectBytes bytes = EncodeProject(good);

    const std::string shortFile = dir.File("short.kmx");
    WriteBytes(shortFile, bytes.data(), bytes.size() - 1);
    ProjectBytes wrongSize = bytes;
    wrongSize[0] = 0x9D; // 6557
    const std::string wrongSizeFile = dir.File("size.kmx");
    WriteBytes(wrongSizeFile, wrongSize.data(), wrongSize.size());
    ProjectBytes wrongVersion = bytes;
    wrongVersion[4] = 101;
    const std::string wrongVersionFile = dir.File("version.kmx");
    WriteBytes(wrongVersionFile, wrongVersion.data(), wrongVersion.size());

    const std::pair<std::string, std::string> cases[] = {
        {dir.File("missing.kmx"), "ERROR File Open:\r\nProject could not be read"},
        {shortFile, "ERROR File Read:\r\nProject could not be read"},
        {dir.Path().string(), "ERROR File Read:\r\nProject could not be read"}, // a folder
        {wrongSizeFile, "ERROR File Read:\r\nProject file corrupt"},
        {wrongVersionFile, "ERROR File Read:\r\nProject file wrong version"},
    };
    for (const auto& [file, text] : cases) {
        CMainDlg dlg;
        ChooseInput(dlg, input); // modified, with an input
        Button(dlg, 1003)->click();
        const QString title = dlg.windowTitle();
        boxes.shown.clear();
        boxes.Answer(MessageResult::No); // do not save first
        Load(dlg, file);
        ASSERT_EQ(boxes.shown.size(), 2u) << file;
        EXPECT_EQ(boxes.shown[1].text, text) << file;
        EXPECT_EQ(boxes.shown[1].buttons, MessageButtons::Ok);
        EXPECT_EQ(boxes.shown[1].icon, MessageIcon::None);
        EXPECT_EQ(dlg.ProjectName(), "Unknown") << file;
        EXPECT_TRUE(dlg.IsModified()) << file;
        EXPECT_EQ(dlg.windowTitle(), title) << file;
        EXPECT_EQ(dlg.InputName(), input) << file;
        EXPECT_EQ(dlg.FrameCount(), 3) << file; // the input stays open
        EXPECT_TRUE(Checked(dlg, 1003)) << file;
    }

    // One byte more than the record still loads.
    std::vector<std::uint8_t> longer(bytes.begin(), bytes.end());
    longer.push_back(0x55);
    const std::string longFile = dir.File("long.kmx");
    WriteBytes(longFile, longer.data(), longer.size());
    boxes.shown.clear();
    CMainDlg dlg;
    Load(dlg, longFile);
    EXPECT_TRUE(BoxTexts().empty());
    EXPECT_EQ(dlg.FrameCount(), 7);
    EXPECT_EQ(dlg.ProjectName(), longFile);
}

TEST_F(MainDlgProject, CancelledDialogsChangeNothing) {
    CMainDlg dlg;
    ChooseInput(dlg, Sample("base.avi", 32, 24, 3));
    Save(dlg, std::nullopt);
    EXPECT_EQ(dlg.ProjectName(), "Unknown");
    EXPECT_TRUE(dlg.IsModified());
    boxes.Answer(MessageResult::Cancel);
    const std::size_t requests = fileRequests.size();
    Load(dlg, dir.File("never.kmx"));
    EXPECT_EQ(fileRequests.size(), requests); // Cancel in the question: no dialog
    boxes.Answer(MessageResult::No);
    Load(dlg, std::nullopt);
    EXPECT_EQ(fileRequests.size(), requests + 1);
    EXPECT_EQ(dlg.FrameCount(), 3);
    EXPECT_TRUE(dlg.IsModified());
    fileAnswers.clear();
}

TEST_F(MainDlgProject, EndAsksBeforeLeavingAModifiedProject) {
    const std::string input = Sample("base.avi", 32, 24, 3);
    // Cancel: the window stays open.
    {
        CMainDlg dlg;
        dlg.show();
        ChooseInput(dlg, input);
        boxes.Answer(MessageResult::Cancel);
        Button(dlg, 1)->click();
        EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Save actual project?"});
        EXPECT_TRUE(dlg.isVisible());
        // The close box and Escape ask the same; Cancel keeps the window.
        boxes.Answer(MessageResult::Cancel);
        dlg.close();
        EXPECT_TRUE(dlg.isVisible());
        boxes.Answer(MessageResult::Cancel);
        QTest::keyClick(&dlg, Qt::Key_Escape);
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_EQ(boxes.shown.size(), 3u);
        boxes.Answer(MessageResult::No);
        dlg.close();
        EXPECT_FALSE(dlg.isVisible());
    }
    // No: closes without saving.
    boxes.shown.clear();
    fileRequests.clear();
    {
        CMainDlg dlg;
        dlg.show();
        ChooseInput(dlg, input);
        boxes.Answer(MessageResult::No);
        Button(dlg, 1)->click();
        EXPECT_FALSE(dlg.isVisible());
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
        EXPECT_EQ(fileRequests.size(), 1u); // only the input's
    }
    // Yes: saves through the save dialog, then closes.
    boxes.shown.clear();
    fileRequests.clear();
    {
        CMainDlg dlg;
        dlg.show();
        ChooseInput(dlg, input);
        boxes.Answer(MessageResult::Yes);
        fileAnswers.push_back(dir.File("at end.kmx"));
        Button(dlg, 1)->click();
        EXPECT_FALSE(dlg.isVisible());
        ASSERT_EQ(fileRequests.size(), 2u);
        EXPECT_EQ(fileRequests[1].title, "Save Kadrimix project");
        ProjectRecord read;
        ASSERT_EQ(ReadProjectFile(dir.File("at end.kmx"), read), ProjectFileResult::Ok);
        EXPECT_EQ(read.inputPath, input);
    }
}

TEST_F(MainDlgProject, NoQuestionWithoutChangesOrWithoutFiles) {
    {
        CMainDlg dlg;
        dlg.show();
        ChooseInput(dlg, Sample("base.avi", 32, 24, 3));
        Save(dlg, dir.File("saved.kmx")); // not modified any more
        Button(dlg, 1)->click();
        EXPECT_FALSE(dlg.isVisible());
    }
    {
        CMainDlg dlg;
        dlg.show();
        for (int id : {1003, 1004, 1005, 1006, 1012}) {
            Button(dlg, id)->click(); // modified, but no input or output named
        }
        ASSERT_TRUE(dlg.IsModified());
        QTest::keyClick(&dlg, Qt::Key_Escape);
        EXPECT_FALSE(dlg.isVisible());
    }
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(MainDlgProject, FailedSavesReportAndKeepTheModifiedMark) {
    CMainDlg dlg;
    ChooseInput(dlg, Sample("base.avi", 32, 24, 3));

    // The target is a folder: written beside it, but it cannot be replaced.
    const std::string folder = dir.File("folder.kmx");
    std::filesystem::create_directory(folder);
    Save(dlg, folder);
    EXPECT_EQ(BoxTexts(),
              std::vector<std::string>{"ERROR File Write:\r\nProject could not be written"});
    EXPECT_EQ(dlg.ProjectName(), folder); // the name is taken at once
    EXPECT_TRUE(dlg.IsModified());
    EXPECT_EQ(dlg.windowTitle(), Title(folder, true));
    EXPECT_TRUE(std::filesystem::is_directory(folder));

    // The folder does not exist.
    boxes.shown.clear();
    const std::string nowhere = dir.File("no such folder/p.kmx");
    Save(dlg, nowhere);
    EXPECT_EQ(BoxTexts(),
              std::vector<std::string>{"ERROR File Open:\r\nProject could not be written"});
    EXPECT_EQ(dlg.ProjectName(), nowhere);
    EXPECT_TRUE(dlg.IsModified());

    // Nothing but the folder was left behind.
    std::size_t entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        entries += entry.path().extension() == ".avi" ? 0 : 1;
    }
    EXPECT_EQ(entries, 1u);
}

TEST_F(MainDlgProject, WriteThatFailsHalfwayKeepsTheOldFile) {
    CMainDlg dlg;
    ChooseInput(dlg, Sample("base.avi", 32, 24, 3));
    const std::string path = dir.File("project.kmx");
    Save(dlg, path);
    ASSERT_TRUE(BoxTexts().empty());
    const std::vector<std::uint8_t> old = Bytes(path);
    ASSERT_EQ(old.size(), 6556u);

    // Files may grow to 1000 bytes only: the new record is cut short.
    Button(dlg, 1003)->click();
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 1000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    Save(dlg, path);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(BoxTexts(),
              std::vector<std::string>{"ERROR File Write:\r\nProject could not be written"});
    EXPECT_EQ(Bytes(path), old);
    EXPECT_TRUE(dlg.IsModified());
    std::size_t projects = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        projects += entry.path().extension() == ".avi" ? 0 : 1;
    }
    EXPECT_EQ(projects, 1u); // no temporary file left

    // With room again the same save succeeds.
    boxes.shown.clear();
    Save(dlg, path);
    EXPECT_TRUE(BoxTexts().empty());
    EXPECT_FALSE(dlg.IsModified());
    EXPECT_NE(Bytes(path), old);
}

} // namespace
