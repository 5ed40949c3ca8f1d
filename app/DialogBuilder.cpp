#include "app/DialogBuilder.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFontMetricsF>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

#include <algorithm>
#include <cmath>

namespace {

constexpr const char* kIdProperty = "kadrimixControlId";

QString Caption(const ControlTemplate& c) {
    return c.caption != nullptr ? QString::fromUtf8(c.caption) : QString();
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

int CDialogBuilder::ControlId(const QObject* widget) {
    return widget != nullptr ? widget->property(kIdProperty).toInt() : 0;
}

QWidget* CDialogBuilder::Control(int id) const {
    const auto it = controls_.find(id);
    return it != controls_.end() ? it->second : nullptr;
}

void CDialogBuilder::Build(const Factory& factory) {
    dialog_.setWindowTitle(QString::fromUtf8(template_.caption));
    const QRect size = ToPixels(0, 0, template_.width, template_.height);
    dialog_.setFixedSize(size.size());
    QButtonGroup* radioGroup = nullptr;

    for (std::size_t i = 0; i < template_.count; ++i) {
        const ControlTemplate& c = template_.controls[i];
        QWidget* w = factory ? factory(c, &dialog_) : nullptr;
        if (w == nullptr) {
            switch (c.kind) {
            case ControlKind::PushButton:
            case ControlKind::DefaultPushButton:
            case ControlKind::OwnerDrawButton: {
                auto* b = new QPushButton(Caption(c), &dialog_);
                b->setAutoDefault(false);
                b->setDefault(c.kind == ControlKind::DefaultPushButton);
                w = b;
                break;
            }
            case ControlKind::CheckBox:
                w = new QCheckBox(Caption(c), &dialog_);
                break;
            case ControlKind::RadioButton: {
                auto* r = new QRadioButton(Caption(c), &dialog_);
                if (c.groupStart || radioGroup == nullptr) {
                    radioGroup = new QButtonGroup(&dialog_);
                }
                radioGroup->addButton(r);
                w = r;
                break;
            }
            case ControlKind::GroupBox:
                w = new QGroupBox(Caption(c), &dialog_);
                break;
            case ControlKind::Label:
            case ControlKind::CenteredLabel:
            case ControlKind::SunkenLabel: {
                auto* l = new QLabel(Caption(c), &dialog_);
                l->setAlignment(c.kind == ControlKind::CenteredLabel
                                    ? Qt::AlignHCenter | Qt::AlignTop
                                    : Qt::AlignLeft | Qt::AlignTop);
                if (c.kind == ControlKind::SunkenLabel) {
                    l->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
                    l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
                }
                l->setWordWrap(c.height > 14);
                w = l;
                break;
            }
            case ControlKind::Picture: {
                auto* l = new QLabel(&dialog_);
                l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
                w = l;
                break;
            }
            case ControlKind::ReadOnlyEdit: {
                auto* e = new QLineEdit(&dialog_);
                e->setReadOnly(true);
                e->setAlignment(Qt::AlignCenter);
                e->setFocusPolicy(Qt::NoFocus);
                w = e;
                break;
            }
            case ControlKind::TrackBar: {
                auto* s = new QSlider(Qt::Horizontal, &dialog_);
                s->setTickPosition(QSlider::NoTicks);
                s->setFocusPolicy(Qt::StrongFocus);
                w = s;
                break;
            }
            case ControlKind::ComboBox:
                w = new QComboBox(&dialog_);
                break;
            case ControlKind::ProgressBar:
                w = new QProgressBar(&dialog_);
                break;
            case ControlKind::Divider: {
                auto* f = new QFrame(&dialog_);
                f->setFrameStyle(QFrame::HLine | QFrame::Sunken);
                w = f;
                break;
            }
            }
        }
        QRect rect = ToPixels(c.x, c.y, c.width, c.height);
        if (c.kind == ControlKind::ComboBox) {
            // The template's height is that of the open list.
            rect.setHeight(std::max(w->sizeHint().height(), ToPixels(0, 0, 0, 12).height()));
        }
        w->setGeometry(rect);
        w->setProperty(kIdProperty, c.id);
        w->setObjectName(QStringLiteral("control%1").arg(c.id));
        if (c.kind == ControlKind::GroupBox) {
            w->lower();
        }
        controls_[c.id] = w;
    }
}
