#pragma once
// The program's command line: --simulated-camera[=FILE] (or QUORVANE_SIMULATED_CAMERA=1 in the
// environment) adds a simulated document camera, with FILE laid on its desk instead of the
// built-in page; --simulated-webcam[=FILE] adds a simulated laptop webcam. Both may be given more
// than once, one camera each. --help and --version print and end the program; --make-pdf OUT
// [--searchable] makes a PDF of the pictures given, without a window. Other arguments are picture
// files to open.

#include <QString>
#include <QStringList>

struct SimulatedCameraOption {
    QString file;  // absolute; empty: the built-in page
    bool webcam = false;
    bool operator==(const SimulatedCameraOption&) const = default;
};

struct StartOptions {
    QList<SimulatedCameraOption> simulatedCameras;  // in the order given
    QStringList files;        // pictures to open (or to make the PDF of), as absolute paths
    QString pdfPath;          // --make-pdf: the PDF to make, as given
    bool searchable = false;  // --searchable: with the recognised text of every page
};

enum class StartAction { kRun, kShowHelp, kShowVersion, kError, kMakePdf };

struct StartRequest {
    StartAction action = StartAction::kRun;
    StartOptions options;
    QString message;  // the help, version or error text to print when not kRun
};

// arguments as QCoreApplication::arguments() gives them, the program's name first.
StartRequest ParseStartOptions(const QStringList& arguments);

// Prints the request's message (help and version to stdout, errors to stderr) and returns the
// program's exit code: 0, or 1 for an error.
int PrintStartMessage(const StartRequest& request);

QString ProgramVersion();
