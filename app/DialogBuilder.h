// Turns a dialog template into Qt widgets on a dialog: every control at its
// place (dialog units converted to pixels from the dialog's font, never
// smaller than the classic 6/4 x 13/8 pixels per unit), with its caption and
// its control id, which later code uses to find it again. The Tab order is
// the template's order; a captioned label's mnemonic leads to the control
// after it.
#pragma once

#include "res/DialogTemplate.h"

#include <QRect>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <map>
#include <span>
#include <vector>

class QDialog;

// The window flags of the program's dialogs: a title bar without minimise
// and maximise boxes (window managers offer them unless told otherwise).
inline constexpr Qt::WindowFlags kDialogWindowFlags =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;

// A control and the catalogue text that is its caption.
struct ControlText {
    int controlId;
    std::int32_t textId;
};

class CDialogBuilder {
public:
    // Makes the widget for a control itself, or returns nullptr to let the
    // builder make the usual one.
    using Factory = std::function<QWidget*(const ControlTemplate&, QWidget* parent)>;

    CDialogBuilder(QDialog& dialog, const DialogTemplate& dialogTemplate);

    // Creates every control and fixes the dialog's size; the dialog then
    // swallows the help key and help requests (app/HelpKey.h).
    void Build(const Factory& factory = {});

    // The control with this id (the last one made, for the id -1), or nullptr.
    QWidget* Control(int id) const;
    template <typename T> T* Get(int id) const { return qobject_cast<T*>(Control(id)); }

    // Sets the captions of buttons, group boxes and labels from the text
    // catalogue in its current language.
    void SetCaptions(std::span<const ControlText> texts) const;

    // The range a number box (ControlKind::NumberEdit) takes; typed numbers
    // outside it are pulled into it.
    static void SetNumberRange(QWidget* edit, int minimum, int maximum);

    // Dialog units to pixels for this dialog.
    QRect ToPixels(int x, int y, int width, int height) const;

    // The control id stored on a widget, or 0.
    static int ControlId(const QObject* widget);

private:
    // Puts a control's widget at its place and records its id.
    void Place(QWidget& w, const ControlTemplate& c);
    // Gives each captioned label the control after it as its buddy.
    void LinkLabels(const std::vector<QWidget*>& made) const;

    QDialog& dialog_;
    const DialogTemplate& template_;
    double unitX_ = 1.5;   // pixels per horizontal dialog unit
    double unitY_ = 1.625; // pixels per vertical dialog unit
    std::map<int, QWidget*> controls_;
};
