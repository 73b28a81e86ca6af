#include "image/picture_loader.h"

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

LoadedPicture LoadPicture(const PictureRequest& request, const std::atomic<bool>* cancel,
                          const std::function<void(LoadedPicture& part)>& partial) {
    LoadedPicture result;
    DecodeOptions options;
    options.needWidth = request.needWidth;
    options.needHeight = request.needHeight;
    options.maxFactor = request.maxFactor;
    options.cancel = cancel;
    if (request.partial && partial) {
        options.partial = [&](const CDibImage& image) {
            LoadedPicture part;
            part.status = LoadedPicture::Status::kPartial;
            part.image = image;
            part.reduced = true;
            part.fullWidth = options.fullWidth;
            part.fullHeight = options.fullHeight;
            partial(part);
        };
    }
    const bool ok = result.image.Load(request.path, request.type, &options);
    result.reduced = ok && options.reduced;
    result.fullWidth = options.fullWidth;
    result.fullHeight = options.fullHeight;
    if (ok) {
        result.status = LoadedPicture::Status::kLoaded;
        if (result.fullWidth == 0) {  // formats that report no size of their own
            result.fullWidth = result.image.GetWidth();
            result.fullHeight = result.image.GetHeight();
        }
    } else {
        result.status = options.Cancelled() ? LoadedPicture::Status::kCancelled
                        : options.tooLarge  ? LoadedPicture::Status::kTooLarge
                                            : LoadedPicture::Status::kUnreadable;
        result.error = QString::fromUtf8(result.image.GetLastError());
    }
    return result;
}

// What the loader and its thread share. The thread keeps it alive after the loader is gone.
struct CPictureLoader::Shared {
    std::mutex mutex;
    std::condition_variable wake;
    std::optional<std::pair<uint64_t, PictureRequest>> next;  // the newest waiting request
    std::shared_ptr<std::atomic<bool>> running;               // cancel flag of the one under way
    CPictureLoader* owner = nullptr;                          // null once the loader is gone
};

CPictureLoader::CPictureLoader(QObject* parent) : QObject(parent) {}

CPictureLoader::~CPictureLoader() {
    if (!shared_) {
        return;
    }
    const std::lock_guard lock(shared_->mutex);
    shared_->owner = nullptr;
    shared_->next.reset();
    if (shared_->running) {
        *shared_->running = true;
    }
    shared_->wake.notify_one();
}

void CPictureLoader::Load(const PictureRequest& request) {
    if (!shared_) {  // the thread starts with the first request
        shared_ = std::make_shared<Shared>();
        shared_->owner = this;
        std::thread(Run, shared_).detach();
    }
    const std::lock_guard lock(shared_->mutex);
    if (shared_->running) {
        *shared_->running = true;
    }
    shared_->next.emplace(++serial_, request);
    busy_ = true;
    shared_->wake.notify_one();
}

void CPictureLoader::Cancel() {
    ++serial_;
    busy_ = false;
    if (!shared_) {
        return;
    }
    const std::lock_guard lock(shared_->mutex);
    if (shared_->running) {
        *shared_->running = true;
    }
    shared_->next.reset();
}

// The loader's thread: reads the newest request, hands the result to the loader's thread and
// waits for the next, until the loader is gone.
void CPictureLoader::Run(std::shared_ptr<Shared> shared) {
    std::unique_lock lock(shared->mutex);
    for (;;) {
        shared->wake.wait(lock, [&] { return shared->owner == nullptr || shared->next; });
        if (shared->owner == nullptr) {
            return;
        }
        const uint64_t serial = shared->next->first;
        const PictureRequest request = std::move(shared->next->second);
        shared->next.reset();
        auto cancel = std::make_shared<std::atomic<bool>>(false);
        shared->running = cancel;
        lock.unlock();
        const auto partial = [&](LoadedPicture& part) {
            const std::lock_guard partLock(shared->mutex);
            if (!*cancel)
                Post(*shared, serial, request, std::make_shared<LoadedPicture>(std::move(part)));
        };
        auto picture = std::make_shared<LoadedPicture>(LoadPicture(request, cancel.get(), partial));
        lock.lock();
        shared->running.reset();
        if (!*cancel)
            Post(*shared, serial, request, std::move(picture));
    }
}

// Called under the lock, so that the loader cannot be destroyed meanwhile; a call posted to it
// is dropped by Qt if it is destroyed before the call runs.
void CPictureLoader::Post(Shared& shared, uint64_t serial, const PictureRequest& request,
                          std::shared_ptr<LoadedPicture> picture) {
    if (CPictureLoader* owner = shared.owner) {
        QMetaObject::invokeMethod(
            owner,
            [owner, serial, request, picture = std::move(picture)] {
                owner->Deliver(serial, request, *picture);
            },
            Qt::QueuedConnection);
    }
}

void CPictureLoader::Deliver(uint64_t serial, const PictureRequest& request,
                             LoadedPicture& picture) {
    if (serial != serial_) {
        return;  // a newer request came after this one was finished
    }
    busy_ = picture.status == LoadedPicture::Status::kPartial;
    emit Loaded(request, picture);
}
