#include "view/video_item.h"

#include <QMetaObject>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <algorithm>
#include <chrono>

#include "capture/video_recorder.h"
#include "platform/font_faces.h"
#include "ui/main_window_services.h"

namespace {
CVideoItem* g_current = nullptr;
// How long a photo of page capture flashes the picture, and how long "已拍摄" stays.
constexpr int kFlashMs = 300;
constexpr int kTakenMs = 1200;
}  // namespace

CVideoItem::CVideoItem(QWidget* parent)
    : CPicture(parent),
      mailbox_(this),
      // Worker thread: each new result and each page state is carried to this item's thread.
      edgeWorker_(
          [this] {
              QMetaObject::invokeMethod(
                  this, [this] { OnEdgesFound(); }, Qt::QueuedConnection);
          },
          [this](PageState state, bool newPage) {
              QMetaObject::invokeMethod(
                  this, [this, state, newPage] { OnPageState(state, newPage); },
                  Qt::QueuedConnection);
          }) {
    g_current = this;
    CFrameMailbox::SetCurrent(&mailbox_);
}

CVideoItem::~CVideoItem() {
    // The streaming thread stops writing before the mailbox and the engine go away.
    if (CFrameMailbox::Current() == &mailbox_)
        CFrameMailbox::SetCurrent(nullptr);
    deviceSet.DestroyEngines();
    if (g_current == this)
        g_current = nullptr;
}

CVideoItem* CVideoItem::Current() {
    return g_current;
}

void CVideoItem::Open(QWidget* parent) {
    SetDarkBackground(true);
    if (!parent)
        return;
    setParent(parent);
    setGeometry(0, 0, 200, 200);
    setFocusPolicy(Qt::ClickFocus);
    show();
    deviceSet.SetCameraListener([this](CDeviceSet::CameraEvent event) { OnCameraEvent(event); });
    MainWindowServices* main = TheMainWindow();
    if (main)
        deviceSet.SetChosenCamera(main->StoredVideoDevice());
    deviceSet.CreateEngine();
    if (main && main->StoredVideoWidth() > 0 && main->StoredVideoHeight() > 0)
        deviceSet.ChangeOutputSize(main->StoredVideoWidth(), main->StoredVideoHeight());
}

void CVideoItem::OnCameraEvent(CDeviceSet::CameraEvent event) {
    switch (event) {
        case CDeviceSet::CameraEvent::kUnplugged:
            // Nothing of the lost camera is left to photograph, record or detect in.
            hasImage = false;
            update();
            emit CameraUnplugged();
            break;
        case CDeviceSet::CameraEvent::kPluggedIn:
            update();
            break;
        case CDeviceSet::CameraEvent::kListChanged:
            emit CamerasChanged();
            break;
    }
}

void CVideoItem::paintEvent(QPaintEvent* event) {
    if (!deviceSet.IsCameraUnplugged()) {
        CPicture::paintEvent(event);
        if (pageCaptureOn_ && HasImage()) {
            QPainter painter(this);
            DrawPageCapture(painter);
        }
        DrawRecordingMark();
        return;
    }
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    QFont font(QStringLiteral("黑体"));
    font.setPixelSize(std::max(16, height() / 20));
    painter.setFont(font);
    painter.setPen(QColor(220, 220, 220));
    painter.drawText(rect(), Qt::AlignCenter, UnpluggedText());
}

void CVideoItem::DrawRecordingMark() {
    const CVideoRecorder* recorder = CVideoRecorder::Current();
    if (!hasImage || !recorder || !recorder->IsRecording())
        return;
    // Each new frame repaints the item, which keeps the time running.
    const int seconds = int(recorder->ElapsedSeconds());
    const QString elapsed = QStringLiteral("%1:%2:%3")
                                .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
                                .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
                                .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    const QvRect shown = ViewRect();
    const QPoint corner(std::max(shown.left, 0) + 12, std::max(shown.top, 0) + 12);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QFont font = painter.font();
    font.setPixelSize(16);
    font.setBold(true);
    painter.setFont(font);
    const int textWidth = painter.fontMetrics().horizontalAdvance(elapsed);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 140));  // readable over a white page and a dark desk
    painter.drawRoundedRect(QRect(corner, QSize(textWidth + 40, 28)), 6, 6);
    painter.setBrush(QColor(230, 0, 0));
    painter.drawEllipse(QRect(corner + QPoint(8, 7), QSize(14, 14)));
    painter.setPen(Qt::white);
    painter.drawText(QRect(corner + QPoint(30, 0), QSize(textWidth + 6, 28)), Qt::AlignVCenter,
                     elapsed);
}

LParam CVideoItem::OnFrame(WParam wParam, LParam /*lParam*/) {
    // Only frames of this item's own mailbox are read: the address names the frame in it. While
    // a frame is shown the mailbox stays full, so only a stray message can arrive then.
    if (wParam == 0 || wParam != reinterpret_cast<WParam>(mailbox_.Frame()) || inFrame)
        return 0;
    if (deviceSet.IsCameraUnplugged()) {
        mailbox_.Taken();  // sent by the lost camera before it went
        return 0;
    }
    inFrame = true;
    // The frame is held, not copied, until the next one replaces it; the mailbox takes the
    // next one at once.
    ShowFrame(mailbox_.TakeFrame());
    inFrame = false;
    return 0;
}

void CVideoItem::OnNewFrame() {
    // The worker gets the camera's frame as it is (it holds the frame, no copy is made here) and
    // makes its picture itself, only when it detects.
    if (autoCropOn || pageCaptureOn_) {
        const FrameLook& look = LiveFrameLook();
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        edgeWorker_.OfferFrame(
            LiveFrame{LiveFrameRows(), look.flipRows, look.mirror,
                      std::chrono::duration_cast<std::chrono::milliseconds>(now).count()});
    }
    shownFrameRecorded_ = RecordShownFrame();
}

void CVideoItem::OnBeforePaint() {
    if (!shownFrameRecorded_)
        shownFrameRecorded_ = RecordShownFrame();
}

// The work image is built only while a recording runs: otherwise the live picture is drawn
// straight from the camera's frame and no work image is made at all.
bool CVideoItem::RecordShownFrame() const {
    const CVideoRecorder* recorder = CVideoRecorder::Current();
    return recorder && recorder->IsRecording() && CVideoRecorder::PushFrame(GetWorkImage());
}

void CVideoItem::SetAutoCropMode(int mode) {
    SetOutlineMode(mode);
    if (mode != 0) {
        if (!autoCropOn) {
            autoCropOn = true;
            edgeWorker_.Start();
        }
        return;
    }
    if (autoCropOn) {
        autoCropOn = false;
        edgeWorker_.Stop();
        SetSelectionImageRect(QvRect{});
        SelectionToClient();
        update();
    }
}

void CVideoItem::OnEdgesFound() {
    if (!autoCropOn)
        return;
    const std::array<QvPoint, 4> points = edgeWorker_.Results().outlineImagePoints;
    const bool moved = points != GetOutlineImagePoints();
    SetOutlineImagePoints(points);
    OutlineToClient();
    // Every frame repaints anyway; a second paint per frame for an outline that stayed put would
    // double the preview's drawing cost.
    if (moved)
        update();
}

void CVideoItem::SetPageCapture(bool on) {
    if (on == pageCaptureOn_)
        return;
    pageCaptureOn_ = on;
    pageState_ = PageState::kSettling;
    sincePhoto_.invalidate();
    if (on)
        edgeWorker_.StartPageWatch();
    else
        edgeWorker_.StopPageWatch();
    update();
}

void CVideoItem::OnPageState(PageState state, bool newPage) {
    if (!pageCaptureOn_)
        return;
    pageState_ = state;
    update();
    if (newPage)
        emit pageStill();
}

void CVideoItem::ShowPhotoTaken() {
    sincePhoto_.start();
    update();
    // The frames repaint the picture while the flash fades; these paints end it even when the
    // camera has stopped sending.
    for (const int ms : {kFlashMs, kTakenMs})
        QTimer::singleShot(ms, this, [this] { update(); });
}

void CVideoItem::DrawPageCapture(QPainter& painter) {
    const bool taken = sincePhoto_.isValid() && sincePhoto_.elapsed() < kTakenMs;
    const QvRect view = ViewRect();
    if (sincePhoto_.isValid() && sincePhoto_.elapsed() < kFlashMs) {
        const int alpha = int(160 * (kFlashMs - sincePhoto_.elapsed()) / kFlashMs);
        painter.fillRect(QRect(view.left, view.top, view.Width(), view.Height()) & rect(),
                         QColor(255, 255, 255, alpha));
    }
    QString text;
    QColor dot;
    if (taken) {
        text = QStringLiteral("已拍摄");
        dot = QColor(60, 200, 90);
    } else if (pageState_ == PageState::kMoving) {
        text = QStringLiteral("检测到移动");
        dot = QColor(240, 160, 40);
    } else if (pageState_ == PageState::kSettling) {
        text = QStringLiteral("保持静止");
        dot = QColor(240, 210, 60);
    } else {
        text = QStringLiteral("等待翻页");
        dot = QColor(150, 170, 200);
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setFont(QvFont(QStringLiteral("宋体"), 12, 400));
    const QFontMetrics metrics(painter.font());
    // In the picture's corner, or the window's when the picture reaches past it.
    const QRect box(std::max(view.left, 0) + 10, std::max(view.top, 0) + 10,
                    metrics.horizontalAdvance(text) + 30, metrics.height() + 8);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 140));
    painter.drawRoundedRect(box, 4, 4);
    painter.setBrush(dot);
    painter.drawEllipse(QPointF(box.left() + 11, box.center().y() + 0.5), 4, 4);
    painter.setPen(Qt::white);
    painter.drawText(box.adjusted(20, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, text);
}

CVideoItem::AutoCropCut CVideoItem::AutoCrop() const {
    // One read: an angle and a rectangle from two detections could turn a photo by one page's
    // tilt and cut it to another's box, or to the unturned whole frame.
    const DocumentEdgeResults results = edgeWorker_.Results();
    if (results.detected)
        return {results.tiltAngle, results.cropImageRect};
    return {0, QvRect{0, 0, int32_t(PictureWidth()), int32_t(PictureHeight())}};
}

bool CVideoItem::event(QEvent* event) {
    if (event->type() == WindowMessageEvent::EventType()) {
        auto* message = static_cast<WindowMessageEvent*>(event);
        if (message->message == qvmsg::kNewFrame) {
            message->result = OnFrame(message->wParam, message->lParam);
            return true;
        }
    }
    return CPicture::event(event);
}

void CVideoItem::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        setFocus(Qt::MouseFocusReason);
    CPicture::mousePressEvent(event);
}
