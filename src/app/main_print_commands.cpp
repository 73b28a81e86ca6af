// The main window's printing commands: "打印" prints the shown picture, "打印设置" chooses the
// printer for the rest of the run.

#include "app/quorvane_dlg.h"
#include "app/work_region_mgr.h"
#include "view/picture_item.h"

void CQuorvaneDlg::PrintShownPicture() {
    workRegion_->GetPictureItem()->Print(printerChoice_);
}

void CQuorvaneDlg::SetUpPrinter() {
    // Kept whichever way the dialog was closed: a cancelled dialog gives back the printer it
    // was opened on.
    printerChoice_ = ChoosePrinter(printerChoice_, this);
}
