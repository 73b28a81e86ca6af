#include "dialogs/record_setting.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>

#include "platform/font_faces.h"
#include "platform/window_messages.h"
#include "ui/folder_browser.h"
#include "ui/general_button.h"
#include "ui/qv_button.h"

namespace {
// The dialog's template is 353 x 122 dialog units, 1.5 pixels each.
constexpr int kWidth = 530;
constexpr int kHeight = 183;
}  // namespace

CRecordSetting::CRecordSetting(QWidget* parent)
    : CQVDialog(parent),
      wmv_(this, kWmvItem, COptionItem::kRadio),
      avi_(this, kAviItem, COptionItem::kRadio),
      font_(QvFont(QStringLiteral("宋体"), 12, 400)) {
    SetTitle(QStringLiteral("录像参数设置"));
    wmv_.SetText(QStringLiteral("WMV格式"));
    avi_.SetText(QStringLiteral("AVI格式"));
    resize(kWidth, kHeight);
    pathEdit_ = new QLineEdit(this);
    pathEdit_->setReadOnly(true);
    pathEdit_->setGeometry(118, 48, 285, 22);
    nameEdit_ = new QLineEdit(this);
    // Level with its label, which the paint draws at y = 105.
    nameEdit_->setGeometry(261, 100, 141, 21);
    for (QLineEdit* edit : {pathEdit_, nameEdit_})
        edit->setFont(font_);
}

bool CRecordSetting::OnInitDialog() {
    CQVDialog::OnInitDialog();
    browseButton_ = MakeGeneralButton(this, kBrowseButtonId, QStringLiteral("浏览"));
    browseButton_->MoveTo(420, 45);
    browseButton_->show();
    wmv_.SetCheck(format == 0);
    avi_.SetCheck(format == 1);
    pathEdit_->setText(path);
    nameEdit_->setText(name);
    return true;
}

void CRecordSetting::Apply() {
    path = pathEdit_->text();
    name = nameEdit_->text();
}

void CRecordSetting::paintEvent(QPaintEvent* event) {
    CQVDialog::paintEvent(event);
    QPainter painter(this);
    wmv_.Paint(painter, 110, 140);
    avi_.Paint(painter, 110, 160);
    painter.setFont(font_);
    painter.setPen(Qt::black);
    QvTextOut(painter, 10, 55, QStringLiteral("录像文件路径"));
    QvTextOut(painter, 140, 105, QStringLiteral("录像文件名"));
}

void CRecordSetting::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        const QPoint at = event->position().toPoint();
        wmv_.Click({at.x(), at.y()});
        avi_.Click({at.x(), at.y()});
    }
    CQVDialog::mousePressEvent(event);
}

bool CRecordSetting::event(QEvent* event) {
    if (event->type() == WindowMessageEvent::EventType()) {
        auto* message = static_cast<WindowMessageEvent*>(event);
        if (message->message == qvmsg::kOptionChanged) {
            OnOptionChanged(int(message->wParam), int(message->lParam));
            return true;
        }
        if (message->message == qvmsg::kButtonClicked && message->wParam == kBrowseButtonId) {
            Browse();
            return true;
        }
    }
    return CQVDialog::event(event);
}

void CRecordSetting::OnOptionChanged(int itemId, int state) {
    if (state == 0)
        return;
    format = itemId == kWmvItem ? 0 : 1;
    Uncheck(itemId == kWmvItem ? avi_ : wmv_);
}

void CRecordSetting::Uncheck(COptionItem& item) {
    item.SetCheck(false);
    const QvRect& hit = item.HitRect();
    update(hit.left, hit.top, hit.Width(), hit.Height());
}

void CRecordSetting::Browse() {
    const QString chosen = BrowseForFolder(this, QStringLiteral("图片存盘路径"), path);
    if (!chosen.isEmpty() && QFileInfo(chosen).isDir()) {
        path = chosen;
        pathEdit_->setText(chosen);
    }
}
