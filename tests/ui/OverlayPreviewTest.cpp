// The overlay dialog's preview: where the rectangle sits, what it shows, and
// dragging it with the mouse.
#include "app/DibPainter.h"
#include "media/AviReader.h"
#include "tests/ui/OverlayTestSupport.h"
#include "ui/overlay/OverlayDlg.h"
#include "ui/overlay/PaintArea.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>

class OverlayPreviewTest : public OverlayGuiTest {
protected:
    // Slot 1 with the 80 x 60 overlay at (80, 60), 160 x 120, on a 320 x 240 base.
    static OverlaySettings Slot() {
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
    ASSERT_TRUE(WaitLoaded(dlg));
    dlg.show();
    EXPECT_EQ(dlg.BaseArea()->contentsRect().size(), QSize(360, 288));
    // The 4:3 base in the 5:4 area: 360 x 270 below a black bar of 9 rows.
    EXPECT_EQ(dlg.OverlayArea()->geometry(), QRect(91, 77, 180, 135));

    // The overlay frame at the track bar's position, stretched.
    Bar(dlg, 1015)->setValue(4);
    CAviReader reader;
    ASSERT_TRUE(reader.Open(slot.path.c_str()));
    ASSERT_TRUE(reader.StartVideoRetrieve(0));
    const BITMAPINFOHEADER* dib = nullptr;
    reader.GetVideoFrame(0, 4, &dib);
    QImage reference(180, 135, QImage::Format_RGB32);
    reference.fill(Qt::black);
    QPainter painter(&reference);
    ASSERT_TRUE(DrawDibStretched(painter, reference.rect(), dib, 0));
    painter.end();
    EXPECT_EQ(Grab(dlg.OverlayArea()), reference);

    Bar(dlg, 1011)->setValue(0);
    Bar(dlg, 1012)->setValue(239);
    // 360 / 320 of the base's pixels both ways, inside a border of one and
    // below the bar.
    EXPECT_EQ(dlg.OverlayArea()->geometry(), QRect(1, 278, 180, 135));
    EXPECT_EQ(Grab(dlg.BaseArea()).pixel(180, 5), qRgb(0, 0, 0));
}

TEST_F(OverlayPreviewTest, DraggingTheRectangleMovesItWithinTheRanges) {
    OverlaySettings slot = Slot();
    COverlayDlg dlg;
    dlg.SetTarget(&slot, Sample(320, 240, 8));
    ASSERT_TRUE(WaitLoaded(dlg));
    dlg.show();
    QWidget* area = dlg.OverlayArea();
    const QPoint start = area->mapToGlobal(QPoint(10, 10));
    Mouse(area, QEvent::MouseButtonPress, start);
    Mouse(area, QEvent::MouseMove, start + QPoint(36, 28));
    // 36 preview pixels = 32 base pixels, 28 = 24 (truncated).
    EXPECT_EQ(Bar(dlg, 1011)->value(), 112);
    EXPECT_EQ(Bar(dlg, 1012)->value(), 84);
    EXPECT_EQ(area->geometry(), QRect(127, 104, 180, 135));

    Mouse(area, QEvent::MouseMove, start + QPoint(-1000, -1000));
    EXPECT_EQ(Bar(dlg, 1011)->value(), 0);
    EXPECT_EQ(Bar(dlg, 1012)->value(), 0);
    // Far beyond the corner a strip of the rectangle stays in the preview,
    // and the mouse grabs it there again.
    Mouse(area, QEvent::MouseButtonRelease, start + QPoint(5000, 5000));
    const int parkedX = Bar(dlg, 1011)->value();
    const int parkedY = Bar(dlg, 1012)->value();
    EXPECT_GT(parkedX, 300);
    EXPECT_GT(parkedY, 220);
    const QRect inside = area->geometry() & area->parentWidget()->contentsRect();
    EXPECT_GE(inside.width(), 6);
    EXPECT_GE(inside.height(), 6);
    const QPoint grab = area->mapToGlobal(QPoint(2, 2));
    Mouse(area, QEvent::MouseButtonPress, grab);
    Mouse(area, QEvent::MouseButtonRelease, grab - QPoint(36, 27));
    EXPECT_EQ(Bar(dlg, 1011)->value(), parkedX - 32);
    EXPECT_EQ(Bar(dlg, 1012)->value(), parkedY - 24);

    // Without the button held the mouse moves nothing.
    Mouse(area, QEvent::MouseMove, start);
    EXPECT_EQ(Bar(dlg, 1011)->value(), parkedX - 32);
    dlg.accept();
    EXPECT_EQ(std::make_pair(slot.x, slot.y), std::make_pair(parkedX - 32, parkedY - 24));
}
