// F1 and the other help requests: the program's windows answer them by doing
// nothing, so a dialog swallows them before the default handling sees them.
// The dialog builder installs the filter below on every dialog it builds.
#pragma once

#include <QEvent>
#include <QKeyEvent>
#include <QObject>

class QWidget;

inline bool IsHelpKey(const QKeyEvent* event) {
    return event->key() == Qt::Key_F1 || event->key() == Qt::Key_Help;
}

inline bool IsHelpRequest(const QEvent* event) {
    switch (event->type()) {
    case QEvent::WhatsThis:
    case QEvent::QueryWhatsThis:
    case QEvent::EnterWhatsThisMode:
    case QEvent::WhatsThisClicked:
        return true;
    default:
        return false;
    }
}

// Accepts and stops the help key and the help requests sent to one window,
// including the key presses its controls pass on to it.
class CHelpRequestFilter final : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// Installs a CHelpRequestFilter owned by the window on it.
void SwallowHelpRequests(QWidget& window);
