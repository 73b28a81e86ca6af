#include "ui/mem_dc.h"

CMemDC::CMemDC(QPainter* target, const QRect& rect)
    : target_(target),
      rect_(rect),
      buffer_(rect.size().expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied) {
    // Transparent to start with: what the drawing leaves untouched keeps the target's pixels.
    buffer_.fill(Qt::transparent);
    painter_.begin(&buffer_);
    painter_.translate(-rect_.topLeft());
}

CMemDC::~CMemDC() {
    painter_.end();
    if (target_ != nullptr && !rect_.isEmpty())
        target_->drawImage(rect_.topLeft(), buffer_);
}
