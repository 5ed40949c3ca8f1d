// The application object: the whole run of the desktop program, from the
// settings through the start-up window and the main dialog to the orderly
// shut-down. The main dialog comes from a factory, so this code does not
// depend on the windows' code.
#pragma once

#include <QDialog>

#include <functional>
#include <memory>

class CWorkerThread;

class CKadrimixApp {
public:
    using MainDialogFactory = std::function<std::unique_ptr<QDialog>()>;
    // Runs a dialog until it is closed and returns its result.
    using DialogRunner = std::function<int(QDialog&)>;

    // Starting and stopping the worker thread; each returns true on success.
    struct WorkerControl {
        std::function<bool()> start;
        std::function<bool()> stop;
    };
    static WorkerControl ControlOf(CWorkerThread& worker);

    // The program's own worker thread and dialogs run in the usual way.
    explicit CKadrimixApp(MainDialogFactory mainDialog);
    CKadrimixApp(MainDialogFactory mainDialog, WorkerControl worker, DialogRunner runDialog);

    // The whole run of the program; always false, which ends it.
    bool InitInstance();

    // Shows the dialog and waits in a local event loop until it is finished.
    // Other top-level windows (the start-up window) stay usable meanwhile.
    static int RunDialog(QDialog& dialog);

private:
    MainDialogFactory mainDialog_;
    WorkerControl worker_;
    DialogRunner runDialog_;
};
