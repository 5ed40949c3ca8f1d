// Every window in each of the three languages: captions fit their fixed-size
// controls in the font the program uses, every button and every label that
// leads to a control has a keyboard accelerator, no two controls of a window
// share one, and Tab reaches every control that can be operated.
#include "app/AboutDlg.h"
#include "app/DialogBuilder.h"
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
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTest>

#include <map>
#include <memory>
#include <set>

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

// A control the keyboard operates, which Tab must reach (of exclusive
// buttons the checked one; the arrow keys lead to the others).
bool Operable(const QWidget& w) {
    const auto* radio = qobject_cast<const QRadioButton*>(&w);
    const auto* edit = qobject_cast<const QLineEdit*>(&w);
    const bool kind = w.inherits("QAbstractButton") || w.inherits("QAbstractSlider") ||
                      w.inherits("QComboBox") || w.inherits("QAbstractSpinBox") ||
                      (edit != nullptr && !edit->isReadOnly());
    return kind && w.isEnabled() && (radio == nullptr || radio->isChecked());
}

// The controls Tab reaches in a shown window, once round.
std::set<const QWidget*> TabRound(QWidget& window) {
    std::set<const QWidget*> reached;
    QTest::keyClick(&window, Qt::Key_Tab);
    while (window.focusWidget() != nullptr && reached.insert(window.focusWidget()).second) {
        QTest::keyClick(window.focusWidget(), Qt::Key_Tab);
    }
    return reached;
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
            std::map<QChar, const QWidget*> accelerators;
            window->show();
            const std::set<const QWidget*> tabbed = TabRound(*window);
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
                // Buttons but the default one (Return presses it) and labels
                // that lead to a control have an accelerator. Only Start and
                // Stop share one: one of them is always disabled, so Alt+T
                // starts and stops.
                const auto* button = qobject_cast<const QAbstractButton*>(w);
                const auto* push = qobject_cast<const QPushButton*>(w);
                const QString caption =
                    label != nullptr ? (label->buddy() != nullptr ? label->text() : QString())
                    : button != nullptr && (push == nullptr || !push->isDefault()) ? button->text()
                                                                                   : QString();
                const QChar key = Mnemonic(caption);
                EXPECT_EQ(key.isNull(), caption.isEmpty()) << name << ": " << caption.toStdString();
                if (!key.isNull() && !accelerators.emplace(key, w).second) {
                    EXPECT_EQ((std::set{CDialogBuilder::ControlId(w),
                                        CDialogBuilder::ControlId(accelerators[key])}),
                              (std::set{3, 4}))
                        << name << " language " << language << ": " << caption.toStdString();
                }
                EXPECT_TRUE(w->parentWidget() != window.get() || !Operable(*w) ||
                            tabbed.contains(w))
                    << name << " " << w->objectName().toStdString();
            }
            const Qt::WindowFlags flags = window->windowFlags();
            EXPECT_EQ(window->windowType(), Qt::Dialog) << name;
            EXPECT_TRUE(flags.testFlags(Qt::CustomizeWindowHint | Qt::WindowTitleHint)) << name;
            EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint)) << name;
            EXPECT_EQ(flags.testFlag(Qt::WindowMinimizeButtonHint),
                      qobject_cast<CMainDlg*>(window.get()) != nullptr)
                << name;
            EXPECT_EQ(window->minimumSize(), window->maximumSize()) << name;
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

// A whole job with the keyboard alone: accelerators choose the files and an
// option, Tab reaches every control (END, the slider, the play button, the
// overlay list among them), Alt+T runs the job. An accelerator clicks its
// button a moment later, after showing it pressed.
TEST_F(WindowTexts, AWholeJobWithTheKeyboardAlone) {
    CWorkerThread worker(fast);
    ASSERT_TRUE(worker.StartWorker());
    CMainDlg dlg(worker);
    dlg.show();
    dlg.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    const std::string output = dir.File("out.avi");
    fileAnswers = {Sample("in.avi", 32, 24, 3), output};
    const std::pair<Qt::Key, std::function<bool()>> steps[] = {
        {Qt::Key_I, [&dlg] { return dlg.FrameCount() == 3; }},
        {Qt::Key_O, [&dlg] { return !dlg.OutputName().empty(); }},
        {Qt::Key_V, [&dlg] { return Checked(dlg, 1003); }},
        {Qt::Key_T, [&] { return std::filesystem::exists(output) && !dlg.IsConverting(); }},
    };
    for (const auto& [key, done] : steps) {
        if (key == Qt::Key_T) {
            const std::set<const QWidget*> tabbed = TabRound(dlg);
            for (const int id : {1, 3, 1011, 1013, 1014, 1022}) {
                EXPECT_TRUE(tabbed.contains(dlg.Control(id))) << id;
            }
        }
        QTest::keyClick(&dlg, key, Qt::AltModifier);
        ASSERT_TRUE(QTest::qWaitFor(done, 5000)) << key;
    }
}

} // namespace
