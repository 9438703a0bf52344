#include <QAction>
#include <QDir>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QMutex>
#include <QScopeGuard>
#include <QTableWidget>
#include <QTextEdit>

#include <utility>
#include <vector>

#include "console_support.h"
#include "driveoverview.h"
#include "kivcustomplot.h"
#include "nowheeldoublespinbox.h"
#include "roundtriptimer.h"

using namespace consoletest;
using sim::Cia402State;

namespace {

const QString kChain3 = QStringLiteral("Simulated drive chain (3 drives)");
const QString kChain2 = QStringLiteral("Simulated drive chain (2 drives)");
const QString kStubborn = QStringLiteral("Chain with a drive that never enables");
const QString kRefusedDuringJob = QStringLiteral("当前正在上使能或下使能，请等待其完成");

}  // namespace

// The console on running simulated chains: connect and disconnect, closing the window in every
// bus state, the drive controls as the drives receive them, faults and their reset, the plots,
// the multi-joint and round-trip tests, and a drive lost from the bus.
class TestConsoleDrive : public WindowFixture {
    Q_OBJECT

private:
    std::shared_ptr<sim::Chain> chain2;
    std::shared_ptr<sim::Chain> stubborn;

    QLabel* label(const char* name) const { return child<QLabel>(QLatin1String(name)); }
    QAbstractButton* multi() const { return button(QStringLiteral("button_multitest")); }
    QAbstractButton* roundTrip() const { return button(QStringLiteral("button_roundtrip")); }
    bool allDrivesIn(const sim::Chain& c, Cia402State s) const {
        for (int position = 1; position <= static_cast<int>(c.size()); ++position) {
            if (const_cast<sim::Chain&>(c).joint(position)->state != s) {
                return false;
            }
        }
        return true;
    }
    bool startMulti() {
        multi()->click();
        return QTest::qWaitFor([this] { return multi()->text() == QLatin1String("Stop"); },
                               kBusTimeoutMs);
    }
    void verifySetpointsZero(int drive) {
        const App_SetValue c = command(drive);
        QCOMPARE(c.torque + c.position + c.velocity, 0.0f);
        QCOMPARE(c.kp + c.kd, 0.0f);
        for (const char* box : {"doubleSpinBox_torque", "doubleSpinBox_position",
                                "doubleSpinBox_velocity", "doubleSpinBox_Kp", "doubleSpinBox_Kd"}) {
            QCOMPARE(value(box), 0.0);
        }
    }

private slots:
    void initTestCase() {
        sandboxSettings();
        QVERIFY(QDir::setCurrent(QStringLiteral(ZENTRIO_SOURCE_DIR)));
        chain = sim::registerSimulatedAdapter(chainConfig(3));
        chain2 = sim::registerSimulatedAdapter(chainConfig(2));
        sim::ChainConfig cfg = chainConfig(2);
        cfg.slaves[0].ignoredControlWords = {0x0F};  // never takes "enable operation"
        stubborn = std::make_shared<sim::Chain>(cfg);
        sim::registerSimulatedAdapter("sim:stubborn", kStubborn.toStdString(), stubborn);
        adapter = kChain3;
    }
    void cleanup() {
        if (window && roundTrip()->text() == QLatin1String("Stop")) {
            roundTrip()->click();
        }
        closeWindow();
    }

    // The chains are offered first and the list is refilled whenever it opens. A connect keeps
    // the adapter fixed while it runs, fills the drive selector and the counts, and remembers
    // the adapter (written only when it changes); a disconnect clears them and stops the plots.
    void connectAndDisconnect() {
        consoleSettings().clear();
        window = std::make_unique<MainWindow>();
        QComboBox* adapters = combo("comboBox_item");
        QCOMPARE(adapters->itemText(0), kChain3);
        QCOMPARE(adapters->itemText(1), kChain2);
        QCOMPARE(master()->adapters.size(), static_cast<size_t>(adapters->count()));
        QCOMPARE(master()->adapters.front().second, QStringLiteral("sim:3"));
        const auto later = sim::registerSimulatedAdapter(chainConfig(5));
        const QString desc5 = QStringLiteral("Simulated drive chain (5 drives)");
        QCOMPARE(adapters->findText(desc5), -1);
        adapters->showPopup();
        adapters->hidePopup();
        QVERIFY(adapters->findText(desc5) >= 0);
        ec::unregisterVirtualAdapter("sim:5");
        adapters->showPopup();
        adapters->hidePopup();
        QCOMPARE(adapters->findText(desc5), -1);

        connectButton()->click();
        QCOMPARE(connectButton()->text(), QStringLiteral("Connecting"));
        QVERIFY(!adapters->isEnabled());
        connectButton()->click();  // inert while the bring-up runs
        QTRY_COMPARE_WITH_TIMEOUT(connectButton()->text(), QStringLiteral("Disconnect"),
                                  kBusTimeoutMs);
        QVERIFY(adapters->isEnabled());
        QTRY_VERIFY(logged(QStringLiteral("currentMotorIndex.0")));
        QCOMPARE(loggedCount(QStringLiteral("Connect Success.")), 1);
        QCOMPARE(state(), static_cast<int>(Connected));
        QCOMPARE(label("label_motorcount")->text(), QStringLiteral("电机数量:3"));
        QCOMPARE(label("label_multicount")->text(), QStringLiteral("3"));
        QCOMPARE(combo("comboBox_index")->count(), 3);
        QCOMPARE(combo("comboBox_index")->itemText(2), QStringLiteral("2"));
        QCOMPARE(consoleSettings().value(kAdapterSettingKey).toString(), kChain3);

        button(QStringLiteral("pushButton_plot_para"))->setChecked(true);
        button(QStringLiteral("pushButton_plot_temp"))->setChecked(true);
        window->setTestLock(true);
        connectButton()->click();
        QCOMPARE(connectButton()->text(), QStringLiteral("Connect"));
        QTRY_VERIFY(logged(QStringLiteral("Disconnect Success.")));
        QCOMPARE(state(), static_cast<int>(NotConnected));
        QVERIFY(!master()->connected);
        QCOMPARE(combo("comboBox_index")->count(), 0);
        QCOMPARE(label("label_motorcount")->text(), QStringLiteral("电机数量:0"));
        QCOMPARE(label("label_multicount")->text(), QStringLiteral("0"));
        QVERIFY(!locked());
        QVERIFY(!button(QStringLiteral("pushButton_plot_para"))->isChecked());
        QVERIFY(!button(QStringLiteral("pushButton_plot_temp"))->isChecked());

        consoleSettings().setValue(kAdapterSettingKey, QStringLiteral("marker"));
        QVERIFY(connectBus());
        QCOMPARE(consoleSettings().value(kAdapterSettingKey).toString(), QStringLiteral("marker"));
        connectButton()->click();
        QVERIFY(connectBus(kChain2));
        QCOMPARE(combo("comboBox_index")->count(), 2);
        QCOMPARE(consoleSettings().value(kAdapterSettingKey).toString(), kChain2);
        connectButton()->click();
        window.reset();  // one master at a time: it owns the process's supervision thread
        window = std::make_unique<MainWindow>();
        QCOMPARE(combo("comboBox_item")->currentText(), kChain2);
        combo("comboBox_item")->showPopup();
        combo("comboBox_item")->hidePopup();
        QCOMPARE(combo("comboBox_item")->currentText(), kChain2);
    }

    // A chain without drives cannot be brought up: back to Connect, nothing remembered.
    void failedBringUp() {
        auto empty = std::make_shared<sim::Chain>(sim::ChainConfig{});
        sim::registerSimulatedAdapter("sim:empty", "Empty chain", empty);
        window = std::make_unique<MainWindow>();
        const QVariant remembered = consoleSettings().value(kAdapterSettingKey);
        combo("comboBox_item")->setCurrentIndex(combo("comboBox_item")->findText("Empty chain"));
        connectButton()->click();
        QCOMPARE(connectButton()->text(), QStringLiteral("Connecting"));
        QTRY_COMPARE_WITH_TIMEOUT(connectButton()->text(), QStringLiteral("Connect"), 180000);
        QTRY_VERIFY(logged(QStringLiteral("Connect Fail.")));
        QCOMPARE(state(), static_cast<int>(NotConnected));
        QCOMPARE(combo("comboBox_index")->count(), 0);
        QCOMPARE(consoleSettings().value(kAdapterSettingKey), remembered);
        ec::unregisterVirtualAdapter("sim:empty");
    }

    // Closing the window releases the bus in every state, also in the middle of a bring-up, and
    // never walks away from an enabled drive by a disconnect.
    void closingReleasesTheBus() {
        QVERIFY(openConnected());
        QSignalSpy lines(window.get(), &MainWindow::writeLog);
        window.reset();
        QVERIFY(lines.contains(QVariantList{QStringLiteral("Disconnect Success.")}));

        QVERIFY(openConnected());
        QVERIFY(clickAndWait("pushButton_enable", "Disable"));
        connectButton()->click();
        QTRY_VERIFY(logged(QStringLiteral("Please exit the motor mode first！")));
        QCOMPARE(connectButton()->text(), QStringLiteral("Disconnect"));
        QVERIFY(master()->connected);
        QSignalSpy closing(window.get(), &MainWindow::writeLog);
        window.reset();
        QVERIFY(
            closing.contains(QVariantList{QStringLiteral("Please exit the motor mode first！")}));
        QVERIFY(!closing.contains(QVariantList{QStringLiteral("Disconnect Success.")}));

        window = std::make_unique<MainWindow>();
        combo("comboBox_item")->setCurrentIndex(0);
        connectButton()->click();
        QCOMPARE(connectButton()->text(), QStringLiteral("Connecting"));
        window.reset();  // waits for the bring-up; the bus is not left to a deleted master
        QVERIFY(openConnected());
        QCOMPARE(combo("comboBox_index")->count(), 3);
    }

    // Modes, enable, setpoints, disable, quick stop and drive selection as the drives take them.
    void driveControls() {
        QVERIFY(openConnected());
        // Item -> (mode of operation, loop the round trip drives, round-trip panel shown).
        const struct {
            int item;
            uint16_t mode;
            int loop;
            bool shown;
        } modes[] = {{1, 8, kCmdPosition, true},   {2, 10, kCmdPosition, false},
                     {3, 11, kCmdPosition, false}, {4, 12, kCmdTorque, true},
                     {5, 13, kCmdTorque, false},   {0, 9, kCmdVelocity, true}};
        for (const auto& m : modes) {
            combo("comboBox_mode")->setCurrentIndex(m.item);
            for (int drive = 0; drive < 3; ++drive) {
                QCOMPARE(command(drive).mode, m.mode);
            }
            QTRY_COMPARE_WITH_TIMEOUT(chain->joint(3)->mode, static_cast<int16_t>(m.mode),
                                      kBusTimeoutMs);
            QCOMPARE(window->roundTripCommandCode(), m.loop);
            QCOMPARE(!child(QStringLiteral("widget_2"))->isHidden(), m.shown);
        }
        QCOMPARE(window->roundTripLoop(), QStringLiteral("速度环"));

        QVERIFY(clickAndWait("pushButton_enable", "Disable"));
        QCOMPARE(state(), static_cast<int>(Enabled));
        QTRY_VERIFY(logged(QStringLiteral("Enable Success.")));
        QVERIFY(messages().indexOf(QStringLiteral("change mode:0")) <
                messages().indexOf(QStringLiteral("Enable Success.")));
        QCOMPARE(stateAtDrive(1), Cia402State::OperationEnabled);
        QCOMPARE(stateAtDrive(2), Cia402State::SwitchOnDisabled);
        combo("comboBox_index")->setCurrentIndex(1);  // refused while enabled
        QCOMPARE(combo("comboBox_index")->currentIndex(), 0);
        QTRY_COMPARE(loggedCount(QStringLiteral("当前处于上使能，请退回已连接状态")), 1);

        // The joint turns at the velocity set; profile position takes over where it stands.
        setValue("doubleSpinBox_velocity", 1.0);
        button(QStringLiteral("pushButton_velocity"))->click();
        QCOMPARE(command(0).velocity, 1.0f);
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(chain->joint(1)->velocity - 1.0) < 0.05, kBusTimeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(value("doubleSpinBox_Velocity") - 1.0) <= 0.01,
                                 kBusTimeoutMs);
        QVERIFY(qAbs(chain->joint(2)->velocity) < 0.01);
        const double start = value("doubleSpinBox_Position");
        QTRY_VERIFY_WITH_TIMEOUT(value("doubleSpinBox_Position") > start + 0.5, kBusTimeoutMs);
        combo("comboBox_mode")->setCurrentIndex(1);
        QCOMPARE(value("doubleSpinBox_position"), value("doubleSpinBox_Position"));
        button(QStringLiteral("pushButton_position"))->click();
        const double held = value("doubleSpinBox_position");
        QCOMPARE(command(0).position, static_cast<float>(held));
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(chain->joint(1)->velocity) < 0.005, kBusTimeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(chain->joint(1)->position - held) < 0.02, kBusTimeoutMs);
        combo("comboBox_mode")->setCurrentIndex(0);
        QCOMPARE(value("doubleSpinBox_position"), held);
        for (const auto& [box, send] : {std::pair{"doubleSpinBox_torque", "pushButton_torque"},
                                        std::pair{"doubleSpinBox_Kp", "pushButton_Kp"},
                                        std::pair{"doubleSpinBox_Kd", "pushButton_Kd"}}) {
            setValue(box, 0.5);
            button(QLatin1String(send))->click();
        }
        QCOMPARE(command(0).torque + command(0).kp + command(0).kd, 1.5f);

        // Disable zeroes the setpoints, in the boxes and in the record the drive receives.
        QVERIFY(clickAndWait("pushButton_enable", "Enable"));
        QTRY_VERIFY(logged(QStringLiteral("Disable success.")));
        QCOMPARE(state(), static_cast<int>(Connected));
        QVERIFY(!master()->enabled);
        verifySetpointsZero(0);
        QTRY_VERIFY_WITH_TIMEOUT(stateAtDrive(1) != Cia402State::OperationEnabled, kBusTimeoutMs);

        // STOP reaches the operated drive whatever the state; Esc is STOP anywhere in the window.
        button(QStringLiteral("pushButton_QuickStop"))->click();
        QCOMPARE(command(0).controlWord, uint16_t{2});
        QTRY_COMPARE_WITH_TIMEOUT(controlWordAtDrive(1), uint16_t{2}, kBusTimeoutMs);
        setValue("doubleSpinBox_torque", 1.25);
        button(QStringLiteral("pushButton_torque"))->click();
        selectDrive(1);
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QTest::keyClick(child(QStringLiteral("doubleSpinBox_Kp")), Qt::Key_Escape);
        QTRY_COMPARE_WITH_TIMEOUT(controlWordAtDrive(2), uint16_t{2}, kBusTimeoutMs);
        QCOMPARE(controlWordAtDrive(3), uint16_t{0});

        // Another drive: its setpoints start at 0, the one left keeps its command, and what the
        // parameter page showed (read from the other drive) is cleared; the product type stays.
        window->setProductType(QStringLiteral("QJ30"));
        for (const char* name : {"lineEdit_PdtType", "lineEdit_PdtBatch", "lineEdit_Version"}) {
            child<QLineEdit>(QLatin1String(name))->setText(QStringLiteral("1"));
        }
        for (const auto& row : window->parameterRows()) {
            row.editor->setValue(5);
        }
        setValue("doubleSpinBox_torque", 2.0);
        selectDrive(2);
        QTRY_VERIFY(logged(QStringLiteral("Current Motor Index: 2")));
        QCOMPARE(master()->selectedSlave.load(), master()->validDrives.at(2));
        verifySetpointsZero(2);
        QCOMPARE(command(0).torque, 1.25f);
        for (const char* name : {"lineEdit_PdtType", "lineEdit_PdtBatch", "lineEdit_Version"}) {
            QVERIFY2(child<QLineEdit>(QLatin1String(name))->text().isEmpty(), name);
        }
        for (const auto& row : window->parameterRows()) {
            QVERIFY(!MainWindow::editorShowsValue(row.editor));
        }
        QCOMPARE(window->currentProductType(), QStringLiteral("QJ30"));
        QSignalSpy lines(window.get(), &MainWindow::writeLog);
        selectDrive(2);  // the same drive again does nothing
        QCOMPARE(lines.count(), 0);
    }

    // When the master refuses, the button returns and the state stays; while a walk runs, nothing
    // that would change the bus, the drive or the state under it is taken.
    void enableAndDisableRefusals() {
        QVERIFY(openConnected());
        master()->enabled = true;  // as if a drive were enabled already
        QVERIFY(clickAndWait("pushButton_enable", "Enable"));
        QTRY_VERIFY(logged(QStringLiteral("Enable Fail.")));
        QVERIFY(logged(QStringLiteral("Is in enable, cannot enable!")));
        QCOMPARE(state(), static_cast<int>(Connected));
        master()->enabled = false;

        enableButton()->click();
        QCOMPARE(enableButton()->text(), QStringLiteral("Enabling"));
        connectButton()->click();
        combo("comboBox_index")->setCurrentIndex(1);
        multi()->click();
        button(QStringLiteral("button_calibrate"))->click();
        window->findChild<QAction*>(QStringLiteral("actionResetAllFaults"))->trigger();
        QTRY_COMPARE(loggedCount(kRefusedDuringJob), 5);
        QCOMPARE(connectButton()->text(), QStringLiteral("Disconnect"));
        QCOMPARE(window->motorIndex(), 0);
        QCOMPARE(multi()->text(), QStringLiteral("Start"));
        QCOMPARE(button(QStringLiteral("button_calibrate"))->text(), QStringLiteral("开始校准"));
        QTRY_COMPARE_WITH_TIMEOUT(enableButton()->text(), QStringLiteral("Disable"), kBusTimeoutMs);
        QCOMPARE(state(), static_cast<int>(Enabled));

        master()->enabled = false;  // as if disabled behind the console's back
        QVERIFY(clickAndWait("pushButton_enable", "Disable"));
        QTRY_VERIFY(logged(QStringLiteral("Disable Fail.")));
        QVERIFY(logged(QStringLiteral("Not in enable, cannot Disable!")));
        QCOMPARE(state(), static_cast<int>(Enabled));
        master()->enabled = true;
    }

    // A fault injected at a drive: its words decoded into the log and the fault box, its row
    // marked in the overview, Enable refused with the way out; the reset from the Drive menu
    // brings it back, except while its cause (a temperature over the limit) remains.
    void faultAndReset() {
        QVERIFY(openConnected());
        button(QStringLiteral("pushButton_ReadPdtType"))->click();
        QCOMPARE(window->currentProductType(), QStringLiteral("QJ30"));
        window->findChild<QAction*>(QStringLiteral("actionDriveOverview"))->trigger();
        DriveOverview* overview = window->driveOverview();
        auto* table = overview->findChild<QTableWidget*>(QStringLiteral("tableWidget_drives"));
        QCOMPARE(table->rowCount(), 3);
        QCOMPARE(table->item(1, DriveOverview::ColSlave)->text(), QStringLiteral("2"));
        auto* reset = window->findChild<QAction*>(QStringLiteral("actionResetFault"));
        auto* resetAll = window->findChild<QAction*>(QStringLiteral("actionResetAllFaults"));
        resetAll->trigger();
        reset->trigger();
        QTRY_VERIFY(logged(QStringLiteral("电机0未处于故障状态，无需复位")));
        QVERIFY(logged(QStringLiteral("没有处于故障状态的电机")));

        selectDrive(1);
        QVERIFY(chain->injectFault(2, (1u << 0) | (1u << 3), 1u << 5));
        QTRY_COMPARE_WITH_TIMEOUT(master()->driveStateOf(1), static_cast<int>(kDriveFault),
                                  kBusTimeoutMs);
        QTRY_VERIFY(overview->rowMarked(1));
        QVERIFY(!overview->rowMarked(0) && !overview->rowMarked(2));
        QCOMPARE(table->item(1, DriveOverview::ColState)->text(),
                 ecmaster::driveStateName(kDriveFault));
        QTRY_VERIFY(table->item(1, DriveOverview::ColErrorWord)->text().startsWith("0x00000009 "));
        QTRY_VERIFY(logged(QStringLiteral(">>> MOS过温")));
        QVERIFY(logged(QStringLiteral(">>> 过压")) && logged(QStringLiteral(">>> 电机过温")));
        const auto box = [this] {
            return child<QTextEdit>(QStringLiteral("textEdit_errorWord"))->toPlainText();
        };
        QVERIFY(box().contains(QStringLiteral("ErrorWord:\n    过压    电机过温")));
        QVERIFY(box().contains(QStringLiteral("DrvErrorWord:\n    MOS过温")));
        QVERIFY(clickAndWait("pushButton_enable", "Enable"));
        QTRY_VERIFY(logged(QStringLiteral("Enable Fail.")));
        QVERIFY(logged(QStringLiteral("电机1处于故障状态，请先复位故障 (Drive > Reset fault)")));

        reset->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(logged(QStringLiteral("电机1故障已复位")), kBusTimeoutMs);
        QCOMPARE(messages().filter(QStringLiteral("电机1: 故障, ErrorWord 0x00000009")).size(), 1);
        QCOMPARE(master()->driveStateOf(1), static_cast<int>(kDriveSwitchOnDisabled));
        QTRY_COMPARE(box().count(QStringLiteral("    PADDING")), 2);
        QTRY_VERIFY(!overview->rowMarked(1));
        QVERIFY(clickAndWait("pushButton_enable", "Disable"));
        QVERIFY(clickAndWait("pushButton_enable", "Enable"));

        const std::vector<uint8_t> limit = chain->parameter(2, 16);  // motor over-temperature, °C
        window->writeParameterValue(16, 10.0f);
        QTRY_COMPARE_WITH_TIMEOUT(master()->driveStateOf(1), static_cast<int>(kDriveFault),
                                  kBusTimeoutMs);
        resetAll->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(logged(QStringLiteral("电机1故障复位失败")), kBusTimeoutMs);
        QCOMPARE(master()->driveStateOf(1), static_cast<int>(kDriveFault));
        window->writeParameterValue(16, static_cast<float>(limit.at(0)));
        reset->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(loggedCount(QStringLiteral("电机1故障已复位")), 2, kBusTimeoutMs);

        // A double-click operates a drive, through the selector's gate.
        emit table->cellDoubleClicked(2, 0);
        QCOMPARE(window->motorIndex(), 2);
        window->forceConsoleState(Enabled);
        emit table->cellDoubleClicked(0, 0);
        QCOMPARE(window->motorIndex(), 2);
        window->forceConsoleState(Connected);
    }

    // The plots sample the cycle while they run: the time axis follows the newest point (the last
    // 10 s, or the whole history), the value axis is fitted once per start and then left to the
    // operator; stop keeps the curves, clear empties them, a new start begins a new time base,
    // and a disconnect stops the plot.
    void plots_data() {
        QTest::addColumn<QString>("plotName");
        QTest::addColumn<QString>("startName");
        QTest::addColumn<QString>("clearName");
        QTest::addColumn<bool>("slidingWindow");
        QTest::newRow("parameters") << "plot_para"
                                    << "pushButton_plot_para"
                                    << "pushButton_clear_para" << true;
        QTest::newRow("temperatures") << "plot_temperature"
                                      << "pushButton_plot_temp"
                                      << "pushButton_clear_temp" << false;
    }
    void plots() {
        QFETCH(QString, plotName);
        QFETCH(QString, startName);
        QFETCH(QString, clearName);
        QFETCH(bool, slidingWindow);
        QVERIFY(openConnected());
        auto* plot = child<QCustomPlot>(plotName);
        QAbstractButton* start = button(startName);
        QAbstractButton* clear = button(clearName);
        const auto points = [plot](int curve = 0) { return plot->graph(curve)->data()->size(); };
        const auto firstKey = [plot] { return plot->graph(0)->data()->constBegin()->key; };
        const auto lastKey = [plot] { return (plot->graph(0)->data()->constEnd() - 1)->key; };
        const auto keyRange = [&] {
            return slidingWindow ? QCPRange(lastKey() - 10.0, lastKey())
                                 : QCPRange(firstKey(), lastKey());
        };
        const QCPRange operatorRange(-12345.0, 23456.0);
        for (int run = 0; run < 2; ++run) {
            start->setChecked(true);
            QCOMPARE(start->text(), QStringLiteral("Stop Plot"));
            QVERIFY(!clear->isEnabled());
            QCOMPARE(points(0) + points(1) + points(2), 0);
            QTRY_VERIFY_WITH_TIMEOUT(points() >= 2, kBusTimeoutMs);
            QVERIFY(firstKey() >= 0.0 && firstKey() < 5.0);
            QTRY_VERIFY(plot->yAxis->range() != QCPRange(15, 75) &&
                        plot->yAxis->range() != operatorRange);
            plot->yAxis->setRange(operatorRange);
            const int seen = points();
            QTRY_VERIFY_WITH_TIMEOUT(points(1) >= seen + 3 && points(2) >= seen + 3, kBusTimeoutMs);
            QTRY_COMPARE(plot->xAxis->range(), keyRange());
            QCOMPARE(plot->yAxis->range(), operatorRange);
            start->setChecked(false);
            QCOMPARE(start->text(), QStringLiteral("Start Plot"));
            QVERIFY(clear->isEnabled());
            const int kept = points();
            QTest::qWait(200);
            QCOMPARE(points(), kept);
        }
        clear->click();
        QCOMPARE(points(0) + points(1) + points(2), 0);
        start->setChecked(true);
        connectButton()->click();
        QVERIFY(!start->isChecked());
        QCOMPARE(start->text(), QStringLiteral("Start Plot"));
    }

    // Every drive enabled in the speed ramp at 1 turn/s, STOP for all of them, and the stop
    // disabling them all with the operated drive's setpoints zeroed.
    void multiJointRun() {
        QVERIFY(openConnected());
        selectDrive(1);
        combo("comboBox_mode")->setCurrentIndex(2);
        setValue("doubleSpinBox_Kp", 3.0);
        button(QStringLiteral("pushButton_Kp"))->click();
        multi()->click();
        QCOMPARE(state(), static_cast<int>(Testing));
        QVERIFY(locked());
        QCOMPARE(combo("comboBox_mode")->currentIndex(), 0);
        multi()->click();  // while the drives are being enabled: refused
        QTRY_COMPARE_WITH_TIMEOUT(multi()->text(), QStringLiteral("Stop"), kBusTimeoutMs);
        QCOMPARE(loggedCount(kRefusedDuringJob), 1);
        QVERIFY(allDrivesIn(*chain, Cia402State::OperationEnabled));
        for (int position = 1; position <= 3; ++position) {
            QCOMPARE(chain->joint(position)->mode, int16_t{9});
            QTRY_VERIFY_WITH_TIMEOUT(qAbs(chain->joint(position)->velocity - 1.0) < 0.05,
                                     kBusTimeoutMs);
        }
        QVERIFY(locked());

        multi()->click();
        QTRY_COMPARE_WITH_TIMEOUT(multi()->text(), QStringLiteral("Start"), kBusTimeoutMs);
        QCOMPARE(state(), static_cast<int>(Connected));
        QVERIFY(!locked() && !master()->enabled);
        QVERIFY(allDrivesIn(*chain, Cia402State::ReadyToSwitchOn));
        QTRY_VERIFY(logged(QStringLiteral(">>> 停止多关节测试")));
        verifySetpointsZero(1);
        QCOMPARE(command(0).velocity, 1.0f);  // the others keep theirs until enabled again

        const qsizetype modeChanges = loggedCount(QStringLiteral("change mode:0"));
        QVERIFY(startMulti());
        QCOMPARE(loggedCount(QStringLiteral("change mode:0")), modeChanges);
        button(QStringLiteral("pushButton_QuickStop"))->click();
        for (int position = 1; position <= 3; ++position) {
            QTRY_COMPARE_WITH_TIMEOUT(stateAtDrive(position), Cia402State::QuickStopActive,
                                      kBusTimeoutMs);
            QCOMPARE(controlWordAtDrive(position), uint16_t{2});
        }
    }

    // A drive that never takes "enable operation" ends the test at once; a faulted drive keeps it
    // running until Stop succeeds; closing the window in the middle of either walk is clean.
    void multiJointFailures() {
        window = std::make_unique<MainWindow>();
        QVERIFY(connectBus(kStubborn));
        multi()->click();
        QTRY_VERIFY_WITH_TIMEOUT(logged(QStringLiteral(">>> 上使能所有电机失败。")), kBusTimeoutMs);
        QCOMPARE(state(), static_cast<int>(Connected));
        QVERIFY(!locked() && !master()->enabled);
        QCOMPARE(multi()->text(), QStringLiteral("Start"));
        QCOMPARE(stubborn->joint(1)->state, Cia402State::SwitchedOn);
        QCOMPARE(command(1).velocity, 0.0f);

        QVERIFY(openConnected());
        QVERIFY(startMulti());
        QVERIFY(chain->injectFault(1, 1u << 1));
        QTRY_COMPARE_WITH_TIMEOUT(master()->driveStateOf(0), static_cast<int>(kDriveFault),
                                  kBusTimeoutMs);
        multi()->click();
        QTRY_VERIFY_WITH_TIMEOUT(logged(QStringLiteral(">>> 下使能所有电机失败")), kBusTimeoutMs);
        QCOMPARE(state(), static_cast<int>(Testing));
        QVERIFY(locked() && master()->enabled);
        QCOMPARE(multi()->text(), QStringLiteral("Stop"));
        QCOMPARE(stateAtDrive(2), Cia402State::OperationEnabled);
        chain->withSlave(1, [](sim::Esc&, sim::SlaveApplication* app) {
            for (const uint16_t cw : {0x80, 0x06, 0x07, 0x0F}) {
                static_cast<sim::Cia402Drive*>(app)->applyControlWord(cw);
            }
        });
        QTRY_COMPARE_WITH_TIMEOUT(master()->driveStateOf(0),
                                  static_cast<int>(kDriveOperationEnabled), kBusTimeoutMs);
        multi()->click();
        QTRY_COMPARE_WITH_TIMEOUT(multi()->text(), QStringLiteral("Start"), kBusTimeoutMs);
        QCOMPARE(state(), static_cast<int>(Connected));
        QVERIFY(allDrivesIn(*chain, Cia402State::ReadyToSwitchOn));

        multi()->click();
        window.reset();  // while enabling
        QVERIFY(openConnected());
        QVERIFY(startMulti());
        multi()->click();
        window.reset();  // while disabling
        QVERIFY(openConnected());
        QVERIFY(startMulti());
        QVERIFY(allDrivesIn(*chain, Cia402State::OperationEnabled));
    }

    // The round trip drives the operated drive's loop: first, second, first, ... one step per
    // interval from the click on, 0 when the total time is up or on Stop, nothing after.
    void roundTripRuns() {
        QVERIFY(openConnected());
        selectDrive(1);
        std::vector<std::pair<int, float>> steps;
        auto* timer = window->findChild<RoundtripTimer*>();
        const QMetaObject::Connection recorder =
            connect(timer, &RoundtripTimer::timeoutTriggered, window.get(),
                    [&](int n) { steps.emplace_back(n, command(1).velocity); });
        const auto disconnectRecorder = qScopeGuard([recorder] { QObject::disconnect(recorder); });
        QVERIFY(clickAndWait("pushButton_enable", "Disable"));
        master()->setCommandValue(kCmdVelocity, 0.25f, 0);
        const auto setInputs = [this](double first, double second, double interval, double total) {
            setValue("doubleSpinBox_roundtripfirst", first);
            setValue("doubleSpinBox_roundtripsecond", second);
            setValue("RoundTripIntervalInput", interval);
            setValue("RoundTripTimeInput", total);
        };
        const auto alternated = [&steps](float first, float second) {
            for (size_t i = 0; i < steps.size(); ++i) {
                if (steps[i] != std::pair{static_cast<int>(i), i % 2 == 0 ? first : second}) {
                    return false;
                }
            }
            return steps.size() >= 2;
        };
        const auto readOnly = [this] {
            return child<QDoubleSpinBox>(QStringLiteral("RoundTripTimeInput"))->isReadOnly();
        };

        setInputs(0.5, -0.75, 0.1, 1.0);
        roundTrip()->click();
        QCOMPARE(steps, (std::vector<std::pair<int, float>>{{0, 0.5f}}));  // within the click
        QCOMPARE(timer->interval, 100);
        QCOMPARE(timer->totalTime, 1000);
        QCOMPARE(state(), static_cast<int>(Testing));
        QVERIFY(locked() && readOnly());
        QTRY_COMPARE_WITH_TIMEOUT(roundTrip()->text(), QStringLiteral("Start"), kBusTimeoutMs);
        QVERIFY(alternated(0.5f, -0.75f));
        QCOMPARE(command(1).velocity, 0.0f);
        QCOMPARE(command(0).velocity, 0.25f);
        QCOMPARE(state(), static_cast<int>(Enabled));
        QVERIFY(!locked() && !readOnly());
        size_t sent = steps.size();
        QTest::qWait(300);
        QCOMPARE(steps.size(), sent);

        steps.clear();
        setInputs(1.5, 0.5, 0.1, 1800.0);
        roundTrip()->click();
        QTRY_VERIFY_WITH_TIMEOUT(steps.size() >= 3, kBusTimeoutMs);
        roundTrip()->click();
        QVERIFY(alternated(1.5f, 0.5f));
        QCOMPARE(command(1).velocity, 0.0f);
        QCOMPARE(state(), static_cast<int>(Enabled));
        sent = steps.size();
        QTest::qWait(300);
        QCOMPARE(steps.size(), sent);
        QTRY_COMPARE(loggedCount(QStringLiteral(">>> Stop Roundtrip")), 2);

        // The position loop: steps into the position command, 0 at the end, velocity untouched.
        combo("comboBox_mode")->setCurrentIndex(1);
        setInputs(0.2, 0.4, 0.1, 1800.0);
        const float velocity = command(1).velocity;
        roundTrip()->click();
        QCOMPARE(command(1).position, 0.2f);
        QTRY_COMPARE_WITH_TIMEOUT(command(1).position, 0.4f, kBusTimeoutMs);
        roundTrip()->click();
        QCOMPARE(command(1).position, 0.0f);
        QCOMPARE(command(1).velocity, velocity);
    }

    // A drive falling off the bus takes the whole bus down, as a disconnect would, and ends a
    // running procedure: the lock comes off, the state stays "not connected" after the
    // procedure's own end would have come, and closing the window afterwards brings nothing up.
    void lostDrive_data() {
        QTest::addColumn<QString>("procedure");
        QTest::newRow("idle") << QString();
        QTest::newRow("round trip") << QStringLiteral("button_roundtrip");
        QTest::newRow("multi-joint test") << QStringLiteral("button_multitest");
        QTest::newRow("calibration") << QStringLiteral("button_calibrate");
    }
    void lostDrive() {
        QFETCH(QString, procedure);
        QVERIFY(openConnected());
        window->setProcedurePollInterval(20);
        setValue("doubleSpinBox_velocity", 1.5);
        setValue("doubleSpinBox_Kp", -2);
        if (!procedure.isEmpty()) {
            const QString idle = button(procedure)->text();
            if (procedure == QLatin1String("button_roundtrip")) {
                setValue("RoundTripTimeInput", 1.0);
                QVERIFY(clickAndWait("pushButton_enable", "Disable"));
            }
            button(procedure)->click();
            if (procedure == QLatin1String("button_multitest")) {
                QTRY_COMPARE_WITH_TIMEOUT(multi()->text(), QStringLiteral("Stop"), kBusTimeoutMs);
            }
            QCOMPARE(state(), static_cast<int>(Testing));
            QVERIFY(locked());
            chain->pullDrive(3);
            QTRY_COMPARE_WITH_TIMEOUT(button(procedure)->text(), idle, kBusTimeoutMs);
        } else {
            chain->pullDrive(3);
        }
        QTRY_COMPARE_WITH_TIMEOUT(connectButton()->text(), QStringLiteral("Connect"),
                                  kBusTimeoutMs);
        QCOMPARE(enableButton()->text(), QStringLiteral("Enable"));
        QCOMPARE(label("label_motorcount")->text(), QStringLiteral("电机数量:0"));
        QCOMPARE(value("doubleSpinBox_velocity") + value("doubleSpinBox_Kp"), 0.0);
        QVERIFY(!locked());
        QTest::qWait(2000);  // past the round trip's total time and the calibration's polls
        QCOMPARE(state(), static_cast<int>(NotConnected));
        QVERIFY(!master()->connected && !master()->enabled);

        chain->plugDrive(3);
        QStringList closing;  // the master's lines while the window closes, from any thread
        QMutex closingMutex;
        connect(
            master(), &ecmaster::writeLog, window.get(),
            [&](const QString& line) {
                const QMutexLocker lock(&closingMutex);
                closing << line;
            },
            Qt::DirectConnection);
        window.reset();
        QVERIFY2(closing.filter(QStringLiteral("[Init]")).isEmpty(),
                 qPrintable(closing.join('\n')));
    }
};

QTEST_MAIN(TestConsoleDrive)
#include "tst_console_drive.moc"
