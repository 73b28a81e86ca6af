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

QuestionBoxHandler& QuestionHandler() {
    static QuestionBoxHandler handler;
    return handler;
}

QuestionBoxHandler& DefaultQuestionHandler() {
    static QuestionBoxHandler handler;
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

bool QvQuestionBox(const QString& text, const QString& caption) {
    if (QuestionHandler())
        return QuestionHandler()(text, caption);
    if (DefaultQuestionHandler())
        return DefaultQuestionHandler()(text, caption);
    std::fprintf(stderr, "%s: %s (answered no)\n", qPrintable(caption), qPrintable(text));
    return false;
}

QuestionBoxHandler SetQuestionBoxHandler(QuestionBoxHandler handler) {
    QuestionBoxHandler previous = std::move(QuestionHandler());
    QuestionHandler() = std::move(handler);
    return previous;
}

void SetDefaultQuestionBoxHandler(QuestionBoxHandler handler) {
    DefaultQuestionHandler() = std::move(handler);
}
