// "打印" in picture mode through a real CUPS scheduler. cups_print_test.sh starts a private
// scheduler whose default queue writes its output to the file named by QUORVANE_CUPS_OUTPUT,
// then runs this program; it checks that the output holds one page with the picture on it,
// centred and at its own proportions, and that a queue that refuses or holds the job says so.

#include <QtTest>

#include "app/quorvane_dlg.h"
#include "app/work_region_mgr.h"
#include "platform/font_faces.h"
#include "platform/message_box.h"
#include "platform/window_messages.h"
#include "support/photo_home.h"
#include "support/printed_page.h"
#include "view/picture_item.h"
#include "view/picture_printing.h"
#include "view/thumbnail_view.h"

namespace {

// A 600 x 300 picture: black with a white stripe down its middle third.
bool WriteStriped(const QString& path) {
    CDibImage image;
    if (!image.Create(600, 300, 24, kDibFormatBmp)) {
        return false;
    }
    for (uint32_t row = 0; row < 300; ++row) {
        uint8_t* p = image.GetRow(row);
        for (uint32_t x = 0; x < 600; ++x) {
            p[3 * x] = p[3 * x + 1] = p[3 * x + 2] = (x >= 200 && x < 400) ? 255 : 0;
        }
    }
    return image.Save(path, kDibFormatBmp);
}

}  // namespace

class CupsPrintTest : public QObject {
    Q_OBJECT

private slots:
    // "打印" on the default queue, which prints, and on queues chosen with "打印设置" that refuse
    // the job or hold it.
    void printButtonSaysWhatTheQueueDid_data() {
        QTest::addColumn<QString>("queue");  // empty: the default queue, nothing chosen
        QTest::addColumn<QString>("message");
        QTest::newRow("default") << QString() << QStringLiteral("打印机:打印完成");
        QTest::newRow("refusing") << qEnvironmentVariable("QUORVANE_CUPS_REFUSING")
                                  << QStringLiteral("打印机:打印失败：refused by the test");
        QTest::newRow("paused") << qEnvironmentVariable("QUORVANE_CUPS_PAUSED")
                                << QStringLiteral("打印机:打印任务正在等待：paused by the test");
    }

    void printButtonSaysWhatTheQueueDid() {
        QFETCH(QString, queue);
        QFETCH(QString, message);
        const QString output = qEnvironmentVariable("QUORVANE_CUPS_OUTPUT");
        if (output.isEmpty()) {
            QFAIL("run by cups_print_test.sh, which starts the scheduler");
        }
        InstallFontFaces();
        QStringList messages;
        SetMessageBoxHandler([&messages](const QString& text, const QString& caption, MessageIcon) {
            messages << caption + u':' + text;
        });
        SetPrintDialogRunner(
            [queue](QPrinter& printer, QWidget*) { printer.setPrinterName(queue); });
        PhotoHome home;
        QVERIFY(home.Make());
        const QString picture = home.Storage() + QStringLiteral("/striped.bmp");
        QVERIFY(WriteStriped(picture));

        CQuorvaneDlg main;
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        CDibImage thumbnail;
        QVERIFY(thumbnail.Load(picture, kDibFormatBmp));
        main.Thumbnails()->AddPicture(thumbnail, picture);
        SendWindowMessage(&main, qvmsg::kSetWorkMode, 1, 0);
        QCOMPARE(main.WorkRegion()->GetPictureItem()->GetFilePath(), picture);
        if (!queue.isEmpty())
            SendWindowMessage(&main, qvmsg::kButtonClicked, mainctl::kPrintSetup, 0);
        SetPrintDialogRunner({});
        messages.clear();
        // Pressed while the picture is still being read: it prints once the picture is there.
        SendWindowMessage(&main, qvmsg::kButtonClicked, mainctl::kPrint, 0);
        QTRY_COMPARE(messages, QStringList{message});
        SetMessageBoxHandler({});
        if (!queue.isEmpty())
            return;

        // The scheduler runs the job's filters after the program has handed it over.
        QTRY_VERIFY_WITH_TIMEOUT(
            RunReader(QStringLiteral("pdfinfo"), {output})
                .contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))),
            30000);
        const QImage page = RenderFirstPage(output, 50, home.FilePath(QStringLiteral("page")));
        QVERIFY(!page.isNull());
        const QRect ink = InkBox(page, 100);
        const QString where = DescribeBox(QStringLiteral("ink"), ink) +
                              DescribeBox(QStringLiteral(" on"), page.rect());
        // Across the printable width (the page less its margins), centred, twice as wide as
        // high, and the white stripe in its middle.
        QVERIFY2(ink.width() > page.width() * 8 / 10, qPrintable(where));
        QVERIFY2(qAbs(double(ink.width()) / ink.height() - 2.0) < 0.05, qPrintable(where));
        QVERIFY2(qAbs(ink.center().y() - page.height() / 2) <= page.height() / 20,
                 qPrintable(where));
        QVERIFY2(qAbs(ink.center().x() - page.width() / 2) <= page.width() / 20, qPrintable(where));
        QCOMPARE(qGray(page.pixel(ink.center())), 255);
        QVERIFY(qGray(page.pixel(ink.left() + ink.width() / 6, ink.center().y())) < 50);
    }
};

QTEST_MAIN(CupsPrintTest)
#include "test_cups_print.moc"
