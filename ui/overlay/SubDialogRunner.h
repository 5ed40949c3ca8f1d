// Runs the overlay dialog's sub-dialogs (border, crop, quick positioning)
// behind a hook, so tests work them without a window.
#pragma once

#include <functional>

class QDialog;

// Answers a dialog in place of exec(): the hook may click the dialog's
// buttons and returns the dialog's result.
using SubDialogHook = std::function<int(QDialog& dialog)>;

// Installs a hook; an empty hook returns to running the dialogs for real.
void SetSubDialogHook(SubDialogHook hook);

// exec() of the dialog, or the hook's answer.
int RunSubDialog(QDialog& dialog);
