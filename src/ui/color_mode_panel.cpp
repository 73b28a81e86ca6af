#include "ui/color_mode_panel.h"

#include <QPaintEvent>
#include <QPainter>
#include <QSignalBlocker>
#include <algorithm>
#include <cstdint>

#include "platform/font_faces.h"
#include "settings/stored_settings.h"
#include "ui/main_window_services.h"
#include "ui/mem_dc.h"
#include "ui/number_edit.h"
#include "view/picture_view.h"

namespace {
constexpr int kStillPictureMode = 1;
const QRect kEditRect(QPoint(160, 56), QPoint(190, 76) - QPoint(1, 1));
}  // namespace

CColorMode::CColorMode(QWidget* parent)
    : COptionPanel(parent, COptionItem::kRadio,
                   {QStringLiteral("彩色"), QStringLiteral("灰度"), QStringLiteral("黑白")}) {}

bool CColorMode::Create(QWidget* parent, const QvRect& rect, const QString& windowName, int id) {
    Place(parent, rect, windowName, id);
    if (CreateEdit(kEditRect, 0, 255)) {
        // Showing the value is no change by the user: it must not overwrite the stored one.
        const QSignalBlocker quiet(ThresholdEdit());
        ThresholdEdit()->setText(QString::number(threshold_));
    }
    for (int itemId = 1; itemId <= 3; ++itemId) {
        ItemRef(itemId).SetCheck(itemId == mode_ + 1);
    }
    update();
    show();
    return true;
}

void CColorMode::paintEvent(QPaintEvent*) {
    QPainter target(this);
    CMemDC memory(&target, rect());
    QPainter& painter = *memory.Painter();
    painter.fillRect(rect(), Qt::white);
    ItemRef(1).Paint(painter, 50, 2);
    ItemRef(2).Paint(painter, 50, 22);
    ItemRef(3).Paint(painter, 50, 42);
    painter.setFont(PanelFont());
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

void CColorMode::OnOptionChanged(int itemId, int) {
    if (itemId < 1 || itemId > 3) {
        return;
    }
    const int threshold = EditValue();
    for (int other = 1; other <= 3; ++other) {
        if (other != itemId) {
            Uncheck(other);
        }
    }
    mode_ = itemId - 1;
    threshold_ = threshold;
    HandOver(mode_, threshold);
    Store(qvini::kColourMode, mode_);
}

void CColorMode::OnEditChanged() {
    threshold_ = EditValue();
    if (mode_ == kBlackWhite) {
        HandOver(kBlackWhite, threshold_);
    }
    Store(qvini::kThreshold, threshold_);
}

void CColorMode::Store(const QString& key, int value) {
    if (MainWindowServices* main = TheMainWindow()) {
        main->WriteSetting(qvini::kPic, key, value);
    }
}

int CColorMode::EditValue() const {
    return Edit() != nullptr ? CNumberEdit::LeadingValue(Edit()->text()) : threshold_;
}

void CColorMode::ApplyToLivePicture() {
    HandOver(mode_, threshold_);
}

void CColorMode::ShowChoice(int mode, int threshold) {
    mode_ = mode;
    threshold_ = threshold;
    for (int itemId = 1; itemId <= 3; ++itemId) {
        ItemRef(itemId).SetCheck(itemId == mode_ + 1);
    }
    if (CNumberEdit* edit = ThresholdEdit()) {
        const QSignalBlocker quiet(edit);
        edit->setText(QString::number(threshold_));
    }
    update();
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
