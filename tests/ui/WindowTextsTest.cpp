// Every window in each of the three languages: captions fit their fixed-size
// controls in the font the program uses, and no two controls of a window
// share a keyboard accelerator.
#include "app/AboutDlg.h"
#include "app/SetupDlg.h"
#include "codec/CompressorRecords.h"
#include "tests/ui/MainDlgFixtureTest.h"
#include "ui/main/CodecChooserDlg.h"
#include "ui/overlay/BorderDlg.h"
#include "ui/overlay/CropDlg.h"
#include "ui/overlay/OverlayDlg.h"
#include "ui/overlay/QuickPosDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>

#include <map>
#include <memory>

namespace {

using WindowTexts = MainDlgTest;

// Every window of the program, with its captions in the current language.
std::vector<std::unique_ptr<QDialog>> AllWindows(CWorkerThread& worker) {
    std::vector<std::unique_ptr<QDialog>> windows;
    windows.push_back(std::make_unique<CMainDlg>(worker));
    auto overlay = std::make_unique<COverlayDlg>();
    overlay->SetTarget(nullptr, std::string());
    windows.push_back(std::move(overlay));
    windows.push_back(std::make_unique<CBorderDlg>());
    windows.push_back(std::make_unique<CCropDlg>());
    windows.push_back(std::make_unique<CQuickPosDlg>());
    windows.push_back(std::make_unique<CSetupDlg>());
    windows.push_back(std::make_unique<CAboutDlg>());
    windows.push_back(std::make_unique<CCodecChooserDlg>(nullptr, kmx::MakeEmptyCompVars()));
    return windows;
}

int TextWidth(const QWidget& w, const QString& text) {
    return QFontMetrics(w.font()).size(Qt::TextShowMnemonic, text).width();
}

// Pixels a caption needs beside it in its control, or -1 for controls
// without a caption of their own.
int Needed(const QWidget& w) {
    const QStyle* style = w.style();
    if (const auto* box = qobject_cast<const QCheckBox*>(&w)) {
        return style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, &w) +
               style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, &w) +
               TextWidth(w, box->text());
    }
    if (const auto* radio = qobject_cast<const QRadioButton*>(&w)) {
        return style->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, &w) +
               style->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, &w) +
               TextWidth(w, radio->text());
    }
    if (const auto* button = qobject_cast<const QPushButton*>(&w)) {
        return button->text().isEmpty()
                   ? -1
                   : TextWidth(w, button->text()) +
                         2 * style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, &w);
    }
    if (const auto* group = qobject_cast<const QGroupBox*>(&w)) {
        return group->title().isEmpty()
                   ? -1
                   : TextWidth(w, group->title()) + 2 * w.fontMetrics().averageCharWidth();
    }
    if (const auto* label = qobject_cast<const QLabel*>(&w)) {
        if (label->text().isEmpty() || label->wordWrap()) {
            return -1;
        }
        return TextWidth(w, label->text()) + 2 * label->frameWidth();
    }
    return -1;
}

// The accelerator letter of a caption ("&&" is a plain "&"), or 0.
QChar Mnemonic(const QString& text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == QLatin1Char('&')) {
            if (text[i + 1] != QLatin1Char('&')) {
                return text[i + 1].toLower();
            }
            ++i;
        }
    }
    return QChar();
}

// Window managers offer minimise and maximise boxes unless the window's
// flags leave them out; only the main window may be minimised, and no window
// may be resized, so none can be maximised. F1 pressed on a control travels
// up to the window, which takes it and does nothing else; so does a What's
// This request sent to the window itself.
TEST_F(WindowTexts, CaptionsFitAcceleratorsAreUniqueAndWindowsAreFixedAndSwallowHelp) {
    CWorkerThread worker(fast);
    for (const std::int32_t language : {1, 2, 3}) {
        TextCatalog().Init(language);
        for (const std::unique_ptr<QDialog>& window : AllWindows(worker)) {
            const char* name = window->metaObject()->className();
            std::map<QChar, QString> accelerators;
            for (const QWidget* w : window->findChildren<QWidget*>()) {
                const int needed = Needed(*w);
                EXPECT_LE(needed, w->width())
                    << name << " " << w->objectName().toStdString() << " language " << language;
                // Word-wrapped captions must fit in their height.
                const auto* label = qobject_cast<const QLabel*>(w);
                if (label != nullptr && label->wordWrap() && !label->text().isEmpty()) {
                    EXPECT_LE(label->heightForWidth(label->width()), label->height())
                        << name << " " << label->text().toStdString();
                }
                const auto* button = qobject_cast<const QAbstractButton*>(w);
                const QChar key = button != nullptr ? Mnemonic(button->text()) : QChar();
                if (!key.isNull()) {
                    EXPECT_TRUE(accelerators.emplace(key, button->text()).second)
                        << name << " language " << language << ": " << button->text().toStdString()
                        << " and " << accelerators[key].toStdString();
                }
            }
            const Qt::WindowFlags flags = window->windowFlags();
            EXPECT_EQ(window->windowType(), Qt::Dialog) << name;
            EXPECT_TRUE(flags.testFlags(Qt::CustomizeWindowHint | Qt::WindowTitleHint)) << name;
            EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint)) << name;
            EXPECT_EQ(flags.testFlag(Qt::WindowMinimizeButtonHint),
                      qobject_cast<CMainDlg*>(window.get()) != nullptr)
                << name;
            EXPECT_EQ(window->minimumSize(), window->maximumSize()) << name;
            window->show();
            for (const Qt::Key key : {Qt::Key_F1, Qt::Key_Help}) {
                QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
                QApplication::sendEvent(window->findChild<QPushButton*>(), &press);
                EXPECT_TRUE(press.isAccepted()) << name << " " << key;
            }
            QHelpEvent help(QEvent::WhatsThis, QPoint(1, 1), window->mapToGlobal(QPoint(1, 1)));
            EXPECT_TRUE(QApplication::sendEvent(window.get(), &help)) << name;
            EXPECT_TRUE(help.isAccepted()) << name;
            EXPECT_TRUE(window->isVisible()) << name;
            EXPECT_EQ(window->result(), 0) << name;
        }
    }
    TextCatalog().Init(2);
}

} // namespace
