#pragma once
// CSaveOption: the panel of the main window's right-hand column with the options applied when a
// photograph is saved: automatic cropping ("自动裁切", reported to the main window at once as
// message 1232), a turn of the saved file by 90 degrees left or right (never both; the photo
// pipeline reads them when it saves) and the JPEG quality. The quality and the turn are written to
// the settings file on every change the user makes; automatic cropping by the main window.

#include "ui/option_panel.h"

class CSaveOption : public COptionPanel {
    Q_OBJECT

public:
    enum ItemId { kTurnLeft = 1, kTurnRight = 2, kAutoCrop = 3 };

    explicit CSaveOption(QWidget* parent = nullptr);

    // Places the panel (window name and control id as the main window gives them) and creates
    // the quality edit showing the current quality.
    bool Create(QWidget* parent, const QvRect& rect, const QString& windowName, int id);

    // The quality read from the settings file; shown in the edit without being written back.
    void SetQuality(int quality);
    int Quality() const { return quality_; }

    bool IsTurnLeft() const { return Item(kTurnLeft).IsChecked(); }
    bool IsTurnRight() const { return Item(kTurnRight).IsChecked(); }
    bool IsAutoCrop() const { return Item(kAutoCrop).IsChecked(); }
    CNumberEdit* QualityEdit() const { return Edit(); }
    // 0 not turned, 1 left, 2 right ([PIC] saveturn).
    int SaveTurn() const { return IsTurnLeft() ? 1 : IsTurnRight() ? 2 : 0; }
    // Shows the stored choices without writing them back or reporting them.
    void ShowChoices(int quality, int saveTurn, bool autoCrop);

protected:
    void paintEvent(QPaintEvent* event) override;
    void OnOptionChanged(int itemId, int state) override;
    void OnEditChanged() override;

private:
    void ShowQuality();

    int quality_ = 50;
};
