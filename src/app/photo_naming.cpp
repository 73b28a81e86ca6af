#include "app/photo_naming.h"

#include <QFileInfo>
#include <iterator>
#include <limits>

CPhotoNamer::CPhotoNamer(Clock clock, ExistsCheck exists)
    : clock_(clock ? std::move(clock) : Clock([] { return QDateTime::currentDateTime(); })),
      exists_(exists ? std::move(exists) : ExistsCheck([](const QString& path) {
          const QFileInfo info(path);
          return info.exists() || info.isSymLink();  // a dangling link is taken too
      })) {}

QString CPhotoNamer::FormatExtension(int32_t format, const QString& current) {
    static constexpr const char16_t* kExtensions[] = {u"bmp", u"jpg", u"tif", u"png"};
    return format >= 0 && format < int32_t(std::size(kExtensions))
               ? QString::fromUtf16(kExtensions[format])
               : current;
}

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

namespace {

// Names tried before a photo is given up for want of a free name.
constexpr int kMaxNameTries = 1 << 20;

// The counter after n: past the largest value it starts again at 0, so that a counter at the
// top of its range (say, from an edited settings file) goes on naming photos; a taken name is
// skipped as always.
int32_t Following(int32_t n) {
    return n == std::numeric_limits<int32_t>::max() ? 0 : n + 1;
}

}  // namespace

bool CPhotoNamer::IsKnownMode(int32_t mode) {
    return mode == kNameByTime || mode == kNameOdd || mode == kNameEven;
}

QString CPhotoNamer::NextPath(int32_t mode, const QString& folder, const QString& prefix,
                              int32_t& counter, const QString& extension) const {
    if (!IsKnownMode(mode)) {
        return {};
    }
    const QDateTime now = clock_();
    int32_t n = counter;
    for (int tries = 0; tries < kMaxNameTries; ++tries, n = Following(n)) {
        const QString path = BuildPath(mode, folder, prefix, n, extension, now);
        if (!exists_(path)) {
            counter = Following(n);
            return path;
        }
    }
    return {};  // no free name
}
