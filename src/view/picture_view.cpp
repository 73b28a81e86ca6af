#include "view/picture_view.h"

#include <sys/stat.h>
#include <QFile>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <QScreen>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "image/dib_pixels.h"
#include "image/frame_image.h"
#include "platform/message_box.h"
#include "ui/main_window_services.h"

namespace {

// Once per run, the first paint of any view that has a picture fits it to the window.
bool g_refitPending = true;

// A picture whose whole 24-bit copy takes at most this is read whole right after its reduced
// copy is shown (every camera photo is), so that zooming and editing it never wait.
constexpr uint64_t kWholeAtOnceBytes = uint64_t(128) << 20;
// Quick loads show no busy mark, so that stepping through photos does not flicker.
constexpr int kBusyMarkDelayMs = 300;

int32_t Scaled(uint32_t size, double factor) {
    return int32_t(double(size) * factor);
}

void CopyInfo(CDibImage& target, const CDibImage& source) {
    target.SetQuality(source.GetQuality());
    target.SetXDpi(source.GetXDpi());
    target.SetYDpi(source.GetYDpi());
    target.SetTransparentIndex(source.GetTransparentIndex());
    target.SetTransparentColour(source.GetTransparentColour());
    target.SetAlphaMax(source.GetAlphaMax());
    target.Enable(source.IsEnabled());
}

// target = the grey (mode 1: ToGrey) or black-and-white (mode 2: Threshold) version of a 24-bit
// frame, with the same pixels, palette and information those operations give, written straight
// from the frame into target's block when target already has that shape.
bool StoreColourMode(CDibImage& target, const CDibImage& frame, int mode, uint8_t level,
                     std::vector<uint8_t>& greyRow) {
    const uint32_t w = frame.GetWidth();
    const uint32_t h = frame.GetHeight();
    const uint32_t bits = mode == 1 ? 8 : 1;
    const uint32_t type = mode == 1 ? frame.GetType() : kDibFormatUnknown;
    const bool reusable = target.IsValid() && !target.HasAlpha() && target.GetWidth() == w &&
                          target.GetHeight() == h && target.GetBpp() == bits &&
                          target.GetType() == type;
    if (!reusable && !target.Create(w, h, bits, type)) {
        return false;
    }
    CopyInfo(target, frame);
    if (mode == 1) {
        target.SetGreyRamp();
        for (uint32_t y = 0; y < h; ++y) {
            GreyRow(frame.GetRow(y), target.GetRow(y), w);
        }
        return true;
    }
    target.SetPaletteColor(0, 0, 0, 0);
    target.SetPaletteColor(1, 255, 255, 255);
    greyRow.resize(w);
    for (uint32_t y = 0; y < h; ++y) {
        GreyRow(frame.GetRow(y), greyRow.data(), w);
        PackThreshold(greyRow.data(), target.GetRow(y), w, level);
    }
    return true;
}

bool SameShape(const CDibImage& a, const CDibImage& b) {
    return a.IsValid() && b.IsValid() && !a.HasAlpha() && !b.HasAlpha() &&
           a.GetWidth() == b.GetWidth() && a.GetHeight() == b.GetHeight() &&
           a.GetBpp() == b.GetBpp() && a.GetNumColors() == b.GetNumColors() &&
           a.GetType() == b.GetType() && a.GetXDpi() == b.GetXDpi() && a.GetYDpi() == b.GetYDpi();
}

// target = source, copying into target's block when both have the same shape so that a live
// preview does not allocate three frame-sized blocks per frame.
void CopyInto(CDibImage& target, const CDibImage& source) {
    if (!SameShape(target, source)) {
        target = source;
        return;
    }
    if (const uint32_t colours = source.GetNumColors()) {
        std::memcpy(target.GetPalette(), source.GetPalette(), size_t(colours) * 4);
    }
    std::memcpy(target.GetRow(0), source.GetRow(0),
                size_t(source.GetEffWidth()) * source.GetHeight());
    CopyInfo(target, source);
}

QRect ToQRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    return QRect(left, top, right - left, bottom - top);
}

}  // namespace

CPicture::CPicture(QWidget* parent) : QWidget(parent) {
    // Every pixel is painted by paintEvent; the hover cursor over the box edges needs moves
    // without a button.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    loader_ = new CPictureLoader(this);
    connect(loader_, &CPictureLoader::Loaded, this, &CPicture::OnPictureLoaded);
    busyDelay_ = new QTimer(this);
    busyDelay_->setSingleShot(true);
    busyDelay_->setInterval(kBusyMarkDelayMs);
    connect(busyDelay_, &QTimer::timeout, this, [this] { ShowBusyMark(true); });
}

CPicture::~CPicture() = default;

double CPicture::ZoomFactor(int step) {
    return std::pow(1.2, step - kActualSizeStep);
}

void CPicture::ResetRefit() {
    g_refitPending = true;
}

void CPicture::SetStretchToWindow(bool stretch) {
    if (stretch != stretchToWindow) {
        stretchToWindow = stretch;
        update();
    }
}

void CPicture::SetDarkBackground(bool dark) {
    if (dark != darkBackground) {
        darkBackground = dark;
        update();
    }
}

uint32_t CPicture::FormatFromPath(const QString& path) {
    const QString upper = path.toUpper();
    const qsizetype dot = upper.lastIndexOf(QLatin1Char('.'));
    const QString ext = dot < 0 ? upper : upper.mid(dot + 1);
    uint32_t code = kDibFormatBmp;
    if (ext == QLatin1String("JPG") || ext == QLatin1String("JPEG")) {
        code = kDibFormatJpeg;
    } else if (ext == QLatin1String("PNG")) {
        code = kDibFormatPng;
    }
    if (ext == QLatin1String("TIF") || ext == QLatin1String("TIFF")) {
        code = kDibFormatTiff;
    }
    return code;
}

QvRect CPicture::ClientRect() const {
    return QvRect{0, 0, width(), height()};
}

QvRect CPicture::ViewRect() const {
    return stretchToWindow ? ClientRect() : imageRect;
}

// ---------------------------------------------------------------------------------------------
// Pictures in

CPicture::FileStamp CPicture::StampOf(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        return {};
    }
    constexpr int64_t kNano = 1000000000;
    return {int64_t(info.st_dev), int64_t(info.st_ino), int64_t(info.st_size),
            info.st_mtim.tv_sec * kNano + info.st_mtim.tv_nsec,
            info.st_ctim.tv_sec * kNano + info.st_ctim.tv_nsec};
}

int CPicture::LoadFile(const QString& path) {
    if (path.isNull()) {
        return 0;
    }
    // The same file again is shown from memory, unless it changed on disk since it was loaded
    // (another program edited or replaced it): the view shows the file as it is now.
    const FileStamp stamp = StampOf(path);
    if (path == filePath && stamp == fileStamp_) {
        return 0;
    }
    filePath = path;
    fileStamp_ = stamp;
    // rawImage keeps the last camera frame; the file replaces the other two. Nothing of the
    // previous picture stays behind under the new name, nor do commands meant for it.
    BuildRawImage();
    liveFrame_ = FrameRows();
    workStale_ = displayStale_ = false;
    workImage.Destroy();
    displayImage.Destroy();
    preview_.Destroy();
    fileWidth_ = fileHeight_ = 0;
    waiting_.clear();
    // Enough pixels for the picture fitted to the whole screen, which full screen shows, and for
    // the smallest zoom step, however large the picture.
    const QSize screenPixels = screen()->size() * screen()->devicePixelRatio();
    StartLoading(Loading::kShown, uint32_t(screenPixels.width()), uint32_t(screenPixels.height()));
    hasImage = true;
    return 1;
}

void CPicture::StartLoading(Loading stage, uint32_t needWidth, uint32_t needHeight) {
    const auto farthest = uint32_t(1 / ZoomFactor(kMinZoomStep));
    // A big picture fills in on the screen while it is read.
    loader_->Load(PictureRequest{filePath, FormatFromPath(filePath), needWidth, needHeight,
                                 farthest, stage == Loading::kShown});
    loading_ = stage;
    if (!busyShown_) {
        busyDelay_->start();
    }
}

void CPicture::OnPictureLoaded(const PictureRequest& /*request*/, LoadedPicture& picture) {
    if (picture.status == LoadedPicture::Status::kPartial) {
        ShowReducedCopy(picture);
        return;
    }
    const Loading stage = std::exchange(loading_, Loading::kNone);
    ShowBusyMark(false);
    switch (picture.status) {
        case LoadedPicture::Status::kLoaded:
            if (stage == Loading::kShown) {
                ShowLoaded(picture);
            } else {
                TakeFullPicture(picture.image);
            }
            return;
        case LoadedPicture::Status::kTooLarge:
            waiting_.clear();
            QvMessageBox(TooLargeText(filePath, picture.fullWidth, picture.fullHeight),
                         ErrorCaption(), MessageIcon::kError);
            return;
        case LoadedPicture::Status::kUnreadable:
            if (stage == Loading::kShown) {
                // As before any file picture: the commands find nothing to work on.
                RunWaitingCommands();
            } else {
                waiting_.clear();
                QvMessageBox(QStringLiteral("无法读取图片：%1\n%2").arg(filePath, picture.error),
                             ErrorCaption(), MessageIcon::kError);
            }
            return;
        case LoadedPicture::Status::kPartial:
        case LoadedPicture::Status::kCancelled:
            return;
    }
}

// The first picture of a file: whole, or the reduced copy to show until the whole is read.
void CPicture::ShowLoaded(LoadedPicture& picture) {
    if (picture.reduced) {
        ShowReducedCopy(picture);
        if (!waiting_.empty() || uint64_t(fileWidth_) * fileHeight_ * 3 <= kWholeAtOnceBytes) {
            RequestFullPicture();
        }
        return;
    }
    fileWidth_ = picture.fullWidth;
    fileHeight_ = picture.fullHeight;
    workImage = std::move(picture.image);
    displayImage = workImage;
    PlaceLoadedPicture();
    RunWaitingCommands();
}

// The reduced copy, or as much of it as is read: placed when it first comes, then only drawn,
// so that zooming and panning meanwhile stay as the user left them.
void CPicture::ShowReducedCopy(LoadedPicture& picture) {
    const bool placed = preview_.IsValid();
    fileWidth_ = picture.fullWidth;
    fileHeight_ = picture.fullHeight;
    preview_ = std::move(picture.image);
    if (placed) {
        update();
    } else {
        PlaceLoadedPicture();
    }
}

// The whole picture after its reduced copy: shown where the copy was, at the same zoom.
void CPicture::TakeFullPicture(CDibImage& picture) {
    // The file may have changed size since the copy was read; then it is placed anew.
    const bool resized = picture.GetWidth() != fileWidth_ || picture.GetHeight() != fileHeight_;
    workImage = std::move(picture);
    displayImage = workImage;
    preview_.Destroy();
    fileWidth_ = workImage.GetWidth();
    fileHeight_ = workImage.GetHeight();
    if (resized) {
        PlaceLoadedPicture();
    }
    update();
    RunWaitingCommands();
}

void CPicture::PlaceLoadedPicture() {
    CentreNaturalSize();
    if (std::exchange(fitWhenShown_, false)) {
        FitToWindow();
    }
    update();
}

void CPicture::RequestFullPicture() {
    if (loading_ != Loading::kFull) {
        StartLoading(Loading::kFull, 0, 0);
    }
}

void CPicture::WithFullPicture(std::function<void()> command) {
    if (!IsLoading() && !IsShowingReduced()) {
        command();
        return;
    }
    waiting_.push_back(std::move(command));
    if (!IsLoading()) {
        RequestFullPicture();
    }
}

void CPicture::RunWaitingCommands() {
    for (const std::function<void()>& command : std::exchange(waiting_, {})) {
        command();
    }
}

QString CPicture::TooLargeText(const QString& path, uint32_t width, uint32_t height) {
    constexpr double kMega = 1024.0 * 1024.0;
    return QStringLiteral(
               "图片太大，无法打开：\n%1\n它有 %2 × %3 像素，完整读入需要 %4 MB 内存；"
               "一张图片最多 %5 百万像素、%6 MB。")
        .arg(path)
        .arg(width)
        .arg(height)
        .arg(qRound64(double(width) * height * 3 / kMega))
        .arg(qRound64(double(CDibImage::kMaxPixels) / 1e6))
        .arg(qRound64(double(CDibImage::GetMaxMemory()) / kMega));
}

void CPicture::ShowBusyMark(bool shown) {
    busyDelay_->stop();
    if (shown == busyShown_) {
        return;
    }
    busyShown_ = shown;
    setCursor(shown ? Qt::BusyCursor : Qt::ArrowCursor);
    update();
}

int CPicture::SetFrame(uint32_t size, const uint8_t* pixels) {
    const uint32_t width = size >> 16;
    const uint32_t height = size & 0xFFFFu;
    if (pixels == nullptr || width == 0 || height == 0) {
        return 0;
    }
    // The caller's rows are only lent for this call: the images are made from them now.
    ShowFrame(FrameRows{pixels, width, height, FrameRows::DibStride(width), nullptr});
    BuildDisplayImage();
    liveFrame_ = FrameRows();
    return 0;
}

void CPicture::ShowFrame(FrameRows frame) {
    if (!frame.IsValid()) {
        return;
    }
    liveFrame_ = std::move(frame);
    liveLook_ = FrameLook{!noFlip, !noMirror, colourMode, thresholdLevel};
    rawStale_ = workStale_ = displayStale_ = true;
    if (firstFrame) {
        CentreNaturalSize();
        firstFrame = false;
    }
    OnNewFrame();
    hasImage = true;
    update();
}

void CPicture::BuildRawImage() const {
    if (!rawStale_) {
        return;
    }
    rawStale_ = false;
    StoreFrame(rawImage, liveFrame_, liveLook_.flipRows, liveLook_.mirror);
}

void CPicture::BuildWorkImage() const {
    if (!workStale_) {
        return;
    }
    BuildRawImage();
    workStale_ = false;
    if (liveLook_.colourMode == 1 || liveLook_.colourMode == 2) {
        StoreColourMode(workImage, rawImage, liveLook_.colourMode, liveLook_.thresholdLevel,
                        greyRow_);
    } else {
        CopyInto(workImage, rawImage);
    }
}

void CPicture::BuildDisplayImage() const {
    if (!displayStale_) {
        return;
    }
    BuildWorkImage();
    displayStale_ = false;
    CopyInto(displayImage, workImage);
}

const CDibImage& CPicture::GetRawImage() const {
    BuildRawImage();
    return rawImage;
}

const CDibImage& CPicture::GetWorkImage() const {
    BuildWorkImage();
    return workImage;
}

const CDibImage& CPicture::GetDisplayImage() const {
    BuildDisplayImage();
    return displayImage;
}

// A file picture's own size also while only its reduced copy is at hand.
uint32_t CPicture::PictureWidth() const {
    if (liveFrame_.IsValid()) {
        return liveFrame_.width;
    }
    return workImage.IsValid() ? workImage.GetWidth() : fileWidth_;
}

uint32_t CPicture::PictureHeight() const {
    if (liveFrame_.IsValid()) {
        return liveFrame_.height;
    }
    return workImage.IsValid() ? workImage.GetHeight() : fileHeight_;
}

void CPicture::CentreNaturalSize() {
    CentreOnClient(int32_t(PictureWidth()), int32_t(PictureHeight()));
}

void CPicture::CentreOnClient(int32_t w, int32_t h) {
    const QvRect client = ClientRect();
    const int32_t cx = (client.left + client.right) / 2;
    const int32_t cy = (client.top + client.bottom) / 2;
    imageRect = QvRect{cx - w / 2, cy - h / 2, cx + w / 2, cy + h / 2};
}

// ---------------------------------------------------------------------------------------------
// Zoom

void CPicture::PlaceImageRect(int32_t w, int32_t h) {
    const QvRect client = ClientRect();
    const int32_t cx = w < client.Width() ? (client.left + client.right) / 2
                                          : (imageRect.left + imageRect.right) / 2;
    const int32_t cy = h < client.Height() ? (client.top + client.bottom) / 2
                                           : (imageRect.top + imageRect.bottom) / 2;
    imageRect = QvRect{cx - w / 2, cy - h / 2, cx + w / 2, cy + h / 2};
    // Zoomed in beyond the reduced copy's own pixels: the whole picture shows what it has.
    if (IsShowingReduced() &&
        (w > int32_t(preview_.GetWidth()) || h > int32_t(preview_.GetHeight()))) {
        RequestFullPicture();
    }
}

void CPicture::ZoomTo(double factor) {
    if (!hasImage) {
        return;
    }
    PlaceImageRect(Scaled(PictureWidth(), factor), Scaled(PictureHeight(), factor));
    update();
}

void CPicture::StepZoom(int step) {
    if (stretchToWindow || !hasImage) {
        return;
    }
    SelectionToImage();
    zoomStep = std::clamp(zoomStep + step, kMinZoomStep, kMaxZoomStep);
    ZoomTo(ZoomFactor(zoomStep));
    SelectionToClient();
}

void CPicture::ZoomIn() {
    StepZoom(+1);
}

void CPicture::ZoomOut() {
    StepZoom(-1);
}

void CPicture::WheelZoom(int delta) {
    // A wheel notch (120) is one step. Touchpads and fine-grained wheels send small deltas that
    // add up to a step; a larger delta still makes only one step.
    constexpr int kNotch = 120;
    if ((delta > 0) != (wheelRemainder_ > 0)) {
        wheelRemainder_ = 0;
    }
    wheelRemainder_ += delta;
    if (std::abs(wheelRemainder_) >= kNotch) {
        StepZoom(wheelRemainder_ > 0 ? +1 : -1);
        wheelRemainder_ = 0;
    }
}

void CPicture::FitToWindow() {
    stretchToWindow = false;
    if (!hasImage) {
        return;
    }
    if (IsLoading() && PictureWidth() == 0) {
        fitWhenShown_ = true;  // the picture's size is not known yet
        return;
    }
    const QvRect client = ClientRect();
    const uint32_t w = PictureWidth();
    const uint32_t h = PictureHeight();
    int n = kMaxZoomStep;
    for (; n >= kMinZoomStep; --n) {
        const double factor = ZoomFactor(n);
        if (Scaled(w, factor) < client.Width() && Scaled(h, factor) < client.Height()) {
            break;
        }
    }
    // One step below the first at which the whole picture fits; a picture too large for even the
    // smallest step (the search runs out at -1) is shown at the smallest step. Either way it is
    // centred: where it was before has nothing to do with the window it is fitted to now.
    zoomStep = std::max(n - 1, kMinZoomStep);
    const double factor = ZoomFactor(zoomStep);
    CentreOnClient(Scaled(w, factor), Scaled(h, factor));
    update();
}

void CPicture::ActualSize() {
    stretchToWindow = false;
    if (!hasImage) {
        return;
    }
    zoomStep = kActualSizeStep;
    PlaceImageRect(int32_t(PictureWidth()), int32_t(PictureHeight()));
    update();
}

// ---------------------------------------------------------------------------------------------
// Coordinates

void CPicture::SelectionToImage() {
    if (!hasImage) {
        return;
    }
    const QvRect view = ViewRect();
    if (view.Width() == 0 || view.Height() == 0) {
        return;
    }
    selectionRect.left = std::max(selectionRect.left, view.left);
    selectionRect.top = std::max(selectionRect.top, view.top);
    selectionRect.right = std::min(selectionRect.right, view.right);
    selectionRect.bottom = std::min(selectionRect.bottom, view.bottom);
    const double sx = double(PictureWidth()) / view.Width();
    const double sy = double(PictureHeight()) / view.Height();
    selectionImageRect = QvRect{int32_t(sx * (selectionRect.left - view.left)),
                                int32_t(sy * (selectionRect.top - view.top)),
                                int32_t(sx * (selectionRect.right - view.left)),
                                int32_t(sy * (selectionRect.bottom - view.top))};
}

void CPicture::SelectionToClient() {
    const uint32_t w = PictureWidth();
    const uint32_t h = PictureHeight();
    if (!hasImage || w == 0 || h == 0) {
        return;
    }
    const QvRect view = ViewRect();
    const double sx = double(view.Width()) / w;
    const double sy = double(view.Height()) / h;
    selectionRect = QvRect{view.left + int32_t(sx * selectionImageRect.left),
                           view.top + int32_t(sy * selectionImageRect.top),
                           view.left + int32_t(sx * selectionImageRect.right),
                           view.top + int32_t(sy * selectionImageRect.bottom)};
}

void CPicture::OutlineToClient() {
    const uint32_t w = PictureWidth();
    const uint32_t h = PictureHeight();
    if (!hasImage || w == 0 || h == 0) {
        return;
    }
    const QvRect view = ViewRect();
    const double sx = double(view.Width()) / w;
    const double sy = double(view.Height()) / h;
    for (size_t i = 0; i < outlineImagePoints.size(); ++i) {
        outlineClientPoints[i] = QvPoint{view.left + int32_t(sx * outlineImagePoints[i].x),
                                         view.top + int32_t(sy * outlineImagePoints[i].y)};
    }
}

// ---------------------------------------------------------------------------------------------
// Painting

void CPicture::paintEvent(QPaintEvent* /*event*/) {
    OnBeforePaint();
    // The fit runs before the background is chosen: it turns stretching off, after which the
    // picture no longer covers the window.
    if (hasImage && g_refitPending) {
        g_refitPending = false;
        FitToWindow();
    }
    // Qt's backing store is the off-screen buffer: what is painted here reaches the screen in one
    // piece.
    QPainter painter(this);
    const bool covered = liveFrame_.IsValid() || displayImage.IsValid() || preview_.IsValid();
    if (!(hasImage && stretchToWindow && covered)) {
        painter.fillRect(rect(), darkBackground ? Qt::black : Qt::white);
    }
    if (hasImage) {
        DrawPicture(painter);
        if (outlineMode == 2) {
            DrawOutline(painter);
        } else if (!selectionRect.IsEmpty()) {
            DrawSelection(painter);
        }
    }
    if (busyShown_) {
        DrawBusyMark(painter);
    }
}

void CPicture::DrawPicture(QPainter& painter) {
    const QvRect target = stretchToWindow ? ClientRect() : imageRect;
    if (liveFrame_.IsValid()) {
        framePainter_.Draw(painter, liveFrame_, liveLook_,
                           ToQRect(target.left, target.top, target.right, target.bottom), rect());
    } else if (displayImage.IsValid()) {
        displayImage.Stretch(&painter, target);
    } else {
        preview_.Stretch(&painter, target);
    }
}

// A label at the top of the view while a picture is read.
void CPicture::DrawBusyMark(QPainter& painter) const {
    const QString text = QStringLiteral("正在读取图片…");
    QFont font = painter.font();
    font.setPixelSize(14);
    painter.setFont(font);
    const QRect box = painter.fontMetrics().boundingRect(text).adjusted(-12, -6, 12, 6);
    const QRect place(QPoint((width() - box.width()) / 2, 12), box.size());
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(32, 32, 32, 200));
    painter.drawRoundedRect(place, 6, 6);
    painter.setPen(Qt::white);
    painter.drawText(place, Qt::AlignCenter, text);
}

void CPicture::DrawOutline(QPainter& painter) const {
    QPolygon polygon;
    for (const QvPoint& p : outlineClientPoints) {
        polygon << QPoint(p.x, p.y);
    }
    painter.setPen(QPen(QColor(0, 255, 0), 3 * lineWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawPolygon(polygon);
}

void CPicture::DrawSelection(QPainter& painter) const {
    const QColor colour(QvRed(selectionColour), QvGreen(selectionColour), QvBlue(selectionColour));
    const int32_t w = lineWidth;
    const int32_t a = 3 * w;
    const auto [l, t, r, b] = selectionRect;
    const int32_t cx = (l + r) / 2;
    const int32_t cy = (t + b) / 2;
    painter.fillRect(ToQRect(l - w, t - w, r + w, t + w), colour);
    painter.fillRect(ToQRect(l - w, b - w, r + w, b + w), colour);
    painter.fillRect(ToQRect(l - w, t - w, l + w, b + w), colour);
    painter.fillRect(ToQRect(r - w, t - w, r + w, b + w), colour);
    painter.fillRect(ToQRect(cx - a, t - a, cx + a, t + a), colour);
    painter.fillRect(ToQRect(cx - a, b - a, cx + a, b + a), colour);
    painter.fillRect(ToQRect(l - a, cy - a, l + a, cy + a), colour);
    painter.fillRect(ToQRect(r - a, cy - a, r + a, cy + a), colour);
}

// ---------------------------------------------------------------------------------------------
// Mouse and window

void CPicture::wheelEvent(QWheelEvent* event) {
    WheelZoom(event->angleDelta().y());
    event->accept();
}

void CPicture::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const QPoint p = event->position().toPoint();
    if (grabbedEdge != 0) {
        resizingEdge = true;
    } else if ((event->modifiers() & Qt::ControlModifier) || boxSelectArmed) {
        boxSelectArmed = false;
        drawingBox = true;
        anchor = QvPoint{p.x(), p.y()};
        selectionRect = QvRect{p.x(), p.y(), p.x(), p.y()};
        update();
    } else if (imageRect.Contains(p.x(), p.y())) {
        // Grabbing the picture to move it drops the selection box.
        panning = true;
        selectionRect = QvRect{p.x(), p.y(), p.x(), p.y()};
        selectionImageRect.SetEmpty();
        panOffset = QvPoint{p.x() - imageRect.left, p.y() - imageRect.top};
    }
    // Qt grabs the mouse for this widget until the release, whichever case applied.
    event->accept();
}

void CPicture::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    const int32_t x = p.x();
    const int32_t y = p.y();
    if (drawingBox) {
        selectionRect = QvRect{std::min(anchor.x, x), std::min(anchor.y, y), std::max(anchor.x, x),
                               std::max(anchor.y, y)};
        update();
    } else if (panning) {
        const int32_t w = imageRect.Width();
        const int32_t h = imageRect.Height();
        imageRect.left = x - panOffset.x;
        imageRect.top = y - panOffset.y;
        imageRect.right = imageRect.left + w;
        imageRect.bottom = imageRect.top + h;
        update();
    }
    if (resizingEdge) {
        const QvRect before = selectionRect;
        if (grabbedEdge == 1 && x < selectionRect.right) {
            selectionRect.left = x;
        } else if (grabbedEdge == 2 && x > selectionRect.left) {
            selectionRect.right = x;
        } else if (grabbedEdge == 3 && y < selectionRect.bottom) {
            selectionRect.top = y;
        } else if (grabbedEdge == 4 && y > selectionRect.top) {
            selectionRect.bottom = y;
        }
        if (!(before == selectionRect)) {
            update();
        }
    } else if (!selectionRect.IsEmpty()) {
        UpdateEdgeGrab(x, y);
    }
    event->accept();
}

void CPicture::UpdateEdgeGrab(int32_t x, int32_t y) {
    constexpr int32_t kReach = 20;
    const QvRect& s = selectionRect;
    const QvRect grown{s.left - kReach, s.top - kReach, s.right + kReach, s.bottom + kReach};
    const bool near = grown.Contains(x, y);
    if (near && (std::abs(x - s.left) < kReach || std::abs(x - s.right) < kReach)) {
        grabbedEdge = std::abs(x - s.left) < kReach ? 1 : 2;
        setCursor(Qt::SizeHorCursor);
    } else if (near && (std::abs(y - s.top) < kReach || std::abs(y - s.bottom) < kReach)) {
        grabbedEdge = std::abs(y - s.top) < kReach ? 3 : 4;
        setCursor(Qt::SizeVerCursor);
    } else {
        grabbedEdge = 0;
        setCursor(Qt::ArrowCursor);
    }
}

void CPicture::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        drawingBox = false;
        resizingEdge = false;
        panning = false;
    }
    event->accept();
}

void CPicture::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        if (MainWindowServices* window = TheMainWindow()) {
            window->ToggleFullScreen();
        }
    }
    event->accept();
}

void CPicture::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (!stretchToWindow) {
        FitToWindow();
    }
}
