#include "platform/profile_file.h"

#include "platform/atomic_save.h"
#include "platform/number_text.h"
#include "platform/regular_file.h"

#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QStringConverter>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

namespace {

struct ProfileLine {
    enum class Kind { kOther, kSection, kKey };
    Kind kind = Kind::kOther;
    QString name;
    QString value;
};

// Lines end in a one-byte newline, or a two-byte one in UTF-16 files.
enum class Encoding { kBytes, kUtf16Le, kUtf16Be };

// One line as it stands in the file. Its bytes are written back unchanged unless the program
// changes the line, so that reading and writing a file never re-encodes what it did not change.
struct RawLine {
    QByteArray bytes;  // without the line end
    QByteArray end;    // "\n" or "\r\n" in the file's encoding; empty for an unended last line
    QString text;
};

struct ProfileText {
    Encoding encoding = Encoding::kBytes;
    QByteArray mark;  // the byte-order mark, kept as it was
    QList<RawLine> lines;
};

std::optional<QString> DecodeStrict(QStringDecoder decoder, QByteArrayView bytes) {
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) {
        return std::nullopt;
    }
    return text;
}

// Each line on its own: one line in another encoding (a comment added by another editor) must
// not change how the rest of the file reads. Lines without a byte-order mark were written either
// by us (UTF-8) or by a Windows program in the system's ANSI code page, which for this program's
// users is GB2312/GBK (a GB18030 subset); anything else is taken byte for byte as Latin-1.
QString DecodeLine(QByteArrayView bytes, Encoding encoding) {
    constexpr auto kStateless = QStringConverter::Flag::Stateless;
    switch (encoding) {
        case Encoding::kUtf16Le:
            return QStringDecoder(QStringConverter::Utf16LE, kStateless).decode(bytes);
        case Encoding::kUtf16Be:
            return QStringDecoder(QStringConverter::Utf16BE, kStateless).decode(bytes);
        case Encoding::kBytes:
            break;
    }
    if (auto text = DecodeStrict(QStringDecoder(QStringConverter::Utf8, kStateless), bytes)) {
        return *text;
    }
    QStringDecoder gb18030("GB18030", kStateless);
    if (gb18030.isValid()) {
        if (auto text = DecodeStrict(std::move(gb18030), bytes)) {
            return *text;
        }
    }
    return QString::fromLatin1(bytes);
}

QByteArray EncodeLine(const QString& text, Encoding encoding) {
    switch (encoding) {
        case Encoding::kUtf16Le:
            return QStringEncoder(QStringConverter::Utf16LE)(text);
        case Encoding::kUtf16Be:
            return QStringEncoder(QStringConverter::Utf16BE)(text);
        case Encoding::kBytes:
            break;
    }
    return text.toUtf8();
}

qsizetype UnitSize(Encoding encoding) {
    return encoding == Encoding::kBytes ? 1 : 2;
}

bool IsCharAt(QByteArrayView bytes, qsizetype at, Encoding encoding, char c) {
    switch (encoding) {
        case Encoding::kUtf16Le:
            return bytes[at] == c && bytes[at + 1] == 0;
        case Encoding::kUtf16Be:
            return bytes[at] == 0 && bytes[at + 1] == c;
        case Encoding::kBytes:
            break;
    }
    return bytes[at] == c;
}

void AddLine(ProfileText& file, QByteArrayView bytes, QByteArrayView end) {
    file.lines.append(
        RawLine{bytes.toByteArray(), end.toByteArray(), DecodeLine(bytes, file.encoding)});
}

ProfileText SplitProfile(const QByteArray& bytes) {
    ProfileText file;
    if (bytes.startsWith("\xFF\xFE")) {
        file.encoding = Encoding::kUtf16Le;
        file.mark = bytes.left(2);
    } else if (bytes.startsWith("\xFE\xFF")) {
        file.encoding = Encoding::kUtf16Be;
        file.mark = bytes.left(2);
    } else if (bytes.startsWith("\xEF\xBB\xBF")) {
        file.mark = bytes.left(3);
    }
    const QByteArrayView body = QByteArrayView(bytes).sliced(file.mark.size());
    const qsizetype unit = UnitSize(file.encoding);
    qsizetype start = 0;
    for (qsizetype at = 0; at + unit <= body.size(); at += unit) {
        if (!IsCharAt(body, at, file.encoding, '\n')) {
            continue;
        }
        qsizetype contentEnd = at;
        if (at - start >= unit && IsCharAt(body, at - unit, file.encoding, '\r')) {
            contentEnd -= unit;
        }
        AddLine(file, body.sliced(start, contentEnd - start),
                body.sliced(contentEnd, at + unit - contentEnd));
        start = at + unit;
    }
    if (start < body.size()) {
        AddLine(file, body.sliced(start), {});
    }
    return file;
}

// New lines end as the file's last ended line does (CRLF in a Windows file).
QByteArray LineEnd(const ProfileText& file) {
    for (auto line = file.lines.crbegin(); line != file.lines.crend(); ++line) {
        if (!line->end.isEmpty()) {
            return line->end;
        }
    }
    return EncodeLine(QStringLiteral("\n"), file.encoding);
}

void SetLine(ProfileText& file, qsizetype index, const QString& text) {
    file.lines[index].bytes = EncodeLine(text, file.encoding);
    file.lines[index].text = text;
}

void InsertLine(ProfileText& file, qsizetype index, const QString& text) {
    const QByteArray end = LineEnd(file);
    if (index > 0 && file.lines[index - 1].end.isEmpty()) {
        file.lines[index - 1].end = end;
    }
    file.lines.insert(index, RawLine{EncodeLine(text, file.encoding), end, text});
}

QByteArray JoinProfile(const ProfileText& file) {
    QByteArray bytes = file.mark;
    for (const RawLine& line : file.lines) {
        bytes += line.bytes;
        bytes += line.end;
    }
    return bytes;
}

ProfileLine ParseLine(const QString& line) {
    const QString text = line.trimmed();
    ProfileLine parsed;
    if (text.startsWith(u'[')) {
        const qsizetype close = text.indexOf(u']');
        parsed.kind = ProfileLine::Kind::kSection;
        parsed.name = text.mid(1, close < 0 ? -1 : close - 1).trimmed();
        return parsed;
    }
    if (text.startsWith(u';') || text.startsWith(u'#')) {
        return parsed;
    }
    const qsizetype equals = text.indexOf(u'=');
    if (equals <= 0) {
        return parsed;
    }
    parsed.kind = ProfileLine::Kind::kKey;
    parsed.name = text.left(equals).trimmed();
    parsed.value = text.mid(equals + 1).trimmed();
    return parsed;
}

bool SameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Where a key is, or where it would go, in a file's lines.
struct KeyPlace {
    qsizetype keyLine = -1;     // the first matching key in any matching section
    qsizetype insertLine = -1;  // after the last key of the first matching section
    QString keyName;            // the key's own spelling in the file
    QString value;
};

KeyPlace FindKey(const QList<RawLine>& lines, const QString& section, const QString& key) {
    KeyPlace place;
    const QString wantedSection = section.trimmed();
    const QString wantedKey = key.trimmed();
    bool inSection = false;
    bool inFirstSection = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const ProfileLine line = ParseLine(lines[i].text);
        if (line.kind == ProfileLine::Kind::kSection) {
            inSection = SameName(line.name, wantedSection);
            inFirstSection = inSection && place.insertLine < 0;
            if (inFirstSection) {
                place.insertLine = i + 1;
            }
            continue;
        }
        if (!inSection || line.kind != ProfileLine::Kind::kKey) {
            continue;
        }
        if (inFirstSection) {
            place.insertLine = i + 1;
        }
        if (SameName(line.name, wantedKey)) {
            place.keyLine = i;
            place.keyName = line.name;
            place.value = line.value;
            return place;
        }
    }
    return place;
}

// The file as it is; nullopt, with errno set, when it exists but cannot be read (see
// ReadRegularFile). A missing file is an empty one.
std::optional<ProfileText> ReadProfile(const QString& path) {
    const std::optional<QByteArray> bytes = ReadRegularFile(path, kMaxProfileFileBytes);
    if (bytes) {
        return SplitProfile(*bytes);
    }
    if (errno == ENOENT && !QFileInfo(path).isSymLink()) {
        return ProfileText();
    }
    return std::nullopt;
}

std::optional<QString> FindValue(const QString& section, const QString& key, const QString& path) {
    const std::optional<ProfileText> file = ReadProfile(path);
    if (!file) {
        return std::nullopt;
    }
    const KeyPlace place = FindKey(file->lines, section, key);
    if (place.keyLine < 0) {
        return std::nullopt;
    }
    return place.value;
}

bool HasLineBreak(const QString& text) {
    return text.contains(u'\n') || text.contains(u'\r');
}

bool IsWritable(const QString& section, const QString& key, const QString& value) {
    const QString s = section.trimmed();
    const QString k = key.trimmed();
    if (s.isEmpty() || k.isEmpty() || HasLineBreak(section) || HasLineBreak(key) ||
        HasLineBreak(value)) {
        return false;
    }
    return !s.contains(u']') && !k.contains(u'=') && !k.startsWith(u'[') && !k.startsWith(u';') &&
           !k.startsWith(u'#');
}

bool WriteAll(const QString& path, const QByteArray& bytes) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t put = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (put < 0 && errno != EINTR) {
            const int error = errno;
            ::close(fd);
            errno = error;
            return false;
        }
        done += put > 0 ? put : 0;
    }
    return ::close(fd) == 0;
}

bool Fail(QString* reason, QString text) {
    if (reason != nullptr) {
        *reason = std::move(text);
    }
    return false;
}

}  // namespace

QString ProfileReadProblem(int error) {
    switch (error) {
        case EISDIR:
            return QStringLiteral("该位置是一个文件夹");
        case ENODEV:
            return QStringLiteral("不是普通文件");
        case EFBIG:
            return QStringLiteral("文件过大");
        case EACCES:
        case EPERM:
            return QStringLiteral("没有读取权限");
        case ENOENT:
        case ENOTDIR:
            return QStringLiteral("文件夹不存在");
        default:
            return QString::fromLocal8Bit(std::strerror(error));
    }
}

QString ReadProfileString(const QString& section, const QString& key, const QString& defaultValue,
                          const QString& path) {
    return FindValue(section, key, path).value_or(defaultValue);
}

int ReadProfileInt(const QString& section, const QString& key, int defaultValue,
                   const QString& path) {
    const std::optional<QString> value = FindValue(section, key, path);
    if (!value || value->isEmpty()) {
        return defaultValue;
    }
    return ParseLeadingInt(*value);
}

bool WriteProfileString(const QString& section, const QString& key, const QString& value,
                        const QString& path, QString* reason) {
    if (!IsWritable(section, key, value)) {
        return Fail(reason, QStringLiteral("设置项含有换行或无效的名称"));
    }
    std::optional<ProfileText> file = ReadProfile(path);
    if (!file) {
        return Fail(
            reason,
            QStringLiteral("设置文件无法读取：%1（%2）").arg(path, ProfileReadProblem(errno)));
    }
    const KeyPlace place = FindKey(file->lines, section, key);
    const QString line =
        (place.keyLine >= 0 ? place.keyName : key.trimmed()) + u'=' + value.trimmed();
    if (place.keyLine >= 0) {
        SetLine(*file, place.keyLine, line);
    } else if (place.insertLine >= 0) {
        InsertLine(*file, place.insertLine, line);
    } else {
        InsertLine(*file, file->lines.size(), u'[' + section.trimmed() + u']');
        InsertLine(*file, file->lines.size(), line);
    }
    // A link is followed, as a settings file kept elsewhere (and linked here) stays where it is.
    const QFileInfo info(path);
    const QString target = info.isSymLink() ? info.canonicalFilePath() : path;
    const QByteArray bytes = JoinProfile(*file);
    return SaveAtomically(
        target, [&bytes](const QString& temporary) { return WriteAll(temporary, bytes); }, reason,
        true);
}
