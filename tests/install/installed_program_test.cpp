// The program as a user gets it: installed into a temporary prefix with cmake --install, its
// desktop files checked by the desktop's own validators, its command line run without a
// display, and the installed program started on a virtual X server with the simulated camera,
// looked at through screenshots. The Debian package is built and checked by lintian.

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

Run RunTool(const QString& program, const QStringList& arguments,
            const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
            int timeoutMs = 120000) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    Run run;
    if (!process.waitForFinished(timeoutMs) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        process.waitForFinished();
        run.err = QStringLiteral("did not finish: ") + program;
        return run;
    }
    run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// The main window's place on a 1280 x 1024 screen and points inside it.
constexpr int kWindowLeft = 128;
constexpr int kWindowTop = 178;
const QRect kLiveArea(kWindowLeft + 150, kWindowTop + 200, 500, 380);

bool Near(QRgb pixel, QColor expected, int tolerance) {
    return std::abs(qRed(pixel) - expected.red()) <= tolerance &&
           std::abs(qGreen(pixel) - expected.green()) <= tolerance &&
           std::abs(qBlue(pixel) - expected.blue()) <= tolerance;
}

// Grey levels present in the area: one or two for an empty stage, a score or more for a camera
// picture fitted whole inside it.
int GreyLevels(const QImage& shot, const QRect& area) {
    QSet<int> levels;
    for (int y = area.top(); y <= area.bottom(); y += 4)
        for (int x = area.left(); x <= area.right(); x += 4)
            levels.insert(qGray(shot.pixel(x, y)) / 4);
    return int(levels.size());
}

}  // namespace

class InstalledProgramTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void commandLineWithoutDisplay_data();
    void commandLineWithoutDisplay();
    void desktopFilesValidate();
    void installedProgramShowsTheLivePicture();
    void secondCopyHandsItsFileToTheFirst();
    void packagePassesLintian();

private:
    QProcessEnvironment ProgramEnvironment() const;
    QImage Screenshot();
    bool StartXServer();

    QTemporaryDir prefix_;
    QTemporaryDir home_;
    QString program_;
    QProcess xServer_;
    QString display_;
    QProcess firstCopy_;
};

void InstalledProgramTest::initTestCase() {
    QVERIFY(prefix_.isValid() && home_.isValid());
    const Run install = RunTool(QStringLiteral(QUORVANE_CMAKE),
                                {QStringLiteral("--install"), QStringLiteral(QUORVANE_BUILD_DIR),
                                 QStringLiteral("--prefix"), prefix_.path()});
    QVERIFY2(install.exitCode == 0, qPrintable(install.err));
    program_ = prefix_.filePath(QStringLiteral("bin/quorvane"));
    QVERIFY(QFileInfo(program_).isExecutable());
}

void InstalledProgramTest::cleanupTestCase() {
    for (QProcess* process : {&firstCopy_, &xServer_}) {
        if (process->state() != QProcess::NotRunning) {
            process->terminate();
            if (!process->waitForFinished(5000)) {
                process->kill();
                process->waitForFinished();
            }
        }
    }
}

// A private home and, once the X server runs, its display; no window system otherwise.
QProcessEnvironment InstalledProgramTest::ProgramEnvironment() const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_RUNTIME_DIR"})
        environment.remove(QString::fromLatin1(name));
    environment.insert(QStringLiteral("HOME"), home_.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home_.filePath(QStringLiteral("config")));
    if (!display_.isEmpty())
        environment.insert(QStringLiteral("DISPLAY"), display_);
    return environment;
}

void InstalledProgramTest::commandLineWithoutDisplay_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("stdoutHas");
    QTest::addColumn<QString>("stderrHas");
    QTest::newRow("help") << QStringList{QStringLiteral("--help")} << 0
                          << QStringLiteral("--simulated-camera") << QString();
    QTest::newRow("version") << QStringList{QStringLiteral("--version")} << 0
                             << QStringLiteral("quorvane 1.0") << QString();
    QTest::newRow("unknown option") << QStringList{QStringLiteral("--no-such-option")} << 1
                                    << QString() << QStringLiteral("no-such-option");
}

void InstalledProgramTest::commandLineWithoutDisplay() {
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, stdoutHas);
    QFETCH(QString, stderrHas);
    const Run run = RunTool(program_, arguments, ProgramEnvironment(), 20000);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.out.contains(stdoutHas), qPrintable(run.out));
    QVERIFY2(run.err.contains(stderrHas), qPrintable(run.err));
    if (exitCode == 0)
        QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
}

void InstalledProgramTest::desktopFilesValidate() {
    const QDir share(prefix_.filePath(QStringLiteral("share")));
    const QString entry = share.filePath(QStringLiteral("applications/quorvane.desktop"));
    const Run desktop = RunTool(QStringLiteral("desktop-file-validate"), {entry});
    QVERIFY2(desktop.exitCode == 0 && desktop.out.isEmpty(), qPrintable(desktop.out + desktop.err));

    const QString metainfo =
        share.filePath(QStringLiteral("metainfo/org.quorvane.Quorvane.metainfo.xml"));
    const Run appstream =
        RunTool(QStringLiteral("appstreamcli"),
                {QStringLiteral("validate"), QStringLiteral("--no-net"), metainfo});
    QVERIFY2(appstream.exitCode == 0, qPrintable(appstream.out + appstream.err));

    for (int size : {16, 32, 48, 64, 128, 256}) {
        const QImage icon(
            share.filePath(QStringLiteral("icons/hicolor/%1x%1/apps/quorvane.png").arg(size)));
        QCOMPARE(icon.size(), QSize(size, size));
    }

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    const Run manual = RunTool(QStringLiteral("man"),
                               {QStringLiteral("--warnings"), QStringLiteral("-l"),
                                share.filePath(QStringLiteral("man/man1/quorvane.1.gz"))},
                               environment);
    QCOMPARE(manual.exitCode, 0);
    QVERIFY2(manual.err.isEmpty(), qPrintable(manual.err));
    QVERIFY(manual.out.contains(QStringLiteral("simulated")));
}

bool InstalledProgramTest::StartXServer() {
    if (!display_.isEmpty())
        return true;
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty())
        return false;
    // -displayfd picks a free display and writes its number once the server accepts clients.
    xServer_.start(QStringLiteral("Xvfb"),
                   {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                    QStringLiteral("0"), QStringLiteral("1280x1024x24"),
                    QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    QDeadlineTimer deadline(30000);
    QByteArray number;
    while (!number.endsWith('\n') && xServer_.waitForReadyRead(int(deadline.remainingTime())))
        number += xServer_.readAllStandardOutput();
    if (!number.endsWith('\n'))
        return false;
    display_ = u':' + QString::fromLatin1(number.trimmed());
    return true;
}

QImage InstalledProgramTest::Screenshot() {
    const QString file = home_.filePath(QStringLiteral("shot.png"));
    const Run grab = RunTool(
        QStringLiteral("ffmpeg"),
        {QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-y"),
         QStringLiteral("-f"), QStringLiteral("x11grab"), QStringLiteral("-draw_mouse"),
         QStringLiteral("0"), QStringLiteral("-video_size"), QStringLiteral("1280x1024"),
         QStringLiteral("-i"), display_, QStringLiteral("-frames:v"), QStringLiteral("1"), file});
    return grab.exitCode == 0 ? QImage(file).convertToFormat(QImage::Format_RGB32) : QImage();
}

void InstalledProgramTest::installedProgramShowsTheLivePicture() {
    if (!StartXServer())
        QSKIP(
            "Xvfb or ffmpeg is missing or the X server did not start: the installed program "
            "was not started");
    firstCopy_.setProcessEnvironment(ProgramEnvironment());
    firstCopy_.start(program_, {QStringLiteral("--simulated-camera")});
    QVERIFY(firstCopy_.waitForStarted());

    // The skins: the title strip in its blue and the logo's white beside it. The live picture:
    // the simulated page on its desk, where the empty stage is one flat colour.
    QImage shot;
    QTRY_VERIFY2_WITH_TIMEOUT(
        (shot = Screenshot(), !shot.isNull() && GreyLevels(shot, kLiveArea) > 10),
        "no live picture on the screen", 60000);
    QVERIFY(Near(shot.pixel(kWindowLeft + 500, kWindowTop + 12), QColor(30, 90, 160), 8));
    QVERIFY(Near(shot.pixel(kWindowLeft + 760, kWindowTop + 165), Qt::white, 8));
    // Live: the camera's noise changes the picture from one screenshot to the next.
    QTRY_VERIFY_WITH_TIMEOUT(Screenshot().copy(kLiveArea) != shot.copy(kLiveArea), 10000);
}

void InstalledProgramTest::secondCopyHandsItsFileToTheFirst() {
    if (firstCopy_.state() != QProcess::Running)
        QSKIP("the first copy is not running (see the test before)");
    const QColor magenta(255, 0, 255);
    QImage page(400, 300, QImage::Format_RGB32);
    page.fill(magenta);
    const QString file = home_.filePath(QStringLiteral("页面.png"));
    QVERIFY(page.save(file));

    const Run second = RunTool(program_, {file}, ProgramEnvironment(), 20000);
    QVERIFY2(second.exitCode == 0, qPrintable(second.err));
    QCOMPARE(firstCopy_.state(), QProcess::Running);
    // The first copy shows the file in its picture view.
    const QPoint centre = kLiveArea.center();
    QTRY_VERIFY_WITH_TIMEOUT(Near(Screenshot().pixel(centre), magenta, 8), 20000);
}

void InstalledProgramTest::packagePassesLintian() {
    if (QStandardPaths::findExecutable(QStringLiteral("lintian")).isEmpty())
        QSKIP("lintian is not installed");
    QTemporaryDir out;
    const Run pack = RunTool(
        QStringLiteral(QUORVANE_CPACK),
        {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("-B"), out.path(),
         QStringLiteral("--config"), QStringLiteral(QUORVANE_BUILD_DIR "/CPackConfig.cmake")},
        QProcessEnvironment::systemEnvironment(), 240000);
    QVERIFY2(pack.exitCode == 0, qPrintable(pack.out + pack.err));
    const QStringList debs = QDir(out.path()).entryList({QStringLiteral("quorvane_*_amd64.deb")});
    QCOMPARE(debs.size(), 1);
    const Run lint = RunTool(QStringLiteral("lintian"), {QDir(out.path()).filePath(debs.first())},
                             QProcessEnvironment::systemEnvironment(), 240000);
    // lintian exits non-zero for errors; warnings are listed in the output.
    QVERIFY2(lint.exitCode == 0, qPrintable(lint.out));
    QVERIFY2(
        !lint.out.contains(QStringLiteral("\nE: ")) && !lint.out.startsWith(QStringLiteral("E: ")),
        qPrintable(lint.out));
}

QTEST_GUILESS_MAIN(InstalledProgramTest)
#include "installed_program_test.moc"
