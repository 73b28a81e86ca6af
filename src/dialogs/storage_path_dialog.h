#pragma once
// CQVPathSettingDlg: shows the folder photographs are stored in and lets the user pick another
// with the desktop's folder dialog ("浏览"). Only an existing folder is taken. The main window
// sets the path before the dialog runs and reads it back after, however it was closed.

#include <QString>

#include "ui/qv_dialog.h"

class QLineEdit;

class CQVPathSettingDlg : public CQVDialog {
    Q_OBJECT

public:
    static constexpr int kBrowseButtonId = 1032;

    // title: the language table's storage-path caption.
    explicit CQVPathSettingDlg(const QString& title, QWidget* parent = nullptr);

    void SetPath(const QString& path);
    const QString& Path() const { return path_; }
    QLineEdit* PathEdit() const { return edit_; }

protected:
    bool OnInitDialog() override;
    bool OnEnterKey() override;
    bool OnButtonClicked(int controlId) override;

private:
    void Browse();

    QLineEdit* edit_;
    QString path_;
};
