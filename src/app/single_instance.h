#pragma once
// One running copy per settings folder, so two copies never share one photo counter and one
// settings file. The first copy holds a lock file in the settings folder and listens on a local
// socket; a later copy hands its files to it (which brings its window to the front) and ends.

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

class QLocalServer;
class QLockFile;

class SingleInstance : public QObject {
    Q_OBJECT

public:
    enum class Claim {
        kFirst,       // this copy runs; Listen() once the application object exists
        kHandedOver,  // a running copy took the files: end this one
        kFailed,      // a running copy holds the lock but did not answer
    };

    // settingsFolder: the folder whose settings file the copy would use.
    explicit SingleInstance(const QString& settingsFolder);
    ~SingleInstance() override;

    // Needs no application object, so a second copy ends without reaching the window system.
    Claim ClaimOrHandOver(const QStringList& files);
    // Starts accepting hand-overs; false when the socket cannot be made (the copy still runs).
    bool Listen();
    // Stops accepting hand-overs; before the application object goes.
    void StopListening();

    QString SocketPath() const { return socketPath_; }

signals:
    // A later copy started: raise the window and open these files (maybe none).
    void Activated(const QStringList& files);

private:
    void OnConnection();

    QString socketPath_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer* server_ = nullptr;
};
