#include "platform/new_folder.h"

#include <QFile>
#include <QFileInfo>

#include "platform/name_rules.h"

#include <cerrno>
#include <cstring>

#include <sys/stat.h>

namespace {

QString Quoted(const QString& path) {
    return QStringLiteral("“%1”").arg(path);
}

QString Reason(int error, const QString& path) {
    const QString parent = QFileInfo(path).path();
    switch (error) {
        case EEXIST:
            return Quoted(path) + QStringLiteral("已经存在。");
        case ENOENT:
            return QStringLiteral("上级文件夹") + Quoted(parent) + QStringLiteral("不存在。");
        case ENOTDIR:
            return QStringLiteral("上级") + Quoted(parent) + QStringLiteral("不是文件夹。");
        case EACCES:
        case EPERM:
            return QStringLiteral("没有权限在") + Quoted(parent) + QStringLiteral("中新建文件夹。");
        case EROFS:
            return Quoted(parent) + QStringLiteral("是只读的。");
        case ENOSPC:
        case EDQUOT:
            return QStringLiteral("磁盘空间已满。");
        case ENAMETOOLONG:
            return QStringLiteral("文件夹名太长。");
        default:
            return QString::fromLocal8Bit(std::strerror(error));
    }
}

}  // namespace

NewFolderResult MakeNewFolder(const QString& parent, const QString& typed) {
    const QString name = NewFolderName(typed);
    if (const QString problem = NewFolderNameProblem(name); !problem.isEmpty()) {
        return {QString(), problem};
    }
    const QString path = parent.endsWith(u'/') ? parent + name : parent + u'/' + name;
    if (::mkdir(QFile::encodeName(path).constData(), 0777) == 0) {
        return {path, QString()};
    }
    return {QString(), Reason(errno, path)};
}
