// CiA 402 drive state control: codes and texts from status words, the enable and disable walks
// against simulated drives, a faulted drive and a drive that refuses a step.
#include <QElapsedTimer>
#include <QTest>

#include "master_fixture.h"

using mastertest::SignalSink;
using mastertest::SimAdapter;
using mastertest::WrappedDrive;

using Words = std::vector<uint16_t>;

class DriveStateTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { registerModelMetaTypes(); }

    void stateFromStatusWord_data() {
        QTest::addColumn<int>("statusWord");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("switch on disabled 0x0250") << 0x0250 << 1 << "初始化完成";
        QTest::newRow("low byte 0x10") << 0x0010 << 1 << "初始化完成";
        QTest::newRow("not ready") << 0x0200 << 0 << "初始化";
        QTest::newRow("ready to switch on") << 0x0231 << 2 << "伺服准备好";
        QTest::newRow("switched on") << 0x0233 << 3 << "伺服等待";
        QTest::newRow("low byte 0x30 is switched on") << 0x0030 << 3 << "伺服等待";
        QTest::newRow("operation enabled") << 0x0237 << 4 << "伺服运行";
        QTest::newRow("quick stop active") << 0x0217 << 5 << "急停";
        QTest::newRow("fault reaction active") << 0x021F << 6 << "故障停机";
        QTest::newRow("fault") << 0x0218 << 7 << "故障";
        QTest::newRow("unknown") << 0x0001 << 8 << "未知状态";
    }
    void stateFromStatusWord() {
        QFETCH(int, statusWord);
        QFETCH(int, code);
        QFETCH(QString, text);
        ecmaster m;
        uint8_t image[kDriveImageBytes] = {};
        m.images[1] = {image, image + kDriveOutputBytes};
        m.validDrives = {1};
        storeLe16(image + kDriveOutputBytes, static_cast<uint16_t>(statusWord));
        QCOMPARE(m.driveState(1), code);
        QCOMPARE(m.driveStateOf(0), code);
        QCOMPARE(ecmaster::driveStateName(code), text);
        QCOMPARE(m.driveStateOf(1), int{kDriveUnknown});  // index equal to the drive count
        m.images[1] = {};
    }

    void enableWalksUpAndDisableWalksDown() {
        SimAdapter bus("d-walk", sim::ChainConfig::drives(1));
        WrappedDrive drive(*bus.chain, 1);
        ecmaster m;
        SignalSink sink(m);
        QVERIFY(m.connectBus(bus.adapter()));
        QCOMPARE(m.driveState(1), int{kDriveSwitchOnDisabled});  // 0x0250 at power-up
        drive->clearControlWords();

        QElapsedTimer t;
        t.start();
        QVERIFY(m.enableDrive(0));
        QVERIFY(t.elapsed() >= 150);  // three steps of at least 50 ms
        QVERIFY(m.enabled);
        QCOMPARE(drive->controlWords(), (Words{6, 7, 15}));
        QCOMPARE(m.commands[1].controlWord, uint16_t{15});
        QVERIFY(!m.busy);

        QVERIFY(!m.enableDrive(0));
        QTRY_VERIFY(sink.contains(QStringLiteral("Is in enable, cannot enable!")));

        drive->clearControlWords();
        QVERIFY(m.enableSlave(1));  // already enabled: nothing to send
        QTest::qWait(10);
        QCOMPARE(drive->controlWords(), Words{});

        QVERIFY(m.disableDrive(0));
        QVERIFY(!m.enabled);
        QCOMPARE(m.driveState(1), int{kDriveReadyToSwitchOn});
        QCOMPARE(drive->controlWords(), (Words{7, 6}));
        QVERIFY(!m.disableDrive(0));
        QTRY_VERIFY(sink.contains(QStringLiteral("Not in enable, cannot Disable!")));
        m.disconnectBus();
    }

    void faultedDriveIsNotStepped() {
        auto cfg = sim::ChainConfig::drives(1);
        cfg.slaves[0].powerUpFaultWord = 0x1;  // powers up faulted
        SimAdapter bus("d-fault", cfg);
        ecmaster m;
        SignalSink sink(m);
        QVERIFY(m.connectBus(bus.adapter()));
        QTRY_COMPARE(m.driveState(1), int{kDriveFault});
        QVERIFY(!m.enableDrive(0));
        QVERIFY(!m.enabled);
        QVERIFY(!m.stepEnable(1));
        m.enabled = true;
        QVERIFY(!m.disableDrive(0));
        QVERIFY(m.enabled);
        QTRY_VERIFY(sink.contains(QStringLiteral("当前状态:故障无法Disable")));
        QVERIFY(sink.contains(QStringLiteral("当前状态:故障无法Enable")));
        QCOMPARE(sink.lines.filter(QStringLiteral("无法Enable")).size(),
                 1);  // from stepEnable only
        m.enabled = false;
        m.disconnectBus();
    }

    void enableAllStopsAtADriveThatRefusesAStep() {
        auto cfg = sim::ChainConfig::drives(3);
        cfg.slaves[1].ignoredControlWords = {7};  // never switches on: stays ready to switch on
        SimAdapter bus("d-all", cfg);
        WrappedDrive third(*bus.chain, 3);
        ecmaster m;
        QVERIFY(m.connectBus(bus.adapter()));
        third->clearControlWords();
        QVERIFY(!m.enableAllDrives());
        QVERIFY(!m.enabled);
        QCOMPARE(m.driveState(1), int{kDriveOperationEnabled});
        QCOMPARE(m.driveState(2), int{kDriveReadyToSwitchOn});
        QCOMPARE(m.driveState(3), int{kDriveSwitchOnDisabled});
        QCOMPARE(third->controlWords(), Words{});
        m.disconnectBus();
    }

    void enableNeedsTheBus() {
        ecmaster m;
        SignalSink sink(m);
        QVERIFY(!m.enableDrive(0));
        QVERIFY(!m.enableSlave(1));
        QTRY_VERIFY(sink.contains(QStringLiteral("Not connected, cannot Enable!")));
        // No bus, no drives: nothing was enabled, so nothing may be marked so.
        QVERIFY(!m.enableAllDrives());
        QVERIFY(!m.enabled);
    }
};

QTEST_GUILESS_MAIN(DriveStateTest)
#include "drivestate_test.moc"
