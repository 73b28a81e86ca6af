// The main window's side of files given on the command line or handed over by a later copy of
// the program.

#include <QStringList>

#include "app/quorvane_dlg.h"
#include "app/work_region_mgr.h"
#include "platform/message_box.h"
#include "view/thumbnail_view.h"

void CQuorvaneDlg::OpenFiles(const QStringList& paths) {
    QStringList unreadable;
    bool added = false;
    for (const QString& path : paths) {
        CDibImage picture;
        if (!picture.Load(path, 0)) {
            unreadable << path;
            continue;
        }
        picture.Resample(kPhotoThumbnailSize, kPhotoThumbnailSize, 1);
        thumbnails_->AddPicture(picture, path);
        added = true;
    }
    if (added) {
        thumbnails_->SelectNewest();
        if (WorkMode() == CWorkRegionMgr::kModePicture) {
            ReloadSelectedPicture(thumbnails_->GetSelectedPath());
        } else {
            SendWindowMessage(this, qvmsg::kSetWorkMode, CWorkRegionMgr::kModePicture, 0);
        }
    }
    if (!unreadable.isEmpty()) {
        QvMessageBox(QStringLiteral("无法打开以下文件:\n") + unreadable.join(u'\n'),
                     NoticeCaption());
    }
}

void CQuorvaneDlg::BringToFront() {
    if (isMinimized()) {
        showNormal();
    }
    raise();
    activateWindow();
}
