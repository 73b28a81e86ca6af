#include "platform/window_messages.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace {

struct Delivery {
    int message;
    WParam wParam;
    LParam lParam;
    QThread* thread;
};

class Receiver : public QObject {
public:
    bool event(QEvent* e) override {
        if (e->type() != WindowMessageEvent::EventType()) {
            return QObject::event(e);
        }
        auto* message = static_cast<WindowMessageEvent*>(e);
        std::lock_guard lock(mutex_);
        deliveries_.push_back(
            {message->message, message->wParam, message->lParam, QThread::currentThread()});
        message->result = message->lParam * 2 + 1;
        return true;
    }

    std::vector<Delivery> Deliveries() {
        std::lock_guard lock(mutex_);
        return deliveries_;
    }

private:
    std::mutex mutex_;
    std::vector<Delivery> deliveries_;
};

// Runs the calling thread's event loop until done() or the time is up.
template <typename Done>
bool ProcessEventsUntil(Done done, int milliseconds = 5000) {
    QDeadlineTimer deadline(milliseconds);
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

TEST(WindowMessages, PostedFromAnotherThreadArriveInOrderOnTheReceiversThread) {
    Receiver receiver;
    const WParam frame = reinterpret_cast<WParam>(&receiver);
    const LParam size = (LParam{1600} << 16) | 1200;
    std::thread sender([&] {
        EXPECT_TRUE(PostWindowMessage(&receiver, qvmsg::kNewFrame, frame, size));
        EXPECT_TRUE(PostWindowMessage(&receiver, qvmsg::kSetWorkMode, 1, -7));
    });
    sender.join();
    ASSERT_TRUE(ProcessEventsUntil([&] { return receiver.Deliveries().size() == 2; }));

    const std::vector<Delivery> got = receiver.Deliveries();
    EXPECT_EQ(got[0].message, 1224);
    EXPECT_EQ(got[0].wParam, frame);
    EXPECT_EQ(got[0].lParam, size);
    EXPECT_EQ(got[0].thread, QThread::currentThread());
    EXPECT_EQ(got[1].message, 1226);
    EXPECT_EQ(got[1].wParam, 1u);
    EXPECT_EQ(got[1].lParam, -7);
}

TEST(WindowMessages, PostIsQueuedNotDeliveredAtOnce) {
    Receiver receiver;
    EXPECT_TRUE(PostWindowMessage(&receiver, qvmsg::kButtonClicked, 1000, 0));
    EXPECT_TRUE(receiver.Deliveries().empty());
    EXPECT_TRUE(ProcessEventsUntil([&] { return receiver.Deliveries().size() == 1; }));
}

TEST(WindowMessages, NullTargetIsRefused) {
    EXPECT_FALSE(PostWindowMessage(nullptr, qvmsg::kButtonClicked, 1, 2));
    EXPECT_EQ(SendWindowMessage(nullptr, qvmsg::kButtonClicked, 1, 2), 0);
}

TEST(WindowMessages, SendOnTheReceiversThreadIsImmediateAndReturnsTheResult) {
    Receiver receiver;
    EXPECT_EQ(SendWindowMessage(&receiver, qvmsg::kOptionChanged, 5, 20), 41);
    ASSERT_EQ(receiver.Deliveries().size(), 1u);
    EXPECT_EQ(receiver.Deliveries()[0].wParam, 5u);
}

TEST(WindowMessages, SendFromAnotherThreadBlocksUntilHandledOnTheReceiversThread) {
    Receiver receiver;
    std::atomic<LParam> result{0};
    std::atomic<bool> finished{false};
    std::thread sender([&] {
        result = SendWindowMessage(&receiver, qvmsg::kAutoCropChanged, 1, 100);
        // The receiver ran before Send returned.
        EXPECT_EQ(receiver.Deliveries().size(), 1u);
        finished = true;
    });
    EXPECT_TRUE(ProcessEventsUntil([&] { return finished.load(); }));
    sender.join();
    EXPECT_EQ(result.load(), 201);
    ASSERT_EQ(receiver.Deliveries().size(), 1u);
    EXPECT_EQ(receiver.Deliveries()[0].thread, QThread::currentThread());
}

TEST(WindowMessages, SendToAReceiverInAWorkerThread) {
    QThread worker;
    worker.start();
    Receiver receiver;
    receiver.moveToThread(&worker);

    EXPECT_EQ(SendWindowMessage(&receiver, qvmsg::kListOrderChanged, 3, 4), 9);
    const std::vector<Delivery> got = receiver.Deliveries();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].thread, &worker);

    worker.quit();  // the receiver outlives the thread's event loop, so nothing reaches it late
    worker.wait();
}

}  // namespace
