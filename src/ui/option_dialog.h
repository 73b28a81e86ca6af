#pragma once
// CQVOptionDialog: a skinned dialog with one group of radio option items that it paints and
// clicks. A click on an item turns it on and the others off; a derived dialog hears of it in
// OnOptionChanged. The items have the ids 1 ... n in the order of their labels.

#include <QFont>
#include <QStringList>
#include <vector>

#include "ui/option_item.h"
#include "ui/qv_dialog.h"

class CQVOptionDialog : public CQVDialog {
    Q_OBJECT

public:
    const COptionItem& Item(int itemId) const { return items_.at(size_t(itemId - 1)); }
    int ItemCount() const { return int(items_.size()); }
    // The checked item's id, or 0 when none is checked.
    int CheckedItem() const;

protected:
    CQVOptionDialog(QWidget* parent, const QStringList& labels);

    COptionItem& ItemRef(int itemId) { return items_.at(size_t(itemId - 1)); }
    // Checks itemId and no other; none at all when itemId names no item.
    void CheckOnly(int itemId);
    // An item was clicked on; the others are already off.
    virtual void OnOptionChanged(int itemId) { (void)itemId; }

    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

    QFont dialogFont_;

private:
    std::vector<COptionItem> items_;
};
