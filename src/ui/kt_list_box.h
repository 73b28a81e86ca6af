#pragma once
// CKTListBox: a list box whose entries the user moves by dragging them with the mouse, so that
// the list's order is the user's. The drag is the list's own press, move and release, not Qt's
// drag and drop, whose drag loop would swallow the release. After every left-button release,
// a plain click or a drag, the parent receives message 1231 (list order may have changed) and
// re-reads the list. An entry keeps its item data (Qt::UserRole) when it moves.

#include <QListWidget>

class CKTListBox : public QListWidget {
    Q_OBJECT

public:
    explicit CKTListBox(QWidget* parent = nullptr);

    bool IsDragging() const { return dragging_; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // Moves the dragged entry to the entry under the release point.
    void Drop();

    bool armed_ = false;  // the left button went down while an entry was selected
    bool dragging_ = false;
    int pressedIndex_ = -1;  // the entry selected by the press
    int draggedIndex_ = -1;
};
