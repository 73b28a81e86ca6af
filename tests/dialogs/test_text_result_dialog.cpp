// The text result dialog "文字识别": the text is editable and selectable (Ctrl+A, Ctrl+C),
// "复制" copies all of it, "保存" writes UTF-8 beside the picture after asking before it
// replaces a file, "保存PDF" writes the picture with its text as a searchable PDF, a failed save
// is reported, and a picture without text says so.

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "dialogs/text_result_dialog.h"
#include "platform/font_faces.h"
#include "support/dialog_skins.h"
#include "support/recorded_messages.h"
#include "ui/qv_button.h"

namespace {

const QString kText = QStringLiteral("第一行：文字识别\nSecond line, 42 words.");

QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

CQVButton* Button(CTextResultDlg& dialog, int id) {
    for (CQVButton* button : dialog.findChildren<CQVButton*>()) {
        if (button->ControlId() == id)
            return button;
    }
    return nullptr;
}

}  // namespace

class TextResultDialogTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { InstallFontFaces(); }
    void init() { messages_.texts.clear(); }

    void textIsEditableSelectableAndCopied() {
        CTextResultDlg dialog(kText, QStringLiteral("/tmp/scan1.jpg"));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QPlainTextEdit* box = dialog.TextBox();
        QTRY_VERIFY(box->hasFocus());
        QCOMPARE(dialog.Title(), QStringLiteral("文字识别"));
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(box->textCursor().selectedText().replace(QChar::ParagraphSeparator, '\n'), kText);
        QGuiApplication::clipboard()->clear();
        QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), kText);

        QTest::keyClick(box, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClicks(box, QStringLiteral("!"));
        QCOMPARE(dialog.Text(), kText + QStringLiteral("!"));
        QGuiApplication::clipboard()->clear();
        QTest::mouseClick(Button(dialog, CTextResultDlg::kCopyButtonId), Qt::LeftButton);
        QCOMPARE(QGuiApplication::clipboard()->text(), kText + QStringLiteral("!"));
        QCOMPARE(dialog.Note(), QStringLiteral("已复制到剪贴板"));
        Grab(dialog, QStringLiteral("text_result.png"));
    }

    void saveWritesUtf8BesideThePicture_data() {
        QTest::addColumn<bool>("exists");
        QTest::addColumn<bool>("replace");
        QTest::newRow("new file") << false << false;
        QTest::newRow("replaced after asking") << true << true;
        QTest::newRow("kept when refused") << true << false;
    }

    void saveWritesUtf8BesideThePicture() {
        QFETCH(bool, exists);
        QFETCH(bool, replace);
        QTemporaryDir folder;
        const QString target = folder.filePath(QStringLiteral("扫描 1.txt"));
        if (exists) {
            QFile old(target);
            QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
        }
        CTextResultDlg dialog(kText, folder.filePath(QStringLiteral("扫描 1.jpg")));
        QStringList asked;
        dialog.SetReplaceConfirm([&](QWidget*, const QString& path) {
            asked << path;
            return replace;
        });
        dialog.show();
        QCOMPARE(dialog.TextFilePath(), target);
        QTest::mouseClick(Button(dialog, CTextResultDlg::kSaveButtonId), Qt::LeftButton);
        QCOMPARE(asked, exists ? QStringList{target} : QStringList{});
        const bool written = !exists || replace;
        QCOMPARE(Contents(target), written ? (kText + "\n").toUtf8() : QByteArray("old"));
        QCOMPARE(dialog.Note().startsWith(QStringLiteral("已保存")), written);
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files).size(), 1);  // no temporary left
        QVERIFY(messages_.texts.isEmpty());
    }

    // The picture that was read becomes one page whose text readers find at the word's place.
    void savePdfWritesTheSearchablePage() {
        QTemporaryDir folder;
        CDibImage picture;
        QVERIFY(picture.Create(403, 300, 24, 0));  // a width the page cuts to 400
        const QvRect word{100, 120, 300, 180};
        CTextResultDlg dialog(kText, folder.filePath(QStringLiteral("扫描 2.png")));
        dialog.SetPdfPage(picture, {PdfPictureLine{word, {PdfPictureWord{"Quorvane", word}}}});
        dialog.show();
        QVERIFY(Button(dialog, CTextResultDlg::kSavePdfButtonId)->isVisible());
        QTest::mouseClick(Button(dialog, CTextResultDlg::kSavePdfButtonId), Qt::LeftButton);
        QVERIFY(dialog.IsSavingPdf());
        QTRY_VERIFY(dialog.Note().startsWith(QStringLiteral("已保存")));
        const QString pdf = folder.filePath(QStringLiteral("扫描 2.pdf"));
        QCOMPARE(dialog.PdfFilePath(), pdf);
        QProcess text;
        text.start("pdftotext", {"-bbox", pdf, "-"});
        QVERIFY(text.waitForFinished(30000) && text.exitCode() == 0);
        const QString boxes = QString::fromUtf8(text.readAll());
        // 0.96 point a pixel; the 403 pixels were cut to 400, so the word stretches with them.
        const QRegularExpression box(
            R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">Quorvane<)re");
        const auto m = box.match(boxes);
        QVERIFY2(m.hasMatch(), qPrintable(boxes));
        const double expected[] = {100 * 0.96 * 400 / 403, 120 * 0.96, 300 * 0.96 * 400 / 403,
                                   180 * 0.96};
        for (int i = 0; i < 4; ++i)
            QVERIFY2(qAbs(m.captured(i + 1).toDouble() - expected[i]) < 1, qPrintable(boxes));
        QVERIFY(messages_.texts.isEmpty());
    }

    void failedSaveIsReported() {
        CTextResultDlg dialog(kText, QStringLiteral("/nonexistent-folder/scan.jpg"));
        dialog.show();
        QVERIFY(!dialog.SaveText());
        QCOMPARE(messages_.texts.size(), 1);
        QVERIFY2(messages_.texts[0].contains(QStringLiteral("/nonexistent-folder/scan.txt")),
                 qPrintable(messages_.texts[0]));
        QVERIFY(dialog.Note().isEmpty());
    }

    void pictureWithoutTextSaysSo() {
        CTextResultDlg dialog(QStringLiteral(" \n"), QStringLiteral("/tmp/blank.jpg"));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QVERIFY(dialog.EmptyNote()->isVisible());
        QCOMPARE(dialog.EmptyNote()->text(), QStringLiteral("未识别到文字"));
        QVERIFY(!dialog.TextBox()->isVisible());
        QVERIFY(!Button(dialog, CTextResultDlg::kSaveButtonId)->isVisible());
        QVERIFY(!dialog.SaveText() && !dialog.CopyText());
        Grab(dialog, QStringLiteral("text_result_empty.png"));
    }

private:
    // With QUORVANE_GRAB_DIR set, the dialog as drawn goes there for a look.
    static void Grab(QWidget& dialog, const QString& name) {
        const QString folder = qEnvironmentVariable("QUORVANE_GRAB_DIR");
        if (!folder.isEmpty())
            dialog.grab().save(QDir(folder).filePath(name));
    }

    DialogSkins skins_;
    RecordedMessages messages_;
};

QTEST_MAIN(TextResultDialogTest)
#include "test_text_result_dialog.moc"
