#include "app/quorvane_app.h"

#include "app/quorvane_dlg.h"
#include "platform/font_faces.h"

CQuorvaneApp::CQuorvaneApp(int& argc, char** argv) : QApplication(argc, argv) {}

bool CQuorvaneApp::InitInstance() {
    InstallFontFaces();
    CQuorvaneDlg dialog;
    dialog.exec();
    return false;
}
