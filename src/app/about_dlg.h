#pragma once
// CAboutDlg: the About box of the title strip's menu.

#include <QDialog>
#include <QIcon>

class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    CAboutDlg(const QIcon& icon, QWidget* parent = nullptr);
};
