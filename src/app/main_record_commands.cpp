// The main window's recording commands: "录像" (start or stop a recording of the live picture),
// "录像设置" (the recording settings dialog), and finishing a recording, which happens off the
// user-interface thread, with the user told when it did not end well.

#include <gst/gst.h>

#include "app/quorvane_dlg.h"
#include "app/work_region_mgr.h"
#include "capture/device_set.h"
#include "capture/record_file_name.h"
#include "capture/recording_finisher.h"
#include "capture/video_recorder.h"
#include "dialogs/record_setting.h"
#include "platform/message_box.h"
#include "ui/qv_button.h"
#include "view/video_item.h"

namespace {

// The camera's frame rate as its pipeline runs now; 0 when unknown.
int CameraFrameRate(CDeviceSet* devices) {
    AboutDirectShow* engine = devices != nullptr ? devices->Engine() : nullptr;
    GstElement* source = engine != nullptr ? engine->SourceElement() : nullptr;
    GstPad* pad = source != nullptr ? gst_element_get_static_pad(source, "src") : nullptr;
    GstCaps* caps = pad != nullptr ? gst_pad_get_current_caps(pad) : nullptr;
    int n = 0;
    int d = 1;
    if (caps != nullptr && !gst_caps_is_empty(caps) &&
        !gst_structure_get_fraction(gst_caps_get_structure(caps, 0), "framerate", &n, &d)) {
        n = 0;
    }
    if (caps != nullptr)
        gst_caps_unref(caps);
    if (pad != nullptr)
        gst_object_unref(pad);
    return n > 0 && d > 0 ? (n + d - 1) / d : 0;
}

// What the user is told of a finished recording: nothing when it ended as asked; otherwise why
// it ended, where the file is and what it holds.
QString RecordingReport(const RecordingOutcome& outcome, const QString& notice) {
    const QString seconds = QString::number(outcome.seconds, 'f', 1);
    const QString left =
        outcome.kept
            ? QStringLiteral("录像已保存为 %1，可以播放 %2 秒。").arg(outcome.fileName, seconds)
            : QStringLiteral("录像 %1 没有留下可以播放的内容。").arg(outcome.fileName);
    if (!outcome.failure.isEmpty())
        return QStringLiteral("录像没有正常结束：%1\n").arg(outcome.failure) + left;
    if (outcome.moved)
        return QStringLiteral("录像文件所在的文件夹在录像时被删除了。\n") + left;
    return notice.isEmpty() ? QString() : notice + u'\n' + left;
}

}  // namespace

void CQuorvaneDlg::ToggleRecording() {
    const GstClockTime asked = CVideoRecorder::ClockNow();  // the file starts at the click
    CQVButton* button = Button(mainctl::kRecord);
    CVideoRecorder* recorder = CVideoRecorder::Current();
    if (recorder != nullptr && recorder->IsRecording()) {
        FinishRecording();
        return;
    }
    EnsureDefaultFolder(stored_.recordPath);
    recorder = CVideoRecorder::CreateRecorder();
    recorder->SetFailureHandler([this] { FinishRecording(); });
    int32_t counter = stored_.recordIndex;
    const QString path = NextRecordPath(stored_.recordPath, stored_.recordName, counter,
                                        RecordExtension(stored_.recordFormat));
    CVideoItem* video = workRegion_ != nullptr ? workRegion_->GetVideoItem() : nullptr;
    const CDibImage* picture =
        video != nullptr && video->HasImage() ? &video->GetWorkImage() : nullptr;
    const int width = picture != nullptr ? int(picture->GetWidth()) : 0;
    const int height = picture != nullptr ? int(picture->GetHeight()) : 0;
    const int rate =
        CameraFrameRate(workRegion_ != nullptr ? workRegion_->GetDeviceSet() : nullptr);
    if (!recorder->StartRecording(path, width, height,
                                  rate > 0 ? rate : CVideoRecorder::kDefaultFramesPerSecond,
                                  asked)) {
        CVideoRecorder::DestroyRecorder();
        return;  // the recorder told the user why; the counter stays
    }
    stored_.recordIndex = counter;
    WriteSettingInt(&settings_, qvini::kVideo, qvini::kRecordIndex, counter);
    CVideoRecorder::PushFrame(*picture);  // the recording opens on the picture shown now
    button->SetText(15, 10, QStringLiteral("停止录像"));
}

void CQuorvaneDlg::ShowRecordSettings() {
    CRecordSetting dialog(this);
    dialog.format = stored_.recordFormat;
    dialog.path = stored_.recordPath;
    dialog.name = stored_.recordName;
    dialog.exec();
    stored_.recordFormat = dialog.format;
    stored_.recordPath = dialog.path;
    stored_.recordName = dialog.name;
    WriteSettingInt(&settings_, qvini::kVideo, qvini::kRecordFormat, dialog.format);
    WriteSettingString(&settings_, qvini::kVideo, qvini::kRecordPath, dialog.path);
    WriteSettingString(&settings_, qvini::kVideo, qvini::kRecordName, dialog.name);
}

void CQuorvaneDlg::FinishRecording(const QString& notice) {
    std::unique_ptr<CVideoRecorder> recorder = CVideoRecorder::TakeCurrent();
    if (!recorder)
        return;
    if (CQVButton* button = Button(mainctl::kRecord))
        button->SetText(15, 10, QStringLiteral("录像"));
    recordingFinisher_->Finish(std::move(recorder), [notice](const RecordingOutcome& outcome) {
        const QString text = RecordingReport(outcome, notice);
        if (!text.isEmpty())
            QvMessageBox(text, QStringLiteral("录像"),
                         outcome.kept && outcome.failure.isEmpty() ? MessageIcon::kNone
                                                                   : MessageIcon::kError);
    });
}

bool CQuorvaneDlg::IsFinishingRecordings() const {
    return recordingFinisher_->IsBusy();
}

void CQuorvaneDlg::WaitForRecordings() {
    FinishRecording();
    recordingFinisher_->WaitForAll();
}
