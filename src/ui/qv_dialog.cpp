#include "ui/qv_dialog.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include "platform/font_faces.h"
#include "platform/window_messages.h"
#include "ui/general_button.h"
#include "ui/main_window_services.h"
#include "ui/qv_button.h"
#include "ui/window_shape.h"

namespace {
constexpr int kDialogSkin = 129;
constexpr int kCloseNormal = 217;
constexpr int kCloseHover = 222;
constexpr int kClosePressed = 218;
constexpr int kBodyBottom = 118;  // the body image is skin rows 34 ... 117
constexpr int kCloseMargin = 5;
constexpr int kCornerEllipse = 15;

const CDibImage* Skin(int number) {
    const MainWindowServices* main = TheMainWindow();
    return main != nullptr ? main->SkinImage(number) : nullptr;
}
}  // namespace

CQVDialog::CQVDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      titleFont_(QvFont(QStringLiteral("宋体"), 16, 400)) {}

CQVDialog::~CQVDialog() = default;

void CQVDialog::SetTitle(const QString& title) {
    title_ = title;
    // The skin paints the title; the window system shows it in task lists and switchers.
    setWindowTitle(title);
    update();
}

bool CQVDialog::OnInitDialog() {
    ApplyShape();
    closeButton_ = new CQVButton(this, kCloseButtonId);
    closeButton_->SetImages(Skin(kCloseNormal), Skin(kCloseHover), Skin(kClosePressed), 0, 0);
    const CDibImage* close = Skin(kCloseNormal);
    const int closeWidth = close != nullptr ? int(close->GetWidth()) : 0;
    closeButton_->MoveTo(width() - closeWidth - kCloseMargin, kCloseMargin);
    closeButton_->show();
    return true;
}

CQVButton* CQVDialog::AddGeneralButton(int controlId, const QString& label, int x, int y) {
    CQVButton* button = MakeGeneralButton(this, controlId, label);
    button->SetText(25, 10, label);  // where the settings dialogs have always placed it
    button->MoveTo(x, y);
    button->show();
    return button;
}

void CQVDialog::showEvent(QShowEvent* event) {
    if (!initialised_) {
        initialised_ = true;
        OnInitDialog();
    }
    QDialog::showEvent(event);
}

void CQVDialog::ApplyShape() {
    setMask(RoundedWindowRegion(size(), kCornerEllipse));
}

void CQVDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (!initialised_)
        return;
    ApplyShape();
    if (closeButton_ != nullptr) {
        closeButton_->MoveTo(width() - closeButton_->width() - kCloseMargin, kCloseMargin);
    }
}

bool CQVDialog::event(QEvent* event) {
    if (event->type() == WindowMessageEvent::EventType()) {
        auto* message = static_cast<WindowMessageEvent*>(event);
        if (message->message == qvmsg::kButtonClicked && message->wParam == kCloseButtonId) {
            Apply();
            OnOK();
            return true;
        }
        if (message->message == qvmsg::kButtonClicked && OnButtonClicked(int(message->wParam)))
            return true;
    }
    return QDialog::event(event);
}

void CQVDialog::CutSkin() {
    const CDibImage* skin = Skin(kDialogSkin);
    if (skin == nullptr || !skin->IsValid())
        return;
    CDibImage source(*skin);
    const int skinWidth = int(source.GetWidth());
    source.Crop(0, 0, skinWidth, kTitleBandHeight, &titleImage_);
    source.Crop(0, kTitleBandHeight, skinWidth, kBodyBottom, &bodyImage_);
    skinCut_ = true;
}

void CQVDialog::paintEvent(QPaintEvent*) {
    if (!skinCut_)
        CutSkin();
    QPainter p(this);
    if (!skinCut_) {
        p.fillRect(rect(), Qt::white);
    } else {
        const int titleHeight = int(titleImage_.GetHeight());
        titleImage_.Stretch(&p, 0, 0, width(), titleHeight);
        bodyImage_.Stretch(&p, 0, titleHeight, width(), height() - titleHeight);
    }
    // The title band is dark: its text is white.
    p.setPen(Qt::white);
    p.setFont(titleFont_);
    QvTextOut(p, 5, 10, title_);
}

void CQVDialog::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && OnEnterKey())
        return;
    QDialog::keyPressEvent(event);
}

void CQVDialog::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (event->button() != Qt::LeftButton || !rect().contains(at) || at.y() >= kTitleBandHeight) {
        QDialog::mousePressEvent(event);
        return;
    }
    dragOffset_ = at;
    // The window manager moves the window where it can (and must, on Wayland); elsewhere the
    // window follows the mouse itself.
    if (windowHandle() != nullptr && windowHandle()->startSystemMove())
        return;
    dragging_ = true;
}

void CQVDialog::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_) {
        move(event->globalPosition().toPoint() - dragOffset_);
        return;
    }
    QDialog::mouseMoveEvent(event);
}

void CQVDialog::mouseReleaseEvent(QMouseEvent* event) {
    if (dragging_ && event->button() == Qt::LeftButton) {
        dragging_ = false;
        return;
    }
    QDialog::mouseReleaseEvent(event);
}
