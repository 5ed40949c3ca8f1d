#include "ui/overlay/SubDialogRunner.h"

#include <QDialog>

namespace {

SubDialogHook& Hook() {
    static SubDialogHook hook;
    return hook;
}

} // namespace

void SetSubDialogHook(SubDialogHook hook) {
    Hook() = std::move(hook);
}

int RunSubDialog(QDialog& dialog) {
    return Hook() ? Hook()(dialog) : dialog.exec();
}
