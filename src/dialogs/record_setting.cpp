#include "dialogs/record_setting.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QPainter>

#include "platform/font_faces.h"
#include "platform/name_rules.h"
#include "ui/folder_browser.h"
#include "ui/general_button.h"
#include "ui/name_refusal.h"
#include "ui/qv_button.h"

namespace {
// The dialog's template is 353 x 122 dialog units, 1.5 pixels each.
constexpr int kWidth = 530;
constexpr int kHeight = 183;
}  // namespace

CRecordSetting::CRecordSetting(QWidget* parent)
    : CQVOptionDialog(parent, {QStringLiteral("WMV格式"), QStringLiteral("AVI格式")}) {
    SetTitle(QStringLiteral("录像参数设置"));
    resize(kWidth, kHeight);
    pathEdit_ = new QLineEdit(this);
    pathEdit_->setReadOnly(true);
    pathEdit_->setGeometry(118, 48, 285, 22);
    nameEdit_ = new QLineEdit(this);
    // Level with its label, which the paint draws at y = 105.
    nameEdit_->setGeometry(261, 100, 141, 21);
    for (QLineEdit* edit : {pathEdit_, nameEdit_})
        edit->setFont(dialogFont_);
}

bool CRecordSetting::OnInitDialog() {
    CQVDialog::OnInitDialog();
    browseButton_ = MakeGeneralButton(this, kBrowseButtonId, QStringLiteral("浏览"));
    browseButton_->MoveTo(420, 45);
    browseButton_->show();
    CheckOnly(format + 1);  // a format outside 0 and 1 checks neither
    pathEdit_->setText(path);
    nameEdit_->setText(name);
    return true;
}

void CRecordSetting::Apply() {
    path = pathEdit_->text();
    if (NamePrefixProblem(nameEdit_->text()).isEmpty())
        name = nameEdit_->text();
}

// The dialog stays open on a refused name, saying why, until the user mends it.
void CRecordSetting::OnOK() {
    if (RefuseNamePrefix(this, nameEdit_, Title())) {
        return;
    }
    CQVOptionDialog::OnOK();
}

void CRecordSetting::paintEvent(QPaintEvent* event) {
    CQVDialog::paintEvent(event);
    QPainter painter(this);
    ItemRef(kWmvItem).Paint(painter, 110, 140);
    ItemRef(kAviItem).Paint(painter, 110, 160);
    painter.setFont(dialogFont_);
    painter.setPen(Qt::black);
    QvTextOut(painter, 10, 55, QStringLiteral("录像文件路径"));
    QvTextOut(painter, 140, 105, QStringLiteral("录像文件名"));
}

void CRecordSetting::OnOptionChanged(int itemId) {
    format = itemId == kWmvItem ? 0 : 1;
}

bool CRecordSetting::OnButtonClicked(int controlId) {
    if (controlId != kBrowseButtonId)
        return false;
    Browse();
    return true;
}

void CRecordSetting::Browse() {
    const QString chosen = BrowseForFolder(this, QStringLiteral("图片存盘路径"), path);
    if (!chosen.isEmpty() && QFileInfo(chosen).isDir()) {
        path = chosen;
        pathEdit_->setText(chosen);
    }
}
