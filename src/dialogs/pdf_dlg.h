#pragma once
// CPDFDlg: the dialog in which the user makes one PDF file from a list of pictures. The list
// starts with the photos of this run, newest first; the user adds files from disk, removes
// entries, drags them into page order, previews the selected one, opens it in the desktop's
// picture viewer, chooses the PDF file and confirms. Every picture becomes one JPEG page; the
// first one fixes the page size. With "生成可搜索PDF (文字识别)" the recognised text of each page
// lies under it, so the PDF can be searched. The pages are made on a worker thread while the
// dialog shows which page is at which step and stays responsive; "取消" then stops the making
// and leaves no file, and closing the dialog stops it without waiting for it.

#include <QRect>
#include <QString>
#include <QStringList>

#include "image/dib_image.h"
#include "image/pdf_maker.h"
#include "image/picture_loader.h"
#include "ui/qv_dialog.h"

class CKTListBox;
class CPdfMakingJob;
class CQVButton;
class QCheckBox;
class QLineEdit;

class CPDFDlg : public CQVDialog {
    Q_OBJECT

public:
    enum : int {
        kPathEditId = 1031,
        kOkId = 1033,
        kCancelId = 1034,
        kFileListId = 1047,
        kAddId = 1048,
        kDeleteId = 1049,
        kBrowseId = 1050,
        kOpenId = 1051,
    };
    static constexpr QRect kPreviewRect{500, 120, 128, 128};
    // Progress while making: beside "取消".
    static constexpr QRect kProgressRect{370, 320, 290, 30};
    // The check box's caption.
    static constexpr const char16_t* kSearchableText = u"生成可搜索PDF (文字识别)";

    // pictures: the thumbnail strip's files, newest first.
    explicit CPDFDlg(const QStringList& pictures, QWidget* parent = nullptr);
    ~CPDFDlg() override;

    // The list's entries in page order.
    QStringList Paths() const;
    // Appends path unless the list already names that file.
    void AddUnique(const QString& path);

    CKTListBox* FileList() const { return fileList_; }
    QLineEdit* PathEdit() const { return pathEdit_; }
    CQVButton* Button(int id) const;
    const QString& PdfPath() const { return pdfPath_; }
    const QString& PreviewPath() const { return previewPath_; }
    const CDibImage& PreviewImage() const { return previewImage_; }
    // True while the selected picture is read for the preview.
    bool IsPreviewLoading() const { return previewLoader_->IsBusy(); }
    bool IsMaking() const;
    // Pages done and pages in all while making.
    int ProgressDone() const { return progress_.done; }
    int ProgressTotal() const { return progress_.total; }
    // What the progress says, as shown.
    QString ProgressText() const;

    // How pages' text is read, or why it cannot be (the check box is then greyed, with that as
    // its tip). Until set, it cannot be.
    void SetTextRecognition(CPdfMaker::TextReaders readers, const QString& unavailable);
    // The choice of "生成可搜索PDF": as set, or as the user changed it; a greyed box keeps the
    // choice as it was set.
    void SetSearchable(bool searchable);
    bool Searchable() const;
    QCheckBox* SearchableBox() const { return searchableBox_; }

protected:
    bool OnInitDialog() override;
    void OnOK() override;
    void reject() override;
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

    // The desktop's file dialogs; empty when the user cancels.
    virtual QStringList AskPicturesToAdd();
    virtual QString AskPdfPath();

private:
    void CreateButtons();
    void OnButton(int id);
    // The selected entry; -1 when none is (the list's current entry may be unselected).
    int SelectedRow() const;
    // Reads the selected picture for the preview in the background; a newer selection
    // supersedes it, and closing the dialog cancels it.
    void ShowPreview();
    void OnPreviewLoaded(const PictureRequest& request, LoadedPicture& picture);
    static bool FitPreview(LoadedPicture& picture);
    void AddFiles();
    void RemoveSelected();
    void ChoosePdfPath();
    void OpenInViewer();
    void MakePdf();
    void OnProgress(const CPdfMaker::Progress& progress);
    void OnMade(const CPdfMaker::Result& result);
    void SetControlsEnabled(bool enabled);
    QString StartFolder() const;
    void PaintProgress(QPainter& painter);

    CKTListBox* fileList_ = nullptr;
    QLineEdit* pathEdit_ = nullptr;
    CQVButton* buttons_[6] = {};
    QStringList paths_;
    CDibImage previewImage_;
    QString previewPath_;
    CPictureLoader* previewLoader_ = nullptr;
    QString previewNote_;  // shown in the preview's place when the picture is refused
    QString pdfPath_;
    QCheckBox* searchableBox_ = nullptr;
    bool searchable_ = true;
    CPdfMaker::TextReaders textReaders_;
    CPdfMakingJob* job_ = nullptr;
    CPdfMaker::Progress progress_;  // pages done, and the latest step of a page
    bool closing_ = false;          // closed while making: the result is no longer shown
};
