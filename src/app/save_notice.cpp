#include "app/save_notice.h"

#include <QFileInfo>

CSaveNotice::CSaveNotice(QWidget* parent) : QLabel(parent) {
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setWordWrap(true);
    setMargin(8);
    setStyleSheet(
        QStringLiteral("background-color: rgba(176, 32, 32, 225); color: white;"
                       "border-radius: 6px;"));
    hideTimer_.setSingleShot(true);
    hideTimer_.setInterval(kShowMilliseconds);
    connect(&hideTimer_, &QTimer::timeout, this, [this] {
        hide();
        failures_ = 0;
        message_.clear();
    });
    hide();
}

void CSaveNotice::ShowFailure(const QString& path, const QString& reason) {
    ++failures_;
    const QString name =
        path.isEmpty() ? QStringLiteral("（无文件名）") : QFileInfo(path).fileName();
    QString text = QStringLiteral("照片未保存：%1\n%2").arg(name, reason);
    if (failures_ > 1) {
        text += QStringLiteral("\n（已有 %1 张照片未保存）").arg(failures_);
    }
    // A message shown just before (the settings file could not be written either) stays.
    if (!message_.isEmpty()) {
        text += u'\n' + message_;
    }
    Display(text, path);
}

void CSaveNotice::ShowMessage(const QString& text) {
    message_ = text;
    Display(text, QString());
}

void CSaveNotice::Display(const QString& text, const QString& tip) {
    setText(text);
    setToolTip(tip);
    Place();
    show();
    raise();
    hideTimer_.start();
}

// Across the bottom of the parent, clear of the window's rounded corners.
void CSaveNotice::Place() {
    if (parentWidget() == nullptr) {
        return;
    }
    const int width = qMin(560, parentWidget()->width() - 40);
    setFixedWidth(width);
    adjustSize();
    move((parentWidget()->width() - width) / 2, parentWidget()->height() - height() - 30);
}
