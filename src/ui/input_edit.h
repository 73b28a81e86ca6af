#pragma once
// CInputEdit: a single-line edit in the system's 12-pixel face that tells its parent (message
// 1230) when the Enter key is released in it. The picture item types annotation text in one.

#include <QLineEdit>

class CInputEdit : public QLineEdit {
    Q_OBJECT

public:
    explicit CInputEdit(QWidget* parent = nullptr);

protected:
    void keyReleaseEvent(QKeyEvent* event) override;
};
