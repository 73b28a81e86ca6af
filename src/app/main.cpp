#include "app/quorvane_app.h"
#include "app/start_options.h"

#include <QStringList>

int main(int argc, char* argv[]) {
    // The options are read before the window system is reached, so --help and --version work
    // without a display.
    QCoreApplication::setApplicationName(QStringLiteral("quorvane"));
    QCoreApplication::setApplicationVersion(ProgramVersion());
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const StartRequest request = ParseStartOptions(arguments);
    if (request.action != StartAction::kRun) {
        return PrintStartMessage(request);
    }

    CQuorvaneApp app(argc, argv);
    app.SetStartOptions(request.options);
    // The main window reads the stored settings as it is constructed.
    app.InitInstance();
    return 0;
}
