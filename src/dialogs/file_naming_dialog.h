#pragma once
// CNameFileDlg: the two values photo file names are built from: the name prefix and the suffix,
// the capture time or odd or even page numbers. The main window sets both before the dialog
// runs and reads them back after; closing the dialog takes the edit's prefix and the checked
// suffix. A mode that names no suffix (an edited settings file) checks no item and comes back
// unchanged unless the user picks one. A prefix that would lead outside the storage folder
// (name_rules.h) is refused with a message, and the dialog stays open.

#include <QString>

#include "ui/option_dialog.h"

class QLineEdit;

class CNameFileDlg : public CQVOptionDialog {
    Q_OBJECT

public:
    // Item ids, in the order the items are listed.
    enum ItemId { kTimeItem = 1, kEvenItem = 2, kOddItem = 3 };

    // title: the language table's file-naming caption, also drawn above the prefix edit.
    explicit CNameFileDlg(const QString& title, QWidget* parent = nullptr);

    void SetPrefix(const QString& prefix) { prefix_ = prefix; }
    const QString& Prefix() const { return prefix_; }
    // 0 time stamp, 1 odd numbers, 2 even numbers.
    void SetMode(int mode) { mode_ = mode; }
    int Mode() const { return mode_; }
    QLineEdit* PrefixEdit() const { return edit_; }

protected:
    bool OnInitDialog() override;
    void Apply() override;
    void OnOK() override;
    bool OnEnterKey() override;
    void paintEvent(QPaintEvent* event) override;

private:
    QLineEdit* edit_;
    QString prefix_;
    int mode_ = 0;
};
