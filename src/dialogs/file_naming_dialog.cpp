#include "dialogs/file_naming_dialog.h"

#include <QLineEdit>
#include <QPainter>

#include "platform/font_faces.h"
#include "platform/name_rules.h"
#include "ui/dialog_units.h"
#include "ui/name_refusal.h"

namespace {

// The item of each naming mode (0 time, 1 odd, 2 even); 0 for a mode without one.
int ItemOfMode(int mode) {
    switch (mode) {
        case 0:
            return CNameFileDlg::kTimeItem;
        case 1:
            return CNameFileDlg::kOddItem;
        case 2:
            return CNameFileDlg::kEvenItem;
        default:
            return 0;
    }
}

}  // namespace

CNameFileDlg::CNameFileDlg(const QString& title, QWidget* parent)
    : CQVOptionDialog(parent, {QStringLiteral("时间，以拍摄仪文件的时间为后缀"),
                               QStringLiteral("双数"), QStringLiteral("单数")}),
      edit_(new QLineEdit(this)) {
    SetTitle(title);
    setFixedSize(DialogUnitSize(318, 114));
    edit_->setGeometry(DialogUnitRect(76, 22, 74, 14));
    edit_->setFont(dialogFont_);
}

bool CNameFileDlg::OnInitDialog() {
    CQVOptionDialog::OnInitDialog();
    edit_->setText(prefix_);
    CheckOnly(ItemOfMode(mode_));
    edit_->setFocus();
    return true;
}

// With no item checked the mode stays as it was given; a prefix the rules refuse is not taken.
void CNameFileDlg::Apply() {
    if (Item(kTimeItem).IsChecked())
        mode_ = 0;
    if (Item(kOddItem).IsChecked())
        mode_ = 1;
    if (Item(kEvenItem).IsChecked())
        mode_ = 2;
    if (NamePrefixProblem(edit_->text()).isEmpty())
        prefix_ = edit_->text();
}

// The dialog stays open on a refused prefix, saying why, until the user mends it.
void CNameFileDlg::OnOK() {
    if (RefuseNamePrefix(this, edit_, Title())) {
        return;
    }
    CQVOptionDialog::OnOK();
}

bool CNameFileDlg::OnEnterKey() {
    Apply();
    OnOK();
    return true;
}

void CNameFileDlg::paintEvent(QPaintEvent* event) {
    CQVOptionDialog::paintEvent(event);
    QPainter p(this);
    p.setPen(Qt::black);
    ItemRef(kTimeItem).Paint(p, 60, 120);
    ItemRef(kOddItem).Paint(p, 60, 140);
    ItemRef(kEvenItem).Paint(p, 60, 160);
    p.setFont(dialogFont_);
    QvTextOut(p, 40, 40, Title());
    QvTextOut(p, 40, 100, QStringLiteral("后缀选择"));
}
