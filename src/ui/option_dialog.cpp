#include "ui/option_dialog.h"

#include <QMouseEvent>

#include "platform/font_faces.h"
#include "platform/window_messages.h"

CQVOptionDialog::CQVOptionDialog(QWidget* parent, const QStringList& labels)
    : CQVDialog(parent), dialogFont_(QvFont(QStringLiteral("宋体"), 12, 400)) {
    items_.reserve(size_t(labels.size()));
    for (const QString& label : labels) {
        items_.emplace_back(this, int(items_.size()) + 1, COptionItem::kRadio);
        items_.back().SetText(label);
    }
}

int CQVOptionDialog::CheckedItem() const {
    for (const COptionItem& item : items_) {
        if (item.IsChecked())
            return item.ItemId();
    }
    return 0;
}

void CQVOptionDialog::CheckOnly(int itemId) {
    for (COptionItem& item : items_) {
        if (item.IsChecked() != (item.ItemId() == itemId)) {
            item.SetCheck(item.ItemId() == itemId);
            const QvRect& hit = item.HitRect();
            update(hit.left, hit.top, hit.Width(), hit.Height());
        }
    }
}

bool CQVOptionDialog::event(QEvent* event) {
    if (event->type() == WindowMessageEvent::EventType()) {
        auto* message = static_cast<WindowMessageEvent*>(event);
        if (message->message == qvmsg::kOptionChanged) {
            if (message->lParam != 0) {
                CheckOnly(int(message->wParam));
                OnOptionChanged(int(message->wParam));
            }
            return true;
        }
    }
    return CQVDialog::event(event);
}

// The items take the click first; a press in the title band then still drags the dialog.
void CQVOptionDialog::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        const QPoint at = event->position().toPoint();
        for (COptionItem& item : items_) {
            item.Click({at.x(), at.y()});
        }
    }
    CQVDialog::mousePressEvent(event);
}
