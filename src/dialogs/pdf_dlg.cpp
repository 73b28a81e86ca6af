#include "dialogs/pdf_dlg.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QStandardPaths>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <iterator>

#include "image/pdf_making_job.h"
#include "image/pdf_rules.h"
#include "image/pdf_writer.h"
#include "platform/font_faces.h"
#include "platform/message_box.h"
#include "platform/window_messages.h"
#include "ui/general_button.h"
#include "ui/kt_list_box.h"
#include "ui/qv_button.h"

namespace {

// Client size; the controls placed in pixels below need this much room.
constexpr int kClientWidth = 680;
constexpr int kClientHeight = 370;
// The list and the path edit, from dialog units at 1.5 pixels each. The list starts lower, to
// leave its label room below the title band, and ends where it would; the edit is centred on the
// row of "浏览" and "打开" beside it.
constexpr QRect kListRect{22, 62, 417, 181};
constexpr QRect kPathEditRect{22, 274, 301, 21};
// "生成可搜索PDF", between the path edit and "确定".
constexpr QRect kSearchableRect{22, 298, 320, 18};

struct ButtonPlace {
    int id;
    const char16_t* caption;
    int x;
    int y;
};
constexpr ButtonPlace kButtons[] = {
    {CPDFDlg::kOkId, u"确定", 120, 320},     {CPDFDlg::kCancelId, u"取消", 270, 320},
    {CPDFDlg::kAddId, u"添加", 480, 70},     {CPDFDlg::kDeleteId, u"删除", 580, 70},
    {CPDFDlg::kBrowseId, u"浏览", 350, 270}, {CPDFDlg::kOpenId, u"打开", 530, 270},
};

const QColor kLabelColour(96, 104, 116);
const QColor kFrameColour(208, 214, 222);
const QColor kBarColour(31, 90, 160);  // the title band's blue

QString Caption() {
    return QStringLiteral("PDF制作");
}

// What the user is told about pictures that were left out of a PDF that was written.
QString LeftOutText(const CPdfMaker::Result& result) {
    QStringList lines;
    const qsizetype tooSmall = result.tooSmallPaths.size();
    if (result.unreadable > tooSmall)
        lines << QStringLiteral("%1张图片无法读取，未写入PDF。").arg(result.unreadable - tooSmall);
    if (tooSmall > 0)
        lines << QStringLiteral("%1张图片太小（宽度不足8像素），未写入PDF。").arg(tooSmall);
    // Kept: the part that is there may be all the user has of the page.
    for (const QString& path : result.damagedPaths) {
        lines << QStringLiteral("图片已损坏（文件不完整），只写入了能读取的部分：%1")
                     .arg(QDir::toNativeSeparators(path));
    }
    if (result.overLimit > 0) {
        lines << QStringLiteral("一个PDF文件最多%1页，后面的%2张图片未写入。")
                     .arg(kPdfMaxPages)
                     .arg(result.overLimit);
    }
    return lines.join(QLatin1Char('\n'));
}

}  // namespace

CPDFDlg::CPDFDlg(const QStringList& pictures, QWidget* parent)
    : CQVDialog(parent), paths_(pictures) {
    setFixedSize(kClientWidth, kClientHeight);
    SetTitle(Caption());
    fileList_ = new CKTListBox(this);
    fileList_->setObjectName(QStringLiteral("fileList"));
    fileList_->setGeometry(kListRect);
    fileList_->setFont(QvFont(QStringLiteral("宋体"), 12, 400));
    fileList_->addItems(paths_);
    pathEdit_ = new QLineEdit(this);
    pathEdit_->setObjectName(QStringLiteral("pathEdit"));
    pathEdit_->setGeometry(kPathEditRect);
    pathEdit_->setReadOnly(true);
    // Taken only by a click: focus passed on while the list is disabled would select its text.
    pathEdit_->setFocusPolicy(Qt::ClickFocus);
    pathEdit_->setFont(QvFont(QStringLiteral("宋体"), 12, 400));
    previewLoader_ = new CPictureLoader(this);
    connect(previewLoader_, &CPictureLoader::Loaded, this, &CPDFDlg::OnPreviewLoaded);
    // The keyboard changes the selection without a mouse release: the preview follows it too.
    connect(fileList_, &QListWidget::currentRowChanged, this, [this] {
        if (QGuiApplication::mouseButtons() == Qt::NoButton)
            ShowPreview();
    });
    searchableBox_ = new QCheckBox(QString::fromUtf16(kSearchableText), this);
    searchableBox_->setObjectName(QStringLiteral("searchable"));
    searchableBox_->setGeometry(kSearchableRect);
    searchableBox_->setFont(QvFont(QStringLiteral("宋体"), 12, 400));
    connect(searchableBox_, &QCheckBox::toggled, this, [this](bool on) { searchable_ = on; });
    SetTextRecognition({}, QStringLiteral("文字识别不可用。"));
    job_ = new CPdfMakingJob(this);
    connect(job_, &CPdfMakingJob::Progress, this, &CPDFDlg::OnProgress);
    connect(job_, &CPdfMakingJob::Finished, this, &CPDFDlg::OnMade);
}

// A making still under way is asked to stop and ends on its own: nothing waits for it.
CPDFDlg::~CPDFDlg() = default;

void CPDFDlg::SetTextRecognition(CPdfMaker::TextReaders readers, const QString& unavailable) {
    textReaders_ = unavailable.isEmpty() ? std::move(readers) : CPdfMaker::TextReaders();
    const bool available = bool(textReaders_);
    const QSignalBlocker keepChoice(searchableBox_);
    searchableBox_->setEnabled(available);
    searchableBox_->setChecked(available && searchable_);
    searchableBox_->setToolTip(available ? QString() : unavailable);
}

void CPDFDlg::SetSearchable(bool searchable) {
    searchable_ = searchable;
    const QSignalBlocker keepChoice(searchableBox_);
    searchableBox_->setChecked(searchableBox_->isEnabled() && searchable);
}

bool CPDFDlg::Searchable() const {
    return searchable_;
}

bool CPDFDlg::IsMaking() const {
    return job_->IsRunning();
}

bool CPDFDlg::OnInitDialog() {
    CQVDialog::OnInitDialog();
    CreateButtons();
    return true;
}

void CPDFDlg::CreateButtons() {
    for (size_t i = 0; i < std::size(kButtons); ++i) {
        const ButtonPlace& place = kButtons[i];
        CQVButton* button = MakeGeneralButton(this, place.id, QString::fromUtf16(place.caption));
        button->MoveTo(place.x, place.y);
        button->show();
        buttons_[i] = button;
    }
}

CQVButton* CPDFDlg::Button(int id) const {
    for (CQVButton* button : buttons_) {
        if (button != nullptr && button->ControlId() == id)
            return button;
    }
    return nullptr;
}

QStringList CPDFDlg::Paths() const {
    QStringList paths;
    for (int i = 0; i < fileList_->count(); ++i)
        paths << fileList_->item(i)->text();
    return paths;
}

void CPDFDlg::AddUnique(const QString& path) {
    if (IndexOfPicturePath(Paths(), path) < 0)
        fileList_->addItem(path);
}

bool CPDFDlg::event(QEvent* event) {
    if (event->type() == WindowMessageEvent::EventType()) {
        auto* message = static_cast<WindowMessageEvent*>(event);
        if (message->message == qvmsg::kListOrderChanged) {
            ShowPreview();
            return true;
        }
        if (message->message == qvmsg::kButtonClicked && message->wParam != kCloseButtonId) {
            OnButton(int(message->wParam));
            return true;
        }
    }
    return CQVDialog::event(event);
}

void CPDFDlg::OnButton(int id) {
    switch (id) {
        case kOkId:
            MakePdf();
            break;
        case kCancelId:
            if (IsMaking()) {
                job_->Cancel();
                update(kProgressRect);  // "正在取消…" at once, not after the page being made
            } else
                OnOK();
            break;
        case kAddId:
            AddFiles();
            break;
        case kDeleteId:
            RemoveSelected();
            break;
        case kBrowseId:
            ChoosePdfPath();
            break;
        case kOpenId:
            OpenInViewer();
            break;
        default:
            break;
    }
}

void CPDFDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete && !IsMaking()) {
        RemoveSelected();
        return;
    }
    CQVDialog::keyPressEvent(event);
}

// Escape stops the making first; once nothing is being made it closes the dialog.
void CPDFDlg::reject() {
    if (IsMaking()) {
        job_->Cancel();
        update(kProgressRect);
        return;
    }
    CQVDialog::reject();
}

// Closing while making stops the making without waiting for it: a huge picture may hold it for
// seconds. It removes its unfinished file itself.
void CPDFDlg::OnOK() {
    if (IsMaking()) {
        job_->Cancel();
        closing_ = true;
    }
    CQVDialog::OnOK();
}

int CPDFDlg::SelectedRow() const {
    const QListWidgetItem* current = fileList_->currentItem();
    return current != nullptr && current->isSelected() ? fileList_->currentRow() : -1;
}

void CPDFDlg::ShowPreview() {
    const int row = SelectedRow();
    if (row < 0)
        return;
    previewPath_ = fileList_->item(row)->text();
    // The previous picture goes at once: the busy mark stands in its place.
    previewImage_.Destroy();
    previewNote_.clear();
    previewLoader_->Load(PictureRequest{previewPath_, PdfPreviewFormatCode(previewPath_),
                                        uint32_t(kPreviewRect.width()),
                                        uint32_t(kPreviewRect.height())});
    update(kPreviewRect);
}

void CPDFDlg::OnPreviewLoaded(const PictureRequest& /*request*/, LoadedPicture& picture) {
    // A file that cannot be read shows an empty preview rather than the previous picture.
    if (picture.IsLoaded() && FitPreview(picture)) {
        previewImage_ = std::move(picture.image);
    } else if (picture.status == LoadedPicture::Status::kTooLarge) {
        previewNote_ =
            QStringLiteral("图片太大\n%1 × %2").arg(picture.fullWidth).arg(picture.fullHeight);
    }
    update(kPreviewRect);
}

// The page keeps its proportions: it is fitted into the preview square, not stretched to it.
bool CPDFDlg::FitPreview(LoadedPicture& picture) {
    // The reduced picture rounds its sides up; the file's own size gives the true proportions.
    const double width = picture.fullWidth > 0 ? picture.fullWidth : picture.image.GetWidth();
    const double height = picture.fullHeight > 0 ? picture.fullHeight : picture.image.GetHeight();
    if (width <= 0 || height <= 0)
        return false;
    const double scale = std::min(kPreviewRect.width() / width, kPreviewRect.height() / height);
    const int fitWidth = std::max(1, int(std::lround(width * scale)));
    const int fitHeight = std::max(1, int(std::lround(height * scale)));
    return picture.image.Resample(fitWidth, fitHeight, 1);
}

QString CPDFDlg::StartFolder() const {
    const int row = std::max(fileList_->currentRow(), 0);
    if (fileList_->count() > 0)
        return QFileInfo(fileList_->item(row)->text()).absolutePath();
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

QStringList CPDFDlg::AskPicturesToAdd() {
    return QFileDialog::getOpenFileNames(
        this, QStringLiteral("添加"), StartFolder(),
        QStringLiteral("Image File(bmp,Tif(Tiff),png,jpg(jpeg)) (*.bmp *.tif *.tiff *.jpeg *.jpg "
                       "*.png *.BMP *.TIF *.TIFF *.JPEG *.JPG *.PNG)"),
        nullptr, QFileDialog::HideNameFilterDetails);
}

QString CPDFDlg::AskPdfPath() {
    const QString start = pdfPath_.isEmpty() ? StartFolder() : pdfPath_;
    return QFileDialog::getSaveFileName(this, QStringLiteral("浏览"), start,
                                        QStringLiteral("PDF Files(*.pdf) (*.pdf *.PDF)"), nullptr,
                                        QFileDialog::HideNameFilterDetails);
}

void CPDFDlg::AddFiles() {
    for (const QString& path : AskPicturesToAdd())
        AddUnique(path);
}

void CPDFDlg::RemoveSelected() {
    const int row = SelectedRow();
    if (row < 0)
        return;
    delete fileList_->takeItem(row);
    const int count = fileList_->count();
    if (count == 0) {
        previewLoader_->Cancel();
        previewImage_.Destroy();
        previewNote_.clear();
        previewPath_.clear();
        update(kPreviewRect);
        return;
    }
    fileList_->setCurrentRow(std::min(row, count - 1));
}

void CPDFDlg::ChoosePdfPath() {
    const QString chosen = AskPdfPath();
    if (chosen.isEmpty())
        return;
    const QString path = PdfFileNameFor(chosen);
    // The file dialog asked about the name as typed; the extended name is asked about here.
    if (path != chosen && QFileInfo::exists(path) &&
        !QvConfirm(QStringLiteral("%1 已存在。\n要替换它吗？").arg(QDir::toNativeSeparators(path)),
                   Caption())) {
        return;
    }
    pdfPath_ = path;
    pathEdit_->setText(QDir::toNativeSeparators(pdfPath_));
}

void CPDFDlg::OpenInViewer() {
    if (!previewPath_.isEmpty())
        QDesktopServices::openUrl(QUrl::fromLocalFile(previewPath_));
}

void CPDFDlg::MakePdf() {
    if (IsMaking())
        return;
    paths_ = Paths();
    if (pdfPath_.isEmpty()) {
        QvMessageBox(QStringLiteral("请选择保存路径"), Caption());
        return;
    }
    if (paths_.isEmpty()) {
        QvMessageBox(QStringLiteral("列表中没有图片，没有生成PDF。"), Caption());
        return;
    }
    progress_ = CPdfMaker::Progress{0, int(paths_.size()), 0, CPdfMaker::Step::kReading};
    closing_ = false;
    SetControlsEnabled(false);
    update(kProgressRect);
    const CPdfMaker::TextReaders readers =
        searchableBox_->isChecked() ? textReaders_ : CPdfMaker::TextReaders();
    job_->Start([paths = paths_, pdfPath = pdfPath_, readers](CPdfMaker::Options options) {
        options.textReaders = readers;
        return CPdfMaker::Make(paths, pdfPath, options);
    });
}

void CPDFDlg::OnProgress(const CPdfMaker::Progress& progress) {
    // A page's being added only moves the bar; the text keeps the latest step of a page.
    if (progress.step == CPdfMaker::Step::kAdded)
        progress_.done = progress.done;
    else
        progress_ = progress;
    update(kProgressRect);
}

void CPDFDlg::OnMade(const CPdfMaker::Result& result) {
    if (closing_)
        return;  // the dialog was closed while the PDF was being made
    SetControlsEnabled(true);
    update(kProgressRect);
    const QString file = QDir::toNativeSeparators(pdfPath_);
    switch (result.outcome) {
        case CPdfMaker::Outcome::kWritten: {
            // Told where the PDF is, the user may open it at once.
            QString text = QStringLiteral("已生成PDF文件：\n%1").arg(file);
            if (!LeftOutText(result).isEmpty())
                text += QStringLiteral("\n\n") + LeftOutText(result);
            if (QvConfirm(text + QStringLiteral("\n\n现在打开它吗？"), Caption()))
                QDesktopServices::openUrl(QUrl::fromLocalFile(pdfPath_));
            OnOK();
            break;
        }
        case CPdfMaker::Outcome::kNoPages:
            QvMessageBox(QStringLiteral("没有一张图片可以读取，没有生成PDF。"), Caption(),
                         MessageIcon::kError);
            break;
        case CPdfMaker::Outcome::kCannotCreate:
            QvMessageBox(QStringLiteral("无法创建文件：\n%1").arg(file), Caption(),
                         MessageIcon::kError);
            break;
        case CPdfMaker::Outcome::kWriteFailed:
            QvMessageBox(QStringLiteral("无法写入文件：\n%1").arg(file), Caption(),
                         MessageIcon::kError);
            break;
        case CPdfMaker::Outcome::kTextFailed:
            QvMessageBox(QStringLiteral("文字识别失败，没有生成PDF：\n%1").arg(result.error),
                         Caption(), MessageIcon::kError);
            break;
        case CPdfMaker::Outcome::kCancelled:
            break;
    }
}

void CPDFDlg::SetControlsEnabled(bool enabled) {
    fileList_->setEnabled(enabled);
    searchableBox_->setEnabled(enabled && textReaders_);
    for (CQVButton* button : buttons_) {
        if (button != nullptr && button->ControlId() != kCancelId)
            button->setEnabled(enabled);
    }
}

void CPDFDlg::paintEvent(QPaintEvent* event) {
    CQVDialog::paintEvent(event);
    QPainter p(this);
    p.setFont(QvFont(QStringLiteral("宋体"), 12, 400));
    p.setPen(kLabelColour);
    QvTextOut(p, kListRect.left(), kListRect.top() - 17,
              QStringLiteral("图片列表（拖动图片可调整页面顺序）"));
    QvTextOut(p, kPreviewRect.left(), kPreviewRect.top() - 15, QStringLiteral("预览"));
    QvTextOut(p, kPathEditRect.left(), kPathEditRect.top() - 16, QStringLiteral("保存为："));
    p.setPen(kFrameColour);
    p.drawRect(kPreviewRect.adjusted(-1, -1, 0, 0));
    if (previewImage_.IsValid()) {
        // Centred in the square, the rest left blank.
        const int width = int(previewImage_.GetWidth()), height = int(previewImage_.GetHeight());
        previewImage_.Draw(&p, kPreviewRect.left() + (kPreviewRect.width() - width) / 2,
                           kPreviewRect.top() + (kPreviewRect.height() - height) / 2);
    } else if (previewLoader_->IsBusy() || !previewNote_.isEmpty()) {
        p.setPen(kLabelColour);
        p.drawText(kPreviewRect, Qt::AlignCenter,
                   previewLoader_->IsBusy() ? QStringLiteral("正在读取…") : previewNote_);
    }
    if (IsMaking())
        PaintProgress(p);
}

QString CPDFDlg::ProgressText() const {
    if (!IsMaking())
        return {};
    if (job_->IsCancelling())
        return QStringLiteral("正在取消…");
    const QString page = QStringLiteral("第%1/%2页：").arg(progress_.page).arg(progress_.total);
    switch (progress_.step) {
        case CPdfMaker::Step::kReading:
            return progress_.page == 0 ? QStringLiteral("正在生成PDF…")
                                       : page + QStringLiteral("读取图片");
        case CPdfMaker::Step::kRecognising:
            return page + QStringLiteral("识别文字");
        case CPdfMaker::Step::kAdded:
        case CPdfMaker::Step::kWriting:
            break;
    }
    return QStringLiteral("正在写入PDF文件…");
}

void CPDFDlg::PaintProgress(QPainter& p) {
    p.setPen(kLabelColour);
    QvTextOut(p, kProgressRect.left(), kProgressRect.top(), ProgressText());
    const QRect track(kProgressRect.left(), kProgressRect.bottom() - 9, kProgressRect.width(), 8);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(kFrameColour);
    p.drawRoundedRect(track, 4, 4);
    if (progress_.total > 0 && progress_.done > 0) {
        QRect done = track;
        done.setWidth(std::max(8, track.width() * progress_.done / progress_.total));
        p.setBrush(kBarColour);
        p.drawRoundedRect(done, 4, 4);
    }
}
