#pragma once
// Message boxes with the system's captions and texts. Headless runs and tests install a handler
// that records the message instead of showing a modal window.

#include <QString>
#include <functional>

enum class MessageIcon { kNone, kError };

using MessageBoxHandler =
    std::function<void(const QString& text, const QString& caption, MessageIcon icon)>;

// Shows a modal box with an OK button, or hands the message to the installed handler.
// User-interface thread only.
void QvMessageBox(const QString& text, const QString& caption,
                  MessageIcon icon = MessageIcon::kNone);

// Replaces the handler and returns the previous one; an empty handler restores the modal box.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);
