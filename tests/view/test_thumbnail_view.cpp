// The thumbnail strip driven through real mouse events on the offscreen platform.

#include <QImage>
#include <QSignalSpy>
#include <QtTest>

#include "platform/window_messages.h"
#include "ui/main_window_services.h"
#include "view/thumbnail_view.h"

namespace {

// A main window that records the messages sent to it.
class FakeMainWindow : public QObject, public MainWindowServices {
public:
    QObject* MessageTarget() override { return this; }
    void ToggleFullScreen() override {}
    int WorkMode() const override { return workMode; }
    const CDibImage* SkinImage(int) const override { return nullptr; }
    int StoredVideoWidth() const override { return -1; }
    int StoredVideoHeight() const override { return -1; }

    bool event(QEvent* e) override {
        if (e->type() == WindowMessageEvent::EventType()) {
            auto* m = static_cast<WindowMessageEvent*>(e);
            messages.append({m->message, int(m->wParam), int(m->lParam)});
            return true;
        }
        return QObject::event(e);
    }

    int workMode = 0;
    QList<QList<int>> messages;
};

CDibImage Thumbnail(uint8_t r, uint8_t g, uint8_t b) {
    CDibImage image;
    image.Create(55, 55, 24, kDibFormatBmp);
    for (uint32_t y = 0; y < 55; ++y) {
        uint8_t* row = image.GetRow(y);
        for (uint32_t x = 0; x < 55; ++x) {
            row[3 * x] = b;
            row[3 * x + 1] = g;
            row[3 * x + 2] = r;
        }
    }
    return image;
}

const QPoint kPreviousButton(30, 76);
const QPoint kNextButton(160, 76);
const QPoint kDeleteButton(30, 128);

QPoint CellCentre(int place) {
    return QPoint(place * CThumnailView::kCellPitch + 27, 37);
}

bool AllWhite(const QImage& image, const QRect& area) {
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (image.pixel(x, y) != qRgb(255, 255, 255)) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace

class ThumbnailViewTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        main_ = std::make_unique<FakeMainWindow>();
        SetTheMainWindow(main_.get());
        view_ = std::make_unique<CThumnailView>();
        view_->resize(400, 150);
        view_->show();
        QVERIFY(QTest::qWaitForWindowExposed(view_.get()));
    }
    void cleanup() {
        view_.reset();
        SetTheMainWindow(nullptr);
        main_.reset();
    }

    void addingKeepsTheSelectionOnTheSamePicture() {
        view_->AddPicture(Thumbnail(0, 200, 0), "/scan/a.jpg");
        QCOMPARE(view_->Current(), 1);
        QCOMPARE(view_->ShownCount(), 1);
        QImage shot = Paint();
        QCOMPARE(shot.pixel(0, 10), qRgb(255, 0, 0));  // red frame
        QCOMPARE(shot.pixel(27, 37), qRgb(0, 200, 0));

        view_->AddPicture(Thumbnail(0, 0, 200), "/scan/b.jpg");
        QCOMPARE(view_->Current(), 2);
        QCOMPARE(view_->ShownCount(), 2);
        QCOMPARE(view_->Selected(), 1);
        QCOMPARE(view_->GetSelectedPath(), QString("/scan/a.jpg"));
        shot = Paint();
        QCOMPARE(shot.pixel(27, 37), qRgb(0, 0, 200));  // newest at the left edge
        QCOMPARE(shot.pixel(0, 10), qRgb(0, 0, 200));   // no frame on it
        QCOMPARE(shot.pixel(65, 10), qRgb(255, 0, 0));
        QCOMPARE(shot.pixel(65 + 54, 10 + 54), qRgb(255, 0, 0));

        QStringList paths{"before"};
        view_->GetAllPaths(paths);
        QCOMPARE(paths, QStringList({"before", "/scan/b.jpg", "/scan/a.jpg"}));
    }

    void stepsScrollTheStrip() {
        AddFive();
        Paint();
        for (int i = 0; i < 3; ++i) {
            QTest::mouseClick(view_.get(), Qt::LeftButton, {}, kNextButton);
        }
        QCOMPARE(view_->Selected(), 3);
        QCOMPARE(view_->First(), 1);
        QCOMPARE(view_->Current(), 4);
        const int firstAfter[] = {1, 1, 0};
        for (int i = 0; i < 3; ++i) {
            QTest::mouseClick(view_.get(), Qt::LeftButton, {}, kPreviousButton);
            QCOMPARE(view_->Selected(), 2 - i);
            QCOMPARE(view_->First(), firstAfter[i]);
        }
        QTest::mouseClick(view_.get(), Qt::LeftButton, {}, kPreviousButton);
        QCOMPARE(view_->Selected(), 0);  // nothing before the first
        for (int i = 0; i < 6; ++i) {
            view_->Next();
        }
        QCOMPARE(view_->Selected(), 4);  // nothing after the last
        int flags = 0;
        for (int i = 0; i < view_->Count(); ++i) {
            flags += view_->Cell(i).state->selected;
        }
        QCOMPARE(flags, 1);
    }

    void clicksHitOnlyDrawnCells() {
        AddFive();
        Paint();
        for (int i = 0; i < 3; ++i) {
            view_->Next();
        }
        QCOMPARE(view_->First(), 1);
        Paint();
        // Cell 0 was last drawn where cell 1 now is; the click goes to what is seen.
        QTest::mouseClick(view_.get(), Qt::LeftButton, {}, CellCentre(0));
        QCOMPARE(view_->Selected(), 1);
        QVERIFY(view_->Cell(0).state->rect.IsEmpty());

        // A narrow strip draws only the cells that fit.
        view_->resize(150, 150);
        Paint();
        QVERIFY(!view_->Cell(3).state->rect.IsEmpty());  // place 2 at x 130, partly seen
        QVERIFY(view_->Cell(4).state->rect.IsEmpty());
    }

    void deleteMovesTheSelection() {
        AddFive();
        for (int i = 0; i < 4; ++i) {
            view_->Next();
        }
        QCOMPARE(view_->First(), 2);
        Paint();
        QTest::mouseClick(view_.get(), Qt::LeftButton, {}, kDeleteButton);
        QCOMPARE(view_->Count(), 4);
        QCOMPARE(view_->Selected(), 3);  // the new last cell
        QCOMPARE(view_->Current(), 4);
        QCOMPARE(view_->ShownCount(), 4);
        QCOMPARE(view_->GetSelectedPath(), QString("/scan/p1.jpg"));
        for (int i = 0; i < 3; ++i) {
            view_->Delete();
        }
        // The selection never hides left of the strip's edge.
        QVERIFY(view_->First() <= view_->Selected());
        QCOMPARE(view_->Count(), 1);
        view_->Delete();
        QCOMPARE(view_->Count(), 0);
        QCOMPARE(view_->Current(), 0);
        QCOMPARE(view_->Selected(), -1);
        QVERIFY(view_->GetSelectedPath().isNull());
        QVERIFY(AllWhite(Paint(), view_->rect()));
        view_->Delete();  // on an empty view: nothing
        view_->Previous();
        view_->Next();
        QCOMPARE(view_->Count(), 0);
        // The hidden buttons do not react.
        Hover(kPreviousButton);
        QCOMPARE(view_->ButtonState(), uint16_t(0));
    }

    void buttonLooksFollowTheMouse() {
        view_->AddPicture(Thumbnail(9, 9, 9), "/scan/a.jpg");
        view_->AddPicture(Thumbnail(9, 9, 9), "/scan/b.jpg");
        Paint();
        Hover(kPreviousButton);
        QCOMPARE(view_->ButtonState(), uint16_t(0x0102));
        Hover(kDeleteButton);
        QCOMPARE(view_->ButtonState(), uint16_t(0x0104));
        Hover(QPoint(300, 140));
        QCOMPARE(view_->ButtonState(), uint16_t(0));

        // Pressed "上一张" is drawn in the pressed colour.
        QTest::mousePress(view_.get(), Qt::LeftButton, {}, kPreviousButton);
        QCOMPARE(view_->ButtonState(), uint16_t(0x0202));
        QVERIFY(HasColour(Paint(), QRect(20, 70, 60, 15), qRgb(255, 0, 255)));
        // Released outside every button: nothing runs and the pressed look goes.
        QTest::mouseRelease(view_.get(), Qt::LeftButton, {}, QPoint(300, 140));
        QCOMPARE(view_->ButtonState(), uint16_t(0));
        QCOMPARE(view_->Selected(), 1);
        QVERIFY(!HasColour(Paint(), QRect(20, 70, 60, 15), qRgb(255, 0, 255)));

        // Pressed on one button and released on another runs the other.
        QTest::mousePress(view_.get(), Qt::LeftButton, {}, kNextButton);
        QTest::mouseRelease(view_.get(), Qt::LeftButton, {}, kPreviousButton);
        QCOMPARE(view_->Selected(), 0);
    }

    void fileNameLineNeedsASeparator() {
        const QRect nameLine(0, 98, 400, 18);
        view_->AddPicture(Thumbnail(9, 9, 9), "no-folder.jpg");
        QImage shot = Paint();
        QVERIFY(AllWhite(shot, nameLine));
        QVERIFY(!AllWhite(shot, QRect(80, 70, 60, 15)));  // the counter is there
        view_->AddPicture(Thumbnail(9, 9, 9), "/scan/x.jpg");
        view_->Previous();
        QVERIFY(!AllWhite(Paint(), nameLine));
    }

    void doubleClickAsksForThePictureMode() {
        AddFive();
        Paint();
        QTest::mouseDClick(view_.get(), Qt::LeftButton, {}, CellCentre(2));
        QCOMPARE(view_->Selected(), 2);
        QCOMPARE(main_->messages, (QList<QList<int>>{{qvmsg::kSetWorkMode, 1, 0}}));
        QTest::mouseDClick(view_.get(), Qt::LeftButton, {}, QPoint(390, 140));
        QCOMPARE(main_->messages.size(), 1);
    }

    void selectionReloadsOnlyInPictureMode() {
        QStringList loaded;
        view_->SetReloadHook([&](const QString& path) { loaded << path; });
        AddFive();
        Paint();
        QTest::mouseClick(view_.get(), Qt::LeftButton, {}, CellCentre(1));
        view_->Next();
        QVERIFY(loaded.isEmpty());  // live mode

        main_->workMode = 1;
        QTest::mouseClick(view_.get(), Qt::LeftButton, {}, CellCentre(1));
        view_->Next();
        view_->Previous();
        view_->Delete();
        QCOMPARE(loaded,
                 QStringList({"/scan/p3.jpg", "/scan/p2.jpg", "/scan/p3.jpg", "/scan/p2.jpg"}));
    }

    void copiesShareTheCellState() {
        CPicCell cell(Thumbnail(1, 2, 3), "/a.jpg");
        CPicCell copy = cell;
        copy.state->selected = 1;
        QCOMPARE(cell.state->selected, 1);
        QCOMPARE(copy.GetWidth(), 55u);
    }

private:
    // A move with no button down, delivered straight to the view (QTest's moves reach a widget
    // only through the window system, which the offscreen platform does not always track).
    void Hover(const QPoint& at) {
        QMouseEvent move(QEvent::MouseMove, at, view_->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(view_.get(), &move);
    }
    QImage Paint() { return view_->grab().toImage().convertToFormat(QImage::Format_RGB32); }
    void AddFive() {
        for (int i = 0; i < 5; ++i) {
            view_->AddPicture(Thumbnail(0, uint8_t(40 * i), 0), QString("/scan/p%1.jpg").arg(i));
        }
        // Newest first: index 0 is p4; select it as a fresh strip would have it.
        while (view_->Selected() > 0) {
            view_->Previous();
        }
    }
    static bool HasColour(const QImage& image, const QRect& area, QRgb colour) {
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                if (image.pixel(x, y) == colour) {
                    return true;
                }
            }
        }
        return false;
    }

    std::unique_ptr<FakeMainWindow> main_;
    std::unique_ptr<CThumnailView> view_;
};

QTEST_MAIN(ThumbnailViewTest)
#include "test_thumbnail_view.moc"
