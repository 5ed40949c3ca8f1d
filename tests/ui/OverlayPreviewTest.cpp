// The overlay dialog's preview: the rectangle's place, what is drawn in the
// base area and the rectangle, split screen, redrawing, dragging.
#include "app/DibPainter.h"
#include "media/AviReader.h"
#include "tests/ui/OverlayTestSupport.h"
#include "ui/overlay/OverlayDlg.h"
#include "ui/overlay/PaintArea.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>

class OverlayPreviewTest : public OverlayGuiTest {
protected:
    // Slot 1 with the 80 x 60 overlay at (80, 60), 160 x 120, on a 320 x 240 base.
    OverlaySettings Slot() const {
        OverlaySettings slot;
        slot.number = 1;
        slot.path = Sample(80, 60, 10, 24, 100);
        slot.x = 80;
        slot.y = 60;
        slot.width = 160;
        slot.height = 120;
        slot.overlayEnd = 9;
        return slot;
    }
    // The geometry the rectangle must have: base pixels scaled to the area.
    static QRect Expected(const COverlayDlg& dlg, int x, int y, int w, int h) {
        const QRect client = dlg.BaseArea()->contentsRect();
        return QRect(client.left() + client.width() * x / dlg.BaseWidth(),
                     client.top() + client.height() * y / dlg.BaseHeight(),
                     client.width() * w / dlg.BaseWidth(), client.height() * h / dlg.BaseHeight());
    }
    // What a frame of a file looks like drawn into a picture of this size.
    static QImage Reference(const std::string& path, int frame, const QSize& size,
                            const QRect& source = QRect()) {
        CAviReader reader;
        EXPECT_TRUE(reader.Open(path.c_str()));
        EXPECT_TRUE(reader.StartVideoRetrieve(0));
        const BITMAPINFOHEADER* dib = nullptr;
        reader.GetVideoFrame(0, frame, &dib);
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::black);
        QPainter painter(&image);
        EXPECT_TRUE(DrawDibStretched(painter, image.rect(), dib, 0, source));
        return image;
    }
    static void Mouse(QWidget* widget, QEvent::Type type, const QPoint& global) {
        const QPointF local = widget->mapFromGlobal(global);
        QMouseEvent event(type, local, local, QPointF(global), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(widget, &event);
    }
};

TEST_F(OverlayPreviewTest, TheRectangleSitsAtTheScaledPlaceAndShowsTheOverlayFrame) {
    OverlaySettings slot = Slot();
    COverlayDlg dlg;
    dlg.SetTarget(&slot, Sample(320, 240, 8));
    dlg.show();
    EXPECT_EQ(dlg.BaseArea()->size(), QSize(362, 290));
    EXPECT_EQ(dlg.BaseArea()->contentsRect().size(), QSize(360, 288));
    EXPECT_EQ(dlg.OverlayArea()->geometry(), Expected(dlg, 80, 60, 160, 120));
    EXPECT_EQ(dlg.OverlayArea()->geometry(), QRect(91, 73, 180, 144));

    // The overlay frame at the track bar's position, stretched.
    Bar(dlg, 1015)->setValue(4);
    EXPECT_EQ(Grab(dlg.OverlayArea()), Reference(slot.path, 4, QSize(180, 144)));
    // The base frame at its track bar's position, stretched into the area.
    Bar(dlg, 1016)->setValue(5);
    const QImage base = Grab(dlg.BaseArea());
    const QImage reference = Reference(Sample(320, 240, 8), 5, QSize(360, 288));
    EXPECT_EQ(base.copy(1, 1, 80, 60), reference.copy(0, 0, 80, 60)) << "outside the rectangle";

    Bar(dlg, 1011)->setValue(0);
    Bar(dlg, 1012)->setValue(239);
    EXPECT_EQ(dlg.OverlayArea()->geometry(), Expected(dlg, 0, 239, 160, 120));
}

TEST_F(OverlayPreviewTest, TheBasePictureIsStretchedAnewOnlyWhenTheBasePositionChanges) {
    OverlaySettings slot = Slot();
    COverlayDlg dlg;
    dlg.SetTarget(&slot, Sample(320, 240, 8));
    dlg.show();
    Grab(dlg.BaseArea());
    const int first = dlg.BaseStretchCount();
    EXPECT_GE(first, 1);
    Bar(dlg, 1011)->setValue(100);
    Bar(dlg, 1015)->setValue(3);
    Grab(dlg.BaseArea());
    EXPECT_EQ(dlg.BaseStretchCount(), first);
    Bar(dlg, 1016)->setValue(2);
    Grab(dlg.BaseArea());
    EXPECT_EQ(dlg.BaseStretchCount(), first + 1);
}

TEST_F(OverlayPreviewTest, SplitScreenShowsTheOverlaysOwnPixelsCutToItsFrame) {
    OverlaySettings slot = Slot();
    slot.x = 40;
    slot.y = 30;
    slot.width = 100;
    slot.height = 100;
    slot.noResize = 1;
    COverlayDlg dlg;
    dlg.SetTarget(&slot, Sample(320, 240, 8));
    dlg.show();
    EXPECT_FALSE(Control<QAbstractButton>(dlg, 1039)->isEnabled());
    // The overlay is 80 x 60: 40 columns and 30 rows of it lie under the rectangle.
    EXPECT_EQ(dlg.OverlayArea()->geometry(), Expected(dlg, 40, 30, 40, 30));
    EXPECT_EQ(Grab(dlg.OverlayArea()),
              Reference(slot.path, 0, QSize(45, 36), QRect(40, 30, 40, 30)));

    // Beyond the overlay's right edge nothing of it shows: full size, blue.
    Bar(dlg, 1011)->setValue(100);
    EXPECT_EQ(dlg.OverlayArea()->geometry(), Expected(dlg, 100, 30, 100, 100));
    const QImage outside = Grab(dlg.OverlayArea());
    EXPECT_EQ(outside.pixelColor(10, 10), QColor(0, 0, 255));

    // Scaled again: the whole rectangle, the whole frame.
    Control<QAbstractButton>(dlg, 1040)->click();
    EXPECT_EQ(dlg.WorkingCopy().noResize, 0);
    EXPECT_TRUE(Control<QAbstractButton>(dlg, 1039)->isEnabled());
    EXPECT_EQ(dlg.OverlayArea()->geometry(), Expected(dlg, 100, 30, 100, 100));
}

TEST_F(OverlayPreviewTest, DraggingTheRectangleMovesItWithinTheRanges) {
    OverlaySettings slot = Slot();
    COverlayDlg dlg;
    dlg.SetTarget(&slot, Sample(320, 240, 8));
    dlg.show();
    QWidget* area = dlg.OverlayArea();
    const QPoint start = area->mapToGlobal(QPoint(10, 10));
    Mouse(area, QEvent::MouseButtonPress, start);
    Mouse(area, QEvent::MouseMove, start + QPoint(36, 29));
    // 36 preview pixels = 32 base pixels, 29 = 24 (truncated).
    EXPECT_EQ(Bar(dlg, 1011)->value(), 112);
    EXPECT_EQ(Bar(dlg, 1012)->value(), 84);
    EXPECT_EQ(Field(dlg, 1025), "112");
    EXPECT_EQ(dlg.WorkingCopy().x, 112);
    EXPECT_EQ(area->geometry(), Expected(dlg, 112, 84, 160, 120));

    Mouse(area, QEvent::MouseMove, start + QPoint(-1000, -1000));
    EXPECT_EQ(Bar(dlg, 1011)->value(), 0);
    EXPECT_EQ(Bar(dlg, 1012)->value(), 0);
    Mouse(area, QEvent::MouseButtonRelease, start + QPoint(5000, 5000));
    EXPECT_EQ(Bar(dlg, 1011)->value(), 319);
    EXPECT_EQ(Bar(dlg, 1012)->value(), 239);
    EXPECT_EQ(dlg.WorkingCopy().y, 239);

    // Without the button held the mouse moves nothing.
    Mouse(area, QEvent::MouseMove, start);
    EXPECT_EQ(Bar(dlg, 1011)->value(), 319);
    dlg.accept();
    EXPECT_EQ(slot.x, 319);
    EXPECT_EQ(slot.y, 239);
}

TEST_F(OverlayPreviewTest, AMissingBaseFrameIsRedAMissingOverlayBlue) {
    OverlaySettings slot;
    slot.number = 1;
    COverlayDlg dlg;
    dlg.SetTarget(&slot, Sample(320, 240, 8));
    dlg.show();
    const QImage base = Grab(dlg.BaseArea());
    EXPECT_NE(base.pixelColor(3, 3), QColor(255, 0, 0));
    const QImage overlay = Grab(dlg.OverlayArea());
    EXPECT_EQ(overlay.pixelColor(2, 2), QColor(0, 0, 255));

    COverlayDlg noBase;
    noBase.SetTarget(&slot, "");
    noBase.show();
    const QImage red = Grab(noBase.BaseArea());
    EXPECT_EQ(red.pixelColor(3, 3), QColor(255, 0, 0));
    EXPECT_EQ(red.pixelColor(3, red.height() - 3), QColor(255, 0, 0));
}
