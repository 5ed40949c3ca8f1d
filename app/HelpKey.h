// F1 and the other help requests: the program's windows answer them by doing
// nothing, so a dialog swallows them before the default handling sees them.
#pragma once

#include <QEvent>
#include <QKeyEvent>

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
