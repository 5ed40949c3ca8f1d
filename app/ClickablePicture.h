// A picture control that reports a click with the left mouse button, as the
// notifying bitmap statics of the dialogs do (the setup dialog's flags, the
// about dialog's icon).
#pragma once

#include <QLabel>

class CClickablePicture : public QLabel {
    Q_OBJECT
public:
    explicit CClickablePicture(QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool pressed_ = false;
};
