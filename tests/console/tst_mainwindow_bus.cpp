#include <QAbstractButton>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QMutex>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include "console_support.h"
#include "customcombobox.h"
#include "ecmaster.h"
#include "link.h"
#include "mainwindow.h"
#include "sim/chain.h"
#include "sim/virtual_link.h"

using consoletest::paneMessages;

namespace {

// A bring-up on the simulated chain takes well under this, also under the sanitizers.
constexpr int kBringUpTimeoutMs = 30000;
// A bring-up that fails gives up only after all its attempts.
constexpr int kFailedBringUpTimeoutMs = 180000;

const QString kChain3 = QStringLiteral("Simulated drive chain (3 drives)");
const QString kChain2 = QStringLiteral("Simulated drive chain (2 drives)");

}  // namespace

// Connect and disconnect from the operator's side against simulated chains: the button's
// texts, the labels and drive selector, the remembered adapter, the refusals, the lost drive and
// closing the window on a running bus.
class TestMainWindowBus : public consoletest::WindowFixture {
    Q_OBJECT

private:
    // Two chains of their own; the fixture's `chain` stays unused here.
    std::shared_ptr<sim::Chain> chain3;
    std::shared_ptr<sim::Chain> chain2;

    QComboBox* adapters() const { return child<QComboBox>("comboBox_item"); }
    QComboBox* drives() const { return child<QComboBox>("comboBox_index"); }

    // Selects the adapter the way an operator does: open the list (which refills it), pick.
    bool chooseAdapter(const QString& desc) {
        adapters()->showPopup();
        adapters()->hidePopup();
        const int item = adapters()->findText(desc);
        if (item < 0) {
            return false;
        }
        adapters()->setCurrentIndex(item);
        return true;
    }

    bool connectTo(const QString& desc) {
        if (!chooseAdapter(desc)) {
            return false;
        }
        connectButton()->click();
        // The adapter stays as chosen until the bring-up has ended.
        if (connectButton()->text() != QLatin1String("Connecting") || adapters()->isEnabled()) {
            return false;
        }
        return QTest::qWaitFor([this] { return connectButton()->text() != "Connecting"; },
                               kBringUpTimeoutMs) &&
               connectButton()->text() == QLatin1String("Disconnect") && adapters()->isEnabled();
    }

private slots:
    void initTestCase() {
        QVERIFY(settingsDir.isValid());
        consoletest::sandboxSettings(settingsDir);
        chain3 = sim::registerSimulatedAdapter(consoletest::chainConfig(3));
        chain2 = sim::registerSimulatedAdapter(consoletest::chainConfig(2));
    }

    void init() {
        consoletest::consoleSettings().clear();
        window = std::make_unique<MainWindow>();
    }
    void cleanup() {
        if (window && window->busMaster()->enabled) {
            window->busMaster()->disableDrive(0);
        }
        window.reset();
    }

    void simulatedChainsListedFirst() {
        QVERIFY(adapters()->count() >= 2);
        QCOMPARE(adapters()->itemText(0), kChain3);
        QCOMPARE(adapters()->itemText(1), kChain2);
        QCOMPARE(adapters()->currentIndex(), 0);
        QCOMPARE(window->busMaster()->adapters.size(), static_cast<size_t>(adapters()->count()));
        QCOMPARE(window->busMaster()->adapters.front().second, QStringLiteral("sim:3"));

        // An adapter that appears later shows up when the operator opens the list.
        const auto later = sim::registerSimulatedAdapter(consoletest::chainConfig(5));
        const QString desc = QStringLiteral("Simulated drive chain (5 drives)");
        QCOMPARE(adapters()->findText(desc), -1);
        adapters()->showPopup();
        adapters()->hidePopup();
        QCOMPARE(adapters()->findText(desc), 2);
        QCOMPARE(adapters()->currentIndex(), 0);
        ec::unregisterVirtualAdapter("sim:5");
        adapters()->showPopup();
        adapters()->hidePopup();
        QCOMPARE(adapters()->findText(desc), -1);
    }

    void connectThenDisconnect() {
        auto* plotPara = child<QAbstractButton>("pushButton_plot_para");
        auto* plotTemp = child<QAbstractButton>("pushButton_plot_temp");

        QVERIFY(connectTo(kChain3));
        QTRY_VERIFY(logged(QStringLiteral("Connect Success.")));
        QTRY_VERIFY(logged(QStringLiteral("currentMotorIndex.0")));
        QCOMPARE(window->consoleState(), static_cast<int>(Connected));
        QCOMPARE(window->motorIndex(), 0);
        QVERIFY(window->busMaster()->connected);
        QCOMPARE(child<QLabel>("label_motorcount")->text(), QStringLiteral("电机数量:3"));
        QCOMPARE(child<QLabel>("label_multicount")->text(), QStringLiteral("3"));
        QCOMPARE(drives()->count(), 3);
        QCOMPARE(drives()->itemText(0), QStringLiteral("0"));
        QCOMPARE(drives()->itemText(2), QStringLiteral("2"));
        QCOMPARE(consoletest::consoleSettings().value(kAdapterSettingKey).toString(), kChain3);

        plotPara->setChecked(true);
        plotTemp->setChecked(true);
        child<QTabWidget>("tabWidget")->tabBar()->setEnabled(false);

        connectButton()->click();
        QCOMPARE(connectButton()->text(), QStringLiteral("Connect"));
        QTRY_VERIFY(logged(QStringLiteral("Disconnect Success.")));
        QCOMPARE(window->consoleState(), static_cast<int>(NotConnected));
        QVERIFY(!window->busMaster()->connected);
        QCOMPARE(drives()->count(), 0);
        QCOMPARE(child<QLabel>("label_motorcount")->text(), QStringLiteral("电机数量:0"));
        QCOMPARE(child<QLabel>("label_multicount")->text(), QStringLiteral("0"));
        QVERIFY(child<QTabWidget>("tabWidget")->tabBar()->isEnabled());
        QVERIFY(!plotPara->isChecked());
        QVERIFY(!plotTemp->isChecked());

        // The same bus again.
        QVERIFY(connectTo(kChain3));
        QCOMPARE(drives()->count(), 3);
        connectButton()->click();
        QCOMPARE(connectButton()->text(), QStringLiteral("Connect"));
    }

    // The setting follows the adapter of the last successful connect and is written only when
    // that adapter changes.
    void rememberedAdapter() {
        // The window read the (empty) setting at start; mark the store to see any write.
        consoletest::consoleSettings().setValue(kAdapterSettingKey, QStringLiteral("marker"));
        QVERIFY(connectTo(kChain2));
        QCOMPARE(consoletest::consoleSettings().value(kAdapterSettingKey).toString(), kChain2);
        QCOMPARE(drives()->count(), 2);
        connectButton()->click();

        consoletest::consoleSettings().setValue(kAdapterSettingKey, QStringLiteral("marker"));
        QVERIFY(connectTo(kChain2));
        QCOMPARE(consoletest::consoleSettings().value(kAdapterSettingKey).toString(),
                 QStringLiteral("marker"));
        connectButton()->click();

        QVERIFY(connectTo(kChain3));
        QCOMPARE(consoletest::consoleSettings().value(kAdapterSettingKey).toString(), kChain3);
        connectButton()->click();

        // A new window preselects the remembered adapter, also after the list is refilled.
        window.reset();
        window = std::make_unique<MainWindow>();
        QCOMPARE(adapters()->currentText(), kChain3);
        consoletest::consoleSettings().setValue(kAdapterSettingKey, kChain2);
        window.reset();
        window = std::make_unique<MainWindow>();
        QCOMPARE(adapters()->currentText(), kChain2);
        adapters()->showPopup();
        adapters()->hidePopup();
        QCOMPARE(adapters()->currentText(), kChain2);
    }

    void connectWithoutAdapterFails() {
        adapters()->setCurrentIndex(-1);
        connectButton()->click();
        QCOMPARE(connectButton()->text(), QStringLiteral("Connect"));
        QTRY_VERIFY(logged(QStringLiteral("Connect Fail")));
        QCOMPARE(window->consoleState(), static_cast<int>(NotConnected));
        QVERIFY(!window->busMaster()->connected);

        // An empty selector behaves the same.
        adapters()->clear();
        connectButton()->click();
        QCOMPARE(connectButton()->text(), QStringLiteral("Connect"));
        QTRY_COMPARE(paneMessages(*window).count(QStringLiteral("Connect Fail")), 2);
        QVERIFY(!logged(QStringLiteral("Connect Fail.")));
    }

    // A bus without drives cannot be brought up: the button returns to Connect and the adapter
    // is not remembered.
    void failedBringUp() {
        auto empty = std::make_shared<sim::Chain>(sim::ChainConfig{});
        sim::registerSimulatedAdapter("sim:empty", "Empty chain", empty);
        QVERIFY(chooseAdapter(QStringLiteral("Empty chain")));
        connectButton()->click();
        QCOMPARE(connectButton()->text(), QStringLiteral("Connecting"));
        connectButton()->click();  // inert while the bring-up runs
        // Every attempt waits out the frames nobody answers: this takes a while.
        QTRY_COMPARE_WITH_TIMEOUT(connectButton()->text(), QStringLiteral("Connect"),
                                  kFailedBringUpTimeoutMs);
        QTRY_VERIFY(logged(QStringLiteral("Connect Fail.")));
        QCOMPARE(window->consoleState(), static_cast<int>(NotConnected));
        QCOMPARE(drives()->count(), 0);
        QVERIFY(!consoletest::consoleSettings().contains(kAdapterSettingKey));
        ec::unregisterVirtualAdapter("sim:empty");
    }

    void disconnectRefusedWhileEnabled() {
        QVERIFY(connectTo(kChain3));
        enableButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(enableButton()->text(), QStringLiteral("Disable"),
                                  kBringUpTimeoutMs);
        QCOMPARE(window->consoleState(), static_cast<int>(Enabled));

        connectButton()->click();
        QTRY_VERIFY(logged(QStringLiteral("Please exit the motor mode first！")));
        QCOMPARE(connectButton()->text(), QStringLiteral("Disconnect"));
        QVERIFY(window->busMaster()->connected);
        QVERIFY(!logged(QStringLiteral("Disconnect Success.")));

        enableButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(enableButton()->text(), QStringLiteral("Enable"),
                                  kBringUpTimeoutMs);
        connectButton()->click();
        QCOMPARE(connectButton()->text(), QStringLiteral("Connect"));
        QVERIFY(!window->busMaster()->connected);
    }

    void closingWhileConnectedDisconnectsFirst() {
        QVERIFY(connectTo(kChain3));
        QSignalSpy lines(window.get(), &MainWindow::writeLog);
        window.reset();
        QVERIFY(lines.contains(QVariantList{QStringLiteral("Disconnect Success.")}));

        // The bus was released: a new window brings it up again.
        window = std::make_unique<MainWindow>();
        QVERIFY(connectTo(kChain3));
    }

    void closingWhileEnabledStillTearsDown() {
        QVERIFY(connectTo(kChain3));
        enableButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(enableButton()->text(), QStringLiteral("Disable"),
                                  kBringUpTimeoutMs);
        QSignalSpy lines(window.get(), &MainWindow::writeLog);
        window.reset();
        QVERIFY(lines.contains(QVariantList{QStringLiteral("Please exit the motor mode first！")}));
        QVERIFY(!lines.contains(QVariantList{QStringLiteral("Disconnect Success.")}));

        window = std::make_unique<MainWindow>();
        QVERIFY(connectTo(kChain3));
    }

    void closingDuringBringUpWaitsForIt() {
        QVERIFY(chooseAdapter(kChain3));
        connectButton()->click();
        QCOMPARE(connectButton()->text(), QStringLiteral("Connecting"));
        window.reset();  // must neither crash nor leave the bus to a deleted master
        window = std::make_unique<MainWindow>();
        QVERIFY(connectTo(kChain3));
    }

    // A drive falling off the bus takes the whole bus down, as a disconnect would.
    void lostDriveTakesTheBusDown() {
        QVERIFY(connectTo(kChain3));
        child<QDoubleSpinBox>("doubleSpinBox_velocity")->setValue(1.5);
        child<QDoubleSpinBox>("doubleSpinBox_torque")->setValue(-2);

        chain3->pullDrive(2);
        QTRY_COMPARE_WITH_TIMEOUT(connectButton()->text(), QStringLiteral("Connect"),
                                  kBringUpTimeoutMs);
        QTRY_VERIFY(logged(QStringLiteral("Disconnect Success.")));
        QCOMPARE(window->consoleState(), static_cast<int>(NotConnected));
        QVERIFY(!window->busMaster()->connected);
        QCOMPARE(enableButton()->text(), QStringLiteral("Enable"));
        QCOMPARE(drives()->count(), 0);
        QCOMPARE(child<QLabel>("label_motorcount")->text(), QStringLiteral("电机数量:0"));
        QCOMPARE(child<QDoubleSpinBox>("doubleSpinBox_velocity")->value(), 0.0);
        QCOMPARE(child<QDoubleSpinBox>("doubleSpinBox_torque")->value(), 0.0);

        chain3->plugDrive(2);
        QVERIFY(connectTo(kChain3));
        QCOMPARE(drives()->count(), 3);
    }

    // While an enable walk runs, nothing that would change the bus, the operated drive or the
    // console's state under it is taken; the walk's own end decides the state.
    void gateHoldsWhileEnabling() {
        QVERIFY(connectTo(kChain3));
        const QString refused = QStringLiteral("当前正在上使能或下使能，请等待其完成");
        enableButton()->click();
        QCOMPARE(enableButton()->text(), QStringLiteral("Enabling"));
        connectButton()->click();
        drives()->setCurrentIndex(1);
        button("button_multitest")->click();
        button("button_calibrate")->click();
        QCOMPARE(paneMessages(*window).count(refused), 0);  // the pane fills from the event loop
        QTRY_COMPARE(paneMessages(*window).count(refused), 4);
        QCOMPARE(connectButton()->text(), QStringLiteral("Disconnect"));
        QCOMPARE(window->motorIndex(), 0);
        QCOMPARE(drives()->currentIndex(), 0);
        QCOMPARE(button("button_multitest")->text(), QStringLiteral("Start"));
        QCOMPARE(button("button_calibrate")->text(), QStringLiteral("开始校准"));
        QTRY_COMPARE_WITH_TIMEOUT(enableButton()->text(), QStringLiteral("Disable"),
                                  kBringUpTimeoutMs);
        QCOMPARE(window->consoleState(), static_cast<int>(Enabled));
        QVERIFY(window->busMaster()->connected);

        // Teardown leaves no drive marked enabled behind a bus that is gone.
        window->busMaster()->disconnectBus();
        QVERIFY(!window->busMaster()->enabled);
    }

    // A drive lost while a procedure runs ends the procedure: the lock comes off, the state stays
    // "not connected" after the procedure's own end would have come, and closing the window
    // afterwards brings nothing up.
    void lostDriveEndsTheProcedure_data() {
        QTest::addColumn<QString>("procedure");
        QTest::newRow("round trip") << QStringLiteral("button_roundtrip");
        QTest::newRow("multi-joint test") << QStringLiteral("button_multitest");
        QTest::newRow("calibration") << QStringLiteral("button_calibrate");
    }
    void lostDriveEndsTheProcedure() {
        QFETCH(QString, procedure);
        auto* start = window->findChild<QAbstractButton*>(procedure);
        const QString idle = start->text();
        QVERIFY(connectTo(kChain3));
        window->setProcedurePollInterval(20);
        if (procedure == QLatin1String("button_roundtrip")) {
            child<QDoubleSpinBox>("RoundTripTimeInput")->setValue(1.0);
            QVERIFY(consoletest::clickAndWait(*window, QStringLiteral("pushButton_enable"),
                                              QStringLiteral("Disable")));
        }
        start->click();
        if (procedure == QLatin1String("button_multitest")) {
            QTRY_COMPARE_WITH_TIMEOUT(start->text(), QStringLiteral("Stop"), kBringUpTimeoutMs);
        }
        QCOMPARE(window->consoleState(), static_cast<int>(Testing));
        QVERIFY(locked());

        chain3->pullDrive(3);
        QTRY_COMPARE_WITH_TIMEOUT(connectButton()->text(), QStringLiteral("Connect"),
                                  kBringUpTimeoutMs);
        QCOMPARE(start->text(), idle);
        QVERIFY(!locked());
        QCOMPARE(window->consoleState(), static_cast<int>(NotConnected));
        // Past the round trip's total time and the calibration's last poll.
        QTest::qWait(2500);
        QCOMPARE(window->consoleState(), static_cast<int>(NotConnected));
        QCOMPARE(paneMessages(*window).count(QStringLiteral("Error: no Connect!")), 0);

        chain3->plugDrive(3);
        QStringList closing;  // the master's lines while the window closes, from any thread
        QMutex closingMutex;
        connect(
            window->busMaster(), &ecmaster::writeLog, window.get(),
            [&](const QString& line) {
                const QMutexLocker lock(&closingMutex);
                closing << line;
            },
            Qt::DirectConnection);
        window.reset();
        QVERIFY2(closing.filter(QStringLiteral("[Init]")).isEmpty(),
                 qPrintable(closing.join('\n')));
    }

    // Each lost slave is reported; a report arriving after the bus went down changes nothing.
    void lostDriveWhileDisconnected() {
        QMetaObject::invokeMethod(window.get(), "deal_when_slave_lost");
        QCOMPARE(connectButton()->text(), QStringLiteral("Connect"));
        QCOMPARE(window->consoleState(), static_cast<int>(NotConnected));
        QVERIFY(!logged(QStringLiteral("Disconnect Success.")));
    }

    void requireStateMessages_data() {
        QTest::addColumn<bool>("connect");
        QTest::addColumn<int>("required");
        QTest::addColumn<bool>("passes");
        QTest::addColumn<QString>("message");
        QTest::newRow("same state") << false << 0 << true << QString();
        QTest::newRow("enter") << false << 1 << false
                               << QStringLiteral("当前处于未连接，请进入已连接状态");
        QTest::newRow("go back") << true << 0 << false
                                 << QStringLiteral("当前处于已连接，请退回未连接状态");
    }
    void requireStateMessages() {
        QFETCH(bool, connect);
        QFETCH(int, required);
        QFETCH(bool, passes);
        QFETCH(QString, message);
        if (connect) {
            QVERIFY(connectTo(kChain2));
        }
        QSignalSpy lines(window.get(), &MainWindow::writeLog);
        QCOMPARE(window->requireState(required), passes);
        if (passes) {
            QCOMPARE(lines.count(), 0);
        } else {
            QCOMPARE(lines.count(), 1);
            QCOMPARE(lines.first().first().toString(), message);
        }
    }

    // Enable is gated by the console's state before anything reaches the master.
    void enableRefusedWhenNotConnected() {
        enableButton()->click();
        QCOMPARE(enableButton()->text(), QStringLiteral("Enable"));
        QTRY_VERIFY(logged(QStringLiteral("当前处于未连接，请进入已连接状态")));
        QVERIFY(!logged(QStringLiteral("change mode:0")));
    }
};

QTEST_MAIN(TestMainWindowBus)
#include "tst_mainwindow_bus.moc"
