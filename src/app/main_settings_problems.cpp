// The main window's side of a settings file it cannot use: running on the fall-back values, or
// losing the values it writes, is said once rather than passed over in silence.

#include "app/quorvane_dlg.h"
#include "app/save_notice.h"

void CQuorvaneDlg::WatchSettingsFile() {
    settings_.SetWriteFailureHandler([this](const QString& reason) {
        ReportSettingsProblem(QStringLiteral("设置未能保存：%1").arg(reason));
    });
}

// Once a run: a full disk fails every later write too, and a photo's own banner says the rest.
void CQuorvaneDlg::ReportSettingsProblem(const QString& text) {
    if (text.isEmpty() || settingsProblemShown_ || saveNotice_ == nullptr) {
        return;
    }
    settingsProblemShown_ = true;
    saveNotice_->ShowMessage(text);
}
