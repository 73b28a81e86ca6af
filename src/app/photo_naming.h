#pragma once
// File names of photographs: built from the naming mode, folder, prefix, picture counter and
// extension, the way the "拍照" command names every photo.

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <functional>

// Naming modes ([PIC] "namemode").
enum : int32_t { kNameByTime = 0, kNameOdd = 1, kNameEven = 2 };

// Colour mode of the colour-mode panel that changes the extension (1-bit pictures).
constexpr int32_t kColourModeBlackWhite = 2;

class CPhotoNamer {
public:
    using Clock = std::function<QDateTime()>;
    using ExistsCheck = std::function<bool(const QString& path)>;

    // clock gives the local time for time-stamp names (the system clock when empty); exists says
    // whether a path is taken (a file, folder or link on disk when empty).
    explicit CPhotoNamer(Clock clock = {}, ExistsCheck exists = {});

    // The extension of a picture format number (0 "bmp", 1 "jpg", 2 "tif", 3 "png"); another
    // number keeps the current one.
    static QString FormatExtension(int32_t format, const QString& current);
    // The extension a photo is saved with: black-and-white pictures chosen as "jpg" go to TIFF.
    static QString PhotoExtension(const QString& extension, int32_t colourMode);

    // The path for counter value n, without looking at the disk: "%s/%s%d.%s" with 2n + 1 (odd)
    // or 2n (even), or "%s/%s%s%01d.%s" with the stamp "%04d%02d%02d%02d%02d%02d" (time). Empty
    // for an unknown mode. The folder is used as stored.
    static QString BuildPath(int32_t mode, const QString& folder, const QString& prefix, int64_t n,
                             const QString& extension, const QDateTime& time);

    static bool IsKnownMode(int32_t mode);

    // The next photo's path; counter advances past it (after the largest int32 value comes 0). A
    // photo never replaces a file: while the built path is taken the counter moves on, in the
    // same mode. An unknown mode, or no free name, gives an empty path and leaves counter alone.
    QString NextPath(int32_t mode, const QString& folder, const QString& prefix, int32_t& counter,
                     const QString& extension) const;

private:
    Clock clock_;
    ExistsCheck exists_;
};
