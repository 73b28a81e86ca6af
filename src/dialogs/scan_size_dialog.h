#pragma once
// CScanSizeDlg ("扫描大小设置"): holds no setting. What a photograph covers is the selection box
// or the automatically found document, and the dialog says so; each of its buttons closes it.

#include <QFont>

#include "ui/qv_dialog.h"

class CScanSizeDlg : public CQVDialog {
    Q_OBJECT

public:
    static constexpr int kOkButtonId = 1033;
    static constexpr int kCancelButtonId = 1034;
    static constexpr int kDefaultButtonId = 1035;

    explicit CScanSizeDlg(QWidget* parent = nullptr);

protected:
    bool OnInitDialog() override;
    bool OnEnterKey() override;
    bool OnButtonClicked(int controlId) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QFont font_;
};
