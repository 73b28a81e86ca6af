#pragma once
// CSaveNotice: a small banner over the main window's skin that says a photo was not saved and
// why. It never takes the focus and hides itself after a few seconds, so that continuous photos
// into an unusable folder do not pile up boxes the user must close one by one: each new failure
// replaces the text and counts the photos lost since the banner appeared.

#include <QLabel>
#include <QTimer>

class CSaveNotice : public QLabel {
    Q_OBJECT

public:
    static constexpr int kShowMilliseconds = 5000;

    explicit CSaveNotice(QWidget* parent);

    // Shows (or refreshes) the banner for one photo that was not written.
    void ShowFailure(const QString& path, const QString& reason);
    // Shows the banner with a message of its own (a problem with the settings file), which photo
    // failures add to until the banner hides.
    void ShowMessage(const QString& text);
    int FailuresShown() const { return failures_; }

private:
    void Display(const QString& text, const QString& tip);
    void Place();

    QTimer hideTimer_;
    int failures_ = 0;
    QString message_;
};
