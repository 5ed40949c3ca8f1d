// A framed child window whose contents the owning dialog paints: the
// preview areas of the overlay dialog and the colour swatch of the border
// dialog.
#pragma once

#include <QFrame>

#include <functional>

class QPainter;

class CPaintArea : public QFrame {
    Q_OBJECT
public:
    // Paints the contents; called after the frame has been drawn.
    using Painter = std::function<void(QPainter& painter, const QRect& client)>;

    CPaintArea(QWidget* parent, int controlId, bool thinBorder);
    void SetPainter(Painter painter) { painter_ = std::move(painter); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Painter painter_;
};
