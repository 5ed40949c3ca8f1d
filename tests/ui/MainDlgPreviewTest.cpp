// The main window's preview: the frame at the track bar, playback by the
// clock, and the worker's preview frames during a conversion until Stop.
#include "tests/media/AviWriterTestSupport.h"
#include "tests/support/ExternalTools.h"
#include "tests/ui/MainDlgFixtureTest.h"
#include "ui/main/StepBackReaders.h"

#include <QSlider>

#include <atomic>

namespace {

class MainDlgPreview : public MainDlgTest {
protected:
    // What the preview shows inside its one-pixel border.
    static QImage Inside(const CMainDlg& dlg) {
        return dlg.PreviewWindow()
            ->grab()
            .toImage()
            .copy(1, 1, 360, 288)
            .convertToFormat(QImage::Format_RGB32);
    }
    // The test-pattern number of the picture shown, read after scaling the
    // preview back to the input's size.
    static int ShownNumber(const CMainDlg& dlg, int width, int height) {
        const QImage back = Inside(dlg)
                                .scaled(width, height)
                                .convertToFormat(QImage::Format_BGR888)
                                .mirrored(false, true); // DIB rows run bottom-up
        EXPECT_EQ(back.bytesPerLine(), static_cast<qsizetype>(kmx::DibRowBytes(width, 24)));
        return kmx::ReadTestPatternNumber(back.constBits(), width, height, 24);
    }
    static std::uint64_t Draws(const CMainDlg& dlg) { return dlg.PreviewWindow()->DrawCount(); }
};

TEST_F(MainDlgPreview, ScrubbingDrawsTheFrameAtTheThumbOnce) {
    // Half the preview's inside: every input pixel becomes a 2 x 2 block.
    CMainDlg dlg;
    ChooseInput(dlg, Sample("base.avi", 180, 144, 50));
    EXPECT_EQ(ShownNumber(dlg, 180, 144), 0);
    auto* slider = qobject_cast<QSlider*>(dlg.Control(1011));
    slider->setSliderDown(true);
    for (int frame : {7, 33}) {
        const std::uint64_t before = Draws(dlg);
        slider->setSliderPosition(frame);
        EXPECT_EQ(Draws(dlg), before + 1) << frame;
        EXPECT_EQ(ShownNumber(dlg, 180, 144), frame - 1) << frame;
    }
    slider->setSliderDown(false);
    EXPECT_EQ(dlg.PositionText(), "Frame: 33/50  Time: 1,280");

    // The frame already shown is not drawn again.
    const std::uint64_t before = Draws(dlg);
    dlg.OnHScroll(33);
    EXPECT_EQ(Draws(dlg), before);
    EXPECT_EQ(ShownNumber(dlg, 180, 144), 32);
}

TEST_F(MainDlgPreview, PicturesKeepTheirProportionsAndThoseOfTheirPixels) {
    REQUIRE_TOOL("ffmpeg");
    // 16:9 in the 5:4 inside: 360 x 203 with bars of 42 and 43 rows, also
    // for 4:3 pixels 4:3 wide.
    for (const char* filter : {"testsrc2=size=320x180", "testsrc2=size=160x120,setsar=4/3"}) {
        const std::string path = dir.File("wide.mp4");
        ASSERT_EQ(RunTool({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", filter, "-frames:v",
                           "1", "-c:v", "libx264", "-pix_fmt", "yuv420p", path}),
                  0);
        CMainDlg dlg;
        ChooseInput(dlg, path);
        const QImage inside = Inside(dlg);
        for (const int y : {0, 41, 245, 287}) {
            EXPECT_EQ(inside.pixel(180, y), qRgb(0, 0, 0)) << filter << " row " << y;
        }
        for (const int y : {43, 144, 244}) {
            EXPECT_NE(inside.pixel(350, y), qRgb(0, 0, 0)) << filter << " row " << y;
        }
    }
}

TEST_F(MainDlgPreview, PlaybackFollowsTheClockAndStopsAtTheLastFrame) {
    CMainDlg dlg;
    // Started just before the 32-bit millisecond clock wraps.
    std::uint32_t now = 0xFFFFFE00u;
    dlg.SetClock([&now] { return now; });
    ChooseInput(dlg, Sample("base.avi", 64, 48, 60));
    Button(dlg, 1013)->click();
    EXPECT_TRUE(dlg.IsPlaying());
    EXPECT_FALSE(Enabled(dlg, 1011));

    // One second later the frame is 25 + 0 + 1.
    now += 1000;
    dlg.OnTimer();
    EXPECT_EQ(dlg.CurrentFrame(), 26);
    EXPECT_EQ(ShownNumber(dlg, 64, 48), 25);
    // The window's own timer does the same.
    now += 200;
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.CurrentFrame() == 31; }, 2000));

    // Far past the end: the last frame, and playback stops there.
    now += 60000;
    dlg.OnTimer();
    EXPECT_FALSE(dlg.IsPlaying());
    EXPECT_EQ(dlg.CurrentFrame(), 60);
    EXPECT_EQ(ShownNumber(dlg, 64, 48), 59);
    EXPECT_TRUE(Enabled(dlg, 1011));

    // The keyboard works the button too: Space starts, Return stops.
    QWidget* play = dlg.Control(1013);
    play->setFocus();
    for (const Qt::Key key : {Qt::Key_Space, Qt::Key_Return}) {
        const bool wasPlaying = dlg.IsPlaying();
        QTest::keyClick(play, key);
        EXPECT_NE(dlg.IsPlaying(), wasPlaying) << key;
    }
}

TEST_F(MainDlgPreview, WorkerFramesAppearStretchedAndAreHandedBackUntilStop) {
    // A 2 x 2 DIB, bottom-up: red and green below, blue and white on top.
    avitest::Bytes dib = avitest::BitmapFormat(2, 2, 24);
    const std::uint8_t rows[16] = {0, 0, 255, 0, 255, 0, 0, 0, 255, 0, 0, 255, 255, 255, 0, 0};
    dib.insert(dib.end(), rows, rows + sizeof rows);
    std::atomic<std::int32_t> pending{0};
    const auto offer = [&](CMainDlg& dlg, std::int32_t length) {
        pending = length;
        Send(dlg, WM_CONVERT_PREVIEW, reinterpret_cast<WPARAM>(dib.data()),
             reinterpret_cast<LPARAM>(&pending));
    };

    // The worker stops at its first message (the output cannot be created)
    // and waits there: the window stays in the converting state.
    CWorkerThread worker(fast);
    ASSERT_TRUE(worker.StartWorker());
    CMainDlg dlg(worker);
    ASSERT_TRUE(StartARunThatWaits(dlg, worker));

    offer(dlg, static_cast<std::int32_t>(dib.size()));
    EXPECT_EQ(pending.load(), 0);
    // Upright, square in the middle of the 360 x 288 inside, between black
    // bars (the painter's own tests judge every pixel).
    const QImage inside = Inside(dlg);
    EXPECT_EQ(inside.pixel(46, 10), qRgb(0, 0, 255));
    EXPECT_EQ(inside.pixel(314, 280), qRgb(0, 255, 0));
    EXPECT_EQ(inside.pixel(10, 10), qRgb(0, 0, 0));

    // A block too short for its pixels is handed back and not drawn.
    std::uint64_t before = Draws(dlg);
    offer(dlg, 50);
    EXPECT_EQ(pending.load(), 0);
    EXPECT_EQ(Draws(dlg), before);

    // Stop returns at once, before the worker has ended: the window stays
    // in the converting state with Stop disabled, and leaves it with the
    // worker's completion notice, which follows the queued message.
    Button(dlg, 4)->click();
    EXPECT_TRUE(dlg.IsConverting());
    EXPECT_TRUE(dlg.IsStopping());
    EXPECT_FALSE(Enabled(dlg, 4));
    ASSERT_TRUE(WaitUntilIdle(dlg));
    EXPECT_EQ(worker.State(), CConvertThread::kIdle);
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[1].text.rfind("Converting aborted\r\nDuration=", 0), 0u);
    EXPECT_EQ(dlg.FrameCount(), 3);
    EXPECT_TRUE(Enabled(dlg, 3));
    EXPECT_FALSE(Enabled(dlg, 4));
    // The input is shown again and frames are refused.
    before = Draws(dlg);
    offer(dlg, static_cast<std::int32_t>(dib.size()));
    EXPECT_EQ(pending.load(), 0);
    EXPECT_EQ(Draws(dlg), before);
}

// Steps back come from the readers that decode the stretch before ahead:
// the stretch before the one shown is ready before it is reached, and every
// picture is the one stepping forwards shows.
TEST_F(MainDlgPreview, StepsBackComeDecodedAheadAndShowWhatStepsForwardShow) {
    REQUIRE_TOOL("ffmpeg");
    const std::string input = dir.File("gop.mp4");
    ASSERT_EQ(RunTool({"ffmpeg",
                       "-v",
                       "error",
                       "-f",
                       "lavfi",
                       "-i",
                       "testsrc2=size=96x64:rate=25",
                       "-frames:v",
                       "36",
                       "-c:v",
                       "libx264",
                       "-g",
                       "12",
                       "-sc_threshold",
                       "0",
                       "-bf",
                       "2",
                       "-pix_fmt",
                       "yuv420p",
                       input}),
              0);
    CAviReader plain;
    ASSERT_TRUE(plain.Open(input.c_str()) && plain.StartVideoRetrieve(0));
    ASSERT_EQ(plain.GetKeyFrameAtOrBefore(0, 30), 24);
    const auto bytes = [](const BITMAPINFOHEADER* dib) {
        return std::string(reinterpret_cast<const char*>(dib), dib->biSize + dib->biSizeImage);
    };
    {
        CStepBackReaders ahead;
        ahead.SetFile(input);
        ahead.Prepare(30, 24);
        ASSERT_TRUE(ahead.WaitUntilIdle(std::chrono::seconds(20)));
        for (const auto& [frame, held] :
             {std::pair{30, true}, {24, true}, {23, true}, {12, true}, {11, false}, {31, false}}) {
            std::string shown;
            EXPECT_EQ(ahead.WithFrame(frame, std::chrono::milliseconds(0),
                                      [&](const BITMAPINFOHEADER* dib) { shown = bytes(dib); }),
                      held)
                << frame;
            const BITMAPINFOHEADER* expected = nullptr;
            plain.GetVideoFrame(0, frame, &expected);
            ASSERT_NE(expected, nullptr);
            EXPECT_TRUE(!held || shown == bytes(expected)) << frame;
        }
    }
    CMainDlg dlg;
    ChooseInput(dlg, input);
    std::vector<QImage> forward;
    for (int frame = 1; frame <= 36; ++frame) {
        dlg.DrawFrame(frame, true);
        forward.push_back(Inside(dlg));
    }
    auto* slider = qobject_cast<QSlider*>(dlg.Control(1011));
    dlg.DrawFrame(1, true);
    QTest::keyClick(slider, Qt::Key_End);
    EXPECT_EQ(dlg.CurrentFrame(), 36);
    for (int frame = 35; frame >= 1; --frame) {
        QTest::keyClick(slider, Qt::Key_Left);
        ASSERT_EQ(dlg.CurrentFrame(), frame);
        EXPECT_EQ(Inside(dlg), forward[static_cast<std::size_t>(frame - 1)]) << frame;
    }
}

} // namespace
