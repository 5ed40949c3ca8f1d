#include "app/ToolTips.h"

#include "app/DialogBuilder.h"
#include "app/Settings.h"

#include <QHelpEvent>
#include <QToolTip>
#include <QWidget>

CToolTips::CToolTips(QWidget* window, TextFunction text)
    : QObject(window), window_(window), text_(std::move(text)) {}

void CToolTips::Watch(QWidget* control) {
    if (control != nullptr) {
        control->installEventFilter(this);
    }
}

void CToolTips::WatchAll() {
    for (QWidget* child : window_->findChildren<QWidget*>()) {
        if (CDialogBuilder::ControlId(child) != 0) {
            Watch(child);
        }
    }
}

std::string CToolTips::TipText(const std::string& text) {
    if (CSettings::toolTips == 0) {
        return std::string();
    }
    std::size_t length = std::min<std::size_t>(text.size(), 79);
    if (length < text.size()) {
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0u) == 0x80u) {
            --length;
        }
    }
    return text.substr(0, length);
}

bool CToolTips::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::ToolTip) {
        return QObject::eventFilter(watched, event);
    }
    auto* help = static_cast<QHelpEvent*>(event);
    const std::string text =
        TipText(text_ ? text_(CDialogBuilder::ControlId(watched)) : std::string());
    if (text.empty()) {
        QToolTip::hideText();
    } else {
        QToolTip::showText(help->globalPos(), QString::fromStdString(text),
                           qobject_cast<QWidget*>(watched));
    }
    return true;
}
