#include "ui/qv_button.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include "image/dib_image.h"
#include "platform/font_faces.h"
#include "platform/window_messages.h"
#include "ui/mem_dc.h"

namespace {
constexpr QvColour kWhite = QvRgb(255, 255, 255);
// Corner ellipse of the button's rounded clip (5 x 5).
constexpr qreal kCornerRadius = 2.5;
}  // namespace

CQVButton::CQVButton(QWidget* parent, int controlId)
    : QWidget(parent),
      controlId_(controlId),
      font_(QvFont(QStringLiteral("宋体"), 12, 400)),
      boldFont_(QvFont(QStringLiteral("宋体"), 12, 700)) {
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover, false);
}

void CQVButton::SetImages(const CDibImage* normal, const CDibImage* hover, const CDibImage* pressed,
                          int extraWidth, int extraHeight) {
    normal_ = normal;
    hover_ = hover;
    pressed_ = pressed;
    extraWidth_ = extraWidth;
    extraHeight_ = extraHeight;
    if (normal_ == nullptr || hover_ == nullptr || pressed_ == nullptr)
        return;
    const int left = x() - extraWidth / 2;
    setGeometry(left, y(), int(normal_->GetWidth()) + extraWidth,
                int(normal_->GetHeight()) + extraHeight);
    update();
}

void CQVButton::MoveTo(int x, int y) {
    move(x, y);
}

void CQVButton::SetText(int x, int y, const QString& text) {
    textX_ = x;
    textY_ = y;
    text_ = text;
    update();
}

void CQVButton::SetTextColour(QvColour colour) {
    textColour_ = colour;
    update();
}

const CDibImage* CQVButton::StateImage() const {
    switch (state_) {
        case kHover:
            return hover_;
        case kPressed:
            return pressed_;
        default:
            return normal_;
    }
}

void CQVButton::paintEvent(QPaintEvent*) {
    if (normal_ == nullptr || hover_ == nullptr || pressed_ == nullptr)
        return;
    QPainter target(this);
    CMemDC dc(&target, rect());
    QPainter& p = *dc.Painter();
    QPainterPath clip;
    clip.addRoundedRect(QRectF(rect()), kCornerRadius, kCornerRadius);
    // A hard-edged clip, as a window region is: soft corners would let the white fill show.
    p.setClipPath(clip);
    p.fillRect(rect(), Qt::white);

    CDibImage image(isEnabled() ? *StateImage() : *normal_);
    if (!isEnabled())
        image.ToGrey();
    image.SetTransparentIndex(0);
    image.SetTransparentColour(kWhite);
    const QvRect place{extraWidth_ / 2, 0, width() - extraWidth_ / 2, height() - extraHeight_};
    image.Draw(&p, place, nullptr, true);

    if (!text_.isEmpty()) {
        p.setPen(QColor(QvRed(textColour_), QvGreen(textColour_), QvBlue(textColour_)));
        p.setFont(state_ != kNormal && isEnabled() ? boldFont_ : font_);
        QvTextOut(p, textX_, textY_, text_);
    }
}

void CQVButton::SetState(State state) {
    if (state_ == state)
        return;
    state_ = state;
    update();
}

void CQVButton::enterEvent(QEnterEvent*) {
    if (state_ != kPressed)
        SetState(kHover);
}

void CQVButton::mouseMoveEvent(QMouseEvent*) {
    if (state_ != kPressed)
        SetState(kHover);
}

void CQVButton::leaveEvent(QEvent*) {
    // While the button is held the release decides; the window keeps the mouse until then.
    if (state_ != kPressed)
        SetState(kNormal);
}

void CQVButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    // The widget holds the mouse from the press to the release (Qt's implicit grab).
    if (state_ != kPressed)
        SetState(kPressed);
}

void CQVButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    if (state_ != kPressed)
        return;
    const bool inside = rect().contains(event->position().toPoint());
    SetState(inside ? kHover : kNormal);
    if (inside && parentWidget() != nullptr && isEnabled()) {
        SendWindowMessage(parentWidget(), qvmsg::kButtonClicked, WParam(controlId_), 0);
    }
}

void CQVButton::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click is not a second click.
    event->accept();
}

void CQVButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange) {
        if (!isEnabled())
            state_ = kNormal;
        update();
    }
    QWidget::changeEvent(event);
}

void CQVButton::hideEvent(QHideEvent* event) {
    // A hidden button gets no leave: it comes back in its normal look.
    state_ = kNormal;
    QWidget::hideEvent(event);
}
