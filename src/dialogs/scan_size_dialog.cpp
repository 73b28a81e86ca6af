#include "dialogs/scan_size_dialog.h"

#include <QPainter>

#include "platform/font_faces.h"
#include "ui/dialog_units.h"

CScanSizeDlg::CScanSizeDlg(QWidget* parent)
    : CQVDialog(parent), font_(QvFont(QStringLiteral("宋体"), 12, 400)) {
    SetTitle(QStringLiteral("扫描大小设置"));
    setFixedSize(DialogUnitSize(316, 132));
}

bool CScanSizeDlg::OnInitDialog() {
    CQVDialog::OnInitDialog();
    AddGeneralButton(kOkButtonId, QStringLiteral("确定"), 120, 170);
    AddGeneralButton(kCancelButtonId, QStringLiteral("取消"), 220, 170);
    AddGeneralButton(kDefaultButtonId, QStringLiteral("默认"), 320, 170);
    return true;
}

bool CScanSizeDlg::OnEnterKey() {
    OnOK();
    return true;
}

bool CScanSizeDlg::OnButtonClicked(int controlId) {
    if (controlId != kOkButtonId && controlId != kCancelButtonId && controlId != kDefaultButtonId)
        return false;
    OnOK();
    return true;
}

void CScanSizeDlg::paintEvent(QPaintEvent* event) {
    CQVDialog::paintEvent(event);
    QPainter p(this);
    p.setFont(font_);
    p.setPen(Qt::black);
    QvTextOut(p, 60, 60, QStringLiteral("照片的幅面由取景范围决定："));
    QvTextOut(p, 60, 90, QStringLiteral("用“框选”在画面上框出要拍的部分，"));
    QvTextOut(p, 60, 115, QStringLiteral("或勾选“自动裁切”，自动找出文档。"));
}
