#pragma once
// CPicture: the display surface of the work region. It shows one picture (a file or the newest
// camera frame) either stretched over the whole window or at one of 31 zoom steps, lets the user
// pan it, draw a selection box and drag the box's edges, and keeps the box on the same picture
// pixels when the zoom changes. The live video item and the still picture item derive from it.
//
// All coordinate arithmetic is done in 32-bit integers with truncation, as the photo pipeline
// and the crop commands depend on the exact pixels it yields. User-interface thread only.
//
// A live camera frame (ShowFrame) is drawn straight from the camera's rows; its raw, work and
// display images are made only when something reads them (a photo, the edge detection, a
// recording), so a preview nobody photographs costs little more than drawing the window.
//
// A picture file is read on a thread of its own (CPictureLoader) while the window keeps painting,
// first reduced to what the screen can show where the file has more pixels than that. That
// reduced copy is only ever drawn: the work and display images always hold the whole picture,
// read when something needs it (WithFullPicture, or a zoom beyond the copy's own pixels), so
// nothing that edits, saves, prints or reads the picture can take the copy for the picture.

#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "image/dib_image.h"
#include "image/frame_rows.h"
#include "image/picture_loader.h"
#include "platform/win_types.h"
#include "view/frame_painter.h"

class QTimer;

class CPicture : public QWidget {
    Q_OBJECT

public:
    // Zoom step n shows the picture at 1.2^(n - kActualSizeStep) of its pixel size.
    static constexpr int kMinZoomStep = 0;
    static constexpr int kMaxZoomStep = 30;
    static constexpr int kActualSizeStep = 15;

    explicit CPicture(QWidget* parent = nullptr);
    ~CPicture() override;

    // Starts loading a picture file in the background; 1 = started, 0 = null path or the same
    // path (exact comparison) as last time with the file unchanged on disk since. The previous
    // picture is gone at once; the new one is placed at its natural size, centred, when it
    // arrives (fitted instead when FitToWindow was asked for meanwhile). A file that cannot be
    // read (or is no regular file) leaves no picture to draw but is still remembered; one too
    // large for the picture limits is refused with a message.
    int LoadFile(const QString& path);
    // True while a picture file is being read.
    bool IsLoading() const { return loading_ != Loading::kNone; }
    // True while only a reduced copy of the file's picture is at hand.
    bool IsShowingReduced() const { return preview_.IsValid() && !workImage.IsValid(); }
    // Runs `command` once the whole picture is at hand: at once when it is (or when there is no
    // file picture to wait for), otherwise when it has been read; commands run in the order
    // given. Loading another file drops the commands still waiting.
    void WithFullPicture(std::function<void()> command);

    // The message that refuses a picture too large for the picture limits.
    static QString TooLargeText(const QString& path, uint32_t width, uint32_t height);
    // Replaces the picture with a camera frame: size = (width << 16) | height, pixels = 24-bit
    // rows, top row first, each padded to a multiple of 4 bytes. The rows are read before it
    // returns. Returns 0.
    int SetFrame(uint32_t size, const uint8_t* pixels);

    void ZoomIn();
    void ZoomOut();
    void FitToWindow();
    void ActualSize();
    void ZoomTo(double factor);
    void SelectionToImage();
    void SelectionToClient();
    void OutlineToClient();

    // Plain settings written by the main window and the video item. The two that change what is
    // on screen repaint at once.
    void SetBoxSelectArmed(bool armed) { boxSelectArmed = armed; }
    void SetStretchToWindow(bool stretch);
    void SetColourMode(int mode) { colourMode = mode; }
    void SetThresholdLevel(uint8_t level) { thresholdLevel = level; }
    void SetNoFlip(bool value) { noFlip = value; }
    void SetNoMirror(bool value) { noMirror = value; }
    void SetDarkBackground(bool dark);
    void SetOutlineMode(int mode) { outlineMode = mode; }
    void SetOutlineImagePoints(const std::array<QvPoint, 4>& points) {
        outlineImagePoints = points;
    }
    void SetSelectionImageRect(const QvRect& rect) { selectionImageRect = rect; }

    bool HasImage() const { return hasImage; }
    bool IsBoxSelectArmed() const { return boxSelectArmed; }
    bool IsStretchToWindow() const { return stretchToWindow; }
    int GetColourMode() const { return colourMode; }
    uint8_t GetThresholdLevel() const { return thresholdLevel; }
    bool IsNoFlip() const { return noFlip; }
    bool IsNoMirror() const { return noMirror; }
    bool IsDarkBackground() const { return darkBackground; }
    int GetOutlineMode() const { return outlineMode; }
    int GetZoomStep() const { return zoomStep; }
    const QString& GetFilePath() const { return filePath; }
    const QvRect& GetImageRect() const { return imageRect; }
    const QvRect& GetSelectionRect() const { return selectionRect; }
    const QvRect& GetSelectionImageRect() const { return selectionImageRect; }
    const std::array<QvPoint, 4>& GetOutlineImagePoints() const { return outlineImagePoints; }
    const std::array<QvPoint, 4>& GetOutlineClientPoints() const { return outlineClientPoints; }
    // The pictures of the frame shown, made from a live frame when first read after it came.
    const CDibImage& GetWorkImage() const;
    const CDibImage& GetRawImage() const;
    const CDibImage& GetDisplayImage() const;

    // The first paint with a picture of any view in the process fits it to the window. Tests that
    // build several views re-arm that once-per-run fit with this.
    static void ResetRefit();

    // Format code for a path by its upper-cased extension: JPG/JPEG, PNG, TIF/TIFF; anything
    // else (or no extension) is BMP.
    static uint32_t FormatFromPath(const QString& path);

protected:
    // Called by SetFrame after the new frame is stored, and at the start of every paint.
    virtual void OnNewFrame() {}
    virtual void OnBeforePaint() {}

    // Replaces the picture with a camera frame that stays readable while frame.owner is held,
    // as SetFrame does, without copying it: it is drawn from its rows, and its images are made
    // from it when read. The flip, mirror and colour settings of this moment apply to it.
    void ShowFrame(FrameRows frame);
    // The live frame shown (empty for a file) and how it is shown.
    const FrameRows& LiveFrameRows() const { return liveFrame_; }
    const FrameLook& LiveFrameLook() const { return liveLook_; }
    // The size of the picture shown, whether or not its images are made yet.
    uint32_t PictureWidth() const;
    uint32_t PictureHeight() const;

    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

    // How much zoom step `step` enlarges the picture.
    static double ZoomFactor(int step);
    // Wheel zoom: one step up for a positive notch, one down for a negative one.
    void WheelZoom(int delta);
    QvRect ClientRect() const;
    // The client rectangle when stretched, imageRect otherwise.
    QvRect ViewRect() const;

    QvRect selectionImageRect;
    QvRect selectionRect;
    QString filePath;
    bool hasImage = false;
    // Made from the live frame when read (see ShowFrame), hence mutable.
    mutable CDibImage rawImage;
    bool boxSelectArmed = false;
    int colourMode = 0;
    uint8_t thresholdLevel = 0;
    bool stretchToWindow = true;
    mutable CDibImage displayImage;
    mutable CDibImage workImage;
    int lineWidth = 1;
    QvColour selectionColour = QvRgb(255, 0, 0);
    QvRect imageRect;
    int zoomStep = kActualSizeStep;
    bool firstFrame = true;
    bool darkBackground = false;
    bool noFlip = false;
    bool noMirror = false;
    std::array<QvPoint, 4> outlineImagePoints{};
    std::array<QvPoint, 4> outlineClientPoints{};
    int outlineMode = 0;
    bool drawingBox = false;
    bool resizingEdge = false;
    bool panning = false;
    QvPoint anchor;
    int grabbedEdge = 0;
    QvPoint panOffset;

private:
    enum class Loading { kNone, kShown, kFull };

    void StartLoading(Loading stage, uint32_t needWidth, uint32_t needHeight);
    void OnPictureLoaded(const PictureRequest& request, LoadedPicture& picture);
    void ShowLoaded(LoadedPicture& picture);
    void ShowReducedCopy(LoadedPicture& picture);
    void TakeFullPicture(CDibImage& picture);
    void PlaceLoadedPicture();
    void RequestFullPicture();
    void RunWaitingCommands();
    void ShowBusyMark(bool shown);
    void DrawBusyMark(QPainter& painter) const;
    void BuildRawImage() const;
    void BuildWorkImage() const;
    void BuildDisplayImage() const;
    void PlaceImageRect(int32_t width, int32_t height);
    void CentreNaturalSize();
    void StepZoom(int step);
    void DrawPicture(QPainter& painter);
    void DrawSelection(QPainter& painter) const;
    void DrawOutline(QPainter& painter) const;
    void UpdateEdgeGrab(int32_t x, int32_t y);

    // Device, inode, size, modification and change times of the file last loaded.
    using FileStamp = std::array<int64_t, 5>;
    static FileStamp StampOf(const QString& path);
    FileStamp fileStamp_{};

    FrameRows liveFrame_;  // the live frame shown; empty for a file or a frame given to SetFrame
    FrameLook liveLook_;
    // Which images do not show the live frame yet.
    mutable bool rawStale_ = false;
    mutable bool workStale_ = false;
    mutable bool displayStale_ = false;
    CFramePainter framePainter_;
    mutable std::vector<uint8_t> greyRow_;  // one row of grey values for black and white
    int wheelRemainder_ = 0;                // wheel delta not yet turned into a zoom step

    CPictureLoader* loader_ = nullptr;
    Loading loading_ = Loading::kNone;
    CDibImage preview_;  // the reduced copy shown until the whole picture is read
    // The file picture's own size, known before the whole picture is at hand.
    uint32_t fileWidth_ = 0;
    uint32_t fileHeight_ = 0;
    bool fitWhenShown_ = false;  // FitToWindow was asked for before the picture arrived
    std::vector<std::function<void()>> waiting_;  // commands waiting for the whole picture
    QTimer* busyDelay_ = nullptr;
    bool busyShown_ = false;
};
