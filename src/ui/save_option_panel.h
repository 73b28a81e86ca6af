#pragma once
// CSaveOption: the panel of the main window's right-hand column with the options applied when a
// photograph is saved: automatic cropping ("自动裁切", reported to the main window at once as
// message 1232), a turn of the saved file by 90 degrees left or right (never both; the photo
// pipeline reads them when it saves) and the JPEG quality, written to the settings file on every
// change the user makes.

#include <QFont>
#include <QWidget>
#include <array>

#include "platform/win_types.h"
#include "ui/option_item.h"

class CNumberEdit;

class CSaveOption : public QWidget {
    Q_OBJECT

public:
    enum ItemId { kTurnLeft = 1, kTurnRight = 2, kAutoCrop = 3 };

    explicit CSaveOption(QWidget* parent = nullptr);

    // Places the panel (window name and control id as the main window gives them) and creates
    // the quality edit showing the current quality.
    bool Create(QWidget* parent, const QvRect& rect, const QString& windowName, int id);
    int Id() const { return id_; }

    // The quality read from the settings file; shown in the edit without being written back.
    void SetQuality(int quality);
    int Quality() const { return quality_; }

    bool IsTurnLeft() const { return items_[kTurnLeft - 1].IsChecked(); }
    bool IsTurnRight() const { return items_[kTurnRight - 1].IsChecked(); }
    bool IsAutoCrop() const { return items_[kAutoCrop - 1].IsChecked(); }
    CNumberEdit* QualityEdit() const { return edit_; }
    const COptionItem& Item(int itemId) const { return items_[size_t(itemId - 1)]; }

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void OnOptionChanged(int itemId, int state);
    void OnQualityChanged();
    void Uncheck(int itemId);
    void ShowQuality();

    QFont font_;
    std::array<COptionItem, 3> items_;
    CNumberEdit* edit_ = nullptr;
    int id_ = 0;
    int quality_ = 50;
};
