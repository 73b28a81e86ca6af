#include "dialogs/picture_format_dialog.h"

#include <QLineEdit>
#include <QPainter>
#include <QRegularExpressionValidator>

#include "platform/font_faces.h"
#include "ui/dialog_units.h"

CPicFormatDlg::CPicFormatDlg(QWidget* parent)
    : CQVOptionDialog(parent, {QStringLiteral("BMP"), QStringLiteral("JPEG"),
                               QStringLiteral("TIFF"), QStringLiteral("PNG")}),
      edit_(new QLineEdit(this)) {
    SetTitle(QStringLiteral("输出图片格式设置"));
    setFixedSize(DialogUnitSize(316, 175));
    edit_->setGeometry(DialogUnitRect(155, 107, 66, 14));
    edit_->setFont(dialogFont_);
    edit_->setMaxLength(kMaxIntervalDigits);
    // ASCII digits only: other scripts' digits would read as no number at all.
    edit_->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit_));
}

bool CPicFormatDlg::OnInitDialog() {
    CQVOptionDialog::OnInitDialog();
    AddGeneralButton(kOkButtonId, QStringLiteral("确定"), 120, 220);
    AddGeneralButton(kCancelButtonId, QStringLiteral("取消"), 220, 220);
    AddGeneralButton(kDefaultButtonId, QStringLiteral("默认"), 320, 220);
    CheckOnly(format_ + 1);
    edit_->setText(QString::number(interval_));
    return true;
}

void CPicFormatDlg::OnOptionChanged(int itemId) {
    format_ = itemId - 1;
}

// The checked item's format (none checked: the format given) and the typed interval.
void CPicFormatDlg::Confirm() {
    if (const int checked = CheckedItem(); checked != 0)
        format_ = checked - 1;
    interval_ = edit_->text().toInt();  // at most six digits; an empty text gives 0
    OnOK();
}

bool CPicFormatDlg::OnEnterKey() {
    Confirm();
    return true;
}

bool CPicFormatDlg::OnButtonClicked(int controlId) {
    switch (controlId) {
        case kOkButtonId:
            Confirm();
            return true;
        case kCancelButtonId:
            OnOK();
            return true;
        case kDefaultButtonId:
            return true;
        default:
            return false;
    }
}

void CPicFormatDlg::paintEvent(QPaintEvent* event) {
    CQVOptionDialog::paintEvent(event);
    QPainter p(this);
    p.setPen(Qt::black);
    for (int itemId = 1; itemId <= ItemCount(); ++itemId) {
        ItemRef(itemId).Paint(p, 60, 40 + 20 * itemId);
    }
    p.setFont(dialogFont_);
    QvTextOut(p, 40, 40, QStringLiteral("文件保存格式"));
    QvTextOut(p, 40, 160, QStringLiteral("自动拍照设置"));
    QvTextOut(p, 60, 180, QStringLiteral("间隔时间设置(单位 秒):"));
}
