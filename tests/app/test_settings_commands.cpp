// The main window's settings commands end to end: each dialog run by its button with the
// values the main window holds, the settings file after it, a photo named and encoded as chosen,
// and "默认设置". Storage and settings folders are temporary.

#include <QDir>
#include <QLineEdit>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

#include "app/quorvane_dlg.h"
#include "app/work_region_mgr.h"
#include "dialogs/file_naming_dialog.h"
#include "dialogs/new_folder_dialog.h"
#include "dialogs/picture_format_dialog.h"
#include "dialogs/scan_size_dialog.h"
#include "dialogs/storage_path_dialog.h"
#include "dialogs/watermark_dialog.h"
#include "platform/message_box.h"
#include "platform/window_messages.h"
#include "settings/ini_file.h"
#include "settings/stored_settings.h"
#include "support/file_bytes.h"
#include "support/photo_home.h"
#include "support/simulated_media.h"
#include "support/video_probe.h"
#include "ui/color_mode_panel.h"
#include "ui/folder_browser.h"
#include "ui/number_edit.h"
#include "ui/option_item.h"
#include "ui/save_option_panel.h"
#include "view/video_item.h"

namespace {

void Press(QObject* target, int id) {
    SendWindowMessage(target, qvmsg::kButtonClicked, WParam(id), 0);
}

void ClickAt(QWidget* target, const QvRect& hit) {
    QTest::mouseClick(target, Qt::LeftButton, {},
                      QPoint((hit.left + hit.right) / 2, (hit.top + hit.bottom) / 2));
}

void ClickItem(CQVOptionDialog& dialog, int itemId) {
    ClickAt(&dialog, dialog.Item(itemId).HitRect());
}

// A panel's item, clicked once the panel has placed it.
bool ClickPanelItem(COptionPanel* panel, int itemId) {
    if (!QTest::qWaitFor([&] { return !panel->Item(itemId).HitRect().IsEmpty(); })) {
        return false;
    }
    ClickAt(panel, panel->Item(itemId).HitRect());
    return true;
}

QString StoredFolder() {
    return CIniFile().ReadString(qvini::kPic, qvini::kPicPath, QStringLiteral("<missing>"));
}

}  // namespace

class SettingsCommandsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void storageFolder_data();
    void storageFolder();
    void namingAndFormatShapeTheNextPhoto();
    void intervalRetimesRunningContinuousPhotos();
    void choicesAreKeptForTheNextRun();
    void scanSizeChangesNothing();
    void defaultsRestoreAFirstRunAndKeepTheCounters();
    void onlyTheDefaultFolderIsMade_data();
    void onlyTheDefaultFolderIsMade();

private:
    std::unique_ptr<CQuorvaneDlg> Open(bool withFrame = false);

    std::unique_ptr<PhotoHome> home_;
    QStringList messages_;
};

void SettingsCommandsTest::initTestCase() {
    QVERIFY(StartSimulatedMedia());
    SetMessageBoxHandler(
        [this](const QString& text, const QString&, MessageIcon) { messages_ << text; });
}

void SettingsCommandsTest::init() {
    home_ = std::make_unique<PhotoHome>();
    QVERIFY(home_->Make());
    messages_.clear();
}

void SettingsCommandsTest::cleanup() {
    SetConfirmHandler({});
    home_.reset();
}

std::unique_ptr<CQuorvaneDlg> SettingsCommandsTest::Open(bool withFrame) {
    auto dlg = std::make_unique<CQuorvaneDlg>();
    dlg->show();
    if (!QTest::qWaitForWindowExposed(dlg.get()) || dlg->WorkRegion() == nullptr) {
        return nullptr;
    }
    CVideoItem* live = dlg->WorkRegion()->GetVideoItem();
    if (withFrame && !QTest::qWaitFor([live] { return live->GetWorkImage().IsValid(); }, 20000)) {
        return nullptr;
    }
    return dlg;
}

void SettingsCommandsTest::storageFolder_data() {
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("answer");  // the folder browsed to, or the new folder's name
    QTest::addColumn<QString>("folder");  // the storage folder after, under the home folder
    QTest::newRow("path: folder chosen") << 1000 << "Other"
                                         << "Other";
    QTest::newRow("path: browser cancelled") << 1000 << ""
                                             << "Scan";
    QTest::newRow("new folder") << 1037 << "Week 1"
                                << "Scan/Week 1";
    QTest::newRow("new folder: existing name") << 1037 << "Old"
                                               << "Scan";
    QTest::newRow("new folder: empty name") << 1037 << ""
                                            << "Scan";
    QTest::newRow("new folder: missing parent") << 1037 << "gone/inner"
                                                << "Scan";
}

void SettingsCommandsTest::storageFolder() {
    QFETCH(int, command);
    QFETCH(QString, answer);
    QFETCH(QString, folder);
    QVERIFY(QDir().mkpath(home_->FilePath(QStringLiteral("Other"))));
    QVERIFY(QDir().mkpath(home_->Storage() + QStringLiteral("/Old")));
    auto dlg = Open();
    QVERIFY(dlg);
    const auto previous = SetFolderBrowser([&](QWidget*, const QString&, const QString&) {
        return answer.isEmpty() ? QString() : home_->FilePath(answer);
    });
    QString title;
    dlg->SetDialogRunner([&](CQVDialog& dialog) {
        dialog.show();
        title = dialog.Title();
        if (auto* newFolder = qobject_cast<CCreateDirDlg*>(&dialog)) {
            newFolder->NameEdit()->setText(answer);
            Press(&dialog, CCreateDirDlg::kOkButtonId);
        } else {
            Press(&dialog, CQVPathSettingDlg::kBrowseButtonId);
            Press(&dialog, CQVDialog::kCloseButtonId);
        }
    });
    Press(dlg.get(), command);
    SetFolderBrowser(previous);
    QCOMPARE(title, command == 1000 ? QStringLiteral("路径设置")
                                    : QStringLiteral("在当前的路径下新建立视频文件夹"));
    const QString expected = home_->FilePath(folder);
    QCOMPARE(dlg->Stored().picPath, expected);
    QCOMPARE(StoredFolder(), expected);
    QVERIFY(QFileInfo(expected).isDir());
    // A new folder that could not be made is explained; nothing else shows a message.
    const bool refused = command == 1037 && folder == QLatin1String("Scan");
    QCOMPARE(messages_.size(), refused ? 1 : 0);
    if (refused) {
        QVERIFY(messages_[0].contains(home_->Storage()));
    }
}

void SettingsCommandsTest::namingAndFormatShapeTheNextPhoto() {
    auto dlg = Open(true);
    QVERIFY(dlg);
    dlg->SetDialogRunner([](CQVDialog& dialog) {
        dialog.show();
        dialog.grab();  // places the option items
        if (auto* naming = qobject_cast<CNameFileDlg*>(&dialog)) {
            QCOMPARE(naming->Title(), QStringLiteral("文件命名"));
            ClickItem(*naming, CNameFileDlg::kOddItem);
            naming->PrefixEdit()->setText(QStringLiteral("Page"));
            Press(&dialog, CQVDialog::kCloseButtonId);
        } else if (auto* format = qobject_cast<CPicFormatDlg*>(&dialog)) {
            QCOMPARE(format->CheckedItem(), 2);  // JPEG, as every run starts
            ClickItem(*format, 4);               // PNG
            format->IntervalEdit()->setText(QStringLiteral("5"));
            const QvRect& page = format->ModeItem(CPicFormatDlg::kPageItem).HitRect();
            QTest::mouseClick(format, Qt::LeftButton, {}, QPoint(page.left + 3, page.top + 3));
            Press(&dialog, CPicFormatDlg::kOkButtonId);
        }
    });
    Press(dlg.get(), 1001);
    Press(dlg.get(), 1003);
    QCOMPARE(CIniFile().ReadString(qvini::kPic, qvini::kPicName, {}), QStringLiteral("Page"));
    QCOMPARE(CIniFile().ReadInt(qvini::kPic, qvini::kNameMode, -1), 1);
    QCOMPARE(CIniFile().ReadInt(qvini::kPic, qvini::kPicFormat, -1), 3);
    QCOMPARE(dlg->PictureFormatNumber(), 3);
    QCOMPARE(dlg->PictureExtension(), QStringLiteral("png"));
    QCOMPARE(dlg->CaptureInterval(), 5);
    // The kind of continuous photos is kept, and the next run starts with it.
    CIniFile ini;
    QCOMPARE(ini.ReadInt(qvini::kPic, qvini::kAutoMode, -1), 1);
    QCOMPARE(ReadStoredSettings(ini).autoMode, 1);
    QCOMPARE(dlg->AutoMode(), 1);

    Press(dlg.get(), 1023);
    const CDibImage& frame = dlg->WorkRegion()->GetVideoItem()->GetWorkImage();
    const VideoProbe photo = ProbeVideo(home_->Storage() + QStringLiteral("/Page1.png"));
    QCOMPARE(photo.codec, QStringLiteral("png"));
    QCOMPARE(QSize(photo.width, photo.height), QSize(frame.GetWidth(), frame.GetHeight()));
}

void SettingsCommandsTest::intervalRetimesRunningContinuousPhotos() {
    auto dlg = Open(true);
    QVERIFY(dlg);
    const auto periods = [&dlg] {
        QList<int> running;
        for (const QTimer* timer : dlg->findChildren<QTimer*>(Qt::FindDirectChildrenOnly)) {
            if (timer->isActive())
                running << timer->interval();
        }
        return running;
    };
    const QList<int> before = periods();
    Press(dlg.get(), 1024);
    QVERIFY(dlg->IsContinuousRunning());
    QCOMPARE(periods().count(2000), before.count(2000) + 1);
    dlg->SetDialogRunner([](CQVDialog& dialog) {
        dialog.show();
        static_cast<CPicFormatDlg&>(dialog).IntervalEdit()->setText(QStringLiteral("7"));
        Press(&dialog, CPicFormatDlg::kOkButtonId);
    });
    Press(dlg.get(), 1003);
    QCOMPARE(periods().count(7000), before.count(7000) + 1);
    QCOMPARE(periods().count(2000), before.count(2000));
    Press(dlg.get(), 1024);
    QVERIFY(!dlg->IsContinuousRunning());
}

// Every choice a user makes in the dialogs and panels, made in one run, is what the next run
// starts with: in its values, its panels and the live picture.
void SettingsCommandsTest::choicesAreKeptForTheNextRun() {
    {
        auto dlg = Open();
        QVERIFY(dlg);
        dlg->SetDialogRunner([](CQVDialog& dialog) {
            dialog.show();
            dialog.grab();  // places the option items
            if (auto* format = qobject_cast<CPicFormatDlg*>(&dialog)) {
                ClickItem(*format, 4);  // PNG
                format->IntervalEdit()->setText(QStringLiteral("7"));
                Press(&dialog, CPicFormatDlg::kOkButtonId);
            } else if (auto* mark = qobject_cast<CShuiYinDlg*>(&dialog)) {
                mark->SetFontPicker([](QFont& font, QvColour& colour, QWidget*) {
                    font = QvFont(QStringLiteral("Noto Sans CJK SC"), 30, 700);
                    colour = QvRgb(10, 20, 200);
                    return true;
                });
                Press(mark, CShuiYinDlg::kFontButtonId);
                mark->TextEdit()->setText(QStringLiteral("样张"));  // typed, "输入" not pressed
                Press(mark, CShuiYinDlg::kPositionButtonId);
                QTest::mouseClick(mark, Qt::LeftButton, {}, QPoint(30 + 105, 50 + 75));
                ClickAt(mark, mark->DateItem().HitRect());
                Press(&dialog, CQVDialog::kCloseButtonId);
            }
        });
        Press(dlg.get(), 1003);
        Press(dlg.get(), mainctl::kWatermark);
        QVERIFY(ClickPanelItem(dlg->SaveOptionPanel(), CSaveOption::kAutoCrop));
        QVERIFY(ClickPanelItem(dlg->SaveOptionPanel(), CSaveOption::kTurnRight));
        CNumberEdit* threshold = dlg->ColourModePanel()->ThresholdEdit();
        threshold->selectAll();
        QTest::keyClicks(threshold, QStringLiteral("90"));
        QVERIFY(ClickPanelItem(dlg->ColourModePanel(), 3));  // "黑白"
    }
    auto dlg = Open();
    QVERIFY(dlg);
    const CVideoItem* live = dlg->WorkRegion()->GetVideoItem();
    const PhotoOptions photo = dlg->CurrentPhotoOptions();
    const struct {
        const char* choice;
        QVariant now;
        QVariant kept;
    } kept[] = {
        {"picture format", dlg->PictureExtension(), QStringLiteral("png")},
        {"interval", dlg->CaptureInterval(), 7},
        {"automatic cropping", dlg->SaveOptionPanel()->IsAutoCrop(), true},
        {"automatic cropping, live", live->IsAutoCropOn(), true},
        {"save turn", dlg->SaveOptionPanel()->SaveTurn(), 2},
        {"colour mode", dlg->ColourModePanel()->Mode(), 2},
        {"colour mode, live", live->GetColourMode(), 2},
        {"threshold", dlg->ColourModePanel()->ThresholdEdit()->text(), QStringLiteral("90")},
        {"watermark text", photo.watermarkText, QStringLiteral("样张")},
        {"watermark date", photo.dateWatermark, true},
        {"watermark place", QPointF(photo.watermarkX, photo.watermarkY), QPointF(0.5, 0.25)},
        {"watermark face", photo.watermarkFont.face, QStringLiteral("Noto Sans CJK SC")},
        {"watermark size", photo.watermarkFont.height, 30},
        {"watermark weight", photo.watermarkFont.weight, 700},
        {"watermark colour", photo.watermarkColour, QvRgb(10, 20, 200)},
    };
    for (const auto& [choice, now, expected] : kept) {
        QVERIFY2(
            now == expected,
            qPrintable(
                QStringLiteral("%1: %2, not %3").arg(choice, now.toString(), expected.toString())));
    }
}

void SettingsCommandsTest::scanSizeChangesNothing() {
    auto dlg = Open();
    QVERIFY(dlg);
    const QByteArray before = ReadBytes(CIniFile().Path());
    bool shown = false;
    dlg->SetDialogRunner([&](CQVDialog& dialog) {
        shown = qobject_cast<CScanSizeDlg*>(&dialog) != nullptr;
        dialog.show();
        Press(&dialog, CScanSizeDlg::kCancelButtonId);
    });
    Press(dlg.get(), 1002);
    QVERIFY(shown);
    QCOMPARE(ReadBytes(CIniFile().Path()), before);
}

void SettingsCommandsTest::defaultsRestoreAFirstRunAndKeepTheCounters() {
    // A first run's settings, read from a file that is still empty.
    const StoredSettings first = [] {
        CIniFile empty(QDir::temp().filePath(QStringLiteral("quorvane-first-run.ini")));
        QFile::remove(empty.Path());
        StoredSettings read = ReadStoredSettings(empty);
        QFile::remove(empty.Path());
        return read;
    }();
    CIniFile ini;
    QVERIFY(ini.WriteString(qvini::kPic, qvini::kPicName, QStringLiteral("Page")));
    QVERIFY(ini.WriteInt(qvini::kPic, qvini::kNameMode, 2));
    QVERIFY(ini.WriteInt(qvini::kPic, qvini::kQuantity, 85));
    QVERIFY(ini.WriteInt(qvini::kPic, qvini::kPicIndex, 7));
    QVERIFY(ini.WriteInt(qvini::kVideo, qvini::kRecordFormat, 1));
    QVERIFY(ini.WriteString(qvini::kVideo, qvini::kRecordPath, home_->Storage()));
    QVERIFY(ini.WriteString(qvini::kVideo, qvini::kRecordName, QStringLiteral("Lesson")));
    QVERIFY(ini.WriteInt(qvini::kVideo, qvini::kRecordIndex, 3));
    QVERIFY(ini.WriteInt(qvini::kPic, qvini::kAutoCrop, 1));
    QVERIFY(ini.WriteString(qvini::kPic, qvini::kWatermarkText, QStringLiteral("旧水印")));
    QVERIFY(ini.WriteInt(qvini::kPic, qvini::kWatermarkColour, 0xFF));
    QVERIFY(ini.WriteInt(qvini::kPic, qvini::kAutoMode, 1));
    auto dlg = Open();
    QVERIFY(dlg);
    QVERIFY(dlg->WorkRegion()->GetVideoItem()->IsAutoCropOn());
    dlg->SetDialogRunner([](CQVDialog& dialog) {
        dialog.show();
        dialog.grab();
        if (auto* format = qobject_cast<CPicFormatDlg*>(&dialog)) {
            ClickItem(*format, 1);  // BMP
            format->IntervalEdit()->setText(QStringLiteral("9"));
            Press(&dialog, CPicFormatDlg::kOkButtonId);
        }
    });
    Press(dlg.get(), 1003);
    SendWindowMessage(dlg->ColourModePanel(), qvmsg::kOptionChanged, 3, 1);  // "黑白"
    SendWindowMessage(dlg->SaveOptionPanel(), qvmsg::kOptionChanged, CSaveOption::kTurnLeft, 1);
    dlg->SaveOptionPanel()->QualityEdit()->setText(QStringLiteral("85"));
    dlg->ColourModePanel()->ThresholdEdit()->setText(QStringLiteral("90"));

    // Not confirmed: nothing changes.
    QStringList questions;
    bool answer = false;
    SetConfirmHandler([&](const QString& text, const QString&) {
        questions << text;
        return answer;
    });
    const QByteArray before = ReadBytes(ini.Path());
    Press(dlg.get(), 1010);
    QCOMPARE(questions.size(), 1);
    // The question says what goes back, and what stays.
    for (const char* named :
         {"图片存储路径", "文件命名", "图片格式", "连拍方式和间隔", "JPEG压缩质量", "自动裁切",
          "色彩模式", "黑白阀值", "文件保存方向", "水印", "录像", "编号"}) {
        QVERIFY2(questions[0].contains(QString::fromUtf8(named)), named);
    }
    QCOMPARE(ReadBytes(ini.Path()), before);
    QCOMPARE(dlg->PictureExtension(), QStringLiteral("bmp"));

    answer = true;
    Press(dlg.get(), 1010);
    const StoredSettings now = ReadStoredSettings(ini);
    QCOMPARE(now.picPath, first.picPath);
    QCOMPARE(now.picName, first.picName);
    QCOMPARE(now.nameMode, first.nameMode);
    QCOMPARE(now.quality, first.quality);
    QCOMPARE(now.recordFormat, first.recordFormat);
    QCOMPARE(now.recordPath, first.recordPath);
    QCOMPARE(now.recordName, first.recordName);
    QCOMPARE(now.picFormat, first.picFormat);
    QCOMPARE(now.interval, first.interval);
    QCOMPARE(now.autoCrop, first.autoCrop);
    QCOMPARE(now.colourMode, first.colourMode);
    QCOMPARE(now.threshold, first.threshold);
    QCOMPARE(now.saveTurn, first.saveTurn);
    QVERIFY(now.watermark == first.watermark);
    QCOMPARE(now.autoMode, first.autoMode);
    QCOMPARE(now.picIndex, 7);
    QCOMPARE(now.recordIndex, 3);
    QVERIFY(QFileInfo(first.picPath).isDir());
    QCOMPARE(dlg->Stored().picPath, first.picPath);
    QCOMPARE(dlg->Stored().picIndex, 7);
    // The panels and this run's values show it at once.
    QCOMPARE(dlg->SaveOptionPanel()->QualityEdit()->text(), QStringLiteral("50"));
    QCOMPARE(dlg->SaveOptionPanel()->Quality(), 50);
    QVERIFY(!dlg->SaveOptionPanel()->IsTurnLeft());
    QCOMPARE(dlg->ColourModePanel()->Mode(), 0);
    QCOMPARE(dlg->ColourModePanel()->Item(1).IsChecked(), true);
    QCOMPARE(dlg->ColourModePanel()->ThresholdEdit()->text(), QStringLiteral("128"));
    QCOMPARE(dlg->WorkRegion()->GetVideoItem()->GetColourMode(), 0);
    QCOMPARE(dlg->PictureFormatNumber(), 1);
    QCOMPARE(dlg->PictureExtension(), QStringLiteral("jpg"));
    QCOMPARE(dlg->CaptureInterval(), 2);
    QVERIFY(!dlg->SaveOptionPanel()->IsAutoCrop());
    QVERIFY(!dlg->WorkRegion()->GetVideoItem()->IsAutoCropOn());
    QVERIFY(dlg->CurrentPhotoOptions().watermarkText.isEmpty());
    QCOMPARE(dlg->CurrentPhotoOptions().watermarkColour, first.watermark.colour);
}

void SettingsCommandsTest::onlyTheDefaultFolderIsMade_data() {
    QTest::addColumn<QString>("stored");  // [PIC] picpath under the home folder; null: none
    QTest::addColumn<bool>("documentsMade");
    QTest::newRow("first run") << QString() << true;
    QTest::newRow("folder the user chose") << "Chosen" << false;
}

void SettingsCommandsTest::onlyTheDefaultFolderIsMade() {
    QFETCH(QString, stored);
    QFETCH(bool, documentsMade);
    CIniFile ini;
    QVERIFY(QFile::remove(ini.Path()));
    if (!stored.isNull()) {
        QVERIFY(ini.WriteString(qvini::kPic, qvini::kPicPath, home_->FilePath(stored)));
    }
    const QString documents = home_->FilePath(QStringLiteral("Documents"));
    QVERIFY(!QFileInfo::exists(documents));
    CQuorvaneDlg dlg;
    QCOMPARE(QFileInfo(documents).isDir(), documentsMade);
    QVERIFY(stored.isNull() || !QFileInfo::exists(home_->FilePath(stored)));
}

QTEST_MAIN(SettingsCommandsTest)
#include "test_settings_commands.moc"
