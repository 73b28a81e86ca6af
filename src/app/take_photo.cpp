// One photograph: naming, the picture counter and the save pipeline of the work region.

#include "app/quorvane_dlg.h"

void CQuorvaneDlg::TakePhoto() {
    // The save pipeline runs in the work region manager, which this window does not hold yet:
    // until then there is nothing to photograph.
}
