// The main window's settings commands: the storage folder, a new folder, file naming, picture
// format and interval, scan size, and "默认设置". Each dialog is given the main window's values
// before it runs and gives them back after, however it was closed; they are written to the
// settings file at once.

#include <QDir>

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

// What "默认设置" asks before it puts everything it lists back as a first run has it.
const QString kRestoreQuestion = QStringLiteral(
    "恢复默认设置?\n\n以下设置将恢复为首次运行时的值：\n"
    "图片存储路径、文件命名、图片格式、连拍方式和间隔、JPEG压缩质量、\n"
    "自动裁切、色彩模式和黑白阀值、文件保存方向、\n"
    "水印（文字、日期、位置、字体、颜色）、\n"
    "录像格式、录像路径和录像文件名、可搜索PDF。\n\n"
    "照片和录像的编号、所选的摄像头和分辨率不变。");

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

// The next photo takes the format, and continuous photos, running or started later, the
// interval; the kind of continuous photos is taken by the next "开始连拍". All are kept in the
// settings file; a format number outside 0-3 keeps the extension and is not stored.
void CQuorvaneDlg::ChoosePictureFormat() {
    CPicFormatDlg dialog(this);
    dialog.SetFormat(pictureFormatNumber_);
    dialog.SetInterval(captureInterval_);
    dialog.SetAutoMode(stored_.autoMode);
    RunSettingsDialog(dialog);
    pictureFormatNumber_ = dialog.Format();
    pictureExtension_ = CPhotoNamer::FormatExtension(pictureFormatNumber_, pictureExtension_);
    SetCaptureInterval(dialog.Interval());
    if (pictureFormatNumber_ >= 0 && pictureFormatNumber_ <= 3) {
        stored_.picFormat = pictureFormatNumber_;
        WriteSettingInt(&settings_, qvini::kPic, qvini::kPicFormat, stored_.picFormat);
    }
    stored_.interval = captureInterval_;
    WriteSettingInt(&settings_, qvini::kPic, qvini::kInterval, stored_.interval);
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
// and recording counters stay, so no earlier file name comes round again; so do the camera and
// its size.
void CQuorvaneDlg::RestoreDefaults() {
    if (!QvConfirm(kRestoreQuestion, QStringLiteral("默认设置"))) {
        return;
    }
    StoredSettings first;
    first.picPath = first.recordPath = DocumentsFolder();
    first.picIndex = stored_.picIndex;
    first.recordIndex = stored_.recordIndex;
    first.videoWidth = stored_.videoWidth;
    first.videoHeight = stored_.videoHeight;
    first.videoDevice = stored_.videoDevice;
    first.problem = stored_.problem;
    stored_ = first;
    WriteResettableSettings(&settings_, stored_);
    EnsureDefaultFolder(stored_.picPath);

    pictureFormatNumber_ = stored_.picFormat;
    pictureExtension_ = CPhotoNamer::FormatExtension(stored_.picFormat, pictureExtension_);
    SetCaptureInterval(stored_.interval);
    TakeStoredWatermark(stored_.watermark);
    ShowStoredPanelChoices();
}

// The documents folder is where photos and recordings go on a first run; on a fresh account it
// may not exist yet, and the first photo would be lost, the first recording refused. A folder
// the user chose is never made behind their back: when it goes missing, the save notice (or
// the refused recording) names it.
void CQuorvaneDlg::EnsureDefaultFolder(const QString& folder) const {
    const QString documents = DocumentsFolder();
    if (!documents.isEmpty() && folder == documents) {
        QDir().mkpath(documents);
    }
}
