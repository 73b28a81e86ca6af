#include "media/followed_picture_file.h"

#include <sys/stat.h>

#include <QFile>
#include <QImage>
#include <QString>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <thread>

namespace {

FollowedPictureFile::Stamp StampOf(const std::string& path) {
    FollowedPictureFile::Stamp stamp;
    struct stat st {};
    if (::stat(QFile::encodeName(QString::fromStdString(path)).constData(), &st) != 0)
        return stamp;
    stamp.exists = true;
    stamp.device = st.st_dev;
    stamp.inode = st.st_ino;
    stamp.size = static_cast<uint64_t>(st.st_size);
    stamp.modifiedNs = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    stamp.changedNs = int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return stamp;
}

// The one watch thread: it looks at every followed file that a camera still holds. It starts with
// the first followed file and ends with the program.
class PictureFileWatch {
public:
    static PictureFileWatch& Instance() {
        static PictureFileWatch watch;
        return watch;
    }

    ~PictureFileWatch() {
        {
            std::lock_guard<std::mutex> guard(lock_);
            quit_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable())
            thread_.join();
    }

    std::shared_ptr<FollowedPictureFile> Follow(const std::string& path) {
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (auto file = files_[path].lock())
                return file;
        }
        // Decoded without the lock, so that the other files are looked at meanwhile.
        auto made = std::make_shared<FollowedPictureFile>(path);
        std::lock_guard<std::mutex> guard(lock_);
        std::weak_ptr<FollowedPictureFile>& slot = files_[path];
        if (auto other = slot.lock())
            return other;  // another thread followed it first
        slot = made;
        if (!thread_.joinable())
            thread_ = std::thread([this] { Run(); });
        return made;
    }

    void SetHook(std::function<void()> hook) {
        std::lock_guard<std::mutex> guard(lock_);
        hook_ = std::move(hook);
    }

private:
    PictureFileWatch() = default;

    // Watch thread.
    void Run() {
        std::unique_lock<std::mutex> lock(lock_);
        while (!wake_.wait_for(lock, std::chrono::milliseconds(FollowedPictureFile::kPollMs),
                               [this] { return quit_; })) {
            std::vector<std::shared_ptr<FollowedPictureFile>> files;
            for (auto it = files_.begin(); it != files_.end();) {
                if (auto file = it->second.lock()) {
                    files.push_back(std::move(file));
                    ++it;
                } else {
                    it = files_.erase(it);
                }
            }
            const std::function<void()> hook = hook_;
            lock.unlock();
            bool presence = false;
            for (const auto& file : files)
                presence = file->Look() || presence;
            // A file whose last camera went meanwhile is let go here, without the lock.
            files.clear();
            if (presence && hook)
                hook();
            lock.lock();
        }
    }

    std::mutex lock_;
    std::condition_variable wake_;
    bool quit_ = false;
    std::map<std::string, std::weak_ptr<FollowedPictureFile>> files_;
    std::function<void()> hook_;
    std::thread thread_;
};

}  // namespace

std::shared_ptr<const SimulatedPicture> LoadSimulatedPicture(const std::string& path) {
    if (path.empty())
        return nullptr;
    QImage image(QString::fromStdString(path));
    if (image.isNull())
        return nullptr;
    image = image.convertToFormat(QImage::Format_BGR888);
    auto picture = std::make_shared<SimulatedPicture>();
    picture->width = image.width();
    picture->height = image.height();
    picture->stride = picture->width * 3;
    picture->pixels.resize(static_cast<size_t>(picture->stride) * picture->height);
    for (int y = 0; y < picture->height; ++y)
        std::copy_n(image.constScanLine(y), picture->stride,
                    picture->pixels.data() + static_cast<size_t>(y) * picture->stride);
    return picture;
}

std::shared_ptr<FollowedPictureFile> FollowedPictureFile::Follow(const std::string& path) {
    if (path.empty())
        return nullptr;
    return PictureFileWatch::Instance().Follow(path);
}

FollowedPictureFile::FollowedPictureFile(std::string path) : path_(std::move(path)) {
    seen_ = attempted_ = StampOf(path_);
    exists_ = seen_.exists;
    picture_ = LoadSimulatedPicture(path_);
    version_ = picture_ ? 1 : 0;
}

std::shared_ptr<const SimulatedPicture> FollowedPictureFile::Picture() const {
    std::lock_guard<std::mutex> guard(lock_);
    return picture_;
}

void FollowedPictureFile::SetPresenceHook(std::function<void()> hook) {
    PictureFileWatch::Instance().SetHook(std::move(hook));
}

bool FollowedPictureFile::Look() {
    const Stamp now = StampOf(path_);
    const bool presence = exists_.exchange(now.exists) != now.exists;
    const bool settled = now == seen_;
    seen_ = now;
    if (!now.exists || !settled || now == attempted_)
        return presence;
    attempted_ = now;
    std::shared_ptr<const SimulatedPicture> picture = LoadSimulatedPicture(path_);
    if (!picture)
        return presence;  // a picture that does not decode leaves the last one
    std::lock_guard<std::mutex> guard(lock_);
    picture_ = std::move(picture);
    ++version_;
    return presence;
}
