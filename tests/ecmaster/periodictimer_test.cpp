// The periodic timer: callbacks on a thread of their own, and the stop guarantee the master's
// teardown relies on.
#include <QTest>

#include <array>
#include <atomic>
#include <thread>

#include "periodictimer.h"

namespace {

struct Probe {
    std::atomic<int> calls{0};
    std::atomic<int> inside{0};     // callbacks running right now
    std::atomic<int> maxInside{0};  // most callbacks ever running at once
    std::atomic<uint32_t> seenId{0};
    std::atomic<bool> deadlineSeen{true};
    std::atomic<bool> killFromInside{false};
    std::atomic<uint32_t> killResult{99};
    std::atomic<bool> slow{false};
    std::array<std::atomic<int64_t>, 8> deadlines{};  // of the first calls
};

void onTick(uint32_t id, uint32_t msg, uintptr_t user, uintptr_t dw1, uintptr_t dw2) {
    auto* p = reinterpret_cast<Probe*>(user);
    const int now = ++p->inside;
    int prev = p->maxInside.load();
    while (now > prev && !p->maxInside.compare_exchange_weak(prev, now)) {
    }
    p->seenId = id;
    if (msg != 0 || dw1 != 0 || dw2 != 0 || timerCurrentDeadlineNs() == 0) {
        p->deadlineSeen = false;
    }
    if (p->slow) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (const int n = p->calls.load(); n < static_cast<int>(p->deadlines.size())) {
        p->deadlines[static_cast<size_t>(n)] = timerCurrentDeadlineNs();
    }
    ++p->calls;
    if (p->killFromInside.exchange(false)) {
        p->killResult = timeKillEvent(id);
    }
    --p->inside;
}

}  // namespace

class PeriodicTimerTest : public QObject {
    Q_OBJECT

private slots:
    void callsPeriodicallyOnItsOwnThreadWithTheCallersValue() {
        Probe p;
        const uint32_t id =
            timeSetEvent(2, 0, onTick, reinterpret_cast<uintptr_t>(&p), TIME_PERIODIC);
        QVERIFY(id != 0);
        QTRY_VERIFY(p.calls >= 5);
        QCOMPARE(timeKillEvent(id), TIMERR_NOERROR);
        QCOMPARE(p.seenId.load(), id);
        QVERIFY(p.deadlineSeen);
        QCOMPARE(p.maxInside.load(), 1);
        QCOMPARE(timerCurrentDeadlineNs(), int64_t{0});  // not inside a callback here
    }

    // The calls sit on a grid of whole periods from the start, however late a call wakes up; an
    // overrun skips grid points, it never shifts the grid.
    void deadlinesLieOnTheTwoMillisecondGrid_data() {
        QTest::addColumn<bool>("overrun");
        QTest::newRow("on time") << false;
        QTest::newRow("each call overruns") << true;
    }
    void deadlinesLieOnTheTwoMillisecondGrid() {
        QFETCH(bool, overrun);
        Probe p;
        p.slow = overrun;
        const int64_t before = timerMonotonicNowNs();
        const uint32_t id =
            timeSetEvent(2, 0, onTick, reinterpret_cast<uintptr_t>(&p), TIME_PERIODIC);
        const int64_t after = timerMonotonicNowNs();
        QTRY_VERIFY(p.calls >= static_cast<int>(p.deadlines.size()));
        QCOMPARE(timeKillEvent(id), TIMERR_NOERROR);
        constexpr int64_t kPeriodNs = 2'000'000;
        // The first grid point is one period after the start.
        QVERIFY(p.deadlines[0] >= before + kPeriodNs && p.deadlines[0] <= after + kPeriodNs);
        for (size_t i = 1; i < p.deadlines.size(); ++i) {
            const int64_t step = p.deadlines[i] - p.deadlines[i - 1];
            QVERIFY2(step > 0 && step % kPeriodNs == 0, qPrintable(QString::number(step)));
            if (!overrun) {
                continue;
            }
            QVERIFY2(step >= 3 * kPeriodNs, qPrintable(QString::number(step)));  // 5 ms calls
        }
    }

    void noCallbackRunsOrStartsAfterKillReturns() {
        Probe p;
        p.slow = true;  // overruns the 2 ms period: the stop must still wait for it
        const uint32_t id =
            timeSetEvent(2, 0, onTick, reinterpret_cast<uintptr_t>(&p), TIME_PERIODIC);
        QTRY_VERIFY(p.calls >= 3);
        QCOMPARE(timeKillEvent(id), TIMERR_NOERROR);
        QCOMPARE(p.inside.load(), 0);
        const int after = p.calls;
        QTest::qWait(30);
        QCOMPARE(p.calls.load(), after);
        QCOMPARE(p.maxInside.load(), 1);  // overruns skip ahead, never overlap
    }

    void killFromItsOwnCallbackEndsTheTimer() {
        Probe p;
        p.killFromInside = true;
        const uint32_t id =
            timeSetEvent(2, 0, onTick, reinterpret_cast<uintptr_t>(&p), TIME_PERIODIC);
        QTRY_COMPARE(p.killResult.load(), TIMERR_NOERROR);
        QTRY_COMPARE(p.inside.load(), 0);
        QTest::qWait(20);
        QCOMPARE(p.calls.load(), 1);
        QCOMPARE(timeKillEvent(id), MMSYSERR_INVALPARAM);  // already gone
    }

    void oneShotFiresOnce() {
        Probe p;
        const uint32_t id =
            timeSetEvent(3, 0, onTick, reinterpret_cast<uintptr_t>(&p), TIME_ONESHOT);
        QTRY_COMPARE(p.calls.load(), 1);
        QTest::qWait(20);
        QCOMPARE(p.calls.load(), 1);
        QCOMPARE(timeKillEvent(id), TIMERR_NOERROR);
    }

    void refusesBadArgumentsAndUnknownIds() {
        Probe p;
        QCOMPARE(timeSetEvent(0, 0, onTick, 0, TIME_PERIODIC), 0u);
        QCOMPARE(timeSetEvent(2, 0, nullptr, 0, TIME_PERIODIC), 0u);
        QCOMPARE(timeKillEvent(0), MMSYSERR_INVALPARAM);
        QCOMPARE(timeKillEvent(0xFFFFFFF0u), MMSYSERR_INVALPARAM);
        const uint32_t a = timeSetEvent(2, 0, onTick, reinterpret_cast<uintptr_t>(&p), 1);
        const uint32_t b = timeSetEvent(2, 0, onTick, reinterpret_cast<uintptr_t>(&p), 1);
        QVERIFY(a != b);
        QCOMPARE(timeKillEvent(a), TIMERR_NOERROR);
        QCOMPARE(timeKillEvent(a), MMSYSERR_INVALPARAM);
        QCOMPARE(timeKillEvent(b), TIMERR_NOERROR);
    }
};

QTEST_GUILESS_MAIN(PeriodicTimerTest)
#include "periodictimer_test.moc"
