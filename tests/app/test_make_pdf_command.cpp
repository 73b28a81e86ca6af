// `quorvane --make-pdf`: the built program run as a user runs it, without a display, its exit
// codes, messages and files; and a searchable PDF made beside a running copy of the program,
// which must not hear of it.

#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "app/single_instance.h"
#include "image/dib_image.h"
#include "support/ocr_page.h"

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

}  // namespace

class MakePdfCommandTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void exitCodesAndMessages_data();
    void exitCodesAndMessages();
    void searchableBesideARunningCopy();

private:
    // Runs the program in the temporary folder with no display; the event loop keeps running.
    Run Quorvane(const QStringList& arguments);
    QStringList Entries() const {
        return QDir(dir_.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    QString PdfFacts(const QString& pdf);

    QTemporaryDir dir_;
};

void MakePdfCommandTest::initTestCase() {
    QVERIFY(dir_.isValid());
    QVERIFY(QDir(dir_.path()).mkpath("config/quorvane"));
    CDibImage picture = ToDib(RenderOcrTestPage(40).image);
    QVERIFY(picture.Save(dir_.filePath("page.png"), kDibFormatPng));
    QVERIFY(picture.Save(dir_.filePath("a.jpg"), kDibFormatJpeg));
    CDibImage tiny;
    QVERIFY(tiny.Create(1, 1, 24, 0) && tiny.Save(dir_.filePath("tiny.png"), kDibFormatPng));
    QFile broken(dir_.filePath("broken.jpg"));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("not a picture");
    QFile whole(dir_.filePath("a.jpg")), cut(dir_.filePath("cut.jpg"));
    QVERIFY(whole.open(QIODevice::ReadOnly) && cut.open(QIODevice::WriteOnly));
    cut.write(whole.read(whole.size() / 2));  // the file ends halfway through the picture
}

Run MakePdfCommandTest::Quorvane(const QStringList& arguments) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(name);
    environment.insert("HOME", dir_.path());
    environment.insert("XDG_CONFIG_HOME", dir_.filePath("config"));
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(dir_.path());
    process.start(QUORVANE_PROGRAM, arguments);
    Run run;
    if (!process.waitForStarted())
        return run;
    if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 120000))
        return run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

// Pages and text of a PDF that qpdf accepts, as one line; empty when it does not.
QString MakePdfCommandTest::PdfFacts(const QString& pdf) {
    QProcess check;
    check.start("qpdf", {"--check", dir_.filePath(pdf)});
    if (!check.waitForFinished(30000) || check.exitCode() != 0)
        return {};
    QProcess info;
    info.start("pdfinfo", {dir_.filePath(pdf)});
    info.waitForFinished(30000);
    return QRegularExpression("Pages: +(\\d+)").match(info.readAll()).captured(1) + " pages";
}

void MakePdfCommandTest::exitCodesAndMessages_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("messages");  // the lines on standard error, %1 the folder
    QTest::addColumn<QString>("pdf");           // what out.pdf holds, empty when not written
    const QString cannotRead = "quorvane: cannot read the picture %1/broken.jpg; it is left out";
    const QString noSuchFile = "quorvane: no such file %1/gone.jpg; it is left out";
    QTest::newRow("good") << QStringList{"--make-pdf", "out.pdf", "page.png", "a.jpg"} << 0
                          << QStringList() << "2 pages";
    QTest::newRow("unreadable, missing, too small")
        << QStringList{"--make-pdf", "out.pdf", "broken.jpg", "a.jpg", "gone.jpg", "tiny.png"} << 2
        << QStringList{cannotRead, noSuchFile,
                       "quorvane: the picture %1/tiny.png is narrower than 8 pixels; it is left "
                       "out"}
        << "1 pages";
    QTest::newRow("damaged, kept")
        << QStringList{"--make-pdf", "out.pdf", "cut.jpg"} << 0
        << QStringList{"quorvane: the picture %1/cut.jpg is damaged"} << "1 pages";
    QTest::newRow("none readable")
        << QStringList{"--make-pdf", "out.pdf", "broken.jpg", "gone.jpg"} << 3
        << QStringList{cannotRead, noSuchFile, "quorvane: no picture could be read; no PDF written"}
        << "";
    QTest::newRow("unwritable folder")
        << QStringList{"--make-pdf", "gone/out.pdf", "a.jpg"} << 3
        << QStringList{"quorvane: cannot create gone/out.pdf: "} << "";
    QTest::newRow("no picture") << QStringList{"--make-pdf", "out.pdf"} << 1
                                << QStringList{"--make-pdf needs the PDF file and at least one "
                                               "picture."}
                                << "";
    QTest::newRow("searchable alone") << QStringList{"--searchable", "a.jpg"} << 1
                                      << QStringList{"--searchable goes with --make-pdf."} << "";
}

void MakePdfCommandTest::exitCodesAndMessages() {
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QStringList, messages);
    QFETCH(QString, pdf);
    QFile::remove(dir_.filePath("out.pdf"));
    const QStringList before = Entries();
    const Run run = Quorvane(arguments);
    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(run.out, QString());
    const QStringList lines = run.err.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), messages.size() + (exitCode == 1 ? 1 : 0));  // and "Try --help"
    for (int i = 0; i < messages.size(); ++i)
        QVERIFY2(lines[i].startsWith(QString(messages[i]).replace("%1", dir_.path())),
                 qPrintable(run.err));
    QCOMPARE(PdfFacts("out.pdf"), pdf);
    // No temporary file is left behind.
    QStringList expected = before;
    if (!pdf.isEmpty())
        expected << "out.pdf";
    expected.sort();
    QCOMPARE(Entries(), expected);
}

void MakePdfCommandTest::searchableBesideARunningCopy() {
    qputenv("XDG_CONFIG_HOME", dir_.filePath("config").toLocal8Bit());
    SingleInstance running(dir_.filePath("config/quorvane"));
    QCOMPARE(running.ClaimOrHandOver({}), SingleInstance::Claim::kFirst);
    QVERIFY(running.Listen());
    QSignalSpy activated(&running, &SingleInstance::Activated);

    const Run run = Quorvane({"--make-pdf", "text.pdf", "--searchable", "page.png"});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out + run.err, QString());
    QTest::qWait(200);
    QCOMPARE(activated.count(), 0);
    QVERIFY(!QFile::exists(dir_.filePath("config/quorvane/Quorvane.ini")));

    QProcess text;
    text.start("pdftotext", {dir_.filePath("text.pdf"), "-"});
    QVERIFY(text.waitForFinished(30000));
    QVERIFY2(text.readAll().contains("Invoice 2024-117"), "the text layer is missing");
    running.StopListening();
}

QTEST_MAIN(MakePdfCommandTest)
#include "test_make_pdf_command.moc"
