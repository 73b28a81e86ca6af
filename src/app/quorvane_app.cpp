#include "app/quorvane_app.h"

#include <QTimer>

#include <cstdio>

#include "app/end_signals.h"
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
#include "platform/window_messages.h"

CQuorvaneApp::CQuorvaneApp(int& argc, char** argv) : QApplication(argc, argv) {}

namespace {

// Asked by a signal to end: the dialogs open over the window are cancelled, then the window is
// closed as by its close button, which finishes a recording and keeps the photos.
void EndAsIfClosed(CQuorvaneDlg& dialog) {
    while (QWidget* modal = QApplication::activeModalWidget()) {
        if (modal == &dialog || !modal->close())
            break;  // one that will not close now (a PDF being cancelled) is left to its owner
    }
    PostWindowMessage(&dialog, qvmsg::kButtonClicked, mainctl::kClose, 0);
}

}  // namespace

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
    std::vector<SimulatedCameraSetup> cameras;
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
    CEndSignals endSignals;
    connect(&endSignals, &CEndSignals::Requested, &dialog, [&dialog] { EndAsIfClosed(dialog); });
    dialog.exec();
    return false;
}
