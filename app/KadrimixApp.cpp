#include "app/KadrimixApp.h"

#include "app/AboutDlg.h"
#include "app/MessageBoxService.h"
#include "app/ProgramLanguage.h"
#include "app/ResourceImages.h"
#include "app/Settings.h"
#include "app/SetupDlg.h"
#include "engine/WorkerThread.h"

#include <QApplication>
#include <QEventLoop>

CKadrimixApp::WorkerControl CKadrimixApp::ControlOf(CWorkerThread& worker) {
    return WorkerControl{[&worker] { return worker.StartWorker(); },
                         [&worker] { return worker.StopWorker(); }};
}

CKadrimixApp::CKadrimixApp(MainDialogFactory mainDialog)
    : CKadrimixApp(std::move(mainDialog), ControlOf(Worker()), &CKadrimixApp::RunDialog) {}

CKadrimixApp::CKadrimixApp(MainDialogFactory mainDialog, WorkerControl worker,
                           DialogRunner runDialog)
    : mainDialog_(std::move(mainDialog)), worker_(std::move(worker)),
      runDialog_(runDialog ? std::move(runDialog) : &CKadrimixApp::RunDialog) {}

int CKadrimixApp::RunDialog(QDialog& dialog) {
    QEventLoop loop;
    QObject::connect(&dialog, &QDialog::finished, &loop, &QEventLoop::quit);
    dialog.show();
    if (dialog.isVisible()) {
        loop.exec(QEventLoop::DialogExec);
    }
    return dialog.result();
}

bool CKadrimixApp::InitInstance() {
    QApplication::setWindowIcon(ProgramIcon());
    QApplication::setOrganizationName(QStringLiteral("Quelmark"));
    QApplication::setApplicationName(QStringLiteral("kadrimix"));

    CSettings settings;
    const bool stored = settings.Load();
    // Qt's own texts follow the language before any window opens.
    SetProgramLanguage(CSettings::language);
    if (!stored) {
        // First start (or no usable language stored): ask. Cancel keeps
        // the defaults, which are saved at the end like any choice.
        CSetupDlg setup;
        runDialog_(setup);
        SetProgramLanguage(CSettings::language);
    }

    if (!worker_.start || !worker_.start()) {
        ShowMessage("INTERNAL ERROR: Unable to start worker thread", MessageIcon::Stop);
        return false;
    }

    auto startupWindow = std::make_unique<CAboutDlg>();
    startupWindow->displaySeconds = 2;
    startupWindow->show();

    if (std::unique_ptr<QDialog> mainDialog = mainDialog_ ? mainDialog_() : nullptr) {
        runDialog_(*mainDialog);
        // The main dialog goes before the worker stops, as its window did.
        mainDialog.reset();
    }

    if (worker_.stop && !worker_.stop()) {
        ShowMessage("INTERNAL ERROR: Unable to stop worker thread", MessageIcon::Stop);
    }
    startupWindow.reset();
    settings.Save();
    return false;
}
