// A thin etched line across the middle of its rectangle: horizontal when the
// control is wider than high, else vertical.
#pragma once

#include <QWidget>

class CDividerLine : public QWidget {
    Q_OBJECT
public:
    explicit CDividerLine(QWidget* parent = nullptr, bool sunken = true);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool sunken_;
};
