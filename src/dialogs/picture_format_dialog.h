#pragma once
// CPicFormatDlg ("输出图片格式设置"): the file format of photographs (0 BMP, 1 JPEG, 2 TIFF,
// 3 PNG) and the interval of continuous photos in seconds. A format item clicked on is taken at
// once; the interval only by "确定". "取消" and the close button keep the interval, "默认" does
// nothing. The main window sets both values before the dialog runs and reads both back after.

#include <QFont>

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
    QLineEdit* IntervalEdit() const { return edit_; }

protected:
    bool OnInitDialog() override;
    bool OnEnterKey() override;
    void OnOptionChanged(int itemId) override;
    bool OnButtonClicked(int controlId) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void Confirm();

    QLineEdit* edit_;
    int format_ = 0;
    int interval_ = 2;
};
