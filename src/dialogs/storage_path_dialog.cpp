#include "dialogs/storage_path_dialog.h"

#include <QFileInfo>
#include <QLineEdit>

#include "platform/font_faces.h"
#include "ui/dialog_units.h"
#include "ui/folder_browser.h"

CQVPathSettingDlg::CQVPathSettingDlg(const QString& title, QWidget* parent)
    : CQVDialog(parent), edit_(new QLineEdit(this)) {
    SetTitle(title);
    setFixedSize(DialogUnitSize(316, 72));
    edit_->setGeometry(DialogUnitRect(26, 38, 191, 14));
    edit_->setFont(QvFont(QStringLiteral("宋体"), 12, 400));
    edit_->setReadOnly(true);
}

void CQVPathSettingDlg::SetPath(const QString& path) {
    path_ = path;
    edit_->setText(path);
    edit_->setToolTip(path);
}

bool CQVPathSettingDlg::OnInitDialog() {
    CQVDialog::OnInitDialog();
    AddGeneralButton(kBrowseButtonId, QStringLiteral("浏览"), 330, 60);
    SetPath(path_);
    return true;
}

bool CQVPathSettingDlg::OnEnterKey() {
    Apply();
    OnOK();
    return true;
}

bool CQVPathSettingDlg::OnButtonClicked(int controlId) {
    if (controlId != kBrowseButtonId)
        return false;
    Browse();
    return true;
}

void CQVPathSettingDlg::Browse() {
    const QString caption = QStringLiteral("图片存盘路径");
    const QString chosen = BrowseForFolder(this, caption, path_);
    if (!chosen.isEmpty() && QFileInfo(chosen).isDir()) {
        SetPath(chosen);
    }
}
