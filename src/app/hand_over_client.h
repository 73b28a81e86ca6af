#pragma once
// A later copy's end of the hand-over (hand_over_message.h), in plain socket calls: the later
// copy has no application object and no event loop.

#include <QByteArray>
#include <QString>
#include <QStringList>

enum class HandOverResult {
    kTaken,      // the running copy has the files and opens them
    kNoAnswer,   // no copy answered in time, or it stayed busy
    kOlderCopy,  // an earlier version runs, which cannot take these files
    kRefused,    // the running copy refused the message
};

// Hands files to the copy listening at socketPath, waiting at most timeoutMs for it to listen
// (it may be starting) or to be free (it may be serving other copies).
HandOverResult HandOverFiles(const QString& socketPath, const QStringList& files, int timeoutMs);

// A non-blocking descriptor connected to the local socket at path, or -1 with errno set:
// ECONNREFUSED or ENOENT when no one listens there, EAGAIN when someone does but is full.
int ConnectLocal(const QByteArray& path);
