#pragma once
// CPictureLoader: reads picture files on a thread of its own, so that the windows keep painting
// while a big picture is decoded. Only the newest request counts: a new one cancels the one under
// way, whose result never arrives. Destroying the loader (closing the window that owns it)
// cancels the work without waiting for it; the thread ends on its own once the decoder notices.
//
// The loader lives on the user-interface thread; Loaded is emitted there.

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "image/decode_options.h"
#include "image/dib_image.h"

struct PictureRequest {
    QString path;
    uint32_t type = kDibFormatUnknown;  // tried first; the other formats follow
    // The picture may come out reduced while it keeps this many columns and rows (0: whole), by
    // at most maxFactor (DecodeOptions).
    uint32_t needWidth = 0;
    uint32_t needHeight = 0;
    uint32_t maxFactor = kMaxReduction;
    // Hand out the reduced picture as far as it is read now and then (Status::kPartial).
    bool partial = false;
};

struct LoadedPicture {
    // kPartial: the reduced picture as far as it is read, the rest white; more follows.
    enum class Status { kLoaded, kPartial, kUnreadable, kTooLarge, kCancelled };
    Status status = Status::kUnreadable;
    CDibImage image;
    bool reduced = false;  // image is smaller than the picture in the file
    // The picture's own size as the file declares it; 0 when the file was not recognised.
    uint32_t fullWidth = 0;
    uint32_t fullHeight = 0;
    QString error;  // the decoder's reason when not loaded

    bool IsLoaded() const { return status == Status::kLoaded; }
};

// Reads one picture on the calling thread; `cancel` may stop it between rows. The parts a
// request asks for go to `partial` on the same thread.
LoadedPicture LoadPicture(const PictureRequest& request, const std::atomic<bool>* cancel,
                          const std::function<void(LoadedPicture& part)>& partial = {});

class CPictureLoader : public QObject {
    Q_OBJECT

public:
    explicit CPictureLoader(QObject* parent = nullptr);
    ~CPictureLoader() override;

    // Starts reading; a request still waiting or under way is cancelled.
    void Load(const PictureRequest& request);
    // Cancels whatever is waiting or under way; nothing arrives for it.
    void Cancel();
    // True from Load until its Loaded is emitted or it is cancelled.
    bool IsBusy() const { return busy_; }

signals:
    // The newest request's picture, and before it the parts it asked for. The receiver may move
    // the image out of `picture`.
    void Loaded(const PictureRequest& request, LoadedPicture& picture);

private:
    struct Shared;
    static void Run(std::shared_ptr<Shared> shared);
    static void Post(Shared& shared, uint64_t serial, const PictureRequest& request,
                     std::shared_ptr<LoadedPicture> picture);
    void Deliver(uint64_t serial, const PictureRequest& request, LoadedPicture& picture);

    std::shared_ptr<Shared> shared_;
    uint64_t serial_ = 0;  // the newest request's number
    bool busy_ = false;
};
