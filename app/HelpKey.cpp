#include "app/HelpKey.h"

#include <QWidget>

bool CHelpRequestFilter::eventFilter(QObject* watched, QEvent* event) {
    const bool helpKey =
        event->type() == QEvent::KeyPress && IsHelpKey(static_cast<const QKeyEvent*>(event));
    if (helpKey || IsHelpRequest(event)) {
        event->accept(); // no help
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void SwallowHelpRequests(QWidget& window) {
    window.installEventFilter(new CHelpRequestFilter(&window));
}
