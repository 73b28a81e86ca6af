// The reorderable list box: entries dragged with the mouse, their item data moving with them, and
// message 1231 to the parent after every left-button release.

#include <QMouseEvent>
#include <QtTest>
#include <vector>

#include "platform/window_messages.h"
#include "ui/kt_list_box.h"

namespace {

// The list box's parent; counts the messages it receives.
class Parent : public QWidget {
public:
    std::vector<int> messages;

protected:
    bool event(QEvent* event) override {
        if (event->type() == WindowMessageEvent::EventType()) {
            messages.push_back(static_cast<WindowMessageEvent*>(event)->message);
            return true;
        }
        return QWidget::event(event);
    }
};

void SendMouse(QWidget* target, QEvent::Type type, QPoint at, QPoint global,
               Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(at), QPointF(global), Qt::LeftButton, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &event);
}

}  // namespace

class KtListBoxTest : public QObject {
    Q_OBJECT

private slots:
    void dragMovesTheEntry_data();
    void dragMovesTheEntry();
};

void KtListBoxTest::dragMovesTheEntry_data() {
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");  // -1: released outside the list box
    QTest::addColumn<QString>("order");
    QTest::newRow("third onto first") << 2 << 0 << "31245";
    QTest::newRow("first onto third") << 0 << 2 << "23145";
    QTest::newRow("last onto second") << 4 << 1 << "15234";
    QTest::newRow("released outside") << 2 << -1 << "12345";
    QTest::newRow("plain click") << 3 << 3 << "12345";
}

void KtListBoxTest::dragMovesTheEntry() {
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(QString, order);
    Parent parent;
    parent.resize(300, 300);
    auto* list = new CKTListBox(&parent);
    list->setGeometry(10, 10, 200, 200);
    for (int i = 1; i <= 5; ++i) {
        auto* item = new QListWidgetItem(QString::number(i), list);
        item->setData(Qt::UserRole, i * 100);
    }
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));
    QWidget* viewport = list->viewport();
    auto centre = [&](int row) { return list->visualItemRect(list->item(row)).center(); };
    const QPoint start = centre(from);
    const QPoint end = to >= 0 ? centre(to) : QPoint(250, 250) - list->pos() - viewport->pos();
    SendMouse(viewport, QEvent::MouseButtonPress, start, viewport->mapToGlobal(start),
              Qt::LeftButton);
    if (to != from)
        SendMouse(viewport, QEvent::MouseMove, end, viewport->mapToGlobal(end), Qt::LeftButton);
    QVERIFY(to == from || list->IsDragging());
    SendMouse(viewport, QEvent::MouseButtonRelease, end, viewport->mapToGlobal(end), Qt::NoButton);

    QString shown;
    for (int i = 0; i < list->count(); ++i) {
        shown += list->item(i)->text();
        QCOMPARE(list->item(i)->data(Qt::UserRole).toInt(), list->item(i)->text().toInt() * 100);
    }
    QCOMPARE(shown, order);
    QVERIFY(!list->IsDragging());
    if (to >= 0)
        QCOMPARE(list->currentRow(), to);
    QCOMPARE(parent.messages, std::vector<int>{qvmsg::kListOrderChanged});
}

QTEST_MAIN(KtListBoxTest)
#include "test_kt_list_box.moc"
