// Automatic cropping end to end with the simulated document camera at its default size: the
// save options panel's box switches it through the main window, the live picture outlines the
// page, and a photo comes out cut to the page with no desk along its edges (checked with Qt's own
// decoder against the camera's truth). Storage and settings folders are temporary.

#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

#include "app/quorvane_dlg.h"
#include "app/work_region_mgr.h"
#include "media/simulated_camera.h"
#include "platform/message_box.h"
#include "platform/window_messages.h"
#include "settings/ini_file.h"
#include "settings/stored_settings.h"
#include "support/photo_home.h"
#include "support/simulated_media.h"
#include "ui/save_option_panel.h"
#include "view/video_item.h"

namespace {

void ClickAutoCrop(CSaveOption* options) {
    const QvRect hit = options->Item(CSaveOption::kAutoCrop).HitRect();
    QTest::mouseClick(options, Qt::LeftButton, {},
                      QPoint(hit.left + hit.Width() / 2, hit.top + hit.Height() / 2));
}

// Share of a photo's outermost pixels darker than the simulated paper: desk left along its edges.
double DarkBorderShare(const QImage& photo) {
    const int w = photo.width();
    const int h = photo.height();
    int dark = 0;
    int all = 0;
    for (int x = 0; x < w; ++x) {
        for (int y = 0; y < h; y += (x == 0 || x == w - 1) ? 1 : h - 1) {
            dark += qGray(photo.pixel(x, y)) < 215;
            ++all;
        }
    }
    return double(dark) / all;
}

// Pixels of the outline's green pen in a grab of the live picture.
int OutlinePixels(QWidget* live) {
    const QImage image = live->grab().toImage();
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            n += qGreen(p) > 200 && qRed(p) < 60 && qBlue(p) < 60;
        }
    }
    return n;
}

// Runs `action` on the user-interface thread right after the next frame has been shown, that is
// just after the frame was handed to the detection thread.
class AfterNextFrame : public QObject {
public:
    AfterNextFrame(QObject* live, std::function<void()> action) : action_(std::move(action)) {
        live->installEventFilter(this);
    }
    bool done = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!pending_ && event->type() == WindowMessageEvent::EventType() &&
            static_cast<WindowMessageEvent*>(event)->message == qvmsg::kNewFrame) {
            pending_ = true;
            watched->removeEventFilter(this);
            QMetaObject::invokeMethod(
                this,
                [this] {
                    action_();
                    done = true;
                },
                Qt::QueuedConnection);
        }
        return false;
    }

private:
    std::function<void()> action_;
    bool pending_ = false;
};

}  // namespace

class PhotoAutoCropTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(StartSimulatedMedia());
        SetMessageBoxHandler([](const QString&, const QString&, MessageIcon) {});
    }

    void init() {
        home_ = std::make_unique<PhotoHome>();
        QVERIFY(home_->Make());
        storage_ = home_->Storage();
        QVERIFY(CIniFile().WriteInt(qvini::kPic, qvini::kNameMode, 1));
        dlg_ = std::make_unique<CQuorvaneDlg>();
        dlg_->show();
        QVERIFY(QTest::qWaitForWindowExposed(dlg_.get()));
        QVERIFY(dlg_->WorkRegion());
        live_ = dlg_->WorkRegion()->GetVideoItem();
        QVERIFY(live_);
        QTRY_VERIFY_WITH_TIMEOUT(live_->GetWorkImage().IsValid(), 20000);
        // No size is stored: the camera's default, the size automatic cropping is made for.
        QCOMPARE(int(live_->GetWorkImage().GetWidth()), 1600);
        QCOMPARE(int(live_->GetWorkImage().GetHeight()), 1200);
        QVERIFY(ReadSimulatedCameraTruth(live_->DeviceSet().Engine()->SourceElement(), &truth_));
    }

    void cleanup() {
        dlg_.reset();
        home_.reset();
    }

    // The outline appears on the page's true corners, with the page's tilt, soon after the box
    // is checked.
    void checkingTheBoxOutlinesThePage() {
        QElapsedTimer clock;
        clock.start();
        ClickAutoCrop(dlg_->SaveOptionPanel());
        QVERIFY(dlg_->SaveOptionPanel()->IsAutoCrop());
        QVERIFY(live_->IsAutoCropOn());
        QCOMPARE(live_->GetOutlineMode(), 2);
        QTRY_VERIFY_WITH_TIMEOUT(live_->GetOutlineImagePoints()[2].x != 0, 5000);
        qInfo("outline shown %lld ms after the box was checked", clock.elapsed());
        QVERIFY(live_->EdgeWorker().Results().detected);
        double worst = 0;
        for (const ScenePoint& corner : truth_.uprightCorners) {
            double nearest = 1e9;
            for (const QvPoint& p : live_->GetOutlineImagePoints())
                nearest = std::min(nearest, std::hypot(p.x - corner.x, p.y - corner.y));
            worst = std::max(worst, nearest);
        }
        qInfo("outline corners at most %.1f pixels from the page's", worst);
        QVERIFY2(worst < 30, qPrintable(QString::number(worst)));
        QVERIFY2(std::abs(std::abs(live_->TiltAngle()) - std::abs(truth_.uprightTiltDegrees)) <= 1,
                 qPrintable(QString::number(live_->TiltAngle())));
    }

    // Clearing the box ends the detection thread and removes the box; checking it again starts
    // a new thread that publishes new results.
    void clearingEndsTheWorkerAndCheckingStartsANewOne() {
        ClickAutoCrop(dlg_->SaveOptionPanel());
        const CDocumentEdgeWorker& worker = live_->EdgeWorker();
        // A still page is detected once and keeps its result.
        QTRY_VERIFY_WITH_TIMEOUT(worker.Results().serial >= 1, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(OutlinePixels(live_) > 500, 5000);
        // Off while the thread works on the frame it was just given.
        uint64_t serialAtOff = 0;
        AfterNextFrame off(live_, [&] {
            ClickAutoCrop(dlg_->SaveOptionPanel());
            serialAtOff = worker.Results().serial;
        });
        QTRY_VERIFY_WITH_TIMEOUT(off.done, 5000);
        QVERIFY(!dlg_->SaveOptionPanel()->IsAutoCrop());
        QVERIFY(!live_->IsAutoCropOn());
        QCOMPARE(live_->GetOutlineMode(), 0);
        QVERIFY(live_->GetSelectionImageRect().IsEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(!worker.IsRunning(), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(OutlinePixels(live_), 0, 5000);
        const uint64_t stoppedAt = worker.Results().serial;
        QCOMPARE(stoppedAt, serialAtOff);  // the frame being worked on published nothing
        const uint64_t delivered = live_->Mailbox().Delivered();
        QTRY_VERIFY_WITH_TIMEOUT(live_->Mailbox().Delivered() >= delivered + 5, 5000);
        QCOMPARE(worker.Results().serial, stoppedAt);
        QCOMPARE(OutlinePixels(live_), 0);

        ClickAutoCrop(dlg_->SaveOptionPanel());
        QVERIFY(live_->IsAutoCropOn());
        QCOMPARE(live_->GetOutlineMode(), 2);
        QVERIFY(worker.IsRunning());
        QTRY_VERIFY_WITH_TIMEOUT(worker.Results().serial > stoppedAt, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(OutlinePixels(live_) > 500, 5000);
    }

    // A photo taken with automatic cropping is the page alone, at nearly the page's size.
    void photoIsStraightenedAndCutToThePage() {
        ClickAutoCrop(dlg_->SaveOptionPanel());
        QTRY_VERIFY_WITH_TIMEOUT(live_->EdgeWorker().Results().detected, 5000);
        SendWindowMessage(dlg_.get(), qvmsg::kButtonClicked, 1023, 0);
        const QImage photo(storage_ + QStringLiteral("/Image1.jpg"));
        QVERIFY(!photo.isNull());

        const ScenePoint* c = truth_.uprightCorners.data();
        const double pageWidth = std::hypot(c[1].x - c[0].x, c[1].y - c[0].y);
        const double pageHeight = std::hypot(c[3].x - c[0].x, c[3].y - c[0].y);
        qInfo("photo %dx%d, page %.0fx%.0f", photo.width(), photo.height(), pageWidth, pageHeight);
        // Cut just inside the page's edges: a little smaller than the page, no desk along any
        // of its edges.
        QVERIFY2(photo.width() <= pageWidth && photo.width() >= pageWidth - 40,
                 qPrintable(QString("%1x%2").arg(photo.width()).arg(photo.height())));
        QVERIFY2(photo.height() <= pageHeight && photo.height() >= pageHeight - 40,
                 qPrintable(QString("%1x%2").arg(photo.width()).arg(photo.height())));
        const double dark = DarkBorderShare(photo);
        QVERIFY2(dark < 0.01, qPrintable(QString::number(dark)));
    }

private:
    std::unique_ptr<PhotoHome> home_;
    QString storage_;
    std::unique_ptr<CQuorvaneDlg> dlg_;
    CVideoItem* live_ = nullptr;
    SimulatedCameraTruth truth_;
};

QTEST_MAIN(PhotoAutoCropTest)
#include "test_photo_auto_crop.moc"
