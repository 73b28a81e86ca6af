// The settings dialogs on their own: what each gives back for the ways it can be left, the
// folders the new-folder dialog makes or refuses, a layout in which every control fits, and the
// window system's standard dialogs in Chinese.

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>
#include <memory>

#include "dialogs/file_naming_dialog.h"
#include "dialogs/new_folder_dialog.h"
#include "dialogs/picture_format_dialog.h"
#include "dialogs/record_setting.h"
#include "dialogs/scan_size_dialog.h"
#include "dialogs/storage_path_dialog.h"
#include "platform/font_faces.h"
#include "platform/message_box.h"
#include "platform/qt_translations.h"
#include "platform/window_messages.h"
#include "support/dialog_skins.h"
#include "support/recorded_messages.h"
#include "ui/folder_browser.h"
#include "ui/qv_button.h"

namespace {

constexpr int kClose = CQVDialog::kCloseButtonId;
constexpr int kEnterKey = -1;  // a "button" column's value for the Enter key

// A click on a dialog's button, or Enter.
void Press(CQVDialog& dialog, int id) {
    if (id == kEnterKey) {
        QTest::keyClick(&dialog, Qt::Key_Return);
    } else {
        SendWindowMessage(&dialog, qvmsg::kButtonClicked, WParam(id), 0);
    }
}

void ClickItem(QWidget& owner, const COptionItem& item) {
    const QvRect& hit = item.HitRect();
    QTest::mouseClick(&owner, Qt::LeftButton, {},
                      QPoint((hit.left + hit.right) / 2, (hit.top + hit.bottom) / 2));
}

void ClickItem(CQVOptionDialog& dialog, int itemId) {
    ClickItem(dialog, dialog.Item(itemId));
}

// Replaces the edit's text as typing would: characters the edit refuses are dropped. Key
// events carry Latin-1 only; other characters come in as an input method would put them.
void Type(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    edit->del();
    for (QChar c : text) {
        if (c.unicode() < 0x100) {
            QTest::keyClick(edit, char(c.unicode()));
        } else {
            edit->insert(QString(c));
        }
    }
}

bool Open(CQVDialog& dialog) {
    dialog.show();
    return QTest::qWaitForWindowExposed(&dialog);
}

bool ClosedWithOk(const CQVDialog& dialog) {
    return !dialog.isVisible() && dialog.result() == QDialog::Accepted;
}

}  // namespace

class SettingsDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void fileNaming_data();
    void fileNaming();
    void pictureFormat_data();
    void pictureFormat();
    void storagePathBrowse_data();
    void storagePathBrowse();
    void newFolder_data();
    void newFolder();
    void namesThatLeaveTheFolderAreRefused_data();
    void namesThatLeaveTheFolderAreRefused();
    void scanSizeEveryButtonCloses_data();
    void scanSizeEveryButtonCloses();
    void controlsFitAndDoNotOverlap_data();
    void controlsFitAndDoNotOverlap();
    void standardDialogsSpeakChinese();

private:
    std::unique_ptr<DialogSkins> skins_;
};

void SettingsDialogsTest::initTestCase() {
    InstallFontFaces();
    skins_ = std::make_unique<DialogSkins>();
}

void SettingsDialogsTest::fileNaming_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("click");      // item clicked, 0 none
    QTest::addColumn<QString>("typed");  // null: the prefix is left alone
    QTest::addColumn<int>("checked");
    QTest::addColumn<int>("modeBack");
    QTest::addColumn<QString>("prefixBack");
    QTest::newRow("even shown, closed at once")
        << 2 << 0 << QString() << int(CNameFileDlg::kEvenItem) << 2 << "Image";
    QTest::newRow("odd chosen, new prefix") << 0 << int(CNameFileDlg::kOddItem) << "Page"
                                            << int(CNameFileDlg::kTimeItem) << 1 << "Page";
    QTest::newRow("unknown mode: nothing checked, kept")
        << 7 << 0 << QString() << 0 << 7 << "Image";
    QTest::newRow("empty prefix accepted")
        << 1 << 0 << "" << int(CNameFileDlg::kOddItem) << 1 << "";
}

void SettingsDialogsTest::fileNaming() {
    QFETCH(int, mode);
    QFETCH(int, click);
    QFETCH(QString, typed);
    QFETCH(int, checked);
    QFETCH(int, modeBack);
    QFETCH(QString, prefixBack);
    CNameFileDlg dialog(QStringLiteral("文件命名"));
    dialog.SetPrefix(QStringLiteral("Image"));
    dialog.SetMode(mode);
    QVERIFY(Open(dialog));
    QCOMPARE(dialog.CheckedItem(), checked);
    QCOMPARE(dialog.PrefixEdit()->text(), QStringLiteral("Image"));
    if (click != 0) {
        ClickItem(dialog, click);
        QCOMPARE(dialog.CheckedItem(), click);
    }
    if (!typed.isNull()) {
        Type(dialog.PrefixEdit(), typed);
    }
    Press(dialog, kClose);
    QVERIFY(ClosedWithOk(dialog));
    QCOMPARE(dialog.Mode(), modeBack);
    QCOMPARE(dialog.Prefix(), prefixBack);
}

void SettingsDialogsTest::pictureFormat_data() {
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("click");      // item clicked, 0 none
    QTest::addColumn<QString>("typed");  // null: the interval is left alone
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("formatBack");
    QTest::addColumn<int>("intervalBack");
    QTest::addColumn<bool>("stillOpen");
    QTest::addColumn<int>("mode");       // the kind of automatic photos given
    QTest::addColumn<int>("modeClick");  // its item clicked, 0 none
    QTest::addColumn<int>("modeBack");
    const int ok = CPicFormatDlg::kOkButtonId;
    const int cancel = CPicFormatDlg::kCancelButtonId;
    const int page = CPicFormatDlg::kPageItem;
    const int timed = CPicFormatDlg::kTimedItem;
    QTest::newRow("翻页拍照 then 确定")
        << 1 << 0 << QString() << ok << 1 << 2 << false << 0 << page << 1;
    QTest::newRow("翻页拍照 then 取消")
        << 1 << 4 << QString() << cancel << 3 << 2 << false << 0 << page << 0;
    QTest::newRow("定时拍照 again then Enter")
        << 1 << 0 << "5" << kEnterKey << 1 << 5 << false << 1 << timed << 0;
    QTest::newRow("page mode kept by the close button")
        << 1 << 0 << QString() << kClose << 1 << 2 << false << 1 << 0 << 1;
    QTest::newRow("PNG then 取消")
        << 1 << 4 << QString() << cancel << 3 << 2 << false << 0 << 0 << 0;
    QTest::newRow("interval 10 then 取消")
        << 1 << 0 << "10" << cancel << 1 << 2 << false << 0 << 0 << 0;
    QTest::newRow("interval 10 then 确定")
        << 1 << 0 << "10" << ok << 1 << 10 << false << 0 << 0 << 0;
    QTest::newRow("empty interval then 确定")
        << 1 << 0 << "" << ok << 1 << 0 << false << 0 << 0 << 0;
    QTest::newRow("默认 does nothing")
        << 0 << 0 << "10" << int(CPicFormatDlg::kDefaultButtonId) << 0 << 2 << true << 0 << 0 << 0;
    QTest::newRow("TIFF then close button")
        << 1 << 3 << "10" << kClose << 2 << 2 << false << 0 << 0 << 0;
    QTest::newRow("BMP then Enter") << 3 << 1 << "7" << kEnterKey << 0 << 7 << false << 0 << 0 << 0;
    QTest::newRow("unknown format kept")
        << 9 << 0 << QString() << ok << 9 << 2 << false << 0 << 0 << 0;
    QTest::newRow("digits only, six at most")
        << 1 << 0 << "9x8-7 654321" << ok << 1 << 987654 << false << 0 << 0 << 0;
}

void SettingsDialogsTest::pictureFormat() {
    QFETCH(int, format);
    QFETCH(int, click);
    QFETCH(QString, typed);
    QFETCH(int, button);
    QFETCH(int, formatBack);
    QFETCH(int, intervalBack);
    QFETCH(bool, stillOpen);
    QFETCH(int, mode);
    QFETCH(int, modeClick);
    QFETCH(int, modeBack);
    CPicFormatDlg dialog;
    dialog.SetFormat(format);
    dialog.SetInterval(2);
    dialog.SetAutoMode(mode);
    QVERIFY(Open(dialog));
    QCOMPARE(dialog.CheckedItem(), format >= 0 && format <= 3 ? format + 1 : 0);
    QCOMPARE(dialog.IntervalEdit()->text(), QStringLiteral("2"));
    QCOMPARE(dialog.ModeItem(CPicFormatDlg::kPageItem).IsChecked(), mode == 1);
    QCOMPARE(dialog.ModeItem(CPicFormatDlg::kTimedItem).IsChecked(), mode != 1);
    if (click != 0) {
        ClickItem(dialog, click);
        QCOMPARE(dialog.CheckedItem(), click);
    }
    if (modeClick != 0) {
        ClickItem(dialog, dialog.ModeItem(modeClick));
        QCOMPARE(dialog.ModeItem(modeClick).IsChecked(), true);
        QCOMPARE(dialog.CheckedItem(), click != 0 ? click : format + 1);  // the formats stay
    }
    // The interval belongs to the timed photos only.
    QCOMPARE(dialog.IntervalEdit()->isEnabled(),
             !dialog.ModeItem(CPicFormatDlg::kPageItem).IsChecked());
    if (!typed.isNull()) {
        Type(dialog.IntervalEdit(), typed);
    }
    Press(dialog, button);
    QCOMPARE(dialog.isVisible(), stillOpen);
    QCOMPARE(dialog.Format(), formatBack);
    QCOMPARE(dialog.Interval(), intervalBack);
    QCOMPARE(dialog.AutoMode(), modeBack);
}

void SettingsDialogsTest::storagePathBrowse_data() {
    QTest::addColumn<QString>("chosen");  // under a temporary folder; null: cancelled
    QTest::addColumn<bool>("taken");
    QTest::newRow("existing folder") << "other" << true;
    QTest::newRow("browser cancelled") << QString() << false;
    QTest::newRow("a file") << "file.txt" << false;
    QTest::newRow("missing folder") << "gone" << false;
}

void SettingsDialogsTest::storagePathBrowse() {
    QFETCH(QString, chosen);
    QFETCH(bool, taken);
    QTemporaryDir root;
    QVERIFY(QDir(root.path()).mkdir(QStringLiteral("other")));
    QFile file(root.filePath(QStringLiteral("file.txt")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const QString current = root.path();
    const QString answer = chosen.isNull() ? QString() : root.filePath(chosen);

    CQVPathSettingDlg dialog(QStringLiteral("路径设置"));
    QString caption;
    QWidget* browserParent = nullptr;
    const auto previous =
        SetFolderBrowser([&](QWidget* parent, const QString& text, const QString& start) {
            caption = text;
            browserParent = parent;
            return start == current ? answer : QStringLiteral("<wrong start>");
        });
    dialog.SetPath(current);
    QVERIFY(Open(dialog));
    Press(dialog, CQVPathSettingDlg::kBrowseButtonId);
    SetFolderBrowser(previous);
    QCOMPARE(caption, QStringLiteral("图片存盘路径"));
    QCOMPARE(browserParent, &dialog);
    const QString expected = taken ? answer : current;
    QCOMPARE(dialog.Path(), expected);
    QCOMPARE(dialog.PathEdit()->text(), expected);
    QVERIFY(dialog.PathEdit()->isReadOnly());
    Press(dialog, kClose);
    QVERIFY(ClosedWithOk(dialog));
    QCOMPARE(dialog.Path(), expected);
}

void SettingsDialogsTest::newFolder_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("button");
    QTest::addColumn<QString>("made");     // under the current folder; "" none, "." the current
    QTest::addColumn<QString>("failure");  // part of the reason when none was made
    const int ok = CCreateDirDlg::kOkButtonId;
    QTest::newRow("new name") << "Scans" << ok << "Scans"
                              << "";
    QTest::newRow("new name by Enter") << "扫描 2024" << kEnterKey << "扫描 2024"
                                       << "";
    QTest::newRow("inside an existing folder") << "old/inner" << ok << "old/inner"
                                               << "";
    QTest::newRow("empty name") << "" << ok << ""
                                << "没有输入";
    QTest::newRow("blank name") << "   " << ok << ""
                                << "没有输入";
    QTest::newRow("existing name") << "old" << ok << ""
                                   << "已经存在";
    QTest::newRow("missing parent") << "gone/inner" << ok << ""
                                    << "不存在";
    QTest::newRow("closed without 确定") << "Scans" << kClose << "."
                                         << "";
    QTest::newRow("spaces around: made trimmed") << "  Scans  " << ok << "Scans"
                                                 << "";
    QTest::newRow("parent folder") << " .. " << ok << ""
                                   << "“..”";
    QTest::newRow("parent inside the name") << "old/../x" << ok << ""
                                            << "“..”";
    QTest::newRow("empty part") << "old//x" << ok << ""
                                << "不能为空";
}

void SettingsDialogsTest::newFolder() {
    QFETCH(QString, name);
    QFETCH(int, button);
    QFETCH(QString, made);
    QFETCH(QString, failure);
    QTemporaryDir root;
    const QString current = root.filePath(QStringLiteral("current"));
    QVERIFY(QDir().mkpath(current + QStringLiteral("/old")));
    const QStringList before = QDir(current).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

    CCreateDirDlg dialog(current);
    QVERIFY(Open(dialog));
    Type(dialog.NameEdit(), name);
    Press(dialog, button);
    QVERIFY(ClosedWithOk(dialog));
    if (made.isEmpty()) {
        QCOMPARE(dialog.Path(), QString());
        QVERIFY2(dialog.Failure().contains(failure), qPrintable(dialog.Failure()));
    } else if (made == QLatin1String(".")) {
        QCOMPARE(dialog.Path(), current);
    } else {
        QCOMPARE(dialog.Path(), current + u'/' + made);
        QVERIFY(QFileInfo(dialog.Path()).isDir());
        QVERIFY(dialog.Failure().isEmpty());
        return;
    }
    QCOMPARE(QDir(current).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
}

// A photo or recording name is joined to the chosen folder: one that would lead out of it is
// refused, the dialog stays open and says why; mended, it closes with the new name.
void SettingsDialogsTest::namesThatLeaveTheFolderAreRefused_data() {
    QTest::addColumn<bool>("recording");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("reason");  // empty: accepted
    const std::pair<const char*, const char*> names[] = {
        {"../../X", "“/”"}, {"a/b", "“/”"}, {".", "“.”"}, {"..", "“..”"}, {"..Page..", ""}};
    for (const bool recording : {false, true}) {
        for (const auto& [typed, reason] : names) {
            QTest::addRow("%s%s", recording ? "recording: " : "naming: ", typed)
                << recording << QString::fromUtf8(typed) << QString::fromUtf8(reason);
        }
    }
}

void SettingsDialogsTest::namesThatLeaveTheFolderAreRefused() {
    QFETCH(bool, recording);
    QFETCH(QString, typed);
    QFETCH(QString, reason);
    RecordedMessages messages;
    CNameFileDlg naming(QStringLiteral("文件命名"));
    CRecordSetting record;
    naming.SetPrefix(QStringLiteral("Image"));
    record.name = QStringLiteral("Image");
    CQVDialog& dialog = recording ? static_cast<CQVDialog&>(record) : naming;
    QVERIFY(Open(dialog));
    QLineEdit* edit = recording ? record.NameEdit() : naming.PrefixEdit();
    const auto name = [&] { return recording ? record.name : naming.Prefix(); };
    Type(edit, typed);
    Press(dialog, kClose);
    if (reason.isEmpty()) {
        QVERIFY(ClosedWithOk(dialog));
        QCOMPARE(name(), typed);
        QVERIFY(messages.texts.isEmpty());
        return;
    }
    QVERIFY(dialog.isVisible());
    QCOMPARE(messages.texts.size(), 1);
    QVERIFY2(messages.texts[0].contains(reason), qPrintable(messages.texts[0]));
    QCOMPARE(name(), QStringLiteral("Image"));
    Type(edit, QStringLiteral("Page"));
    Press(dialog, recording ? kClose : kEnterKey);
    QVERIFY(ClosedWithOk(dialog));
    QCOMPARE(name(), QStringLiteral("Page"));
}

void SettingsDialogsTest::scanSizeEveryButtonCloses_data() {
    QTest::addColumn<int>("button");
    QTest::newRow("确定") << int(CScanSizeDlg::kOkButtonId);
    QTest::newRow("取消") << int(CScanSizeDlg::kCancelButtonId);
    QTest::newRow("默认") << int(CScanSizeDlg::kDefaultButtonId);
    QTest::newRow("close button") << kClose;
}

void SettingsDialogsTest::scanSizeEveryButtonCloses() {
    QFETCH(int, button);
    CScanSizeDlg dialog;
    QVERIFY(Open(dialog));
    Press(dialog, button);
    QVERIFY(ClosedWithOk(dialog));
}

using DialogFactory = std::function<CQVDialog*()>;
Q_DECLARE_METATYPE(DialogFactory)

void SettingsDialogsTest::controlsFitAndDoNotOverlap_data() {
    QTest::addColumn<DialogFactory>("make");
    QTest::addColumn<QSize>("size");
    QTest::newRow("storage path") << DialogFactory([] {
        auto* d = new CQVPathSettingDlg(QStringLiteral("路径设置"));
        d->SetPath(QDir::homePath());
        return d;
    }) << QSize(474, 117);
    QTest::newRow("new folder") << DialogFactory([] { return new CCreateDirDlg(QDir::homePath()); })
                                << QSize(474, 125);
    QTest::newRow("file naming") << DialogFactory([] {
        return new CNameFileDlg(QStringLiteral("文件命名"));
    }) << QSize(477, 185);
    QTest::newRow("picture format")
        << DialogFactory([] { return new CPicFormatDlg; }) << QSize(474, 309);
    QTest::newRow("scan size") << DialogFactory([] { return new CScanSizeDlg; }) << QSize(474, 215);
}

// Every control lies inside the dialog, below the title band (the close button in it), clear
// of every other control and of the option items' labels.
void SettingsDialogsTest::controlsFitAndDoNotOverlap() {
    QFETCH(DialogFactory, make);
    QFETCH(QSize, size);
    std::unique_ptr<CQVDialog> dialog(make());
    QVERIFY(Open(*dialog));
    QCOMPARE(dialog->size(), size);
    QVERIFY(!dialog->Title().isEmpty());
    QCOMPARE(dialog->windowTitle(), dialog->Title());
    dialog->grab();  // paints, so the option items know their places
    QList<QRect> areas;
    for (QWidget* child : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!child->isVisible())
            continue;
        QVERIFY2(dialog->rect().contains(child->geometry()), child->metaObject()->className());
        if (child != dialog->CloseButton()) {
            QVERIFY(child->y() >= CQVDialog::kTitleBandHeight);
        }
        areas << child->geometry();
    }
    if (auto* options = qobject_cast<CQVOptionDialog*>(dialog.get())) {
        for (int id = 1; id <= options->ItemCount(); ++id) {
            const QvRect& hit = options->Item(id).HitRect();
            areas << QRect(hit.left, hit.top, hit.Width(), hit.Height());
            QVERIFY(dialog->rect().contains(areas.back()));
        }
    }
    for (qsizetype i = 0; i < areas.size(); ++i) {
        for (qsizetype j = i + 1; j < areas.size(); ++j) {
            QVERIFY2(!areas[i].intersects(areas[j]),
                     qPrintable(QStringLiteral("%1 %2").arg(i).arg(j)));
        }
    }
}

// Qt's own message box and file dialog, with the translations the program loads at start.
void SettingsDialogsTest::standardDialogsSpeakChinese() {
    QVERIFY(InstallQtTranslations(QLocale(QLocale::Chinese, QLocale::China)));
    QMessageBox box(QMessageBox::Question, NoticeCaption(), QStringLiteral("?"),
                    QMessageBox::Ok | QMessageBox::Cancel);
    QCOMPARE(box.button(QMessageBox::Ok)->text(), QStringLiteral("确定"));
    QCOMPARE(box.button(QMessageBox::Cancel)->text(), QStringLiteral("取消"));
    QFileDialog files(nullptr, QStringLiteral("浏览"), QDir::homePath());
    files.setOption(QFileDialog::DontUseNativeDialog);
    const auto* buttons = files.findChild<QDialogButtonBox*>();
    QVERIFY(buttons != nullptr);
    QStringList texts;
    for (const QAbstractButton* button : buttons->buttons())
        texts << button->text().remove(QLatin1Char('&'));
    QCOMPARE(texts, (QStringList{QStringLiteral("打开(O)"), QStringLiteral("取消")}));
}

QTEST_MAIN(SettingsDialogsTest)
#include "test_settings_dialogs.moc"
