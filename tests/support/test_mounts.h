#pragma once
// Real filesystem conditions for tests: a private mount namespace for the test process, small
// tmpfs mounts, and a FUSE pass-through over a folder that lacks what some FUSE filesystems and
// phones lack (no-replace renames, hard links, renames at all), or on which another writer takes
// the first name a file is moved to.

#include <QString>
#include <memory>

// Makes this process's mounts its own, so that they vanish with it. Call first in main(), while
// the process has one thread. False, with the reason in why, where the machine does not allow
// it (no privileges, no user namespaces).
bool EnterPrivateMountNamespace(QString* why);

// A tmpfs of the given size at folder, for as long as the object lives.
class TmpfsMount {
public:
    TmpfsMount(const QString& folder, qint64 bytes);
    ~TmpfsMount();
    bool IsMounted() const { return mounted_; }

private:
    QByteArray folder_;
    bool mounted_ = false;
};

struct FuseQuirks {
    bool noRenameFlags = false;  // renameat2 with flags fails with EINVAL
    bool noLinks = false;        // link fails with EPERM
    bool noRenames = false;      // every rename fails with EPERM
    bool takeFirstName = false;  // the first move into a visible name finds it just taken
};

class TestFuseMount {
public:
    // Serves backing at mountPoint (both existing folders) from a thread of this process.
    TestFuseMount(const QString& backing, const QString& mountPoint, FuseQuirks quirks);
    ~TestFuseMount();  // unmounts; nothing on the mount may be open any more

    bool IsMounted() const;

    struct State;

private:
    std::unique_ptr<State> state_;
};
