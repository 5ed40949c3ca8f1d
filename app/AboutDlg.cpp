#include "app/AboutDlg.h"

#include "app/MessageBoxService.h"
#include "app/ResourceImages.h"
#include "app/TextCatalog.h"
#include "app/TextIds.h"
#include "app/ToolTips.h"
#include "engine/Product.h"

#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <cstdio>

namespace {

constexpr int kIcon = 1019;
constexpr int kVersion = 1016;
constexpr int kNotice = 1030;
constexpr int kEmailButton = 1028;
constexpr int kHomePageButton = 1029;
constexpr int kTimerPeriodMs = 100;

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent), openUrl([](const QUrl& url) { return QDesktopServices::openUrl(url); }),
      builder_(*this, AboutDialogTemplate()), closeTimer_(new QTimer(this)) {
    char version[64];
    std::snprintf(version, sizeof version, "%s %s", kProductName, kProductVersion);
    versionText = version;
    noticeText = "Re-encodes AVI videos frame by frame.";

    builder_.Build();
    // A title bar without system menu, close, minimise or maximise box; it
    // stays above the main window while it serves as the start-up window.
    setWindowFlags(kDialogWindowFlags | Qt::WindowStaysOnTopHint);
    builder_.Get<QPushButton>(kEmailButton)
        ->setText(QStringLiteral("&e-mail: ") + QString::fromLatin1(EmailAddress()));
    // Clicking the icon does nothing.
    builder_.Get<QLabel>(kIcon)->setPixmap(ResourceBitmap(128));

    connect(builder_.Get<QPushButton>(kEmailButton), &QPushButton::clicked, this,
            &CAboutDlg::OnEmail);
    connect(builder_.Get<QPushButton>(kHomePageButton), &QPushButton::clicked, this,
            &CAboutDlg::OnHomePage);
    connect(builder_.Get<QPushButton>(1), &QPushButton::clicked, this, &CAboutDlg::accept);

    closeTimer_->setObjectName(QStringLiteral("closeTimer"));
    closeTimer_->setInterval(kTimerPeriodMs);
    connect(closeTimer_, &QTimer::timeout, this, &CAboutDlg::OnTimer);
}

CAboutDlg::~CAboutDlg() = default;

const char* CAboutDlg::EmailAddress() {
    return "kadrimix@quelmark.org";
}

const char* CAboutDlg::HomePage() {
    return "https://www.quelmark.org/kadrimix";
}

std::string CAboutDlg::MailtoLink() {
    char link[256];
    std::snprintf(link, sizeof link, "mailto:%s?subject=%s [%s]", EmailAddress(), kProductName,
                  kProductVersion);
    return link;
}

std::string CAboutDlg::ToolTipText(int controlId) {
    switch (controlId) {
    case 1:
        return GetText(txt::kTipCloseAbout);
    case kIcon:
        return GetText(txt::kTipAnotherPicture);
    case kEmailButton:
        return GetText(txt::kTipSendEmail);
    case kHomePageButton:
        return GetText(txt::kTipOpenHomePage);
    default:
        return std::string();
    }
}

bool CAboutDlg::TimerRunning() const {
    return closeTimer_->isActive();
}

void CAboutDlg::showEvent(QShowEvent* event) {
    if (!initialised_) {
        initialised_ = true;
        OnInitDialog();
    }
    QDialog::showEvent(event);
}

void CAboutDlg::OnInitDialog() {
    builder_.Get<QLabel>(kVersion)->setText(FromUtf8(versionText));
    builder_.Get<QLabel>(kNotice)->setText(FromUtf8(noticeText));

    auto* tips = new CToolTips(this, &CAboutDlg::ToolTipText);
    tips->WatchAll();

    if (QScreen* shown = screen(); shown != nullptr && parentWidget() == nullptr) {
        move(shown->availableGeometry().center() - rect().center());
    }
    if (displaySeconds > 0) {
        closeTimer_->start();
    }
}

void CAboutDlg::OnTimer() {
    if (elapsedMs == 0) {
        activateWindow();
        setFocus(Qt::OtherFocusReason);
    }
    elapsedMs += kTimerPeriodMs;
    // Only a start-up window closes itself; the product is taken in 64 bits
    // so that no display time can overflow it.
    if (displaySeconds > 0 &&
        static_cast<std::int64_t>(elapsedMs) > static_cast<std::int64_t>(displaySeconds) * 1000) {
        closeTimer_->stop();
        done(QDialog::Rejected);
    }
}

void CAboutDlg::OnEmail() {
    if (!openUrl(QUrl(QString::fromStdString(MailtoLink())))) {
        ShowMessage(EmailAddress());
    }
    done(0);
}

void CAboutDlg::OnHomePage() {
    if (!openUrl(QUrl(QString::fromLatin1(HomePage())))) {
        ShowMessage(HomePage());
    }
    done(0);
}
