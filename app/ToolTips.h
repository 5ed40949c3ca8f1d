// Tool tips by control id: every request for a tip asks the window for the
// text of that control at that moment, so texts can carry current values and
// the Tool Tips setting takes effect at once. Texts are cut to 79 bytes.
#pragma once

#include <QObject>

#include <functional>
#include <string>

class QWidget;

class CToolTips : public QObject {
    Q_OBJECT
public:
    using TextFunction = std::function<std::string(int controlId)>;

    CToolTips(QWidget* window, TextFunction text);

    // Watches one control (its id is the one the dialog builder stored).
    void Watch(QWidget* control);
    // Watches every child of the window that carries a control id.
    void WatchAll();

    // The text shown for a tip: empty while tips are switched off, else the
    // text cut to 79 bytes without splitting a character.
    static std::string TipText(const std::string& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* window_;
    TextFunction text_;
};
