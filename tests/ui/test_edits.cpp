// Number edit range checking and notifications, input edit Enter notification.

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QInputMethodEvent>
#include <QMenu>
#include <QtTest>
#include <vector>

#include "platform/window_messages.h"
#include "ui/input_edit.h"
#include "ui/number_edit.h"

namespace {

// A parent that records the window messages its children send.
class Recorder : public QWidget {
public:
    struct Message {
        int number;
        WParam wParam;
    };
    std::vector<Message> messages;

    int Count(int number) const {
        int n = 0;
        for (const Message& m : messages)
            n += m.number == number;
        return n;
    }

protected:
    bool event(QEvent* event) override {
        if (event->type() == WindowMessageEvent::EventType()) {
            auto* m = static_cast<WindowMessageEvent*>(event);
            messages.push_back({m->message, m->wParam});
            return true;
        }
        return QWidget::event(event);
    }
};

// Types keys: "\b" is Backspace, "\x7f" Delete, "<" Left, "^" Home; everything else as typed.
void Type(QWidget* edit, const QString& keys) {
    for (const QChar c : keys) {
        switch (c.unicode()) {
            case '\b':
                QTest::keyClick(edit, Qt::Key_Backspace);
                break;
            case 0x7f:
                QTest::keyClick(edit, Qt::Key_Delete);
                break;
            case '<':
                QTest::keyClick(edit, Qt::Key_Left);
                break;
            case '^':
                QTest::keyClick(edit, Qt::Key_Home);
                break;
            default:
                QTest::keyClick(edit, c.toLatin1());
        }
    }
}

// The context menu the edit opened (a top-level popup).
bool FindMenu(QMenu*& menu) {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* m = qobject_cast<QMenu*>(w); m && m->isVisible()) {
            menu = m;
            return true;
        }
    }
    return false;
}

}  // namespace

class TestEdits : public QObject {
    Q_OBJECT

private slots:
    void numberEditTyping_data() {
        QTest::addColumn<int>("minimum");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("selectAll");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("result");
        QTest::newRow("256 is refused") << 0 << 255 << "25" << false << "6"
                                        << "25";
        QTest::newRow("255 is taken") << 0 << 255 << "25" << false << "5"
                                      << "255";
        QTest::newRow("dot always passes") << 0 << 255 << "12" << false << ".5"
                                           << "12.5";
        QTest::newRow("letters, signs, spaces dropped") << 0 << 255 << "25" << false << "a- x"
                                                        << "25";
        QTest::newRow("selection replaced") << 0 << 100 << "99" << true << "1"
                                            << "1";
        QTest::newRow("selection replaced, then too big") << 0 << 100 << "99" << true << "101"
                                                          << "10";
        QTest::newRow("digit at caret, not at end") << 0 << 255 << "25" << false << "^1"
                                                    << "125";
        QTest::newRow("digit at caret, too big") << 0 << 255 << "25" << false << "^3"
                                                 << "25";
        QTest::newRow("inside the text") << 0 << 255 << "15" << false << "<0"
                                         << "105";
        QTest::newRow("backspace to empty") << 0 << 255 << "255" << false << "\b\b\b"
                                            << "";
        QTest::newRow("delete key") << 0 << 255 << "255" << false << "^\x7f"
                                    << "55";
        QTest::newRow("no range: any digits") << 0 << 0 << "" << false << "9999999999"
                                              << "9999999999";
        QTest::newRow("reversed range: any digits") << 50 << 10 << "" << false << "77"
                                                    << "77";
        QTest::newRow("long run stays out of range") << 0 << 100 << "" << false << "10000000000000"
                                                     << "100";
    }
    void numberEditTyping() {
        QFETCH(int, minimum);
        QFETCH(int, maximum);
        QFETCH(QString, text);
        QFETCH(bool, selectAll);
        QFETCH(QString, keys);
        QFETCH(QString, result);
        CNumberEdit edit;
        edit.SetRange(minimum, maximum);
        edit.setText(text);
        if (selectAll)
            edit.selectAll();
        Type(&edit, keys);
        QCOMPARE(edit.text(), result);
    }

    void leadingValue_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("decimal") << "12.5" << 12;
        QTest::newRow("dot first") << ".5" << 0;
        QTest::newRow("saturates") << "99999999999" << int(INT32_MAX);
        QTest::newRow("negative") << "-42" << -42;
    }
    void leadingValue() {
        QFETCH(QString, text);
        QFETCH(int, value);
        QCOMPARE(CNumberEdit::LeadingValue(text), value);
    }

    void pasteKeepsTheRange_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("clip");
        QTest::addColumn<QString>("result");
        QTest::newRow("in range") << ""
                                  << "200"
                                  << "200";
        QTest::newRow("out of range") << ""
                                      << "300"
                                      << "";
        QTest::newRow("appended out of range") << "30"
                                               << "0"
                                               << "30";
        QTest::newRow("not a number") << "1"
                                      << "2a"
                                      << "1";
        QTest::newRow("decimal") << "1"
                                 << "2.5"
                                 << "12.5";
        QTest::newRow("surrounding spaces") << ""
                                            << " 42\n"
                                            << "42";
    }
    void pasteKeepsTheRange() {
        QFETCH(QString, text);
        QFETCH(QString, clip);
        QFETCH(QString, result);
        CNumberEdit edit;
        edit.SetRange(0, 255);
        edit.setText(text);
        QGuiApplication::clipboard()->setText(clip);
        QTest::keySequence(&edit, QKeySequence::Paste);
        QCOMPARE(edit.text(), result);
    }

    void contextMenuPasteKeepsTheRange() {
        CNumberEdit edit;
        edit.SetRange(0, 255);
        edit.resize(80, 20);
        edit.show();
        QGuiApplication::clipboard()->setText("999");
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                                edit.mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(&edit, &event);
        QMenu* menu = nullptr;
        QTRY_VERIFY((menu = edit.findChild<QMenu*>()) != nullptr || FindMenu(menu));
        QAction* paste = nullptr;
        for (QAction* action : menu->actions()) {
            if (action->text().startsWith("&Paste"))
                paste = action;
        }
        QVERIFY(paste != nullptr);
        paste->trigger();
        QCOMPARE(edit.text(), QString());
        QGuiApplication::clipboard()->setText("99");
        paste->trigger();
        QCOMPARE(edit.text(), QString("99"));
        menu->close();
    }

    void inputMethodCommitKeepsTheRange() {
        CNumberEdit edit;
        edit.SetRange(0, 255);
        edit.setText("25");
        edit.setCursorPosition(2);
        auto commit = [&](const QString& text) {
            QInputMethodEvent event;
            event.setCommitString(text);
            QApplication::sendEvent(&edit, &event);
        };
        commit("9");
        QCOMPARE(edit.text(), QString("25"));
        commit("５");  // a full-width digit is not a digit here
        QCOMPARE(edit.text(), QString("25"));
        commit("5");
        QCOMPARE(edit.text(), QString("255"));
    }

    void usualShortcutsStillWork() {
        CNumberEdit edit;
        edit.SetRange(0, 255);
        edit.setText("123");
        QTest::keySequence(&edit, QKeySequence::SelectAll);
        QCOMPARE(edit.selectedText(), QString("123"));
        QTest::keySequence(&edit, QKeySequence::Copy);
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("123"));
        QTest::keyClick(&edit, Qt::Key_End);
        QTest::keyClick(&edit, Qt::Key_Left);
        QCOMPARE(edit.cursorPosition(), 2);
    }

    void numberEditTellsParentOfEveryChange() {
        Recorder parent;
        auto* edit = new CNumberEdit(&parent);
        edit->SetRange(0, 255);
        edit->setText("2");
        QCOMPARE(parent.Count(qvmsg::kNumberEditChanged), 1);
        Type(edit, "5");
        QCOMPARE(parent.Count(qvmsg::kNumberEditChanged), 2);
        Type(edit, "9");  // 259: refused, no change
        QCOMPARE(parent.Count(qvmsg::kNumberEditChanged), 2);
        Type(edit, "\b");
        QCOMPARE(parent.Count(qvmsg::kNumberEditChanged), 3);
        QCOMPARE(parent.messages.back().wParam, WParam(edit));
        CNumberEdit orphan;  // no parent: nobody to tell, nothing breaks
        orphan.setText("1");
    }

    void inputEditReportsEnterRelease() {
        Recorder parent;
        auto* edit = new CInputEdit(&parent);
        QCOMPARE(edit->font().pixelSize(), 12);
        QCOMPARE(edit->font().weight(), QFont::Normal);
        QCOMPARE(edit->font().family(), QString("宋体"));
        Type(edit, "ab");
        QCOMPARE(parent.Count(qvmsg::kInputEditEnter), 0);
        QTest::keyPress(edit, Qt::Key_Return);
        QCOMPARE(parent.Count(qvmsg::kInputEditEnter), 0);  // on the release, not the press
        QTest::keyRelease(edit, Qt::Key_Return);
        QCOMPARE(parent.Count(qvmsg::kInputEditEnter), 1);
        QTest::keyClick(edit, Qt::Key_Enter);  // the keypad's Enter too
        QCOMPARE(parent.Count(qvmsg::kInputEditEnter), 2);
        QCOMPARE(edit->text(), QString("ab"));
    }
};

QTEST_MAIN(TestEdits)
#include "test_edits.moc"
