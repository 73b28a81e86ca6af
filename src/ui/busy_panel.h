#pragma once
// CBusyPanel: a small panel over the work region while long work runs in the background: what
// is being done, how far it has come, and a "取消" button. The windows under it keep working
// and painting; a click on the button reaches the owner as the CancelRequested signal.

#include <QFont>
#include <QString>
#include <QWidget>

class CQVButton;

class CBusyPanel : public QWidget {
    Q_OBJECT

public:
    static constexpr int kCancelButtonId = 1;
    static constexpr int kWidth = 320;
    static constexpr int kHeight = 120;

    explicit CBusyPanel(QWidget* parent = nullptr);

    void SetText(const QString& text);
    // Percent done, 0 ... 100; 0 shows the bar without progress.
    void SetProgress(int percent);
    // Shows the panel centred on `area` (parent coordinates), above its siblings.
    void ShowOver(const QRect& area);

    const QString& Text() const { return text_; }
    int Progress() const { return progress_; }
    CQVButton* CancelButton() const { return cancelButton_; }

signals:
    void CancelRequested();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    CQVButton* cancelButton_ = nullptr;
    QString text_;
    int progress_ = 0;
    QFont font_;
};
