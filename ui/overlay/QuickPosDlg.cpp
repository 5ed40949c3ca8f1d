#include "ui/overlay/QuickPosDlg.h"

#include "app/StringPrintf.h"
#include "app/TextCatalog.h"
#include "app/TextIds.h"
#include "app/ToolTips.h"
#include "ui/overlay/QuickPosTable.h"

#include <QPushButton>

CQuickPosDlg::CQuickPosDlg(QWidget* parent)
    : QDialog(parent), builder_(*this, QuickPosDialogTemplate()) {
    builder_.Build();
    setWindowFlags(kDialogWindowFlags | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    for (const int id : kQuickPosButtonIds) {
        if (auto* button = builder_.Get<QPushButton>(id)) {
            connect(button, &QPushButton::clicked, this, &CQuickPosDlg::OnPositionButton);
        }
    }
    // No control of this dialog has a tip text; the filter keeps other tips away.
    auto* tips = new CToolTips(this, [](int) { return std::string(); });
    tips->WatchAll();
}

void CQuickPosDlg::SetTarget(std::int32_t number, std::int32_t width, std::int32_t height,
                             std::int32_t* x, std::int32_t* y, std::int32_t* rectWidth,
                             std::int32_t* rectHeight) {
    number_ = number;
    baseWidth_ = width;
    baseHeight_ = height;
    x_ = x;
    y_ = y;
    width_ = rectWidth;
    height_ = rectHeight;
    OnInitDialog();
}

void CQuickPosDlg::OnInitDialog() {
    setWindowTitle(QString::fromUtf8(StringPrintf("Overlay %i - [%s]", static_cast<int>(number_),
                                                  GetText(txt::kSelectPredefinedPosition))));
}

void CQuickPosDlg::OnPositionButton() {
    QuickPosRect r;
    if (!QuickPosRectangle(CDialogBuilder::ControlId(sender()), baseWidth_, baseHeight_, &r)) {
        return;
    }
    if (x_ != nullptr && y_ != nullptr && width_ != nullptr && height_ != nullptr) {
        *x_ = r.x;
        *y_ = r.y;
        *width_ = r.width;
        *height_ = r.height;
    }
    done(0);
}
