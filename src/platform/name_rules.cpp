#include "platform/name_rules.h"

#include <QStringList>

namespace {

bool NamesAFolderItself(const QString& part) {
    return part == u"." || part == u"..";
}

}  // namespace

QString NamePrefixProblem(const QString& prefix) {
    if (prefix.contains(u'/')) {
        return QStringLiteral("名称中不能有“/”：文件只能保存在所选的文件夹中。");
    }
    if (NamesAFolderItself(prefix)) {
        return QStringLiteral("名称不能是“.”或“..”：“.”和“..”指文件夹本身或上级文件夹。");
    }
    return QString();
}

QString NewFolderName(const QString& typed) {
    return typed.trimmed();
}

QString NewFolderNameProblem(const QString& name) {
    if (name.isEmpty()) {
        return QStringLiteral("没有输入新文件夹名。");
    }
    for (const QString& part : name.split(u'/')) {
        if (part.isEmpty()) {
            return QStringLiteral("文件夹名的开头、结尾和两个“/”之间不能为空。");
        }
        if (NamesAFolderItself(part)) {
            return QStringLiteral("文件夹名不能是“.”或“..”：“.”和“..”指文件夹本身或上级文件夹。");
        }
    }
    return QString();
}
