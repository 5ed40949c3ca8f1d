#include "app/DialogBuilder.h"

#include "app/HelpKey.h"
#include "app/TextCatalog.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFontMetricsF>
#include <QFrame>
#include <QGroupBox>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr const char* kIdProperty = "kadrimixControlId";

QString Caption(const ControlTemplate& c) {
    return c.caption != nullptr ? QString::fromUtf8(c.caption) : QString();
}

QWidget* MakeButton(const ControlTemplate& c, QDialog& dialog) {
    auto* b = new QPushButton(Caption(c), &dialog);
    b->setAutoDefault(false);
    b->setDefault(c.kind == ControlKind::DefaultPushButton);
    return b;
}

// Each radio button joins the group of the buttons before it, up to the next
// one that starts a group.
QWidget* MakeRadioButton(const ControlTemplate& c, QDialog& dialog, QButtonGroup*& radioGroup) {
    auto* r = new QRadioButton(Caption(c), &dialog);
    if (c.groupStart || radioGroup == nullptr) {
        radioGroup = new QButtonGroup(&dialog);
    }
    radioGroup->addButton(r);
    return r;
}

QWidget* MakeLabel(const ControlTemplate& c, QDialog& dialog) {
    auto* l = new QLabel(Caption(c), &dialog);
    l->setAlignment(c.kind == ControlKind::CenteredLabel ? Qt::AlignHCenter | Qt::AlignTop
                                                         : Qt::AlignLeft | Qt::AlignTop);
    if (c.kind == ControlKind::SunkenLabel) {
        l->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }
    l->setWordWrap(c.height > 14);
    return l;
}

QWidget* MakePicture(QDialog& dialog) {
    auto* l = new QLabel(&dialog);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return l;
}

QWidget* MakeReadOnlyEdit(QDialog& dialog) {
    auto* e = new QLineEdit(&dialog);
    e->setReadOnly(true);
    e->setAlignment(Qt::AlignCenter);
    e->setFocusPolicy(Qt::NoFocus);
    return e;
}

// Digits only; a number outside the range is pulled into it when the edit
// is committed (Return, or the focus leaving).
class CRangeValidator final : public QIntValidator {
public:
    explicit CRangeValidator(QObject* parent) : QIntValidator(0, 0, parent) {
        QLocale plain = QLocale::c();
        plain.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
        setLocale(plain);
    }
    void fixup(QString& input) const override {
        bool ok = false;
        const qlonglong value = input.toLongLong(&ok);
        if (ok) {
            input = QString::number(std::clamp<qlonglong>(value, bottom(), top()));
        }
    }
};

// A number box: its editingFinished commits the number. Return commits it
// before the dialog's default button acts; a number that had to be pulled
// into the range is shown instead, and the dialog stays.
class CNumberEdit final : public QLineEdit {
public:
    explicit CNumberEdit(QWidget* parent) : QLineEdit(parent) {
        setAlignment(Qt::AlignCenter);
        setFocusPolicy(Qt::StrongFocus);
        setValidator(new CRangeValidator(this));
    }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
        const bool acceptable = hasAcceptableInput();
        QLineEdit::keyPressEvent(event); // commits; leaves Return to the dialog
        if (enter && !acceptable) {
            event->accept();
        }
    }
};

QWidget* MakeTrackBar(QDialog& dialog) {
    auto* s = new QSlider(Qt::Horizontal, &dialog);
    s->setTickPosition(QSlider::NoTicks);
    s->setFocusPolicy(Qt::StrongFocus);
    return s;
}

QWidget* MakeDivider(QDialog& dialog) {
    auto* f = new QFrame(&dialog);
    f->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    return f;
}

// The usual widget for a control of the template.
QWidget* MakeStandardControl(const ControlTemplate& c, QDialog& dialog, QButtonGroup*& radioGroup) {
    switch (c.kind) {
    case ControlKind::PushButton:
    case ControlKind::DefaultPushButton:
    case ControlKind::OwnerDrawButton:
        return MakeButton(c, dialog);
    case ControlKind::CheckBox:
        return new QCheckBox(Caption(c), &dialog);
    case ControlKind::RadioButton:
        return MakeRadioButton(c, dialog, radioGroup);
    case ControlKind::GroupBox:
        return new QGroupBox(Caption(c), &dialog);
    case ControlKind::Label:
    case ControlKind::CenteredLabel:
    case ControlKind::SunkenLabel:
        return MakeLabel(c, dialog);
    case ControlKind::Picture:
        return MakePicture(dialog);
    case ControlKind::ReadOnlyEdit:
        return MakeReadOnlyEdit(dialog);
    case ControlKind::NumberEdit:
        return new CNumberEdit(&dialog);
    case ControlKind::TrackBar:
        return MakeTrackBar(dialog);
    case ControlKind::ComboBox:
        return new QComboBox(&dialog);
    case ControlKind::ProgressBar:
        return new QProgressBar(&dialog);
    case ControlKind::Divider:
        return MakeDivider(dialog);
    }
    return new QWidget(&dialog);
}

} // namespace

CDialogBuilder::CDialogBuilder(QDialog& dialog, const DialogTemplate& dialogTemplate)
    : dialog_(dialog), template_(dialogTemplate) {
    // Dialog units come from the average character width and the height of
    // the dialog's font, as the classic dialogs measured them; the classic
    // sizes are the least, so small desktop fonts never cramp the layout.
    const QFontMetricsF metrics(dialog_.font());
    const double average = metrics.horizontalAdvance(QStringLiteral(
                               "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
                           52.0;
    unitX_ = std::max(1.5, average / 4.0);
    unitY_ = std::max(1.625, metrics.height() / 8.0);
}

QRect CDialogBuilder::ToPixels(int x, int y, int width, int height) const {
    const int left = static_cast<int>(std::lround(x * unitX_));
    const int top = static_cast<int>(std::lround(y * unitY_));
    const int right = static_cast<int>(std::lround((x + width) * unitX_));
    const int bottom = static_cast<int>(std::lround((y + height) * unitY_));
    return QRect(left, top, right - left, bottom - top);
}

void CDialogBuilder::SetNumberRange(QWidget* edit, int minimum, int maximum) {
    auto* validator = edit != nullptr
                          ? edit->findChild<CRangeValidator*>(QString(), Qt::FindDirectChildrenOnly)
                          : nullptr;
    if (validator != nullptr) {
        validator->setRange(minimum, std::max(minimum, maximum));
    }
}

int CDialogBuilder::ControlId(const QObject* widget) {
    return widget != nullptr ? widget->property(kIdProperty).toInt() : 0;
}

QWidget* CDialogBuilder::Control(int id) const {
    const auto it = controls_.find(id);
    return it != controls_.end() ? it->second : nullptr;
}

void CDialogBuilder::SetCaptions(std::span<const ControlText> texts) const {
    for (const ControlText& entry : texts) {
        const QString text = QString::fromUtf8(GetText(entry.textId));
        QWidget* control = Control(entry.controlId);
        if (auto* button = qobject_cast<QAbstractButton*>(control)) {
            button->setText(text);
        } else if (auto* group = qobject_cast<QGroupBox*>(control)) {
            group->setTitle(text);
        } else if (auto* label = qobject_cast<QLabel*>(control)) {
            label->setText(text);
        }
    }
}

void CDialogBuilder::Build(const Factory& factory) {
    dialog_.setWindowTitle(QString::fromUtf8(template_.caption));
    const QRect size = ToPixels(0, 0, template_.width, template_.height);
    dialog_.setFixedSize(size.size());
    SwallowHelpRequests(dialog_);
    QButtonGroup* radioGroup = nullptr;

    std::vector<QWidget*> made;
    for (std::size_t i = 0; i < template_.count; ++i) {
        const ControlTemplate& c = template_.controls[i];
        QWidget* w = factory ? factory(c, &dialog_) : nullptr;
        if (w == nullptr) {
            w = MakeStandardControl(c, dialog_, radioGroup);
        }
        Place(*w, c);
        made.push_back(w);
    }
    LinkLabels(made);
}

void CDialogBuilder::LinkLabels(const std::vector<QWidget*>& made) const {
    // As in the classic dialogs, a label's mnemonic moves the focus to the
    // control after it in the Tab order, unless that is a button (which has
    // a mnemonic of its own). Labels without a template caption show names
    // and values, and never get one.
    for (std::size_t i = 0; i < made.size(); ++i) {
        auto* label = qobject_cast<QLabel*>(made[i]);
        if (label == nullptr || template_.controls[i].caption == nullptr) {
            continue;
        }
        const auto next =
            std::find_if(made.begin() + static_cast<std::ptrdiff_t>(i) + 1, made.end(),
                         [](const QWidget* w) { return (w->focusPolicy() & Qt::TabFocus) != 0; });
        if (next != made.end() && qobject_cast<QAbstractButton*>(*next) == nullptr) {
            label->setBuddy(*next);
        }
    }
}

void CDialogBuilder::Place(QWidget& w, const ControlTemplate& c) {
    QRect rect = ToPixels(c.x, c.y, c.width, c.height);
    if (c.kind == ControlKind::ComboBox) {
        // The template's height is that of the open list.
        rect.setHeight(std::max(w.sizeHint().height(), ToPixels(0, 0, 0, 12).height()));
    }
    w.setGeometry(rect);
    w.setProperty(kIdProperty, c.id);
    w.setObjectName(QStringLiteral("control%1").arg(c.id));
    if (c.kind == ControlKind::GroupBox) {
        w.lower();
    }
    controls_[c.id] = &w;
}
