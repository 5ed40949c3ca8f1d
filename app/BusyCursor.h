// Shows the wait cursor from construction until the object ends, then puts
// the previous cursor back.
#pragma once

#include <QGuiApplication>

class CBusyCursor {
public:
    CBusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~CBusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    CBusyCursor(const CBusyCursor&) = delete;
    CBusyCursor& operator=(const CBusyCursor&) = delete;
};
