#include "app/single_instance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <memory>

namespace {

// The hand-over: the file paths, one per line in UTF-8, then an empty line; the running copy
// answers "ok\n" once it has taken them.
constexpr char kAnswer[] = "ok\n";
constexpr int kAnswerWaitMs = 5000;
// A first copy that has just taken the lock may not listen yet.
constexpr int kConnectTries = 30;
constexpr int kConnectPauseMs = 100;
// Far above any real list of paths; a longer line is not a hand-over.
constexpr qint64 kMaxMessageBytes = 1 << 20;

QString SocketFolder(const QString& settingsFolder) {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (QDir::isAbsolutePath(runtime) && QFileInfo(runtime).isDir())
        return runtime;
    return settingsFolder;
}

QString SocketPathFor(const QString& settingsFolder) {
    const QByteArray key =
        QCryptographicHash::hash(QFile::encodeName(settingsFolder), QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    const QString name = QStringLiteral("quorvane-%1.socket").arg(QString::fromLatin1(key));
    const QString path = QDir(SocketFolder(settingsFolder)).filePath(name);
    // A local socket's path has room for 107 bytes; fall back to the shared temporary folder,
    // named by user, where a deep folder would not fit.
    if (QFile::encodeName(path).size() < qsizetype(sizeof(sockaddr_un{}.sun_path)))
        return path;
    return QDir::temp().filePath(QStringLiteral("quorvane-%1-%2").arg(::getuid()).arg(name));
}

bool WriteAll(int fd, const QByteArray& data) {
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// Plain socket calls: the second copy has no application object and no event loop.
int ConnectToRunningCopy(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    // Only a socket of our own user takes our file names.
    if (::lstat(name.constData(), &st) != 0 || !S_ISSOCK(st.st_mode) || st.st_uid != ::getuid())
        return -1;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    const timeval wait{kAnswerWaitMs / 1000, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    return fd;
}

bool HandOver(const QString& path, const QStringList& files) {
    int fd = -1;
    for (int i = 0; i < kConnectTries && fd < 0; ++i) {
        fd = ConnectToRunningCopy(path);
        if (fd < 0)
            QThread::msleep(kConnectPauseMs);
    }
    if (fd < 0)
        return false;
    QByteArray message;
    for (const QString& file : files)
        message += file.toUtf8() + '\n';
    message += '\n';
    char answer[sizeof kAnswer] = {};
    const bool ok = WriteAll(fd, message) &&
                    ::read(fd, answer, sizeof kAnswer - 1) == ssize_t(sizeof kAnswer - 1) &&
                    std::strcmp(answer, kAnswer) == 0;
    ::close(fd);
    return ok;
}

}  // namespace

SingleInstance::SingleInstance(const QString& settingsFolder)
    : socketPath_(SocketPathFor(QDir::cleanPath(settingsFolder))),
      lock_(std::make_unique<QLockFile>(QDir(settingsFolder).filePath(u"quorvane.lock"_qs))) {
    // A lock whose owner has died is taken over at once; a live owner keeps it however old.
    lock_->setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default;

SingleInstance::Claim SingleInstance::ClaimOrHandOver(const QStringList& files) {
    if (lock_->tryLock(0))
        return Claim::kFirst;
    return HandOver(socketPath_, files) ? Claim::kHandedOver : Claim::kFailed;
}

bool SingleInstance::Listen() {
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // We hold the lock: a socket file left by a copy that died is ours to remove.
    QLocalServer::removeServer(socketPath_);
    if (!server_->listen(socketPath_))
        return false;
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::OnConnection);
    return true;
}

void SingleInstance::StopListening() {
    delete server_;
    server_ = nullptr;
}

void SingleInstance::OnConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto files = std::make_shared<QStringList>();
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, files] {
            while (socket->canReadLine()) {
                const QByteArray line = socket->readLine().chopped(1);
                if (line.isEmpty()) {
                    socket->write(kAnswer);
                    socket->flush();
                    emit Activated(*files);
                    return;
                }
                *files << QString::fromUtf8(line);
            }
            if (socket->bytesAvailable() > kMaxMessageBytes)
                socket->abort();
        });
    }
}
