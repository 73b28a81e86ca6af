#include "app/photo_naming.h"

#include <QFileInfo>
#include <limits>

CPhotoNamer::CPhotoNamer(Clock clock, ExistsCheck exists)
    : clock_(clock ? std::move(clock) : Clock([] { return QDateTime::currentDateTime(); })),
      exists_(exists ? std::move(exists) : ExistsCheck([](const QString& path) {
          const QFileInfo info(path);
          return info.exists() || info.isSymLink();  // a dangling link is taken too
      })) {}

QString CPhotoNamer::PhotoExtension(const QString& extension, int32_t colourMode) {
    if (colourMode == kColourModeBlackWhite && extension == QLatin1String("jpg")) {
        return QStringLiteral("tif");
    }
    return extension;
}

QString CPhotoNamer::BuildPath(int32_t mode, const QString& folder, const QString& prefix,
                               int64_t n, const QString& extension, const QDateTime& time) {
    switch (mode) {
        case kNameOdd:
            return folder + u'/' + prefix + QString::number(2 * n + 1) + u'.' + extension;
        case kNameEven:
            return folder + u'/' + prefix + QString::number(2 * n) + u'.' + extension;
        case kNameByTime:
            return folder + u'/' + prefix + time.toString(QStringLiteral("yyyyMMddHHmmss")) +
                   QString::number(n) + u'.' + extension;
        default:
            return {};
    }
}

QString CPhotoNamer::NextPath(int32_t mode, const QString& folder, const QString& prefix,
                              int32_t& counter, const QString& extension) const {
    const QDateTime now = clock_();
    for (int64_t n = counter; n < std::numeric_limits<int32_t>::max(); ++n) {
        const QString path = BuildPath(mode, folder, prefix, n, extension, now);
        if (path.isEmpty()) {
            return {};
        }
        if (!exists_(path)) {
            counter = static_cast<int32_t>(n + 1);
            return path;
        }
    }
    return {};  // every number is taken: no name left
}
