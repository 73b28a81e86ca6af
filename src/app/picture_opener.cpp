#include "app/picture_opener.h"

#include "app/photo_pipeline.h"

CPictureOpener::CPictureOpener(AddThumbnail add, QObject* parent)
    : QObject(parent), add_(std::move(add)), loader_(new CPictureLoader(this)) {
    connect(loader_, &CPictureLoader::Loaded, this, &CPictureOpener::OnLoaded);
}

void CPictureOpener::Open(const QStringList& paths) {
    queue_ << paths;
    if (!IsBusy()) {
        OpenNext();
    }
}

void CPictureOpener::OpenNext() {
    if (queue_.isEmpty()) {
        emit Finished(std::exchange(added_, false), std::exchange(refused_, {}));
        return;
    }
    loader_->Load(PictureRequest{queue_.takeFirst(), kDibFormatUnknown, kPhotoThumbnailSize,
                                 kPhotoThumbnailSize});
}

void CPictureOpener::OnLoaded(const PictureRequest& request, LoadedPicture& picture) {
    if (picture.IsLoaded()) {
        picture.image.Resample(kPhotoThumbnailSize, kPhotoThumbnailSize, 1);
        add_(picture.image, request.path);
        added_ = true;
    } else if (picture.status == LoadedPicture::Status::kTooLarge) {
        refused_ << QStringLiteral("%1（图片太大：%2 × %3 像素）")
                        .arg(request.path)
                        .arg(picture.fullWidth)
                        .arg(picture.fullHeight);
    } else {
        refused_ << request.path;
    }
    OpenNext();
}
