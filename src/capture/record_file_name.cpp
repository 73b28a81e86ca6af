#include "capture/record_file_name.h"

#include <QFileInfo>
#include <limits>

QString RecordExtension(int format) {
    switch (format) {
        case 0:
            return QStringLiteral("wmv");
        case 1:
            return QStringLiteral("avi");
        default:
            return QString();
    }
}

QString BuildRecordPath(const QString& folder, const QString& prefix, int64_t n,
                        const QString& extension) {
    return folder + u'/' + prefix + QString::asprintf("%05lldd.", static_cast<long long>(n)) +
           extension;
}

QString NextRecordPath(const QString& folder, const QString& prefix, int32_t& counter,
                       const QString& extension,
                       const std::function<bool(const QString&)>& exists) {
    const auto taken = [&exists](const QString& path) {
        if (exists)
            return exists(path);
        const QFileInfo info(path);
        return info.exists() || info.isSymLink();
    };
    for (int64_t n = counter; n < std::numeric_limits<int32_t>::max(); ++n) {
        const QString path = BuildRecordPath(folder, prefix, n, extension);
        if (!taken(path)) {
            counter = int32_t(n + 1);
            return path;
        }
    }
    return {};
}
