#include "dialogs/watermark_dialog.h"

#include <QColorDialog>
#include <QFontDialog>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <algorithm>
#include <cmath>

#include "platform/font_faces.h"
#include "platform/window_messages.h"
#include "ui/main_window_services.h"
#include "ui/qv_button.h"

namespace {
constexpr int kGeneralNormal = 211;
constexpr int kGeneralHover = 210;
constexpr int kGeneralPressed = 202;
constexpr QvColour kWhite = QvRgb(255, 255, 255);
// 386 x 230 dialog units, grown at the bottom so that the positioning area (down to y = 350)
// keeps a margin as wide as the one on its left.
constexpr int kDialogWidth = 579;
constexpr int kDialogHeight = 380;
constexpr QPoint kFontButtonAt(300, 100);
constexpr QPoint kPositionButtonAt(300, 150);
constexpr QPoint kInputButtonAt(490, 185);
const QRect kTextEditRect(300, 188, 180, 24);
constexpr QPoint kDateItemAt(300, 240);
// Lined up with the controls above it.
constexpr QPoint kCurrentTextAt(300, 260);
constexpr int kRightMargin = 15;
constexpr QPoint kFontSampleAt(392, 109);
constexpr QPoint kPositionHintAt(392, 159);
constexpr int kSwatchSize = 12;
constexpr qreal kPointsPerInch = 72.0;
constexpr qreal kDefaultDpi = 96.0;

const CDibImage* Skin(int number) {
    const MainWindowServices* main = TheMainWindow();
    return main != nullptr ? main->SkinImage(number) : nullptr;
}

QColor ToQColor(QvColour c) {
    return QColor(QvRed(c), QvGreen(c), QvBlue(c));
}

// The area's pixel for a ratio: truncated, as the ratios were made from whole pixels.
int32_t AreaOffset(int32_t extent, float ratio) {
    return static_cast<int32_t>(static_cast<float>(extent) * ratio);
}
}  // namespace

CShuiYinDlg::CShuiYinDlg(QWidget* parent)
    : CQVDialog(parent),
      dateItem_(this, kDateItemId, COptionItem::kCheck),
      textFont_(QvFont(QStringLiteral("宋体"), 12, 400)),
      font_(QvFont(QStringLiteral("宋体"), 16, 400)) {
    SetTitle(QStringLiteral("水印设置"));
    setFixedSize(kDialogWidth, kDialogHeight);
    dateItem_.SetText(QStringLiteral("添加日期水印"));
}

CShuiYinDlg::~CShuiYinDlg() = default;

void CShuiYinDlg::SetValues(float horizontalRatio, float verticalRatio, const QString& text,
                            bool date) {
    horizontalRatio_ = horizontalRatio;
    verticalRatio_ = verticalRatio;
    text_ = text;
    dateFlag_ = date;
}

void CShuiYinDlg::SetWatermarkFont(const QFont& font, QvColour colour, FontChosen chosen) {
    font_ = font;
    colour_ = colour;
    fontChosen_ = std::move(chosen);
}

CQVButton* CShuiYinDlg::Button(int id) const {
    switch (id) {
        case kFontButtonId:
            return fontButton_;
        case kPositionButtonId:
            return positionButton_;
        case kInputButtonId:
            return inputButton_;
        default:
            return nullptr;
    }
}

CQVButton* CShuiYinDlg::MakeButton(int id, int x, int y, int textX, const QString& label) {
    auto* button = new CQVButton(this, id);
    button->move(x, y);
    button->SetImages(Skin(kGeneralNormal), Skin(kGeneralHover), Skin(kGeneralPressed));
    button->SetTextColour(kWhite);
    button->SetText(textX, 10, label);
    button->show();
    return button;
}

bool CShuiYinDlg::OnInitDialog() {
    CQVDialog::OnInitDialog();
    fontButton_ = MakeButton(kFontButtonId, kFontButtonAt.x(), kFontButtonAt.y(), 10,
                             QStringLiteral("字体设置"));
    positionButton_ = MakeButton(kPositionButtonId, kPositionButtonAt.x(), kPositionButtonAt.y(),
                                 10, QStringLiteral("定位"));
    inputButton_ = MakeButton(kInputButtonId, kInputButtonAt.x(), kInputButtonAt.y(), 25,
                              QStringLiteral("输入"));
    textEdit_ = new QLineEdit(this);
    textEdit_->setGeometry(kTextEditRect);
    textEdit_->setFont(textFont_);
    textEdit_->setText(text_);
    textEdit_->setPlaceholderText(QStringLiteral("水印文字"));
    // Enter in the edit does what "输入" does.
    connect(textEdit_, &QLineEdit::returnPressed, this, &CShuiYinDlg::TakeText);
    textEdit_->show();
    dateItem_.SetCheck(dateFlag_);
    marker_ = {kPositionArea.left + AreaOffset(kPositionArea.Width(), horizontalRatio_),
               kPositionArea.top + AreaOffset(kPositionArea.Height(), verticalRatio_)};
    return true;
}

// The text in the edit is the watermark's once the dialog closes, confirmed with "输入" or not:
// a text the user sees in the edit and then never finds on a photo would be a silent loss.
void CShuiYinDlg::Apply() {
    if (textEdit_ != nullptr) {
        text_ = textEdit_->text();
    }
    if (!markerPlaced_) {
        return;
    }
    horizontalRatio_ = static_cast<float>(marker_.x - kPositionArea.left) /
                       static_cast<float>(kPositionArea.Width());
    verticalRatio_ = static_cast<float>(marker_.y - kPositionArea.top) /
                     static_cast<float>(kPositionArea.Height());
}

void CShuiYinDlg::done(int result) {
    Apply();
    CQVDialog::done(result);
}

bool CShuiYinDlg::event(QEvent* event) {
    if (event->type() == WindowMessageEvent::EventType()) {
        auto* message = static_cast<WindowMessageEvent*>(event);
        if (message->message == qvmsg::kButtonClicked) {
            switch (int(message->wParam)) {
                case kFontButtonId:
                    PickFont();
                    return true;
                case kPositionButtonId:
                    positioningArmed_ = true;
                    update();
                    return true;
                case kInputButtonId:
                    TakeText();
                    return true;
                default:
                    break;
            }
        } else if (message->message == qvmsg::kOptionChanged) {
            return true;  // the date flag is read from the item after its click
        }
    }
    return CQVDialog::event(event);
}

void CShuiYinDlg::TakeText() {
    text_ = textEdit_->text();
    update();
}

// ---------------------------------------------------------------------------------------------
// Font and colour

QFont CShuiYinDlg::PixelSizedFont(const QFont& font, qreal dotsPerInch) {
    QFont sized(font);
    if (font.pixelSize() <= 0 && font.pointSizeF() > 0) {
        sized.setPixelSize(
            std::max(1, int(std::lround(font.pointSizeF() * dotsPerInch / kPointsPerInch))));
    }
    return sized;
}

qreal CShuiYinDlg::ScreenDpi() const {
    const QScreen* shown = screen();
    return shown != nullptr && shown->logicalDotsPerInchY() > 0 ? shown->logicalDotsPerInchY()
                                                                : kDefaultDpi;
}

bool CShuiYinDlg::PickWithDialogs(QFont& font, QvColour& colour) {
    // The font dialog lists installed families and sizes in points: the font is shown as the
    // family it resolves to, at its size in points.
    QFont shown(font);
    shown.setFamily(QFontInfo(font).family());
    if (font.pixelSize() > 0) {
        shown.setPointSizeF(font.pixelSize() * kPointsPerInch / ScreenDpi());
    }
    bool confirmed = false;
    const QFont picked = QFontDialog::getFont(&confirmed, shown, this, QStringLiteral("字体"));
    if (!confirmed) {
        return false;
    }
    font = picked;
    const QColor chosen = QColorDialog::getColor(ToQColor(colour), this, QStringLiteral("颜色"));
    if (chosen.isValid()) {
        colour = QvRgb(uint8_t(chosen.red()), uint8_t(chosen.green()), uint8_t(chosen.blue()));
    }
    return true;
}

void CShuiYinDlg::PickFont() {
    QFont font(font_);
    QvColour colour = colour_;
    const bool confirmed =
        fontPicker_ ? fontPicker_(font, colour, this) : PickWithDialogs(font, colour);
    if (!confirmed) {
        return;
    }
    font_ = PixelSizedFont(font, ScreenDpi());
    colour_ = colour;
    if (fontChosen_) {
        fontChosen_(font_, colour_);
    }
    update();
}

// ---------------------------------------------------------------------------------------------
// Painting and the mouse

void CShuiYinDlg::paintEvent(QPaintEvent* event) {
    CQVDialog::paintEvent(event);
    QPainter painter(this);
    PaintPositionArea(painter);
    painter.setPen(Qt::black);
    dateItem_.Paint(painter, kDateItemAt.x(), kDateItemAt.y());
    PaintCurrentText(painter);
}

void CShuiYinDlg::PaintPositionArea(QPainter& painter) const {
    const QRect area(kPositionArea.left, kPositionArea.top, kPositionArea.Width(),
                     kPositionArea.Height());
    painter.fillRect(area, Qt::white);
    painter.setPen(QColor(0xB4, 0xBC, 0xC8));
    painter.drawRect(area.adjusted(-1, -1, 0, 0));
    // What the area stands for, faint enough to leave the marker the eye-catcher.
    painter.setPen(QColor(0xD0, 0xD4, 0xDA));
    painter.setFont(textFont_);
    painter.drawText(area, Qt::AlignCenter, QStringLiteral("水印位置"));
    if (marker_.x >= 0 && marker_.y >= 0) {
        painter.fillRect(marker_.x, marker_.y, kMarkerSize, kMarkerSize, Qt::red);
    }
}

void CShuiYinDlg::PaintCurrentText(QPainter& painter) const {
    painter.setFont(textFont_);
    const QFontMetrics metrics(textFont_);
    // The chosen font and colour, next to the button that changes them.
    painter.fillRect(kFontSampleAt.x(), kFontSampleAt.y(), kSwatchSize, kSwatchSize,
                     ToQColor(colour_));
    painter.setPen(QColor(0x80, 0x80, 0x80));
    painter.drawRect(kFontSampleAt.x(), kFontSampleAt.y(), kSwatchSize - 1, kSwatchSize - 1);
    painter.setPen(Qt::black);
    const int sampleX = kFontSampleAt.x() + kSwatchSize + 6;
    const QFont sized = PixelSizedFont(font_, ScreenDpi());
    QvTextOut(
        painter, sampleX, kFontSampleAt.y(),
        metrics.elidedText(QStringLiteral("%1 %2像素").arg(sized.family()).arg(sized.pixelSize()),
                           Qt::ElideRight, width() - kRightMargin - sampleX));
    // The hint stands out while the next click in the area places the marker.
    painter.setPen(positioningArmed_ ? QColor(0xC0, 0x10, 0x10) : QColor(0x60, 0x60, 0x60));
    QvTextOut(painter, kPositionHintAt.x(), kPositionHintAt.y(),
              QStringLiteral("再单击左侧区域放置水印"));
    if (text_.isEmpty()) {
        return;
    }
    painter.setPen(Qt::black);
    const QString line = QStringLiteral("当前文本:") + text_;
    QvTextOut(
        painter, kCurrentTextAt.x(), kCurrentTextAt.y(),
        metrics.elidedText(line, Qt::ElideRight, width() - kRightMargin - kCurrentTextAt.x()));
}

void CShuiYinDlg::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        const QPoint at = event->position().toPoint();
        if (dateItem_.Click({at.x(), at.y()})) {
            dateFlag_ = dateItem_.IsChecked();
        }
    }
    CQVDialog::mousePressEvent(event);
}

void CShuiYinDlg::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton && positioningArmed_ &&
        kPositionArea.Contains(at.x(), at.y())) {
        marker_ = {at.x(), at.y()};
        markerPlaced_ = true;
        positioningArmed_ = false;
        update();
    }
    CQVDialog::mouseReleaseEvent(event);
}
