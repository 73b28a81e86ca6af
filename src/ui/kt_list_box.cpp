#include "ui/kt_list_box.h"

#include <QMouseEvent>

#include "platform/window_messages.h"

CKTListBox::CKTListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDragEnabled(false);
    setSortingEnabled(false);
}

void CKTListBox::mousePressEvent(QMouseEvent* event) {
    QListWidget::mousePressEvent(event);  // selects the entry under the cursor
    if (event->button() == Qt::LeftButton && currentRow() >= 0) {
        armed_ = true;
        pressedIndex_ = currentRow();
    }
}

void CKTListBox::mouseMoveEvent(QMouseEvent* event) {
    QListWidget::mouseMoveEvent(event);  // with the button held the selection follows the cursor
    if (!armed_)
        return;
    // The entry selected when the button went down: the selection may already have followed
    // a fast first move onto another entry.
    dragging_ = true;
    draggedIndex_ = pressedIndex_;
    armed_ = false;
}

void CKTListBox::mouseReleaseEvent(QMouseEvent* event) {
    QListWidget::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    armed_ = false;
    if (dragging_) {
        dragging_ = false;
        // Released outside the list box, the drag moves nothing.
        const QRect window(mapToGlobal(QPoint(0, 0)), size());
        if (window.contains(event->globalPosition().toPoint()))
            Drop();
    }
    SendWindowMessage(parentWidget(), qvmsg::kListOrderChanged, 0, 0);
}

void CKTListBox::Drop() {
    const int dropIndex = currentRow();
    if (dropIndex < 0 || draggedIndex_ < 0 || dropIndex == draggedIndex_ ||
        draggedIndex_ >= count()) {
        return;
    }
    // The entry moves whole, its text and item data with it.
    QListWidgetItem* entry = takeItem(draggedIndex_);
    insertItem(dropIndex, entry);
    setCurrentRow(dropIndex);
}
