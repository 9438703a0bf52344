#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include "console_support.h"
#include "driveoverview.h"
#include "ecmaster.h"
#include "kivcustomplot.h"
#include "mainwindow.h"
#include "nowheeldoublespinbox.h"
#include "sim/chain.h"
#include "sim/virtual_link.h"

using consoletest::kBusTimeoutMs;
using consoletest::paneMessages;

namespace {

const QString kChain = QStringLiteral("Simulated drive chain (3 drives)");

}  // namespace

// The drive controls on a running simulated bus: mode, enable and disable, drive selection,
// setpoints and quick stop, what reaches the drives' command records, and the live plots.
class TestMainWindowDrive : public consoletest::WindowFixture {
    Q_OBJECT

public:
    TestMainWindowDrive() : WindowFixture(kChain) {}

private slots:
    void initTestCase() {
        QVERIFY(settingsDir.isValid());
        consoletest::sandboxSettings(settingsDir);
        // The project's word definitions, which the windows read from their working directory.
        QVERIFY(QDir::setCurrent(QStringLiteral(ZENTRIO_SOURCE_DIR)));
        chain = sim::registerSimulatedAdapter(consoletest::chainConfig(3));
    }
    void init() {
        window = std::make_unique<MainWindow>();
        QVERIFY(connectBus());
    }
    void cleanup() { closeWindow(); }

    void modeReachesEveryDrive_data() {
        QTest::addColumn<int>("item");
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("roundTrip");
        QTest::addColumn<QString>("label");
        const QString velocity = QStringLiteral("速度环往返参数 (turn/s)");
        QTest::newRow("profile position")
            << 1 << 8 << true << QStringLiteral("位置环往返参数 (turn)");
        QTest::newRow("hybrid") << 2 << 10 << false << velocity;
        QTest::newRow("sine") << 3 << 11 << false << velocity;
        QTest::newRow("torque ramp") << 4 << 12 << true << QStringLiteral("电流环往返参数 (Nm)");
        QTest::newRow("torque calibration") << 5 << 13 << false << velocity;
    }
    void modeReachesEveryDrive() {
        QFETCH(int, item);
        QFETCH(int, code);
        QFETCH(bool, roundTrip);
        QFETCH(QString, label);
        child<QComboBox>("comboBox_mode")->setCurrentIndex(item);
        QTRY_VERIFY(logged(QStringLiteral("change mode:%1").arg(item)));
        for (int drive = 0; drive < 3; ++drive) {
            QCOMPARE(command(drive).mode, static_cast<uint16_t>(code));
        }
        QCOMPARE(!child<QWidget>("widget_2")->isHidden(), roundTrip);
        QCOMPARE(child<QLabel>("RoundTripLabel")->text(), label);

        // Back to the speed ramp.
        child<QComboBox>("comboBox_mode")->setCurrentIndex(0);
        QCOMPARE(command(2).mode, static_cast<uint16_t>(9));
        QVERIFY(!child<QWidget>("widget_2")->isHidden());
        QCOMPARE(child<QLabel>("RoundTripLabel")->text(),
                 QStringLiteral("速度环往返参数 (turn/s)"));
    }

    void enableSelectDisable() {
        QVERIFY(clickAndWait("pushButton_enable", "Disable"));
        QCOMPARE(window->consoleState(), static_cast<int>(Enabled));
        QTRY_VERIFY(logged(QStringLiteral("Enable Success.")));
        const QStringList lines = paneMessages(*window);
        QVERIFY(lines.indexOf(QStringLiteral("change mode:0")) <
                lines.indexOf(QStringLiteral("Enable Success.")));
        QVERIFY(lines.contains(QStringLiteral("change mode:0")));

        // Another drive while enabled: refused, the selector snaps back.
        auto* drives = child<QComboBox>("comboBox_index");
        drives->setCurrentIndex(1);
        QCOMPARE(drives->currentIndex(), 0);
        QCOMPARE(window->motorIndex(), 0);
        QTRY_VERIFY(logged(QStringLiteral("当前处于上使能，请退回已连接状态")));
        QCOMPARE(paneMessages(*window).count(QStringLiteral("当前处于上使能，请退回已连接状态")),
                 1);

        // Setpoints while enabled; the speed ramp ignores all but the velocity.
        const std::pair<const char*, const char*> rows[] = {
            {"doubleSpinBox_torque", "pushButton_torque"},
            {"doubleSpinBox_position", "pushButton_position"},
            {"doubleSpinBox_velocity", "pushButton_velocity"},
            {"doubleSpinBox_Kp", "pushButton_Kp"},
            {"doubleSpinBox_Kd", "pushButton_Kd"}};
        for (const auto& [box, send] : rows) {
            child<QDoubleSpinBox>(box)->setValue(0.5);
            button(send)->click();
        }
        const App_SetValue before = command(0);
        QCOMPARE(before.torque, 0.5f);
        QCOMPARE(before.position, 0.5f);
        QCOMPARE(before.velocity, 0.5f);
        QCOMPARE(before.kp, 0.5f);
        QCOMPARE(before.kd, 0.5f);

        QVERIFY(clickAndWait("pushButton_enable", "Enable"));
        QTRY_VERIFY(logged(QStringLiteral("Disable success.")));
        QCOMPARE(window->consoleState(), static_cast<int>(Connected));
        QVERIFY(!window->busMaster()->enabled);
        for (const auto& [box, send] : rows) {
            QCOMPARE(child<QDoubleSpinBox>(box)->value(), 0.0);
        }
        const App_SetValue after = command(0);
        QCOMPARE(after.torque, 0.0f);
        QCOMPARE(after.position, 0.0f);
        QCOMPARE(after.velocity, 0.0f);
        QCOMPARE(after.kp, 0.0f);
        QCOMPARE(after.kd, 0.0f);
    }

    // The master refuses: the button goes back to its text, the console keeps its state.
    void enableAndDisableRefused() {
        ecmaster* m = window->busMaster();
        m->enabled = true;  // as if a drive were already enabled
        QVERIFY(clickAndWait("pushButton_enable", "Enable"));
        QTRY_VERIFY(logged(QStringLiteral("Enable Fail.")));
        QVERIFY(logged(QStringLiteral("Is in enable, cannot enable!")));
        QVERIFY(logged(QStringLiteral("change mode:0")));
        QCOMPARE(window->consoleState(), static_cast<int>(Connected));
        m->enabled = false;

        QVERIFY(clickAndWait("pushButton_enable", "Disable"));
        m->enabled = false;  // as if the drive had been disabled behind the console's back
        QVERIFY(clickAndWait("pushButton_enable", "Disable"));
        QTRY_VERIFY(logged(QStringLiteral("Disable Fail.")));
        QVERIFY(logged(QStringLiteral("Not in enable, cannot Disable!")));
        QCOMPARE(window->consoleState(), static_cast<int>(Enabled));
        m->enabled = true;
    }

    // The gate's refusals from the edge cases: the message, and nothing else changes.
    void refusedInTheWrongState() {
        QSignalSpy lines(window.get(), &MainWindow::writeLog);
        auto* drives = child<QComboBox>("comboBox_index");

        // Enable while a test runs: go back to connected; no mode is written.
        window->forceConsoleState(Testing);
        button("pushButton_enable")->click();
        QCOMPARE(button("pushButton_enable")->text(), QStringLiteral("Enable"));
        QCOMPARE(lines.count(), 1);
        QCOMPARE(lines.last().first().toString(),
                 QStringLiteral("当前处于测试中，请退回已连接状态"));

        // Another drive while a test runs: refused once, the selector snaps back.
        drives->setCurrentIndex(1);
        QCOMPARE(drives->currentIndex(), 0);
        QCOMPARE(window->motorIndex(), 0);
        QCOMPARE(lines.count(), 2);
        QCOMPARE(lines.last().first().toString(),
                 QStringLiteral("当前处于测试中，请退回已连接状态"));

        // Disable while a test runs: go back to enabled.
        window->forceConsoleState(Connected);
        QVERIFY(clickAndWait("pushButton_enable", "Disable"));
        window->forceConsoleState(Testing);
        lines.clear();
        button("pushButton_enable")->click();
        QCOMPARE(button("pushButton_enable")->text(), QStringLiteral("Disable"));
        QCOMPARE(lines.count(), 1);
        QCOMPARE(lines.last().first().toString(),
                 QStringLiteral("当前处于测试中，请退回上使能状态"));
        QCOMPARE(window->consoleState(), static_cast<int>(Testing));
        QVERIFY(window->busMaster()->enabled);

        window->forceConsoleState(Enabled);
        QVERIFY(clickAndWait("pushButton_enable", "Enable"));
        QCOMPARE(window->consoleState(), static_cast<int>(Connected));
    }

    // Profile position takes over where the joint stands: the last position shown becomes the
    // position setpoint.
    void profilePositionCopiesLastPosition() {
        QVERIFY(clickAndWait("pushButton_enable", "Disable"));
        child<QDoubleSpinBox>("doubleSpinBox_velocity")->setValue(2.0);
        button("pushButton_velocity")->click();
        auto* shown = child<QDoubleSpinBox>("doubleSpinBox_Position");
        const double start = shown->value();
        QTRY_VERIFY_WITH_TIMEOUT(shown->value() > start + 0.5, kBusTimeoutMs);

        auto* setpoint = child<QDoubleSpinBox>("doubleSpinBox_position");
        child<QComboBox>("comboBox_mode")->setCurrentIndex(1);
        // Shown and copied from the same record, and no record comes in between.
        QCOMPARE(setpoint->value(), shown->value());
        QVERIFY(setpoint->value() > start + 0.5);
        QCOMPARE(command(0).mode, static_cast<uint16_t>(8));

        // Holding there: the joint stops where it was taken over.
        button("pushButton_position")->click();
        const double held = setpoint->value();
        QTRY_VERIFY_WITH_TIMEOUT(
            qAbs(child<QDoubleSpinBox>("doubleSpinBox_Velocity")->value()) < 0.005, kBusTimeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(shown->value() - held) < 0.02, kBusTimeoutMs);

        // Back to the speed ramp: the box keeps what the operator put there.
        setpoint->setValue(-3.0);
        child<QComboBox>("comboBox_mode")->setCurrentIndex(0);
        QCOMPARE(setpoint->value(), -3.0);
        QVERIFY(clickAndWait("pushButton_enable", "Enable"));
    }

    // The command echo stays idle in the system; fed by hand it logs the velocity.
    void commandEcho() {
        App_SetValue record;
        record.velocity = 1.23456789f;
        QSignalSpy lines(window.get(), &MainWindow::writeLog);
        QVERIFY(QMetaObject::invokeMethod(window.get(), "deal_trans_pdo_data", Qt::DirectConnection,
                                          Q_ARG(const App_SetValue*, &record)));
        QCOMPARE(lines.count(), 1);
        QCOMPARE(lines.first().first().toString(), QStringLiteral("command: 1.23457 "));
    }

    void selectAnotherDrive() {
        auto* drives = child<QComboBox>("comboBox_index");
        child<QDoubleSpinBox>("doubleSpinBox_torque")->setValue(1.25);
        button("pushButton_torque")->click();
        QCOMPARE(command(0).torque, 1.25f);
        // What the parameter page shows belongs to the drive it was read from.
        window->setProductType(QStringLiteral("QJ30"));
        for (const char* name : {"lineEdit_PdtType", "lineEdit_PdtBatch", "lineEdit_Version"}) {
            child<QLineEdit>(name)->setText(QStringLiteral("1"));
        }
        const auto rows = window->parameterRows();
        QVERIFY(!rows.isEmpty());
        for (const auto& row : rows) {
            row.editor->setValue(5);
        }

        drives->setCurrentIndex(2);
        QCOMPARE(window->motorIndex(), 2);
        QTRY_VERIFY(logged(QStringLiteral("Current Motor Index: 2")));
        QCOMPARE(window->busMaster()->selectedSlave.load(), window->busMaster()->validDrives.at(2));
        QCOMPARE(child<QDoubleSpinBox>("doubleSpinBox_torque")->value(), 0.0);
        QCOMPARE(command(2).torque, 0.0f);
        QCOMPARE(command(0).torque, 1.25f);  // the drive left keeps its command
        for (const char* name : {"lineEdit_PdtType", "lineEdit_PdtBatch", "lineEdit_Version"}) {
            QVERIFY2(child<QLineEdit>(name)->text().isEmpty(), name);
        }
        for (const auto& row : rows) {
            QVERIFY(row.editor->cleanText().isEmpty());
        }
        QCOMPARE(window->currentProductType(), QStringLiteral("QJ30"));

        // The same drive again does nothing.
        QSignalSpy lines(window.get(), &MainWindow::writeLog);
        drives->setCurrentIndex(2);
        QCOMPARE(lines.count(), 0);
    }

    void setpointsAndQuickStop() {
        child<QDoubleSpinBox>("doubleSpinBox_Kp")->setValue(3.5);
        button("pushButton_Kp")->click();
        child<QDoubleSpinBox>("doubleSpinBox_position")->setValue(-12.25);
        button("pushButton_position")->click();
        QCOMPARE(command(0).kp, 3.5f);
        QCOMPARE(command(0).position, -12.25f);
        QCOMPARE(command(1).kp, 0.0f);

        // Sent in the connected state too, without a test of the console's state.
        button("pushButton_QuickStop")->click();
        QCOMPARE(command(0).controlWord, static_cast<uint16_t>(2));

        // Esc is STOP wherever the focus is in the window.
        selectDrive(1);
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QTest::keyClick(child<QDoubleSpinBox>("doubleSpinBox_Kp"), Qt::Key_Escape);
        QCOMPARE(command(1).controlWord, static_cast<uint16_t>(2));
    }

    // A faulted drive comes back from the Drive menu: Enable says why it refuses, the reset logs
    // the error words and leaves the drive in Switch on disabled, and Enable then works. A drive
    // still over its temperature limit keeps its fault and stays reported.
    void faultResetBringsTheDriveBack() {
        ecmaster* m = window->busMaster();
        const auto stateOf1 = [m] { return m->driveStateOf(1); };
        auto* reset = window->findChild<QAction*>(QStringLiteral("actionResetFault"));
        auto* resetAll = window->findChild<QAction*>(QStringLiteral("actionResetAllFaults"));
        selectDrive(1);
        QVERIFY(chain->injectFault(2, 1u << 1));
        QTRY_COMPARE(stateOf1(), static_cast<int>(kDriveFault));
        QVERIFY(clickAndWait("pushButton_enable", "Enable"));
        QTRY_VERIFY(logged(QStringLiteral("Enable Fail.")));
        QVERIFY(logged(QStringLiteral("电机1处于故障状态，请先复位故障 (Drive > Reset fault)")));

        reset->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(logged(QStringLiteral("电机1故障已复位")), kBusTimeoutMs);
        QVERIFY(
            logged(QStringLiteral("电机1: 故障, ErrorWord 0x00000002, DrvErrorWord 0x00000000")));
        QCOMPARE(stateOf1(), static_cast<int>(kDriveSwitchOnDisabled));
        QVERIFY(clickAndWait("pushButton_enable", "Disable"));
        QVERIFY(clickAndWait("pushButton_enable", "Enable"));

        const std::vector<uint8_t> limit = chain->parameter(2, 16);  // motor over-temperature, °C
        QCOMPARE(limit.size(), size_t{1});
        window->writeParameterValue(16, 10.0f);
        QTRY_COMPARE_WITH_TIMEOUT(stateOf1(), static_cast<int>(kDriveFault), kBusTimeoutMs);
        resetAll->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(logged(QStringLiteral("电机1故障复位失败")), kBusTimeoutMs);
        QCOMPARE(stateOf1(), static_cast<int>(kDriveFault));
        window->writeParameterValue(16, static_cast<float>(limit[0]));
        reset->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(paneMessages(*window).count(QStringLiteral("电机1故障已复位")), 2,
                                  kBusTimeoutMs);
    }

    // The overview shows every drive from the cycle's images; the faulted one is marked with its
    // error word, a double-click operates a drive through the selector's gate.
    void overviewShowsEveryDrive() {
        window->findChild<QAction*>(QStringLiteral("actionDriveOverview"))->trigger();
        DriveOverview* overview = window->driveOverview();
        QVERIFY(overview && overview->isVisible());
        auto* table = overview->findChild<QTableWidget*>(QStringLiteral("tableWidget_drives"));
        QCOMPARE(table->rowCount(), 3);
        QVERIFY(chain->injectFault(3, 1u << 1));
        QTRY_VERIFY(overview->rowMarked(2));
        QVERIFY(!overview->rowMarked(0) && !overview->rowMarked(1));
        QCOMPARE(table->item(2, DriveOverview::ColState)->text(),
                 ecmaster::driveStateName(kDriveFault));
        window->setProductType(QStringLiteral("QJ30"));
        QTRY_COMPARE(table->item(2, DriveOverview::ColErrorWord)->text(),
                     QStringLiteral("0x00000002 欠压"));
        QCOMPARE(table->item(1, DriveOverview::ColSlave)->text(), QStringLiteral("2"));

        emit table->cellDoubleClicked(2, 0);
        QCOMPARE(window->motorIndex(), 2);
        QVERIFY(clickAndWait("pushButton_enable", "Enable"));  // refused: the drive is in Fault
        window->forceConsoleState(Enabled);  // the selector's gate holds in any other state
        emit table->cellDoubleClicked(0, 0);
        QCOMPARE(window->motorIndex(), 2);
        window->forceConsoleState(Connected);

        window->findChild<QAction*>(QStringLiteral("actionResetAllFaults"))->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!overview->rowMarked(2), kBusTimeoutMs);
    }

    void nothingSentWithoutBus() {
        button("pushButton_connect")->click();
        QCOMPARE(button("pushButton_connect")->text(), QStringLiteral("Connect"));
        QSignalSpy lines(window.get(), &MainWindow::writeLog);
        for (const char* name : {"pushButton_torque", "pushButton_position", "pushButton_velocity",
                                 "pushButton_Kp", "pushButton_Kd", "pushButton_QuickStop"}) {
            button(name)->click();
        }
        QCOMPARE(lines.count(), 6);
        for (const QVariantList& line : lines) {
            QCOMPARE(line.first().toString(), QStringLiteral("设备未连接."));
        }
        button("pushButton_enable")->click();
        QCOMPARE(button("pushButton_enable")->text(), QStringLiteral("Enable"));
        QCOMPARE(lines.last().first().toString(),
                 QStringLiteral("当前处于未连接，请进入已连接状态"));
    }

    // The live plots run only on a running bus; samples arrive from the cycle.
    void plotsRun_data() {
        QTest::addColumn<QString>("plotName");
        QTest::addColumn<QString>("startName");
        QTest::addColumn<QString>("clearName");
        QTest::addColumn<QStringList>("curves");
        QTest::newRow("parameters")
            << "plot_para"
            << "pushButton_plot_para"
            << "pushButton_clear_para" << QStringList{"Torque", "Position", "Velocity"};
        QTest::newRow("temperatures")
            << "plot_temperature"
            << "pushButton_plot_temp"
            << "pushButton_clear_temp" << QStringList{"Mcu", "ntc-mos", "Motor"};
    }
    void plotsRun() {
        QFETCH(QString, plotName);
        QFETCH(QString, startName);
        QFETCH(QString, clearName);
        QFETCH(QStringList, curves);
        auto* plot = window->findChild<QCustomPlot*>(plotName);
        auto* start = window->findChild<QAbstractButton*>(startName);
        auto* clear = window->findChild<QAbstractButton*>(clearName);
        QCOMPARE(plot->graphCount(), 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(plot->graph(i)->name(), curves[i]);
        }
        const auto pointsOf = [plot](int curve) { return plot->graph(curve)->data()->size(); };

        start->setChecked(true);
        QCOMPARE(start->text(), QStringLiteral("Stop Plot"));
        QVERIFY(!clear->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(pointsOf(0) >= 3 && pointsOf(1) >= 3 && pointsOf(2) >= 3,
                                 kBusTimeoutMs);
        const QCPGraphDataContainer& data = *plot->graph(0)->data();
        QVERIFY(data.constBegin()->key >= 0.0);
        QVERIFY(data.constBegin()->key < 60.0);
        // The time axis follows the newest point.
        QTRY_COMPARE(plot->xAxis->range().upper, (plot->graph(0)->data()->constEnd() - 1)->key);

        start->setChecked(false);
        QCOMPARE(start->text(), QStringLiteral("Start Plot"));
        QVERIFY(clear->isEnabled());
        const int kept = pointsOf(0);
        QTest::qWait(300);
        QCOMPARE(pointsOf(0), kept);  // stopped: no more points, none lost
        QVERIFY(kept >= 3);

        clear->click();
        QCOMPARE(pointsOf(0), 0);
        QCOMPARE(pointsOf(2), 0);

        // Running while the bus goes down: the disconnect stops the plot.
        start->setChecked(true);
        button("pushButton_connect")->click();
        QVERIFY(!start->isChecked());
        QCOMPARE(start->text(), QStringLiteral("Start Plot"));
    }

    // Each start begins a new time base with empty curves; the value axis is fitted to the data
    // once per start and then left to the operator; the time axis follows the newest point.
    void plotsRestartAndRanges_data() {
        QTest::addColumn<QString>("plotName");
        QTest::addColumn<QString>("startName");
        QTest::addColumn<bool>("slidingWindow");
        QTest::newRow("parameters: last 10 s") << "plot_para"
                                               << "pushButton_plot_para" << true;
        QTest::newRow("temperatures: whole history") << "plot_temperature"
                                                     << "pushButton_plot_temp" << false;
    }
    void plotsRestartAndRanges() {
        QFETCH(QString, plotName);
        QFETCH(QString, startName);
        QFETCH(bool, slidingWindow);
        auto* plot = window->findChild<QCustomPlot*>(plotName);
        auto* start = window->findChild<QAbstractButton*>(startName);
        const auto points = [plot] { return plot->graph(0)->data(); };
        const auto firstKey = [&] { return points()->constBegin()->key; };
        const auto lastKey = [&] { return (points()->constEnd() - 1)->key; };
        const auto expectedKeyRange = [&] {
            return slidingWindow ? QCPRange(lastKey() - 10.0, lastKey())
                                 : QCPRange(firstKey(), lastKey());
        };
        // Values far outside anything the drive reports: a rescale cannot land here.
        const QCPRange operatorRange(-12345.0, 23456.0);

        start->setChecked(true);
        QTRY_VERIFY_WITH_TIMEOUT(points()->size() >= 2, kBusTimeoutMs);
        QTRY_VERIFY(plot->yAxis->range() != QCPRange(15, 75));  // fitted on the first redraw
        plot->yAxis->setRange(operatorRange);
        const int seen = points()->size();
        QTRY_VERIFY_WITH_TIMEOUT(points()->size() >= seen + 3, kBusTimeoutMs);
        QTRY_COMPARE(plot->xAxis->range(), expectedKeyRange());
        QCOMPARE(plot->yAxis->range(), operatorRange);  // not fitted again while running
        for (int i = 1; i < 3; ++i) {
            QVERIFY(plot->graph(i)->data()->size() >= seen + 3);
        }

        // Stopping keeps the curves; starting again clears them and restarts time at 0.
        start->setChecked(false);
        const double lastBefore = lastKey();
        QVERIFY(lastBefore > firstKey());
        QCOMPARE(plot->yAxis->range(), operatorRange);
        start->setChecked(true);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(plot->graph(i)->data()->size(), 0);
        }
        QTRY_VERIFY_WITH_TIMEOUT(points()->size() >= 2, kBusTimeoutMs);
        QVERIFY(firstKey() >= 0.0);
        QVERIFY(firstKey() < lastBefore);
        QTRY_VERIFY(plot->yAxis->range() != operatorRange);  // fitted again for the new start
        QTRY_COMPARE(plot->xAxis->range(), expectedKeyRange());
        start->setChecked(false);
    }

    void plotsRefusedWithoutBus_data() {
        QTest::addColumn<QString>("startName");
        QTest::addColumn<QString>("message");
        QTest::newRow("parameters") << "pushButton_plot_para" << QStringLiteral("请先Connect");
        QTest::newRow("temperatures") << "pushButton_plot_temp" << QStringLiteral("请先进入OP模式");
    }
    void plotsRefusedWithoutBus() {
        QFETCH(QString, startName);
        QFETCH(QString, message);
        button("pushButton_connect")->click();
        auto* start = window->findChild<QAbstractButton*>(startName);
        consoletest::ModalAnswerer answerer;
        QString title, text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        answerer.then([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box);
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            box->button(QMessageBox::Ok)->click();
        });
        start->click();
        QVERIFY(answerer.allAnswered());
        QCOMPARE(title, QStringLiteral("ERROR"));
        QCOMPARE(text, message);
        QCOMPARE(icon, QMessageBox::Critical);
        QVERIFY(!start->isChecked());
        QCOMPARE(start->text(), QStringLiteral("Start Plot"));
    }

    // Prepared at start, hidden until a long operation shows it.
    void progressDialogPrepared() {
        const QList<QProgressDialog*> dialogs = window->findChildren<QProgressDialog*>();
        QCOMPARE(dialogs.size(), 1);
        QProgressDialog* progress = dialogs.first();
        QVERIFY(!progress->isVisible());
        QCOMPARE(progress->windowModality(), Qt::WindowModal);
        QCOMPARE(progress->minimumDuration(), 0);
        QVERIFY(progress->autoReset());
        QVERIFY(!progress->autoClose());
        QVERIFY(progress->windowFlags().testFlag(Qt::FramelessWindowHint));
        QVERIFY(progress->findChildren<QAbstractButton*>().isEmpty());  // no cancel button
    }
};

QTEST_MAIN(TestMainWindowDrive)
#include "tst_mainwindow_drive.moc"
