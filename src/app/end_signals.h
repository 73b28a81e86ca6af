#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM, SIGINT and SIGHUP (a logout, kill, Ctrl+C in the terminal) end the program as closing
// its window does, so a recording is finished into a playable file instead of being cut off.
// The handler only writes a byte to a pipe; Requested is emitted on the user-interface thread.
// One instance at a time; the default handlers are back once it is destroyed.
class CEndSignals : public QObject {
    Q_OBJECT

public:
    explicit CEndSignals(QObject* parent = nullptr);
    ~CEndSignals() override;

    bool IsWatching() const { return notifier_ != nullptr; }

signals:
    void Requested(int signal);

private:
    void OnReadable();

    QSocketNotifier* notifier_ = nullptr;
};
