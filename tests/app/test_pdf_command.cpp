// "PDF制作" from the main window: after three photos with the simulated camera the PDF dialog
// opens with the three files, newest first, and "生成可搜索PDF" ticked; unticked, the choice is
// kept in the settings file for the next time.

#include <QCheckBox>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "app/quorvane_dlg.h"
#include "app/work_region_mgr.h"
#include "dialogs/pdf_dlg.h"
#include "platform/message_box.h"
#include "platform/window_messages.h"
#include "settings/ini_file.h"
#include "settings/stored_settings.h"
#include "support/photo_home.h"
#include "support/simulated_media.h"
#include "view/video_item.h"

class PdfCommandTest : public QObject {
    Q_OBJECT

private slots:
    void listsThePhotosNewestFirst();
};

void PdfCommandTest::listsThePhotosNewestFirst() {
    QVERIFY(StartSimulatedMedia());
    SetMessageBoxHandler([](const QString&, const QString&, MessageIcon) {});
    PhotoHome home;
    QVERIFY(home.Make());
    QVERIFY(CIniFile().WriteInt(qvini::kPic, qvini::kNameMode, 1));  // odd page numbers
    CQuorvaneDlg dlg;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    CVideoItem* live = dlg.WorkRegion()->GetVideoItem();
    QTRY_VERIFY_WITH_TIMEOUT(live->GetWorkImage().IsValid(), 20000);
    for (int i = 0; i < 3; ++i)
        SendWindowMessage(&dlg, qvmsg::kButtonClicked, 1023, 0);

    // The dialog is modal: it is read and closed from the event loop it runs.
    QStringList listed;
    QList<bool> ticked;
    QTimer watcher;
    connect(&watcher, &QTimer::timeout, [&] {
        auto* pdf = qobject_cast<CPDFDlg*>(QApplication::activeModalWidget());
        if (pdf == nullptr || !pdf->isVisible())
            return;
        listed = pdf->Paths();
        ticked << pdf->SearchableBox()->isChecked();
        pdf->SearchableBox()->setChecked(false);
        SendWindowMessage(pdf, qvmsg::kButtonClicked, CPDFDlg::kCancelId, 0);
    });
    watcher.start(20);
    SendWindowMessage(&dlg, qvmsg::kButtonClicked, 1009, 0);
    const QString folder = home.Storage() + u'/';
    QCOMPARE(listed,
             (QStringList{folder + "Image5.jpg", folder + "Image3.jpg", folder + "Image1.jpg"}));
    QCOMPARE(CIniFile().ReadInt(qvini::kPdf, qvini::kPdfSearchable, -1), 0);
    SendWindowMessage(&dlg, qvmsg::kButtonClicked, 1009, 0);
    QCOMPARE(ticked, (QList<bool>{true, false}));
}

QTEST_MAIN(PdfCommandTest)
#include "test_pdf_command.moc"
