// Runs the program's modal dialogs (about, setup, the compressor chooser, the
// overlay dialogs) behind a hook, so tests see which dialog opens and answer
// it without a window.
#pragma once

#include <functional>

class QDialog;

// Answers a dialog in place of exec(): QDialog::Accepted or QDialog::Rejected.
using ModalDialogHook = std::function<int(QDialog& dialog)>;

// Installs a hook; an empty hook returns to running the dialogs for real.
void SetModalDialogHook(ModalDialogHook hook);

// exec() of the dialog, or the hook's answer.
int RunModalDialog(QDialog& dialog);
