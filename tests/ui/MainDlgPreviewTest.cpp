// The preview of the main window: frames stretched over the preview area,
// the track bar and the position line, playback by the clock, and the
// worker's preview frames during a conversion.
#include "app/QtNotificationTarget.h"
#include "engine/ConvertThread.h"
#include "media/AviReader.h"
#include "tests/ui/MainDlgFixtureTest.h"
#include "ui/main/BitmapButton.h"

#include <QCoreApplication>
#include <QSlider>
#include <QTest>

#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

namespace {

using namespace std::chrono_literals;

// The area inside the preview's one-pixel border.
constexpr int kInsideWidth = 360;
constexpr int kInsideHeight = 288;

class MainDlgPreview : public MainDlgTest {
protected:
    // What the preview shows inside its border, as the window would paint it.
    static QImage Inside(const CMainDlg& dlg) {
        const QImage whole = dlg.PreviewWindow()->grab().toImage();
        return whole.copy(1, 1, kInsideWidth, kInsideHeight).convertToFormat(QImage::Format_RGB32);
    }

    // The test-pattern number of the picture shown, read after scaling the
    // preview back to the input's size; -1 when none can be read.
    static int ShownNumber(const CMainDlg& dlg, int width, int height) {
        const QImage back =
            Inside(dlg)
                .scaled(width, height, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                .convertToFormat(QImage::Format_BGR888)
                .mirrored(false, true); // DIB rows run bottom-up
        if (back.bytesPerLine() != static_cast<qsizetype>(kmx::DibRowBytes(width, 24))) {
            return -2;
        }
        return kmx::ReadTestPatternNumber(back.constBits(), width, height, 24);
    }

    static QSlider* Slider(const CMainDlg& dlg) {
        return qobject_cast<QSlider*>(dlg.Control(1011));
    }
    static std::array<int, 4> PlayBitmaps(const CMainDlg& dlg) {
        return qobject_cast<CBitmapButton*>(dlg.Control(1013))->BitmapIds();
    }
    static std::uint64_t Draws(const CMainDlg& dlg) { return dlg.PreviewWindow()->DrawCount(); }

    // A clock the test moves by hand.
    std::uint32_t now = 0;
    void UseTestClock(CMainDlg& dlg) {
        dlg.SetClock([this] { return now; });
    }

    static constexpr std::array<int, 4> kReady{133, 138, 133, 133};
    static constexpr std::array<int, 4> kPlaying{135, 139, 135, 135};
};

TEST_F(MainDlgPreview, ScrubbingDrawsTheFrameAtTheThumb) {
    // Half the preview's inside: every input pixel becomes a 2 x 2 block.
    CMainDlg dlg;
    ChooseInput(dlg, Sample("base.avi", 180, 144, 50));
    ASSERT_EQ(dlg.FrameCount(), 50);
    EXPECT_EQ(ShownNumber(dlg, 180, 144), 0);
    QSlider* slider = Slider(dlg);

    // Each value the track bar passes while it is dragged is drawn.
    slider->setSliderDown(true);
    for (int frame : {7, 19, 33}) {
        const std::uint64_t before = Draws(dlg);
        slider->setSliderPosition(frame);
        EXPECT_EQ(Draws(dlg), before + 1) << frame;
        EXPECT_EQ(dlg.CurrentFrame(), frame);
        EXPECT_EQ(ShownNumber(dlg, 180, 144), frame - 1) << frame;
    }
    slider->setSliderDown(false);
    EXPECT_EQ(dlg.PositionText(), "Frame: 33/50  Time: 1,280");
    EXPECT_EQ(Text(dlg, 1018), QStringLiteral("Frame: 33/50  Time: 1,280"));

    // Keys move it too.
    QTest::keyClick(slider, Qt::Key_Right);
    EXPECT_EQ(dlg.CurrentFrame(), 34);
    EXPECT_EQ(ShownNumber(dlg, 180, 144), 33);
    QTest::keyClick(slider, Qt::Key_End);
    EXPECT_EQ(dlg.CurrentFrame(), 50);
    EXPECT_EQ(dlg.PositionText(), "Frame: 50/50  Time: 1,960");

    // The frame already shown is not drawn again.
    const std::uint64_t before = Draws(dlg);
    dlg.OnHScroll(50);
    dlg.DrawFrame(50, true);
    dlg.DrawFrame(99, false); // clamped to the last frame
    EXPECT_EQ(Draws(dlg), before);
    EXPECT_EQ(ShownNumber(dlg, 180, 144), 49);
    EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(MainDlgPreview, PictureIsTheFrameStretchedUpright) {
    const std::string input = Sample("base.avi", 180, 144, 5);
    CMainDlg dlg;
    ChooseInput(dlg, input);
    Slider(dlg)->setValue(4);

    // The same frame read here, turned upright and enlarged pixel by pixel.
    CAviReader reader;
    ASSERT_TRUE(reader.Open(input.c_str()));
    ASSERT_TRUE(reader.StartVideoRetrieve(0));
    const BITMAPINFOHEADER* frame = nullptr;
    reader.GetVideoFrame(0, 3, &frame);
    ASSERT_NE(frame, nullptr);
    const auto* pixels = reinterpret_cast<const uchar*>(frame) + frame->biSize;
    const QImage expected =
        QImage(pixels, 180, 144, kmx::DibRowBytes(180, 24), QImage::Format_BGR888)
            .mirrored(false, true)
            .scaled(kInsideWidth, kInsideHeight, Qt::IgnoreAspectRatio, Qt::FastTransformation)
            .convertToFormat(QImage::Format_RGB32);
    EXPECT_TRUE(Inside(dlg) == expected);
    EXPECT_TRUE(dlg.PreviewWindow()->Surface() == expected);

    // The thin border stays around it.
    const QImage whole = dlg.PreviewWindow()->grab().toImage();
    ASSERT_EQ(whole.size(), QSize(362, 290));
    const QRgb border = dlg.PreviewWindow()->palette().color(QPalette::WindowText).rgb();
    for (const QPoint edge : {QPoint(0, 145), QPoint(361, 145), QPoint(181, 0), QPoint(181, 289)}) {
        EXPECT_EQ(whole.pixel(edge), border) << edge.x() << "," << edge.y();
    }
}

TEST_F(MainDlgPreview, EveryDepthAndShapeIsStretchedOverTheWholeArea) {
    struct Case {
        int width, height, bits;
    };
    // 16-bit 5-5-5, 32-bit, and sizes that stretch unevenly (the aspect
    // ratio is not kept); 90 x 3 bytes gives padded rows.
    for (const Case& c :
         {Case{180, 144, 16}, Case{180, 144, 32}, Case{120, 72, 24}, Case{90, 144, 24}}) {
        CMainDlg dlg;
        ChooseInput(dlg, Sample("in.avi", c.width, c.height, 8, c.bits));
        ASSERT_EQ(dlg.FrameCount(), 8) << c.bits;
        Slider(dlg)->setValue(6);
        EXPECT_EQ(ShownNumber(dlg, c.width, c.height), 5)
            << c.width << " x " << c.height << " x " << c.bits;
        // Nothing of the blue background is left at the edges.
        const QImage inside = Inside(dlg);
        for (const QPoint corner :
             {QPoint(0, 0), QPoint(kInsideWidth - 1, 0), QPoint(0, kInsideHeight - 1),
              QPoint(kInsideWidth - 1, kInsideHeight - 1)}) {
            EXPECT_NE(inside.pixel(corner), qRgb(0, 0, 255)) << c.width << " " << c.bits;
        }
    }
}

TEST_F(MainDlgPreview, PaintEventsShowTheCurrentFrame) {
    CMainDlg dlg;
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    ChooseInput(dlg, Sample("base.avi", 180, 144, 12));
    Slider(dlg)->setValue(9);
    // Covering and uncovering the window repaints it with the same frame,
    // without decoding or drawing anew.
    const std::uint64_t before = Draws(dlg);
    dlg.PreviewWindow()->repaint();
    dlg.repaint();
    EXPECT_EQ(Draws(dlg), before);
    EXPECT_EQ(ShownNumber(dlg, 180, 144), 8);
    EXPECT_EQ(dlg.CurrentFrame(), 9);

    // Losing the input gives the blue picture back.
    ChooseInput(dlg, dir.File("missing.avi"));
    EXPECT_EQ(Inside(dlg).pixel(100, 100), qRgb(0, 0, 255));
    EXPECT_TRUE(dlg.PositionText().empty());
}

TEST_F(MainDlgPreview, PlaybackFollowsTheClock) {
    CMainDlg dlg;
    // Started just before the 32-bit millisecond clock wraps.
    now = 0xFFFFFE00u;
    UseTestClock(dlg);
    ChooseInput(dlg, Sample("base.avi", 64, 48, 60));
    ASSERT_EQ(dlg.CurrentFrame(), 1);
    EXPECT_EQ(PlayBitmaps(dlg), kReady);

    Button(dlg, 1013)->click();
    EXPECT_TRUE(dlg.IsPlaying());
    EXPECT_EQ(PlayBitmaps(dlg), kPlaying);
    for (int id : {1011, 1014, 1022}) {
        EXPECT_FALSE(Enabled(dlg, id)) << id;
    }
    EXPECT_TRUE(Enabled(dlg, 1013));

    // One second later the frame is 25 + 0 + 1, whatever came between.
    const std::uint64_t before = Draws(dlg);
    now += 1000;
    dlg.OnTimer();
    EXPECT_EQ(dlg.CurrentFrame(), 26);
    EXPECT_EQ(Draws(dlg), before + 1);
    EXPECT_EQ(Slider(dlg)->value(), 26);
    EXPECT_EQ(dlg.PositionText(), "Frame: 26/60  Time: 1,000");

    // The window's own timer does the same.
    now += 200;
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.CurrentFrame() == 31; }, 2000));
    EXPECT_TRUE(dlg.IsPlaying());

    // Reaching the last frame stops playback there.
    now += 1160; // 2.36 s: frame 60
    dlg.OnTimer();
    EXPECT_FALSE(dlg.IsPlaying());
    EXPECT_EQ(dlg.CurrentFrame(), 60);
    EXPECT_EQ(PlayBitmaps(dlg), kReady);
    for (int id : {1011, 1014, 1022}) {
        EXPECT_TRUE(Enabled(dlg, id)) << id;
    }
    // Stopped means stopped: the timer draws nothing more.
    const std::uint64_t stopped = Draws(dlg);
    QTest::qWait(80);
    EXPECT_EQ(Draws(dlg), stopped);
}

TEST_F(MainDlgPreview, PlaybackPastTheEndShowsTheLastFrame) {
    CMainDlg dlg;
    UseTestClock(dlg);
    ChooseInput(dlg, Sample("base.avi", 64, 48, 10));
    Button(dlg, 1013)->click();
    now += 60000;
    dlg.OnTimer();
    EXPECT_FALSE(dlg.IsPlaying());
    EXPECT_EQ(dlg.CurrentFrame(), 10);
    EXPECT_EQ(ShownNumber(dlg, 64, 48), 9);
}

TEST_F(MainDlgPreview, PlayStartsAtTheFrameShownOrAgainFromTheStart) {
    CMainDlg dlg;
    UseTestClock(dlg);
    ChooseInput(dlg, Sample("base.avi", 64, 48, 60));

    // With the last frame shown, playback starts again at frame 1.
    Slider(dlg)->setValue(60);
    Button(dlg, 1013)->click();
    ASSERT_TRUE(dlg.IsPlaying());
    now += 40; // one frame period
    dlg.OnTimer();
    EXPECT_EQ(dlg.CurrentFrame(), 2);

    // The play button stops it where it is.
    Button(dlg, 1013)->click();
    EXPECT_FALSE(dlg.IsPlaying());
    EXPECT_EQ(PlayBitmaps(dlg), kReady);
    EXPECT_EQ(dlg.CurrentFrame(), 2);

    // In the middle, playback continues from the frame shown.
    Slider(dlg)->setValue(30);
    Button(dlg, 1013)->click();
    const std::uint64_t before = Draws(dlg);
    dlg.OnTimer(); // no time passed: still frame 30, not drawn again
    EXPECT_EQ(dlg.CurrentFrame(), 30);
    EXPECT_EQ(Draws(dlg), before);
    now += 80;
    dlg.OnTimer();
    EXPECT_EQ(dlg.CurrentFrame(), 32);
    EXPECT_EQ(ShownNumber(dlg, 64, 48), 31);

    // Choosing another input stops playback.
    ChooseInput(dlg, std::nullopt);
    EXPECT_FALSE(dlg.IsPlaying());
    EXPECT_EQ(PlayBitmaps(dlg), kReady);
}

TEST_F(MainDlgPreview, TrackBarAndPlayButtonDoNothingWithoutAnInput) {
    CMainDlg dlg;
    UseTestClock(dlg);
    Button(dlg, 1013)->click();
    EXPECT_FALSE(dlg.IsPlaying());
    EXPECT_EQ(PlayBitmaps(dlg), (std::array<int, 4>{134, 134, 134, 134}));
    dlg.OnHScroll(5);
    EXPECT_EQ(dlg.CurrentFrame(), 0);
    EXPECT_EQ(Inside(dlg).pixel(10, 10), qRgb(0, 0, 255));
    EXPECT_TRUE(dlg.PositionText().empty());
}

// A conversion whose worker stops at its first message (the output cannot
// be created) and waits there: the window stays in the converting state
// while the test hands it preview frames.
class MainDlgConversionPreview : public MainDlgPreview {
protected:
    CWorkerThread::Timing fast{10ms, 100};

    static bool WaitUntilRunning(const CWorkerThread& worker) {
        for (int i = 0; i < 2000; ++i) {
            if (worker.State() == CConvertThread::kRunning) {
                return true;
            }
            std::this_thread::sleep_for(1ms);
        }
        return false;
    }

    // A packed DIB of width x height pixels whose rows (bottom-up, padded to
    // 4 bytes) take their colours from pixel(x, y) with y counted from the top.
    template <typename PixelOf>
    static std::vector<std::uint8_t> MakeDib(int width, int height, int bits, PixelOf pixel) {
        const std::size_t row = kmx::DibRowBytes(width, bits);
        std::vector<std::uint8_t> dib(40 + row * static_cast<std::size_t>(height));
        BITMAPINFOHEADER header{};
        header.biSize = 40;
        header.biWidth = width;
        header.biHeight = height;
        header.biPlanes = 1;
        header.biBitCount = static_cast<std::uint16_t>(bits);
        header.biSizeImage = static_cast<std::uint32_t>(row * static_cast<std::size_t>(height));
        std::memcpy(dib.data(), &header, sizeof header);
        for (int y = 0; y < height; ++y) {
            std::uint8_t* line = dib.data() + 40 + row * static_cast<std::size_t>(height - 1 - y);
            for (int x = 0; x < width; ++x) {
                const QRgb c = pixel(x, y);
                std::uint8_t* p = line + static_cast<std::size_t>(x * bits / 8);
                p[0] = static_cast<std::uint8_t>(qBlue(c));
                p[1] = static_cast<std::uint8_t>(qGreen(c));
                p[2] = static_cast<std::uint8_t>(qRed(c));
            }
        }
        return dib;
    }

    static void Offer(CMainDlg& dlg, const std::vector<std::uint8_t>& dib,
                      std::atomic<std::int32_t>& pending, std::int32_t length) {
        pending = length;
        CWorkerEvent event(WM_CONVERT_PREVIEW, reinterpret_cast<WPARAM>(dib.data()),
                           reinterpret_cast<LPARAM>(&pending), nullptr);
        QCoreApplication::sendEvent(&dlg, &event);
    }
};

TEST_F(MainDlgConversionPreview, WorkerFramesAppearStretchedAndAreHandedBack) {
    CWorkerThread worker(fast);
    ASSERT_TRUE(worker.StartWorker());
    CMainDlg dlg(worker);
    ChooseInput(dlg, Sample("base.avi", 32, 24, 3));
    ChooseOutput(dlg, dir.File("no such folder/out.avi"));
    Button(dlg, 3)->click();
    ASSERT_TRUE(WaitUntilRunning(worker));
    ASSERT_TRUE(dlg.IsConverting());

    // 2 x 2: blue and white on top, red and green below; each fills a quarter.
    const std::vector<std::uint8_t> small = MakeDib(2, 2, 24, [](int x, int y) {
        return y == 0 ? (x == 0 ? qRgb(0, 0, 255) : qRgb(255, 255, 255))
                      : (x == 0 ? qRgb(255, 0, 0) : qRgb(0, 255, 0));
    });
    std::atomic<std::int32_t> pending{0};
    Offer(dlg, small, pending, static_cast<std::int32_t>(small.size()));
    EXPECT_EQ(pending.load(), 0);
    EXPECT_EQ(dlg.PreviewLength(), static_cast<std::int32_t>(small.size()));
    QImage inside = Inside(dlg);
    EXPECT_EQ(inside.pixel(10, 10), qRgb(0, 0, 255));
    EXPECT_EQ(inside.pixel(350, 10), qRgb(255, 255, 255));
    EXPECT_EQ(inside.pixel(10, 280), qRgb(255, 0, 0));
    EXPECT_EQ(inside.pixel(350, 280), qRgb(0, 255, 0));
    EXPECT_TRUE(dlg.PositionText().empty());

    // A larger frame (32 bits per pixel) makes the buffer grow.
    const std::vector<std::uint8_t> large =
        MakeDib(8, 4, 32, [](int x, int) { return x < 4 ? qRgb(200, 100, 0) : qRgb(0, 50, 150); });
    Offer(dlg, large, pending, static_cast<std::int32_t>(large.size()));
    EXPECT_EQ(pending.load(), 0);
    EXPECT_EQ(dlg.PreviewLength(), static_cast<std::int32_t>(large.size()));
    inside = Inside(dlg);
    EXPECT_EQ(inside.pixel(10, 150), qRgb(200, 100, 0));
    EXPECT_EQ(inside.pixel(350, 150), qRgb(0, 50, 150));

    // A block too short for the pixels its header announces is handed back
    // and not drawn: the last picture stays.
    const std::uint64_t before = Draws(dlg);
    Offer(dlg, large, pending, 60);
    EXPECT_EQ(pending.load(), 0);
    EXPECT_EQ(Draws(dlg), before);
    EXPECT_EQ(Inside(dlg).pixel(10, 150), qRgb(200, 100, 0));

    // The track bar and the play button do nothing meanwhile.
    dlg.OnHScroll(2);
    Button(dlg, 1013)->click();
    EXPECT_FALSE(dlg.IsPlaying());
    EXPECT_EQ(PlayBitmaps(dlg), (std::array<int, 4>{134, 134, 134, 134}));

    Button(dlg, 4)->click();
    EXPECT_FALSE(dlg.IsConverting());
    ASSERT_TRUE(QTest::qWaitFor([&] { return boxes.shown.size() == 2; }, 5000));
    // Stopped: the input is shown again and frames are refused.
    EXPECT_EQ(dlg.CurrentFrame(), 1);
    const std::uint64_t shown = Draws(dlg);
    Offer(dlg, small, pending, static_cast<std::int32_t>(small.size()));
    EXPECT_EQ(pending.load(), 0);
    EXPECT_EQ(Draws(dlg), shown);
}

TEST_F(MainDlgConversionPreview, RealRunShowsTheConvertedFrames) {
    // Records the test-pattern number shown when the completion notice
    // arrives: the last preview frame of the run is still on display.
    class AtDone final : public QObject {
    public:
        explicit AtDone(CMainDlg& dlg) : dlg_(dlg) { dlg.installEventFilter(this); }
        int number = -3;
        std::uint64_t draws = 0;

    protected:
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == CWorkerEvent::TypeOf(WM_CONVERT_DONE)) {
                number = ShownNumber(dlg_, 90, 72);
                draws = dlg_.PreviewWindow()->DrawCount();
            }
            return false;
        }

    private:
        CMainDlg& dlg_;
    };

    CWorkerThread worker(fast);
    ASSERT_TRUE(worker.StartWorker());
    CMainDlg dlg(worker);
    // 32 bits per pixel, stretched 4 x 4.
    ChooseInput(dlg, Sample("base.avi", 90, 72, 20, 32));
    ChooseOutput(dlg, dir.File("out.avi"));
    const std::uint64_t atStart = Draws(dlg);
    AtDone atDone(dlg);
    Button(dlg, 3)->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg.IsConverting(); }, 20000));
    EXPECT_GT(atDone.draws, atStart);
    EXPECT_GE(atDone.number, 0);
    EXPECT_LT(atDone.number, 20);
    EXPECT_EQ(boxes.shown.back().text.rfind("Converting finished", 0), 0u);
}

} // namespace
