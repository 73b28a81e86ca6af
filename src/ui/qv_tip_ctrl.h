#pragma once
// CQVTipCtrl: the tooltips of the skinned windows. A tool is a control with a text shown while
// the mouse rests on it.

#include <QString>

class QWidget;

class CQVTipCtrl {
public:
    // Registers control as a tool of parent with the given text; false for a null control.
    bool AddTool(QWidget* control, QWidget* parent, const QString& text);
};
