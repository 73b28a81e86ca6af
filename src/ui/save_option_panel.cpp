#include "ui/save_option_panel.h"

#include <QPainter>
#include <QSignalBlocker>

#include "platform/font_faces.h"
#include "platform/window_messages.h"
#include "settings/stored_settings.h"
#include "ui/main_window_services.h"
#include "ui/mem_dc.h"
#include "ui/number_edit.h"

namespace {
const QRect kEditRect(QPoint(160, 71), QPoint(190, 91) - QPoint(1, 1));
}  // namespace

CSaveOption::CSaveOption(QWidget* parent)
    : COptionPanel(
          parent, COptionItem::kCheck,
          {QStringLiteral("左转90度"), QStringLiteral("右转90度"), QStringLiteral("自动裁切")}) {}

bool CSaveOption::Create(QWidget* parent, const QvRect& rect, const QString& windowName, int id) {
    Place(parent, rect, windowName, id);
    CreateEdit(kEditRect, 0, 100);
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
    if (CNumberEdit* edit = QualityEdit()) {
        const QSignalBlocker quiet(edit);
        edit->setText(QString::number(quality_));
    }
}

void CSaveOption::ShowChoices(int quality, int saveTurn, bool autoCrop) {
    SetQuality(quality);
    ItemRef(kTurnLeft).SetCheck(saveTurn == 1);
    ItemRef(kTurnRight).SetCheck(saveTurn == 2);
    ItemRef(kAutoCrop).SetCheck(autoCrop);
    update();
}

void CSaveOption::paintEvent(QPaintEvent*) {
    QPainter target(this);
    CMemDC memory(&target, rect());
    QPainter& painter = *memory.Painter();
    painter.fillRect(rect(), Qt::white);
    ItemRef(kAutoCrop).Paint(painter, 100, 11);
    ItemRef(kTurnLeft).Paint(painter, 100, 31);
    ItemRef(kTurnRight).Paint(painter, 100, 51);
    painter.setFont(PanelFont());
    painter.setPen(Qt::black);
    QvTextOut(painter, 10, 11, QStringLiteral("自动裁切"));
    QvTextOut(painter, 10, 31, QStringLiteral("文件保存方向"));
    QvTextOut(painter, 10, 71, QStringLiteral("图片JPEG压缩质量(0~100):"));
}

void CSaveOption::OnOptionChanged(int itemId, int state) {
    if (itemId == kAutoCrop) {
        if (MainWindowServices* main = TheMainWindow()) {
            SendWindowMessage(main->MessageTarget(), qvmsg::kAutoCropChanged, WParam(state), 0);
        }
    }
    if (itemId == kAutoCrop) {
        return;
    }
    if (state != 0 && itemId == kTurnLeft) {
        Uncheck(kTurnRight);
    } else if (state != 0 && itemId == kTurnRight) {
        Uncheck(kTurnLeft);
    }
    if (MainWindowServices* main = TheMainWindow()) {
        main->WriteSetting(qvini::kPic, qvini::kSaveTurn, SaveTurn());
    }
}

void CSaveOption::OnEditChanged() {
    quality_ = CNumberEdit::LeadingValue(QualityEdit()->text());
    if (MainWindowServices* main = TheMainWindow()) {
        main->WriteSetting(qvini::kPic, qvini::kQuantity, quality_);
    }
}
