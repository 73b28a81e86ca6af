#include "app/hand_over_client.h"

#include <QFile>
#include <chrono>
#include <thread>

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "app/hand_over_message.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kRetryPause = std::chrono::milliseconds(100);

enum class Attempt { kTaken, kRetry, kOlderCopy, kRefused };

int RemainingMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return int(std::max<qint64>(left.count(), 0));
}

// Waits for fd to be ready for events; false when the deadline passes or the wait fails.
bool WaitFor(int fd, short events, Clock::time_point deadline) {
    pollfd polled{fd, events, 0};
    int ready;
    do {
        ready = ::poll(&polled, 1, RemainingMs(deadline));
    } while (ready < 0 && errno == EINTR);
    return ready > 0;
}

bool SendAll(int fd, QByteArrayView data, Clock::time_point deadline) {
    while (!data.isEmpty()) {
        if (!WaitFor(fd, POLLOUT, deadline))
            return false;
        const ssize_t sent = ::send(fd, data.data(), size_t(data.size()), MSG_NOSIGNAL);
        if (sent < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (sent <= 0)
            return false;
        data = data.sliced(sent);
    }
    return true;
}

// One answer line; empty when the connection ended or the deadline passed first.
QByteArray ReadAnswer(int fd, Clock::time_point deadline) {
    QByteArray line;
    while (!line.endsWith('\n') && line.size() < 16) {
        if (!WaitFor(fd, POLLIN, deadline))
            return {};
        char c;
        const ssize_t got = ::recv(fd, &c, 1, 0);
        if (got < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (got <= 0)
            return {};
        line += c;
    }
    return line;
}

// Only a socket of our own user takes our file names.
int ConnectOwnSocket(const QByteArray& path) {
    struct stat info {};
    if (::lstat(path.constData(), &info) != 0 || !S_ISSOCK(info.st_mode) ||
        info.st_uid != ::getuid())
        return -1;
    return ConnectLocal(path);
}

Attempt HandOverOnce(const QByteArray& path, const QByteArray& names, Clock::time_point deadline) {
    const int fd = ConnectOwnSocket(path);
    if (fd < 0)
        return Attempt::kRetry;  // not listening yet
    QByteArray answer;
    if (SendAll(fd, handover::Hello(names.size()), deadline)) {
        answer = ReadAnswer(fd, deadline);
        if (answer == handover::kReady)
            answer = SendAll(fd, names, deadline) ? ReadAnswer(fd, deadline) : QByteArray();
    }
    ::close(fd);
    if (answer == handover::kTaken)
        return Attempt::kTaken;
    if (answer == handover::kOlderTaken)
        return Attempt::kOlderCopy;
    if (answer == handover::kRefused)
        return Attempt::kRefused;
    return Attempt::kRetry;  // busy, or the connection ended before an answer
}

}  // namespace

int ConnectLocal(const QByteArray& path) {
    sockaddr_un address{};
    if (path.size() >= qsizetype(sizeof address.sun_path)) {
        errno = ENAMETOOLONG;
        return -1;
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    // A local connection is made at once or not at all; it never waits.
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

HandOverResult HandOverFiles(const QString& socketPath, const QStringList& files, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    const QByteArray path = QFile::encodeName(socketPath);
    for (const QByteArray& names : handover::Messages(files)) {
        Attempt attempt;
        while ((attempt = HandOverOnce(path, names, deadline)) == Attempt::kRetry &&
               Clock::now() + kRetryPause < deadline)
            std::this_thread::sleep_for(kRetryPause);
        switch (attempt) {
            case Attempt::kTaken:
                break;
            case Attempt::kOlderCopy:
                // It raised its window, which is all a later copy without files asks for.
                return files.isEmpty() ? HandOverResult::kTaken : HandOverResult::kOlderCopy;
            case Attempt::kRefused:
                return HandOverResult::kRefused;
            case Attempt::kRetry:
                return HandOverResult::kNoAnswer;
        }
    }
    return HandOverResult::kTaken;
}
