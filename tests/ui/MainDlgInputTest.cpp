// Choosing, opening and checking the input file; its information; Start
// waiting for both names; dropping a file on the window; interlace detection.
#include "tests/support/ExternalTools.h"
#include "tests/ui/MainDlgFixtureTest.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

namespace {

using MainDlgInput = MainDlgTest;

TEST_F(MainDlgInput, OpensAnInputShowsItsInformationAndStartWaitsForBothNames) {
    const std::string input = Sample("base.avi", 320, 240, 250);
    CMainDlg dlg;
    ChooseOutput(dlg, dir.File("out.avi"));
    EXPECT_FALSE(Enabled(dlg, 3));
    ChooseInput(dlg, input);
    EXPECT_TRUE(BoxTexts().empty());
    EXPECT_EQ(dlg.FrameCount(), 250);
    EXPECT_EQ(dlg.InfoText(), "Format: 320 x 240 x 24 (DIB )\r\nFrames: 250  Frames/sec.: "
                              "25.000\r\nDuration: 10,000");
    EXPECT_EQ(Text(dlg, 1009), QStringLiteral("Format: 320 x 240 x 24 (DIB )\nFrames: 250  "
                                              "Frames/sec.: 25.000\nDuration: 10,000"));
    EXPECT_FALSE(Checked(dlg, 1012)); // 240 lines: not interlaced
    EXPECT_TRUE(Enabled(dlg, 3));
    for (int id : {1011, 1014, 1022}) {
        EXPECT_TRUE(Enabled(dlg, id)) << id;
    }

    // An input alone is not enough either.
    CMainDlg other;
    ChooseInput(other, input);
    EXPECT_FALSE(Enabled(other, 3));
}

TEST_F(MainDlgInput, CancelWithoutANameAndAMissingFileAreRefused) {
    CMainDlg dlg;
    ChooseInput(dlg, std::nullopt);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"no AVI selected"});
    EXPECT_EQ(dlg.InfoText(), "no AVI selected");

    boxes.shown.clear();
    ChooseInput(dlg, Sample("base.avi", 32, 24, 3));
    ASSERT_EQ(dlg.FrameCount(), 3);
    ChooseInput(dlg, dir.File("missing.avi"));
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"ERROR:\r\nOpen AVI file"});
    EXPECT_EQ(dlg.InfoText(), "ERROR:\r\nOpen AVI file");
    EXPECT_EQ(dlg.FrameCount(), 0);
    for (int id : {3, 1011, 1014, 1022}) {
        EXPECT_FALSE(Enabled(dlg, id)) << id;
    }
}

TEST_F(MainDlgInput, PalettedInputIsRefusedButDescribed) {
    REQUIRE_TOOL("ffmpeg");
    const std::string input = dir.File("pal8.avi");
    ASSERT_EQ(WritePalettedAvi(input, 25), 0);
    CMainDlg dlg;
    ChooseInput(dlg, input);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"ERROR: Format not supported\n\r"});
    EXPECT_EQ(dlg.InfoText().rfind("ERROR: Format not supported\n\rFormat: 64 x 48 x 8 (", 0), 0u)
        << dlg.InfoText();
    EXPECT_EQ(dlg.FrameCount(), 0);
    EXPECT_FALSE(Enabled(dlg, 1014));
}

TEST_F(MainDlgInput, DroppingAnAviFileMakesItTheInputAndInterlaceFollowsTheHeight) {
    CMainDlg dlg;
    const auto drop = [&dlg](const std::string& path) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QCoreApplication::sendEvent(&dlg, &enter);
        QDropEvent event(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&dlg, &event);
        return enter.isAccepted();
    };
    EXPECT_FALSE(drop(dir.File("missing.avi")));
    EXPECT_TRUE(dlg.InputName().empty());

    const std::string input = Sample("dropped.avi", 720, 576, 2);
    EXPECT_TRUE(drop(input));
    EXPECT_EQ(dlg.InputName(), input);
    EXPECT_EQ(dlg.FrameCount(), 2);
    EXPECT_TRUE(Checked(dlg, 1012)); // 576 lines: interlaced
    EXPECT_TRUE(fileRequests.empty());
    ChooseInput(dlg, Sample("low.avi", 720, 400, 2));
    EXPECT_FALSE(Checked(dlg, 1012));
    // Without detection the box is left as the user set it.
    Button(dlg, 1012)->click();
    dlg.OpenInput(false);
    EXPECT_TRUE(Checked(dlg, 1012));
    EXPECT_TRUE(boxes.shown.empty());
}

} // namespace
