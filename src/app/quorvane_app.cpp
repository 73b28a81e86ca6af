#include "app/quorvane_app.h"

#include "app/quorvane_dlg.h"
#include "dialogs/camera_settings_dialog.h"
#include "dialogs/format_dialog.h"
#include "media/camera_dialogs.h"
#include "media/media_platform.h"
#include "platform/font_faces.h"
#include "platform/message_box_dialog.h"

CQuorvaneApp::CQuorvaneApp(int& argc, char** argv) : QApplication(argc, argv) {}

bool CQuorvaneApp::InitInstance() {
    InstallFontFaces();
    InstallMessageBoxDialog();
    SetFormatChooser(RunFormatDialog);
    SetCameraSettingsShower(ShowCameraSettingsDialog);
    // The media layer starts before the main window finds its cameras.
    SetSimulatedCameraOption(options_.simulatedCamera, options_.simulatedCameraFile);
    MediaPlatformInit();
    CQuorvaneDlg dialog;
    dialog.exec();
    return false;
}
