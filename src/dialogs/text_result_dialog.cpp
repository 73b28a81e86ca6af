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
                       kWidth - 2 * kMargin - 2 * (kButtonWidth + kButtonGap), kButtonHeight);
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
    const int saveX = kWidth - kMargin - kButtonWidth;
    CQVButton* copy = MakeGeneralButton(this, kCopyButtonId, QStringLiteral("复制"));
    CQVButton* save = MakeGeneralButton(this, kSaveButtonId, QStringLiteral("保存"));
    copy->MoveTo(saveX - kButtonGap - kButtonWidth, y);
    save->MoveTo(saveX, y);
    copy->setVisible(hasText_);
    save->setVisible(hasText_);
    if (hasText_)
        textBox_->setFocus();
    return true;
}

QString CTextResultDlg::Text() const {
    return textBox_->toPlainText();
}

QString CTextResultDlg::Note() const {
    return note_->text();
}

QString CTextResultDlg::TextFilePath() const {
    const QFileInfo picture(picturePath_);
    if (picturePath_.isEmpty()) {
        return QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
            .filePath(QStringLiteral("文字识别.txt"));
    }
    return picture.dir().filePath(picture.completeBaseName() + QStringLiteral(".txt"));
}

bool CTextResultDlg::CopyText() {
    if (!hasText_)
        return false;
    QGuiApplication::clipboard()->setText(Text());
    note_->setText(QStringLiteral("已复制到剪贴板"));
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
    note_->setText(QStringLiteral("已保存：%1").arg(QDir::toNativeSeparators(path)));
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
        }
    }
    return CQVDialog::event(event);
}
