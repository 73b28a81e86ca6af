// A 20000 x 20000 picture opened as `quorvane big.png` opens it (its thumbnail, then the picture
// view), then previewed in the PDF dialog, which is closed while it reads the picture again: in
// a real window, the window keeps painting all along, and the program never holds its event loop
// up for more than 100 ms.

#include <QElapsedTimer>
#include <QPainter>
#include <QTimer>
#include <QtTest>

#include "app/quorvane_dlg.h"
#include "app/work_region_mgr.h"
#include "dialogs/pdf_dlg.h"
#include "platform/font_faces.h"
#include "platform/message_box.h"
#include "platform/window_messages.h"
#include "support/big_picture.h"
#include "support/photo_home.h"
#include "ui/kt_list_box.h"
#include "view/picture_item.h"

namespace {

// Nanoseconds this thread has waited for a processor while ready to run.
qint64 WaitedForProcessor() {
    QFile stat(QStringLiteral("/proc/thread-self/schedstat"));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = stat.readAll().split(' ');
    return fields.size() >= 2 ? fields[1].toLongLong() : 0;
}

// A corner of the window repainted on every tick of a 10 ms timer; keeps the longest time
// between two of its paints. Time the thread stood ready while other processes had the
// processors (the machine is shared) is not the program's pause and is left out.
class PaintMonitor : public QWidget {
public:
    explicit PaintMonitor(QWidget* parent) : QWidget(parent) {
        setGeometry(0, 0, 6, 6);
        connect(&tick_, &QTimer::timeout, this, [this] { update(); });
        clock_.start();
        tick_.start(10);
        show();
    }
    qint64 Longest() const { return longest_; }
    int Paints() const { return paints_; }

protected:
    void paintEvent(QPaintEvent*) override {
        const qint64 now = clock_.nsecsElapsed();
        const qint64 waited = WaitedForProcessor();
        if (paints_++ > 0)
            longest_ = std::max(longest_, ((now - last_) - (waited - waited_)) / 1000000);
        last_ = now;
        waited_ = waited;
        QPainter(this).fillRect(rect(), paints_ % 2 ? Qt::black : Qt::white);
    }

private:
    QTimer tick_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 waited_ = 0;
    qint64 longest_ = 0;
    int paints_ = 0;
};

}  // namespace

class BigPictureWindowTest : public QObject {
    Q_OBJECT

private slots:
    void windowKeepsPaintingWhileABigPictureIsRead();
};

void BigPictureWindowTest::windowKeepsPaintingWhileABigPictureIsRead() {
    InstallFontFaces();
    QStringList messages;
    SetMessageBoxHandler(
        [&](const QString& text, const QString&, MessageIcon) { messages << text; });
    PhotoHome home;
    QVERIFY(home.Make());
    const QString big = home.Storage() + QStringLiteral("/big.png");
    QVERIFY(big_picture::WritePng(big, 20000, 20000, 1));

    CQuorvaneDlg dlg;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    PaintMonitor monitor(&dlg);
    QTRY_VERIFY(monitor.Paints() > 10);
    dlg.OpenFiles({big});
    QVERIFY(QGuiApplication::overrideCursor() != nullptr);  // busy while its thumbnail is made
    CPicItem* still = dlg.WorkRegion()->GetPictureItem();
    QTRY_VERIFY_WITH_TIMEOUT(dlg.WorkMode() == CWorkRegionMgr::kModePicture &&
                                 still->GetFilePath() == big && still->IsShowingReduced() &&
                                 !still->IsLoading(),
                             120000);
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    const QImage shown = still->grab().toImage();
    bool ink = false;
    for (int x = 0; x < shown.width() && !ink; ++x)
        ink = qGray(shown.pixel(x, shown.height() / 2)) < 100;
    QVERIFY(ink);  // the picture's dark blocks are on the screen

    // The PDF dialog runs its own event loop: it is driven from a timer. Its preview is read,
    // then read again and the dialog closed meanwhile.
    int step = 0;
    bool previewShown = false;
    bool closedWhileReading = false;
    QTimer driver;
    connect(&driver, &QTimer::timeout, [&] {
        auto* pdf = qobject_cast<CPDFDlg*>(QApplication::activeModalWidget());
        if (pdf == nullptr || !pdf->isVisible() || (step == 1 && pdf->IsPreviewLoading()))
            return;
        if (step == 1)
            previewShown = pdf->PreviewImage().GetWidth() == 128;
        if (step < 2) {
            pdf->FileList()->setCurrentRow(-1);
            pdf->FileList()->setCurrentRow(0);
        } else if (step == 2) {
            closedWhileReading = pdf->IsPreviewLoading();
            SendWindowMessage(pdf, qvmsg::kButtonClicked, CPDFDlg::kCancelId, 0);
        }
        ++step;
    });
    driver.start(20);
    SendWindowMessage(&dlg, qvmsg::kButtonClicked, 1009, 0);  // until the dialog is closed
    qInfo("longest pause of the event loop: %lld ms", monitor.Longest());
    QVERIFY2(monitor.Longest() <= 100,
             qPrintable(QStringLiteral("the window stood still for %1 ms").arg(monitor.Longest())));
    QVERIFY(previewShown);
    QVERIFY(closedWhileReading);
    QVERIFY2(messages.isEmpty(), qPrintable(messages.join(u'\n')));
    SetMessageBoxHandler({});
}

QTEST_MAIN(BigPictureWindowTest)
#include "test_big_picture_window.moc"
