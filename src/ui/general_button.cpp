#include "ui/general_button.h"

#include <QFontMetrics>

#include "platform/font_faces.h"
#include "ui/main_window_services.h"
#include "ui/qv_button.h"

namespace {
constexpr int kNormal = 211;
constexpr int kHover = 210;
constexpr int kPressed = 202;
constexpr int kWidth = 80;
constexpr int kHeight = 30;
constexpr int kLabelHeight = 12;
constexpr QvColour kWhite = QvRgb(255, 255, 255);

const CDibImage* Skin(int number) {
    const MainWindowServices* main = TheMainWindow();
    return main != nullptr ? main->SkinImage(number) : nullptr;
}
}  // namespace

CQVButton* MakeGeneralButton(QWidget* parent, int controlId, const QString& text) {
    auto* button = new CQVButton(parent, controlId);
    button->resize(kWidth, kHeight);
    button->SetImages(Skin(kNormal), Skin(kHover), Skin(kPressed));
    const int labelWidth =
        QFontMetrics(QvFont(QStringLiteral("宋体"), kLabelHeight)).horizontalAdvance(text);
    button->SetText((button->width() - labelWidth) / 2, (button->height() - kLabelHeight) / 2,
                    text);
    button->SetTextColour(kWhite);
    return button;
}
