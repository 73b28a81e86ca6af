#include "ui/qv_tip_ctrl.h"

#include <QWidget>

bool CQVTipCtrl::AddTool(QWidget* control, QWidget* parent, const QString& text) {
    if (control == nullptr)
        return false;
    // The parent owns the control already; the tooltip only needs the control itself.
    Q_UNUSED(parent);
    control->setToolTip(text);
    return true;
}
