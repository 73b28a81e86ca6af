#pragma once
// CWorkRegionMgr: the large frame of the main window. It owns the live item (the camera picture)
// and the still picture item, shows exactly one of them over its whole area, starts the camera
// preview when the live picture is shown and stops it when a still picture is, and passes photo
// requests to the save pipeline while the live picture is shown.

#include <QString>
#include <QWidget>
#include <functional>

#include "app/photo_pipeline.h"

class CDeviceSet;
class CPicItem;
class CVideoItem;

class CWorkRegionMgr : public QWidget {
    Q_OBJECT

public:
    // Work modes.
    enum : int { kModeUnset = -1, kModeLive = 0, kModePicture = 1 };

    explicit CWorkRegionMgr(QWidget* parent = nullptr);
    ~CWorkRegionMgr() override;

    // Makes the region a visible child of parent named name, and creates both items in it (the
    // live item finds the cameras and builds its engine). False when the items cannot be made.
    virtual bool Create(const QString& name, QWidget* parent, int id);

    // Shows the item of the mode; true when the mode changed. Entering the picture mode loads
    // the file the selected-path source names.
    bool SetMode(int mode);
    int GetMode() const { return mode_; }
    void Layout(int width, int height);

    // One photo: in live mode the save pipeline over the shown frame; otherwise nothing is saved
    // and the thumbnail is empty.
    PhotoResult RequestPhoto(const QString& path, const PhotoOptions& options);

    // The path of the thumbnail that entering the picture mode shows (the strip's selection).
    void SetSelectedPathSource(std::function<QString()> source) {
        selectedPath_ = std::move(source);
    }

    CVideoItem* GetVideoItem() const { return videoItem_; }
    CPicItem* GetPictureItem() const { return pictureItem_; }
    // The cameras and their engine (held by the live item).
    CDeviceSet* GetDeviceSet() const;
    int ControlId() const { return id_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    PhotoSource LiveSource();

    CVideoItem* videoItem_ = nullptr;
    CPicItem* pictureItem_ = nullptr;
    int mode_ = kModeUnset;
    int id_ = 0;
    std::function<QString()> selectedPath_;
};
