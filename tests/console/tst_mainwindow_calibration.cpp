#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <memory>
#include <span>

#include "console_support.h"
#include "ecmaster.h"
#include "mainwindow.h"
#include "model/paramtable.h"
#include "sim/chain.h"
#include "sim/cia402_drive.h"
#include "sim/virtual_link.h"

using consoletest::kBusTimeoutMs;
using consoletest::paneMessages;

namespace {

const QString kChainDesc = QStringLiteral("Calibration chain (2 drives)");
// Drive 0 finishes its calibration long before the first poll; drive 1 never finishes.
constexpr int kQuickDrive = 0;
constexpr int kHangingDrive = 1;

const QString kIdle = QStringLiteral("开始校准");
const QString kRunning = QStringLiteral("校准中");
const QString kStarted = QStringLiteral(">>> 开始校准");
const QString kWritten = QStringLiteral("Set \" 校准\": 16");
const QString kSucceeded = QStringLiteral(">>> 校准成功");
const QString kTimedOut = QStringLiteral(">>> 校准超时，请重启电机并重新连接");

// A poll per second plus the time the drive takes: how long a run may take in a loaded test run.
constexpr int kRunTimeoutMs = 30000;

// Collects every text the label shows, sampled far faster than the procedure's polls change it.
class LabelWatch : public QObject {
public:
    explicit LabelWatch(QLabel* label) {
        connect(&timer, &QTimer::timeout, this, [this, label] {
            if (texts.isEmpty() || texts.last() != label->text()) {
                texts << label->text();
            }
        });
        timer.start(2);
    }
    QStringList counts() const { return texts.filter(QStringLiteral("已进行")); }
    QStringList texts;

private:
    QTimer timer;
};

}  // namespace

// Calibration on the simulated chain: what reaches the drive, how the label counts the polls,
// success and timeout, and the runs the console refuses.
class TestMainWindowCalibration : public consoletest::WindowFixture {
    Q_OBJECT

public:
    TestMainWindowCalibration() : WindowFixture(kChainDesc) {}

private:
    // The console's transfers of the calibration parameter as each drive saw them.
    struct Transfers {
        std::atomic<int> reads{0};
        std::atomic<int> writes{0};
        std::atomic<int> lastWritten{-1};  // the byte of the last write
    };
    std::shared_ptr<Transfers> seen[2];

    QAbstractButton* calibrate() const { return child<QAbstractButton>("button_calibrate"); }
    QLabel* label() const { return child<QLabel>("label_calibratetime"); }
    int ownTimers() const {
        return static_cast<int>(window->findChildren<QTimer*>(Qt::FindDirectChildrenOnly).size());
    }

    // Makes the hanging drive report "finished" from its next read on.
    void finishHangingDrive() {
        chain->withSlave(kHangingDrive + 1, [](sim::Esc&, sim::SlaveApplication* app) {
            auto* drive = static_cast<sim::Cia402Drive*>(app);
            drive->dictionary().setU32(kParamObjectIndex, kParamIdCalibration + 1, 1);
        });
    }

private slots:
    void initTestCase() {
        QVERIFY(settingsDir.isValid());
        consoletest::sandboxSettings(settingsDir);
        sim::ChainConfig config = consoletest::chainConfig(2);
        config.slaves[kQuickDrive].calibrationDurationNs = 1'000'000;
        config.slaves[kHangingDrive].calibrationNeverEnds = true;
        chain = std::make_shared<sim::Chain>(config);
        sim::registerSimulatedAdapter("sim:calibration", kChainDesc.toStdString(), chain);
        // Count the console's writes and polls where the drive answers them.
        for (int index = 0; index < 2; ++index) {
            auto transfers = std::make_shared<Transfers>();
            seen[index] = transfers;
            chain->withSlave(index + 1, [transfers](sim::Esc&, sim::SlaveApplication* app) {
                auto* drive = static_cast<sim::Cia402Drive*>(app);
                sim::SubObject* entry =
                    drive->dictionary().entry(kParamObjectIndex, kParamIdCalibration + 1);
                auto onRead = entry->onRead;
                entry->onRead = [transfers, onRead](sim::SubObject& e) {
                    ++transfers->reads;
                    return onRead ? onRead(e) : 0u;
                };
                auto onWrite = entry->onWrite;
                entry->onWrite = [transfers, onWrite](std::span<const uint8_t> data) {
                    ++transfers->writes;
                    transfers->lastWritten = data.size() == 1 ? data[0] : -2;
                    return onWrite ? onWrite(data) : 0u;
                };
            });
        }
    }
    void init() {
        window = std::make_unique<MainWindow>();
        QVERIFY(connectBus());
        for (const auto& transfers : seen) {
            transfers->reads = 0;
            transfers->writes = 0;
            transfers->lastWritten = -1;
        }
    }
    void cleanup() {
        // A run left behind by a failed case must not reach the next window.
        if (calibrate()->text() == kRunning) {
            finishHangingDrive();
            QTRY_COMPARE_WITH_TIMEOUT(calibrate()->text(), kIdle, kRunTimeoutMs);
        }
        closeWindow();
    }

    // A drive that is done before the first poll: one poll, success, no count on the label.
    void successAtTheFirstPoll() {
        selectDrive(kQuickDrive);
        LabelWatch watch(label());
        const int timersBefore = ownTimers();
        calibrate()->click();
        QCOMPARE(calibrate()->text(), kRunning);
        QCOMPARE(window->consoleState(), static_cast<int>(Testing));
        QVERIFY(locked());
        QCOMPARE(ownTimers(), timersBefore + 1);
        // The command went out before the first poll, as the parameter's single byte.
        QCOMPARE(seen[kQuickDrive]->writes.load(), 1);
        QCOMPARE(seen[kQuickDrive]->lastWritten.load(), 16);
        QCOMPARE(seen[kQuickDrive]->reads.load(), 0);
        QTRY_VERIFY(logged(kWritten));
        const QStringList started = paneMessages(*window);
        QVERIFY(started.indexOf(kStarted) < started.indexOf(kWritten));

        QTRY_COMPARE_WITH_TIMEOUT(label()->text(), QStringLiteral("校准成功"), kRunTimeoutMs);
        QCOMPARE(seen[kQuickDrive]->reads.load(), 1);
        QCOMPARE(calibrate()->text(), kIdle);
        QCOMPARE(window->consoleState(), static_cast<int>(Connected));
        QVERIFY(!locked());
        QTRY_VERIFY(logged(kSucceeded));
        QVERIFY(!logged(kTimedOut));
        QVERIFY2(watch.counts().isEmpty(), qPrintable(watch.counts().join(u',')));
        // The run's poll timer goes with the run.
        QTRY_COMPARE(ownTimers(), timersBefore);
        QCOMPARE(seen[kHangingDrive]->reads.load() + seen[kHangingDrive]->writes.load(),
                 0);  // only the selected drive
    }

    // Polls once a second until the drive reports 1; the label counts the seconds meanwhile and
    // a second press changes nothing.
    void successAfterSomePolls() {
        selectDrive(kHangingDrive);
        LabelWatch watch(label());
        calibrate()->click();
        QCOMPARE(calibrate()->text(), kRunning);
        QCOMPARE(seen[kHangingDrive]->writes.load(), 1);
        QCOMPARE(seen[kHangingDrive]->lastWritten.load(), 16);
        QTRY_COMPARE_WITH_TIMEOUT(label()->text(), QStringLiteral("已进行1秒"), kRunTimeoutMs);

        // Pressed during the run: inert, nothing logged, nothing written again.
        QSignalSpy lines(window.get(), &MainWindow::writeLog);
        calibrate()->click();
        QCOMPARE(lines.count(), 0);
        QCOMPARE(calibrate()->text(), kRunning);
        QCOMPARE(window->consoleState(), static_cast<int>(Testing));
        // The other operations are gated by the Testing state.
        child<QAbstractButton>("pushButton_enable")->click();
        QCOMPARE(lines.count(), 1);
        QCOMPARE(lines.last().first().toString(),
                 QStringLiteral("当前处于测试中，请退回已连接状态"));
        QCOMPARE(child<QAbstractButton>("pushButton_enable")->text(), QStringLiteral("Enable"));

        QTRY_COMPARE_WITH_TIMEOUT(label()->text(), QStringLiteral("已进行2秒"), kRunTimeoutMs);
        finishHangingDrive();
        QTRY_COMPARE_WITH_TIMEOUT(label()->text(), QStringLiteral("校准成功"), kRunTimeoutMs);
        QVERIFY(seen[kHangingDrive]->reads.load() >= 3);
        QCOMPARE(seen[kHangingDrive]->writes.load(), 1);  // the second press wrote nothing
        QCOMPARE(watch.counts().first(), QStringLiteral("已进行1秒"));
        QVERIFY(watch.counts().contains(QStringLiteral("已进行2秒")));
        QCOMPARE(calibrate()->text(), kIdle);
        QCOMPARE(window->consoleState(), static_cast<int>(Connected));
        QVERIFY(!locked());
        QTRY_VERIFY(logged(kSucceeded));
        QVERIFY(!logged(kTimedOut));
    }

    // A drive that never finishes: the 90th poll ends the run as failed.
    void timeoutAtTheNinetiethPoll() {
        selectDrive(kHangingDrive);
        window->setProcedurePollInterval(10);
        LabelWatch watch(label());
        const int timersBefore = ownTimers();
        calibrate()->click();
        QTRY_COMPARE_WITH_TIMEOUT(label()->text(), QStringLiteral("校准失败"), kRunTimeoutMs);
        QCOMPARE(seen[kHangingDrive]->reads.load(), 90);
        QCOMPARE(calibrate()->text(), kIdle);
        QCOMPARE(window->consoleState(), static_cast<int>(Connected));
        QVERIFY(!locked());
        QTRY_VERIFY(logged(kTimedOut));
        QVERIFY(!logged(kSucceeded));
        // The count rises within 1..89: it never shows the 90th poll. At this pace a sample can
        // miss a count when two polls run back to back on a slow machine; that the count starts
        // at 1 is checked at the one-second pace above.
        const QStringList counts = watch.counts();
        QVERIFY(!counts.isEmpty());
        int previous = 0;
        for (const QString& text : counts) {
            bool ok = false;
            const int n = text.mid(3, text.size() - 4).toInt(&ok);
            QVERIFY2(ok && n > previous && n <= 89, qPrintable(text));
            previous = n;
        }
        QTRY_COMPARE(ownTimers(), timersBefore);
        // No further polls once the run has ended.
        QTest::qWait(100);
        QCOMPARE(seen[kHangingDrive]->reads.load(), 90);
    }

    // The gate: only from Connected, so never with the drive enabled or the bus down.
    void refusedOutsideConnected() {
        QVERIFY(consoletest::clickAndWait(*window, QStringLiteral("pushButton_enable"),
                                          QStringLiteral("Disable")));
        QSignalSpy spy(window.get(), &MainWindow::writeLog);
        // The start-up update check may log its line meanwhile; only the gate's lines count.
        const auto lines = [&spy] {
            QStringList seen;
            for (const QVariantList& line : spy) {
                if (line.first().toString() != QLatin1String("Failed to start the updater.")) {
                    seen << line.first().toString();
                }
            }
            return seen;
        };
        calibrate()->click();
        QCOMPARE(lines(), QStringList{QStringLiteral("当前处于上使能，请退回已连接状态")});
        QCOMPARE(calibrate()->text(), kIdle);
        QCOMPARE(window->consoleState(), static_cast<int>(Enabled));
        QVERIFY(!locked());
        QCOMPARE(seen[kQuickDrive]->writes.load(), 0);

        QVERIFY(consoletest::clickAndWait(*window, QStringLiteral("pushButton_enable"),
                                          QStringLiteral("Enable")));
        child<QAbstractButton>("pushButton_connect")->click();
        QCOMPARE(window->consoleState(), static_cast<int>(NotConnected));
        spy.clear();
        calibrate()->click();
        QCOMPARE(lines(), QStringList{QStringLiteral("当前处于未连接，请进入已连接状态")});
        QCOMPARE(calibrate()->text(), kIdle);
        QVERIFY(!locked());
    }

    // Past the gate without a bus: nothing is written and a failed read never counts as done,
    // so the run ends by timeout, in the state the bus has.
    void withoutBusRunsIntoTheTimeout() {
        child<QAbstractButton>("pushButton_connect")->click();
        QVERIFY(!window->busMaster()->connected);
        window->forceConsoleState(Connected);
        window->setProcedurePollInterval(5);
        calibrate()->click();
        QTRY_VERIFY(logged(QStringLiteral("设备未连接.")));
        QVERIFY(!logged(kWritten));
        QTRY_COMPARE_WITH_TIMEOUT(label()->text(), QStringLiteral("校准失败"), kRunTimeoutMs);
        QTRY_VERIFY(logged(kTimedOut));
        // The end raises the state no higher than the bus is.
        QCOMPARE(window->consoleState(), static_cast<int>(NotConnected));
        QCOMPARE(calibrate()->text(), kIdle);
        for (const auto& transfers : seen) {
            QCOMPARE(transfers->reads.load() + transfers->writes.load(), 0);
        }
    }
};

QTEST_MAIN(TestMainWindowCalibration)
#include "tst_mainwindow_calibration.moc"
