#pragma once
// CQVDialog: the base of the settings dialogs. A borderless window with rounded corners, skinned
// from the main window's dialog skin: a 34-pixel title band that drags the window, the title
// text, and a close button that confirms the dialog (Apply, then OnOK).
//
// Derived dialogs create their controls in OnInitDialog (after calling the base), paint in
// paintEvent after CQVDialog::paintEvent, and receive their controls' window messages in
// event() (call the base for everything they do not handle).

#include <QDialog>
#include <QFont>
#include <QPoint>
#include <QString>

#include "image/dib_image.h"

class CQVButton;

class CQVDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr int kCloseButtonId = 0xFFFF;
    static constexpr int kTitleBandHeight = 34;

    explicit CQVDialog(QWidget* parent = nullptr);
    ~CQVDialog() override;

    void SetTitle(const QString& title);
    const QString& Title() const { return title_; }
    bool IsDragging() const { return dragging_; }
    CQVButton* CloseButton() const { return closeButton_; }

protected:
    // Runs once, before the dialog is first shown. Returns true.
    virtual bool OnInitDialog();
    virtual void OnOK() { accept(); }
    virtual void OnCancel() { reject(); }
    // Copies the controls' state into the dialog's result fields; empty here.
    virtual void Apply() {}
    // Enter or Return pressed in the dialog: does what the dialog's confirming button does and
    // returns true. The base leaves the key to the platform dialog.
    virtual bool OnEnterKey() { return false; }
    // A click (message 1227) on one of the derived dialog's own buttons; true when handled.
    virtual bool OnButtonClicked(int controlId) {
        (void)controlId;
        return false;
    }

    // A button in the main window's general button skins, with a white label at (25, 10),
    // placed at (x, y); its clicks reach this dialog as message 1227 with controlId.
    CQVButton* AddGeneralButton(int controlId, const QString& label, int x, int y);

    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

    QFont titleFont_;

private:
    void CutSkin();
    void ApplyShape();

    CDibImage titleImage_;
    CDibImage bodyImage_;
    bool skinCut_ = false;
    bool initialised_ = false;
    bool dragging_ = false;
    QPoint dragOffset_;
    CQVButton* closeButton_ = nullptr;
    QString title_;
};
