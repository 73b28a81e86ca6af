#pragma once
// CTextResultDlg: the recognised text of a picture, "文字识别". The text stands in an editable
// box (select, Ctrl+A, Ctrl+C as anywhere); "复制" puts all of it on the clipboard, "保存" writes
// it as a UTF-8 text file beside the picture, named after it ("scan1.jpg" -> "scan1.txt"),
// asking before an existing file is replaced; the file is written whole or not at all. "保存PDF"
// saves the picture that was read as a one-page PDF beside it ("scan1.pdf"), with the recognised
// text under the page so it can be searched, made off the user-interface thread. A picture
// without text shows "未识别到文字" instead of an empty box.

#include <QString>
#include <functional>

#include "image/dib_image.h"
#include "image/pdf_maker.h"
#include "ui/qv_dialog.h"

class CPdfMakingJob;

class QLabel;
class QPlainTextEdit;

class CTextResultDlg : public CQVDialog {
    Q_OBJECT

public:
    static constexpr int kCopyButtonId = 1;
    static constexpr int kSaveButtonId = 2;
    static constexpr int kSavePdfButtonId = 3;
    static constexpr int kWidth = 640;
    static constexpr int kHeight = 480;
    static constexpr int kEmptyWidth = 360;
    static constexpr int kEmptyHeight = 180;

    // Asked before an existing file is replaced; true replaces it.
    using ReplaceConfirm = std::function<bool(QWidget* owner, const QString& path)>;

    CTextResultDlg(const QString& text, const QString& picturePath, QWidget* parent = nullptr);

    // The picture that was read and its recognised lines with their boxes, for "保存PDF"; the
    // button shows only once they are given.
    void SetPdfPage(const CDibImage& picture, const PdfPageText& text);

    // The text as it stands in the box (the user may have edited it).
    QString Text() const;
    bool HasText() const { return hasText_; }
    // Where "保存" writes: the picture's folder and name with the extension ".txt".
    QString TextFilePath() const;
    // Where "保存PDF" writes: beside the picture, with the extension ".pdf".
    QString PdfFilePath() const;
    QPlainTextEdit* TextBox() const { return textBox_; }
    // The last note under the text ("已复制到剪贴板", "已保存：…"), whole; a long one shows
    // shortened in its middle.
    QString Note() const;
    // The words shown instead of the box when nothing was recognised; hidden otherwise.
    QLabel* EmptyNote() const { return emptyNote_; }

    bool CopyText();
    // True when the file was written.
    bool SaveText();
    // True when the PDF is being made; the note tells when it is saved.
    bool SavePdf();
    bool IsSavingPdf() const;

    // Replaces the question (tests, scripted runs); an empty function restores the message box.
    void SetReplaceConfirm(ReplaceConfirm confirm) { replaceConfirm_ = std::move(confirm); }

protected:
    bool OnInitDialog() override;
    bool event(QEvent* event) override;

private:
    bool ConfirmReplace(const QString& path);
    void SetNote(const QString& text);
    QString BesidePicture(const QString& extension) const;
    void OnPdfMade(const CPdfMaker::Result& result);

    QString picturePath_;
    bool hasText_ = false;
    QPlainTextEdit* textBox_ = nullptr;
    QLabel* note_ = nullptr;
    QLabel* emptyNote_ = nullptr;  // "未识别到文字"
    ReplaceConfirm replaceConfirm_;
    CDibImage pdfPicture_;
    PdfPageText pdfText_;
    CPdfMakingJob* pdfJob_ = nullptr;
};
