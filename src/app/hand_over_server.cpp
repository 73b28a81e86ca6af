#include "app/hand_over_server.h"

#include <QFile>
#include <algorithm>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "app/hand_over_client.h"

namespace {

// How often the thread looks whether its socket file is still there and listened on.
constexpr std::chrono::seconds kCheckPeriod{2};
// While the process has no descriptor to spare, not even the reserve, accepting waits this long.
constexpr std::chrono::milliseconds kAcceptPause{100};
// Connections taken in one turn, so that a flood of them does not starve those being served.
constexpr int kAcceptsPerTurn = 32;
constexpr int kBacklog = 64;
constexpr size_t kReadBytes = 64 * 1024;

void Answer(int fd, const char* answer) {
    // A few bytes into an empty socket buffer; a peer that does not read loses them.
    ::send(fd, answer, std::strlen(answer), MSG_NOSIGNAL | MSG_DONTWAIT);
}

int OpenReserve() {
    return ::open("/dev/null", O_RDONLY | O_CLOEXEC);
}

}  // namespace

HandOverServer::HandOverServer(const QString& socketPath, Receiver receiver)
    : path_(QFile::encodeName(socketPath)), receiver_(std::move(receiver)), buffer_(kReadBytes) {}

HandOverServer::~HandOverServer() {
    if (thread_.joinable()) {
        ::eventfd_write(wakeFd_, 1);
        thread_.join();
    }
    for (const Connection& connection : connections_)
        ::close(connection.fd);
    if (ListeningOnOwnFile())
        ::unlink(path_.constData());
    StopListening();
    for (int fd : {wakeFd_, reserveFd_})
        if (fd >= 0)
            ::close(fd);
}

bool HandOverServer::Start() {
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0)
        return false;
    reserveFd_ = OpenReserve();
    const bool listening = Listen();
    thread_ = std::thread(&HandOverServer::Run, this);
    return listening;
}

bool HandOverServer::Listen() {
    // A copy listening at the path keeps it; only a socket file no one listens on is removed.
    const int probe = ConnectLocal(path_);
    if (probe >= 0) {
        ::close(probe);
        return false;
    }
    if (errno != ECONNREFUSED && errno != ENOENT)
        return false;  // EAGAIN: a copy listens there and is full
    struct stat info {};
    if (::lstat(path_.constData(), &info) == 0 && S_ISSOCK(info.st_mode))
        ::unlink(path_.constData());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path_.constData(), size_t(path_.size()));  // fits: probed
    // Made private before anyone can connect: bound, but not yet listening, it refuses all.
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::chmod(path_.constData(), S_IRUSR | S_IWUSR) != 0 ||
        ::lstat(path_.constData(), &info) != 0 || ::listen(fd, kBacklog) != 0) {
        ::close(fd);
        return false;
    }
    listenFd_ = fd;
    device_ = info.st_dev;
    inode_ = info.st_ino;
    return true;
}

void HandOverServer::StopListening() {
    if (listenFd_ >= 0)
        ::close(listenFd_);
    listenFd_ = -1;
}

bool HandOverServer::ListeningOnOwnFile() const {
    struct stat info {};
    return listenFd_ >= 0 && ::lstat(path_.constData(), &info) == 0 && info.st_dev == device_ &&
           info.st_ino == inode_;
}

void HandOverServer::Run() {
    std::vector<pollfd> polled;
    auto nextCheck = Clock::now();
    for (;;) {
        const auto now = Clock::now();
        if (now >= nextCheck) {
            Check();
            nextCheck = now + kCheckPeriod;
        }
        std::erase_if(connections_, [now](const Connection& connection) {
            if (connection.deadline > now)
                return false;
            ::close(connection.fd);
            return true;
        });

        auto wake = nextCheck;
        const bool accepting = now >= acceptPausedUntil_;
        polled = {{wakeFd_, POLLIN, 0}, {listenFd_, short(accepting ? POLLIN : 0), 0}};
        if (!accepting)
            wake = std::min(wake, acceptPausedUntil_);
        for (const Connection& connection : connections_) {
            polled.push_back({connection.fd, POLLIN, 0});
            wake = std::min(wake, connection.deadline);
        }
        const auto timeout = std::chrono::ceil<std::chrono::milliseconds>(wake - now);
        if (::poll(polled.data(), polled.size(), int(std::max<qint64>(timeout.count(), 0))) < 0)
            continue;
        if (polled[0].revents != 0)
            return;
        for (size_t i = connections_.size(); i-- > 0;) {
            if (polled[i + 2].revents != 0 && !Serve(connections_[i])) {
                ::close(connections_[i].fd);
                connections_.erase(connections_.begin() + qsizetype(i));
            }
        }
        if (polled[1].revents & POLLIN)
            Accept();
    }
}

void HandOverServer::Check() {
    // The socket file was removed (a cleaner of temporary files, a user) or listening failed:
    // listen again, so later copies can reach this one.
    if (!ListeningOnOwnFile()) {
        StopListening();
        Listen();
    }
    if (reserveFd_ < 0)
        reserveFd_ = OpenReserve();
}

void HandOverServer::Accept() {
    for (int i = 0; i < kAcceptsPerTurn; ++i) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EMFILE || errno == ENFILE) {
                if (Shed())
                    continue;
                acceptPausedUntil_ = Clock::now() + kAcceptPause;
                return;
            }
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK)
                StopListening();  // and listens again at the next check
            return;
        }
        if (int(connections_.size()) >= kMaxConnections) {
            Answer(fd, handover::kBusy);
            ::close(fd);
            continue;
        }
        connections_.push_back({fd, Clock::now() + kConnectionTime, {}});
    }
}

// The process has no descriptor left: the reserve makes room to take one waiting connection
// and close it, so the waiting ones do not pile up.
bool HandOverServer::Shed() {
    if (reserveFd_ < 0)
        return false;
    ::close(reserveFd_);
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) {
        Answer(fd, handover::kBusy);
        ::close(fd);
    }
    reserveFd_ = OpenReserve();
    return fd >= 0 && reserveFd_ >= 0;
}

bool HandOverServer::Serve(Connection& connection) {
    const ssize_t got = ::recv(connection.fd, buffer_.data(), buffer_.size(), 0);
    if (got < 0)
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    if (got == 0)
        return false;
    switch (connection.reader.Feed(buffer_.data(), got)) {
        case handover::Reader::Step::kMore:
            return true;
        case handover::Reader::Step::kReady:
            Answer(connection.fd, handover::kReady);
            return true;
        case handover::Reader::Step::kComplete:
            Answer(connection.fd,
                   receiver_(connection.reader.Files()) ? handover::kTaken : handover::kBusy);
            return false;
        case handover::Reader::Step::kRefused:
            Answer(connection.fd, handover::kRefused);
            return false;
    }
    return false;
}
