#include "app/hand_over_message.h"

#include <QFile>

namespace handover {

namespace {

constexpr char kHelloStart[] = "\nquorvane hand-over 2 ";
constexpr qsizetype kHelloStartBytes = sizeof kHelloStart - 1;
// The start, seven digits (enough for kMaxMessageBytes) and the newline.
constexpr qsizetype kMaxHelloBytes = kHelloStartBytes + 8;

}  // namespace

QByteArray Hello(qsizetype length) {
    return kHelloStart + QByteArray::number(length) + '\n';
}

std::vector<QByteArray> Messages(const QStringList& files) {
    std::vector<QByteArray> messages(1);
    for (const QString& file : files) {
        const QByteArray name = QFile::encodeName(file) + '\0';
        if (!messages.back().isEmpty() && messages.back().size() + name.size() > kMaxMessageBytes)
            messages.emplace_back();
        messages.back() += name;
    }
    return messages;
}

Reader::Step Reader::Feed(const char* data, qsizetype size) {
    if (length_ < 0)
        return FeedHello(data, size);
    if (size > length_ - received_.size())
        return Step::kRefused;
    received_.append(data, size);
    if (received_.size() < length_)
        return Step::kMore;
    return received_.endsWith('\0') ? Step::kComplete : Step::kRefused;
}

Reader::Step Reader::FeedHello(const char* data, qsizetype size) {
    if (received_.size() + size > kMaxHelloBytes)
        return Step::kRefused;
    received_.append(data, size);
    const qsizetype start = qMin(received_.size(), kHelloStartBytes);
    if (QByteArrayView(received_).first(start) != QByteArrayView(kHelloStart).first(start))
        return Step::kRefused;
    const qsizetype end = received_.indexOf('\n', kHelloStartBytes);
    if (end < 0)
        return Step::kMore;
    // The names come after "ready": bytes past the first line did not wait for it.
    if (end != received_.size() - 1 || end == kHelloStartBytes)
        return Step::kRefused;
    bool digits = true;
    for (char c : QByteArrayView(received_).sliced(kHelloStartBytes, end - kHelloStartBytes))
        digits = digits && c >= '0' && c <= '9';
    const qsizetype length = received_.mid(kHelloStartBytes, end - kHelloStartBytes).toLongLong();
    if (!digits || length > kMaxMessageBytes)
        return Step::kRefused;
    length_ = length;
    received_.clear();
    return length_ == 0 ? Step::kComplete : Step::kReady;
}

QStringList Reader::Files() const {
    QList<QByteArray> names = received_.split('\0');
    names.removeLast();  // after the last NUL
    QStringList files;
    for (const QByteArray& name : names)
        files << QFile::decodeName(name);
    return files;
}

}  // namespace handover
