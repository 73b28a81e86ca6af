#include "app/quorvane_app.h"

#include <QTimer>

#include "app/quorvane_dlg.h"
#include "app/single_instance.h"
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
    std::vector<SimulatedCameraSpec> cameras;
    for (const SimulatedCameraOption& c : options_.simulatedCameras)
        cameras.push_back({c.file.toStdString(), c.webcam});
    SetSimulatedCameraOptions(cameras);
    MediaPlatformInit();
    CQuorvaneDlg dialog;
    if (instance_ != nullptr) {
        connect(instance_, &SingleInstance::Activated, &dialog,
                [&dialog](const QStringList& files) {
                    dialog.BringToFront();
                    dialog.OpenFiles(files);
                });
    }
    if (!options_.files.isEmpty()) {
        // After the window is up and in live mode, so the files end up on view.
        QTimer::singleShot(0, &dialog,
                           [&dialog, files = options_.files] { dialog.OpenFiles(files); });
    }
    dialog.exec();
    return false;
}
