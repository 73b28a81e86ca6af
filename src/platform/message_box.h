#pragma once
// Message boxes with the system's captions and texts. The program installs the window system's
// modal box as the default; headless runs and tests install a handler that records the message
// instead. With neither, the message goes to standard error.

#include <QString>
#include <functional>

enum class MessageIcon { kNone, kError };

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

// Yes-or-no questions ("replace the existing file?"), installed and replaced the same way. True
// for yes. With no handler installed the answer is no, so nothing is done unasked.
using QuestionBoxHandler = std::function<bool(const QString& text, const QString& caption)>;
bool QvQuestionBox(const QString& text, const QString& caption);
QuestionBoxHandler SetQuestionBoxHandler(QuestionBoxHandler handler);
void SetDefaultQuestionBoxHandler(QuestionBoxHandler handler);
