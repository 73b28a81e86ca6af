#include "dialogs/text_result_dialog.h"

#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QStandardPaths>

#include "image/pdf_making_job.h"
#include "platform/font_faces.h"
#include "platform/message_box.h"
#include "platform/window_messages.h"
#include "ui/general_button.h"
#include "ui/qv_button.h"

namespace {
constexpr int kMargin = 16;
constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 30;
constexpr int kButtonGap = 12;
const QString kNoText = QStringLiteral("未识别到文字");

}  // namespace

CTextResultDlg::CTextResultDlg(const QString& text, const QString& picturePath, QWidget* parent)
    : CQVDialog(parent), picturePath_(picturePath), hasText_(!text.trimmed().isEmpty()) {
    SetTitle(QStringLiteral("文字识别"));
    setWindowTitle(Title());
    // Without text the dialog is only a note, and small.
    resize(hasText_ ? QSize(kWidth, kHeight) : QSize(kEmptyWidth, kEmptyHeight));
    const int top = kTitleBandHeight + 12;
    const int bottom = kHeight - kMargin - kButtonHeight - 12;
    textBox_ = new QPlainTextEdit(this);
    textBox_->setGeometry(kMargin, top, kWidth - 2 * kMargin, bottom - top);
    textBox_->setFont(QvFont(QStringLiteral("宋体"), 16, 400));
    textBox_->setPlainText(text);
    textBox_->setFrameShape(QFrame::Box);
    textBox_->setStyleSheet(
        QStringLiteral("QPlainTextEdit { background: white; border: 1px solid #B8C0CC; "
                       "padding: 4px; }"));
    textBox_->setVisible(hasText_);
    note_ = new QLabel(this);
    note_->setFont(QvFont(QStringLiteral("宋体"), 12, 400));
    note_->setGeometry(kMargin, kHeight - kMargin - kButtonHeight,
                       kWidth - 2 * kMargin - 3 * (kButtonWidth + kButtonGap), kButtonHeight);
    note_->setStyleSheet(QStringLiteral("color: #4A5566;"));
    emptyNote_ = new QLabel(kNoText, this);
    emptyNote_->setFont(QvFont(QStringLiteral("宋体"), 20, 400));
    emptyNote_->setAlignment(Qt::AlignCenter);
    emptyNote_->setStyleSheet(QStringLiteral("color: #4A5566;"));
    emptyNote_->setGeometry(0, kTitleBandHeight, width(), height() - kTitleBandHeight);
    emptyNote_->setVisible(!hasText_);
}

bool CTextResultDlg::OnInitDialog() {
    CQVDialog::OnInitDialog();
    const int y = kHeight - kMargin - kButtonHeight;
    // From the right: "保存PDF", "保存", "复制".
    const std::pair<int, const char16_t*> buttons[] = {
        {kSavePdfButtonId, u"保存PDF"}, {kSaveButtonId, u"保存"}, {kCopyButtonId, u"复制"}};
    int x = kWidth - kMargin - kButtonWidth;
    for (const auto& [id, caption] : buttons) {
        CQVButton* button = MakeGeneralButton(this, id, QString::fromUtf16(caption));
        button->MoveTo(x, y);
        button->setVisible(hasText_ && (id != kSavePdfButtonId || pdfPicture_.IsValid()));
        x -= kButtonWidth + kButtonGap;
    }
    if (hasText_)
        textBox_->setFocus();
    return true;
}

QString CTextResultDlg::Text() const {
    return textBox_->toPlainText();
}

QString CTextResultDlg::Note() const {
    return note_->toolTip();
}

// A long path is shortened in its middle to fit beside the buttons; the tip holds it whole.
void CTextResultDlg::SetNote(const QString& text) {
    note_->setToolTip(text);
    note_->setText(note_->fontMetrics().elidedText(text, Qt::ElideMiddle, note_->width()));
}

QString CTextResultDlg::BesidePicture(const QString& extension) const {
    const QFileInfo picture(picturePath_);
    if (picturePath_.isEmpty()) {
        return QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
            .filePath(QStringLiteral("文字识别") + extension);
    }
    return picture.dir().filePath(picture.completeBaseName() + extension);
}

QString CTextResultDlg::TextFilePath() const {
    return BesidePicture(QStringLiteral(".txt"));
}

QString CTextResultDlg::PdfFilePath() const {
    return BesidePicture(QStringLiteral(".pdf"));
}

void CTextResultDlg::SetPdfPage(const CDibImage& picture, const PdfPageText& text) {
    pdfPicture_ = picture;
    pdfText_ = text;
    for (CQVButton* button : findChildren<CQVButton*>()) {
        if (button->ControlId() == kSavePdfButtonId)
            button->setVisible(hasText_ && pdfPicture_.IsValid());
    }
}

bool CTextResultDlg::IsSavingPdf() const {
    return pdfJob_ != nullptr && pdfJob_->IsRunning();
}

bool CTextResultDlg::SavePdf() {
    if (!hasText_ || !pdfPicture_.IsValid() || IsSavingPdf())
        return false;
    const QString path = PdfFilePath();
    if (QFileInfo::exists(path) && !ConfirmReplace(path))
        return false;
    if (pdfJob_ == nullptr) {
        pdfJob_ = new CPdfMakingJob(this);
        connect(pdfJob_, &CPdfMakingJob::Finished, this, &CTextResultDlg::OnPdfMade);
    }
    // The page is made from copies: the dialog may close before it is written.
    pdfJob_->Start([picture = pdfPicture_, text = pdfText_, path](const CPdfMaker::Options& o) {
        return CPdfMaker::MakePage(picture, text, path, o);
    });
    SetNote(QStringLiteral("正在保存PDF…"));
    return true;
}

void CTextResultDlg::OnPdfMade(const CPdfMaker::Result& result) {
    const QString path = QDir::toNativeSeparators(PdfFilePath());
    if (result.outcome == CPdfMaker::Outcome::kWritten) {
        SetNote(QStringLiteral("已保存：%1").arg(path));
        return;
    }
    SetNote(QString());
    QvMessageBox(QStringLiteral("PDF保存失败：%1\n%2").arg(path, result.error),
                 ErrorCaption(), MessageIcon::kError);
}

bool CTextResultDlg::CopyText() {
    if (!hasText_)
        return false;
    QGuiApplication::clipboard()->setText(Text());
    SetNote(QStringLiteral("已复制到剪贴板"));
    return true;
}

bool CTextResultDlg::ConfirmReplace(const QString& path) {
    if (replaceConfirm_)
        return replaceConfirm_(this, path);
    return QMessageBox::question(this, QStringLiteral("文字识别"),
                                 QStringLiteral("%1 已存在，要替换它吗？").arg(path),
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

bool CTextResultDlg::SaveText() {
    if (!hasText_)
        return false;
    const QString path = TextFilePath();
    if (QFileInfo::exists(path) && !ConfirmReplace(path))
        return false;
    QString text = Text();
    if (!text.endsWith(QLatin1Char('\n')))
        text += QLatin1Char('\n');
    // Written beside the old file and renamed over it at the end: never half a file.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit()) {
        QvMessageBox(QStringLiteral("文本保存失败：%1\n%2").arg(path, file.errorString()),
                     ErrorCaption(), MessageIcon::kError);
        return false;
    }
    SetNote(QStringLiteral("已保存：%1").arg(QDir::toNativeSeparators(path)));
    return true;
}

bool CTextResultDlg::event(QEvent* event) {
    if (event->type() == WindowMessageEvent::EventType()) {
        auto* message = static_cast<WindowMessageEvent*>(event);
        if (message->message == qvmsg::kButtonClicked) {
            if (message->wParam == kCopyButtonId) {
                CopyText();
                return true;
            }
            if (message->wParam == kSaveButtonId) {
                SaveText();
                return true;
            }
            if (message->wParam == kSavePdfButtonId) {
                SavePdf();
                return true;
            }
        }
    }
    return CQVDialog::event(event);
}
