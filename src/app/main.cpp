#include "app/start_options.h"
#include "settings/ini_file.h"
#include "settings/stored_settings.h"

#include <QCoreApplication>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorvane"));
    QCoreApplication::setApplicationVersion(ProgramVersion());

    const StartRequest request = ParseStartOptions(QCoreApplication::arguments());
    if (request.action != StartAction::kRun) {
        return PrintStartMessage(request);
    }
    CIniFile store;
    ReadStoredSettings(store);
    return 0;
}
