#pragma once
// CRecordSetting: the recording settings dialog ("录像参数设置"). The recording format (WMV or
// AVI), the folder recordings are written to and the file name prefix. The main window fills the
// three values in, runs the dialog and reads them back; the close button confirms. A name that
// would lead outside the recording folder (name_rules.h) is refused with a message, and the
// dialog stays open.

#include <QString>

#include "ui/option_dialog.h"

class CQVButton;
class QLineEdit;

class CRecordSetting : public CQVOptionDialog {
    Q_OBJECT

public:
    static constexpr int kBrowseButtonId = 1045;
    // Option item ids.
    static constexpr int kWmvItem = 1;
    static constexpr int kAviItem = 2;

    explicit CRecordSetting(QWidget* parent = nullptr);

    int format = 0;  // 0 WMV, 1 AVI
    QString path;
    QString name;

    QLineEdit* PathEdit() const { return pathEdit_; }
    QLineEdit* NameEdit() const { return nameEdit_; }
    CQVButton* BrowseButton() const { return browseButton_; }

protected:
    bool OnInitDialog() override;
    void Apply() override;
    void OnOK() override;
    void OnOptionChanged(int itemId) override;
    bool OnButtonClicked(int controlId) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void Browse();

    QLineEdit* pathEdit_ = nullptr;
    QLineEdit* nameEdit_ = nullptr;
    CQVButton* browseButton_ = nullptr;
};
