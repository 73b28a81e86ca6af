#include "ui/option_panel.h"

#include <QMouseEvent>

#include "platform/font_faces.h"
#include "platform/window_messages.h"
#include "ui/number_edit.h"
#include "ui/window_shape.h"

namespace {
constexpr int kCornerEllipse = 15;
}  // namespace

COptionPanel::COptionPanel(QWidget* parent, int kind, const std::array<QString, 3>& texts)
    : QWidget(parent),
      font_(QvFont(QStringLiteral("宋体"), 12, 400)),
      items_{COptionItem(this, 1, kind), COptionItem(this, 2, kind), COptionItem(this, 3, kind)} {
    for (size_t i = 0; i < items_.size(); ++i) {
        items_[i].SetText(texts[i]);
    }
    setCursor(Qt::ArrowCursor);
    // The paint covers the whole panel, so there is nothing to erase first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void COptionPanel::Place(QWidget* parent, const QvRect& rect, const QString& windowName, int id) {
    if (parent != nullptr && parent != parentWidget()) {
        setParent(parent);
    }
    setObjectName(windowName);
    id_ = id;
    setGeometry(rect.left, rect.top, rect.Width(), rect.Height());
}

bool COptionPanel::CreateEdit(const QRect& rect, int minimum, int maximum) {
    if (edit_ != nullptr) {
        return false;
    }
    edit_ = new CNumberEdit(this);
    edit_->setGeometry(rect);
    edit_->setFont(font_);
    edit_->SetRange(minimum, maximum);
    edit_->show();
    return true;
}

void COptionPanel::Uncheck(int itemId) {
    COptionItem& item = ItemRef(itemId);
    if (item.IsChecked()) {
        item.SetCheck(false);
        const QvRect& hit = item.HitRect();
        update(hit.left, hit.top, hit.Width(), hit.Height());
    }
}

bool COptionPanel::event(QEvent* event) {
    if (event->type() == WindowMessageEvent::EventType()) {
        auto* message = static_cast<WindowMessageEvent*>(event);
        if (message->message == qvmsg::kOptionChanged) {
            OnOptionChanged(int(message->wParam), int(message->lParam));
            return true;
        }
        if (message->message == qvmsg::kNumberEditChanged && edit_ != nullptr &&
            message->wParam == WParam(edit_)) {
            OnEditChanged();
            return true;
        }
    }
    return QWidget::event(event);
}

void COptionPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    setMask(RoundedWindowRegion(size(), kCornerEllipse));
}

void COptionPanel::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const QPoint p = event->position().toPoint();
    for (COptionItem& item : items_) {
        item.Click({p.x(), p.y()});
    }
}
