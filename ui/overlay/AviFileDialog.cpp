#include "ui/overlay/AviFileDialog.h"

#include "ui/overlay/VideoFileTypes.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>

namespace {

AviFileDialogHook& Hook() {
    static AviFileDialogHook hook;
    return hook;
}

} // namespace

void SetAviFileDialogHook(AviFileDialogHook hook) {
    Hook() = std::move(hook);
}

bool SelectAviFile(QWidget* parent, const std::string& title, std::string* path) {
    if (path == nullptr) {
        return false;
    }
    std::string chosen;
    bool ok = false;
    if (Hook()) {
        ok = Hook()(title, *path, &chosen);
    } else {
        QFileDialog dialog(parent, QString::fromStdString(title));
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setNameFilters(VideoOpenNameFilters());
        dialog.setDefaultSuffix(QStringLiteral("avi"));
        if (!path->empty()) {
            const QFileInfo initial(QString::fromStdString(*path));
            dialog.setDirectory(initial.absolutePath());
            dialog.selectFile(initial.fileName());
        }
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
            chosen = dialog.selectedFiles().constFirst().toStdString();
            ok = true;
        }
    }
    if (ok && !chosen.empty()) {
        *path = chosen;
        return true;
    }
    return false;
}
