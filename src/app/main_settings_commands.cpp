// The main window's settings commands: the storage folder, a new folder, file naming, picture
// format and interval, scan size, and "默认设置". Each dialog is given the main window's values
// before it runs and gives them back after, however it was closed; the stored ones are written
// to the settings file at once.

#include <QDir>
#include <iterator>

#include "app/quorvane_dlg.h"
#include "dialogs/file_naming_dialog.h"
#include "dialogs/new_folder_dialog.h"
#include "dialogs/picture_format_dialog.h"
#include "dialogs/scan_size_dialog.h"
#include "dialogs/storage_path_dialog.h"
#include "platform/message_box.h"
#include "platform/user_folders.h"
#include "ui/color_mode_panel.h"
#include "ui/save_option_panel.h"

namespace {

// What a run starts with for the values the settings file does not keep.
constexpr int kFirstPictureFormat = 1;  // JPEG
constexpr int kFirstCaptureInterval = 2;

// The extension of photo files for a picture format number; another number keeps the current.
QString ExtensionOf(int format, const QString& current) {
    static constexpr const char16_t* kExtensions[] = {u"bmp", u"jpg", u"tif", u"png"};
    return format >= 0 && format < int(std::size(kExtensions))
               ? QString::fromUtf16(kExtensions[format])
               : current;
}

}  // namespace

void CQuorvaneDlg::RunSettingsDialog(CQVDialog& dialog) {
    if (dialogRunner_) {
        dialogRunner_(dialog);
    } else {
        dialog.exec();
    }
}

void CQuorvaneDlg::StorePicturePath(const QString& folder) {
    stored_.picPath = folder;
    WriteSettingString(&settings_, qvini::kPic, qvini::kPicPath, folder);
}

void CQuorvaneDlg::ChooseStorageFolder() {
    CQVPathSettingDlg dialog(Text(kStoragePathCaption), this);
    dialog.SetPath(stored_.picPath);
    RunSettingsDialog(dialog);
    StorePicturePath(dialog.Path());
}

// A folder that could not be made never becomes the storage folder: photos keep going where
// they went, and the user learns why.
void CQuorvaneDlg::CreateStorageFolder() {
    CCreateDirDlg dialog(stored_.picPath, this);
    RunSettingsDialog(dialog);
    if (dialog.Path().isEmpty()) {
        QvMessageBox(QStringLiteral("没有新建文件夹：%1\n照片仍保存在“%2”。")
                         .arg(dialog.Failure(), stored_.picPath),
                     QStringLiteral("新建文件夹"), MessageIcon::kError);
        return;
    }
    StorePicturePath(dialog.Path());
}

void CQuorvaneDlg::ChooseFileNaming() {
    CNameFileDlg dialog(Text(kFileNamingCaption), this);
    dialog.SetPrefix(stored_.picName);
    dialog.SetMode(stored_.nameMode);
    RunSettingsDialog(dialog);
    stored_.picName = dialog.Prefix();
    stored_.nameMode = dialog.Mode();
    WriteSettingString(&settings_, qvini::kPic, qvini::kPicName, stored_.picName);
    WriteSettingInt(&settings_, qvini::kPic, qvini::kNameMode, stored_.nameMode);
}

// The format and the interval live for this run only; the next photo uses them, and continuous
// photos, running or started later, the interval. The kind of continuous photos is kept in the
// settings file and taken by the next "开始连拍".
void CQuorvaneDlg::ChoosePictureFormat() {
    CPicFormatDlg dialog(this);
    dialog.SetFormat(pictureFormatNumber_);
    dialog.SetInterval(captureInterval_);
    dialog.SetAutoMode(stored_.autoMode);
    RunSettingsDialog(dialog);
    pictureFormatNumber_ = dialog.Format();
    pictureExtension_ = ExtensionOf(pictureFormatNumber_, pictureExtension_);
    SetCaptureInterval(dialog.Interval());
    if (dialog.AutoMode() != stored_.autoMode) {
        stored_.autoMode = dialog.AutoMode();
        WriteSettingInt(&settings_, qvini::kPic, qvini::kAutoMode, stored_.autoMode);
    }
}

void CQuorvaneDlg::ShowScanSize() {
    CScanSizeDlg dialog(this);
    RunSettingsDialog(dialog);
}

// Every setting as a first run has it, in the settings file and the panels at once. The photo
// and recording counters stay, so no earlier file name comes round again.
void CQuorvaneDlg::RestoreDefaults() {
    if (!QvConfirm(QStringLiteral("恢复默认设置?"), QStringLiteral("默认设置"))) {
        return;
    }
    const StoredSettings first;
    const QString documents = DocumentsFolder();
    StorePicturePath(documents);
    stored_.picName = first.picName;
    stored_.nameMode = first.nameMode;
    stored_.quality = first.quality;
    stored_.recordFormat = first.recordFormat;
    stored_.recordPath = documents;
    stored_.recordName = first.recordName;
    stored_.autoMode = first.autoMode;
    WriteSettingString(&settings_, qvini::kPic, qvini::kPicName, stored_.picName);
    WriteSettingInt(&settings_, qvini::kPic, qvini::kNameMode, stored_.nameMode);
    WriteSettingInt(&settings_, qvini::kPic, qvini::kQuantity, stored_.quality);
    WriteSettingInt(&settings_, qvini::kVideo, qvini::kRecordFormat, stored_.recordFormat);
    WriteSettingString(&settings_, qvini::kVideo, qvini::kRecordPath, stored_.recordPath);
    WriteSettingString(&settings_, qvini::kVideo, qvini::kRecordName, stored_.recordName);
    WriteSettingInt(&settings_, qvini::kPic, qvini::kAutoMode, stored_.autoMode);
    EnsureDefaultStorageFolder();

    pictureFormatNumber_ = kFirstPictureFormat;
    pictureExtension_ = ExtensionOf(kFirstPictureFormat, pictureExtension_);
    SetCaptureInterval(kFirstCaptureInterval);
    if (saveOptionPanel_ != nullptr) {
        saveOptionPanel_->SetQuality(stored_.quality);
        saveOptionPanel_->ClearSaveTurn();
    }
    if (colourModePanel_ != nullptr) {
        colourModePanel_->Reset();
    }
}

// The documents folder is where photos go on a first run; on a fresh account it may not exist
// yet, and the first photo would be lost. A folder the user chose is never made behind their
// back: when it goes missing, the save notice names it.
void CQuorvaneDlg::EnsureDefaultStorageFolder() const {
    const QString documents = DocumentsFolder();
    if (!documents.isEmpty() && stored_.picPath == documents) {
        QDir().mkpath(documents);
    }
}
