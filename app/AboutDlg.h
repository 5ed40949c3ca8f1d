// The about dialog: product name and version, the author's e-mail and home
// page links. Shown modally from the Info button and the main window's
// picture, and modeless as the start-up window that closes itself.
#pragma once

#include <QDialog>

#include <cstdint>
#include <string>

class CDialogBuilder;

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    ~CAboutDlg() override;

    std::string versionText; // "Kadrimix 1.10"
    std::string noticeText;
    std::int32_t displaySeconds = 0; // above 0: a start-up window closing itself after that time
    std::int32_t elapsedMs = 0;

    static const char* EmailAddress();
    static const char* HomePage();
    // "mailto:<address>?subject=Kadrimix [1.10]"
    static std::string MailtoLink();

    // One tick of the close timer (every 100 ms while displaySeconds > 0).
    void OnTimer();

protected:
    void showEvent(QShowEvent* event) override;
};
