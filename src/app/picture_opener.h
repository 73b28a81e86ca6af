#pragma once
// CPictureOpener: the thumbnails of picture files given to the program (on the command line or
// by a later copy), made one file after another on a thread of their own, so that the window
// keeps working while big pictures are read. Each readable file's thumbnail is handed over as
// soon as it is made; when the queue runs empty, Finished says how it went.

#include <QObject>
#include <QStringList>
#include <functional>

#include "image/picture_loader.h"

class CPictureOpener : public QObject {
    Q_OBJECT

public:
    using AddThumbnail = std::function<void(const CDibImage& thumbnail, const QString& path)>;

    explicit CPictureOpener(AddThumbnail add, QObject* parent = nullptr);

    // Queues the files behind those still waiting.
    void Open(const QStringList& paths);
    bool IsBusy() const { return loader_->IsBusy(); }

signals:
    // Whether any file was added since the queue was last empty, and a line for each file that
    // was not: its path, and why when it was refused as too large.
    void Finished(bool added, const QStringList& refused);

private:
    void OpenNext();
    void OnLoaded(const PictureRequest& request, LoadedPicture& picture);

    AddThumbnail add_;
    CPictureLoader* loader_ = nullptr;
    QStringList queue_;
    bool added_ = false;
    QStringList refused_;
};
