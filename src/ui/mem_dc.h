#pragma once
// CMemDC: off-screen drawing over one rectangle of a target painter. Draw through Painter() in
// the target's coordinates; the destructor copies the rectangle onto the target, so a window's
// paint reaches the screen in one piece.

#include <QImage>
#include <QPainter>
#include <QRect>

class CMemDC {
public:
    CMemDC(QPainter* target, const QRect& rect);
    ~CMemDC();
    CMemDC(const CMemDC&) = delete;
    CMemDC& operator=(const CMemDC&) = delete;

    QPainter* Painter() { return &painter_; }
    QPainter* operator->() { return &painter_; }

private:
    QPainter* target_;
    QRect rect_;
    QImage buffer_;
    QPainter painter_;
};
