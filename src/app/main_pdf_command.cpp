// The main window's "PDF制作" command.

#include "app/quorvane_dlg.h"
#include "dialogs/pdf_dlg.h"
#include "view/thumbnail_view.h"

void CQuorvaneDlg::RunPdfDialog() {
    QStringList pictures;
    thumbnails_->GetAllPaths(pictures);
    CPDFDlg dialog(pictures, this);
    dialog.exec();
}
