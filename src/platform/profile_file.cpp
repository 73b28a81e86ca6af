#include "platform/profile_file.h"

#include "platform/number_text.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringConverter>
#include <QStringList>

#include <fcntl.h>
#include <unistd.h>

#include <optional>

namespace {

struct ProfileLine {
    enum class Kind { kOther, kSection, kKey };
    Kind kind = Kind::kOther;
    QString name;
    QString value;
};

std::optional<QString> DecodeStrict(QStringConverter::Encoding encoding, QByteArrayView bytes) {
    QStringDecoder decoder(encoding);
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) {
        return std::nullopt;
    }
    return text;
}

// Files without a byte-order mark were written either by us (UTF-8) or by a Windows program in
// the system's ANSI code page, which for this program's users is GB2312/GBK (a GB18030 subset).
QString DecodeProfileBytes(const QByteArray& bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        return QString::fromUtf8(QByteArrayView(bytes).sliced(3));
    }
    if (bytes.startsWith("\xFF\xFE")) {
        return QStringDecoder(QStringConverter::Utf16LE).decode(QByteArrayView(bytes).sliced(2));
    }
    if (bytes.startsWith("\xFE\xFF")) {
        return QStringDecoder(QStringConverter::Utf16BE).decode(QByteArrayView(bytes).sliced(2));
    }
    if (auto text = DecodeStrict(QStringConverter::Utf8, bytes)) {
        return *text;
    }
    QStringDecoder gb18030("GB18030");
    if (gb18030.isValid()) {
        QString text = gb18030.decode(bytes);
        if (!gb18030.hasError()) {
            return text;
        }
    }
    return QString::fromLatin1(bytes);
}

QStringList SplitLines(const QString& text) {
    QStringList lines = text.split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) {
        lines.removeLast();  // the line break that ends the last line
    }
    for (QString& line : lines) {
        if (line.endsWith(u'\r')) {
            line.chop(1);
        }
    }
    return lines;
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

KeyPlace FindKey(const QStringList& lines, const QString& section, const QString& key) {
    KeyPlace place;
    const QString wantedSection = section.trimmed();
    const QString wantedKey = key.trimmed();
    bool inSection = false;
    bool inFirstSection = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const ProfileLine line = ParseLine(lines[i]);
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

// The file's lines; nullopt when the file exists but cannot be read. A missing file has none.
std::optional<QStringList> ReadLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (file.exists() || QFileInfo(path).isSymLink()) {
            return std::nullopt;
        }
        return QStringList();
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return std::nullopt;
    }
    return SplitLines(DecodeProfileBytes(bytes));
}

std::optional<QString> FindValue(const QString& section, const QString& key, const QString& path) {
    const std::optional<QStringList> lines = ReadLines(path);
    if (!lines) {
        return std::nullopt;
    }
    const KeyPlace place = FindKey(*lines, section, key);
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

void SyncFolder(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);  // makes the rename itself durable; the data is already synced
        ::close(fd);
    }
}

// The old file is replaced only by a complete, synced new one: a crash or a full disk at any
// moment leaves either the old or the new file, never a partial or empty one.
bool WriteFileAtomically(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    if (file.write(bytes) != bytes.size() || !file.flush() || ::fsync(file.handle()) != 0) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        return false;
    }
    SyncFolder(QFileInfo(path).absolutePath());
    return true;
}

}  // namespace

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
                        const QString& path) {
    if (!IsWritable(section, key, value)) {
        return false;
    }
    std::optional<QStringList> lines = ReadLines(path);
    if (!lines) {
        return false;
    }
    const KeyPlace place = FindKey(*lines, section, key);
    const QString trimmedValue = value.trimmed();
    if (place.keyLine >= 0) {
        (*lines)[place.keyLine] = place.keyName + u'=' + trimmedValue;
    } else if (place.insertLine >= 0) {
        lines->insert(place.insertLine, key.trimmed() + u'=' + trimmedValue);
    } else {
        lines->append(u'[' + section.trimmed() + u']');
        lines->append(key.trimmed() + u'=' + trimmedValue);
    }
    return WriteFileAtomically(path, (lines->join(u'\n') + u'\n').toUtf8());
}
