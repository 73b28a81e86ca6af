#pragma once
// CPicFormatDlg ("输出图片格式设置"): the file format of photographs (0 BMP, 1 JPEG, 2 TIFF,
// 3 PNG) and how "开始连拍" takes photos: "定时拍照" at an interval in seconds, or "翻页拍照", one
// photo each time a new page lies still. A format item clicked on is taken at once; the interval
// and the kind of automatic photos only by "确定". "取消" and the close button keep them, "默认"
// does nothing. The main window sets the values before the dialog runs and reads them back after.

#include <QFont>
#include <array>

#include "ui/option_dialog.h"

class QLineEdit;

class CPicFormatDlg : public CQVOptionDialog {
    Q_OBJECT

public:
    static constexpr int kOkButtonId = 1033;
    static constexpr int kCancelButtonId = 1034;
    static constexpr int kDefaultButtonId = 1035;
    // The interval edit takes at most this many digits: up to 999999 seconds, so its value
    // always fits the timer's arithmetic.
    static constexpr int kMaxIntervalDigits = 6;

    explicit CPicFormatDlg(QWidget* parent = nullptr);

    void SetFormat(int format) { format_ = format; }
    int Format() const { return format_; }
    void SetInterval(int seconds) { interval_ = seconds; }
    int Interval() const { return interval_; }
    // 0 timed photos, 1 a photo on each new page.
    void SetAutoMode(int mode) { autoMode_ = mode; }
    int AutoMode() const { return autoMode_; }
    QLineEdit* IntervalEdit() const { return edit_; }
    // The two items of the automatic photos: kTimedItem "定时拍照", kPageItem "翻页拍照".
    static constexpr int kTimedItem = 5;
    static constexpr int kPageItem = 6;
    const COptionItem& ModeItem(int itemId) const {
        return modeItems_.at(size_t(itemId - kTimedItem));
    }

protected:
    bool OnInitDialog() override;
    bool OnEnterKey() override;
    void OnOptionChanged(int itemId) override;
    bool OnButtonClicked(int controlId) override;
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void Confirm();
    // Checks the item of the automatic photos' kind and only it; the interval is edited only for
    // timed photos.
    void CheckMode(int itemId);

    QLineEdit* edit_;
    std::array<COptionItem, 2> modeItems_;
    int format_ = 0;
    int interval_ = 2;
    int autoMode_ = 0;
};
