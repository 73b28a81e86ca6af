#pragma once
// CQVButton: a button drawn from three skin images (normal, hover, pressed). A click, a press
// and a release inside while enabled, reaches the parent as the button-clicked window message
// (1227) with the button's control id. The images belong to the main window; the button only
// points to them.

#include <QFont>
#include <QString>
#include <QWidget>

#include "platform/win_types.h"

class CDibImage;

class CQVButton : public QWidget {
    Q_OBJECT

public:
    enum State { kNormal = 0, kHover = 1, kPressed = 2 };

    CQVButton(QWidget* parent, int controlId);

    // Gives the three images; the window becomes the normal image's size plus the extras, its
    // left edge moving left by half the extra width.
    void SetImages(const CDibImage* normal, const CDibImage* hover, const CDibImage* pressed,
                   int extraWidth = 0, int extraHeight = 0);
    void MoveTo(int x, int y);
    // Text and its position inside the button.
    void SetText(int x, int y, const QString& text);
    void SetTextColour(QvColour colour);

    int ControlId() const { return controlId_; }
    State ButtonState() const { return state_; }
    const QString& Text() const { return text_; }
    QvPoint TextPosition() const { return {textX_, textY_}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void SetState(State state);
    const CDibImage* StateImage() const;

    int controlId_;
    const CDibImage* normal_ = nullptr;
    const CDibImage* hover_ = nullptr;
    const CDibImage* pressed_ = nullptr;
    int extraWidth_ = 0;
    int extraHeight_ = 0;
    State state_ = kNormal;
    QString text_;
    int textX_ = 0;
    int textY_ = 0;
    QvColour textColour_ = 0;
    QFont font_;
    QFont boldFont_;
};
