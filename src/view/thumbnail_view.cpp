#include "view/thumbnail_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPen>
#include <iterator>

#include "platform/window_messages.h"
#include "ui/main_window_services.h"

namespace {

const QColor kLinkColour(50, 50, 255);
const QColor kPressedColour(255, 0, 255);

QFont SkinFont(bool italic, bool underline) {
    QFont font(QStringLiteral("宋体"));
    font.setPixelSize(12);
    font.setWeight(QFont::Normal);
    font.setItalic(italic);
    font.setUnderline(underline);
    return font;
}

QRect ToQRect(const QvRect& r) {
    return QRect(r.left, r.top, r.Width(), r.Height());
}

// Text with its top-left corner at (x, y), as the platform's text output places it.
void DrawTextAt(QPainter& painter, int x, int y, const QString& text) {
    painter.drawText(QRect(x, y, 10000, 100), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                     text);
}

}  // namespace

CPicCell::CPicCell(const CDibImage& image, const QString& path)
    : CDibImage(image), state(std::make_shared<State>()), path(path) {}

CThumnailView::CThumnailView(QWidget* parent)
    : QWidget(parent),
      linkFont_(SkinFont(false, true)),
      hoverFont_(SkinFont(true, true)),
      plainFont_(SkinFont(false, false)) {
    setMouseTracking(true);
    setCursor(Qt::ArrowCursor);
    setAttribute(Qt::WA_OpaquePaintEvent);  // the paint covers everything
}

bool CThumnailView::Create(QWidget* parent, int id) {
    setParent(parent);
    setObjectName(QStringLiteral("workmgr"));
    setWindowTitle(QStringLiteral("workmgr"));
    id_ = id;
    setGeometry(QRect());
    show();
    return true;
}

const CPicCell& CThumnailView::Cell(int index) const {
    return *std::next(cells_.begin(), index);
}

void CThumnailView::AddPicture(const CDibImage& image, const QString& path) {
    CPicCell cell(image, path);
    cell.state->selected = cells_.empty() ? 1 : 0;
    hasItems_ = true;
    if (cells_.empty()) {
        current_ = 1;
        selected_ = 0;
    } else {
        ++current_;
        ++selected_;
    }
    cells_.push_front(std::move(cell));
    shownCount_ = Count();
    update();
}

void CThumnailView::SelectNewest() {
    if (cells_.empty()) {
        return;
    }
    Select(0);
    first_ = 0;
    update();
}

QString CThumnailView::GetSelectedPath() const {
    if (selected_ < 0 || selected_ >= Count()) {
        return QString();
    }
    return Cell(selected_).path;
}

void CThumnailView::GetAllPaths(QStringList& paths) const {
    for (const CPicCell& cell : cells_) {
        paths.append(cell.path);
    }
}

void CThumnailView::Select(int index) {
    current_ = index + 1;
    selected_ = index;
    int i = 0;
    for (CPicCell& cell : cells_) {
        cell.state->selected = (i++ == index) ? 1 : 0;
    }
}

void CThumnailView::Reload() {
    MainWindowServices* main = TheMainWindow();
    if (reload_ && main && main->WorkMode() == 1) {
        reload_(GetSelectedPath());
    }
}

void CThumnailView::Previous() {
    if (cells_.empty() || selected_ <= 0) {
        return;
    }
    Select(selected_ - 1);
    if (selected_ < first_) {
        first_ = selected_;
    }
    Reload();
    update();
}

void CThumnailView::Next() {
    if (selected_ >= Count() - 1) {
        return;
    }
    Select(selected_ + 1);
    // At most three cells lie between the left edge and the selection after stepping forward.
    if (selected_ - first_ > 2) {
        ++first_;
    }
    Reload();
    update();
}

void CThumnailView::Delete() {
    if (current_ < 1 || selected_ < 0 || selected_ >= Count()) {
        update();
        return;
    }
    cells_.erase(std::next(cells_.begin(), selected_));
    shownCount_ = Count();
    if (cells_.empty()) {
        current_ = 0;
        selected_ = -1;
        first_ = 0;
        hasItems_ = false;
        // Nothing but the background is drawn now, so no text button may react either.
        prevRect_.SetEmpty();
        nextRect_.SetEmpty();
        deleteRect_.SetEmpty();
        buttonState_ = 0;
        update();
        return;
    }
    if (current_ > Count()) {
        current_ = Count();
    }
    Select(current_ - 1);
    // Deleting near the end could leave the selection left of the strip's edge, unseen.
    if (selected_ < first_) {
        first_ = selected_;
    }
    update();
    Reload();
}

int CThumnailView::HitCell(int x, int y) const {
    // Only cells drawn in the last paint have a rectangle; cells scrolled out of the strip
    // cannot be hit through a stale one.
    int i = 0;
    for (const CPicCell& cell : cells_) {
        if (cell.state->rect.Contains(x, y)) {
            return i;
        }
        ++i;
    }
    return -1;
}

void CThumnailView::UpdateRect(const QvRect& rect) {
    update(ToQRect(rect));
}

void CThumnailView::UpdateButtons() {
    UpdateRect(prevRect_);
    UpdateRect(nextRect_);
    UpdateRect(deleteRect_);
}

void CThumnailView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    if (!hasItems_) {
        return;
    }
    PaintCells(painter);
    PaintButtons(painter);
}

void CThumnailView::PaintCells(QPainter& painter) {
    int i = 0;
    for (CPicCell& cell : cells_) {
        cell.state->rect.SetEmpty();
        const int x = (i - first_) * kCellPitch;
        // Cells left of the strip's edge or beyond its right end are not drawn.
        if (i++ < first_ || x >= width() || !cell.IsValid()) {
            continue;
        }
        cell.Stretch(&painter, x, kCellTop, -1, -1);
        const QvRect r{x, kCellTop, x + static_cast<int32_t>(cell.GetWidth()),
                       kCellTop + static_cast<int32_t>(cell.GetHeight())};
        cell.state->rect = r;
        if (cell.state->selected) {
            // A one-pixel frame on the rectangle's own edge pixels.
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor(255, 0, 0));
            painter.drawRect(r.left, r.top, r.Width(), 1);
            painter.drawRect(r.left, r.bottom - 1, r.Width(), 1);
            painter.drawRect(r.left, r.top, 1, r.Height());
            painter.drawRect(r.right - 1, r.top, 1, r.Height());
        }
    }
}

void CThumnailView::PaintButtons(QPainter& painter) {
    const auto look = [&](uint16_t button) {
        painter.setPen(buttonState_ == (kPressed | button) ? kPressedColour : kLinkColour);
        painter.setFont(buttonState_ == (kHover | button) ? hoverFont_ : linkFont_);
    };
    look(kPrevious);
    DrawTextAt(painter, 20, 70, QStringLiteral("上一张"));
    prevRect_ = {20, 70, 80, 85};
    look(kNext);
    DrawTextAt(painter, 150, 70, QStringLiteral("下一张"));
    nextRect_ = {150, 70, 210, 85};
    look(kDelete);
    DrawTextAt(painter, 20, 120, QStringLiteral("删除"));
    deleteRect_ = {20, 120, 80, 140};

    painter.setFont(plainFont_);
    painter.setPen(Qt::black);
    DrawTextAt(painter, 80, 70, QStringLiteral("第%1/%2张").arg(current_).arg(shownCount_));
    if (current_ > 0) {
        const QString& path = Cell(current_ - 1).path;
        const int slash = path.lastIndexOf(u'/');
        if (slash >= 0) {
            DrawTextAt(painter, 2, 100, QStringLiteral("文件名:") + path.mid(slash + 1));
        }
    }
    painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
    painter.drawLine(0, 90, width(), 90);
}

void CThumnailView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if ((buttonState_ >> 8) != 2) {
        if (prevRect_.Contains(p.x(), p.y())) {
            buttonState_ = kHover | kPrevious;
            UpdateRect(prevRect_);
        } else if (nextRect_.Contains(p.x(), p.y())) {
            buttonState_ = kHover | kNext;
            UpdateRect(nextRect_);
        } else if (deleteRect_.Contains(p.x(), p.y())) {
            buttonState_ = kHover | kDelete;
            UpdateRect(deleteRect_);
        } else if ((buttonState_ >> 8) == 1) {
            buttonState_ = 0;
            UpdateButtons();
        }
    }
    QWidget::mouseMoveEvent(event);
}

void CThumnailView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const QPoint p = event->position().toPoint();
    const int hit = HitCell(p.x(), p.y());
    if (hit >= 0) {
        Select(hit);
        Reload();
        update();
    } else if ((buttonState_ >> 8) != 2) {
        // Qt grabs the mouse for the widget between press and release, as a capture would.
        const std::pair<const QvRect*, uint16_t> buttons[] = {
            {&prevRect_, kPrevious}, {&nextRect_, kNext}, {&deleteRect_, kDelete}};
        for (const auto& [r, button] : buttons) {
            if (r->Contains(p.x(), p.y())) {
                buttonState_ = kPressed | button;
                UpdateRect(*r);
                break;
            }
        }
    }
    QWidget::mousePressEvent(event);
}

void CThumnailView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    const QPoint p = event->position().toPoint();
    // Only the pressed state counts, not which button was pressed: releasing over another
    // text button runs that one.
    const bool pressed = (buttonState_ >> 8) == 2;
    if (pressed && prevRect_.Contains(p.x(), p.y())) {
        Previous();
    } else if (pressed && nextRect_.Contains(p.x(), p.y())) {
        Next();
    } else if (pressed && deleteRect_.Contains(p.x(), p.y())) {
        Delete();
    }
    buttonState_ = 0;
    UpdateButtons();
    QWidget::mouseReleaseEvent(event);
}

void CThumnailView::mouseDoubleClickEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    const int hit = event->button() == Qt::LeftButton ? HitCell(p.x(), p.y()) : -1;
    if (hit >= 0) {
        Select(hit);
        update();
        if (MainWindowServices* main = TheMainWindow()) {
            SendWindowMessage(main->MessageTarget(), qvmsg::kSetWorkMode, 1, 0);
        }
    }
    // The base class would treat the double click as another press; the press of the first
    // click has already been handled.
    event->accept();
}
