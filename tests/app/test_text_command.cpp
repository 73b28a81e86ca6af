// "文字识别" through the main window: the shown picture is read in the background with the busy
// panel up (also through full screen and back) and the window working, a second press is told
// a run is under way, the selection box limits the text, the panel's "取消" ends the run without
// a result, closing the window does not wait for the engine, failures are reported, and a page
// photographed by the simulated camera with automatic cropping is read back.

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "app/quorvane_dlg.h"
#include "app/work_region_mgr.h"
#include "media/media_platform.h"
#include "ocr/text_recognition_job.h"
#include "platform/font_faces.h"
#include "platform/message_box.h"
#include "platform/window_messages.h"
#include "settings/ini_file.h"
#include "settings/stored_settings.h"
#include "support/ocr_page.h"
#include "support/photo_home.h"
#include "ui/busy_panel.h"
#include "ui/qv_button.h"
#include "ui/save_option_panel.h"
#include "view/picture_item.h"
#include "view/video_item.h"

namespace {

struct Presented {
    QString text;
    QString picture;
};

double Rate(const QString& text, bool chinese) {
    return CharacterErrorRate(
        NormaliseOcrText(OcrLinesOf(text, chinese), chinese),
        NormaliseOcrText(chinese ? OcrTestChinese() : OcrTestEnglish(), chinese));
}

void Press(CQuorvaneDlg& dlg, int id) {
    SendWindowMessage(&dlg, qvmsg::kButtonClicked, WParam(id), 0);
}

}  // namespace

class TextCommandTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        InstallFontFaces();
        QVERIFY(files_.isValid());
        // The camera photographs an A4 sheet; its text stands about 26 pixels high in the photo.
        cameraPage_ = files_.filePath(QStringLiteral("sheet.png"));
        QVERIFY(RenderOcrTestPage(48, 1240, 1754).image.save(cameraPage_));
        page_ = files_.filePath(QStringLiteral("page.png"));
        screenPage_ = RenderOcrTestPage(30);
        QVERIFY(screenPage_.image.save(page_));
        SetSimulatedCameraOption(true, cameraPage_);
        QVERIFY(MediaPlatformInit());
        SetMessageBoxHandler(
            [this](const QString& text, const QString&, MessageIcon) { messages_ << text; });
    }

    void init() {
        home_ = std::make_unique<PhotoHome>();
        QVERIFY(home_->Make());
        QVERIFY(CIniFile().WriteInt(qvini::kPic, qvini::kNameMode, 1));
        messages_.clear();
        presented_.clear();
        dlg_ = std::make_unique<CQuorvaneDlg>();
        dlg_->SetTextResultPresenter([this](const QString& text, const QString& picture) {
            presented_.push_back({text, picture});
        });
        dlg_->show();
        QVERIFY(QTest::qWaitForWindowExposed(dlg_.get()));
    }

    void cleanup() {
        dlg_.reset();
        home_.reset();
    }

    // The busy panel shows the run's progress while the window goes on (its timer runs on the
    // user-interface thread); a second press adds no run; the text comes back once.
    void readsTheShownPictureInTheBackground() {
        CPicItem* still = ShowPicture(page_);
        Press(*dlg_, 1018);
        QVERIFY(dlg_->IsRecognisingText());
        CBusyPanel* busy = dlg_->TextBusyPanel();
        QVERIFY(busy->isVisible());
        QCOMPARE(busy->Text(), QStringLiteral("正在识别文字…"));
        Press(*dlg_, 1018);
        QCOMPARE(messages_.size(), 1);
        QVERIFY2(messages_[0].startsWith(QStringLiteral("正在识别文字")), qPrintable(messages_[0]));
        // The panel stays over the work region as the window goes full screen and back.
        for (bool full : {true, false}) {
            full ? dlg_->EnterFullScreen() : dlg_->LeaveFullScreen();
            const QPoint offset =
                busy->geometry().center() - dlg_->WorkRegion()->geometry().center();
            QVERIFY2(offset.manhattanLength() <= 2, full ? "full screen" : "back");
        }
        QTRY_VERIFY_WITH_TIMEOUT(busy->Progress() > 0, 60000);
        // With QUORVANE_GRAB_DIR set, the window as drawn during the run goes there for a look.
        if (!qEnvironmentVariableIsEmpty("QUORVANE_GRAB_DIR"))
            dlg_->grab().save(QDir(qEnvironmentVariable("QUORVANE_GRAB_DIR"))
                                  .filePath(QStringLiteral("text_busy.png")));
        QTRY_COMPARE_WITH_TIMEOUT(presented_.size(), size_t(1), 60000);
        QVERIFY(!busy->isVisible());
        QCOMPARE(presented_[0].picture, still->GetFilePath());
        QVERIFY2(Rate(presented_[0].text, false) < 0.02, qPrintable(presented_[0].text));
        QVERIFY2(Rate(presented_[0].text, true) < 0.05, qPrintable(presented_[0].text));
        QTest::qWait(100);
        QCOMPARE(presented_.size(), size_t(1));
        QCOMPARE(messages_.size(), 1);
    }

    // With a box over the Chinese paragraph only that paragraph is read.
    void selectionBoxLimitsTheText() {
        CPicItem* still = ShowPicture(page_);
        const QRect b = screenPage_.chineseBlock.adjusted(-10, -10, 10, 10);
        still->SetSelectionImageRect(QvRect{b.left(), b.top(), b.right(), b.bottom()});
        still->SelectionToClient();
        Press(*dlg_, 1018);
        QTRY_COMPARE_WITH_TIMEOUT(presented_.size(), size_t(1), 60000);
        const QString text = presented_[0].text;
        QVERIFY2(OcrLinesOf(text, false).isEmpty(), qPrintable(text));
        QVERIFY2(Rate(text, true) < 0.05, qPrintable(text));
    }

    // "取消" ends the run: the panel goes, nothing is shown, and a new run can start.
    void cancelEndsTheRunWithoutAResult() {
        ShowPicture(page_);
        Press(*dlg_, 1018);
        CBusyPanel* busy = dlg_->TextBusyPanel();
        QTRY_VERIFY_WITH_TIMEOUT(busy->Progress() > 0, 60000);
        QTest::mouseClick(busy->CancelButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!dlg_->IsRecognisingText(), 60000);
        QVERIFY(!busy->isVisible());
        QTest::qWait(100);
        QVERIFY(presented_.empty());
        QVERIFY(messages_.isEmpty());
        Press(*dlg_, 1018);
        QVERIFY(dlg_->IsRecognisingText());
    }

    // Closing the window while the engine loads its languages and prepares the picture does
    // not wait for it.
    void closingDuringARunDoesNotWait() {
        ShowPicture(page_);
        Press(*dlg_, 1018);
        QTest::qWait(300);
        QElapsedTimer clock;
        clock.start();
        dlg_.reset();
        const qint64 closing = clock.elapsed();
        qInfo("closed in %lld ms", closing);
        QVERIFY2(closing < 500, qPrintable(QString::number(closing)));
        // The run left behind ends on its own, holding what it uses.
        QTRY_COMPARE_WITH_TIMEOUT(CTextRecognitionJob::RunsLeft(), 0, 60000);
    }

    // A picture without text gives an empty text (the dialog then says "未识别到文字"); a picture
    // that cannot be read is reported and starts nothing.
    void emptyAndUnreadablePictures() {
        QImage blank(900, 700, QImage::Format_RGB32);
        blank.fill(Qt::white);
        const QString blankPath = files_.filePath(QStringLiteral("blank.png"));
        QVERIFY(blank.save(blankPath));
        ShowPicture(blankPath);
        Press(*dlg_, 1018);
        QTRY_COMPARE_WITH_TIMEOUT(presented_.size(), size_t(1), 60000);
        QVERIFY(presented_[0].text.isEmpty());

        const QString broken = QStringLiteral(QUORVANE_TESTDATA "/images/jpeg/invalid/empty.jpg");
        ShowPicture(broken);
        Press(*dlg_, 1018);
        QVERIFY(!dlg_->IsRecognisingText());
        QCOMPARE(messages_.size(), 1);
        QVERIFY2(
            messages_[0].contains(QStringLiteral("无法读取图片")) && messages_[0].contains(broken),
            qPrintable(messages_[0]));
    }

    // The sheet photographed at 1600 x 1200 with automatic cropping, opened from the strip and
    // read.
    void readsAPagePhotographedByTheCamera() {
        CVideoItem* live = dlg_->WorkRegion()->GetVideoItem();
        QTRY_VERIFY_WITH_TIMEOUT(live->GetWorkImage().IsValid(), 20000);
        QCOMPARE(int(live->GetWorkImage().GetWidth()), 1600);
        const QvRect hit = dlg_->SaveOptionPanel()->Item(CSaveOption::kAutoCrop).HitRect();
        QTest::mouseClick(dlg_->SaveOptionPanel(), Qt::LeftButton, {},
                          QPoint(hit.left + 2, hit.top + hit.Height() / 2));
        QTRY_VERIFY_WITH_TIMEOUT(live->EdgeWorker().Results().detected, 10000);
        Press(*dlg_, 1023);
        SendWindowMessage(dlg_.get(), qvmsg::kSetWorkMode, 1, 0);
        CPicItem* still = dlg_->WorkRegion()->GetPictureItem();
        QCOMPARE(still->GetFilePath(), home_->Storage() + QStringLiteral("/Image1.jpg"));
        Press(*dlg_, 1018);
        QTRY_COMPARE_WITH_TIMEOUT(presented_.size(), size_t(1), 120000);
        const QString text = presented_[0].text;
        qInfo("photographed page: English %.1f %%, Chinese %.1f %%", 100 * Rate(text, false),
              100 * Rate(text, true));
        QVERIFY2(Rate(text, false) < 0.03, qPrintable(text));
        QVERIFY2(Rate(text, true) < 0.08, qPrintable(text));
    }

private:
    CPicItem* ShowPicture(const QString& path) {
        SendWindowMessage(dlg_.get(), qvmsg::kSetWorkMode, 1, 0);
        CPicItem* still = dlg_->WorkRegion()->GetPictureItem();
        still->LoadFile(path);
        still->FitToWindow();
        [[maybe_unused]] const bool read =
            QTest::qWaitFor([still] { return !still->IsLoading(); }, 20000);
        return still;
    }

    QTemporaryDir files_;
    QString cameraPage_;
    QString page_;
    OcrTestPage screenPage_;
    std::unique_ptr<PhotoHome> home_;
    std::unique_ptr<CQuorvaneDlg> dlg_;
    QStringList messages_;
    std::vector<Presented> presented_;
};

QTEST_MAIN(TextCommandTest)
#include "test_text_command.moc"
