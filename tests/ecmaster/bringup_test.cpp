// Bus bring-up and teardown of the master against simulated chains: adapters, the attempts of
// connectBus, the result codes of initBus, the choice of valid drives and the bus bounds.
#include <QTest>

#include <algorithm>
#include <cstring>

#include "master_fixture.h"

using mastertest::SignalSink;
using mastertest::SimAdapter;

namespace {

// Drives the chain to OPERATIONAL with the bare stack, as a previous session would leave it.
void leaveChainInOp(const char* adapter) {
    static uint8_t image[kProcessImageBytes];
    QVERIFY(ec_init(adapter) > 0);
    QVERIFY(ec_config_init(FALSE) > 0);
    QVERIFY(ecx_config_map_sized(&ecx_context, image, sizeof image) > 0);
    // Without the SM watchdog the drive stays OPERATIONAL when the outputs stop coming.
    const uint16_t noWatchdog = 0;
    for (int s = 1; s <= ec_slavecount; ++s) {
        QCOMPARE(ec_FPWR(ec_slave[s].configadr, 0x0420, 2, &noWatchdog, 2000), 1);
    }
    for (uint16_t state : {EC_STATE_PRE_OP, EC_STATE_SAFE_OP, EC_STATE_OPERATIONAL}) {
        ec_send_processdata();
        ec_receive_processdata(2000);
        ec_slave[0].state = state;
        ec_writestate(0);
        QCOMPARE(ec_statecheck(0, state, 2000000), state);
    }
    ec_close();
}

}  // namespace

class BringUpTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { registerModelMetaTypes(); }

    void listsRegisteredAdaptersWithTheirDeviceNames() {
        SimAdapter bus("t-list", sim::ChainConfig::drives(1));
        ecmaster m;
        const QStringList descs = m.listAdapters();
        const int at = static_cast<int>(descs.indexOf(QStringLiteral("test chain t-list")));
        QVERIFY(at >= 0);
        QCOMPARE(static_cast<int>(m.adapters.size()), descs.size());
        QCOMPARE(m.adapters[static_cast<size_t>(at)].second, QStringLiteral("t-list"));
        m.listAdapters();  // refresh, not append
        QCOMPARE(static_cast<int>(m.adapters.size()), descs.size());
    }

    void bringsUpDrivesBehindACouplerAndRefusesASecondConnect() {
        SimAdapter bus("t-coupler", mastertest::couplerThenDrives(3));
        ecmaster m;
        SignalSink sink(m);
        QVERIFY(m.connectBus(bus.adapter()));
        QVERIFY(m.connected);
        QCOMPARE(m.validDrives, (QList<int32_t>{2, 3, 4}));
        QCOMPARE(m.expectedWKC.load(), 9);
        QCOMPARE(m.selectedSlave.load(), 2);
        QVERIFY(m.images[1].outputs == nullptr);  // the coupler takes no table entry
        for (int slave : {2, 3, 4}) {
            // Bring-up ends in speed-ramp mode, written around the command records.
            const DriveOutputImage out = decodeOutputImage(m.images[size_t(slave)].outputs);
            QCOMPARE(out.mode, kModeSpeedRamp);
            QCOMPARE(out.controlWord, uint16_t{0});
            QCOMPARE(m.commands[size_t(slave)].mode, uint16_t{0});
        }
        // The selected drive's values flow at once; the last mode check has passed.
        QTRY_VERIFY(!sink.values.empty());
        QTRY_COMPARE(sink.values.back().modeDisplay, int16_t(kModeSpeedRamp));
        QTRY_VERIFY(sink.contains(QStringLiteral("[Init] 3 slaves valid!")));
        QVERIFY(sink.contains(QStringLiteral("[Init] 4 slaves found!")));

        QVERIFY(!m.connectBus(bus.adapter()));  // already connected: refused, bus untouched
        QVERIFY(m.connected);
        QCOMPARE(bus.chain->alState(2), uint8_t{EC_STATE_OPERATIONAL});
        m.disconnectBus();
        QVERIFY(!m.connected);
        QCOMPARE(bus.chain->alState(2), uint8_t{EC_STATE_INIT});
        QCOMPARE(m.validDrives.size(), 3);  // kept until the next bring-up
    }

    void reportsAnAdapterThatCannotBeOpened() {
        ecmaster m;
        SignalSink sink(m);
        QCOMPARE(m.initBus("zt-no-such-adapter"), kBusUnusable);
        QTRY_VERIFY(
            sink.contains(QStringLiteral("[Init] Initialization on zt-no-such-adapter failed.")));
    }

    void refusesABusWithoutDrives() {
        SimAdapter bus("t-coupler-only", mastertest::couplerThenDrives(0));
        ecmaster m;
        SignalSink sink(m);
        QCOMPARE(m.initBus(bus.adapter()), kBusUnusable);
        QTRY_VERIFY(sink.contains(QStringLiteral("[Init] 没有有效从站.")));
        QVERIFY(!m.connected);
    }

    void refusesABusBeyondTheTablesOrTheImage() {
        {
            sim::ChainConfig cfg;
            for (int i = 0; i <= kMaxSlaves; ++i) {
                cfg.slaves.push_back(sim::SlaveConfig::coupler());
            }
            SimAdapter bus("t-33", cfg);
            ecmaster m;
            SignalSink sink(m);
            QCOMPARE(m.initBus(bus.adapter()), kBusUnusable);
            QTRY_VERIFY(sink.contains(QStringLiteral("[Init] Bus refused: more than 32 slaves.")));
            QVERIFY(sink.contains(QStringLiteral("[Init] 33 slaves found!")));
        }
        {
            SimAdapter bus("t-21", sim::ChainConfig::drives(kMaxDrivesInImage + 1));
            ecmaster m;
            SignalSink sink(m);
            QCOMPARE(m.initBus(bus.adapter()), kBusUnusable);
            QTRY_VERIFY(sink.contains(QStringLiteral(
                "[Init] Bus refused: process image of 1050 bytes exceeds the 1024-byte buffer.")));
            QVERIFY(std::all_of(m.IOmap.begin(), m.IOmap.end(), [](uint8_t b) { return b == 0; }));
        }
    }

    void choosesDrivesWithOutputsAndWithoutPreOpError() {
        ecmaster m;
        SignalSink sink(m);
        uint8_t image[4][kDriveImageBytes];
        std::memset(image, 0xAB, sizeof image);
        const int savedCount = ec_slavecount;
        ec_slavecount = 4;
        for (int s = 1; s <= 4; ++s) {
            ec_slave[s].outputs = image[s - 1];
            ec_slave[s].Obytes = kDriveOutputBytes;
            ec_slave[s].inputs = image[s - 1] + kDriveOutputBytes;
            ec_slave[s].Ibytes = kDriveInputBytes;
            ec_slave[s].state = EC_STATE_PRE_OP;
        }
        ec_slave[2] = ec_slavet{};  // a coupler
        ec_slave[2].state = EC_STATE_PRE_OP;
        ec_slave[3].state = EC_STATE_PRE_OP | EC_STATE_ERROR;  // 0x12
        m.chooseValidDrives();
        for (int s = 1; s <= 4; ++s) {
            ec_slave[s] = ec_slavet{};
        }
        ec_slavecount = savedCount;

        QCOMPARE(m.validDrives, (QList<int32_t>{1, 4}));
        QCOMPARE(m.expectedWKC.load(), 6);
        QVERIFY(m.images[2].outputs == nullptr);
        QVERIFY(m.images[3].outputs == nullptr);
        QVERIFY(m.images[4].inputs == image[3] + kDriveOutputBytes);
        // Command records and output images zeroed; inputs untouched.
        QCOMPARE(decodeOutputImage(image[3]), DriveOutputImage{});
        QCOMPARE(image[3][kDriveOutputBytes], uint8_t{0xAB});
        QCOMPARE(image[2][0], uint8_t{0xAB});
    }

    // An I/O terminal between the drives maps a 2-byte image: it is no drive, and each drive
    // gets the commands meant for it.
    void leavesASlaveWithASmallerImageAlone() {
        sim::ChainConfig cfg = sim::ChainConfig::drives(2);
        cfg.slaves.insert(cfg.slaves.begin() + 1, sim::SlaveConfig::ioTerminal());
        SimAdapter bus("t-terminal", cfg);
        ecmaster m;
        SignalSink sink(m);
        QVERIFY(m.connectBus(bus.adapter()));
        QCOMPARE(m.validDrives, (QList<int32_t>{1, 3}));
        QCOMPARE(m.expectedWKC.load(), 9);  // the terminal's share counts
        QVERIFY(m.images[2].outputs == nullptr && m.images[2].inputs == nullptr);
        QTRY_VERIFY(sink.contains(
            QStringLiteral("[Init] Slave 2 is no drive (2 output / 2 input bytes), left alone.")));

        const auto received = [&](int position) {  // outputs as the slave holds them
            std::vector<uint8_t> b;
            bus.chain->withSlave(position, [&](sim::Esc& esc, sim::SlaveApplication*) {
                const auto w = esc.smWindow(2);
                b.assign(w.begin(), w.end());
            });
            return b;
        };
        m.setCommandWordAll(kCmdControlWord, 0x0006);
        m.setCommandValueAll(kCmdVelocity, 1.0f);
        m.setCommandWord(kCmdControlWord, 0x0007, 1);
        QTRY_COMPARE(decodeOutputImage(received(3).data()).controlWord, uint16_t{7});
        QTRY_COMPARE(decodeOutputImage(received(1).data()).targetVelocity, 10000000);
        QCOMPARE(decodeOutputImage(received(1).data()).controlWord, uint16_t{6});
        QCOMPARE(received(2), (std::vector<uint8_t>{0, 0}));
        QCOMPARE(m.wkc.load(), 9);
        m.disconnectBus();
    }

    void stopsAtOnceWhenASlaveStaysOperational() {
        SimAdapter bus("t-stuck", sim::ChainConfig::drives(1));
        leaveChainInOp(bus.adapter());
        if (QTest::currentTestFailed()) {
            return;
        }
        bus.faults->swallowAl = true;  // AL requests are lost: the drive stays OPERATIONAL
        ecmaster m;
        SignalSink sink(m);
        QVERIFY(!m.connectBus(bus.adapter()));
        QTRY_VERIFY2(sink.contains(QStringLiteral("电机状态异常，请重新上电！")),
                     qPrintable(sink.lines.join(QLatin1Char('|'))));
        QCOMPARE(sink.count(QStringLiteral("[Init] 1 slaves found!")), 1);  // one attempt only
        QVERIFY(sink.contains(
            QStringLiteral("[EtherCAT Error] Slave 1 State=0x08 StatusCode=0x0000 : No error\n")));
        QVERIFY(sink.contains(QStringLiteral("EC_STATE_PRE_OP error")));
        bus.faults->swallowAl = false;
    }

    void reportsEachSlaveThatRefusesAState() {
        SimAdapter bus("t-refuse", sim::ChainConfig::drives(2));
        bus.chain->refuseState(2, EC_STATE_SAFE_OP, 0x001D);
        ecmaster m;
        SignalSink sink(m);
        QCOMPARE(m.initBus(bus.adapter()), kBusStateNotReached);
        QTRY_VERIFY(sink.contains(
            QStringLiteral("[EtherCAT Error] Slave 2 State=0x12 StatusCode=0x001d : Invalid output "
                           "configuration\n")));
        QVERIFY(!sink.lines.filter(QStringLiteral("[EtherCAT Error] Slave 1 ")).size());
        QVERIFY(!m.connected);
    }

    void modeCheckFailureDisconnects() {
        auto cfg = sim::ChainConfig::drives(2);
        cfg.slaves[1].ignoresMode = true;  // keeps reporting mode 0
        SimAdapter bus("t-deaf", cfg);
        ecmaster m;
        SignalSink sink(m);
        QCOMPARE(m.initBus(bus.adapter()), kBusModeCheckFailed);
        QVERIFY(!m.connected);
        QCOMPARE(m.timerId, 0u);
        QTRY_VERIFY(sink.contains(QStringLiteral("Communication error")));
        QCOMPARE(bus.chain->alState(1), uint8_t{EC_STATE_INIT});
    }

    // Slow (ten attempts of about 2 s: each falls back through an INIT request nobody answers).
    void tenAttemptsOnAnEmptyBus() {
        SimAdapter bus("t-empty", sim::ChainConfig{});
        ecmaster m;
        SignalSink sink(m);
        QVERIFY(!m.connectBus(bus.adapter()));
        QTRY_COMPARE(sink.count(QStringLiteral("[Init] No slaves found!")), 10);
        QVERIFY(!m.connected);
    }
};

QTEST_GUILESS_MAIN(BringUpTest)
#include "bringup_test.moc"
