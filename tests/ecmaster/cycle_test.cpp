// The 2 ms cycle: when it sends, what it reports, the command setters it carries to the drives,
// the clock alignment, and that teardown leaves no cycle behind.
#include <QElapsedTimer>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <limits>

#include "master_fixture.h"

using mastertest::SignalSink;
using mastertest::SimAdapter;

namespace {

int64_t registerValue(sim::Chain& chain, int position, uint16_t address) {
    const std::vector<uint8_t> b = chain.readRegisters(position, address, 8);
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) {
        v = (v << 8) | b[static_cast<size_t>(i)];
    }
    return static_cast<int64_t>(v);
}

std::atomic<int> cyclesSeen{0};

void countCycle(int64_t, int64_t, int64_t, int64_t) {
    cyclesSeen.fetch_add(1);
}

}  // namespace

class CycleTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { registerModelMetaTypes(); }

    void sendsNothingBeforeConnected() {
        SimAdapter bus("c-idle", sim::ChainConfig::drives(1));
        ecmaster m;
        QVERIFY(ec_init(bus.adapter()) > 0);  // a link is open, the bus is not up
        const uint64_t frames = bus.chain->framesSeen();
        for (int i = 0; i < 5; ++i) {
            ecmaster::cycle(0, 0, 0, 0, 0);
        }
        QCOMPARE(bus.chain->framesSeen(), frames);
        ec_close();
    }

    void timestampsCountFromConstruction() {
        SimAdapter bus("c-stamp", sim::ChainConfig::drives(1));
        ecmaster m;
        QElapsedTimer sinceConstruction;
        sinceConstruction.start();
        SignalSink sink(m);
        QTest::qWait(200);
        const auto beforeConnect = static_cast<uint64_t>(sinceConstruction.nsecsElapsed());
        QVERIFY(m.connectBus(bus.adapter()));
        QTRY_VERIFY(sink.stamps.size() >= 3);
        QVERIFY(sink.stamps.front() >= beforeConnect);
        QVERIFY(std::is_sorted(sink.stamps.begin(), sink.stamps.end()));
        m.disconnectBus();
    }

    void selectedSlaveWithoutImageIsNotReported() {
        SimAdapter bus("c-noimage", mastertest::couplerThenDrives(1));
        ecmaster m;
        SignalSink sink(m);
        QVERIFY(m.connectBus(bus.adapter()));
        m.selectedSlave = 1;  // the coupler: no image-table entry
        QTest::qWait(20);
        sink.clear();
        const uint64_t frames = bus.chain->framesSeen();
        QTest::qWait(60);
        QVERIFY(sink.values.empty());
        QVERIFY(bus.chain->framesSeen() > frames);  // still exchanging and aligning
        QCOMPARE(m.wkc.load(), m.expectedWKC.load());
        m.selectDrive(0);
        QTRY_VERIFY(!sink.values.empty());
        m.disconnectBus();
    }

    void noCycleRunsAfterDisconnectReturns() {
        SimAdapter bus("c-teardown", sim::ChainConfig::drives(2));
        ecmaster m;
        QVERIFY(m.connectBus(bus.adapter()));
        QTest::qWait(20);
        m.disconnectBus();
        QCOMPARE(m.timerId, 0u);
        const uint64_t frames = bus.chain->framesSeen();
        QTest::qWait(40);
        QCOMPARE(bus.chain->framesSeen(), frames);
        // A new bring-up starts a new timer on the same master.
        QVERIFY(m.connectBus(bus.adapter()));
        QVERIFY(m.timerId != 0);
        m.disconnectBus();
    }

    void settersWriteRecordsAndImagesOfTheRightDrive() {
        SimAdapter bus("c-setters", sim::ChainConfig::drives(2));
        ecmaster m;
        SignalSink sink(m);
        QVERIFY(m.connectBus(bus.adapter()));
        m.setCommandValue(kCmdVelocity, 1.0f, 1);
        m.setCommandValue(kCmdTorque, 1.0f, 1);
        m.setCommandValue(kCmdPosition, -0.5f, 1);
        const DriveOutputImage second = decodeOutputImage(m.images[2].outputs);
        QCOMPARE(second.targetVelocity, 10000000);
        QCOMPARE(second.torque, int16_t{409});
        QCOMPARE(second.targetPosition, -32767);
        QCOMPARE(m.commands[2].velocity, 1.0f);
        QCOMPARE(decodeOutputImage(m.images[1].outputs).targetVelocity, 0);

        m.setCommandValue(kCmdVelocity, 2.0f, 2);     // index beyond the list: ignored
        m.setCommandValue(kCmdControlWord, 1.0f, 0);  // a word code on the float setter
        m.setCommandWord(kCmdVelocity, 1, 0);         // a float code on the word setter
        QTRY_COMPARE(sink.count(QStringLiteral("error with set parameter: 0")), 1);
        QTRY_COMPARE(sink.count(QStringLiteral("error with set parameter: 5")), 1);
        QCOMPARE(m.commands[1].velocity, 0.0f);

        // The mode reaches every drive and the drives report it; selection picks the drive.
        m.setCommandWordAll(kCmdMode, kModeProfilePosition);
        m.setCommandWord(kCmdMode, kModeForcePositionHybrid, 1);
        QTRY_VERIFY(!sink.values.empty() && sink.values.back().modeDisplay == 8);
        m.selectDrive(1);
        QCOMPARE(m.selectedSlave.load(), 2);
        QTRY_VERIFY(sink.values.back().modeDisplay == 10);
        m.selectDrive(2);
        QCOMPARE(m.selectedSlave.load(), 2);
        m.setCommandValueAll(kCmdKp, 100.0f);
        QCOMPARE(decodeOutputImage(m.images[1].outputs).kp, int16_t{25});
        QCOMPARE(decodeOutputImage(m.images[2].outputs).kp, int16_t{25});
        m.disconnectBus();
    }

    void missingImagesAreReportedNotWritten() {
        ecmaster m;
        SignalSink sink(m);
        m.resetCommandRecord(7);
        {
            QMutexLocker lock(&m.pdMutex);
            m.applyCommandField(7, kCmdTorque);
            m.applyCommandField(40, kCmdTorque);  // beyond the tables
        }
        QTRY_COMPARE(sink.count(QStringLiteral("Fail: null ptr warnning")), kCommandCodeCount);
        QTRY_COMPARE(sink.count(QStringLiteral("struct null ptr warnning.")), 2);
    }

    void alignmentPullsDriftingClocksOntoTheMastersClock() {
        sim::ChainConfig cfg = sim::ChainConfig::drives(2);
        cfg.slaves[0].driftPpm = 80.0;
        cfg.slaves[1].driftPpm = -120.0;
        cfg.slaves[1].localStartNs = 3'000'000'000'000LL;
        SimAdapter bus("c-dc", cfg);
        ecmaster m;
        QVERIFY(m.connectBus(bus.adapter()));
        // The process data and two frames of alignment per cycle, however many drives.
        ecmaster::setCycleProbe(countCycle);
        QTest::qWait(10);
        const int cycles = cyclesSeen.load();
        const uint64_t frames = bus.chain->framesSeen();
        QTest::qWait(90);
        const double perCycle =
            double(bus.chain->framesSeen() - frames) / std::max(1, cyclesSeen.load() - cycles);
        ecmaster::setCycleProbe(nullptr);
        QVERIFY2(perCycle < 3.5, qPrintable(QString::number(perCycle)));
        for (int position : {1, 2}) {
            const int64_t slaveTime = registerValue(*bus.chain, position, 0x0910);
            const int64_t masterTime = m.elapsedTimer.nsecsElapsed();
            // Unaligned the two would differ by decades; aligned by well under a cycle or two.
            QVERIFY2(std::llabs(masterTime - slaveTime) < 10'000'000,
                     qPrintable(QString::number(masterTime - slaveTime)));
        }
        m.disconnectBus();
    }

    // A garbage reading wraps around as the clock registers do instead of overflowing.
    void clockOffsetWrapsAroundOnAnyReading() {
        constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
        constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
        const struct {
            int64_t offset, masterNs, reading, aligned;
        } cases[] = {
            {100, 5'000, 4'000, 1'100},
            {-100, 4'000, 5'000, -1'100},
            {0, 3'000'000'000'000, 0, 3'000'000'000'000},
            {7, 10, kMin, kMin + 17},
            {7, 10, kMax, kMin + 18},
            {kMax, 1, 0, kMin},
            {kMin, 0, 1, kMax},
            {kMin, kMin, kMax, kMin + 1},
        };
        for (const auto& c : cases) {
            QCOMPARE(alignedClockOffset(c.offset, c.masterNs, c.reading), c.aligned);
        }
    }

    void unansweredClockReadLeavesTheOffsetAlone() {
        SimAdapter bus("c-dcloss", sim::ChainConfig::drives(1));
        ecmaster m;
        QVERIFY(m.connectBus(bus.adapter()));
        QTest::qWait(30);
        // The drive still acts on every frame; only the answers are lost.
        bus.chain->setFrameLoss(1.0, 7, sim::LossPoint::Return);
        QTest::qWait(20);
        const int64_t before = registerValue(*bus.chain, 1, 0x0920);
        QTest::qWait(60);
        QCOMPARE(registerValue(*bus.chain, 1, 0x0920), before);
        bus.chain->setFrameLoss(0.0, 7);
        m.disconnectBus();
    }
};

QTEST_GUILESS_MAIN(CycleTest)
#include "cycle_test.moc"
