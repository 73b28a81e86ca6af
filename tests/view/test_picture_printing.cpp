// Printing the shown picture: where it goes on the page, a print through Qt's PDF output read
// back with poppler and qpdf, the print dialog's settings, and the messages of a print that
// cannot happen. No printer of the machine is ever used: CUPS is pointed at a socket that does
// not exist.

#include <QPrintDialog>
#include <QTemporaryDir>
#include <QtTest>

#include "image/dib_image.h"
#include "platform/message_box.h"
#include "support/printed_page.h"
#include "view/picture_item.h"
#include "view/picture_printing.h"

Q_DECLARE_METATYPE(QvRect)

namespace {

struct Message {
    QString text;
    QString caption;
};

// A picture whose top-left quarter is red and the rest dark blue, written as BMP.
bool WriteQuarters(const QString& path, uint32_t width, uint32_t height) {
    CDibImage image;
    if (!image.Create(width, height, 24, kDibFormatBmp)) {
        return false;
    }
    for (uint32_t row = 0; row < height; ++row) {
        const bool top = height - 1 - row < height / 2;  // rows are stored bottom-up
        uint8_t* p = image.GetRow(row);
        for (uint32_t x = 0; x < width; ++x) {
            const bool red = top && x < width / 2;
            p[3 * x] = red ? 0 : 120;
            p[3 * x + 1] = 0;
            p[3 * x + 2] = red ? 220 : 0;
        }
    }
    return image.Save(path, kDibFormatBmp);
}

PrinterChoice PdfChoice(const QString& file) {
    SetPrintDialogRunner([file](QPrinter& printer, QWidget*) { printer.setOutputFileName(file); });
    PrinterChoice choice = ChoosePrinter({}, nullptr);
    SetPrintDialogRunner({});
    return choice;
}

}  // namespace

class PicturePrintingTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        qputenv("CUPS_SERVER", dir_.filePath(QStringLiteral("no-scheduler.sock")).toLocal8Bit());
        SetMessageBoxHandler([this](const QString& text, const QString& caption, MessageIcon) {
            messages_.push_back({text, caption});
        });
    }
    void init() { messages_.clear(); }

    void pageRect_data() {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QSize>("page");
        QTest::addColumn<QvRect>("expected");
        QTest::newRow("wide picture")
            << QSize(2000, 1000) << QSize(4800, 6600) << QvRect{0, 2100, 4800, 4500};
        QTest::newRow("tall picture")
            << QSize(1000, 2000) << QSize(4800, 6600) << QvRect{750, 0, 4050, 6600};
        QTest::newRow("no picture") << QSize(0, 0) << QSize(4800, 6600) << QvRect{};
        QTest::newRow("no page") << QSize(2000, 1000) << QSize(4800, 0) << QvRect{};
        // A4 at 1200 dpi inside Qt's PDF margins: only the shape of the answer is known.
        QPrinter a4(QPrinter::HighResolution);
        a4.setOutputFileName(dir_.filePath(QStringLiteral("unused.pdf")));
        a4.setPageSize(QPageSize(QPageSize::A4));
        QTest::newRow("photo on A4")
            << QSize(2592, 1944) << QSize(a4.width(), a4.height()) << QvRect{-1, -1, -1, -1};
        QTest::newRow("receipt on A4")
            << QSize(300, 2400) << QSize(a4.width(), a4.height()) << QvRect{-1, -1, -1, -1};
    }

    void pageRect() {
        QFETCH(QSize, picture);
        QFETCH(QSize, page);
        QFETCH(QvRect, expected);
        const QvRect r =
            PrintPageRect(picture.width(), picture.height(), page.width(), page.height());
        if (expected.left >= 0) {
            QCOMPARE(r.left, expected.left);
            QCOMPARE(r.top, expected.top);
            QCOMPARE(r.right, expected.right);
            QCOMPARE(r.bottom, expected.bottom);
            return;
        }
        // Centred, filling the page in one direction, proportions kept to a pixel.
        QVERIFY(qAbs(r.left - (page.width() - r.right)) <= 1);
        QVERIFY(qAbs(r.top - (page.height() - r.bottom)) <= 1);
        QVERIFY(r.Width() >= page.width() - 1 || r.Height() >= page.height() - 1);
        QVERIFY(r.left >= 0 && r.top >= 0 && r.right <= page.width() && r.bottom <= page.height());
        const double shown = double(r.Width()) * picture.height();
        QVERIFY(qAbs(shown - double(r.Height()) * picture.width()) <=
                std::max(picture.width(), picture.height()));
    }

    void printsToPdfCentred_data() {
        QTest::addColumn<QSize>("picture");
        QTest::newRow("wide") << QSize(300, 100);
        QTest::newRow("tall") << QSize(120, 360);
    }

    // Through Qt's PDF output: one page, named as every job is, with the picture centred in
    // the printable area at its own proportions and the right way round.
    void printsToPdfCentred() {
        QFETCH(QSize, picture);
        const QString bmp = dir_.filePath(QStringLiteral("quarters.bmp"));
        const QString pdf = dir_.filePath(QStringLiteral("%1.pdf").arg(QTest::currentDataTag()));
        QVERIFY(WriteQuarters(bmp, uint32_t(picture.width()), uint32_t(picture.height())));
        CPicItem item;
        item.resize(400, 300);
        item.LoadFile(bmp);
        QTRY_VERIFY(!item.IsLoading());
        const PrinterChoice choice = PdfChoice(pdf);
        QVERIFY(choice.IsPdfOutput());
        QCOMPARE(item.Print(choice), PrintResult::kPrinted);
        QCOMPARE(messages_.size(), 1u);
        QCOMPARE(messages_[0].text, QStringLiteral("打印完成"));
        QCOMPARE(messages_[0].caption, QStringLiteral("打印机"));

        QVERIFY(RunReader(QStringLiteral("qpdf"), {QStringLiteral("--check"), pdf})
                    .contains(QStringLiteral("No syntax or stream encoding errors")));
        const QString info = RunReader(QStringLiteral("pdfinfo"), {pdf});
        QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))),
                 qPrintable(info));
        QVERIFY(info.contains(QRegularExpression(QStringLiteral("Title:\\s+Brevinaxor printer"))));
        const int dpi = 60;
        const QImage page = RenderFirstPage(pdf, dpi, dir_.filePath(QStringLiteral("page")));
        QVERIFY(!page.isNull());
        // Centred in the printable area, filling it in one direction, at the picture's shape.
        const QRectF inches = choice.pageLayout.paintRect(QPageLayout::Inch);
        const QRect area(QPoint(int(inches.left() * dpi), int(inches.top() * dpi)),
                         QPoint(int(inches.right() * dpi), int(inches.bottom() * dpi)));
        const QRect ink = InkBox(page, 200);
        const QString where =
            DescribeBox(QStringLiteral("ink"), ink) + DescribeBox(QStringLiteral(" in"), area);
        QVERIFY2(area.adjusted(-1, -1, 1, 1).contains(ink), qPrintable(where));
        QVERIFY2(qAbs((ink.left() - area.left()) - (area.right() - ink.right())) <= 2 &&
                     qAbs((ink.top() - area.top()) - (area.bottom() - ink.bottom())) <= 2,
                 qPrintable(where));
        QVERIFY2(ink.width() >= area.width() - 2 || ink.height() >= area.height() - 2,
                 qPrintable(where));
        const double shape = double(picture.width()) / picture.height();
        QVERIFY2(qAbs(double(ink.width()) / ink.height() / shape - 1) < 0.02, qPrintable(where));
        const QColor topLeft =
            page.pixelColor(ink.left() + ink.width() / 4, ink.top() + ink.height() / 4);
        const QColor bottomRight =
            page.pixelColor(ink.left() + 3 * ink.width() / 4, ink.top() + 3 * ink.height() / 4);
        QVERIFY(topLeft.red() > 150 && topLeft.blue() < 80);
        QVERIFY(bottomRight.blue() > 80 && bottomRight.red() < 80);
    }

    void printThatCannotHappenSaysSo_data() {
        QTest::addColumn<bool>("picture");
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("message");
        QTest::newRow("unreadable picture") << false << "PDF"
                                            << "没有可打印的图片";
        QTest::newRow("no printer at all") << true << ""
                                           << "未找到打印机";
        QTest::newRow("chosen printer gone") << true << "Gone"
                                             << "未找到打印机";
    }

    void printThatCannotHappenSaysSo() {
        QFETCH(bool, picture);
        QFETCH(QString, device);
        QFETCH(QString, message);
        const QString bmp =
            dir_.filePath(picture ? QStringLiteral("ok.bmp") : QStringLiteral("missing.bmp"));
        QVERIFY(!picture || WriteQuarters(bmp, 40, 30));
        const QString pdf = dir_.filePath(QStringLiteral("never.pdf"));
        PrinterChoice choice;
        if (device == u"PDF") {
            choice = PdfChoice(pdf);
        } else if (!device.isEmpty()) {
            choice.device = device;
            choice.driver = QString::fromUtf16(PrinterChoice::kCupsDriver);
        }
        CPicItem item;
        item.LoadFile(bmp);
        QTRY_VERIFY(!item.IsLoading());
        QVERIFY(item.Print(choice) != PrintResult::kPrinted);
        QCOMPARE(messages_.size(), 1u);
        QCOMPARE(messages_[0].text, message);
        QCOMPARE(messages_[0].caption, QStringLiteral("打印机"));
        QVERIFY(!QFile::exists(pdf));
    }

    // "打印设置": no printing to a file, no page range, copies collated; whatever the dialog
    // holds when it closes is kept, also when it was cancelled.
    void setUpKeepsWhatTheDialogHolds() {
        bool seen = false;
        QTimer::singleShot(0, [&seen] {
            auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr) {
                return;
            }
            seen = !dialog->testOption(QAbstractPrintDialog::PrintToFile) &&
                   !dialog->testOption(QAbstractPrintDialog::PrintPageRange) &&
                   dialog->testOption(QAbstractPrintDialog::PrintCollateCopies) &&
                   dialog->printer()->collateCopies();
            dialog->reject();
        });
        const PrinterChoice none = ChoosePrinter({}, nullptr);
        QVERIFY(seen);
        QVERIFY(!none.IsChosen());  // no printer on this machine's pretend scheduler

        const PrinterChoice pdf = PdfChoice(dir_.filePath(QStringLiteral("kept.pdf")));
        SetPrintDialogRunner([](QPrinter&, QWidget*) {});  // cancelled at once
        const PrinterChoice kept = ChoosePrinter(pdf, nullptr);
        SetPrintDialogRunner({});
        QCOMPARE(kept.device, pdf.device);
        QCOMPARE(kept.port, pdf.port);
        QVERIFY(kept.collate);
    }

private:
    QTemporaryDir dir_;
    std::vector<Message> messages_;
};

QTEST_MAIN(PicturePrintingTest)
#include "test_picture_printing.moc"
