// Choosing, opening and checking the input and output files; the file
// information; dropping a file on the window.
#include "tests/support/ExternalTools.h"
#include "tests/ui/MainDlgFixtureTest.h"
#include "ui/main/BitmapButton.h"
#include "ui/main/InputInfo.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QSlider>
#include <QUrl>

#include <cstdint>
#include <fstream>

namespace {

using MainDlgInput = MainDlgTest;

TEST_F(MainDlgInput, OpensAnInputAndShowsItsInformation) {
    const std::string input = Sample("base.avi", 320, 240, 250);
    CMainDlg dlg;
    ChooseInput(dlg, input);

    ASSERT_EQ(fileRequests.size(), 1u);
    EXPECT_EQ(fileRequests[0].title, "Select input AVI");
    EXPECT_FALSE(fileRequests[0].forSaving);
    EXPECT_EQ(fileRequests[0].defaultExtension, "avi");
    EXPECT_EQ(fileRequests[0].initialName, "");

    EXPECT_TRUE(BoxTexts().empty());
    EXPECT_EQ(dlg.FrameCount(), 250);
    EXPECT_EQ(dlg.InputName(), input);
    EXPECT_EQ(dlg.InfoText(), "Format: 320 x 240 x 24 (DIB )\r\nFrames: 250  Frames/sec.: "
                              "25.000\r\nDuration: 10,000");
    EXPECT_EQ(Text(dlg, 1009), QStringLiteral("Format: 320 x 240 x 24 (DIB )\nFrames: 250  "
                                              "Frames/sec.: 25.000\nDuration: 10,000"));
    EXPECT_EQ(Text(dlg, 1007), QString::fromStdString(input));
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Kadrimix 1.10 [Unknown*]"));
    EXPECT_FALSE(Checked(dlg, 1012)); // 240 lines: not interlaced

    // Ready: slider, Codec and overlay list enabled; Start waits for an output.
    for (int id : {1011, 1014, 1022}) {
        EXPECT_TRUE(Enabled(dlg, id)) << id;
    }
    EXPECT_FALSE(Enabled(dlg, 3));
    EXPECT_FALSE(Enabled(dlg, 4));
    auto* slider = qobject_cast<QSlider*>(dlg.Control(1011));
    EXPECT_EQ(slider->maximum(), 250);
    EXPECT_EQ(slider->value(), 1);
    auto* play = qobject_cast<CBitmapButton*>(dlg.Control(1013));
    EXPECT_EQ(play->BitmapIds(), (std::array<int, 4>{133, 138, 133, 133}));
    EXPECT_EQ(dlg.CurrentFrame(), 1);
    EXPECT_EQ(dlg.PositionText(), "Frame: 1/250  Time: 0,000");

    // Choosing the output enables Start without opening anything.
    const std::string output = dir.File("out.avi");
    ChooseOutput(dlg, output);
    ASSERT_EQ(fileRequests.size(), 2u);
    EXPECT_EQ(fileRequests[1].title, "Select output AVI");
    EXPECT_TRUE(fileRequests[1].forSaving);
    EXPECT_EQ(dlg.OutputName(), output);
    EXPECT_EQ(Text(dlg, 1008), QString::fromStdString(output));
    EXPECT_TRUE(Enabled(dlg, 3));
    EXPECT_FALSE(std::ifstream(output).good());

    // The next dialog starts from the current names.
    ChooseInput(dlg, std::nullopt);
    EXPECT_EQ(fileRequests[2].initialName, input);
}

TEST_F(MainDlgInput, OutputAloneDoesNotEnableStart) {
    CMainDlg dlg;
    ChooseOutput(dlg, dir.File("out.avi"));
    EXPECT_FALSE(Enabled(dlg, 3));
    ChooseInput(dlg, Sample("base.avi", 32, 24, 3));
    EXPECT_TRUE(Enabled(dlg, 3));
}

TEST_F(MainDlgInput, CancelledOutputDialogKeepsTheName) {
    CMainDlg dlg;
    ChooseOutput(dlg, dir.File("out.avi"));
    ChooseOutput(dlg, std::nullopt);
    EXPECT_EQ(dlg.OutputName(), dir.File("out.avi"));
}

TEST_F(MainDlgInput, DetectsInterlaceFromTheHeight) {
    const std::string pal = Sample("pal.avi", 720, 576, 2);
    const std::string low = Sample("low.avi", 720, 400, 2);
    CMainDlg dlg;
    ChooseInput(dlg, pal);
    EXPECT_TRUE(Checked(dlg, 1012));
    ChooseInput(dlg, low);
    EXPECT_FALSE(Checked(dlg, 1012));

    // Without detection the box is left as the user set it.
    Button(dlg, 1012)->click();
    dlg.OpenInput(false);
    EXPECT_TRUE(Checked(dlg, 1012));
    EXPECT_EQ(dlg.FrameCount(), 2);

    // Cancelling the dialog re-opens the current input and detects again.
    ChooseInput(dlg, std::nullopt);
    EXPECT_FALSE(Checked(dlg, 1012));
    EXPECT_EQ(dlg.FrameCount(), 2);
    EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(MainDlgInput, CancelWithoutAnInputSaysSo) {
    CMainDlg dlg;
    ChooseInput(dlg, std::nullopt);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"no AVI selected"});
    EXPECT_EQ(boxes.shown[0].icon, MessageIcon::None);
    EXPECT_EQ(boxes.shown[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(dlg.InfoText(), "no AVI selected");
    EXPECT_EQ(Text(dlg, 1009), QStringLiteral("no AVI selected"));
    EXPECT_EQ(dlg.FrameCount(), 0);
    EXPECT_FALSE(dlg.IsModified());
}

TEST_F(MainDlgInput, MissingFileIsRefused) {
    CMainDlg dlg;
    ChooseInput(dlg, Sample("base.avi", 32, 24, 3));
    ASSERT_EQ(dlg.FrameCount(), 3);
    ChooseInput(dlg, dir.File("missing.avi"));
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"ERROR:\r\nOpen AVI file"});
    EXPECT_EQ(dlg.InfoText(), "ERROR:\r\nOpen AVI file");
    EXPECT_EQ(Text(dlg, 1009), QStringLiteral("ERROR:\nOpen AVI file"));
    EXPECT_EQ(dlg.FrameCount(), 0);
    EXPECT_EQ(dlg.InputName(), dir.File("missing.avi")); // the name stays
    for (int id : {3, 1011, 1014, 1022}) {
        EXPECT_FALSE(Enabled(dlg, id)) << id;
    }
    const QImage picture = dlg.PreviewWindow()->grab().toImage();
    EXPECT_EQ(picture.pixel(100, 100), qRgb(0, 0, 255));
}

TEST_F(MainDlgInput, OpeningErrorsAreShownWithTheNormalCursor) {
    class CursorAtBox final : public IMessageBoxService {
    public:
        MessageResult Show(const std::string&, MessageButtons, MessageIcon) override {
            const QCursor* cursor = QGuiApplication::overrideCursor();
            shapes.push_back(cursor != nullptr ? cursor->shape() : Qt::BlankCursor);
            return MessageResult::Ok;
        }
        std::vector<Qt::CursorShape> shapes;
    } recorder;
    CMainDlg dlg;
    SetMessageBoxService(&recorder);
    ChooseInput(dlg, dir.File("missing.avi"));
    SetMessageBoxService(&boxes);
    EXPECT_EQ(recorder.shapes, std::vector<Qt::CursorShape>{Qt::ArrowCursor});
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr); // the wait cursor is gone too
}

TEST_F(MainDlgInput, NotAnAviIsRefused) {
    const std::string junk = dir.File("junk.avi");
    std::ofstream(junk) << "RIFF but not really an AVI file at all";
    CMainDlg dlg;
    ChooseInput(dlg, junk);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(dlg.FrameCount(), 0);
    EXPECT_EQ(dlg.InfoText(), boxes.shown[0].text);
}

TEST_F(MainDlgInput, PalettedInputIsRefusedButDescribed) {
    REQUIRE_TOOL("ffmpeg");
    const std::string input = dir.File("pal8.avi");
    ASSERT_EQ(
        RunTool({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=64x48:rate=25",
                 "-frames:v", "5", "-pix_fmt", "pal8", "-c:v", "rawvideo", input}),
        0);
    CMainDlg dlg;
    ChooseInput(dlg, input);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"ERROR: Format not supported\n\r"});
    EXPECT_EQ(dlg.InfoText().rfind("ERROR: Format not supported\n\rFormat: 64 x 48 x 8 (", 0), 0u)
        << dlg.InfoText();
    EXPECT_NE(dlg.InfoText().find("Frames: 5  Frames/sec.: 25.000"), std::string::npos);
    EXPECT_TRUE(Text(dlg, 1009).startsWith(QStringLiteral("ERROR: Format not supported\nFormat:")));
    EXPECT_EQ(dlg.FrameCount(), 0);
    EXPECT_FALSE(Enabled(dlg, 1014));
}

TEST_F(MainDlgInput, DroppingAnAviFileMakesItTheInput) {
    const std::string input = Sample("dropped.avi", 720, 576, 2);
    CMainDlg dlg;
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(input))});

    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&dlg, &enter);
    EXPECT_TRUE(enter.isAccepted());

    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&dlg, &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(dlg.InputName(), input);
    EXPECT_EQ(dlg.FrameCount(), 2);
    EXPECT_TRUE(Checked(dlg, 1012));
    EXPECT_TRUE(dlg.IsModified());
    EXPECT_TRUE(fileRequests.empty());
}

TEST_F(MainDlgInput, OnlyExistingAviFilesCanBeDropped) {
    const std::string text = dir.File("notes.txt");
    std::ofstream(text) << "x";
    CMainDlg dlg;
    for (const std::string& path : {text, dir.File("missing.avi")}) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QCoreApplication::sendEvent(&dlg, &enter);
        EXPECT_FALSE(enter.isAccepted()) << path;
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&dlg, &drop);
        EXPECT_TRUE(dlg.InputName().empty()) << path;
    }
    EXPECT_TRUE(boxes.shown.empty());
}

TEST(InputInfoText, BrokenHeaderValuesStillGiveText) {
    TextCatalog().Init(2);
    AVISTREAMINFOA info{};
    info.rcFrame = {0, 0, 320, 240};
    info.dwRate = 30000;
    info.dwScale = 1001;
    InputInfoLines lines = MakeInputInfoLines(info, "?", 10);
    EXPECT_EQ(lines.format, "Format: 320 x 240 x ? (----)"); // fccHandler 0
    EXPECT_EQ(lines.frames, "\r\nFrames: 10  Frames/sec.: 29.970");
    EXPECT_EQ(lines.duration, "\r\nDuration: 0,333");

    // Extreme rectangles do not overflow; a zero scale or rate gives no crash.
    info.rcFrame = {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
    info.dwScale = 0;
    info.dwRate = 0;
    lines = MakeInputInfoLines(info, "24", 10);
    EXPECT_EQ(lines.format, "Format: 4294967295 x 4294967295 x 24 (----)");
    EXPECT_EQ(lines.duration, "\r\nDuration: ---");
    EXPECT_TRUE(LooksInterlaced(StreamFrameHeight(info)));
}

TEST(InputInfoText, OnlyDirectColourFramesAreSupported) {
    BITMAPINFOHEADER header{};
    for (int bits : {1, 4, 8, 15, 16, 24, 32, 48}) {
        header.biBitCount = static_cast<std::uint16_t>(bits);
        EXPECT_EQ(IsSupportedInputFormat(header), bits == 16 || bits == 24 || bits == 32) << bits;
    }
    header.biBitCount = 24;
    header.biClrUsed = 256;
    EXPECT_FALSE(IsSupportedInputFormat(header));
}

TEST(FileDialogFilters, ConvertToQtNameFilters) {
    EXPECT_EQ(QtNameFilters("Video files (*.avi)|*.avi||"), QStringLiteral("Video files (*.avi)"));
    EXPECT_EQ(QtNameFilters("Kadrimix(*.kmx)|*.kmx||"), QStringLiteral("Kadrimix (*.kmx)"));
    EXPECT_EQ(QtNameFilters("Videos|*.avi|All|*||"), QStringLiteral("Videos (*.avi);;All (*)"));
}

} // namespace
