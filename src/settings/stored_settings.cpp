#include "settings/stored_settings.h"

#include "platform/user_folders.h"
#include "settings/ini_file.h"

namespace {

int MinusOneAsZero(int value) {
    return value == -1 ? 0 : value;
}

QString EmptyAs(const QString& value, const QString& replacement) {
    return value.isEmpty() ? replacement : value;
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
    settings.picFormat = MinusOneAsZero(store.ReadInt(kPic, kPicFormat, -1));
    settings.recordFormat = MinusOneAsZero(store.ReadInt(kVideo, kRecordFormat, -1));
    settings.recordIndex = store.ReadInt(kVideo, kRecordIndex, 0);
    settings.picIndex = store.ReadInt(kPic, kPicIndex, 0);
    settings.nameMode = store.ReadInt(kPic, kNameMode, 0);
    // Anything but the page mode is the timed mode, as it was before the choice existed.
    settings.autoMode = store.ReadInt(kPic, kAutoMode, 0) == 1 ? 1 : 0;

    const QString documents = DocumentsFolder();
    settings.picPath = store.ReadFolder(kPic, kPicPath, documents);
    settings.recordPath = store.ReadFolder(kVideo, kRecordPath, documents);
    settings.picName = EmptyAs(store.ReadString(kPic, kPicName, QString()), u"Image"_qs);
    settings.recordName = EmptyAs(store.ReadString(kVideo, kRecordName, QString()), u"Record"_qs);

    settings.quality = store.ReadInt(kPic, kQuantity, 50);
    return settings;
}

bool WriteSettingInt(CIniFile* store, const QString& section, const QString& key, int value) {
    return store != nullptr && store->WriteInt(section, key, value);
}

bool WriteSettingString(CIniFile* store, const QString& section, const QString& key,
                        const QString& value) {
    return store != nullptr && store->WriteString(section, key, value);
}
