// Choosing, opening and checking the input file; its information; Start
// waiting for both names; dropping a file on the window; interlace detection.
#include "app/LabeledProgress.h"
#include "app/ProgramLanguage.h"
#include "app/SetupDlg.h"
#include "tests/support/ExternalTools.h"
#include "tests/ui/MainDlgFixtureTest.h"
#include "ui/main/FileDialogs.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QRadioButton>
#include <QUrl>

#include <fstream>

namespace {

using MainDlgInput = MainDlgTest;

// Drags a file over the window and drops it; whether the drag was accepted.
bool Drop(CMainDlg& dlg, const std::string& path) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&dlg, &enter);
    QDropEvent event(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&dlg, &event);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dlg.IsOpeningInput(); }, 20000));
    return enter.isAccepted();
}

TEST_F(MainDlgInput, OpensAnInputShowsItsInformationAndStartWaitsForBothNames) {
    const std::string input = Sample("base.avi", 320, 240, 250);
    CMainDlg dlg;
    ChooseOutput(dlg, dir.File("out.avi"));
    EXPECT_FALSE(Enabled(dlg, 3));
    ChooseInput(dlg, input);
    EXPECT_TRUE(BoxTexts().empty());
    EXPECT_EQ(dlg.FrameCount(), 250);
    EXPECT_EQ(Text(dlg, 1009), QStringLiteral("Format: 320 x 240 x 24 (DIB )\nFrames: 250  "
                                              "Frames/sec.: 25.000\nDuration: 10,000\n"
                                              "Scan: unknown"));
    EXPECT_FALSE(Checked(dlg, 1012)); // 240 lines: not interlaced
    for (int id : {3, 1011, 1014, 1022}) {
        EXPECT_TRUE(Enabled(dlg, id)) << id;
    }

    // An input alone is not enough either.
    CMainDlg other;
    ChooseInput(other, input);
    EXPECT_FALSE(Enabled(other, 3));
}

// Cancel without a name is refused; so are a missing file and a paletted
// one, each after a good input, which is closed; the paletted one is still
// described.
TEST_F(MainDlgInput, CancelWithoutANameAMissingFileAndAPalettedOneAreRefused) {
    REQUIRE_TOOL("ffmpeg");
    ASSERT_EQ(WritePalettedAvi(dir.File("pal8.avi"), 25), 0);
    CMainDlg dlg;
    ChooseInput(dlg, std::nullopt);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"no AVI selected"});
    EXPECT_EQ(dlg.InfoText(), "no AVI selected");
    const std::string good = Sample("base.avi", 32, 24, 3);
    const std::pair<std::string, std::string> cases[] = {
        {dir.File("missing.avi"), "ERROR:\r\nOpen AVI file"},
        {dir.File("pal8.avi"), "ERROR: Format not supported\n\r"}};
    for (const auto& [path, text] : cases) {
        ChooseInput(dlg, good);
        ASSERT_EQ(dlg.FrameCount(), 3);
        boxes.shown.clear();
        ChooseInput(dlg, path);
        EXPECT_EQ(BoxTexts(), std::vector<std::string>{text});
        EXPECT_EQ(dlg.InfoText().substr(0, text.size()), text);
        EXPECT_EQ(dlg.FrameCount(), 0);
        for (int id : {3, 1011, 1014, 1022}) {
            EXPECT_FALSE(Enabled(dlg, id)) << id << " " << text;
        }
    }
    EXPECT_EQ(dlg.InfoText().rfind("ERROR: Format not supported\n\rFormat: 64 x 48 x 8 (", 0), 0u)
        << dlg.InfoText();
}

// Opening runs beside the window: the call returns at once with the window
// busy, and of two opens asked for in a row the later one is shown.
TEST_F(MainDlgInput, OpeningLeavesTheWindowFreeAndTheLatestChoiceWins) {
    const std::string first = Sample("first.avi", 64, 48, 5);
    const std::string second = Sample("second.avi", 32, 24, 3);
    CMainDlg dlg;
    const auto* progress = qobject_cast<CLabeledProgress*>(dlg.Control(1002));
    ASSERT_NE(progress, nullptr);
    dlg.OpenInputFile(first);
    EXPECT_TRUE(dlg.IsOpeningInput());
    EXPECT_EQ(progress->ShownText(), QStringLiteral("first.avi …"));
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    EXPECT_FALSE(Enabled(dlg, 1011)); // the slider waits for the frames
    dlg.OpenInputFile(second);
    ASSERT_TRUE(WaitUntilOpened(dlg));
    QCoreApplication::processEvents();
    EXPECT_EQ(dlg.FrameCount(), 3);
    EXPECT_EQ(dlg.InfoText().rfind("Format: 32 x 24 x 24", 0), 0u) << dlg.InfoText();
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(progress->ShownText(), QStringLiteral("0%"));
    EXPECT_TRUE(Enabled(dlg, 1011));
    // The information of the file before goes at once; closing drops an
    // open under way.
    dlg.OpenInputFile(first);
    EXPECT_EQ(dlg.InfoText(), "");
    dlg.CloseInput();
    EXPECT_FALSE(dlg.IsOpeningInput());
    EXPECT_EQ(dlg.FrameCount(), 0);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(MainDlgInput, DroppingAnAviFileMakesItTheInputAndInterlaceFollowsTheHeight) {
    CMainDlg dlg;
    EXPECT_FALSE(Drop(dlg, dir.File("missing.avi")));
    EXPECT_TRUE(dlg.InputName().empty());

    const std::string input = Sample("dropped.avi", 720, 576, 2);
    EXPECT_TRUE(Drop(dlg, input));
    EXPECT_EQ(dlg.InputName(), input);
    EXPECT_EQ(dlg.FrameCount(), 2);
    EXPECT_TRUE(Checked(dlg, 1012)); // 576 lines: interlaced
    EXPECT_TRUE(fileRequests.empty());
    ChooseInput(dlg, Sample("low.avi", 720, 400, 2));
    EXPECT_FALSE(Checked(dlg, 1012));
    // Without detection the box is left as the user set it.
    Button(dlg, 1012)->click();
    dlg.OpenInput(false);
    ASSERT_TRUE(WaitUntilOpened(dlg));
    EXPECT_TRUE(Checked(dlg, 1012));
    EXPECT_TRUE(boxes.shown.empty());

    // A file that declares its scan type is taken at its word, whatever
    // its height.
    REQUIRE_TOOL("ffmpeg");
    for (const bool interlaced : {false, true}) {
        const std::string made = dir.File(interlaced ? "tff.mp4" : "progressive.mp4");
        std::vector<std::string> args = {"ffmpeg",
                                         "-v",
                                         "error",
                                         "-f",
                                         "lavfi",
                                         "-i",
                                         "testsrc2=size=720x576:rate=25",
                                         "-frames:v",
                                         "2",
                                         "-c:v",
                                         "libx264",
                                         "-pix_fmt",
                                         "yuv420p"};
        if (interlaced) {
            args.insert(args.end(), {"-flags", "+ildct+ilme", "-x264-params", "tff=1"});
        }
        args.push_back(made);
        ASSERT_EQ(RunTool(args), 0);
        EXPECT_TRUE(Drop(dlg, made));
        EXPECT_EQ(Checked(dlg, 1012), interlaced) << made;
        EXPECT_TRUE(dlg.InfoText().find(interlaced ? "Scan: interlaced (top field first)"
                                                   : "Scan: progressive") != std::string::npos)
            << dlg.InfoText();
    }
}

TEST_F(MainDlgInput, VideosOfOtherContainersAreOfferedDroppedAndOpened) {
    REQUIRE_TOOL("ffmpeg");
    // 854 pixels wide: rows of 24 bits would need padding, so 32 bits.
    const std::string input = dir.File("phone.mp4");
    ASSERT_EQ(
        RunTool({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", "testsrc2=size=854x120:rate=25",
                 "-frames:v", "6", "-c:v", "libx264", "-pix_fmt", "yuv420p", input}),
        0);
    std::ofstream(dir.File("notes.txt")) << "not a video";
    CMainDlg dlg;
    EXPECT_FALSE(Drop(dlg, dir.File("notes.txt")));
    EXPECT_TRUE(Drop(dlg, input));
    EXPECT_EQ(dlg.InputName(), input);
    EXPECT_EQ(dlg.FrameCount(), 6);
    EXPECT_EQ(dlg.InfoText().rfind("Format: 854 x 120 x 32 (avc1)", 0), 0u) << dlg.InfoText();
    EXPECT_TRUE(BoxTexts().empty());

    // The input dialog offers every video file first.
    ChooseInput(dlg, input);
    ASSERT_EQ(fileRequests.size(), 1u);
    const QStringList offered = QtNameFilters(fileRequests[0].filter).split(QStringLiteral(";;"));
    ASSERT_EQ(offered.size(), 3);
    EXPECT_TRUE(offered[0].startsWith(QStringLiteral("Video files (*.avi *.mp4 ")))
        << offered[0].toStdString();
    EXPECT_TRUE(offered[0].contains(QStringLiteral("*.mkv *.webm"))) << offered[0].toStdString();
    EXPECT_EQ(offered[1], QStringLiteral("AVI files (*.avi)"));
}

TEST_F(MainDlgInput, ALanguageChangeRewritesTheTextsTheWindowBuilt) {
    CMainDlg dlg;
    ChooseInput(dlg, Sample("base.avi", 32, 24, 3));
    ASSERT_NE(dlg.InfoText().find("Duration"), std::string::npos);
    ASSERT_NE(dlg.PositionText().find("Time"), std::string::npos);
    modalAnswer = [](QDialog& setup) {
        setup.findChild<QRadioButton*>(QStringLiteral("control1051"))->setChecked(true);
        setup.accept();
        return int(QDialog::Accepted);
    };
    Button(dlg, 10)->click();
    SetProgramLanguage(2);
    EXPECT_EQ(modalDialogs.back(), "CSetupDlg");
    EXPECT_EQ(Button(dlg, 1003)->text(), QStringLiteral("&Achterstevoren"));
    EXPECT_EQ(dlg.CompressorName(), "geen compressie");
    EXPECT_EQ(dlg.ProjectName(), "Onbekend");
    EXPECT_NE(dlg.InfoText().find("Duur"), std::string::npos) << dlg.InfoText();
    EXPECT_NE(dlg.PositionText().find("Tijd"), std::string::npos) << dlg.PositionText();
    EXPECT_EQ(Text(dlg, 1018).toStdString(), dlg.PositionText());
}

} // namespace
