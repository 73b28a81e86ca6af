#include "view/picture_item.h"

#include <QFileDialog>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>

#include "platform/atomic_save.h"
#include "platform/message_box.h"
#include "platform/window_messages.h"
#include "ui/input_edit.h"

CPicItem::CPicItem(QWidget* parent) : CPicture(parent) {
    darkBackground = false;
    setFocusPolicy(Qt::ClickFocus);
    textEdit = new CInputEdit(this);
    textEdit->setGeometry(10, 10, 90, 90);
    textEdit->hide();
}

CPicItem::~CPicItem() = default;

QString CPicItem::SaveFilter() {
    return QStringLiteral(
        "Image File(bmp,Tif(Tiff),png,jpg(jpeg)) (*.bmp *.tif *.tiff *.jpeg *.jpg *.png)");
}

// ---------------------------------------------------------------------------------------------
// Turning and cropping

void CPicItem::RotateLeft() {
    if (displayImage.RotateLeft90()) {
        ApplyRotation();
    }
}

void CPicItem::RotateRight() {
    if (displayImage.RotateRight90()) {
        ApplyRotation();
    }
}

void CPicItem::ApplyRotation() {
    CancelAnnotation();
    workImage = displayImage;
    const int32_t cx = (imageRect.left + imageRect.right) / 2;
    const int32_t cy = (imageRect.top + imageRect.bottom) / 2;
    const int32_t w = int32_t(workImage.GetWidth());
    const int32_t h = int32_t(workImage.GetHeight());
    imageRect = QvRect{cx - w / 2, cy - h / 2, cx + w / 2, cy + h / 2};
    ZoomTo(ZoomFactor(zoomStep));
    // A turned picture is a change the user can save like any other edit.
    modified = true;
}

void CPicItem::CropToSelection() {
    CancelAnnotation();
    SelectionToImage();
    QvRect r = selectionImageRect;
    r.left = std::max(r.left, 0);
    r.top = std::max(r.top, 0);
    r.right = std::min(r.right, int32_t(displayImage.GetWidth()));
    r.bottom = std::min(r.bottom, int32_t(displayImage.GetHeight()));
    if (r.left == r.right || r.top == r.bottom) {
        return;
    }
    displayImage.Crop(r);
    workImage = displayImage;
    selectionImageRect.SetEmpty();
    selectionRect.SetEmpty();
    FitToWindow();
    modified = true;
}

// ---------------------------------------------------------------------------------------------
// Saving

QString CPicItem::AskSavePath() {
    if (savePathChooser) {
        return savePathChooser(this);
    }
    // The dialog asks before it replaces an existing file and adds no extension of its own.
    return QFileDialog::getSaveFileName(this, QString(), QString(), SaveFilter());
}

bool CPicItem::SaveAs() {
    if (!modified) {
        return false;
    }
    const QString path = AskSavePath();
    if (path.isEmpty()) {
        return false;
    }
    // A replaced file stays whole until the new one is complete: a full disk never costs the
    // user the picture that was there.
    const uint32_t type = FormatFromPath(path);
    QString reason;
    if (!SaveAtomically(
            path, [&](const QString& temporary) { return displayImage.Save(temporary, type); },
            &reason, true)) {
        // The edits stay marked as unsaved so that the user can try another name or format.
        QvMessageBox(QStringLiteral("图片保存失败：%1\n%2")
                         .arg(path, reason + u' ' + QString::fromUtf8(displayImage.GetLastError())),
                     ErrorCaption(), MessageIcon::kError);
        return false;
    }
    modified = false;
    return true;
}

// ---------------------------------------------------------------------------------------------
// Printing

PrintResult CPicItem::Print(const PrinterChoice& printer) {
    QString reason;
    const PrintResult result = PrintPicture(workImage, printer, &reason);
    QvMessageBox(PrintResultText(result, reason), PrintMessageCaption(),
                 result == PrintResult::kFailed ? MessageIcon::kError : MessageIcon::kNone);
    return result;
}

// ---------------------------------------------------------------------------------------------
// Text annotation

void CPicItem::ArmAnnotation() {
    CancelAnnotation();
    annotateState = 1;
}

void CPicItem::CancelAnnotation() {
    annotateState = 0;
    textEdit->clear();
    // The keyboard goes back to the picture, not on to the next field in the window.
    if (textEdit->hasFocus()) {
        setFocus(Qt::OtherFocusReason);
    }
    textEdit->hide();
}

QvColour CPicItem::AnnotationColour(int32_t x, int32_t top, int32_t bottom) const {
    const int32_t w = int32_t(displayImage.GetWidth());
    const int32_t h = int32_t(displayImage.GetHeight());
    const int32_t right = std::min(x + textEdit->width(), w);
    int64_t sum = 0;
    int64_t count = 0;
    for (int32_t y = std::max(top, 0); y < std::min(bottom, h); ++y) {
        for (int32_t i = x; i < right; ++i) {
            const QvColour c = displayImage.GetPixelColour(uint32_t(i), uint32_t(h - 1 - y));
            sum += 306 * QvRed(c) + 601 * QvGreen(c) + 117 * QvBlue(c);
            ++count;
        }
    }
    const bool light = count == 0 || sum / count >= 128 * 1024;
    return light ? QvRgb(0, 0, 0) : QvRgb(255, 255, 255);
}

void CPicItem::CommitAnnotation() {
    if (annotateState != 2) {
        return;
    }
    const QString text = textEdit->text();
    // Measured from the picture's top-left corner at 1:1; the text's top edge sits at the click.
    const int32_t x = textX - imageRect.left;
    const int32_t y = textY - imageRect.top;
    if (x >= 0 && y >= 0 && !text.isEmpty()) {
        const QString face = QStringLiteral("宋体");
        const int32_t height = textEdit->font().pixelSize();
        const int32_t bottom = y + CDibImage::TextExtent(text, face, height, 400, false, false).y;
        QImage scratch(1, 1, QImage::Format_RGB32);
        QPainter device(&scratch);
        if (displayImage.WriteText(&device, x, bottom, text, AnnotationColour(x, y, bottom), face,
                                   height, 400, false, false, false)) {
            modified = true;
        }
        update();
    }
    CancelAnnotation();
}

bool CPicItem::event(QEvent* event) {
    if (event->type() == WindowMessageEvent::EventType()) {
        auto* message = static_cast<WindowMessageEvent*>(event);
        if (message->message == qvmsg::kInputEditEnter) {
            CommitAnnotation();
            message->result = 0;
            return true;
        }
    }
    return CPicture::event(event);
}

void CPicItem::wheelEvent(QWheelEvent* event) {
    if (annotateState == 0) {
        CPicture::wheelEvent(event);
        return;
    }
    event->accept();
}

void CPicItem::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        CPicture::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    if (annotateState == 0) {
        CPicture::mousePressEvent(event);
        return;
    }
    // Armed, or typing: the click (another click moves the text) must land on the picture.
    const QPoint p = event->position().toPoint();
    if (ViewRect().Contains(p.x(), p.y())) {
        PlaceAnnotation(p);
    }
    event->accept();
}

// The picture is shown 1:1 while the text is typed, with the pixel clicked staying under the
// pointer, and the edit stands where the text will be written.
void CPicItem::PlaceAnnotation(const QPoint& click) {
    const QvRect view = ViewRect();
    const int32_t px = int32_t(int64_t(click.x() - view.left) * PictureWidth() / view.Width());
    const int32_t py = int32_t(int64_t(click.y() - view.top) * PictureHeight() / view.Height());
    ActualSize();
    imageRect = QvRect{click.x() - px, click.y() - py, click.x() - px + int32_t(PictureWidth()),
                       click.y() - py + int32_t(PictureHeight())};
    update();
    textEdit->setGeometry(click.x(), click.y(), 100, 20);
    textX = click.x();
    textY = click.y();
    textEdit->show();
    textEdit->raise();
    annotateState = 2;
    textEdit->setFocus(Qt::MouseFocusReason);
}

void CPicItem::resizeEvent(QResizeEvent* event) {
    // The picture is fitted again, away from the place the text was meant for.
    CancelAnnotation();
    CPicture::resizeEvent(event);
}
