// A progress bar that paints itself: the done part in the highlight colour,
// the rest in the window colour, and a centred text ("42%" or a text of its
// own) that changes colour exactly at the bar's edge. It repaints only when
// the filled width changes by at least one pixel, off-screen and in one go.
#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

class CLabeledProgress : public QWidget {
    Q_OBJECT
public:
    explicit CLabeledProgress(QWidget* parent = nullptr);

    void SetRange(int lower, int upper); // no repaint
    // Returns the previous position.
    int SetPos(int position);
    int GetPos() const { return position_; }

    // A text shown instead of the percentage; empty shows the percentage again.
    void SetText(const QString& text);
    QString Text() const { return text_; }

    // The text the bar shows now.
    QString ShownText() const;
    // Width in pixels of the filled part at the last position change (-1: not yet).
    int BarPixels() const { return barPixels_; }
    // How often the bar has been painted (for tests of the repaint rule).
    int PaintCount() const { return paints_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int position_ = 0;
    int lower_ = 0;
    int upper_ = 100;
    QString text_;
    int barPixels_ = -1;
    int paints_ = 0;
    QColor barColour_, backColour_, textOnBackColour_, textOnBarColour_;
};
