#include <QGuiApplication>
#include <QStringList>

#include <cstdio>
#include <cstdlib>

#include "app/make_pdf_command.h"
#include "app/quorvane_app.h"
#include "app/single_instance.h"
#include "app/start_options.h"
#include "image/pdf_making_job.h"
#include "ocr/text_recognition_job.h"
#include "platform/user_folders.h"

namespace {

// The exit code of a later copy, with what it says when the running copy did not take its files.
int HandOverEnd(SingleInstance::Claim claim, const QString& settingsFolder) {
    const char* format = nullptr;
    switch (claim) {
        case SingleInstance::Claim::kFirst:
        case SingleInstance::Claim::kHandedOver:
            return 0;
        case SingleInstance::Claim::kNoAnswer:
            format = "another copy is running with the settings in %1 but does not answer";
            break;
        case SingleInstance::Claim::kOlderCopy:
            format =
                "an older version of quorvane is running with the settings in %1 and cannot "
                "take these files; close it and open them again";
            break;
        case SingleInstance::Claim::kRefused:
            format = "the copy running with the settings in %1 refused these files";
            break;
    }
    std::fprintf(stderr, "quorvane: %s\n",
                 qPrintable(QString::fromUtf8(format).arg(settingsFolder)));
    return 1;
}

}  // namespace

int main(int argc, char* argv[]) {
    // The options are read before the window system is reached, so --help and --version work
    // without a display.
    QCoreApplication::setApplicationName(QStringLiteral("quorvane"));
    QCoreApplication::setApplicationVersion(ProgramVersion());
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const StartRequest request = ParseStartOptions(arguments);
    // Making a PDF needs no window, no display and no other copy of the program.
    if (request.action == StartAction::kMakePdf) {
        return RunMakePdfCommand(request.options);
    }
    if (request.action != StartAction::kRun) {
        return PrintStartMessage(request);
    }

    // A second copy hands its files to the running one and ends, before reaching the display.
    const QString settingsFolder = SettingsFolder();
    SingleInstance instance(settingsFolder);
    if (!settingsFolder.isEmpty()) {
        const SingleInstance::Claim claim = instance.ClaimOrHandOver(request.options.files);
        if (claim != SingleInstance::Claim::kFirst)
            return HandOverEnd(claim, settingsFolder);
    }

    // The window's application id names the desktop entry, so the desktop shows its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("quorvane"));
    CQuorvaneApp app(argc, argv);
    app.SetStartOptions(request.options);
    if (!settingsFolder.isEmpty() && !instance.Listen()) {
        std::fprintf(stderr,
                     "quorvane: cannot listen on %s yet; until it can, a later copy cannot reach "
                     "this one\n",
                     qPrintable(instance.SocketPath()));
    }
    app.SetSingleInstance(&instance);
    // The main window reads the stored settings as it is constructed.
    app.InitInstance();
    instance.StopListening();
    // A PDF whose dialog was closed while it was being made is still removing its unfinished file.
    CPdfMakingJob::WaitForAll();
    // A recognition still loading its languages cannot be stopped, and would run on into the
    // program's teardown; everything is saved by now, so the program ends without it.
    if (CTextRecognitionJob::RunsLeft() > 0) {
        std::fflush(nullptr);
        std::_Exit(0);
    }
    return 0;
}
