#include "support/test_mounts.h"

#define FUSE_USE_VERSION 31
#include <fuse.h>

#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <string>
#include <thread>

namespace {

bool WriteProcFile(const char* path, const QByteArray& text) {
    QFile file(QString::fromLatin1(path));
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

}  // namespace

bool EnterPrivateMountNamespace(QString* why) {
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    const int flags = uid == 0 ? CLONE_NEWNS : CLONE_NEWNS | CLONE_NEWUSER;
    bool ok = ::unshare(flags) == 0;
    if (ok && uid != 0) {
        ok = WriteProcFile("/proc/self/setgroups", "deny") &&
             WriteProcFile("/proc/self/uid_map", "0 " + QByteArray::number(uid) + " 1") &&
             WriteProcFile("/proc/self/gid_map", "0 " + QByteArray::number(gid) + " 1");
    }
    ok = ok && ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    if (!ok && why != nullptr) {
        *why = QStringLiteral("no private mount namespace: %1")
                   .arg(QString::fromLocal8Bit(std::strerror(errno)));
    }
    return ok;
}

TmpfsMount::TmpfsMount(const QString& folder, qint64 bytes) : folder_(QFile::encodeName(folder)) {
    const QByteArray options = "size=" + QByteArray::number(bytes);
    mounted_ = ::mount("tmpfs", folder_.constData(), "tmpfs", 0, options.constData()) == 0;
}

TmpfsMount::~TmpfsMount() {
    if (mounted_) {
        ::umount2(folder_.constData(), MNT_DETACH);
    }
}

// ---------------------------------------------------------------------------------------------
// The FUSE pass-through. Its operations run on the serving thread.

struct TestFuseMount::State {
    std::string backing;
    FuseQuirks quirks;
    bool nameTaken = false;
    fuse* session = nullptr;
    std::thread loop;
};

namespace {

TestFuseMount::State& Served() {
    return *static_cast<TestFuseMount::State*>(fuse_get_context()->private_data);
}

std::string Real(const char* path) {
    return Served().backing + path;
}

int Result(long result) {
    return result < 0 ? -errno : int(result);
}

// Another program saves under the name first (once), as two copies of a program would race.
void TakeNameFirst(const char* path) {
    TestFuseMount::State& state = Served();
    if (!state.quirks.takeFirstName || state.nameTaken || std::strstr(path, "/.") != nullptr) {
        return;
    }
    state.nameTaken = true;
    const int fd = ::open(Real(path).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd >= 0) {
        // Only the name matters; the contents stand for the other program's file.
        [[maybe_unused]] const ssize_t written = ::write(fd, "another program", 15);
        ::close(fd);
    }
}

void* Init(fuse_conn_info*, fuse_config* config) {
    // The backing folder changes behind the kernel's back (TakeNameFirst): nothing is cached.
    config->entry_timeout = config->attr_timeout = config->negative_timeout = 0;
    config->hard_remove = 1;  // an open file that is removed is gone, not renamed aside
    return fuse_get_context()->private_data;
}

int Rename(const char* from, const char* to, unsigned int flags) {
    const FuseQuirks& quirks = Served().quirks;
    if (quirks.noRenames) {
        return -EPERM;
    }
    if (flags != 0 && quirks.noRenameFlags) {
        return -EINVAL;
    }
    TakeNameFirst(to);
    return Result(::renameat2(AT_FDCWD, Real(from).c_str(), AT_FDCWD, Real(to).c_str(), flags));
}

int Link(const char* from, const char* to) {
    if (Served().quirks.noLinks) {
        return -EPERM;
    }
    TakeNameFirst(to);
    return Result(::link(Real(from).c_str(), Real(to).c_str()));
}

int Create(const char* path, mode_t mode, fuse_file_info* info) {
    if ((info->flags & O_EXCL) != 0) {
        TakeNameFirst(path);
    }
    const int fd = ::open(Real(path).c_str(), info->flags | O_CREAT, mode);
    info->fh = uint64_t(fd);
    return fd < 0 ? -errno : 0;
}

int Open(const char* path, fuse_file_info* info) {
    const int fd = ::open(Real(path).c_str(), info->flags);
    info->fh = uint64_t(fd);
    return fd < 0 ? -errno : 0;
}

int ReadDir(const char* path, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info*,
            fuse_readdir_flags) {
    DIR* dir = ::opendir(Real(path).c_str());
    if (dir == nullptr) {
        return -errno;
    }
    while (const dirent* entry = ::readdir(dir)) {
        fill(buffer, entry->d_name, nullptr, 0, fuse_fill_dir_flags(0));
    }
    ::closedir(dir);
    return 0;
}

fuse_operations Operations() {
    fuse_operations ops{};
    ops.init = Init;
    ops.getattr = [](const char* path, struct stat* info, fuse_file_info* file) {
        return Result(file != nullptr ? ::fstat(int(file->fh), info)
                                      : ::lstat(Real(path).c_str(), info));
    };
    ops.readdir = ReadDir;
    ops.mkdir = [](const char* path, mode_t mode) {
        return Result(::mkdir(Real(path).c_str(), mode));
    };
    ops.unlink = [](const char* path) { return Result(::unlink(Real(path).c_str())); };
    ops.rmdir = [](const char* path) { return Result(::rmdir(Real(path).c_str())); };
    ops.rename = Rename;
    ops.link = Link;
    ops.chmod = [](const char* path, mode_t mode, fuse_file_info*) {
        return Result(::chmod(Real(path).c_str(), mode));
    };
    ops.truncate = [](const char* path, off_t size, fuse_file_info* file) {
        return Result(file != nullptr ? ::ftruncate(int(file->fh), size)
                                      : ::truncate(Real(path).c_str(), size));
    };
    ops.utimens = [](const char* path, const timespec times[2], fuse_file_info*) {
        return Result(::utimensat(AT_FDCWD, Real(path).c_str(), times, AT_SYMLINK_NOFOLLOW));
    };
    ops.create = Create;
    ops.open = Open;
    ops.read = [](const char*, char* buffer, size_t size, off_t offset, fuse_file_info* file) {
        return Result(::pread(int(file->fh), buffer, size, offset));
    };
    ops.write = [](const char*, const char* buffer, size_t size, off_t offset,
                   fuse_file_info* file) {
        return Result(::pwrite(int(file->fh), buffer, size, offset));
    };
    ops.statfs = [](const char* path, struct statvfs* info) {
        return Result(::statvfs(Real(path).c_str(), info));
    };
    ops.fsync = [](const char*, int, fuse_file_info* file) {
        return Result(::fsync(int(file->fh)));
    };
    ops.release = [](const char*, fuse_file_info* file) { return Result(::close(int(file->fh))); };
    return ops;
}

}  // namespace

TestFuseMount::TestFuseMount(const QString& backing, const QString& mountPoint, FuseQuirks quirks)
    : state_(std::make_unique<State>()) {
    state_->backing = QFile::encodeName(backing).toStdString();
    state_->quirks = quirks;
    char name[] = "quorvane-test";
    char* argv[] = {name, nullptr};
    fuse_args args = FUSE_ARGS_INIT(1, argv);
    const fuse_operations ops = Operations();
    state_->session = fuse_new(&args, &ops, sizeof ops, state_.get());
    if (state_->session == nullptr ||
        fuse_mount(state_->session, QFile::encodeName(mountPoint).constData()) != 0) {
        if (state_->session != nullptr) {
            fuse_destroy(state_->session);
            state_->session = nullptr;
        }
        return;
    }
    state_->loop = std::thread([session = state_->session] { fuse_loop(session); });
}

TestFuseMount::~TestFuseMount() {
    if (state_->session == nullptr) {
        return;
    }
    // Unmounting ends the connection, and with it the serving loop.
    fuse_unmount(state_->session);
    state_->loop.join();
    fuse_destroy(state_->session);
}

bool TestFuseMount::IsMounted() const {
    return state_->session != nullptr;
}
