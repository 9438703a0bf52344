// The supervision thread: quiet on a healthy bus, steering a dropped drive back to OPERATIONAL,
// declaring a pulled drive lost once, and ending with the master.
#include <QTest>

#include "master_fixture.h"

using mastertest::SignalSink;
using mastertest::SimAdapter;

namespace {

// Connects and waits until the bring-up's lines have arrived, then forgets them.
bool connectQuietly(ecmaster& m, SignalSink& sink, const SimAdapter& bus, int drives) {
    if (!m.connectBus(bus.adapter())) {
        return false;
    }
    const QString valid = QStringLiteral("[Init] %1 slaves valid!").arg(drives);
    if (!QTest::qWaitFor([&] { return sink.contains(valid); })) {
        return false;
    }
    QTest::qWait(20);
    sink.clear();
    return true;
}

}  // namespace

class SupervisionTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { registerModelMetaTypes(); }

    void healthyBusLogsNothing() {
        SimAdapter bus("s-healthy", sim::ChainConfig::drives(2));
        ecmaster m;
        SignalSink sink(m);
        QVERIFY(connectQuietly(m, sink, bus, 2));
        QTest::qWait(200);
        QCOMPARE(sink.lines, QStringList{});
        QCOMPARE(sink.lost, 0);
        // It was quiet while watching: a shortfall of the working counter gets a check at once.
        bus.faults->shortWkcReplies = 25;
        const QString ok = QStringLiteral("OK : all slaves resumed OPERATIONAL.");
        QTRY_VERIFY(sink.contains(ok));
        QCOMPARE(sink.count(ok), static_cast<int>(sink.lines.size()));
        m.disconnectBus();
    }

    void safeOpErrorIsAcknowledgedAndTheDriveReturnsToOp() {
        SimAdapter bus("s-safeop", sim::ChainConfig::drives(2));
        ecmaster m;
        SignalSink sink(m);
        QVERIFY(connectQuietly(m, sink, bus, 2));
        bus.chain->forceSafeOpError(2, 0x001B);
        // The shortfall that makes supervision look, long enough for its 10 ms loop to see it.
        bus.faults->shortWkcReplies = 25;
        QTRY_VERIFY2(sink.contains(QStringLiteral("OK : all slaves resumed OPERATIONAL.")),
                     qPrintable(sink.lines.join(QLatin1Char('|'))));
        QCOMPARE(sink.lines.first(),
                 QStringLiteral("ERROR : slave 2 is in SAFE_OP + ERROR, attempting ack."));
        QCOMPARE(sink.lines.value(1),
                 QStringLiteral("WARNING : slave 2 is in SAFE_OP, change to OPERATIONAL."));
        QVERIFY(sink.lines.filter(QStringLiteral("slave 1")).isEmpty());
        QCOMPARE(bus.chain->alState(2), uint8_t{EC_STATE_OPERATIONAL});
        QTest::qWait(60);
        // Once back, only further quiet checks (while the shortfall lasts) may speak.
        for (const QString& line : sink.lines.mid(2)) {
            QCOMPARE(line, QStringLiteral("OK : all slaves resumed OPERATIONAL."));
        }
        m.disconnectBus();
    }

    // A drive dropped to INIT is reconfigured; one that refuses SAFE-OP on the way up is not
    // reported as reconfigured.
    void failedReconfigurationIsNotReported() {
        SimAdapter bus("s-reconfig", sim::ChainConfig::drives(2));
        ecmaster m;
        SignalSink sink(m);
        QVERIFY(connectQuietly(m, sink, bus, 2));
        bus.chain->refuseState(2, EC_STATE_SAFE_OP, 0x001D);
        const uint16_t init = EC_STATE_INIT;
        QCOMPARE(ec_FPWR(ec_slave[2].configadr, 0x0120, sizeof init, &init, 2000), 1);
        // INIT with the error shows only when a second attempt starts, after the first returned
        // (PRE-OP with the error of the refused SAFE-OP).
        QTRY_COMPARE(bus.chain->alState(2), uint8_t{EC_STATE_INIT | EC_STATE_ERROR});
        QCOMPARE(bus.chain->alStatusCode(2), uint16_t{0x001D});
        QCoreApplication::processEvents();  // what the first attempt logged
        QCOMPARE(sink.count(QStringLiteral("MESSAGE : slave 2 reconfigured.")), 0);
        m.disconnectBus();
    }

    void pulledCableLosesTheDriveOnce() {
        SimAdapter bus("s-pull", sim::ChainConfig::drives(2));
        ecmaster m;
        SignalSink sink(m);
        QVERIFY(connectQuietly(m, sink, bus, 2));
        m.enabled = true;
        bus.chain->pullDrive(2);
        QTRY_COMPARE(sink.lost, 1);
        QTRY_COMPARE(sink.count(QStringLiteral("ERROR : slave 2 lost.")), 1);
        QVERIFY(!m.enabled);
        QVERIFY(!m.inOperation);
        QTest::qWait(100);  // no further checks until the next bring-up
        QCOMPARE(sink.lost, 1);
        QCOMPARE(sink.count(QStringLiteral("ERROR : slave 2 lost.")), 1);
        QVERIFY(sink.lines.filter(QStringLiteral("slave 1")).isEmpty());
        bus.chain->plugDrive(2);
        m.disconnectBus();
    }

    void destructionEndsTheThread() {
        auto m = std::make_unique<ecmaster>();
        SignalSink sink(*m);
        m.reset();  // joins the thread before the members go
        QTRY_COMPARE(sink.count(QStringLiteral("End ethercat check.")), 1);
        QVERIFY(ecmaster::instance.load() == nullptr);
    }
};

QTEST_GUILESS_MAIN(SupervisionTest)
#include "supervision_test.moc"
