#include "ui/save_option_panel.h"

#include <QMouseEvent>
#include <QPainter>
#include <QSignalBlocker>

#include "app/main_window_services.h"
#include "platform/font_faces.h"
#include "platform/window_messages.h"
#include "settings/stored_settings.h"
#include "ui/mem_dc.h"
#include "ui/number_edit.h"
#include "ui/window_shape.h"

namespace {
constexpr int kCornerEllipse = 15;
const QRect kEditRect(QPoint(160, 71), QPoint(190, 91) - QPoint(1, 1));
}  // namespace

CSaveOption::CSaveOption(QWidget* parent)
    : QWidget(parent),
      font_(QvFont(QStringLiteral("宋体"), 12, 400)),
      items_{COptionItem(this, kTurnLeft, COptionItem::kCheck),
             COptionItem(this, kTurnRight, COptionItem::kCheck),
             COptionItem(this, kAutoCrop, COptionItem::kCheck)} {
    items_[kTurnLeft - 1].SetText(QStringLiteral("左转90度"));
    items_[kTurnRight - 1].SetText(QStringLiteral("右转90度"));
    items_[kAutoCrop - 1].SetText(QStringLiteral("自动裁切"));
    setCursor(Qt::ArrowCursor);
    // The paint covers the whole panel, so there is nothing to erase first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

bool CSaveOption::Create(QWidget* parent, const QvRect& rect, const QString& windowName, int id) {
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
        edit_->SetRange(0, 100);
        edit_->show();
    }
    ShowQuality();
    show();
    return true;
}

void CSaveOption::SetQuality(int quality) {
    quality_ = quality;
    ShowQuality();
}

// Showing a value is not a change by the user: writing it back could overwrite the stored
// quality with the panel's initial 50 before the main window has set the stored one.
void CSaveOption::ShowQuality() {
    if (edit_ != nullptr) {
        const QSignalBlocker quiet(edit_);
        edit_->setText(QString::number(quality_));
    }
}

bool CSaveOption::event(QEvent* event) {
    if (event->type() == WindowMessageEvent::EventType()) {
        auto* message = static_cast<WindowMessageEvent*>(event);
        if (message->message == qvmsg::kOptionChanged) {
            OnOptionChanged(int(message->wParam), int(message->lParam));
            return true;
        }
        if (message->message == qvmsg::kNumberEditChanged && edit_ != nullptr &&
            message->wParam == WParam(edit_)) {
            OnQualityChanged();
            return true;
        }
    }
    return QWidget::event(event);
}

void CSaveOption::paintEvent(QPaintEvent*) {
    QPainter target(this);
    CMemDC memory(&target, rect());
    QPainter& painter = *memory.Painter();
    painter.fillRect(rect(), Qt::white);
    items_[kAutoCrop - 1].Paint(painter, 100, 11);
    items_[kTurnLeft - 1].Paint(painter, 100, 31);
    items_[kTurnRight - 1].Paint(painter, 100, 51);
    painter.setFont(font_);
    painter.setPen(Qt::black);
    QvTextOut(painter, 10, 11, QStringLiteral("自动裁切"));
    QvTextOut(painter, 10, 31, QStringLiteral("文件保存方向"));
    QvTextOut(painter, 10, 71, QStringLiteral("图片JPEG压缩质量(0~100):"));
}

void CSaveOption::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    setMask(RoundedWindowRegion(size(), kCornerEllipse));
}

void CSaveOption::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const QPoint p = event->position().toPoint();
    for (COptionItem& item : items_) {
        item.Click({p.x(), p.y()});
    }
}

void CSaveOption::OnOptionChanged(int itemId, int state) {
    if (itemId == kAutoCrop) {
        if (MainWindowServices* main = TheMainWindow()) {
            SendWindowMessage(main->MessageTarget(), qvmsg::kAutoCropChanged, WParam(state), 0);
        }
    }
    if (state == 0) {
        return;
    }
    if (itemId == kTurnLeft) {
        Uncheck(kTurnRight);
    } else if (itemId == kTurnRight) {
        Uncheck(kTurnLeft);
    }
}

void CSaveOption::Uncheck(int itemId) {
    COptionItem& item = items_[size_t(itemId - 1)];
    if (item.IsChecked()) {
        item.SetCheck(false);
        const QvRect& hit = item.HitRect();
        update(hit.left, hit.top, hit.Width(), hit.Height());
    }
}

void CSaveOption::OnQualityChanged() {
    quality_ = CNumberEdit::LeadingValue(edit_->text());
    if (MainWindowServices* main = TheMainWindow()) {
        main->WriteSetting(qvini::kPic, qvini::kQuantity, quality_);
    }
}
