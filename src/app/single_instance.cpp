#include "app/single_instance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QMetaMethod>

#include <sys/un.h>
#include <unistd.h>

#include <cerrno>

#include "app/hand_over_client.h"
#include "app/hand_over_server.h"

namespace {

// Long enough for a first copy still starting, or one serving other copies for their longest.
constexpr int kAnswerWaitMs = 8000;
// Hand-overs answered and waiting for the window's thread; more are told to try again.
constexpr size_t kMaxWaiting = 4;

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

}  // namespace

SingleInstance::SingleInstance(const QString& settingsFolder)
    : socketPath_(SocketPathFor(QDir::cleanPath(settingsFolder))),
      lock_(std::make_unique<QLockFile>(QDir(settingsFolder).filePath(u"quorvane.lock"_qs))) {
    // A lock whose owner has died is taken over at once; a live owner keeps it however old.
    lock_->setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default;

SingleInstance::Claim SingleInstance::ClaimOrHandOver(const QStringList& files) {
    if (lock_->tryLock(0)) {
        // A lock file judged stale while its copy still runs (written from another process
        // namespace, say): the copy that answers on the socket stays the only one.
        const int probe = ConnectLocal(QFile::encodeName(socketPath_));
        if (probe < 0 && errno != EAGAIN)
            return Claim::kFirst;
        if (probe >= 0)
            ::close(probe);
        lock_->unlock();
    }
    switch (HandOverFiles(socketPath_, files, kAnswerWaitMs)) {
        case HandOverResult::kTaken:
            return Claim::kHandedOver;
        case HandOverResult::kOlderCopy:
            return Claim::kOlderCopy;
        case HandOverResult::kRefused:
            return Claim::kRefused;
        case HandOverResult::kNoAnswer:
            break;
    }
    return Claim::kNoAnswer;
}

bool SingleInstance::Listen() {
    server_ = std::make_unique<HandOverServer>(
        socketPath_, [this](const QStringList& files) { return Take(files); });
    return server_->Start();
}

void SingleInstance::StopListening() {
    server_.reset();
}

// Runs on the hand-over thread: the later copy has its answer before the files are opened.
bool SingleInstance::Take(const QStringList& files) {
    {
        const std::lock_guard lock(waitingMutex_);
        if (waiting_.size() >= kMaxWaiting)
            return false;
        waiting_.push_back(files);
    }
    QMetaObject::invokeMethod(this, &SingleInstance::PassOn, Qt::QueuedConnection);
    return true;
}

void SingleInstance::PassOn() {
    if (!isSignalConnected(QMetaMethod::fromSignal(&SingleInstance::Activated)))
        return;  // again once connected
    std::vector<QStringList> handed;
    {
        const std::lock_guard lock(waitingMutex_);
        handed.swap(waiting_);
    }
    for (const QStringList& files : handed)
        emit Activated(files);
}

void SingleInstance::connectNotify(const QMetaMethod& signal) {
    if (signal == QMetaMethod::fromSignal(&SingleInstance::Activated))
        QMetaObject::invokeMethod(this, &SingleInstance::PassOn, Qt::QueuedConnection);
}
