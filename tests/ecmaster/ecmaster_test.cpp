// The master against simulated chains: bring-up to teardown, as the drives see it.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <ranges>
#include <thread>
#include <tuple>

#include "master_fixture.h"
#include "protocol.h"

using namespace mastertest;

class MasterTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { registerModelMetaTypes(); }

    void refusesBusesItCannotRun() {
        const QString refused =
            "[EtherCAT Error] Slave 1 State=0x12 StatusCode=0x001d : "
            "Invalid output configuration\n";
        for (const auto& [adapter, slaves, result, line] :
             std::initializer_list<std::tuple<QString, int, int, QString>>{
                 {"zt-none", -1, kBusUnusable, "[Init] Initialization on zt-none failed."},
                 {"t-c", 32, kBusUnusable, "[Init] 没有有效从站."},  // 32 taken, no drive
                 {"t-33", 33, kBusUnusable, "[Init] Bus refused: more than 32 slaves."},
                 {"t-21", 21, kBusUnusable,
                  "[Init] Bus refused: process image of 1050 bytes exceeds the 1024-byte buffer."},
                 {"t-refuse", 2, kBusStateNotReached, refused},
                 {"t-refuse1", 1, kBusStateNotReached, refused},  // one drive on the bench
                 {"t-deaf", 2, kBusModeCheckFailed, "Communication error"}}) {
            sim::ChainConfig cfg = sim::ChainConfig::drives(std::max(slaves, 1));
            if (slaves >= 32)
                cfg.slaves.assign(size_t(slaves), sim::SlaveConfig::coupler());
            if (adapter == "t-deaf")
                cfg.slaves[1].ignoresMode = true;  // keeps reporting mode 0
            else if (adapter.startsWith("t-refuse"))
                cfg.slaves[0].refusedStates[EC_STATE_SAFE_OP] = 0x001D;
            const auto bus =
                slaves < 0 ? nullptr : std::make_unique<SimAdapter>(adapter.toStdString(), cfg);
            ecmaster m;
            SignalSink sink(m);
            QCOMPARE(m.initBus(adapter.toUtf8().constData()), result);
            QTRY_VERIFY2(sink.contains(line), qPrintable(sink.lines.join(QLatin1Char('|'))));
            QVERIFY(!m.isConnected() && !m.cycleRunning());
            // Only the slave that refused is reported; a refused image is left zero.
            QVERIFY(sink.lines.filter(QStringLiteral("[EtherCAT Error] Slave 2 ")).isEmpty());
            QVERIFY(slaves != 21 || m.processImage().count(char(0)) == m.processImage().size());
            if (adapter == "t-deaf")
                QCOMPARE(bus->chain->alState(1), uint8_t{EC_STATE_INIT});
        }

        // Slow: ten attempts of about 2 s, each falling back through an unanswered INIT request.
        SimAdapter bus("t-empty", sim::ChainConfig{});
        ecmaster m;
        SignalSink sink(m);
        QVERIFY(!m.connectBus(bus.adapter()));
        QTRY_COMPARE(sink.count(QStringLiteral("[Init] No slaves found!")), 10);
    }

    // Coupler, drive, I/O terminal, drive: each drive gets its own commands; teardown to INIT.
    void bringsUpCommandsTheRightDrivesAndTearsDown() {
        sim::ChainConfig cfg = sim::ChainConfig::drives(2);
        cfg.slaves.insert(cfg.slaves.begin() + 1, sim::SlaveConfig::ioTerminal());
        cfg.slaves.insert(cfg.slaves.begin(), sim::SlaveConfig::coupler());
        SimAdapter bus("c-setters", cfg);
        ecmaster m;
        SignalSink sink(m);
        QVERIFY(m.connectBus(bus.adapter()) && m.validDriveList() == (QList<int32_t>{2, 4}));
        QCOMPARE(std::tuple(m.expectedWorkingCounter(), m.selectedSlaveNumber()), std::tuple(9, 2));
        QVERIFY(!m.driveOutputs(1).has_value());
        for (int slave : {2, 4})
            QCOMPARE(
                std::pair(m.driveOutputs(slave).value().mode, m.driveOutputs(slave)->controlWord),
                std::pair(kModeSpeedRamp, uint16_t{0}));
        QTRY_VERIFY(!sink.values.empty() && sink.values.back().modeDisplay == kModeSpeedRamp);
        QVERIFY(std::is_sorted(sink.stamps.begin(), sink.stamps.end()));
        // What the bring-up logged, each slave's configuration with it (reviewed once, in data/).
        QCOMPARE(sink.lines.join(u'\n') + u'\n', fileBytes(ZENTRIO_TEST_DATA_DIR "/bringup.log"));
        QVERIFY(!m.connectBus(bus.adapter()) && m.isConnected());  // refused, bus untouched
        const auto received = [&](int position) {
            std::vector<uint8_t> b;
            bus.chain->withSlave(position, [&](sim::Esc& esc, sim::SlaveApplication*) {
                b.assign(esc.smWindow(2).begin(), esc.smWindow(2).end());
            });
            return b;
        };
        m.setCommandWordAll(kCmdControlWord, 0x0006);
        m.setCommandValue(kCmdVelocity, 1.0f, 0);
        m.setCommandValue(kCmdTorque, 1.0f, 1);
        m.setCommandValue(kCmdPosition, -0.5f, 1);
        m.setCommandWord(kCmdControlWord, 0x0007, 1);
        m.setCommandValueAll(kCmdKp, 100.0f);
        QTRY_COMPARE(decodeOutputImage(received(4).data()).controlWord, uint16_t{7});
        QTRY_COMPARE(decodeOutputImage(received(2).data()).targetVelocity, 10000000);
        const DriveOutputImage first = decodeOutputImage(received(2).data()),
                               second = decodeOutputImage(received(4).data());
        using Four = std::tuple<int, int, int, int>;
        QCOMPARE(Four(first.controlWord, first.torque, first.kp, second.kp), Four(6, 0, 25, 25));
        QCOMPARE(Four(second.targetVelocity, second.torque, second.targetPosition, 0),
                 Four(0, 409, -32767, 0));
        QCOMPARE(received(3), (std::vector<uint8_t>{0, 0}));

        m.setCommandWordAll(kCmdMode, kModeProfilePosition);  // every drive reports its mode
        m.setCommandWord(kCmdMode, kModeForcePositionHybrid, 1);
        QTRY_VERIFY(!sink.values.empty() && sink.values.back().modeDisplay == 8);
        m.selectDrive(1);
        QCOMPARE(m.selectedSlaveNumber(), 4);
        QTRY_VERIFY(sink.values.back().modeDisplay == 10);
        m.selectDrive(2);  // beyond the list: selection stays
        QVERIFY(m.selectedSlaveNumber() == 4 && !m.driveInputs(2).has_value());
        QCOMPARE(m.driveInputs(1)->modeDisplay, int16_t{10});

        m.disconnectBus();
        QVERIFY(!m.isConnected() && !m.cycleRunning() && !m.isEnabled() &&
                bus.chain->alState(2) == EC_STATE_INIT);
        const uint64_t frames = bus.chain->framesSeen();
        QTest::qWait(40);
        QCOMPARE(bus.chain->framesSeen(), frames);  // no cycle after disconnect returned
        QCOMPARE(m.driveCount(), 2);                // kept until the next bring-up
        QVERIFY(m.connectBus(bus.adapter()) && m.cycleRunning());
    }

    void alignmentPullsDriftingClocksOntoTheMastersClock() {
        sim::ChainConfig cfg = sim::ChainConfig::drives(2);
        cfg.slaves[0].driftPpm = 80.0;
        cfg.slaves[1].driftPpm = -120.0, cfg.slaves[1].localStartNs = 3'000'000'000'000LL;
        SimAdapter bus("c-dc", cfg);
        ecmaster m;
        QVERIFY(m.connectBus(bus.adapter()));
        for (int position : {1, 2})  // unaligned they would differ by decades
            bus.chain->withSlave(position, [&m](sim::Esc& e, sim::SlaveApplication*) {
                const int64_t diff = m.masterClockNs() - int64_t(e.peek64(ec::kRegDcSystemTime));
                QVERIFY2(std::llabs(diff) < 10'000'000, qPrintable(QString::number(diff)));
                // SYNC0 every cycle, from a cycle boundary on.
                QVERIFY(e.peek(0x0981, 1)[0] == 3 && e.peek32(0x09A0) == 2'000'000 &&
                        e.peek64(0x0990) % 2'000'000 == 0);
            });
        m.disconnectBus();  // lost readings leave the offset: below
        // A garbage reading wraps around as the clock registers do instead of overflowing.
        constexpr int64_t kMin = std::numeric_limits<int64_t>::min(),
                          kMax = std::numeric_limits<int64_t>::max();
        // clang-format off
        const int64_t cases[][4] = {{100, 5'000, 4'000, 1'100}, {-100, 4'000, 5'000, -1'100},
            {0, 3'000'000'000'000, 0, 3'000'000'000'000}, {7, 10, kMin, kMin + 17},
            {7, 10, kMax, kMin + 18}, {kMax, 1, 0, kMin}, {kMin, 0, 1, kMax},
            {kMin, kMin, kMax, kMin + 1}};
        // clang-format on
        for (const auto& c : cases)
            QCOMPARE(alignedClockOffset(c[0], c[1], c[2]), c[3]);

        // 1000 ppm drifts: one write per answered reading, within 2 cycles' drift through losses.
        constexpr int64_t kPeriod = 2'000'000;
        struct Clock {
            double drift;
            int64_t localStart, offset;
            int64_t local(int64_t masterNs) const {
                return localStart + masterNs + static_cast<int64_t>(drift * double(masterNs));
            }
        } clocks[2] = {{1e-3, 7'000'000'000, -123}, {-1e-3, -5'000'000'000, 4'567}};
        const ClockAlignment::Drive drives[] = {{0x1001, -123}, {0x1002, 4'567}};
        ClockAlignment alignment;
        alignment.start(drives);
        int64_t masterNs = 1'000'000'000;
        int answeredBefore = 0;
        for (int cycle = 0; cycle < 300; ++cycle, masterNs += kPeriod) {
            const bool readingsLost = cycle >= 100 && cycle < 110;
            const std::span<ec_datagramt> datagrams = alignment.datagrams();
            QCOMPARE(int(datagrams.size()) - 2, answeredBefore);
            answeredBefore = 0;
            for (ec_datagramt& d : datagrams) {
                Clock& c = clocks[(d.address & 0xFFFF) - 0x1001];
                if (d.cmd == ec::Command::FPRD) {
                    const int64_t systemTime = c.local(masterNs) + c.offset;
                    std::memcpy(d.in.data(), &systemTime, sizeof systemTime);
                    d.wkc = readingsLost ? EC_NOFRAME : 1;
                    answeredBefore += readingsLost ? 0 : 1;
                } else {  // refused at cycle 150
                    if (cycle != 150)
                        std::memcpy(&c.offset, d.out.data(), sizeof c.offset);
                    d.wkc = cycle != 150;
                }
            }
            alignment.settle(masterNs);
            for (size_t i = 0; i < 2; ++i) {
                QCOMPARE(alignment.offset(i), clocks[i].offset);
                const int64_t error = clocks[i].local(masterNs) + clocks[i].offset - masterNs;
                // Settled two cycles after a start, a gap or a refused write.
                const bool settled =
                    cycle > 2 && (cycle < 100 || cycle > 112) && (cycle < 150 || cycle > 152);
                QVERIFY2(
                    !settled || std::llabs(error) <= 2 * kPeriod / 1000 + 2,
                    qPrintable(
                        QStringLiteral("cycle %1, drive %2: %3 ns").arg(cycle).arg(i).arg(error)));
            }
        }
    }

    // Without a bus: records reach the reader in cycle order, a full ring turning the newest away
    // and counting them; teardown joins the supervision thread before the members go; the walks
    // read the state from the status word and refuse a drive without an image.
    void withoutABus() {
        auto ring = std::make_unique<RecordRing>();
        for (uint64_t t = 1; t <= RecordRing::kCapacity + 6; ++t)
            ring->push(TCiA402_GetValue{}, t);
        std::array<TimedRecord, 100> batch;
        std::vector<uint64_t> taken;
        for (size_t n = 0; (n = ring->take(batch)) > 0;)
            for (size_t i = 0; i < n; ++i)
                taken.push_back(batch[i].timestamp);
        QVERIFY(taken.size() == RecordRing::kCapacity && taken.front() == 1 &&
                taken.back() == RecordRing::kCapacity && ring->turnedAway() == 6);

        constexpr uint64_t kRecords = 200'000;
        std::thread pusher([&ring] {
            for (uint64_t t = 1; t <= kRecords; ++t)
                ring->push(TCiA402_GetValue{.position = static_cast<int32_t>(t)}, t);
        });
        taken.clear();
        uint64_t last = 0;
        bool consistent = true;
        while (last < kRecords && taken.size() + ring->turnedAway() - 6 < kRecords) {
            const size_t n = ring->take(batch);
            for (size_t i = 0; i < n; ++i) {
                consistent = consistent && batch[i].timestamp > last &&
                             uint64_t(batch[i].data.position) == batch[i].timestamp;
                last = batch[i].timestamp;
                taken.push_back(last);
            }
        }
        pusher.join();
        QVERIFY(consistent && taken.size() + ring->turnedAway() - 6 == kRecords);

        auto other = std::make_unique<ecmaster>();  // alone
        SignalSink end(*other);
        QVERIFY(!other->startCapture(QStringLiteral("none.pcapng")));  // no bus, no capture
        other.reset();
        QTRY_COMPARE(end.count(QStringLiteral("End ethercat check.")), 1);

        MasterState state;
        CycleExchange cycle(state);
        Cia402Walks walks(state, cycle);
        uint8_t image[kDriveImageBytes] = {};
        state.images[1] = {image, image + kDriveOutputBytes};
        state.validDrives = {1};
        // Every word's state: tst_model; here that the word comes from the drive's own image.
        for (const auto& [word, code] : {std::pair(0x0250, 1), {0x0237, 4}, {0x0218, 7}}) {
            storeLe16(image + kDriveOutputBytes, static_cast<uint16_t>(word));
            QCOMPARE(std::pair(walks.driveState(1), walks.driveStateOf(0)), std::pair(code, code));
        }
        QCOMPARE(walks.driveStateOf(1), int{kDriveUnknown});  // index equal to the drive count
        state.images[1] = {};
        state.connected = true;
        QVERIFY(!walks.enableDrive(0) && !walks.enableAllDrives() && !walks.resetFault(0) &&
                !state.enabled);
        // Each refusal with its reason: no bus, no drive at the index, the wrong enable state.
        QStringList said;
        state.log = [&said](const QString& line) { said << line; };
        state.connected = false;
        QVERIFY(!walks.enableDrive(0) && !walks.resetFault(0) && !walks.disableAllDrives());
        state.connected = state.enabled = true;
        QVERIFY(!walks.enableAllDrives() && !walks.disableDrive(1) && state.enabled);
        state.enabled = false;
        QVERIFY(!walks.enableDrive(1) && !walks.resetFault(1) && !state.enabled);
        QCOMPARE(said, QStringList(
                           {"Not connected, cannot Enable!", "Not connected, cannot reset a fault!",
                            "Not in enable, cannot Disable!", "Is in enable, cannot enable!"}));
    }

    void enableDisableAndFaultResetAsTheDrivesSeeThem() {
        auto cfg = sim::ChainConfig::drives(4);
        cfg.slaves[1].ignoredControlWords = {7, 0x80};  // never switches on, nor resets
        cfg.slaves[2].powerUpFaultWord = 0x1;           // powers up faulted
        cfg.slaves[3].ignoredControlWords = {2};        // stays where a quick stop finds it
        SimAdapter bus("d-walk", cfg);
        WrappedDrive first(*bus.chain, 1), third(*bus.chain, 3), fourth(*bus.chain, 4);
        ecmaster m;
        SignalSink sink(m);
        QVERIFY(m.connectBus(bus.adapter()) && m.driveState(1) == kDriveSwitchOnDisabled);
        QTRY_COMPARE(m.driveState(3), int{kDriveFault});
        first.controlWords(), third.controlWords(), fourth.controlWords();
        QVERIFY(m.enableDrive(0) && m.isEnabled() && first.controlWords() == (Words{6, 7, 15}));
        QVERIFY(!m.walkInProgress() && !m.enableDrive(0) && m.enableSlave(1));  // sends nothing
        QTest::qWait(10);
        QVERIFY(first.controlWords() == Words{} && m.disableDrive(0) && !m.isEnabled());
        QVERIFY(m.driveState(1) == kDriveReadyToSwitchOn && !m.walkInProgress());
        QTest::qWait(10);  // the walk ends where the drive was to go: no step tried beyond it
        QVERIFY(
            sink.lines.filter(QRegularExpression(QStringLiteral("无法(En|Dis)able"))).isEmpty());
        QVERIFY(first.controlWords() == (Words{7, 6}) && !m.disableDrive(0));

        // The faulted drive is not stepped; its fault is reset by a rising edge of bit 7.
        QVERIFY(!m.enableDrive(2) && !m.stepEnable(3) && third.controlWords() == Words{});
        QVERIFY(!m.resetFault(0) && m.resetFault(2));  // drive 1: nothing to reset
        QCOMPARE(third.controlWords(), (Words{0x80, 0}));
        QCOMPARE(m.driveState(3), int{kDriveSwitchOnDisabled});
        // Enabling all stops at the drive that refuses a step; the last is not touched.
        QVERIFY(!m.enableAllDrives() && !m.isEnabled());
        QCOMPARE((std::tuple{m.driveState(1), m.driveState(2), third.controlWords()}),
                 std::tuple(int{kDriveOperationEnabled}, int{kDriveReadyToSwitchOn}, Words{}));
        // A STOP between two steps ends the walk: no step after it, though the drive stays put.
        static std::atomic<ecmaster*> stopper = &m;
        ecmaster::setCycleProbe([](int64_t, int64_t, int64_t, int64_t) {
            if (stopper.load() != nullptr && stopper.load()->driveState(4) >= kDriveReadyToSwitchOn)
                stopper.exchange(nullptr)->quickStop({3});
        });
        const bool enabled = m.enableDrive(3);
        ecmaster::setCycleProbe(nullptr);
        const Words w = fourth.controlWords();
        QVERIFY(!enabled && (w == Words{6, 2} || w == Words{6, 7, 2}));
        QTRY_VERIFY(sink.contains("Enable of slave 4 stopped by STOP."));
        QVERIFY(bus.chain->injectFault(2, 1) &&
                QTest::qWaitFor([&] { return m.driveState(2) == kDriveFault; }));
        QVERIFY(!m.resetFault(1) && m.driveState(2) == kDriveFault);  // given up, in its time
    }

    // Supervision: quiet yet counting, SAFE-OP+ERROR recovered, a stall ridden out, a pull lost.
    void supervisionCountsShortfallsRecoversSafeOpRidesOutAStallAndLosesAPulledDriveOnce() {
        SimAdapter bus("s-pull", sim::ChainConfig::drives(2));
        ecmaster m;
        SignalSink sink(m);
        QList<std::tuple<int, SupervisionKind, QString>> events;
        connect(&m, &ecmaster::supervisionEvent, &sink,
                [&](int slave, SupervisionKind kind, const QString& detail) {
                    events.append({slave, kind, detail});
                });
        QVERIFY(connectQuietly(m, sink, bus));
        const QString ok = "OK : all slaves resumed OPERATIONAL.", lost = "ERROR : slave 2 lost.";
        QTest::qWait(200);
        const uint64_t missesBefore = m.busFigures().wkcMisses;
        *bus.shortWkcReplies = 25;  // yet it watches: the shortfall is checked and counted
        QTRY_COMPARE(bus.shortWkcReplies->load(), 0);
        QTest::qWait(100);
        const uint64_t misses = m.busFigures().wkcMisses - missesBefore;  // those, and only those
        QVERIFY(sink.lines.isEmpty() && misses >= 20 && misses <= 40);

        bus.chain->forceSafeOpError(2, 0x001B);
        *bus.shortWkcReplies = 25;
        const auto ack = QStringLiteral("ERROR : slave 2 is in SAFE_OP + ERROR, attempting ack.");
        QTRY_VERIFY(sink.contains(ack) && sink.lines.indexOf(ok, sink.lines.indexOf(ack)) > 0);
        QCOMPARE(sink.lines.value(sink.lines.indexOf(ack) + 1),
                 QStringLiteral("WARNING : slave 2 is in SAFE_OP, change to OPERATIONAL."));
        QVERIFY(sink.lines.filter(QStringLiteral("slave 1")).isEmpty());
        QCOMPARE(bus.chain->alState(2), uint8_t{EC_STATE_OPERATIONAL});
        QTRY_COMPARE(bus.shortWkcReplies->load(), 0);

        // No frame back for 60 ms (a host stall): the drives stay in OP and on the bus.
        sink.clear();
        m.setEnabled(true);
        bus.chain->stall(60);
        QTest::qWait(400);
        QVERIFY(sink.lost == 0 && m.isConnected() && m.isEnabled() && m.isSupervising());
        QVERIFY(sink.lines.filter(QStringLiteral("lost")).isEmpty());
        QCOMPARE(bus.chain->alState(2), uint8_t{EC_STATE_OPERATIONAL});

        // Back in PRE-OP by itself (not SAFE-OP): reconfigured, in OP again, never lost and found.
        sink.clear(), events.clear();
        QVERIFY(!bus.chain->fallBack(2, EC_STATE_SAFE_OP) &&
                bus.chain->fallBack(2, EC_STATE_PRE_OP));
        QTRY_VERIFY(sink.contains("MESSAGE : slave 2 reconfigured.") && sink.contains(ok));
        QVERIFY(bus.chain->alState(2) == EC_STATE_OPERATIONAL &&
                sink.lines.filter(QStringLiteral("found")).isEmpty());
        QTRY_VERIFY(events.size() == 1 && std::get<1>(events[0]) == SupervisionKind::Reconfigured);

        sink.clear(), events.clear();
        bus.pull(2);
        QTRY_VERIFY(sink.count(lost) == 1 && sink.lost == 1);
        QVERIFY(!m.isEnabled() && !m.isSupervising());
        const QString why = sink.lines.value(sink.lines.indexOf(lost) + 1);
        QVERIFY2(why.startsWith(QStringLiteral("ERROR : slave 2 lost: no answer for ")) &&
                     why.contains(QStringLiteral("AL state 0x08, AL status code 0x0000 (")),
                 qPrintable(why));
        const SupervisionEvent last = m.supervisionEvents().constLast();
        QCOMPARE(std::tuple(last.slave, last.type), std::tuple(2, SupervisionKind::Lost));
        QVERIFY(why.contains(last.detail) && last.detail.startsWith(QStringLiteral("no answer")));
        QTRY_VERIFY(events.contains(std::tuple(2, SupervisionKind::Lost, last.detail)));
        // Once only, no further checks until the next bring-up: tst_console_drive lostDrive.
        QCOMPARE(sink.count(ok) + sink.count(lost) + sink.count(why), qsizetype(sink.lines.size()));
    }

    // The scope: the cycles' frames in order with the drives' records; the walks' events; a state
    // change at the first frame showing the new state; a pulled drive lost where its samples end.
    void scopeRecordsTheCycleAndItsEvents() {
        SimAdapter bus("s-scope", sim::ChainConfig::drives(3));
        ecmaster m;
        SignalSink sink(m);
        QVERIFY(connectQuietly(m, sink, bus));
        using scope::Signal, scope::EventKind, scope::Frame;
        const scope::ChannelDef defs[] = {{.drive = 1, .signal = Signal::Velocity},
                                          {.drive = 2, .signal = Signal::StatusWord},
                                          {.drive = 1, .signal = Signal::TargetVelocity}};
        m.setCommandValue(kCmdVelocity, 0.5f, 1);
        QCOMPARE(m.configureScope(defs), std::optional<uint32_t>(1));
        std::vector<Frame> frames;
        std::vector<scope::EventRecord> events;
        const auto take = [&](int waitMs) {  // the frames first: an event's frame is among them
            QTest::qWait(waitMs);
            frames.resize(4096), events.resize(256);
            frames.resize(m.takeScopeFrames(frames)), events.resize(m.takeScopeEvents(events));
        };
        const auto kinds = [&](int drive, bool changes) {  // the state changes, or the others
            std::vector<std::pair<EventKind, QString>> v;
            for (const auto& e : events)
                if (e.drive == drive && (e.kind == EventKind::StateChange) == changes)
                    v.push_back({e.kind, QString::fromUtf8(e.textView())});
            return v;
        };
        take(200);
        uint64_t gaps = 0;  // only where the timer passed grid points over
        for (size_t i = 1; i < frames.size(); ++i)
            gaps += frames[i].cycle - frames[i - 1].cycle - 1;
        QVERIFY(frames.size() >= 50 && gaps <= m.busFigures().skippedCycles &&
                frames[0].cycle > uint64_t(frames[0].timeNs) / 4'000'000);  // on the 2 ms grid
        // One cycle held up past the next grid points: the cycles passed over leave a gap.
        static std::atomic<bool> holdUp{true};
        ecmaster::setCycleProbe([](int64_t, int64_t, int64_t, int64_t) {
            if (holdUp.exchange(false))
                std::this_thread::sleep_for(std::chrono::milliseconds(9));
        });
        const uint64_t skipped = m.busFigures().skippedCycles;
        take(100);
        ecmaster::setCycleProbe(nullptr);
        const auto jump = std::ranges::adjacent_find(
            frames, [](const Frame& a, const Frame& b) { return b.cycle > a.cycle + 1; });
        QVERIFY(!holdUp && jump != frames.end() && m.busFigures().skippedCycles > skipped);
        take(50);
        const auto v = Signal::Velocity;
        const Frame last = frames.back();
        QCOMPARE(std::tuple(last.values[0], last.values[1], last.values[2], last.flags),
                 std::tuple(float(scope::signalValue(v, *m.driveInputs(1), m.commandRecord(2))),
                            float(m.driveInputs(2)->statusWord), 0.5f, 0u));
        QVERIFY(std::isnan(last.values[3]) && m.driveInputs(0).has_value());  // slave 1's drive too

        QVERIFY(m.enableDrive(0));
        m.quickStop({0});
        bus.chain->injectFault(3, 0x1);
        QTRY_COMPARE(m.driveState(3), int{kDriveFault});
        take(20);
        using Events = std::vector<std::pair<EventKind, QString>>;
        QCOMPARE(kinds(0, false), (Events{{EventKind::Enable, "enabled: Operation enabled"},
                                          {EventKind::Stop, "quick stop sent"}}));
        QCOMPARE(kinds(2, true), (Events{{EventKind::StateChange, "Fault reaction active"},
                                         {EventKind::StateChange, "Fault"}}));
        for (const auto& e : events) {
            if (e.drive != 2 || e.kind != EventKind::StateChange)
                continue;
            const auto f = std::ranges::find(frames, e.cycle, &Frame::cycle);
            QVERIFY(f != frames.begin() && f != frames.end());
            const Cia402State state = cia402StateFromStatusWord(uint16_t(f->values[1]));
            QCOMPARE(QString::fromUtf8(e.textView()), QString::fromUtf8(cia402StateName(state)));
            QVERIFY(cia402StateFromStatusWord(uint16_t(f[-1].values[1])) != state);
        }

        bus.pull(3);
        QTRY_COMPARE(sink.lost, 1);
        take(20);
        QCOMPARE(kinds(2, false), (Events{{EventKind::SupervisionLost, "lost: no answer"}}));
        const auto gone =
            std::ranges::find_if(frames, [](auto& f) { return std::isnan(f.values[1]); });
        QVERIFY(gone != frames.begin() && gone != frames.end() &&
                (gone[-1].flags & scope::kFrameWorkingCounterShort));
        // Stamped with the last cycle sampled right after supervision marked the drive.
        const uint64_t lost =
            std::ranges::find(events, EventKind::SupervisionLost, &scope::EventRecord::kind)->cycle;
        QVERIFY2(lost + 2 >= gone->cycle && lost <= gone->cycle + 25,
                 qPrintable(QStringLiteral("%1 %2").arg(lost).arg(gone->cycle)));
        QVERIFY(std::all_of(gone, frames.end(), [](auto& f) { return !std::isnan(f.values[0]); }));
        QCOMPARE(m.scope().framesTurnedAway(), uint64_t{0});
    }
};

QTEST_GUILESS_MAIN(MasterTest)
#include "ecmaster_test.moc"
