#pragma once
// CRecordSetting: the recording settings dialog ("录像参数设置"). The recording format (WMV or
// AVI), the folder recordings are written to and the file name prefix. The main window fills the
// three values in, runs the dialog and reads them back; the close button confirms.

#include <QString>

#include "ui/option_item.h"
#include "ui/qv_dialog.h"

class QLineEdit;

class CRecordSetting : public CQVDialog {
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

    const COptionItem& Item(int itemId) const { return itemId == kWmvItem ? wmv_ : avi_; }
    QLineEdit* PathEdit() const { return pathEdit_; }
    QLineEdit* NameEdit() const { return nameEdit_; }
    CQVButton* BrowseButton() const { return browseButton_; }

protected:
    bool OnInitDialog() override;
    void Apply() override;
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void OnOptionChanged(int itemId, int state);
    void Browse();
    void Uncheck(COptionItem& item);

    COptionItem wmv_;
    COptionItem avi_;
    QLineEdit* pathEdit_ = nullptr;
    QLineEdit* nameEdit_ = nullptr;
    CQVButton* browseButton_ = nullptr;
    QFont font_;
};
