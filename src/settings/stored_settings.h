#pragma once
// Every value the program keeps in its settings file, read once at start-up, and the writers
// through which the rest of the program stores a value the moment it changes.

#include <QString>
#include <cstdint>

class CIniFile;

namespace qvini {
inline const QString kPic = QStringLiteral("PIC");
inline const QString kVideo = QStringLiteral("Video");
inline const QString kPdf = QStringLiteral("PDF");
// [PIC]
inline const QString kPicPath = QStringLiteral("picpath");
inline const QString kPicName = QStringLiteral("picname");
inline const QString kNameMode = QStringLiteral("namemode");
inline const QString kPicIndex = QStringLiteral("picindex");
inline const QString kQuantity = QStringLiteral("quantity");
inline const QString kPicFormat = QStringLiteral("picformat");
inline const QString kInterval = QStringLiteral("interval");
inline const QString kAutoCrop = QStringLiteral("autocrop");
inline const QString kColourMode = QStringLiteral("colormode");
inline const QString kThreshold = QStringLiteral("threshold");
inline const QString kSaveTurn = QStringLiteral("saveturn");
inline const QString kWatermarkText = QStringLiteral("wmtext");
inline const QString kWatermarkDate = QStringLiteral("wmdate");
inline const QString kWatermarkX = QStringLiteral("wmx");
inline const QString kWatermarkY = QStringLiteral("wmy");
inline const QString kWatermarkFace = QStringLiteral("wmface");
inline const QString kWatermarkHeight = QStringLiteral("wmheight");
inline const QString kWatermarkWeight = QStringLiteral("wmweight");
inline const QString kWatermarkItalic = QStringLiteral("wmitalic");
inline const QString kWatermarkUnderline = QStringLiteral("wmunderline");
inline const QString kWatermarkColour = QStringLiteral("wmcolor");
inline const QString kAutoMode = QStringLiteral("automode");
// [Video]
inline const QString kVideoWidth = QStringLiteral("videowidth");
inline const QString kVideoHeight = QStringLiteral("videoheight");
inline const QString kVideoDevice = QStringLiteral("device");
inline const QString kRecordFormat = QStringLiteral("recordformat");
inline const QString kRecordPath = QStringLiteral("recordpath");
inline const QString kRecordName = QStringLiteral("recordname");
inline const QString kRecordIndex = QStringLiteral("recordindex");
// [PDF]
inline const QString kPdfSearchable = QStringLiteral("searchable");
}  // namespace qvini

// The watermark written onto every photo: the text, the date line, where (fractions of the
// picture turned a quarter to the left), the font (pixels) and the colour (0x00BBGGRR).
struct StoredWatermark {
    QString text;
    bool date = false;
    float x = 0.0f;
    float y = 0.0f;
    QString face = QStringLiteral("宋体");
    int height = 16;
    int weight = 400;
    bool italic = false;
    bool underline = false;
    uint32_t colour = 0;

    bool operator==(const StoredWatermark&) const = default;
};

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
    int picFormat = 1;                          // 0 BMP, 1 JPEG, 2 TIFF, 3 PNG
    int interval = 2;                           // seconds between continuous photos
    bool autoCrop = false;                      // "自动裁切"
    int colourMode = 0;                         // 0 colour, 1 grey, 2 black and white
    int threshold = 128;                        // black-and-white threshold
    int saveTurn = 0;                           // saved photos turned: 0 not, 1 left, 2 right
    StoredWatermark watermark;
    int autoMode = 0;  // "开始连拍": 0 photos at an interval, 1 a photo on each new page
    // [Video]
    int videoWidth = -1;  // preferred capture size; applied only when both are positive
    int videoHeight = -1;
    QString videoDevice;   // the camera chosen, by its stable identity; empty: none chosen
    int recordFormat = 0;  // 0 WMV, 1 AVI
    QString recordPath;
    QString recordName = QStringLiteral("Record");
    int recordIndex = 0;
    // [PDF]
    int pdfSearchable = 1;  // 1: PDFs carry the recognised text of their pages
    // Why the file could not be used, so that these are the fall-back values; empty when it
    // could.
    QString problem;
};

// The start-up read: makes sure the file exists (an empty one on a first run), then reads every
// key with its default.
StoredSettings ReadStoredSettings(CIniFile& store);

// The choices "默认设置" puts back to first-run values, written from settings (the folders,
// names, picture choices and watermark; not the counters, the camera or its size).
bool WriteResettableSettings(CIniFile* store, const StoredSettings& settings);
bool WriteWatermarkSettings(CIniFile* store, const StoredWatermark& watermark);

// The writers the main window offers; false, and nothing written, without a store.
bool WriteSettingInt(CIniFile* store, const QString& section, const QString& key, int value);
bool WriteSettingString(CIniFile* store, const QString& section, const QString& key,
                        const QString& value);
