// The main window's command dispatch: every button click arrives here with the button's id.

#include "app/quorvane_dlg.h"

LParam CQuorvaneDlg::OnButtonClicked(WParam id) {
    switch (id) {
        case 1029:  // minimise
            showMinimized();
            break;
        case 1030:  // end the program: the modal loop ends and with it the application
            done(0);
            break;
        case 1011:  // full screen
            EnterFullScreen();
            break;
        case 1023:  // one photo
            TakePhoto();
            break;
        default:  // 1010 "默认设置" and 1018 "文字识别" have no command
            break;
    }
    return 0;
}
