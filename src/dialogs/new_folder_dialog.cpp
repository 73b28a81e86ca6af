#include "dialogs/new_folder_dialog.h"

#include <QLineEdit>
#include <QPainter>

#include "platform/font_faces.h"
#include "platform/new_folder.h"
#include "ui/dialog_units.h"

CCreateDirDlg::CCreateDirDlg(const QString& currentFolder, QWidget* parent)
    : CQVDialog(parent),
      edit_(new QLineEdit(this)),
      path_(currentFolder),
      font_(QvFont(QStringLiteral("宋体"), 12, 400)) {
    SetTitle(QStringLiteral("在当前的路径下新建立视频文件夹"));
    setFixedSize(DialogUnitSize(316, 77));
    edit_->setGeometry(DialogUnitRect(83, 26, 147, 18));
    edit_->setFont(font_);
}

bool CCreateDirDlg::OnInitDialog() {
    CQVDialog::OnInitDialog();
    AddGeneralButton(kOkButtonId, QStringLiteral("确定"), 360, 42);
    edit_->setFocus();
    return true;
}

bool CCreateDirDlg::OnEnterKey() {
    CreateFolder();
    return true;
}

bool CCreateDirDlg::OnButtonClicked(int controlId) {
    if (controlId != kOkButtonId)
        return false;
    CreateFolder();
    return true;
}

void CCreateDirDlg::CreateFolder() {
    const NewFolderResult result = MakeNewFolder(path_, edit_->text());
    path_ = result.path;
    failure_ = result.failure;
    OnOK();
}

void CCreateDirDlg::paintEvent(QPaintEvent* event) {
    CQVDialog::paintEvent(event);
    QPainter p(this);
    p.setFont(font_);
    p.setPen(Qt::black);
    QvTextOut(p, 10, 50, QStringLiteral("请输入新文件夹名"));
}
