#include "dialogs/picture_format_dialog.h"

#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpressionValidator>

#include "platform/font_faces.h"
#include "platform/window_messages.h"
#include "ui/dialog_units.h"

namespace {
// The buttons' row, below "翻页拍照".
constexpr int kButtonTop = 240;
}  // namespace

CPicFormatDlg::CPicFormatDlg(QWidget* parent)
    : CQVOptionDialog(parent, {QStringLiteral("BMP"), QStringLiteral("JPEG"),
                               QStringLiteral("TIFF"), QStringLiteral("PNG")}),
      edit_(new QLineEdit(this)),
      modeItems_{COptionItem(this, kTimedItem, COptionItem::kRadio),
                 COptionItem(this, kPageItem, COptionItem::kRadio)} {
    SetTitle(QStringLiteral("输出图片格式设置"));
    // Taller than its template by the row of "翻页拍照", with the buttons below it.
    setFixedSize(DialogUnitSize(316, 190));
    edit_->setGeometry(DialogUnitRect(204, 107, 50, 14));
    modeItems_[0].SetText(QStringLiteral("定时拍照"));
    modeItems_[1].SetText(QStringLiteral("翻页拍照"));
    edit_->setFont(dialogFont_);
    edit_->setMaxLength(kMaxIntervalDigits);
    // ASCII digits only: other scripts' digits would read as no number at all.
    edit_->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit_));
}

bool CPicFormatDlg::OnInitDialog() {
    CQVOptionDialog::OnInitDialog();
    AddGeneralButton(kOkButtonId, QStringLiteral("确定"), 120, kButtonTop);
    AddGeneralButton(kCancelButtonId, QStringLiteral("取消"), 220, kButtonTop);
    AddGeneralButton(kDefaultButtonId, QStringLiteral("默认"), 320, kButtonTop);
    CheckOnly(format_ + 1);
    CheckMode(autoMode_ == 1 ? kPageItem : kTimedItem);
    edit_->setText(QString::number(interval_));
    return true;
}

void CPicFormatDlg::CheckMode(int itemId) {
    for (COptionItem& item : modeItems_) {
        item.SetCheck(item.ItemId() == itemId);
        const QvRect& hit = item.HitRect();
        update(hit.left, hit.top, hit.Width(), hit.Height());
    }
    edit_->setEnabled(itemId == kTimedItem);
}

// The items of the automatic photos are a group of their own: the base dialog's group is the
// four formats.
bool CPicFormatDlg::event(QEvent* event) {
    if (event->type() == WindowMessageEvent::EventType()) {
        auto* message = static_cast<WindowMessageEvent*>(event);
        const int itemId = int(message->wParam);
        if (message->message == qvmsg::kOptionChanged &&
            (itemId == kTimedItem || itemId == kPageItem)) {
            if (message->lParam != 0)
                CheckMode(itemId);
            return true;
        }
    }
    return CQVOptionDialog::event(event);
}

void CPicFormatDlg::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        const QPoint at = event->position().toPoint();
        for (COptionItem& item : modeItems_)
            item.Click({at.x(), at.y()});
    }
    CQVOptionDialog::mousePressEvent(event);
}

void CPicFormatDlg::OnOptionChanged(int itemId) {
    format_ = itemId - 1;
}

// The checked item's format (none checked: the format given) and the typed interval.
void CPicFormatDlg::Confirm() {
    if (const int checked = CheckedItem(); checked != 0)
        format_ = checked - 1;
    interval_ = edit_->text().toInt();  // at most six digits; an empty text gives 0
    autoMode_ = modeItems_[1].IsChecked() ? 1 : 0;
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
    modeItems_[0].Paint(p, 60, 180);
    QvTextOut(p, 150, 180, QStringLiteral("间隔时间设置(单位 秒):"));
    modeItems_[1].Paint(p, 60, 205);
}
