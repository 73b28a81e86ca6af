#include "ui/busy_panel.h"

#include <QPainter>
#include <QPainterPath>

#include "platform/font_faces.h"
#include "platform/window_messages.h"
#include "ui/general_button.h"
#include "ui/qv_button.h"

namespace {
constexpr int kMargin = 20;
constexpr int kBarTop = 52;
constexpr int kBarHeight = 8;
const QColor kBarTrack(0xE4, 0xE7, 0xEC);
const QColor kBarFill(0x4A, 0x6F, 0xA5);
const QColor kBorder(0xB8, 0xC0, 0xCC);
}  // namespace

CBusyPanel::CBusyPanel(QWidget* parent)
    : QWidget(parent), font_(QvFont(QStringLiteral("宋体"), 14, 400)) {
    resize(kWidth, kHeight);
    cancelButton_ = MakeGeneralButton(this, kCancelButtonId, QStringLiteral("取消"));
    cancelButton_->MoveTo(kWidth - kMargin - cancelButton_->width(),
                          kHeight - 12 - cancelButton_->height());
    hide();
}

void CBusyPanel::SetText(const QString& text) {
    text_ = text;
    update();
}

void CBusyPanel::SetProgress(int percent) {
    percent = qBound(0, percent, 100);
    if (percent != progress_) {
        progress_ = percent;
        update();
    }
}

void CBusyPanel::ShowOver(const QRect& area) {
    move(area.center() - QPoint(kWidth / 2, kHeight / 2));
    show();
    raise();
}

bool CBusyPanel::event(QEvent* event) {
    if (event->type() == WindowMessageEvent::EventType()) {
        auto* message = static_cast<WindowMessageEvent*>(event);
        if (message->message == qvmsg::kButtonClicked && message->wParam == kCancelButtonId) {
            emit CancelRequested();
            return true;
        }
    }
    return QWidget::event(event);
}

void CBusyPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath outline;
    outline.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 10, 10);
    p.fillPath(outline, Qt::white);
    p.setPen(kBorder);
    p.drawPath(outline);

    p.setPen(Qt::black);
    p.setFont(font_);
    QvTextOut(p, kMargin, 22, text_);
    const QRect track(kMargin, kBarTop, width() - 2 * kMargin, kBarHeight);
    p.setPen(Qt::NoPen);
    p.setBrush(kBarTrack);
    p.drawRoundedRect(track, kBarHeight / 2, kBarHeight / 2);
    if (progress_ > 0) {
        p.setBrush(kBarFill);
        QRect done = track;
        done.setWidth(std::max(kBarHeight, track.width() * progress_ / 100));
        p.drawRoundedRect(done, kBarHeight / 2, kBarHeight / 2);
    }
}
