#include "console_support.h"
#include "driveoverview.h"
#include "kivcustomplot.h"
#include "nowheeldoublespinbox.h"
#include "roundtriptimer.h"

using namespace consoletest;
using sim::Cia402State;

const QString kChain2 = u"Simulated drive chain (2 drives)"_s;
const QString kStubborn = u"Chain with a drive that never enables"_s;
const QString kRefusedDuringJob = u"当前正在上使能或下使能，请等待其完成"_s;

// The console on running simulated chains, checked at the drives: what they receive, their state.
class TestConsoleDrive : public WindowFixture {
    Q_OBJECT

private:
    std::shared_ptr<sim::Chain> stubborn;

    QString counts() const {
        return child<QLabel>("label_motorcount")->text() +
               child<QLabel>("label_multicount")->text();
    }
    QAbstractButton* multi() const { return button("button_multitest"); }
    QAbstractButton* roundTrip() const { return button("button_roundtrip"); }
    bool allDrivesIn(Cia402State s) const {
        return stateAtDrive(1) == s && stateAtDrive(2) == s && stateAtDrive(3) == s;
    }
    static constexpr const char* kSetpoints[] = {"doubleSpinBox_torque", "doubleSpinBox_position",
                                                 "doubleSpinBox_velocity", "doubleSpinBox_Kp",
                                                 "doubleSpinBox_Kd"};
    bool boxesZero() const {
        return std::ranges::all_of(kSetpoints, [this](const char* n) { return value(n) == 0; });
    }
    bool setpointsZero(int drive) const {
        const App_SetValue c = command(drive);
        return c.torque == 0 && c.position == 0 && c.velocity == 0 && c.kp == 0 && c.kd == 0 &&
               boxesZero();
    }

private slots:
    void initTestCase() {
        startOnChain(3);
        sim::registerSimulatedAdapter(chainConfig(2));
        sim::registerSimulatedAdapter(chainConfig(33));  // more than the master runs
        sim::ChainConfig cfg = chainConfig(2);
        cfg.slaves[0].ignoredControlWords = {0x0F};  // never takes "enable operation"
        stubborn = std::make_shared<sim::Chain>(cfg);
        sim::registerSimulatedAdapter("sim:stubborn", kStubborn.toStdString(), stubborn);
    }
    void cleanup() {
        if (window && roundTrip()->text() == u"Stop"_s)
            roundTrip()->click();
        closeWindow();
    }

    // A connect fills the selector and counts, a disconnect clears them and stops the plots.
    void connectAndDisconnect() {
        consoleSettings().clear();
        window = std::make_unique<MainWindow>();
        QComboBox* adapters = combo("comboBox_item");
        QCOMPARE(adapters->itemText(0) + adapters->itemText(1), adapter + kChain2);  // first
        adapters->setCurrentIndex(2);  // refused: the window stays as it was, the choice not kept
        connectButton()->click();
        QVERIFY(waitLogged(u"Connect Fail."_s) && connectButton()->text() == u"Connect"_s &&
                adapters->isEnabled() && !consoleSettings().contains(kAdapterSettingKey));
        adapters->setCurrentIndex(0);
        connectButton()->click();
        QVERIFY(connectButton()->text() == u"Connecting"_s && !adapters->isEnabled());
        connectButton()->click();  // inert while the bring-up runs
        QVERIFY(waitText(connectButton(), "Disconnect") && adapters->isEnabled());
        QTRY_VERIFY(logged(u"currentMotorIndex.0"_s));
        QVERIFY(loggedCount(u"Connect Success."_s) == 1 && state() == Connected);
        QCOMPARE(counts() + combo("comboBox_index")->itemText(0),
                 u"电机数量:33Drive 0 (slave 1)"_s);
        QCOMPARE(consoleSettings().value(kAdapterSettingKey).toString(), adapter);

        button("pushButton_plot_para")->setChecked(true);
        button("pushButton_plot_temp")->setChecked(true);
        // Every curve records; paused, the view stands; Fit shows all; Export writes CSV.
        auto* para = child<KivCustomPlot>("plot_para");
        for (KivCustomPlot* plot : {para, child<KivCustomPlot>("plot_temperature")})
            for (int c = 0; c < 3; ++c)
                QTRY_VERIFY(plot->graph(c)->dataCount() >= 3);
        button("pushButton_pause_para")->setChecked(true);
        QTest::qWait(100);  // a refresh that was queued lands
        const QCPRange frozen = para->xAxis->range();
        const int points = para->graph(0)->dataCount();
        QTRY_VERIFY(para->graph(0)->dataCount() > points + 2);
        QCOMPARE(para->xAxis->range(), frozen);
        const auto newest = [para] { return (para->graph(0)->data()->constEnd() - 1)->key; };
        button("pushButton_fit_para")->click();
        QCOMPARE(para->xAxis->range().upper, newest());
        QTemporaryDir dir;
        ModalAnswerer dialogs;
        dialogs.thenFile(dir.filePath(u"para.csv"_s));
        button("pushButton_export_para")->click();
        QTRY_VERIFY(dialogs.done());  // the rows as tst_widgets checks them
        QVERIFY(fileBytes(dir.filePath(u"para.csv"_s))
                    .startsWith("Time (s),Torque,Position,Velocity\n"));
        button("pushButton_pause_para")->setChecked(false);  // running, it follows the newest
        QTRY_COMPARE(para->xAxis->range(), QCPRange(newest() - 10, newest()));  // the last 10 s
        window->setTestLock(true);
        connectButton()->click();
        QTRY_VERIFY(connectButton()->text() == u"Connect"_s && logged(u"Disconnect Success."_s));
        // No value of the bus that is gone passes for a live one.
        auto* position = child<QDoubleSpinBox>("doubleSpinBox_Position");
        QVERIFY(!position->isEnabled() && position->text() == u"—"_s &&
                !child("spinBox_State")->isEnabled() && !child("label_StateName")->isEnabled() &&
                child<QLabel>("label_StateName")->text() == u"—"_s);
        QVERIFY(state() == NotConnected && !master()->isConnected() && !locked());
        QVERIFY(counts() == u"电机数量:00"_s && combo("comboBox_index")->count() == 0);
        QVERIFY(!button("pushButton_plot_para")->isChecked() &&
                !button("pushButton_plot_temp")->isChecked());

        // Closing the window releases the bus, also in the middle of a bring-up.
        QVERIFY(connectBus(kChain2));  // remembered: the next window starts on it
        QSignalSpy lines(window.get(), &MainWindow::writeLog);
        window.reset();
        QVERIFY(lines.contains(QVariantList{u"Disconnect Success."_s}));
        window = std::make_unique<MainWindow>();
        QCOMPARE(combo("comboBox_item")->currentText(), kChain2);
        connectButton()->click();
        QCOMPARE(connectButton()->text(), u"Connecting"_s);
        window.reset();  // waits for the bring-up; the bus is not left to a deleted master
        QVERIFY(openConnected());
    }

    // Modes, enable, setpoints, disable, STOP and drive selection; the enable walk refuses more.
    void driveControls() {
        QVERIFY(openConnected());
        // Item -> mode of operation, and the loop the round trip drives (kept where none).
        const int modes[][3] = {{1, 8, kCmdPosition}, {2, 10, kCmdPosition}, {3, 11, kCmdPosition},
                                {4, 12, kCmdTorque},  {5, 13, kCmdTorque},   {0, 9, kCmdVelocity}};
        for (const auto& m : modes) {
            combo("comboBox_mode")->setCurrentIndex(m[0]);
            QCOMPARE(command(0).mode + command(1).mode + command(2).mode, 3 * m[1]);
            QTRY_COMPARE_WITH_TIMEOUT(static_cast<int>(chain->joint(3)->mode), m[1], kBusTimeoutMs);
            QCOMPARE(window->roundTripCommandCode(), m[2]);
            QCOMPARE(child("widget_2")->isHidden(), m[0] == 2 || m[0] == 3 || m[0] == 5);
        }

        enableButton()->click();
        QCOMPARE(enableButton()->text(), u"Enabling"_s);
        connectButton()->click();
        combo("comboBox_index")->setCurrentIndex(1);
        multi()->click();
        click("button_calibrate");
        action("actionResetAllFaults")->trigger();
        QTRY_COMPARE(loggedCount(kRefusedDuringJob), 5);
        QVERIFY(connectButton()->text() == u"Disconnect"_s && window->motorIndex() == 0 &&
                messages().filter(u"故障"_s).isEmpty());  // sound drives: no fault reported
        QCOMPARE(multi()->text() + button("button_calibrate")->text(), u"Start开始校准"_s);
        QVERIFY(waitText(enableButton(), "Disable") && state() == Enabled);
        QTRY_VERIFY(logged(u"Enable Success."_s));
        QVERIFY(messages().indexOf(u"change mode:0"_s) < messages().indexOf(u"Enable Success."_s));
        QVERIFY(stateAtDrive(1) == Cia402State::OperationEnabled &&
                stateAtDrive(2) == Cia402State::SwitchOnDisabled);
        combo("comboBox_index")->setCurrentIndex(1);  // refused while enabled
        QCOMPARE(combo("comboBox_index")->currentIndex(), 0);
        QTRY_COMPARE(loggedCount(u"当前处于上使能，请退回已连接状态"_s), 1);

        send("velocity", 1.0);
        QVERIFY(waitFor([this] { return qAbs(chain->joint(1)->velocity - 1.0) < 0.05; }));
        QVERIFY(waitFor([this] { return qAbs(value("doubleSpinBox_Velocity") - 1.0) <= 0.01; }));
        QVERIFY(qAbs(chain->joint(2)->velocity) < 0.01);
        for (const char* name : {"torque", "Kp", "Kd"})
            send(name, 0.5);
        QCOMPARE(command(0).torque + command(0).kp + command(0).kd, 1.5f);
        master()->setEnabled(false);  // as if disabled behind the console's back
        QVERIFY(clickAndWait("pushButton_enable", "Disable"));
        QTRY_VERIFY(logged(u"Disable Fail."_s) && logged(u"Not in enable, cannot Disable!"_s));
        QCOMPARE(state(), static_cast<int>(Enabled));
        master()->setEnabled(true);

        QVERIFY(clickAndWait("pushButton_enable", "Enable"));
        QVERIFY(state() == Connected && !master()->isEnabled() && setpointsZero(0));
        QVERIFY(waitFor([this] { return stateAtDrive(1) != Cia402State::OperationEnabled; }));

        // STOP reaches the operated drive whatever the state; Esc is STOP anywhere in the window.
        click("pushButton_QuickStop");
        QTRY_COMPARE_WITH_TIMEOUT(controlWordAtDrive(1), uint16_t{2}, kBusTimeoutMs);
        send("torque", 1.25);
        selectDrive(1);
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QTest::keyClick(child("doubleSpinBox_Kp"), Qt::Key_Escape);
        QTRY_COMPARE_WITH_TIMEOUT(controlWordAtDrive(2), uint16_t{2}, kBusTimeoutMs);
        QCOMPARE(controlWordAtDrive(3), uint16_t{0});

        // Another drive: setpoints start at 0, the one left keeps its command, the page clears.
        window->setProductType(u"QJ30"_s);
        child<QLineEdit>("lineEdit_Version")->setText(u"1"_s);
        window->parameterRows().first().editor->setValue(5);
        setValue("doubleSpinBox_torque", 2.0);
        selectDrive(2);
        QTRY_VERIFY(logged(u"Current Motor Index: 2"_s));
        QVERIFY(setpointsZero(2) && command(0).torque == 1.25f &&
                child<QLineEdit>("lineEdit_Version")->text() ==
                    QString::fromStdString(chain->drive(3)->softwareVersionText()));
        QVERIFY(!MainWindow::editorShowsValue(window->parameterRows().first().editor));
        QCOMPARE(window->currentProductType(), u"QJ30"_s);
        QSignalSpy lines(window.get(), &MainWindow::writeLog);
        selectDrive(2);  // the same drive again does nothing
        QCOMPARE(lines.count(), 0);

        // Lost while idle, the bus goes down as under a procedure (lostDrive); a reconnect keeps
        // the drive chosen and takes the banner away.
        chain->pullDrive(3);
        QVERIFY(waitText(connectButton(), "Connect") && child("frame_busBanner")->isVisible());
        chain->plugDrive(3);
        QVERIFY(connectBus() && window->motorIndex() == 2 &&
                !child("frame_busBanner")->isVisible());
    }

    // A fault decoded and marked, Enable refused, reset recovers; then the round trip's steps.
    void faultResetAndRoundTrip() {
        window = std::make_unique<MainWindow>();
        action("actionDriveOverview")->trigger();
        DriveOverview* overview = window->driveOverview();
        auto* table = overview->findChild<QTableWidget*>(u"tableWidget_drives"_s);
        QVERIFY(table->rowCount() == 0 && connectBus());  // no bus, no rows
        QTRY_VERIFY(window->currentProductType() == u"QJ30"_s && table->rowCount() == 3);
        QAction* reset = action("actionResetFault");
        action("actionResetAllFaults")->trigger();
        QVERIFY(waitLogged(u"没有处于故障状态的电机"_s));
        reset->trigger();  // the one drive is named, not "none" as well
        QTRY_VERIFY(logged(u"电机0未处于故障状态，无需复位"_s) &&
                    loggedCount(u"没有处于故障状态的电机"_s) == 1);

        selectDrive(1);
        QVERIFY(chain->injectFault(2, (1u << 0) | (1u << 3), 1u << 5));
        QVERIFY(waitFor([this] { return master()->driveStateOf(1) == kDriveFault; }));
        QTRY_VERIFY(overview->rowMarked(1) && !overview->rowMarked(0) && !overview->rowMarked(2));
        const QString words = u"0x00000009 过压, 电机过温, DrvErrorWord 0x00000020 MOS过温"_s;
        const QString fault1 = u"电机1故障: "_s + words;
        QVERIFY(waitLogged(fault1));
        QTRY_COMPARE(overview->rowText(1).replace(u'\t', u'|'),
                     u"1|2|%1 (Fault)|9|0.000|0.000|0.00|48|38|35|25|0x00000009 过压, 电机过温|"
                     "0x00000020 MOS过温"_s.arg(ecmaster::driveStateName(kDriveFault)));
        QTimer::singleShot(100, [] {  // the row's menu: its last entry, "Copy row"
            QWidget* menu = QApplication::activePopupWidget();
            QTest::keyClick(menu, Qt::Key_Up), QTest::keyClick(menu, Qt::Key_Return);
        });
        emit table->customContextMenuRequested(table->visualItemRect(table->item(1, 0)).center());
        QCOMPARE(QGuiApplication::clipboard()->text(), overview->rowText(1));
        QVERIFY(clickAndWait("pushButton_enable", "Enable"));
        QTRY_VERIFY(logged(u"Enable Fail."_s) &&
                    logged(u"电机1处于故障状态，请先复位故障 (Drive > Reset fault)"_s));

        reset->trigger();
        QVERIFY(waitLogged(u"电机1故障已复位"_s));
        QCOMPARE(loggedCount(u"电机1: 故障, ErrorWord "_s + words), 1);  // as reset, decoded
        QTRY_VERIFY(!overview->rowMarked(1));
        // Faulted while enabled, all reset: the operated drive waits disabled, Enable is offered.
        QVERIFY(clickAndWait("pushButton_enable", "Disable"));
        QVERIFY(chain->injectFault(1, 1u << 0, 0) && waitLogged(u"电机0故障: 0x00000001 过压"_s));
        QVERIFY(chain->injectFault(2, 1u << 0, 0) && waitLogged(u"电机1故障: 0x00000001 过压"_s));
        action("actionResetAllFaults")->trigger();
        QVERIFY(waitLogged(u"电机0故障已复位"_s) && loggedCount(fault1) == 1);
        QVERIFY(waitText(enableButton(), "Enable") && state() == Connected);
        QVERIFY(clickAndWait("pushButton_enable", "Disable"));  // enables again
        emit table->cellDoubleClicked(2, 0);  // goes through the selector's gate: refused
        QCOMPARE(window->motorIndex(), 1);
        QTRY_COMPARE(loggedCount(u"当前处于上使能，请退回已连接状态"_s), 1);

        // The round trip: first, second, first, ... one step per interval, then 0, nothing after.
        std::vector<std::pair<int, float>> steps;
        auto* timer = window->findChild<RoundtripTimer*>();
        QObject recorder;  // the connection ends with the test
        connect(timer, &RoundtripTimer::timeoutTriggered, &recorder,
                [&](int n) { steps.emplace_back(n, command(1).velocity); });
        master()->setCommandValue(kCmdVelocity, 0.25f, 0);
        setValue("doubleSpinBox_roundtripfirst", 0.5);
        setValue("doubleSpinBox_roundtripsecond", -0.75);
        setValue("RoundTripIntervalInput", 0.1), setValue("RoundTripTimeInput", 1.0);
        auto* total = child<QDoubleSpinBox>("RoundTripTimeInput");
        roundTrip()->click();
        QCOMPARE(steps, (std::vector<std::pair<int, float>>{{0, 0.5f}}));  // within the click
        QVERIFY(timer->interval + timer->totalTime == 1100 && state() == Testing && locked() &&
                total->isReadOnly() && waitText(roundTrip(), "Start") && steps.size() >= 3);
        for (size_t i = 0; i < steps.size(); ++i)
            QCOMPARE(steps[i], (std::pair{static_cast<int>(i), i % 2 == 0 ? 0.5f : -0.75f}));
        QVERIFY(command(1).velocity == 0.0f && command(0).velocity == 0.25f);
        QVERIFY(state() == Enabled && !locked() && !total->isReadOnly());
        const size_t sent = steps.size();
        QTest::qWait(300);
        QCOMPARE(steps.size(), sent);
    }

    // All drives ramp; a drive that never enables ends it, a faulted one blocks Stop; STOP all.
    void multiJoint() {
        QVERIFY(openConnected(kStubborn));
        multi()->click();
        QVERIFY(waitLogged(u">>> 上使能所有电机失败。"_s) && multi()->text() == u"Start"_s);
        QVERIFY(state() == Connected && !locked() && !master()->isEnabled());
        QCOMPARE(stubborn->joint(1)->state, Cia402State::SwitchedOn);
        click("pushButton_QuickStop");  // the test is over: STOP is for the operated drive again
        QVERIFY(waitLogged(u"STOP: quick stop sent to drive(s) 0."_s));

        QVERIFY(openConnected());
        selectDrive(1);
        combo("comboBox_mode")->setCurrentIndex(2);
        send("Kp", 3.0);
        multi()->click();
        QVERIFY(state() == Testing && locked() && combo("comboBox_mode")->currentIndex() == 0);
        multi()->click();  // while the drives are being enabled: refused
        QVERIFY(waitText(multi(), "Stop") && allDrivesIn(Cia402State::OperationEnabled));
        QCOMPARE(loggedCount(kRefusedDuringJob), 1);
        for (int position = 1; position <= 3; ++position) {
            QCOMPARE(chain->joint(position)->mode, int16_t{9});
            QVERIFY(waitFor([&] { return qAbs(chain->joint(position)->velocity - 1.0) < 0.05; }));
        }
        QVERIFY(chain->injectFault(1, 1u << 1));
        QVERIFY(waitFor([this] { return master()->driveStateOf(0) == kDriveFault; }));
        multi()->click();
        QVERIFY(waitLogged(u">>> 下使能所有电机失败"_s) && state() == Testing && locked() &&
                master()->isEnabled() && multi()->text() == "Stop");
        chain->withSlave(1, [](sim::Esc&, sim::SlaveApplication* app) {
            for (const uint16_t cw : {0x80, 0x06, 0x07, 0x0F})
                static_cast<sim::Cia402Drive*>(app)->applyControlWord(cw);
        });
        QVERIFY(waitFor([this] { return master()->driveStateOf(0) == kDriveOperationEnabled; }));
        QVERIFY(clickAndWait("button_multitest", "Start") && state() == Connected && !locked() &&
                !master()->isEnabled() && allDrivesIn(Cia402State::ReadyToSwitchOn));
        QTRY_VERIFY(logged(u">>> 停止多关节测试"_s));
        QVERIFY(setpointsZero(1));
        QCOMPARE(command(0).velocity, 1.0f);  // the others keep theirs until enabled again

        QVERIFY(clickAndWait("button_multitest", "Stop"));
        click("pushButton_QuickStop");
        QVERIFY(waitFor([this] { return allDrivesIn(Cia402State::QuickStopActive); }));
        // From the quick stop back to work: Stop disables every drive and releases the lock.
        QVERIFY(clickAndWait("button_multitest", "Start"));
        QVERIFY(state() == Connected && !locked() && allDrivesIn(Cia402State::ReadyToSwitchOn));
        click("pushButton_QuickStop");  // the test is over: STOP is for the operated drive alone
        QVERIFY(waitLogged(u"STOP: quick stop sent to drive(s) 1."_s));

        // A setpoint left in drive 0's record (a run cut short) must not move it on Enable.
        selectDrive(0);
        master()->setCommandValue(kCmdVelocity, 1.0f, 0);
        QVERIFY(clickAndWait("pushButton_enable", "Disable"));
        QVERIFY(command(0).velocity == 0.0f && value("doubleSpinBox_velocity") == 0.0);
        const int decimals = child<QDoubleSpinBox>("doubleSpinBox_position")->decimals();
        QVERIFY(qAbs(value("doubleSpinBox_position") - double(command(0).position)) <=
                0.5 * std::pow(10.0, -decimals));
        QVERIFY(
            !QTest::qWaitFor([this] { return !(qAbs(chain->joint(1)->velocity) < 0.01); }, 1000));
    }

    // A lost drive takes the bus down, says why and ends a procedure for good.
    void lostDrive_data() {
        QTest::addColumn<QString>("procedure");
        for (const char* name : {"button_roundtrip", "button_multitest", "button_calibrate"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }
    void lostDrive() {
        QFETCH(QString, procedure);
        QVERIFY(openConnected());
        window->setProcedurePollInterval(20);
        std::ranges::for_each(kSetpoints, [this](const char* name) { setValue(name, 1.5); });
        setValue("RoundTripTimeInput", 1.0);
        if (procedure == u"button_roundtrip"_s)
            QVERIFY(clickAndWait("pushButton_enable", "Disable"));
        const QString idle = button(procedure)->text();
        button(procedure)->click();
        if (procedure == u"button_multitest"_s)
            QVERIFY(waitText(multi(), "Stop"));
        QVERIFY(state() == Testing && locked());
        chain->pullDrive(3);
        QVERIFY(waitText(connectButton(), "Connect") && enableButton()->text() == u"Enable"_s);
        QVERIFY(button(procedure)->text() == idle && !locked() && boxesZero());
        QTest::qWait(2000);  // past the round trip's total time and the calibration's polls
        QVERIFY(state() == NotConnected && !master()->isConnected() && !master()->isEnabled());
        QCOMPARE(
            messages().filter(u"Slave 3 lost, the bus is disconnected: no answer for "_s).size(),
            1);
        QVERIFY(child("frame_busBanner")->isVisible() &&
                child<QLabel>("label_busBanner")->text().contains(u"Slave 3 lost"_s));

        chain->plugDrive(3);
        if (procedure == u"button_multitest"_s) {  // the test is over: STOP is for one drive again
            QVERIFY(clickAndWait("pushButton_connect", "Disconnect"));
            click("pushButton_QuickStop");
            QVERIFY(waitLogged(u"STOP: quick stop sent to drive(s) 0."_s));
            QVERIFY(clickAndWait("pushButton_connect", "Connect"));
        }
        const uint64_t frames = chain->framesSeen();
        window.reset();
        QCOMPARE(chain->framesSeen(), frames);  // closing brought nothing up
    }
};

QTEST_MAIN(TestConsoleDrive)
#include "tst_console_drive.moc"
