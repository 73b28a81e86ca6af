#include "app/quorvane_app.h"

#include "app/quorvane_dlg.h"
#include "media/media_platform.h"
#include "platform/font_faces.h"

CQuorvaneApp::CQuorvaneApp(int& argc, char** argv) : QApplication(argc, argv) {}

bool CQuorvaneApp::InitInstance() {
    InstallFontFaces();
    // The media layer starts before the main window finds its cameras.
    SetSimulatedCameraOption(options_.simulatedCamera, options_.simulatedCameraFile);
    MediaPlatformInit();
    CQuorvaneDlg dialog;
    dialog.exec();
    return false;
}
