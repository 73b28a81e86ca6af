#pragma once
// The running copy's end of the hand-over (hand_over_message.h). A thread of its own accepts
// later copies and answers each as soon as its message is whole, however long the window's
// thread is busy; the names go on to a receiver, which has them opened later.
//
// Nothing a later copy does stops it listening for good: it serves at most kMaxConnections at
// once (more are told "busy" and closed at once), each for at most kConnectionMs; a descriptor
// kept in reserve lets it shed connections while the process has no descriptor left; and it
// makes its socket again when the socket file goes or listening fails. It removes a socket file
// only when no one listens there.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include <sys/types.h>

#include "app/hand_over_message.h"

class HandOverServer {
public:
    static constexpr int kMaxConnections = 4;
    static constexpr std::chrono::milliseconds kConnectionTime{3000};

    // Runs on the server's thread with the names of each whole message; false: they cannot be
    // taken now, and the later copy is told to try again.
    using Receiver = std::function<bool(QStringList files)>;

    HandOverServer(const QString& socketPath, Receiver receiver);
    ~HandOverServer();  // ends the thread; removes the socket file while it is still its own
    HandOverServer(const HandOverServer&) = delete;
    HandOverServer& operator=(const HandOverServer&) = delete;

    // Makes the socket and starts the thread; false when the socket cannot be made now (the
    // thread tries again every few seconds).
    bool Start();

private:
    using Clock = std::chrono::steady_clock;
    struct Connection {
        int fd;
        Clock::time_point deadline;
        handover::Reader reader;
    };

    void Run();
    void Check();  // every few seconds
    bool Listen();
    void StopListening();
    bool ListeningOnOwnFile() const;
    void Accept();
    bool Shed();
    bool Serve(Connection& connection);  // false: the connection is done

    QByteArray path_;
    Receiver receiver_;
    int listenFd_ = -1;
    dev_t device_ = 0;
    ino_t inode_ = 0;
    int wakeFd_ = -1;
    int reserveFd_ = -1;
    Clock::time_point acceptPausedUntil_;
    std::vector<Connection> connections_;
    std::vector<char> buffer_;
    std::thread thread_;
};
