#pragma once
// One running copy per settings folder, so two copies never share one photo counter and one
// settings file. The first copy holds a lock file in the settings folder and listens on a local
// socket; a later copy hands its files to it (which brings its window to the front) and ends.

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <mutex>
#include <vector>

class HandOverServer;
class QLockFile;

class SingleInstance : public QObject {
    Q_OBJECT

public:
    enum class Claim {
        kFirst,       // this copy runs; Listen() once the application object exists
        kHandedOver,  // a running copy took the files: end this one
        kNoAnswer,    // a running copy holds the lock but did not answer
        kOlderCopy,   // an earlier version runs, which cannot take the files
        kRefused,     // the running copy refused the files
    };

    // settingsFolder: the folder whose settings file the copy would use.
    explicit SingleInstance(const QString& settingsFolder);
    ~SingleInstance() override;

    // Needs no application object, so a second copy ends without reaching the window system.
    Claim ClaimOrHandOver(const QStringList& files);
    // Starts accepting hand-overs; false when the socket cannot be made now (the copy still
    // runs, and keeps trying).
    bool Listen();
    // Stops accepting hand-overs; before the application object goes.
    void StopListening();

    QString SocketPath() const { return socketPath_; }

signals:
    // A later copy started: raise the window and open these files (maybe none). Emitted from
    // the event loop, after the later copy has had its answer, and not before a receiver is
    // connected: files handed over while the window is being made wait for it.
    void Activated(const QStringList& files);

protected:
    void connectNotify(const QMetaMethod& signal) override;

private:
    bool Take(const QStringList& files);
    void PassOn();

    QString socketPath_;
    std::unique_ptr<QLockFile> lock_;
    // Hand-overs answered but not yet passed on: the window's thread may be busy for a while.
    std::mutex waitingMutex_;
    std::vector<QStringList> waiting_;
    std::unique_ptr<HandOverServer> server_;  // last: its thread uses the members above
};
