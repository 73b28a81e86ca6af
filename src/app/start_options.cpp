#include "app/start_options.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>

namespace {

const QString kSimulatedCamera = QStringLiteral("simulated-camera");
const QString kMakePdf = QStringLiteral("make-pdf");
const QString kSearchable = QStringLiteral("searchable");

// QCommandLineParser knows no option with an optional value: "--simulated-camera=FILE" is
// split into the plain switch and the file before parsing. Arguments after "--" are left alone.
QStringList SplitOptionalValue(QStringList arguments, QString* file) {
    const QString prefix = u"--"_qs + kSimulatedCamera + u'=';
    for (qsizetype i = 1; i < arguments.size() && arguments[i] != u"--"_qs; ++i) {
        if (arguments[i].startsWith(prefix)) {
            *file = arguments[i].mid(prefix.size());
            arguments[i] = u"--"_qs + kSimulatedCamera;
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
        QStringLiteral("Add the simulated document camera. --simulated-camera=FILE lays the "
                       "picture FILE on its desk instead of the built-in page.")));
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
    QString file;
    const auto fail = [&request](const QString& text) {
        request.action = StartAction::kError;
        request.message = text + u"\nTry 'quorvane --help' for the options."_qs;
        return request;
    };
    if (!parser.parse(SplitOptionalValue(arguments, &file))) {
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
    request.options.simulatedCamera =
        parser.isSet(kSimulatedCamera) ||
        qEnvironmentVariableIntValue("QUORVANE_SIMULATED_CAMERA") != 0;
    if (parser.isSet(kSimulatedCamera)) {
        request.options.simulatedCameraFile = file;
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
