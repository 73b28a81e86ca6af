#pragma once
// CShuiYinDlg ("水印设置"): the text written onto every photo, where on the picture it goes,
// its font and colour, and whether the capture date and time are added as a second line.
//
// The white positioning area on the left stands for the picture turned a quarter to the left:
// after "定位" a click in it places the red marker, whose place in the area gives the two
// ratios. The main window sets the values before running the dialog and reads them back after
// it, whichever way it was closed; closing takes the edit's text as "输入" does. A confirmed
// font and colour reach the main window at once.

#include <QFont>
#include <QString>
#include <functional>

#include "platform/win_types.h"
#include "ui/option_item.h"
#include "ui/qv_dialog.h"

class CQVButton;
class QLineEdit;

class CShuiYinDlg : public CQVDialog {
    Q_OBJECT

public:
    static constexpr int kFontButtonId = 1040;
    static constexpr int kPositionButtonId = 1043;
    static constexpr int kInputButtonId = 1042;
    static constexpr int kDateItemId = 1;
    // The positioning area in client pixels: its top-left corner gives the ratios 0 and 0, its
    // bottom-right corner 1 and 1.
    static constexpr QvRect kPositionArea{30, 50, 240, 350};
    static constexpr int kMarkerSize = 5;

    // Lets the user pick a font and then a colour, starting from the given ones. False when the
    // font was not confirmed; a colour not confirmed keeps the one given.
    using FontPicker = std::function<bool(QFont& font, QvColour& colour, QWidget* parent)>;
    // Receives a confirmed font (pixel-sized) and colour.
    using FontChosen = std::function<void(const QFont& font, QvColour colour)>;

    explicit CShuiYinDlg(QWidget* parent = nullptr);
    ~CShuiYinDlg() override;

    void SetValues(float horizontalRatio, float verticalRatio, const QString& text, bool date);
    // The watermark font and colour the font button starts from, and who gets the chosen ones.
    void SetWatermarkFont(const QFont& font, QvColour colour, FontChosen chosen);
    // Replaces the font and colour dialogs (tests, scripted runs); empty restores them.
    void SetFontPicker(FontPicker picker) { fontPicker_ = std::move(picker); }

    float HorizontalRatio() const { return horizontalRatio_; }
    float VerticalRatio() const { return verticalRatio_; }
    const QString& Text() const { return text_; }
    bool DateFlag() const { return dateFlag_; }
    const QFont& WatermarkFont() const { return font_; }
    QvColour WatermarkColour() const { return colour_; }
    QvPoint Marker() const { return marker_; }
    bool IsPositioningArmed() const { return positioningArmed_; }
    QLineEdit* TextEdit() const { return textEdit_; }
    CQVButton* Button(int id) const;
    const COptionItem& DateItem() const { return dateItem_; }

    // The font as the photo pipeline needs it: sized in pixels. A size in points, as the font
    // dialog gives it, is converted at dotsPerInch (the screen's, where the dialog showed it).
    static QFont PixelSizedFont(const QFont& font, qreal dotsPerInch);

protected:
    bool OnInitDialog() override;
    void Apply() override;
    // However the dialog is closed (the close button, Escape, the window manager).
    void done(int result) override;

    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    CQVButton* MakeButton(int id, int x, int y, int textX, const QString& label);
    void PickFont();
    void TakeText();
    bool PickWithDialogs(QFont& font, QvColour& colour);
    qreal ScreenDpi() const;
    void PaintPositionArea(QPainter& painter) const;
    void PaintCurrentText(QPainter& painter) const;

    CQVButton* fontButton_ = nullptr;
    CQVButton* positionButton_ = nullptr;
    CQVButton* inputButton_ = nullptr;
    QLineEdit* textEdit_ = nullptr;
    COptionItem dateItem_;
    QString text_;
    bool dateFlag_ = false;
    float horizontalRatio_ = 0.0f;
    float verticalRatio_ = 0.0f;
    bool positioningArmed_ = false;
    // The marker stands for the ratios; only a marker the user placed gives new ones, so that
    // opening and closing the dialog never moves the watermark.
    QvPoint marker_{-1, -1};
    bool markerPlaced_ = false;
    QFont textFont_;
    QFont font_;
    QvColour colour_ = 0;
    FontChosen fontChosen_;
    FontPicker fontPicker_;
};
