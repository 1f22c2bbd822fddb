#include "monitor/MonitorWorker.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimKeyboard.h"
#include "support/TestStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

using namespace zendrel;

namespace {

// Lets queued signals arrive until `done` holds or five seconds pass.
template <class F> bool waitFor(F done) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return done();
}

class MonitorWorkerTest : public ::testing::Test {
protected:
    test::TestStore ts;
    SystemClock clock;
    std::shared_ptr<sim::SimDesktop> desktop = std::make_shared<sim::SimDesktop>();
    std::shared_ptr<sim::SimKeyboard> keyboard = std::make_shared<sim::SimKeyboard>(&clock, desktop.get());
    WindowId bank = desktop->addWindow("Bank");
    std::unique_ptr<MonitorWorker> worker;
    QStringList signals_;
    QObject receiver;  // on this thread: the signals arrive queued, in order

    void SetUp() override {
        auto d = desktop;
        auto k = keyboard;
        worker = std::make_unique<MonitorWorker>(
            EngineProgram::Main, ts.store(), clock, SendSettings{7, 0},
            [d, k] { return SendBackends{nullptr, k.get(), d.get()}; }, 20);
        QObject::connect(worker.get(), &MonitorWorker::message, &receiver, [this](const QString& t, const QString& x) {
            signals_ << "message " + t + ": " + x;
        });
        QObject::connect(worker.get(), &MonitorWorker::minimizeRequested, &receiver, [this] { signals_ << "minimize"; });
        QObject::connect(worker.get(), &MonitorWorker::queueEmptyChanged, &receiver,
                         [this](bool empty) { signals_ << (empty ? "empty" : "not empty"); });
        QObject::connect(worker.get(), &MonitorWorker::sent, &receiver,
                         [this](const QString& s, const QString& w) { signals_ << "sent " + s + " to " + w; });
    }
    PasswordRecord entry(const QString& service, const QString& title) {
        PasswordRecord e = test::entry("Ann", service, "ann");
        e.password = "pw";
        e.paste = "[Name][Tab][Password][Enter]";
        e.windowTitleToLocate = title;
        return e;
    }
};

TEST_F(MonitorWorkerTest, AQueuedEntryIsTypedOnTheWorkerAndReportedBack) {
    worker->queueEntry(entry("Bank", "Bank"));
    ASSERT_TRUE(waitFor([&] { return signals_.contains("empty"); }));
    worker->stop();
    EXPECT_EQ(signals_, QStringList({"minimize", "not empty", "sent Bank to Bank", "empty"}));
    EXPECT_EQ(keyboard->textReceivedBy(bank), "ann\tpw\n");
}

TEST_F(MonitorWorkerTest, AMissingWindowComesBackAsTheCannotSendMessage) {
    worker->queueEntry(entry("Mail", "Mail"));
    ASSERT_TRUE(waitFor([&] { return signals_.contains("empty"); }));
    EXPECT_TRUE(signals_.contains("message Cannot Send: The associated window does not exist (Mail)."));
}

TEST_F(MonitorWorkerTest, ManyPassRequestsTypeEachEntryOnce) {
    for (int i = 0; i < 3; ++i) {
        worker->queueEntry(entry(QStringLiteral("E%1").arg(i), "Bank"));
    }
    for (int i = 0; i < 50; ++i) {
        worker->runPass(true);
    }
    ASSERT_TRUE(waitFor([&] { return signals_.count("empty") == 1 && signals_.filter("sent").size() == 3; }));
    worker->stop();
    EXPECT_EQ(keyboard->textReceivedBy(bank), "ann\tpw\nann\tpw\nann\tpw\n");
}

} // namespace
