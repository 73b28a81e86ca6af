#pragma once
// Every value the program keeps in its settings file, read once at start-up, and the writers
// through which the rest of the program stores a value the moment it changes.

#include <QString>

class CIniFile;

namespace qvini {
inline const QString kPic = QStringLiteral("PIC");
inline const QString kVideo = QStringLiteral("Video");
// [PIC]
inline const QString kPicPath = QStringLiteral("picpath");
inline const QString kPicName = QStringLiteral("picname");
inline const QString kNameMode = QStringLiteral("namemode");
inline const QString kPicIndex = QStringLiteral("picindex");
inline const QString kQuantity = QStringLiteral("quantity");
inline const QString kPicFormat = QStringLiteral("picformat");
inline const QString kAutoMode = QStringLiteral("automode");
// [Video]
inline const QString kVideoWidth = QStringLiteral("videowidth");
inline const QString kVideoHeight = QStringLiteral("videoheight");
inline const QString kVideoDevice = QStringLiteral("device");
inline const QString kRecordFormat = QStringLiteral("recordformat");
inline const QString kRecordPath = QStringLiteral("recordpath");
inline const QString kRecordName = QStringLiteral("recordname");
inline const QString kRecordIndex = QStringLiteral("recordindex");
}  // namespace qvini

// The values as the program starts with them. The member initialisers are the values used
// when the settings file can be neither opened nor created (the folders are then the
// documents folder). No value is checked for range.
struct StoredSettings {
    // [PIC]
    QString picPath;                            // where photographs are saved
    QString picName = QStringLiteral("Image");  // photograph file name prefix
    int nameMode = 0;                           // 0 time stamp, 1 odd numbers, 2 even numbers
    int picIndex = 0;                           // picture counter
    int quality = 50;                           // JPEG quality
    int picFormat = 0;                          // stored but used by nothing
    int autoMode = 0;  // "开始连拍": 0 photos at an interval, 1 a photo on each new page
    // [Video]
    int videoWidth = -1;  // preferred capture size; applied only when both are positive
    int videoHeight = -1;
    QString videoDevice;   // the camera chosen, by its stable identity; empty: none chosen
    int recordFormat = 0;  // 0 WMV, 1 AVI
    QString recordPath;
    QString recordName = QStringLiteral("Record");
    int recordIndex = 0;
    // Why the file could not be used, so that these are the fall-back values; empty when it
    // could.
    QString problem;
};

// The start-up read: makes sure the file exists (an empty one on a first run), then reads every
// key with its default.
StoredSettings ReadStoredSettings(CIniFile& store);

// The writers the main window offers; false, and nothing written, without a store.
bool WriteSettingInt(CIniFile* store, const QString& section, const QString& key, int value);
bool WriteSettingString(CIniFile* store, const QString& section, const QString& key,
                        const QString& value);
