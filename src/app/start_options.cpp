#include "app/start_options.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>

namespace {

const QString kSimulatedCamera = QStringLiteral("simulated-camera");
const QString kSimulatedWebcam = QStringLiteral("simulated-webcam");
const QString kMakePdf = QStringLiteral("make-pdf");
const QString kSearchable = QStringLiteral("searchable");

// QCommandLineParser knows no option with an optional value, nor keeps the order of two options:
// each "--simulated-camera[=FILE]" and "--simulated-webcam[=FILE]" is taken here, in order, and
// left to the parser as the plain switch. Arguments after "--" are left alone.
QStringList TakeSimulatedCameras(QStringList arguments, QList<SimulatedCameraOption>* cameras) {
    for (qsizetype i = 1; i < arguments.size() && arguments[i] != u"--"_qs; ++i) {
        for (const QString& name : {kSimulatedCamera, kSimulatedWebcam}) {
            const QString option = u"--"_qs + name;
            if (arguments[i] != option && !arguments[i].startsWith(option + u'='))
                continue;
            const QString file = arguments[i].mid(option.size() + 1);
            cameras->append({file.isEmpty() ? file : QFileInfo(file).absoluteFilePath(),
                             name == kSimulatedWebcam});
            arguments[i] = option;
        }
    }
    return arguments;
}

}  // namespace

StartRequest ParseStartOptions(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Document camera: photographs, PDF and video. Picture files given on the "
                       "command line open in the picture view."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addOption(QCommandLineOption(
        kSimulatedCamera,
        QStringLiteral("Add a simulated document camera. --simulated-camera=FILE lays the picture "
                       "FILE on its desk instead of the built-in page and follows it: replacing "
                       "FILE turns the page, removing it unplugs the camera, putting it back "
                       "plugs it in. Give it again for each further camera.")));
    parser.addOption(QCommandLineOption(
        kSimulatedWebcam,
        QStringLiteral("Add a simulated laptop webcam (sizes up to 1280 x 720, listed before "
                       "every other camera); =FILE as for --simulated-camera.")));
    parser.addOption(QCommandLineOption(
        kMakePdf,
        QStringLiteral("Make OUT.pdf of the picture files given, one page each in the order "
                       "given, and exit; no window is opened."),
        QStringLiteral("OUT.pdf")));
    parser.addOption(QCommandLineOption(
        kSearchable, QStringLiteral("With --make-pdf: put the recognised text (simplified Chinese "
                                    "and English) under every page, so the PDF can be searched.")));
    parser.addPositionalArgument(
        QStringLiteral("files"),
        QStringLiteral("Picture files to open, or to make the PDF of (BMP, JPEG, PNG, TIFF)."),
        QStringLiteral("[files...]"));

    StartRequest request;
    QList<SimulatedCameraOption> cameras;
    const auto fail = [&request](const QString& text) {
        request.action = StartAction::kError;
        request.message = text + u"\nTry 'quorvane --help' for the options."_qs;
        return request;
    };
    if (!parser.parse(TakeSimulatedCameras(arguments, &cameras))) {
        return fail(parser.errorText());
    }
    if (parser.isSet(help) || parser.isSet(u"help-all"_qs)) {
        request.action = StartAction::kShowHelp;
        request.message = parser.helpText();
        return request;
    }
    if (parser.isSet(version)) {
        request.action = StartAction::kShowVersion;
        request.message = QCoreApplication::applicationName() + u' ' + ProgramVersion() + u'\n';
        return request;
    }
    request.options.simulatedCameras = cameras;
    if (cameras.isEmpty() && qEnvironmentVariableIntValue("QUORVANE_SIMULATED_CAMERA") != 0) {
        request.options.simulatedCameras.append(SimulatedCameraOption{});
    }
    // Absolute now: a running copy that receives them has another working folder.
    for (const QString& path : parser.positionalArguments()) {
        request.options.files << QFileInfo(path).absoluteFilePath();
    }
    if (parser.isSet(kSearchable) && !parser.isSet(kMakePdf)) {
        return fail(u"--searchable goes with --make-pdf."_qs);
    }
    if (parser.isSet(kMakePdf)) {
        request.options.pdfPath = parser.value(kMakePdf);
        request.options.searchable = parser.isSet(kSearchable);
        if (request.options.pdfPath.isEmpty() || request.options.files.isEmpty()) {
            return fail(u"--make-pdf needs the PDF file and at least one picture."_qs);
        }
        request.action = StartAction::kMakePdf;
    }
    return request;
}

int PrintStartMessage(const StartRequest& request) {
    const bool error = request.action == StartAction::kError;
    QString text = request.message;
    if (!text.endsWith(u'\n')) {
        text += u'\n';
    }
    std::fputs(text.toLocal8Bit().constData(), error ? stderr : stdout);
    return error ? 1 : 0;
}

QString ProgramVersion() {
    return QStringLiteral(QUORVANE_VERSION);
}
