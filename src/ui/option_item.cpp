#include "ui/option_item.h"

#include <QFontMetrics>
#include <QPainter>
#include <QWidget>

#include "image/dib_image.h"
#include "platform/font_faces.h"
#include "platform/window_messages.h"
#include "ui/main_window_services.h"

namespace {
constexpr int kOptionBoxSkin = 224;
// The box skin's size; used for the layout when the skin is not loaded.
constexpr int kBoxSize = 12;
constexpr int kLabelGap = 5;
}  // namespace

COptionItem::COptionItem(QWidget* owner, int itemId, int kind)
    : font_(QvFont(QStringLiteral("宋体"), 12, 400)), owner_(owner), kind_(kind), itemId_(itemId) {}

void COptionItem::Paint(QPainter& painter, int x, int y) {
    const MainWindowServices* main = TheMainWindow();
    const CDibImage* box = main != nullptr ? main->SkinImage(kOptionBoxSkin) : nullptr;
    int boxWidth = kBoxSize;
    int boxHeight = kBoxSize;
    if (box != nullptr && box->IsValid()) {
        boxWidth = int(box->GetWidth());
        boxHeight = int(box->GetHeight());
        box->Stretch(&painter, x, y, boxWidth, boxHeight);
    }
    painter.save();
    painter.setFont(font_);
    if (checked_)
        QvTextOut(painter, x, y, QStringLiteral("√"));
    QvTextOut(painter, x + boxWidth + kLabelGap, y, text_);
    const int labelWidth = QFontMetrics(font_).horizontalAdvance(text_);
    painter.restore();
    hitRect_ = {x, y, x + boxWidth + labelWidth + kLabelGap, y + boxHeight};
}

bool COptionItem::Click(QvPoint point) {
    if (!hitRect_.Contains(point.x, point.y))
        return false;
    if (kind_ == kRadio && checked_)
        return false;
    checked_ = !checked_;
    if (owner_ != nullptr) {
        owner_->update(hitRect_.left, hitRect_.top, hitRect_.Width(), hitRect_.Height());
        SendWindowMessage(owner_, qvmsg::kOptionChanged, WParam(itemId_), checked_ ? 1 : 0);
    }
    return true;
}
