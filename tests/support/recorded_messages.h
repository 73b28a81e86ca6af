#pragma once
// Records the message boxes shown while it lives, as "caption: text", instead of showing them.

#include <QStringList>

#include "platform/message_box.h"

struct RecordedMessages {
    RecordedMessages() {
        SetMessageBoxHandler([this](const QString& text, const QString& caption, MessageIcon) {
            texts << caption + ": " + text;
        });
    }
    ~RecordedMessages() { SetMessageBoxHandler({}); }
    RecordedMessages(const RecordedMessages&) = delete;
    RecordedMessages& operator=(const RecordedMessages&) = delete;
    QStringList texts;
};
