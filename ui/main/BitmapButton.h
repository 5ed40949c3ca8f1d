// A push button that shows one of four bitmaps for its states (normal,
// pressed, focused, disabled) and nothing else, like the play button of the
// main window.
#pragma once

#include <QAbstractButton>
#include <QPixmap>

#include <array>

class CBitmapButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit CBitmapButton(QWidget* parent = nullptr);

    // Bitmap resource ids for the four states (ResourceBitmap).
    void SetBitmaps(int normal, int pressed, int focused, int disabled);
    std::array<int, 4> BitmapIds() const { return ids_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    // Return and Enter press it as Space does.
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::array<int, 4> ids_{};
    std::array<QPixmap, 4> bitmaps_;
};
