#pragma once
// COptionItem: a check box or radio button that its owner window paints and clicks: the shared
// 12 x 12 box skin, a "√" when checked, and a label. A change reaches the owner as the option
// item changed window message (1228) with the item id and the new state.

#include <QFont>
#include <QString>

#include "platform/win_types.h"

class QPainter;
class QWidget;

class COptionItem {
public:
    enum Kind { kRadio = 0, kCheck = 1 };

    COptionItem(QWidget* owner, int itemId, int kind);

    // Draws the item with its box's top-left corner at (x, y) and records its hit rectangle.
    void Paint(QPainter& painter, int x, int y);
    // The owner's left-button press at point. A check box toggles; a radio button only turns
    // on (its owner turns the others of its group off). True when the state changed.
    bool Click(QvPoint point);

    void SetText(const QString& text) { text_ = text; }
    const QString& Text() const { return text_; }
    void SetCheck(bool checked) { checked_ = checked; }
    bool IsChecked() const { return checked_; }
    int ItemId() const { return itemId_; }
    int Kind() const { return kind_; }
    const QvRect& HitRect() const { return hitRect_; }

private:
    QString text_;
    bool checked_ = false;
    QFont font_;
    QWidget* owner_;
    int kind_;
    int itemId_;
    QvRect hitRect_;
};
