#pragma once
// COptionPanel: the base of the two rounded panels of the main window's right-hand column. It
// owns three option items that it clicks, one number edit, the panel's face and its rounded
// outline; a derived panel lays out and paints them and reacts to their changes.

#include <QFont>
#include <QRect>
#include <QWidget>
#include <array>

#include "platform/win_types.h"
#include "ui/option_item.h"

class CNumberEdit;

class COptionPanel : public QWidget {
    Q_OBJECT

public:
    int Id() const { return id_; }
    const COptionItem& Item(int itemId) const { return items_[size_t(itemId - 1)]; }

protected:
    // The items get ids 1, 2 and 3 in the order of their texts.
    COptionPanel(QWidget* parent, int kind, const std::array<QString, 3>& texts);

    // Places the panel (window name and control id as the main window gives them).
    void Place(QWidget* parent, const QvRect& rect, const QString& windowName, int id);
    // Creates the number edit over rect on the first call; true when it was created now.
    bool CreateEdit(const QRect& rect, int minimum, int maximum);
    CNumberEdit* Edit() const { return edit_; }
    COptionItem& ItemRef(int itemId) { return items_[size_t(itemId - 1)]; }
    // Turns an item off and repaints it; a radio group or an exclusive pair calls it.
    void Uncheck(int itemId);
    const QFont& PanelFont() const { return font_; }

    // An item was clicked to the new state (1 on, 0 off).
    virtual void OnOptionChanged(int itemId, int state) = 0;
    // The user changed the edit's text.
    virtual void OnEditChanged() = 0;

    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QFont font_;
    std::array<COptionItem, 3> items_;
    CNumberEdit* edit_ = nullptr;
    int id_ = 0;
};
