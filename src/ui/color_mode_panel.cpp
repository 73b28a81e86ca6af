#include "ui/color_mode_panel.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

#include "app/main_window_services.h"
#include "image/picture_view.h"
#include "platform/font_faces.h"
#include "platform/window_messages.h"
#include "ui/mem_dc.h"
#include "ui/number_edit.h"
#include "ui/window_shape.h"

namespace {
constexpr int kCornerEllipse = 15;
constexpr int kStillPictureMode = 1;
const QRect kEditRect(QPoint(160, 56), QPoint(190, 76) - QPoint(1, 1));
}  // namespace

CColorMode::CColorMode(QWidget* parent)
    : QWidget(parent),
      font_(QvFont(QStringLiteral("宋体"), 12, 400)),
      items_{COptionItem(this, 1, COptionItem::kRadio), COptionItem(this, 2, COptionItem::kRadio),
             COptionItem(this, 3, COptionItem::kRadio)} {
    items_[0].SetText(QStringLiteral("彩色"));
    items_[1].SetText(QStringLiteral("灰度"));
    items_[2].SetText(QStringLiteral("黑白"));
    setCursor(Qt::ArrowCursor);
    // The paint covers the whole panel, so there is nothing to erase first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

bool CColorMode::Create(QWidget* parent, const QvRect& rect, const QString& windowName, int id) {
    if (parent != nullptr && parent != parentWidget()) {
        setParent(parent);
    }
    setObjectName(windowName);
    id_ = id;
    setGeometry(rect.left, rect.top, rect.Width(), rect.Height());
    if (edit_ == nullptr) {
        edit_ = new CNumberEdit(this);
        edit_->setGeometry(kEditRect);
        edit_->setFont(font_);
        edit_->SetRange(0, 255);
        edit_->setText(QString::number(threshold_));
        edit_->show();
    }
    for (COptionItem& item : items_) {
        item.SetCheck(item.ItemId() == mode_ + 1);
    }
    update();
    show();
    return true;
}

bool CColorMode::event(QEvent* event) {
    if (event->type() == WindowMessageEvent::EventType()) {
        auto* message = static_cast<WindowMessageEvent*>(event);
        if (message->message == qvmsg::kOptionChanged) {
            OnOptionChanged(int(message->wParam));
            return true;
        }
        if (message->message == qvmsg::kNumberEditChanged && edit_ != nullptr &&
            message->wParam == WParam(edit_)) {
            OnThresholdChanged();
            return true;
        }
    }
    return QWidget::event(event);
}

void CColorMode::paintEvent(QPaintEvent*) {
    QPainter target(this);
    CMemDC memory(&target, rect());
    QPainter& painter = *memory.Painter();
    painter.fillRect(rect(), Qt::white);
    items_[0].Paint(painter, 50, 2);
    items_[1].Paint(painter, 50, 22);
    items_[2].Paint(painter, 50, 42);
    painter.setFont(font_);
    painter.setPen(Qt::black);
    // The caption stands one character a line. The CJK face's own line spacing would push the
    // last character past the bottom of the 80-pixel panel, so lines are spaced to fit.
    const QString caption = QStringLiteral("色彩模式");
    const int step = std::min(painter.fontMetrics().lineSpacing(),
                              std::max(1, (height() - 15) / int(caption.size())));
    for (int i = 0; i < caption.size(); ++i) {
        QvTextOut(painter, 15, 15 + i * step, caption.mid(i, 1));
    }
    QvTextOut(painter, 50, 58, QStringLiteral("黑白阀值(0~255)"));
    painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
    painter.drawLine(40, 0, 40, height());
}

void CColorMode::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    setMask(RoundedWindowRegion(size(), kCornerEllipse));
}

void CColorMode::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const QPoint p = event->position().toPoint();
    for (COptionItem& item : items_) {
        item.Click({p.x(), p.y()});
    }
}

void CColorMode::OnOptionChanged(int itemId) {
    if (itemId < 1 || itemId > 3) {
        return;
    }
    const int threshold = EditValue();
    for (COptionItem& item : items_) {
        if (item.ItemId() != itemId && item.IsChecked()) {
            item.SetCheck(false);
            const QvRect& hit = item.HitRect();
            update(hit.left, hit.top, hit.Width(), hit.Height());
        }
    }
    mode_ = itemId - 1;
    threshold_ = threshold;
    HandOver(mode_, threshold);
}

void CColorMode::OnThresholdChanged() {
    threshold_ = EditValue();
    if (mode_ == kBlackWhite) {
        HandOver(kBlackWhite, threshold_);
    }
}

int CColorMode::EditValue() const {
    return edit_ != nullptr ? CNumberEdit::LeadingValue(edit_->text()) : threshold_;
}

void CColorMode::ApplyToLivePicture() {
    HandOver(mode_, threshold_);
}

void CColorMode::HandOver(int mode, int threshold) {
    MainWindowServices* main = TheMainWindow();
    if (main == nullptr || main->WorkMode() == kStillPictureMode) {
        return;
    }
    if (CPicture* live = main->LivePicture()) {
        live->SetColourMode(mode);
        live->SetThresholdLevel(uint8_t(threshold & 0xFF));
    }
}
