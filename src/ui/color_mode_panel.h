#pragma once
// CColorMode: the panel of the main window's right-hand column that chooses how the live picture
// and the photographs are coloured ("彩色", "灰度", "黑白") and the black-and-white threshold.
// A choice takes effect at once: the panel writes the mode and threshold into the live picture
// view, whose frame handler applies them to every frame; nothing is changed there while the
// main window shows a still picture. The user's choices are written to the settings file; a
// first run starts in colour with threshold 128.

#include "ui/option_panel.h"

class CColorMode : public COptionPanel {
    Q_OBJECT

public:
    enum Mode { kColour = 0, kGrey = 1, kBlackWhite = 2 };
    static constexpr int kDefaultThreshold = 128;

    explicit CColorMode(QWidget* parent = nullptr);

    // Places the panel (window name and control id as the main window gives them), creates the
    // threshold edit and checks the current mode's item.
    bool Create(QWidget* parent, const QvRect& rect, const QString& windowName, int id);

    // Hands the panel's mode and threshold to the live picture view again: a choice made while a
    // still picture was shown reaches the live picture when the main window returns to it.
    void ApplyToLivePicture();
    // Shows the mode and threshold and hands them to the live picture, without writing them back
    // (the stored ones at start, the first-run ones after "默认设置").
    void ShowChoice(int mode, int threshold);

    int Mode() const { return mode_; }
    int Threshold() const { return threshold_; }
    CNumberEdit* ThresholdEdit() const { return Edit(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void OnOptionChanged(int itemId, int state) override;
    void OnEditChanged() override;

private:
    int EditValue() const;
    void HandOver(int mode, int threshold);
    void Store(const QString& key, int value);

    int mode_ = kColour;
    int threshold_ = kDefaultThreshold;
};
