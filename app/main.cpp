// The desktop program: the application object runs everything inside its
// initialisation, with real message boxes and the main dialog.
#include "app/KadrimixApp.h"
#include "app/QtMessageBoxService.h"
#include "ui/main/MainDlg.h"

#include <QApplication>

extern "C" {
#include <libavutil/log.h>
}

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    // Damaged input is reported by our own messages; libav's notes about it
    // (even those it calls fatal, such as a JPEG without data) would only
    // clutter the terminal.
    av_log_set_level(AV_LOG_QUIET);
    // The program ends when the application object is done, not when its
    // last window closes.
    QApplication::setQuitOnLastWindowClosed(false);

    QtMessageBoxService messageBoxes;
    SetMessageBoxService(&messageBoxes);

    CKadrimixApp app([]() -> std::unique_ptr<QDialog> { return std::make_unique<CMainDlg>(); });
    app.InitInstance();

    SetMessageBoxService(nullptr);
    return 0;
}
