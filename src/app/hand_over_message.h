#pragma once
// What a later copy of the program says to the running one over the local socket:
//
//   later copy:    "\nquorvane hand-over 2 <length>\n"
//   running copy:  "ready\n"
//   later copy:    <length> bytes: each file name's bytes followed by a NUL
//   running copy:  "taken\n" once it has them all, and ends the connection
//
// A file name holds any byte but NUL, so a name with newlines arrives whole. The running copy
// answers "busy\n" instead of "ready\n" or "taken\n" when it cannot take files now, and
// "refused\n" to anything else, at the first byte that shows it. A list longer than one message
// may carry goes in several, each on a connection of its own; an empty list (<length> 0) is
// taken at once, without "ready\n".
//
// Earlier versions read one name per line up to an empty line and answer "ok\n": the empty first
// line makes such a copy answer at once without opening anything, and the later copy learns
// that it cannot hand files over to it. An earlier version's names are refused at their first
// byte, so it is answered at once too.

#include <QByteArray>
#include <QStringList>
#include <vector>

namespace handover {

inline constexpr char kReady[] = "ready\n";
inline constexpr char kTaken[] = "taken\n";
inline constexpr char kBusy[] = "busy\n";
inline constexpr char kRefused[] = "refused\n";
// What an earlier version answers to any message.
inline constexpr char kOlderTaken[] = "ok\n";
// Several thousand paths fit (a path is at most 4096 bytes; a single command-line argument at
// most 128 KiB).
inline constexpr qsizetype kMaxMessageBytes = 1 << 20;

// The first line of a message of length bytes.
QByteArray Hello(qsizetype length);

// The names in as few messages as fit, one empty message for no names.
std::vector<QByteArray> Messages(const QStringList& files);

// The running copy's reading of one connection, fed the bytes as they arrive.
class Reader {
public:
    enum class Step {
        kMore,      // keep reading
        kReady,     // answer kReady and keep reading
        kComplete,  // Files() holds the names
        kRefused,   // not a hand-over, or more than it announced
    };

    Step Feed(const char* data, qsizetype size);
    QStringList Files() const;

private:
    Step FeedHello(const char* data, qsizetype size);

    QByteArray received_;
    qsizetype length_ = -1;  // the announced length, once the first line is whole
};

}  // namespace handover
