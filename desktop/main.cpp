// The desktop program: the application object runs everything inside its
// initialisation, with real message boxes and the main dialog.
#include "app/CommandLine.h"
#include "app/KadrimixApp.h"
#include "app/QtMessageBoxService.h"
#include "ui/main/MainDlg.h"

#include <QApplication>

#include <cstdio>

extern "C" {
#include <libavutil/log.h>
}

int main(int argc, char* argv[]) {
    {
        // --help and --version are answered before the application object
        // exists, so they need no display. Qt's own options are not known
        // yet here; the real reading comes below.
        const QCoreApplication console(argc, argv);
        const CommandLine line = ParseCommandLine(QCoreApplication::arguments());
        if (line.action == CommandLine::Action::PrintHelp ||
            line.action == CommandLine::Action::PrintVersion) {
            std::fputs(line.text.toLocal8Bit().constData(), stdout);
            return 0;
        }
    }
    QApplication application(argc, argv); // takes Qt's options out of the arguments
    const CommandLine line = ParseCommandLine(QApplication::arguments());
    if (line.action != CommandLine::Action::Run) {
        std::fprintf(stderr, "kadrimix: %s\nTry 'kadrimix --help'.\n",
                     line.text.toLocal8Bit().constData());
        return 2;
    }
    // Damaged input is reported by our own messages; libav's notes about it
    // (even those it calls fatal, such as a JPEG without data) would only
    // clutter the terminal.
    av_log_set_level(AV_LOG_QUIET);
    // The program ends when the application object is done, not when its
    // last window closes.
    QApplication::setQuitOnLastWindowClosed(false);

    QtMessageBoxService messageBoxes;
    SetMessageBoxService(&messageBoxes);

    CKadrimixApp app([&line]() -> std::unique_ptr<QDialog> {
        auto mainDialog = std::make_unique<CMainDlg>();
        mainDialog->OpenStartFiles(line.project, line.input);
        return mainDialog;
    });
    app.InitInstance();

    SetMessageBoxService(nullptr);
    return 0;
}
