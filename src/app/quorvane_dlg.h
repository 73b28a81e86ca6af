#pragma once
// CQuorvaneDlg: the one main window. A borderless skinned window of fixed size, dragged by its
// 35-pixel title strip: the tool buttons, the folder and action buttons, the places of the work
// region, the thumbnail strip and the two panels, and the values the commands work on. Every
// button click arrives as the button-clicked window message and runs the button's command
// (main_commands.cpp).

#include <QDialog>
#include <QFont>
#include <QImage>
#include <QPoint>
#include <QString>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <thread>

#include "app/language.h"
#include "app/main_layout.h"
#include "app/photo_naming.h"
#include "app/photo_pipeline.h"
#include "image/dib_image.h"
#include "image/pdf_page_text.h"
#include "platform/win_types.h"
#include "platform/window_messages.h"
#include "settings/ini_file.h"
#include "settings/stored_settings.h"
#include "ui/main_window_services.h"
#include "ui/qv_tip_ctrl.h"
#include "view/picture_printing.h"

class CBusyPanel;
class CColorMode;
class CPageCapture;
class CPicture;
class CPictureOpener;
class CQVButton;
class CQVDialog;
class CRecordingFinisher;
class CSaveNotice;
class CSaveOption;
class CTextRecogniser;
class CTextRecognitionJob;
class CThumnailView;
class CWorkRegionMgr;
class QKeyEvent;
class QTimer;
struct OcrOutcome;

class CQuorvaneDlg : public QDialog, public QVLanguage, public MainWindowServices {
    Q_OBJECT

public:
    explicit CQuorvaneDlg(QWidget* parent = nullptr);
    ~CQuorvaneDlg() override;

    // --- MainWindowServices
    QObject* MessageTarget() override { return this; }
    void ToggleFullScreen() override;
    int WorkMode() const override;
    const CDibImage* SkinImage(int number) const override;
    int StoredVideoWidth() const override { return stored_.videoWidth; }
    int StoredVideoHeight() const override { return stored_.videoHeight; }
    QString StoredVideoDevice() const override { return stored_.videoDevice; }
    CPicture* LivePicture() override;
    bool WriteSetting(const QString& section, const QString& key, int value) override;

    // One photograph (the "拍照" command, the Enter key and the continuous-capture timer).
    virtual void TakePhoto();
    // What "拍照" says without a live picture.
    static QString NoLivePictureText() { return QStringLiteral("没有实时画面，无法拍照"); }
    // Starts continuous photos or stops them: in the timed mode one at once, then one per
    // captureInterval; in the page mode one each time a new page lies still (page_capture.h).
    void ToggleContinuous();
    // Ends continuous photos, if running, and puts the button's text back. Leaving the live
    // picture does this: a still picture gives nothing to photograph.
    void StopContinuous();
    bool IsContinuousRunning() const { return continuousRunning_; }
    // 0 timed continuous photos, 1 a photo on each new page ([PIC] automode).
    int AutoMode() const { return stored_.autoMode; }
    // Period of continuous photos in seconds (the picture-format dialog's value); continuous
    // photos already running take it at once.
    void SetCaptureInterval(int seconds);
    // The main window's values that shape a saved photo (quality, watermark, save turn).
    PhotoOptions CurrentPhotoOptions() const;
    // The colour mode photos are taken in (0 colour, 1 grey, 2 black and white).
    int PhotoColourMode() const;
    CWorkRegionMgr* WorkRegion() const { return workRegion_; }
    CThumnailView* Thumbnails() const { return thumbnails_; }
    CColorMode* ColourModePanel() const { return colourModePanel_; }
    CSaveOption* SaveOptionPanel() const { return saveOptionPanel_; }
    CSaveNotice* SaveNotice() const { return saveNotice_; }
    // Replaces the clock of time-stamp photo names (scripted runs and tests).
    void SetPhotoClock(CPhotoNamer::Clock clock) { photoNamer_ = CPhotoNamer(std::move(clock)); }

    // --- The settings dialogs and "默认设置" (main_settings_commands.cpp)
    // Runs a settings dialog modally (exec); tests drive the dialog in its place.
    using DialogRunner = std::function<void(CQVDialog& dialog)>;
    void SetDialogRunner(DialogRunner runner) { dialogRunner_ = std::move(runner); }
    // 0 BMP, 1 JPEG, 2 TIFF, 3 PNG, or a number the picture-format dialog gave back unchanged.
    int PictureFormatNumber() const { return pictureFormatNumber_; }
    const QString& PictureExtension() const { return pictureExtension_; }
    int CaptureInterval() const { return captureInterval_; }

    // --- "文字识别" (main_text_commands.cpp)
    // Shows recognised text: the text result dialog, run modally, unless replaced.
    using TextResultPresenter = std::function<void(const QString& text, const QString& picture)>;
    // Recognises the text of the shown picture (or of its selection box) in the background; a
    // press while a run is under way is told so.
    void RecogniseText();
    bool IsRecognisingText() const;
    void CancelTextRecognition();
    CBusyPanel* TextBusyPanel() const { return textBusy_; }
    // Replaces the result dialog (tests, scripted runs); an empty presenter restores it.
    void SetTextResultPresenter(TextResultPresenter presenter) {
        textPresenter_ = std::move(presenter);
    }

    void EnterFullScreen();
    void LeaveFullScreen();
    bool IsFullScreen() const { return fullScreen_; }
    // Enables the buttons that belong to the mode (0 live, 1 picture); the rest keep their state.
    void EnableForMode(int mode);

    // Files from the command line or from a later copy of the program (main_open_files.cpp):
    // each readable picture joins the thumbnail strip as its thumbnail is made in the
    // background, and once the last is in, the newest is shown in picture mode; files that
    // cannot be read are named in one message.
    void OpenFiles(const QStringList& paths);
    // True while the thumbnails of files given to OpenFiles are being made.
    bool IsOpeningFiles() const;
    // Restores, raises and activates the window (a later copy of the program was started).
    void BringToFront();

    CQVButton* Button(int id) const;

    // --- Recording (main_record_commands.cpp)
    // "录像": starts a recording of the live picture into the next free recording file name,
    // or stops and finishes the running one.
    void ToggleRecording();
    // "录像设置": the recording settings dialog; the three values are stored when it closes.
    void ShowRecordSettings();
    // Ends the running recording, if any: the button shows "录像" again at once, and the file is
    // finished off the user-interface thread. The user is told afterwards when the recording did
    // not end well (why, where the file is and what it holds); with a notice (for example that
    // the camera was unplugged), also when it did, so that they know where it is.
    void FinishRecording(const QString& notice = {});
    // Finishes the running recording and waits until every recording is finished (the program
    // ends).
    void WaitForRecordings();
    bool IsFinishingRecordings() const;
    bool IsDragging() const { return dragging_; }
    const StoredSettings& Stored() const { return stored_; }
    const QString& Title() const { return title_; }

protected:
    // Creates the children, sets up the buttons and enters live mode; runs once, before the
    // window is first shown. False when a child could not be created.
    virtual bool OnInitDialog();

    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void LoadSkins();
    void CreateFonts();
    void PlaceOnScreen();
    void ApplyRoundedShape(bool rounded);
    bool CreateChildren();
    void SetUpButtons();
    void LayOutWorkRegion();
    // The text recognition's busy panel stays over the work region as the window changes size.
    void PlaceTextBusyPanel();
    void SetChildrenVisible(bool visible);
    bool HandleKey(const QKeyEvent& key, const QWidget* receiver);
    void ShowAbout();

    // Window messages (main_commands.cpp for the button commands).
    LParam OnButtonClicked(WParam id);
    LParam OnSetWorkMode(WParam mode);
    LParam OnAutoCropChanged(WParam on);

    // The work region and the photos (main_work_region.cpp, take_photo.cpp).
    void ShowPanels(bool visible);
    void ShowStoredPanelChoices();
    void ReloadSelectedPicture(const QString& path);
    void ReportUnsavedPhoto(const QString& path, const PhotoResult& result);
    void StartPageCapture();
    CPicture* CurrentItem() const;
    void ToggleActualSize();
    void OpenStorageFolder();
    void ShowCaptureSizePage();
    // "视频设置": the camera's settings with the choice of camera, kept as [Video] device.
    void ShowCameraSettings();
    // The camera in use was unplugged: what needs a live picture stops.
    void OnCameraUnplugged();

    // The settings dialogs and "默认设置" (main_settings_commands.cpp).
    void RunSettingsDialog(CQVDialog& dialog);
    void ChooseStorageFolder();
    void CreateStorageFolder();
    void ChooseFileNaming();
    void ChoosePictureFormat();
    void ShowScanSize();
    void RestoreDefaults();
    // Makes folder when it is the default one (the documents folder) and missing.
    void EnsureDefaultFolder(const QString& folder) const;
    void StorePicturePath(const QString& folder);
    // "PDF制作" (main_pdf_command.cpp).
    void RunPdfDialog();

    CQVTipCtrl tip_;
    CDibImage background_;
    std::map<int, CDibImage> skins_;
    QImage backgroundBitmap_;  // background_ drawn once, for the skin painting
    std::array<CQVButton*, mainui::kToolButtonCount> toolButtons_{};
    CQVButton* openFolderButton_ = nullptr;
    CQVButton* newFolderButton_ = nullptr;
    bool actualSizeFlag_ = false;
    bool dragging_ = false;
    QPoint dragOffset_;
    QFont titleFont_;
    QString title_;
    // Work region mode: -1 until the window is initialised, 0 live, 1 picture.
    int workMode_ = -1;
    CWorkRegionMgr* workRegion_ = nullptr;
    CThumnailView* thumbnails_ = nullptr;
    QString pictureExtension_ = QStringLiteral("jpg");
    QvRect linkRect_;
    bool linkVisited_ = false;
    int savedLeft_ = 0;
    int savedTop_ = 0;
    QFont headingFont_;
    QFont linkFont_;
    bool fullScreen_ = false;
    int captureInterval_ = 2;
    bool continuousRunning_ = false;
    QFont watermarkFont_;
    QvColour watermarkColour_ = 0;
    float watermarkX_ = 0.0f;
    float watermarkY_ = 0.0f;
    QString watermarkText_;
    bool dateWatermark_ = false;
    CIniFile settings_;
    StoredSettings stored_;

    // Skin texts that a build may configure: the maker's site caption, a footer line and the
    // site's address. This build shows none of them.
    QString siteCaption_;
    QString footer_;
    QString siteAddress_;
    bool initialised_ = false;

    CColorMode* colourModePanel_ = nullptr;
    CSaveOption* saveOptionPanel_ = nullptr;
    CSaveNotice* saveNotice_ = nullptr;
    QTimer* continuousTimer_ = nullptr;    // timer 1: continuous photos
    CPageCapture* pageCapture_ = nullptr;  // continuous photos in the page mode
    std::unique_ptr<CRecordingFinisher> recordingFinisher_;
    std::thread encoderLoader_;  // CVideoRecorder::LoadEncoders, joined at the end
    CPhotoNamer photoNamer_;

    // The settings dialogs (main_settings_commands.cpp).
    int pictureFormatNumber_ = 1;
    DialogRunner dialogRunner_;

    // Printing and the watermark dialog (main_print_commands.cpp, main_watermark_command.cpp).
public:
    // The printer "打印设置" chose for this run; none chosen: the desktop's default printer.
    const PrinterChoice& ChosenPrinter() const { return printerChoice_; }

private:
    // Files being opened (main_open_files.cpp).
    void OnFilesOpened(bool added, const QStringList& refused);
    CPictureOpener* opener_ = nullptr;

    void PrintShownPicture();
    void SetUpPrinter();
    void ShowWatermarkDialog();
    // The watermark values from the settings file's, and stored there when they changed.
    void TakeStoredWatermark(const StoredWatermark& mark);
    void StoreWatermark();

    PrinterChoice printerChoice_;

    // Text recognition: the engine, kept loaded after its first use, the background run, and
    // its busy panel with the timer that shows the run's progress.
    void OnTextRecognised(const OcrOutcome& outcome);
    void ShowTextResult(const QString& text, const QString& picture);
    std::shared_ptr<CTextRecogniser> textRecogniser_;
    CTextRecognitionJob* textJob_ = nullptr;
    CBusyPanel* textBusy_ = nullptr;
    QTimer* textProgressTimer_ = nullptr;
    QString textPicturePath_;
    CDibImage textPicture_;  // the picture being read, for "保存PDF"
    PdfPageText textLayer_;  // its recognised lines, once read
    TextResultPresenter textPresenter_;

    // The settings file and photo names under hostile conditions (main_settings_problems.cpp,
    // take_photo.cpp).
    // The path of the next photo from the naming settings; advances counter past it.
    QString NextPhotoPath(const QString& extension, int* counter) const;
    void WatchSettingsFile();
    void ReportSettingsProblem(const QString& text);
    bool settingsProblemShown_ = false;
};
