// The periodic timer: a 2 ms grid on its own thread, and the stop the master's teardown relies on.
#include <QTest>

#include <array>
#include <atomic>
#include <thread>
#include <tuple>

#include "ethercat.h"
#include "periodictimer.h"

namespace {

struct Probe {
    std::atomic<int> calls{0}, inside{0}, maxInside{0};  // callbacks running now, most at once
    std::atomic<uint32_t> seenId{0}, killResult{99};
    std::atomic<bool> argumentsOk{true}, killFromInside{false}, slow{false}, policyOk{false};
    std::array<std::atomic<int64_t>, 8> deadlines{};  // of the first calls
    uintptr_t user() { return reinterpret_cast<uintptr_t>(this); }
};

void onTick(uint32_t id, uint32_t msg, uintptr_t user, uintptr_t dw1, uintptr_t dw2) {
    auto* p = reinterpret_cast<Probe*>(user);
    const int now = ++p->inside;
    for (int prev = p->maxInside; now > prev && !p->maxInside.compare_exchange_weak(prev, now);) {
    }
    p->seenId = id, p->policyOk = timerThreadIsRealtime() == (sched_getscheduler(0) == SCHED_FIFO);
    p->argumentsOk = p->argumentsOk && msg == 0 && dw1 == 0 && dw2 == 0;
    if (p->slow)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (const int n = p->calls; n < static_cast<int>(p->deadlines.size()))
        p->deadlines[size_t(n)] = timerCurrentDeadlineNs();
    ++p->calls;
    if (p->killFromInside.exchange(false))
        p->killResult = timeKillEvent(id);
    --p->inside;
}

}  // namespace

class PeriodicTimerTest : public QObject {
    Q_OBJECT

private slots:
    // Calls on a whole 2 ms grid, overruns skip points, no overlap; nothing after the stop.
    void deadlinesLieOnTheTwoMillisecondGrid_data() {
        QTest::addColumn<bool>("overrun");
        QTest::newRow("on time") << false;
        QTest::newRow("each call overruns") << true;
    }
    void deadlinesLieOnTheTwoMillisecondGrid() {
        QFETCH(bool, overrun);
        Probe p;
        p.slow = overrun;
        const uint32_t id = timeSetEvent(2, 0, onTick, p.user(), TIME_PERIODIC);
        QVERIFY(id != 0);
        QTRY_VERIFY(p.calls >= static_cast<int>(p.deadlines.size()));
        QCOMPARE(timeKillEvent(id), TIMERR_NOERROR);
        const int after = p.calls;
        QCOMPARE((std::tuple{p.inside.load(), p.maxInside.load(), p.seenId.load(),
                             p.argumentsOk && p.policyOk, timerCurrentDeadlineNs()}),
                 std::tuple(0, 1, id, true, int64_t{0}));  // not inside a callback here
        constexpr int64_t kPeriodNs = 2'000'000;
        for (size_t i = 1; i < p.deadlines.size(); ++i) {
            const int64_t step = p.deadlines[i] - p.deadlines[i - 1];
            QVERIFY2(step > 0 && step % kPeriodNs == 0 && (!overrun || step >= 3 * kPeriodNs),
                     qPrintable(QString::number(step)));
        }
        QTest::qWait(30);
        QCOMPARE(p.calls.load(), after);
    }

    void killFromInsideAndBadArguments() {
        Probe p;
        p.killFromInside = true;
        const uint32_t id = timeSetEvent(2, 0, onTick, p.user(), TIME_PERIODIC);
        QTRY_COMPARE(std::pair(p.killResult.load(), p.inside.load()), std::pair(TIMERR_NOERROR, 0));
        QTest::qWait(20);
        QCOMPARE(p.calls.load(), 1);
        QCOMPARE((std::tuple{timeKillEvent(id), timeSetEvent(0, 0, onTick, 0, TIME_PERIODIC),
                             timeSetEvent(2, 0, nullptr, 0, TIME_PERIODIC), timeKillEvent(0),
                             timeKillEvent(0xFFFFFFF0u)}),  // the first one already gone
                 std::tuple(MMSYSERR_INVALPARAM, 0u, 0u, MMSYSERR_INVALPARAM, MMSYSERR_INVALPARAM));
        const uint32_t a = timeSetEvent(2, 0, onTick, p.user(), 1),
                       b = timeSetEvent(2, 0, onTick, p.user(), 1);
        QVERIFY(a != b);
        QCOMPARE((std::tuple{timeKillEvent(a), timeKillEvent(a), timeKillEvent(b)}),  // in order
                 std::tuple(TIMERR_NOERROR, MMSYSERR_INVALPARAM, TIMERR_NOERROR));
    }

    // The stack's threads: 1 and joinable (tiny stacks raised); 0 without handle or function.
    void osalThreadsStartOnlyWithAFunctionAndAHandle() {
        static std::atomic<int> ran{0};
        void (*bump)(void*) = [](void*) { ++ran; };
        osal_thread_handle handle = 0;
        for (const int stack : {0, 1}) {
            QCOMPARE(osal_thread_create(&handle, stack, reinterpret_cast<void*>(bump), nullptr), 1);
            QCOMPARE(osal_thread_join(&handle), 1);
        }
        QCOMPARE(std::pair(ran.load(), osal_usleep(100)), std::pair(2, 0));  // a sleep done: 0
        QCOMPARE(osal_thread_create(nullptr, 0, bump, nullptr), 0);
        QCOMPARE(osal_thread_create(&handle, 0, static_cast<void*>(nullptr), nullptr), 0);
        handle = pthread_self();  // a join that cannot be: 0, as without a handle
        QCOMPARE(std::pair(osal_thread_join(&handle), osal_thread_join(nullptr)), std::pair(0, 0));
    }
};

QTEST_GUILESS_MAIN(PeriodicTimerTest)
#include "periodictimer_test.moc"
