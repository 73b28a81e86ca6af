// The PDF making dialog on the offscreen platform: the list (add unique, delete, drag into page
// order), the preview, the ".pdf" rule, and making the file on its worker thread with progress,
// cancel, closing while making, the searchable choice and the messages of a PDF that could not be
// made. Files are checked with pdftoppm and pdftotext.

#include <QCheckBox>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "dialogs/pdf_dlg.h"
#include "image/dib_image.h"
#include "image/pdf_making_job.h"
#include "platform/font_faces.h"
#include "platform/message_box.h"
#include "platform/window_messages.h"
#include "support/skin_services.h"
#include "ui/kt_list_box.h"
#include "ui/main_window_services.h"
#include "ui/qv_button.h"

namespace {

// The dialog with the desktop's file dialogs replaced by the answers a test gives.
class TestPdfDlg : public CPDFDlg {
public:
    using CPDFDlg::CPDFDlg;
    QStringList toAdd;
    QString toSave;

protected:
    QStringList AskPicturesToAdd() override { return toAdd; }
    QString AskPdfPath() override { return toSave; }
};

class UrlCatcher : public QObject {
    Q_OBJECT

public:
    QList<QUrl> urls;

public slots:
    void Open(const QUrl& url) { urls << url; }
};

// What the progress said each time the dialog painted it.
class ProgressPaints : public QObject {
public:
    explicit ProgressPaints(CPDFDlg* dlg) : dlg_(dlg) { dlg->installEventFilter(this); }
    QStringList texts;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint &&
            static_cast<QPaintEvent*>(event)->rect().intersects(CPDFDlg::kProgressRect))
            texts << dlg_->ProgressText();
        return false;
    }

private:
    CPDFDlg* dlg_;
};

CDibImage Solid(uint32_t width, uint32_t height, QColor colour) {
    CDibImage picture;
    picture.Create(width, height, 24, 0);
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* row = picture.GetRow(y);
        for (uint32_t x = 0; x < width; ++x) {
            row[3 * x] = uint8_t(colour.blue());
            row[3 * x + 1] = uint8_t(colour.green());
            row[3 * x + 2] = uint8_t(colour.red());
        }
    }
    return picture;
}

void Press(CPDFDlg& dlg, int id) {
    SendWindowMessage(&dlg, qvmsg::kButtonClicked, WParam(id), 0);
}

void Mouse(QWidget* viewport, QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(at), QPointF(viewport->mapToGlobal(at)), Qt::LeftButton,
                      buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &event);
}

// Presses on entry from and releases on entry to, with a move between when they differ.
void Drag(CKTListBox* list, int from, int to) {
    QWidget* viewport = list->viewport();
    const QPoint start = list->visualItemRect(list->item(from)).center();
    const QPoint end = list->visualItemRect(list->item(to)).center();
    Mouse(viewport, QEvent::MouseButtonPress, start, Qt::LeftButton);
    if (from != to)
        Mouse(viewport, QEvent::MouseMove, end, Qt::LeftButton);
    Mouse(viewport, QEvent::MouseButtonRelease, end, Qt::NoButton);
}

const QColor kColours[] = {Qt::red, Qt::green, Qt::blue, Qt::yellow, Qt::magenta};

// Reads one word, "Quorvane", over the middle of every picture.
class OneWordReader : public CPdfTextReader {
public:
    bool Read(const CDibImage& picture, const std::atomic<bool>*, PdfPageText& text,
              QString&) override {
        const int32_t w = int32_t(picture.GetWidth()), h = int32_t(picture.GetHeight());
        const QvRect box{w / 4, h / 3, 3 * w / 4, 2 * h / 3};
        text = {PdfPictureLine{box, {PdfPictureWord{"Quorvane", box}}}};
        return true;
    }
};

}  // namespace

class PdfDlgTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void dragSetsThePageOrder();
    void addUniqueAndDelete();
    void previewAndOpen();
    void pdfNameRule_data();
    void pdfNameRule();
    void pdfThatCannotBeMadeKeepsTheDialogOpen_data();
    void pdfThatCannotBeMadeKeepsTheDialogOpen();
    void cancelWhileMakingLeavesNoFile();
    void stoppingWhileMakingReturnsAtOnce_data();
    void stoppingWhileMakingReturnsAtOnce();
    void madePdfIsNamedAndOpens();
    void searchableChoice_data();
    void searchableChoice();

private:
    std::unique_ptr<TestPdfDlg> Open(const QStringList& pictures);
    QString Picture(int index);
    QStringList Entries() const {
        return QDir(dir_->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    SkinServices skins_;
    std::unique_ptr<QTemporaryDir> dir_;
    QStringList messages_;
    QStringList questions_;
    bool answer_ = false;
};

void PdfDlgTest::initTestCase() {
    InstallFontFaces();
    skins_.LoadProgramSkins({129, 202, 210, 211, 217, 218, 222});
    SetTheMainWindow(&skins_);
    SetMessageBoxHandler(
        [this](const QString& text, const QString&, MessageIcon) { messages_ << text; });
    SetConfirmHandler([this](const QString& text, const QString&) {
        questions_ << text;
        return answer_;
    });
}

void PdfDlgTest::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    messages_.clear();
    questions_.clear();
}

void PdfDlgTest::cleanup() {
    dir_.reset();
}

QString PdfDlgTest::Picture(int index) {
    const QString path = dir_->filePath(QString("p%1.jpg").arg(index + 1));
    if (!QFileInfo::exists(path))
        Solid(160, 120, kColours[index]).Save(path, kDibFormatJpeg);
    return path;
}

std::unique_ptr<TestPdfDlg> PdfDlgTest::Open(const QStringList& pictures) {
    auto dlg = std::make_unique<TestPdfDlg>(pictures);
    dlg->show();
    if (!QTest::qWaitForWindowExposed(dlg.get()))
        return nullptr;
    return dlg;
}

// Dragging the third of five entries onto the first gives the order 3, 1, 2, 4, 5, and the
// pages of the PDF follow it.
void PdfDlgTest::dragSetsThePageOrder() {
    QStringList pictures;
    for (int i = 0; i < 5; ++i)
        pictures << Picture(i);
    auto dlg = Open(pictures);
    QVERIFY(dlg);
    Drag(dlg->FileList(), 2, 0);
    const QStringList order = {pictures[2], pictures[0], pictures[1], pictures[3], pictures[4]};
    QCOMPARE(dlg->Paths(), order);
    QCOMPARE(dlg->PreviewPath(), pictures[2]);  // the release previews the dropped entry

    dlg->toSave = dir_->filePath("pages");
    Press(*dlg, CPDFDlg::kBrowseId);
    Press(*dlg, CPDFDlg::kOkId);
    QVERIFY(dlg->IsMaking());
    QCOMPARE(dlg->ProgressTotal(), 5);
    QTRY_VERIFY(!dlg->isVisible());  // closed once written
    QVERIFY(messages_.isEmpty());

    QProcess render;
    render.start("pdftoppm", {"-r", "8", dir_->filePath("pages.pdf"), dir_->filePath("r")});
    QVERIFY(render.waitForFinished(30000) && render.exitCode() == 0);
    const int expected[] = {2, 0, 1, 3, 4};
    for (int page = 0; page < 5; ++page) {
        const QImage image(dir_->filePath(QString("r-%1.ppm").arg(page + 1)));
        QVERIFY(!image.isNull());
        const QColor shown = image.pixelColor(image.width() / 2, image.height() / 2);
        const QColor want = kColours[expected[page]];
        QVERIFY2(qAbs(shown.red() - want.red()) < 24 && qAbs(shown.green() - want.green()) < 24 &&
                     qAbs(shown.blue() - want.blue()) < 24,
                 qPrintable(QString("page %1 shows %2").arg(page + 1).arg(shown.name())));
    }
}

void PdfDlgTest::addUniqueAndDelete() {
    const QStringList pictures = {Picture(0), Picture(1), Picture(2)};
    auto dlg = Open(pictures);
    QVERIFY(dlg);
    // The same files written another way are not added again; a new file is, once.
    dlg->toAdd = {dir_->path() + "/./p1.jpg", dir_->path() + "/x/../p2.jpg", Picture(3),
                  Picture(3)};
    Press(*dlg, CPDFDlg::kAddId);
    QCOMPARE(dlg->Paths(), pictures + QStringList{Picture(3)});

    CKTListBox* list = dlg->FileList();
    list->setCurrentRow(3);  // the last: the new last is selected
    Press(*dlg, CPDFDlg::kDeleteId);
    QCOMPARE(list->count(), 3);
    QCOMPARE(list->currentRow(), 2);
    list->setCurrentRow(1);  // in the middle: the entry that moves up is selected
    Press(*dlg, CPDFDlg::kDeleteId);
    QCOMPARE(dlg->Paths(), (QStringList{pictures[0], pictures[2]}));
    QCOMPARE(list->currentRow(), 1);
    list->setCurrentRow(-1);  // nothing selected: nothing deleted
    Press(*dlg, CPDFDlg::kDeleteId);
    QCOMPARE(list->count(), 2);
}

void PdfDlgTest::previewAndOpen() {
    const QString unreadable = dir_->filePath("broken.jpg");
    QFile(unreadable).open(QIODevice::WriteOnly);
    auto dlg = Open({Picture(0), unreadable});
    QVERIFY(dlg);
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("file", &catcher, "Open");
    Press(*dlg, CPDFDlg::kOpenId);  // nothing previewed yet: nothing opens
    Drag(dlg->FileList(), 0, 0);
    QCOMPARE(dlg->PreviewPath(), Picture(0));
    QTRY_VERIFY(!dlg->IsPreviewLoading());
    // 160 × 120 keeps its proportions: 128 × 96, centred, the bands above and below left blank.
    QCOMPARE(dlg->PreviewImage().GetWidth(), 128u);
    QCOMPARE(dlg->PreviewImage().GetHeight(), 96u);
    const QImage shown = dlg->grab(CPDFDlg::kPreviewRect).toImage();
    QVERIFY(shown.pixelColor(64, 64).red() > 240);
    QVERIFY(shown.pixelColor(64, 20).red() > 240 && shown.pixelColor(64, 12).green() > 200);
    Press(*dlg, CPDFDlg::kOpenId);
    QDesktopServices::unsetUrlHandler("file");
    QCOMPARE(catcher.urls, QList<QUrl>{QUrl::fromLocalFile(Picture(0))});
    Drag(dlg->FileList(), 1, 1);  // a file that cannot be read empties the preview
    QTRY_VERIFY(!dlg->IsPreviewLoading());
    QVERIFY(!dlg->PreviewImage().IsValid());
}

void PdfDlgTest::pdfNameRule_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("answer");  // to "replace the existing file?"
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<int>("questions");
    // The name rule's cases are in the PDF maker's tests; here, that the dialog applies it.
    QTest::newRow("other extension") << "scan.txt" << false << "scan.txt.pdf" << 0;
    QTest::newRow("existing, replace") << "old" << true << "old.pdf" << 1;
    QTest::newRow("existing, keep") << "old" << false << "" << 1;
}

void PdfDlgTest::pdfNameRule() {
    QFETCH(QString, typed);
    QFETCH(bool, answer);
    QFETCH(QString, chosen);
    QFETCH(int, questions);
    QFile old(dir_->filePath("old.pdf"));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.close();
    auto dlg = Open({});
    QVERIFY(dlg);
    answer_ = answer;
    dlg->toSave = dir_->filePath(typed);
    Press(*dlg, CPDFDlg::kBrowseId);
    const QString expected = chosen.isEmpty() ? QString() : dir_->filePath(chosen);
    QCOMPARE(dlg->PdfPath(), expected);
    QCOMPARE(dlg->PathEdit()->text(), expected);
    QCOMPARE(questions_.size(), questions);
}

// No file chosen, an unwritable folder, an empty list: the user is told, the dialog stays open
// and nothing is written.
void PdfDlgTest::pdfThatCannotBeMadeKeepsTheDialogOpen_data() {
    QTest::addColumn<QString>("target");  // under the temporary folder; empty: none chosen
    QTest::addColumn<bool>("pictures");
    QTest::addColumn<QString>("message");
    QTest::newRow("no file chosen") << "" << true << "请选择保存路径";
    QTest::newRow("folder is a file") << "plain/out.pdf" << true << "无法创建文件";
    QTest::newRow("missing folder") << "gone/out.pdf" << true << "无法创建文件";
    QTest::newRow("empty list") << "out.pdf" << false << "列表中没有图片";
}

void PdfDlgTest::pdfThatCannotBeMadeKeepsTheDialogOpen() {
    QFETCH(QString, target);
    QFETCH(bool, pictures);
    QFETCH(QString, message);
    QFile plain(dir_->filePath("plain"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    auto dlg = Open(pictures ? QStringList{Picture(0)} : QStringList{});
    QVERIFY(dlg);
    const QStringList before = Entries();
    if (!target.isEmpty()) {
        dlg->toSave = dir_->filePath(target);
        Press(*dlg, CPDFDlg::kBrowseId);
    }
    Press(*dlg, CPDFDlg::kOkId);
    QTRY_VERIFY(!dlg->IsMaking());
    QTRY_COMPARE(messages_.size(), 1);
    QVERIFY2(messages_[0].startsWith(message), qPrintable(messages_[0]));
    QVERIFY(dlg->isVisible());
    QVERIFY(dlg->Button(CPDFDlg::kOkId)->isEnabled());
    QCOMPARE(Entries(), before);
}

// Many large pictures take a while: the dialog shows the progress, keeps answering, and
// "取消" stops the making without leaving a file.
void PdfDlgTest::cancelWhileMakingLeavesNoFile() {
    const QString large = dir_->filePath("large.jpg");
    QVERIFY(Solid(1600, 1200, Qt::gray).Save(large, kDibFormatJpeg));
    auto dlg = Open(QStringList(200, large));
    QVERIFY(dlg);
    dlg->toSave = dir_->filePath("many.pdf");
    Press(*dlg, CPDFDlg::kBrowseId);
    const QStringList before = Entries();
    Press(*dlg, CPDFDlg::kOkId);
    QVERIFY(dlg->IsMaking());
    QVERIFY(!dlg->Button(CPDFDlg::kOkId)->isEnabled());
    QVERIFY(!dlg->FileList()->isEnabled());
    QTRY_VERIFY(dlg->ProgressDone() > 0);  // progress arrives while the event loop runs
    QCOMPARE(dlg->ProgressTotal(), 200);
    QVERIFY2(dlg->ProgressText().contains("/200页：读取图片"), qPrintable(dlg->ProgressText()));
    Press(*dlg, CPDFDlg::kCancelId);
    QTRY_VERIFY(!dlg->IsMaking());
    QVERIFY(dlg->isVisible());
    QVERIFY(dlg->FileList()->isEnabled());
    QVERIFY(messages_.isEmpty());
    QCOMPARE(Entries(), before);
}

// A huge picture holds the making for seconds in its decoding; closing the dialog then returns at
// once, and the making removes its unfinished file on its own. "取消" says so at once.
void PdfDlgTest::stoppingWhileMakingReturnsAtOnce_data() {
    QTest::addColumn<int>("button");
    QTest::newRow("close") << int(CQVDialog::kCloseButtonId);
    QTest::newRow("cancel") << int(CPDFDlg::kCancelId);
}

void PdfDlgTest::stoppingWhileMakingReturnsAtOnce() {
    QFETCH(int, button);
    CDibImage huge;
    QVERIFY(huge.Create(8000, 8000, 8, 0));
    const QString path = dir_->filePath("huge.png");
    QVERIFY(huge.Save(path, kDibFormatPng));
    huge.Destroy();
    auto dlg = Open({path});
    QVERIFY(dlg);
    dlg->toSave = dir_->filePath("huge.pdf");
    Press(*dlg, CPDFDlg::kBrowseId);
    const QStringList before = Entries();
    Press(*dlg, CPDFDlg::kOkId);
    QTRY_COMPARE(dlg->ProgressText(), QString("第1/1页：读取图片"));
    QElapsedTimer clock;
    clock.start();
    ProgressPaints paints(dlg.get());
    Press(*dlg, button);
    QVERIFY2(clock.elapsed() < 500, qPrintable(QString("%1 ms").arg(clock.elapsed())));
    if (button == CPDFDlg::kCancelId) {
        QTRY_VERIFY(paints.texts.contains("正在取消…"));
        QVERIFY(dlg->IsMaking());  // still in the picture's decoding
        QTRY_VERIFY(!dlg->IsMaking());
    }
    QCOMPARE(dlg->isVisible(), button == CPDFDlg::kCancelId);
    dlg.reset();
    CPdfMakingJob::WaitForAll();
    QCOMPARE(Entries(), before);
    QVERIFY(messages_.isEmpty());
}

// A made PDF is named in a message that opens it; a 1 x 1 picture left out is said to be too
// small, a broken file unreadable.
void PdfDlgTest::madePdfIsNamedAndOpens() {
    const QString tiny = dir_->filePath("tiny.png"), broken = dir_->filePath("broken.jpg");
    QVERIFY(Solid(1, 1, Qt::red).Save(tiny, kDibFormatPng));
    QFile(broken).open(QIODevice::WriteOnly);
    auto dlg = Open({Picture(0), tiny, broken});
    QVERIFY(dlg);
    dlg->toSave = dir_->filePath("made.pdf");
    Press(*dlg, CPDFDlg::kBrowseId);
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("file", &catcher, "Open");
    answer_ = true;
    Press(*dlg, CPDFDlg::kOkId);
    QTRY_VERIFY(!dlg->isVisible());
    QDesktopServices::unsetUrlHandler("file");
    QCOMPARE(questions_.size(), 1);
    for (const QString& part : {dlg->PdfPath(), QString("1张图片无法读取"), QString("1张图片太小")})
        QVERIFY2(questions_[0].contains(part), qPrintable(questions_[0]));
    QCOMPARE(catcher.urls, QList<QUrl>{QUrl::fromLocalFile(dlg->PdfPath())});
}

// The check box follows the stored choice where text can be read, and is greyed with a tip
// naming the missing package where it cannot; the PDF has a text layer only when it is ticked.
void PdfDlgTest::searchableChoice_data() {
    QTest::addColumn<bool>("available");
    QTest::addColumn<bool>("stored");
    QTest::addColumn<bool>("click");
    QTest::addColumn<bool>("textLayer");
    QTest::newRow("stored on") << true << true << false << true;
    QTest::newRow("stored off, ticked") << true << false << true << true;
    QTest::newRow("unticked") << true << true << true << false;
    QTest::newRow("languages missing") << false << true << false << false;
}

void PdfDlgTest::searchableChoice() {
    QFETCH(bool, available);
    QFETCH(bool, stored);
    QFETCH(bool, click);
    QFETCH(bool, textLayer);
    auto dlg = Open({Picture(0)});
    QVERIFY(dlg);
    const QString missing = "文字识别缺少语言数据 chi_sim，请安装 tesseract-ocr-chi-sim。";
    dlg->SetTextRecognition([] { return std::make_unique<OneWordReader>(); },
                            available ? QString() : missing);
    dlg->SetSearchable(stored);
    QCheckBox* box = dlg->SearchableBox();
    QCOMPARE(box->text(), QString::fromUtf16(CPDFDlg::kSearchableText));
    QCOMPARE(box->isEnabled(), available);
    QCOMPARE(box->toolTip(), available ? QString() : missing);
    if (click)
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
    QCOMPARE(box->isChecked(), textLayer);
    QCOMPARE(dlg->Searchable(), available ? textLayer : stored);

    dlg->toSave = dir_->filePath("choice.pdf");
    Press(*dlg, CPDFDlg::kBrowseId);
    Press(*dlg, CPDFDlg::kOkId);
    QTRY_VERIFY(!dlg->isVisible());
    QProcess text;
    text.start("pdftotext", {dlg->PdfPath(), "-"});
    QVERIFY(text.waitForFinished(30000) && text.exitCode() == 0);
    QCOMPARE(text.readAll().contains("Quorvane"), textLayer);
}

QTEST_MAIN(PdfDlgTest)
#include "test_pdf_dlg.moc"
