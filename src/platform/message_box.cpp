#include "platform/message_box.h"

#include <cstdio>

namespace {
MessageBoxHandler& Handler() {
    static MessageBoxHandler handler;
    return handler;
}

MessageBoxHandler& DefaultHandler() {
    static MessageBoxHandler handler;
    return handler;
}
}  // namespace

void QvMessageBox(const QString& text, const QString& caption, MessageIcon icon) {
    if (Handler()) {
        Handler()(text, caption, icon);
        return;
    }
    if (DefaultHandler()) {
        DefaultHandler()(text, caption, icon);
        return;
    }
    // No window system installed its boxes (a core-only process): the message still reaches
    // the user.
    std::fprintf(stderr, "%s: %s\n", qPrintable(caption), qPrintable(text));
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    MessageBoxHandler previous = std::move(Handler());
    Handler() = std::move(handler);
    return previous;
}

void SetDefaultMessageBoxHandler(MessageBoxHandler handler) {
    DefaultHandler() = std::move(handler);
}

namespace {
ConfirmHandler& Confirmer() {
    static ConfirmHandler handler;
    return handler;
}

ConfirmHandler& DefaultConfirmer() {
    static ConfirmHandler handler;
    return handler;
}
}  // namespace

bool QvConfirm(const QString& text, const QString& caption) {
    if (Confirmer()) {
        return Confirmer()(text, caption);
    }
    return DefaultConfirmer() && DefaultConfirmer()(text, caption);
}

ConfirmHandler SetConfirmHandler(ConfirmHandler handler) {
    ConfirmHandler previous = std::move(Confirmer());
    Confirmer() = std::move(handler);
    return previous;
}

void SetDefaultConfirmHandler(ConfirmHandler handler) {
    DefaultConfirmer() = std::move(handler);
}
