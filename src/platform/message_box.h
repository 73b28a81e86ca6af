#pragma once
// Message boxes with the system's captions and texts. The program installs the window system's
// modal box as the default; headless runs and tests install a handler that records the message
// instead. With neither, the message goes to standard error.

#include <QString>
#include <functional>

enum class MessageIcon { kNone, kError };

// The captions of the program's own errors and notices.
inline QString ErrorCaption() {
    return QStringLiteral("错误");
}
inline QString NoticeCaption() {
    return QStringLiteral("提示");
}

using MessageBoxHandler =
    std::function<void(const QString& text, const QString& caption, MessageIcon icon)>;

// Hands the message to the installed handler, else to the default one (a modal box with an OK
// button in the program). User-interface thread only.
void QvMessageBox(const QString& text, const QString& caption,
                  MessageIcon icon = MessageIcon::kNone);

// Replaces the handler and returns the previous one; an empty handler restores the default.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

// The way messages reach the user when no handler is installed.
void SetDefaultMessageBoxHandler(MessageBoxHandler handler);

// A question with OK and Cancel buttons; true when the user chose OK. The program installs the
// window system's modal box as the default; with no handler at all the answer is Cancel, so
// nothing is done that the user did not agree to.
using ConfirmHandler = std::function<bool(const QString& text, const QString& caption)>;
bool QvConfirm(const QString& text, const QString& caption);
// Replaces the handler and returns the previous one; an empty handler restores the default.
ConfirmHandler SetConfirmHandler(ConfirmHandler handler);
void SetDefaultConfirmHandler(ConfirmHandler handler);
