// The about dialog: product name and version, the author's e-mail and home
// page links. Shown modally from the Info button and the main window's
// picture, and modeless as the start-up window that closes itself.
#pragma once

#include "app/DialogBuilder.h"

#include <QDialog>
#include <QUrl>

#include <cstdint>
#include <functional>
#include <string>

class QTimer;

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    ~CAboutDlg() override;

    std::string versionText; // "Kadrimix 1.10"
    std::string noticeText;
    std::int32_t displaySeconds = 0; // above 0: a start-up window closing itself after that time
    std::int32_t elapsedMs = 0;

    // Opens the two links; QDesktopServices::openUrl unless replaced (tests
    // put a recorder here). When it reports failure (no mail program or
    // browser), a message box shows the address so the user can copy it.
    std::function<bool(const QUrl&)> openUrl;

    static const char* EmailAddress();
    static const char* HomePage();
    // "mailto:<address>?subject=Kadrimix [1.10]"
    static std::string MailtoLink();

    // One tick of the close timer (every 100 ms while displaySeconds > 0).
    void OnTimer();
    // The catalogue text of a control's tool tip (empty for controls without one).
    static std::string ToolTipText(int controlId);
    // True while the close timer runs.
    bool TimerRunning() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void OnInitDialog();
    void OnEmail();
    void OnHomePage();

    CDialogBuilder builder_;
    QTimer* closeTimer_;
    bool initialised_ = false;
};
