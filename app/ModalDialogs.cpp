#include "app/ModalDialogs.h"

#include <QDialog>

namespace {

ModalDialogHook& Hook() {
    static ModalDialogHook hook;
    return hook;
}

} // namespace

void SetModalDialogHook(ModalDialogHook hook) {
    Hook() = std::move(hook);
}

int RunModalDialog(QDialog& dialog) {
    if (Hook()) {
        return Hook()(dialog);
    }
    return dialog.exec();
}
