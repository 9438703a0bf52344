#include <QAbstractButton>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <utility>
#include <vector>

#include "console_support.h"
#include "ecmaster.h"
#include "mainwindow.h"
#include "roundtriptimer.h"
#include "sim/chain.h"
#include "sim/virtual_link.h"

using consoletest::kBusTimeoutMs;
using consoletest::paneMessages;

namespace {

const QString kChain = QStringLiteral("Simulated drive chain (2 drives)");
const char* const kInputs[] = {"RoundTripIntervalInput", "RoundTripTimeInput",
                               "doubleSpinBox_roundtripfirst", "doubleSpinBox_roundtripsecond"};

}  // namespace

// The round-trip test on a running simulated bus: the steps that reach the selected drive's
// command record, both ways the test ends, the state gate, the loop chosen by the operating
// mode, and the test lock over the top rows.
class TestMainWindowRoundtrip : public consoletest::WindowFixture {
    Q_OBJECT

public:
    TestMainWindowRoundtrip() : WindowFixture(kChain) {}

private:
    // (step number, velocity command of the selected drive right after the step was sent)
    std::vector<std::pair<int, float>> steps;

    QAbstractButton* roundTripButton() const { return button("button_roundtrip"); }
    RoundtripTimer* timer() const { return window->findChild<RoundtripTimer*>(); }

    bool inputsReadOnly(bool readOnly) const {
        for (const char* name : kInputs) {
            if (child<QDoubleSpinBox>(name)->isReadOnly() != readOnly) {
                return false;
            }
        }
        return true;
    }

    bool timersIdle() const {
        const QList<QTimer*> timers = timer()->findChildren<QTimer*>();
        return timers.size() == 2 && !timers[0]->isActive() && !timers[1]->isActive();
    }

    // Connects, selects drive 1 and enables it in the speed ramp; every step is recorded with
    // the command it left in drive 1's record (the recorder runs after the window's handler).
    bool enableSecondDrive() {
        if (!connectBus()) {
            return false;
        }
        child<QComboBox>("comboBox_index")->setCurrentIndex(1);
        if (window->motorIndex() != 1) {
            return false;
        }
        connect(timer(), &RoundtripTimer::timeoutTriggered, window.get(),
                [this](int n) { steps.emplace_back(n, command(1).velocity); });
        return clickAndWait("pushButton_enable", "Disable");
    }

    void setInputs(double first, double second, double interval, double total) {
        child<QDoubleSpinBox>("doubleSpinBox_roundtripfirst")->setValue(first);
        child<QDoubleSpinBox>("doubleSpinBox_roundtripsecond")->setValue(second);
        child<QDoubleSpinBox>("RoundTripIntervalInput")->setValue(interval);
        child<QDoubleSpinBox>("RoundTripTimeInput")->setValue(total);
    }

    // Every step so far alternated first, second, first, ... from step 0 on.
    void verifyAlternation(float first, float second) const {
        for (size_t i = 0; i < steps.size(); ++i) {
            QCOMPARE(steps[i].first, static_cast<int>(i));
            QCOMPARE(steps[i].second, i % 2 == 0 ? first : second);
        }
    }

    // Lock on: the overlays take the clicks on both top rows, except on the quick stop.
    void verifyLocked(bool on) const {
        auto* right = child<QWidget>("widget_righthalf");
        const auto hit = [right](QWidget* w) {
            return right->childAt(w->mapTo(right, w->rect().center()));
        };
        auto* connectButton = child<QWidget>("pushButton_connect");
        auto* modeBox = child<QWidget>("comboBox_mode");
        auto* quickStop = child<QWidget>("pushButton_QuickStop");
        QCOMPARE(hit(connectButton) == connectButton, !on);
        QCOMPARE(modeBox->isAncestorOf(hit(modeBox)) || hit(modeBox) == modeBox, !on);
        QCOMPARE(hit(quickStop), quickStop);
        QVERIFY(quickStop->isEnabled());
        QCOMPARE(child<QTabWidget>("tabWidget")->tabBar()->isEnabled(), !on);
    }

private slots:
    void initTestCase() {
        QVERIFY(settingsDir.isValid());
        consoletest::sandboxSettings(settingsDir);
        chain = sim::registerSimulatedAdapter(consoletest::chainConfig(2));
    }
    void init() {
        steps.clear();
        window = std::make_unique<MainWindow>();
        QVERIFY(timer() != nullptr);
    }
    void cleanup() {
        if (roundTripButton()->text() == QLatin1String("Stop")) {
            roundTripButton()->click();
        }
        closeWindow();
    }

    void millisecondsFromSeconds_data() {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<int>("ms");
        QTest::newRow("shortest interval") << 0.1 << 100;
        QTest::newRow("default interval") << 1.0 << 1000;
        QTest::newRow("default total") << 10.0 << 10000;
        QTest::newRow("longest interval") << 100.0 << 100000;
        QTest::newRow("longest total") << 1800.0 << 1800000;
        QTest::newRow("quarter") << 0.25 << 250;
        QTest::newRow("fraction cut") << 0.1234 << 123;
        QTest::newRow("fraction cut, not rounded") << 0.9999 << 999;
        QTest::newRow("below a millisecond") << 0.0009 << 0;
    }
    void millisecondsFromSeconds() {
        QFETCH(double, seconds);
        QFETCH(int, ms);
        QCOMPARE(roundTripMilliseconds(seconds), ms);
    }

    // The loop under test follows the operating mode; modes without one hide the panel and
    // leave the last loop in place.
    void loopFollowsMode_data() {
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("loop");
        const QString velocity = QStringLiteral("速度环往返参数 (turn/s)");
        const QString position = QStringLiteral("位置环往返参数 (turn)");
        const QString torque = QStringLiteral("电流环往返参数 (Nm)");
        QTest::newRow("speed ramp") << 4 << 0 << true << velocity << 5 << QStringLiteral("速度环");
        QTest::newRow("profile position")
            << 0 << 1 << true << position << 4 << QStringLiteral("位置环");
        QTest::newRow("torque ramp") << 0 << 4 << true << torque << 1 << QStringLiteral("电流环");
        QTest::newRow("hybrid keeps position")
            << 1 << 2 << false << position << 4 << QStringLiteral("位置环");
        QTest::newRow("sine keeps torque")
            << 4 << 3 << false << torque << 1 << QStringLiteral("电流环");
        QTest::newRow("calibration keeps velocity")
            << 0 << 5 << false << velocity << 5 << QStringLiteral("速度环");
    }
    void loopFollowsMode() {
        QFETCH(int, before);
        QFETCH(int, mode);
        QFETCH(bool, shown);
        QFETCH(QString, label);
        QFETCH(int, code);
        QFETCH(QString, loop);
        auto* modes = child<QComboBox>("comboBox_mode");
        modes->setCurrentIndex(before == 0 ? 1 : 0);  // so that `before` is a change
        modes->setCurrentIndex(before);
        modes->setCurrentIndex(mode);
        QCOMPARE(!child<QWidget>("widget_2")->isHidden(), shown);
        QCOMPARE(child<QLabel>("RoundTripLabel")->text(), label);
        QCOMPARE(window->roundTripCommandCode(), code);
        QCOMPARE(window->roundTripLoop(), loop);
    }

    // Only an enabled console starts the test; a refusal changes nothing.
    void startNeedsEnabled_data() {
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("message");
        QTest::newRow("not connected")
            << static_cast<int>(NotConnected) << QStringLiteral("当前处于未连接，请进入上使能状态");
        QTest::newRow("connected")
            << static_cast<int>(Connected) << QStringLiteral("当前处于已连接，请进入上使能状态");
        QTest::newRow("another test")
            << static_cast<int>(Testing) << QStringLiteral("当前处于测试中，请退回上使能状态");
    }
    void startNeedsEnabled() {
        QFETCH(int, state);
        QFETCH(QString, message);
        window->forceConsoleState(state);
        QSignalSpy stepSpy(timer(), &RoundtripTimer::timeoutTriggered);
        roundTripButton()->click();
        QTRY_VERIFY(logged(message));
        QCOMPARE(roundTripButton()->text(), QStringLiteral("Start"));
        QCOMPARE(window->consoleState(), state);
        QVERIFY(inputsReadOnly(false));
        QVERIFY(child<QTabWidget>("tabWidget")->tabBar()->isEnabled());
        QVERIFY(!logged(QStringLiteral(">>> start Roundtrip")));
        QCOMPARE(stepSpy.count(), 0);
        QVERIFY(timersIdle());
    }

    // A run to its end: first, second, first, ... into drive 1's velocity command, then 0 when
    // the total time is up, and the console as it was before.
    void runsUntilTotalTime() {
        QVERIFY(enableSecondDrive());
        window->busMaster()->setCommandValue(kCmdVelocity, 0.25f, 0);
        setInputs(0.5, -0.75, 0.1, 1.0);

        roundTripButton()->click();
        // The first step goes out within the click, after the pause.
        QCOMPARE(steps.size(), size_t{1});
        QCOMPARE(steps[0], std::make_pair(0, 0.5f));
        QCOMPARE(timer()->interval, 100);
        QCOMPARE(timer()->totalTime, 1000);
        QCOMPARE(roundTripButton()->text(), QStringLiteral("Stop"));
        QCOMPARE(window->consoleState(), static_cast<int>(Testing));
        QVERIFY(inputsReadOnly(true));
        verifyLocked(true);
        QTRY_VERIFY(logged(QStringLiteral(">>> start Roundtrip")));

        QTRY_COMPARE_WITH_TIMEOUT(roundTripButton()->text(), QStringLiteral("Start"),
                                  kBusTimeoutMs);
        QVERIFY(steps.size() >= 2);
        verifyAlternation(0.5f, -0.75f);
        QCOMPARE(command(1).velocity, 0.0f);
        QCOMPARE(command(0).velocity, 0.25f);  // only the selected drive is driven
        QCOMPARE(window->consoleState(), static_cast<int>(Enabled));
        QVERIFY(inputsReadOnly(false));
        verifyLocked(false);
        QVERIFY(timersIdle());
        QTRY_VERIFY(logged(QStringLiteral(">>> Stop Roundtrip")));
        const QStringList lines = paneMessages(*window);
        QCOMPARE(lines.count(QStringLiteral(">>> Stop Roundtrip")), 1);

        // Nothing follows the end.
        const size_t sent = steps.size();
        QTest::qWait(300);
        QCOMPARE(steps.size(), sent);
        QCOMPARE(command(1).velocity, 0.0f);
    }

    // Stop by hand: 0 at once, no more steps; a new run starts again with the first value and
    // with the intervals as they are now.
    void stopByHandAndRestart() {
        QVERIFY(enableSecondDrive());
        setInputs(1.5, 0.5, 0.1, 1800.0);
        roundTripButton()->click();
        QTRY_VERIFY_WITH_TIMEOUT(steps.size() >= 3, kBusTimeoutMs);
        verifyAlternation(1.5f, 0.5f);

        roundTripButton()->click();
        QCOMPARE(command(1).velocity, 0.0f);
        QCOMPARE(roundTripButton()->text(), QStringLiteral("Start"));
        QCOMPARE(window->consoleState(), static_cast<int>(Enabled));
        QVERIFY(timersIdle());
        QVERIFY(inputsReadOnly(false));
        verifyLocked(false);
        const size_t sent = steps.size();
        QTest::qWait(300);
        QCOMPARE(steps.size(), sent);
        QCOMPARE(command(1).velocity, 0.0f);

        steps.clear();
        setInputs(-2.0, 2.0, 0.25, 1.0);
        roundTripButton()->click();
        QCOMPARE(timer()->interval, 250);
        QCOMPARE(timer()->totalTime, 1000);
        QCOMPARE(steps.size(), size_t{1});
        QCOMPARE(steps[0], std::make_pair(0, -2.0f));
        QTRY_COMPARE_WITH_TIMEOUT(roundTripButton()->text(), QStringLiteral("Start"),
                                  kBusTimeoutMs);
        verifyAlternation(-2.0f, 2.0f);
        QCOMPARE(command(1).velocity, 0.0f);
        QTRY_COMPARE(paneMessages(*window).count(QStringLiteral(">>> start Roundtrip")), 2);
        QTRY_COMPARE(paneMessages(*window).count(QStringLiteral(">>> Stop Roundtrip")), 2);
    }

    // The position loop: the steps land in the position command and the end sets position 0.
    void positionLoop() {
        QVERIFY(enableSecondDrive());
        child<QComboBox>("comboBox_mode")->setCurrentIndex(1);
        QCOMPARE(window->roundTripCommandCode(), static_cast<int>(kCmdPosition));
        setInputs(0.2, 0.4, 0.1, 1800.0);
        const float velocityBefore = command(1).velocity;
        roundTripButton()->click();
        QCOMPARE(command(1).position, 0.2f);
        QTRY_COMPARE_WITH_TIMEOUT(command(1).position, 0.4f, kBusTimeoutMs);
        roundTripButton()->click();
        QCOMPARE(command(1).position, 0.0f);
        QCOMPARE(command(1).velocity, velocityBefore);
    }
};

QTEST_MAIN(TestMainWindowRoundtrip)
#include "tst_mainwindow_roundtrip.moc"
