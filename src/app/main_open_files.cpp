// The main window's side of files given on the command line or handed over by a later copy of
// the program.

#include <QGuiApplication>
#include <QStringList>

#include "app/picture_opener.h"
#include "app/quorvane_dlg.h"
#include "app/work_region_mgr.h"
#include "platform/message_box.h"
#include "view/thumbnail_view.h"

void CQuorvaneDlg::OpenFiles(const QStringList& paths) {
    if (opener_ == nullptr) {
        opener_ = new CPictureOpener(
            [this](const CDibImage& thumbnail, const QString& path) {
                thumbnails_->AddPicture(thumbnail, path);
            },
            this);
        connect(opener_, &CPictureOpener::Finished, this, &CQuorvaneDlg::OnFilesOpened);
    }
    if (paths.isEmpty())
        return;
    // The thumbnail of a big picture takes seconds: the window keeps working meanwhile, under
    // the busy cursor until the last file is in.
    if (!IsOpeningFiles())
        QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    opener_->Open(paths);
}

bool CQuorvaneDlg::IsOpeningFiles() const {
    return opener_ != nullptr && opener_->IsBusy();
}

void CQuorvaneDlg::OnFilesOpened(bool added, const QStringList& refused) {
    QGuiApplication::restoreOverrideCursor();
    if (added) {
        thumbnails_->SelectNewest();
        if (WorkMode() == CWorkRegionMgr::kModePicture) {
            ReloadSelectedPicture(thumbnails_->GetSelectedPath());
        } else {
            SendWindowMessage(this, qvmsg::kSetWorkMode, CWorkRegionMgr::kModePicture, 0);
        }
    }
    if (!refused.isEmpty()) {
        QvMessageBox(QStringLiteral("无法打开以下文件:\n") + refused.join(u'\n'), NoticeCaption());
    }
}

void CQuorvaneDlg::BringToFront() {
    if (isMinimized()) {
        showNormal();
    }
    raise();
    activateWindow();
}
