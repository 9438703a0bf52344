// The transfer worker: in order, cancelled per owner, waits for the running one, stop ends all.
#include <QTest>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "transferworker.h"

class TransferWorkerTest : public QObject {
    Q_OBJECT

private slots:
    void cancelsPerOwnerAndWaitsOnlyForTheRunningTransfer() {
        TransferWorker worker;
        const int a = 0, b = 0;  // two owners
        std::mutex mutex;
        std::vector<int> ran;  // guarded by mutex
        const auto record = [&](int n) {
            const std::lock_guard<std::mutex> lock(mutex);
            ran.push_back(n);
        };
        const auto ranSoFar = [&] {
            const std::lock_guard<std::mutex> lock(mutex);
            return ran;
        };
        std::atomic<bool> release{false}, started{false}, sawCancel{false}, ended{false};

        // A's first transfer runs until it sees its cancel flag (or a release that never comes).
        worker.post(&a, [&](const TransferWorker::Cancelled& cancelled) {
            started = true;
            while (!cancelled && !release)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            sawCancel = cancelled.load();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));  // its last exchange
            ended = true;
        });
        for (int n = 1; n <= 3; ++n)
            worker.post(n == 2 ? static_cast<const void*>(&b) : &a,
                        [&, n](const TransferWorker::Cancelled&) { record(n); });
        QTRY_VERIFY(started);
        QVERIFY(worker.busy(&a) && worker.busy(&b));
        worker.cancelAndWait(&a);
        // Returned once A's running transfer ended; A's queued one never runs, B's does.
        QVERIFY(ended && sawCancel && !worker.busy(&a));
        QTRY_VERIFY(!worker.busy(&b));
        QCOMPARE(ranSoFar(), std::vector<int>{2});

        // Later transfers of A run again, in order; after stop nothing runs.
        for (int n = 4; n <= 5; ++n)
            worker.post(&a, [&, n](const TransferWorker::Cancelled& c) { record(c ? -n : n); });
        QTRY_VERIFY(!worker.busy(&a));
        // A's cancels, waiting or not, leave B's running transfer unflagged; A's queued one runs.
        std::atomic<int> stepB{0};
        worker.post(&b, [&](const TransferWorker::Cancelled& c) {
            for (stepB = 1; stepB != 2;)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            record(c ? -7 : 7);
        });
        QTRY_COMPARE(stepB.load(), 1);
        worker.cancelAndWait(&a);  // nothing of A's yet: returns at once
        worker.post(&a, [&](const TransferWorker::Cancelled& c) { record(c ? -6 : 6); });
        worker.cancel(&a);
        stepB = 2;
        QTRY_VERIFY(!worker.busy(&a) && !worker.busy(&b));
        // Stop cancels the running transfer and drops the queue; later posts are ignored.
        std::atomic<bool> running{false};
        worker.post(&b, [&](const TransferWorker::Cancelled& c) {
            for (running = true; !c;)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            record(-8);
        });
        worker.post(&a, [&](const TransferWorker::Cancelled&) { record(9); });
        QTRY_VERIFY(running);
        worker.stop();
        worker.post(&a, [&](const TransferWorker::Cancelled&) { ran.push_back(99); });
        QTest::qWait(20);
        QCOMPARE(ranSoFar(), (std::vector<int>{2, 4, 5, 7, -6, -8}));
    }
};

QTEST_GUILESS_MAIN(TransferWorkerTest)
#include "transferworker_test.moc"
