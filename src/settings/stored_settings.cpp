#include "settings/stored_settings.h"

#include "platform/name_rules.h"
#include "platform/user_folders.h"
#include "settings/ini_file.h"

namespace {

int MinusOneAsZero(int value) {
    return value == -1 ? 0 : value;
}

// An edited file may hold a name the naming dialogs refuse ("../x" would save outside the
// folder): the first-run name takes its place.
QString NameOr(const QString& value, const QString& replacement) {
    return value.isEmpty() || !NamePrefixProblem(value).isEmpty() ? replacement : value;
}

// A number outside [low, high] is not one the program wrote: the first-run value stands.
int InRangeOr(int value, int low, int high, int fallback) {
    return value >= low && value <= high ? value : fallback;
}

float FractionOr(const QString& text, float fallback) {
    bool ok = false;
    const float value = text.toFloat(&ok);
    return ok && value >= 0.0f && value <= 1.0f ? value : fallback;
}

StoredWatermark ReadWatermark(const CIniFile& store) {
    using namespace qvini;
    const StoredWatermark first;
    StoredWatermark mark;
    mark.text = store.ReadString(kPic, kWatermarkText, first.text);
    mark.date = store.ReadInt(kPic, kWatermarkDate, 0) != 0;
    mark.x = FractionOr(store.ReadString(kPic, kWatermarkX, QString()), first.x);
    mark.y = FractionOr(store.ReadString(kPic, kWatermarkY, QString()), first.y);
    mark.face = store.ReadString(kPic, kWatermarkFace, first.face);
    if (mark.face.isEmpty()) {
        mark.face = first.face;
    }
    mark.height =
        InRangeOr(store.ReadInt(kPic, kWatermarkHeight, first.height), 1, 1000, first.height);
    mark.weight =
        InRangeOr(store.ReadInt(kPic, kWatermarkWeight, first.weight), 100, 900, first.weight);
    mark.italic = store.ReadInt(kPic, kWatermarkItalic, 0) != 0;
    mark.underline = store.ReadInt(kPic, kWatermarkUnderline, 0) != 0;
    mark.colour = uint32_t(InRangeOr(store.ReadInt(kPic, kWatermarkColour, 0), 0, 0xFFFFFF, 0));
    return mark;
}

void ReadPictureChoices(const CIniFile& store, StoredSettings& settings) {
    using namespace qvini;
    const StoredSettings first;
    settings.picFormat = InRangeOr(store.ReadInt(kPic, kPicFormat, -1), 0, 3, first.picFormat);
    settings.interval = InRangeOr(store.ReadInt(kPic, kInterval, -1), 0, 999999, first.interval);
    settings.autoCrop = store.ReadInt(kPic, kAutoCrop, 0) != 0;
    settings.colourMode = InRangeOr(store.ReadInt(kPic, kColourMode, 0), 0, 2, first.colourMode);
    settings.threshold = InRangeOr(store.ReadInt(kPic, kThreshold, -1), 0, 255, first.threshold);
    settings.saveTurn = InRangeOr(store.ReadInt(kPic, kSaveTurn, 0), 0, 2, first.saveTurn);
    settings.watermark = ReadWatermark(store);
}

}  // namespace

StoredSettings ReadStoredSettings(CIniFile& store) {
    StoredSettings settings;
    if (store.EnsureFile() == 0) {
        settings.picPath = settings.recordPath = DocumentsFolder();
        settings.problem = store.Problem();
        return settings;
    }
    using namespace qvini;
    settings.videoWidth = store.ReadInt(kVideo, kVideoWidth, -1);
    settings.videoHeight = store.ReadInt(kVideo, kVideoHeight, -1);
    // Whole, as folders are: an identity may be as long as a path.
    settings.videoDevice = store.ReadFolder(kVideo, kVideoDevice, QString());
    settings.recordFormat = MinusOneAsZero(store.ReadInt(kVideo, kRecordFormat, -1));
    settings.recordIndex = store.ReadInt(kVideo, kRecordIndex, 0);
    settings.picIndex = store.ReadInt(kPic, kPicIndex, 0);
    settings.nameMode = store.ReadInt(kPic, kNameMode, 0);
    // Anything but the page mode is the timed mode, as it was before the choice existed.
    settings.autoMode = store.ReadInt(kPic, kAutoMode, 0) == 1 ? 1 : 0;

    const QString documents = DocumentsFolder();
    settings.picPath = store.ReadFolder(kPic, kPicPath, documents);
    settings.recordPath = store.ReadFolder(kVideo, kRecordPath, documents);
    settings.picName = NameOr(store.ReadString(kPic, kPicName, QString()), u"Image"_qs);
    settings.recordName = NameOr(store.ReadString(kVideo, kRecordName, QString()), u"Record"_qs);

    settings.quality = store.ReadInt(kPic, kQuantity, 50);
    ReadPictureChoices(store, settings);
    settings.pdfSearchable = store.ReadInt(kPdf, kPdfSearchable, 1) != 0 ? 1 : 0;
    return settings;
}

bool WriteWatermarkSettings(CIniFile* store, const StoredWatermark& mark) {
    using namespace qvini;
    bool ok = WriteSettingString(store, kPic, kWatermarkText, mark.text);
    ok = WriteSettingInt(store, kPic, kWatermarkDate, mark.date ? 1 : 0) && ok;
    ok = WriteSettingString(store, kPic, kWatermarkX, QString::number(mark.x)) && ok;
    ok = WriteSettingString(store, kPic, kWatermarkY, QString::number(mark.y)) && ok;
    ok = WriteSettingString(store, kPic, kWatermarkFace, mark.face) && ok;
    ok = WriteSettingInt(store, kPic, kWatermarkHeight, mark.height) && ok;
    ok = WriteSettingInt(store, kPic, kWatermarkWeight, mark.weight) && ok;
    ok = WriteSettingInt(store, kPic, kWatermarkItalic, mark.italic ? 1 : 0) && ok;
    ok = WriteSettingInt(store, kPic, kWatermarkUnderline, mark.underline ? 1 : 0) && ok;
    return WriteSettingInt(store, kPic, kWatermarkColour, int(mark.colour & 0xFFFFFF)) && ok;
}

bool WriteResettableSettings(CIniFile* store, const StoredSettings& settings) {
    using namespace qvini;
    bool ok = WriteSettingString(store, kPic, kPicPath, settings.picPath);
    ok = WriteSettingString(store, kPic, kPicName, settings.picName) && ok;
    ok = WriteSettingInt(store, kPic, kNameMode, settings.nameMode) && ok;
    ok = WriteSettingInt(store, kPic, kQuantity, settings.quality) && ok;
    ok = WriteSettingInt(store, kPic, kPicFormat, settings.picFormat) && ok;
    ok = WriteSettingInt(store, kPic, kInterval, settings.interval) && ok;
    ok = WriteSettingInt(store, kPic, kAutoMode, settings.autoMode) && ok;
    ok = WriteSettingInt(store, kPic, kAutoCrop, settings.autoCrop ? 1 : 0) && ok;
    ok = WriteSettingInt(store, kPic, kColourMode, settings.colourMode) && ok;
    ok = WriteSettingInt(store, kPic, kThreshold, settings.threshold) && ok;
    ok = WriteSettingInt(store, kPic, kSaveTurn, settings.saveTurn) && ok;
    ok = WriteWatermarkSettings(store, settings.watermark) && ok;
    ok = WriteSettingInt(store, kVideo, kRecordFormat, settings.recordFormat) && ok;
    ok = WriteSettingString(store, kVideo, kRecordPath, settings.recordPath) && ok;
    ok = WriteSettingInt(store, kPdf, kPdfSearchable, settings.pdfSearchable) && ok;
    return WriteSettingString(store, kVideo, kRecordName, settings.recordName) && ok;
}

bool WriteSettingInt(CIniFile* store, const QString& section, const QString& key, int value) {
    return store != nullptr && store->WriteInt(section, key, value);
}

bool WriteSettingString(CIniFile* store, const QString& section, const QString& key,
                        const QString& value) {
    return store != nullptr && store->WriteString(section, key, value);
}
