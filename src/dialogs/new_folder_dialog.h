#pragma once
// CCreateDirDlg: makes a new folder, named by the user, inside the current storage folder. The
// main window reads the result back: the new folder; the current folder unchanged when the
// dialog was closed without "确定"; or empty, with the reason in Failure(), when no folder was
// made (no name, the name exists, a missing parent, no permission ...).

#include <QFont>
#include <QString>

#include "ui/qv_dialog.h"

class QLineEdit;

class CCreateDirDlg : public CQVDialog {
    Q_OBJECT

public:
    static constexpr int kOkButtonId = 1039;

    explicit CCreateDirDlg(const QString& currentFolder, QWidget* parent = nullptr);

    const QString& Path() const { return path_; }
    const QString& Failure() const { return failure_; }
    QLineEdit* NameEdit() const { return edit_; }

protected:
    bool OnInitDialog() override;
    bool OnEnterKey() override;
    bool OnButtonClicked(int controlId) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void CreateFolder();

    QLineEdit* edit_;
    QString path_;
    QString failure_;
    QFont font_;
};
