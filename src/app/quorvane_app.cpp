#include "app/quorvane_app.h"

#include <QTimer>

#include <cstdio>

#include "app/language.h"
#include "app/quorvane_dlg.h"
#include "app/single_instance.h"
#include "dialogs/camera_settings_dialog.h"
#include "dialogs/format_dialog.h"
#include "media/camera_dialogs.h"
#include "media/media_platform.h"
#include "platform/font_faces.h"
#include "platform/message_box_dialog.h"
#include "platform/qt_translations.h"

CQuorvaneApp::CQuorvaneApp(int& argc, char** argv) : QApplication(argc, argv) {}

bool CQuorvaneApp::InitInstance() {
    // The standard dialogs and buttons speak the interface's language.
    const bool english = QVLanguage().CurrentLanguage() == QVLanguage::kEnglish;
    const QLocale locale =
        english ? QLocale(QLocale::English) : QLocale(QLocale::Chinese, QLocale::China);
    if (!InstallQtTranslations(locale)) {
        std::fprintf(
            stderr,
            "quorvane: Qt's translations for %s are not installed (qt6-translations-l10n); "
            "standard dialogs stay in English\n",
            qPrintable(locale.name()));
    }
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
