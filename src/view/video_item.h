#pragma once
// CVideoItem: the picture view of the live camera. It owns the device set (and through it the
// capture engine), receives every frame the frame filter posts (message 1224) and shows it
// through the picture view's SetFrame. One instance exists at a time; it is the process-wide
// current video item, whose frame mailbox the frame filter writes into.
//
// When the camera in use is unplugged, the item lets go of its picture and says so in its place
// ("摄像头已断开") until a camera is taken up again (the device set decides which).

#include <QElapsedTimer>

#include "capture/device_set.h"
#include "capture/document_edge_worker.h"
#include "capture/frame_mailbox.h"
#include "platform/window_messages.h"
#include "view/picture_view.h"

class CVideoItem : public CPicture {
    Q_OBJECT

public:
    explicit CVideoItem(QWidget* parent = nullptr);
    ~CVideoItem() override;

    // The current video item; null when none exists.
    static CVideoItem* Current();

    // Makes the item a child of parent (dark background, no border) and creates the engine for
    // the first camera the device set found; applies the stored capture size when the main
    // window has one. Without a parent only the background is set.
    void Open(QWidget* parent);

    CDeviceSet& DeviceSet() { return deviceSet; }
    // The text shown in place of the picture while the camera is unplugged.
    static QString UnpluggedText() { return QStringLiteral("摄像头已断开"); }
    const CFrameMailbox& Mailbox() const { return mailbox_; }

    // Message 1224: shows the frame unless a frame is being shown already (then it is dropped).
    // The frame's size comes with it in the mailbox; lParam repeats it.
    LParam OnFrame(WParam wParam, LParam lParam);

    // Automatic cropping: 2 finds the document in the live frames and outlines it, 0 stops.
    void SetAutoCropMode(int mode);
    bool IsAutoCropOn() const { return autoCropOn; }
    // What photos are turned by and cut to, both from the same detection: the latest, or no
    // turn and the whole picture before the first one.
    struct AutoCropCut {
        int32_t tiltAngle = 0;
        QvRect cropImageRect;
    };
    AutoCropCut AutoCrop() const;
    int32_t TiltAngle() const { return AutoCrop().tiltAngle; }
    QvRect CropImageRect() const { return AutoCrop().cropImageRect; }
    // The detection thread, for watching its state and results.
    const CDocumentEdgeWorker& EdgeWorker() const { return edgeWorker_; }

    // Hands-free page capture: while on, the live picture shows what it is doing in its corner
    // and pageStill() is sent each time a new page has come to lie still.
    void SetPageCapture(bool on);
    bool IsPageCaptureOn() const { return pageCaptureOn_; }
    PageState PageCaptureState() const { return pageState_; }
    // A photo of the new page was taken: the picture flashes and says so for a moment.
    void ShowPhotoTaken();

signals:
    void pageStill();
    // The camera in use was unplugged; the list of cameras changed.
    void CameraUnplugged();
    void CamerasChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void OnNewFrame() override;
    void OnBeforePaint() override;
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void OnCameraEvent(CDeviceSet::CameraEvent event);
    // Hands the shown picture to a running recording; false when none took it.
    bool RecordShownFrame() const;
    // User-interface thread: the worker published a detection; it outlines the page.
    void OnEdgesFound();
    // User-interface thread: what the worker said of the pages.
    void OnPageState(PageState state, bool newPage);
    // The page capture's state in the picture's corner, and the flash of a photo.
    void DrawPageCapture(QPainter& painter);
    // While a recording runs: a red mark and its elapsed time at the picture's top left corner,
    // drawn over the view only (the recording takes the picture without them).
    void DrawRecordingMark();

    CDeviceSet deviceSet;
    CFrameMailbox mailbox_;
    bool inFrame = false;
    bool autoCropOn = false;
    bool pageCaptureOn_ = false;
    PageState pageState_ = PageState::kSettling;
    QElapsedTimer sincePhoto_;  // invalid until the first photo of page capture
    // The shown frame reached the recorder. Each new frame is pushed when it is shown, so that
    // a minimised or covered window, which is not painted, keeps the recording moving; the
    // paint pushes a frame that did not get through (or was shown before the recording began).
    bool shownFrameRecorded_ = false;
    // Declared last, so that its threads are joined before anything they report to goes away.
    CDocumentEdgeWorker edgeWorker_;
};
