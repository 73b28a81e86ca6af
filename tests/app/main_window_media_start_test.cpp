// The main window starts the media layer itself when it is built in a process that did not
// start it first (tests, other hosts of the window): the live picture shows the simulated
// camera's frames. Its own program, as the media layer is started once per process.

#include <QTemporaryDir>
#include <QtTest>

#include "app/quorvane_dlg.h"
#include "media/media_platform.h"
#include "platform/message_box.h"
#include "view/picture_view.h"

class MainWindowMediaStartTest : public QObject {
    Q_OBJECT

private slots:
    void liveFramesWithoutAnEarlierStart() {
        QTemporaryDir config;
        QVERIFY(config.isValid());
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        // Asked for, but MediaPlatformInit is never called here.
        SetSimulatedCameraOption(true);
        QStringList messages;
        SetMessageBoxHandler(
            [&messages](const QString& text, const QString&, MessageIcon) { messages << text; });

        CQuorvaneDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        CPicture* live = dlg.LivePicture();
        QVERIFY(live != nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(live->GetWorkImage().IsValid() || !messages.isEmpty(), 20000);
        QCOMPARE(messages, QStringList());
        SetMessageBoxHandler({});
    }
};

QTEST_MAIN(MainWindowMediaStartTest)
#include "main_window_media_start_test.moc"
