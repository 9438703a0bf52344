#include <QAction>
#include <QDir>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QScopeGuard>
#include <QSpinBox>
#include <QTextEdit>
#include <QValidator>

#include <sys/resource.h>

#include <csignal>
#include <limits>

#include "console_support.h"
#include "kivcustomplot.h"
#include "model/paramtable.h"
#include "nowheeldoublespinbox.h"
#include "passworddialog.h"
#include "roundtriptimer.h"

using namespace consoletest;

namespace {

const QString kUpdaterFailed = QStringLiteral("Failed to start the updater.");

QString updaterPath() {
    return QDir(QCoreApplication::applicationDirPath()).filePath(QLatin1String(kUpdaterProgram));
}

}  // namespace

// The operator console without a bus: the helpers behind its inputs, the state gate, what it
// refuses without a bus, the test lock, the status group fed with records, the log pane with the
// running log and its save, and the update check.
class TestConsoleOffline : public WindowFixture {
    Q_OBJECT

private:
    QTemporaryDir work;
    uint64_t timestamp = 0;

    // Hands records to the window as the master's queued signal does, and lets them arrive.
    void feed(const TCiA402_GetValue& record, int times = 1) {
        for (int i = 0; i < times; ++i) {
            QMetaObject::invokeMethod(window.get(), "deal_recv_pdo_data", Qt::QueuedConnection,
                                      Q_ARG(TCiA402_GetValue, record),
                                      Q_ARG(uint64_t, ++timestamp));
        }
        QCoreApplication::sendPostedEvents(window.get());
    }
    QStringList boxLines() const {
        return child<QTextEdit>(QStringLiteral("textEdit_errorWord"))->toPlainText().split(u'\n');
    }
    QString sectionLine(const char* header) const {
        const QStringList lines = boxLines();
        return lines.value(lines.indexOf(QLatin1String(header)) + 1);
    }
    // The window's log lines as emitted, without the start-up update check's line.
    static QStringList lines(const QSignalSpy& spy) {
        QStringList out;
        for (const QVariantList& line : spy) {
            out << line.first().toString();
        }
        out.removeAll(kUpdaterFailed);
        return out;
    }
    void save(ModalAnswerer& answerer, const QString& target) {
        answerer.thenFile(target);
        if (!target.isEmpty()) {
            answerer.thenBox();
        }
        button(QStringLiteral("pushButton_SaveFile"))->click();
        QVERIFY(answerer.done());
    }
    QByteArray runningLog() const { return fileBytes(window->runningLogFileName()); }

private slots:
    void initTestCase() {
        sandboxSettings();
        QVERIFY(work.isValid());
        // The project's word definitions, which the window reads from its working directory.
        QVERIFY(QDir::setCurrent(QStringLiteral(ZENTRIO_SOURCE_DIR)));
        QVERIFY2(!QFileInfo::exists(updaterPath()), "an updater is already beside the test");
    }
    void init() { window = std::make_unique<MainWindow>(); }
    void cleanup() { closeWindow(); }

    // The inputs that end up in file names, row times, timer periods and the bootloader.
    void inputHelpers() {
        const QString longest(MainWindow::kMaxMotorNumberLength, u'x');
        for (const QString& ok : {QStringLiteral("M-01_a"), QStringLiteral("7"), longest}) {
            QVERIFY2(MainWindow::isSafeMotorNumber(ok), qPrintable(ok));
        }
        for (const QString& bad :
             {QString(), longest + u'x', QStringLiteral("../x"), QStringLiteral("a\\b"),
              QStringLiteral("C:x"), QStringLiteral(" a"), QStringLiteral(".."),
              QStringLiteral("m1.txt"), QStringLiteral("电机1"), QStringLiteral("ａ1"),
              QStringLiteral("a/b")}) {
            QVERIFY2(!MainWindow::isSafeMotorNumber(bad), qPrintable(bad));
        }
        // Rows are kept above 1 s and below 45 s, in single precision; unsigned differences wrap.
        constexpr uint64_t o = 5'000'000'000ull;
        constexpr uint64_t top = std::numeric_limits<uint64_t>::max();
        const struct {
            uint64_t origin, at;
            float seconds;  // 0: not kept
        } rows[] = {
            {o, o + 1'000'000'000ull, 0},         {o, o + 1'000'000'001ull, 0},
            {o, o + 1'000'002'000ull, 1.000002f}, {o, o + 44'990'000'000ull, 44.99f},
            {o, o + 44'999'999'000ull, 0},        {o, o + 45'000'000'000ull, 0},
            {o, o - 2'000'000'000ull, 0},         {top - 999'999'999ull, 2'000'000'000ull, 3.0f}};
        for (const auto& row : rows) {
            const std::optional<float> t = MainWindow::identificationRowTime(row.at, row.origin);
            QCOMPARE(t.has_value(), row.seconds != 0);
            QVERIFY(!t || std::fabs(*t - row.seconds) <= row.seconds * 1e-6f);
        }
        QCOMPARE(roundTripMilliseconds(0.1), 100);
        QCOMPARE(roundTripMilliseconds(1800.0), 1800000);
        QCOMPARE(roundTripMilliseconds(0.9999), 999);
        QCOMPARE(roundTripMilliseconds(0.0009), 0);
        const struct {
            const char* text;
            bool valid;
            uint32_t password;
        } passwords[] = {{"0", true, 0},          {"abcdef12", true, 0xABCDEF12u},
                         {"FFFFFFFF", true, ~0u}, {"0DEADBEEF", true, 0xDEADBEEFu},
                         {"100000000", false, 0}, {"", false, 0},
                         {"0x12", false, 0},      {"12 3", false, 0}};
        for (const auto& p : passwords) {
            uint32_t parsed = 0x5A5A5A5A;
            QCOMPARE(parseFirmwarePassword(QLatin1String(p.text), parsed), p.valid);
            QCOMPARE(parsed, p.valid ? p.password : 0x5A5A5A5Au);
        }
        QLineEdit field;
        field.setValidator(createHexPasswordValidator(&field));
        QTest::keyClicks(&field, QStringLiteral("1x2g-A f"));
        QCOMPARE(field.text(), QStringLiteral("12Af"));
    }

    // What the window refuses in the wrong console state: one line naming the state it is in and
    // the one to go to, and nothing changes. The same gate guards every operator action.
    void stateGate_data() {
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("message");
        const auto row = [](const char* name, int state, const char* action, const char* msg) {
            QTest::newRow(name) << state << QString::fromLatin1(action) << QString::fromUtf8(msg);
        };
        row("enable, not connected", NotConnected, "pushButton_enable",
            "当前处于未连接，请进入已连接状态");
        row("enable, testing", Testing, "pushButton_enable", "当前处于测试中，请退回已连接状态");
        row("enable, unknown state", 7, "pushButton_enable", "当前处于Unknow，请退回已连接状态");
        row("round trip, connected", Connected, "button_roundtrip",
            "当前处于已连接，请进入上使能状态");
        row("round trip, testing", Testing, "button_roundtrip", "当前处于测试中，请退回上使能状态");
        row("multi-joint, enabled", Enabled, "button_multitest",
            "当前处于上使能，请退回已连接状态");
        row("calibration, not connected", NotConnected, "button_calibrate",
            "当前处于未连接，请进入已连接状态");
        row("calibration, enabled", Enabled, "button_calibrate",
            "当前处于上使能，请退回已连接状态");
        row("identification, connected", Connected, "button_identify",
            "当前处于已连接，请进入上使能状态");
        row("firmware, enabled", Enabled, "pushButton_Upgrade", "当前处于上使能，请退回已连接状态");
    }
    void stateGate() {
        QFETCH(int, state);
        QFETCH(QString, action);
        QFETCH(QString, message);
        window->forceConsoleState(state);
        QSignalSpy spy(window.get(), &MainWindow::writeLog);
        const QString idle = button(action)->text();
        button(action)->click();
        QCOMPARE(lines(spy), QStringList{message});
        QCOMPARE(button(action)->text(), idle);
        QCOMPARE(this->state(), state);
        QVERIFY(!locked());
        spy.clear();
        QVERIFY(window->requireState(state));  // the state itself passes, silently
        QCOMPARE(lines(spy), QStringList());
    }

    // Without a bus nothing is sent: every control says so, the plots refuse with a box, and a
    // late lost-slave report changes nothing.
    void nothingWithoutBus() {
        QSignalSpy spy(window.get(), &MainWindow::writeLog);
        const QString none = QStringLiteral("设备未连接.");
        for (const char* name :
             {"pushButton_torque", "pushButton_position", "pushButton_velocity", "pushButton_Kp",
              "pushButton_Kd", "pushButton_QuickStop", "pushButton_ReadAll", "pushButton_WriteAll",
              "pushButton_Save", "pushButton_ReadPdtType"}) {
            button(QLatin1String(name))->click();
        }
        const MainWindow::ParamRow row = window->parameterRows().value(kParamIdTorqueConstant);
        row.editor->setValue(1.0);
        row.writeButton->click();
        row.readButton->click();
        window->findChild<QAction*>(QStringLiteral("actionResetAllFaults"))->trigger();
        QCOMPARE(lines(spy), QStringList(13, none));
        QCOMPARE(window->currentProductType(), QString());

        ModalAnswerer answerer;
        answerer.thenBox();
        answerer.thenBox();
        for (const char* name : {"pushButton_plot_para", "pushButton_plot_temp"}) {
            button(QLatin1String(name))->click();
            QVERIFY(!button(QLatin1String(name))->isChecked());
        }
        QCOMPARE(answerer.boxes,
                 (QStringList{boxText(QMessageBox::Critical, "ERROR", "请先Connect"),
                              boxText(QMessageBox::Critical, "ERROR", "请先进入OP模式")}));

        spy.clear();
        QMetaObject::invokeMethod(window.get(), "deal_when_slave_lost");
        combo("comboBox_item")->setCurrentIndex(-1);
        connectButton()->click();
        QCOMPARE(lines(spy), QStringList{QStringLiteral("Connect Fail")});
        QCOMPARE(connectButton()->text(), QStringLiteral("Connect"));
        QCOMPARE(state(), static_cast<int>(NotConnected));

        // The command echo logs the velocity it was handed.
        App_SetValue record;
        record.velocity = 1.23456789f;
        spy.clear();
        QMetaObject::invokeMethod(window.get(), "deal_trans_pdo_data", Qt::DirectConnection,
                                  Q_ARG(const App_SetValue*, &record));
        QCOMPARE(lines(spy), QStringList{QStringLiteral("command: 1.23457 ")});
    }

    // A running procedure covers the top rows and locks the tabs; STOP stays reachable. Texts
    // that carry state survive a language change, so a running test never looks idle.
    void lockAndStateTexts() {
        auto* right = child(QStringLiteral("widget_righthalf"));
        const auto reachable = [right](QWidget* w) {
            QWidget* hit = right->childAt(w->mapTo(right, w->rect().center()));
            return hit == w || w->isAncestorOf(hit);
        };
        QWidget* connect = connectButton();
        QWidget* mode = combo("comboBox_mode");
        QWidget* stop = button(QStringLiteral("pushButton_QuickStop"));
        for (const bool on : {true, false, true}) {
            window->setTestLock(on);
            QCOMPARE(reachable(connect), !on);
            QCOMPARE(reachable(mode), !on);
            QVERIFY(reachable(stop) && stop->isEnabled());
            QCOMPARE(locked(), on);
        }
        window->setTestLock(false);

        const QStringList stateTexts = {
            "pushButton_connect",   "pushButton_enable",    "button_roundtrip",
            "button_multitest",     "button_calibrate",     "button_identify",
            "pushButton_plot_para", "pushButton_plot_temp", "label_motorcount",
            "label_multicount",     "RoundTripLabel",       "label_calibratetime"};
        for (const QString& name : stateTexts) {
            child<QObject>(name)->setProperty("text", QStringLiteral("state of ") + name);
        }
        QEvent change(QEvent::LanguageChange);
        QCoreApplication::sendEvent(window.get(), &change);
        QCOMPARE(window->windowTitle(), QStringLiteral("Zentrio v0.0.9"));
        for (const QString& name : stateTexts) {
            QCOMPARE(child<QObject>(name)->property("text").toString(),
                     QStringLiteral("state of ") + name);
        }

        // A parameter the drive only reports cannot be written, one it only takes cannot be read.
        for (auto it = window->parameterRows().cbegin(); it != window->parameterRows().cend();
             ++it) {
            const ParamInfo& info = *findParam(it.key());
            QCOMPARE(it->writeButton->isEnabled(), info.access != kParamReadOnly);
            QCOMPARE(it->readButton->isEnabled(), info.access != kParamWriteOnly);
            QVERIFY(!MainWindow::editorShowsValue(it->editor));
        }
    }

    // The fields take one record in 52 (the count is shared by the process: synchronise first),
    // and profile position takes over the last position shown.
    void statusFields() {
        TCiA402_GetValue sync;
        sync.statusWord = 1;
        auto* stateBox = child<QSpinBox>(QStringLiteral("spinBox_State"));
        for (int i = 0; i < 52 && stateBox->value() != 1; ++i) {
            feed(sync);
        }
        QCOMPARE(stateBox->value(), 1);
        TCiA402_GetValue moving;
        moving.position = 100 * 65535;
        feed(moving, 51);
        QCOMPARE(value("doubleSpinBox_Position"), 0.0);
        TCiA402_GetValue shown;
        shown.statusWord = 0x0637;
        shown.position = -65535;
        shown.velocity = 12345678;
        shown.torque = 16384;
        shown.busVoltage = 48;
        shown.mcuTemp = 38;
        shown.mosTemp = 41;
        shown.motorTemp = -7;
        shown.modeDisplay = 9;
        feed(shown);
        QCOMPARE(stateBox->value(), 0x0637);
        QCOMPARE(value("doubleSpinBox_Position"), -1.0);
        QCOMPARE(value("doubleSpinBox_Velocity"), 1.23);
        QCOMPARE(value("doubleSpinBox_Torque"), 40.0);
        QCOMPARE(child<QSpinBox>(QStringLiteral("spinBox_Mode"))->value(), 9);
        QCOMPARE(value("doubleSpinBox_BusVoltage"), 48.0);
        QCOMPARE(value("doubleSpinBox_McuTemp"), 38.0);
        QCOMPARE(value("doubleSpinBox_MosTemp"), 41.0);
        QCOMPARE(value("doubleSpinBox_MotorTemp"), -7.0);
        feed(moving, 51);
        QCOMPARE(value("doubleSpinBox_Position"), -1.0);
        combo("comboBox_mode")->setCurrentIndex(1);
        QCOMPARE(value("doubleSpinBox_position"), -1.0);
        setValue("doubleSpinBox_position", 7.0);
        combo("comboBox_mode")->setCurrentIndex(0);  // the speed ramp leaves the box alone
        QCOMPARE(value("doubleSpinBox_position"), 7.0);
    }

    // A fault word is decoded when it changes, for a single record too: heading and texts into
    // the log, one line of texts under its header in the fault box; back to 0 it shows PADDING.
    // Without definitions for the product type it says why, and the box stays as it is.
    void faultWords() {
        const QStringList initial = boxLines();
        QSignalSpy spy(window.get(), &MainWindow::writeLog);
        TCiA402_GetValue record;
        record.errorWord = 1u << 3;
        feed(record);
        QCOMPARE(lines(spy), QStringList{QStringLiteral("设备类型未知，无法解析电机错误字！")});
        window->setProductType(QStringLiteral("QJ99"));
        record.errorWord = 0;
        record.drvErrorWord = 1u << 5;
        feed(record);
        QCOMPARE(lines(spy).mid(1), (QStringList{"配置文件缺少\"QJ99\"", "配置文件缺少\"QJ99\""}));
        QCOMPARE(boxLines(), initial);

        window->setProductType(QStringLiteral("QJ30"));
        spy.clear();
        record.errorWord = (1u << 0) | (1u << 3) | (1u << 5) | (1u << 30);
        record.drvErrorWord = (1u << 7) | (1u << 5);
        feed(record, 3);
        QCOMPARE(lines(spy),
                 (QStringList{">>> Error Word: ", ">>> 过压", ">>> 电机过温", ">>> MCU过温",
                              ">>> Drv Error Word: ", ">>> MOS过温", ">>> MCU过温"}));
        QCOMPARE(sectionLine("ErrorWord:"), QStringLiteral("    过压    电机过温    MCU过温"));
        QCOMPARE(sectionLine("DrvErrorWord:"), QStringLiteral("    MOS过温    MCU过温"));
        spy.clear();
        record.errorWord = 0;
        feed(record);
        QCOMPARE(lines(spy), (QStringList{">>> Error Word: ", ">>> PADDING"}));
        QCOMPARE(sectionLine("ErrorWord:"), QStringLiteral("    PADDING"));
        QCOMPARE(sectionLine("DrvErrorWord:"), QStringLiteral("    MOS过温    MCU过温"));
        record.drvErrorWord = 0;
        feed(record);
        // Round after round the box keeps its shape: two headers, one line under each.
        const QStringList settled = boxLines();
        QCOMPARE(settled.count(QStringLiteral("    PADDING")), 2);
        QVERIFY(settled.size() <= initial.size() + 1);
        for (int round = 0; round < 3; ++round) {
            record.errorWord = record.drvErrorWord = 1u << 5;
            feed(record);
            record.errorWord = record.drvErrorWord = 0;
            feed(record);
        }
        QCOMPARE(boxLines(), settled);
    }

    // Every line goes to the pane and, UTF-8 with a line feed, to the running log; the pane keeps
    // the last 1000, the log all. Clear empties the pane only; a save copies the running log.
    void logPaneAndRunningLog() {
        QTRY_VERIFY(logged(QStringLiteral(">>> File \"state_config.yaml\" Load OK")));
        // The start-up update check's line first, so it falls between none of the lines below.
        QTRY_VERIFY_WITH_TIMEOUT(logged(kUpdaterFailed), 10000);
        for (const QString& message :
             {QStringLiteral("当前处于未连接"), QString(), QStringLiteral("x ")}) {
            emit window->writeLog(message);
            QTRY_VERIFY(runningLog().endsWith((u' ' + message + u'\n').toUtf8()));
            const QString last = messages().last();
            QCOMPARE(last, message);
        }
        static const QRegularExpression stamped(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d: x $"));
        QVERIFY(stamped
                    .match(child<QPlainTextEdit>(QStringLiteral("textBrowserLogs"))
                               ->document()
                               ->lastBlock()
                               .text())
                    .hasMatch());
        for (int i = 0; i < 1500; ++i) {
            emit window->writeLog(QStringLiteral("line %1").arg(i));
        }
        QTRY_COMPARE(messages().last(), QStringLiteral("line 1499"));
        QCOMPARE(messages().size(), kLogPaneMaxLines);
        QCOMPARE(messages().first(), QStringLiteral("line 500"));
        const QList<QByteArray> all = runningLog().split('\n');
        QVERIFY(all.size() > 1500);
        QVERIFY(all[all.size() - 1501].endsWith(": line 0"));

        button(QStringLiteral("pushButtonClear"))->click();
        QCOMPARE(messages(), QStringList{QString()});
        ModalAnswerer answerer;
        const QString one = work.filePath(QStringLiteral("one.txt"));
        save(answerer, one);
        QCOMPARE(answerer.boxes,
                 QStringList{boxText(QMessageBox::Information, "保存成功", "日志已成功保存.")});
        QCOMPARE(fileBytes(one), runningLog());
        emit window->writeLog(QStringLiteral("after saving"));
        QTRY_VERIFY(runningLog().endsWith(": after saving\n"));
        QVERIFY(runningLog().startsWith(fileBytes(one)));

        // Cancelled: nothing written; the dialog offered a dated name.
        QString offered;
        answerer.then<QFileDialog>([&offered](QFileDialog* dialog) {
            offered = QFileInfo(dialog->selectedFiles().value(0)).fileName();
            dialog->reject();
        });
        button(QStringLiteral("pushButton_SaveFile"))->click();
        QVERIFY(answerer.done());
        QVERIFY2(QRegularExpression(QStringLiteral("^LOG_\\d{8}_\\d{4}\\.txt$"))
                     .match(offered)
                     .hasMatch(),
                 qPrintable(offered));
        QCOMPARE(QDir(work.path()).entryList(QDir::Files), QStringList{QStringLiteral("one.txt")});

        // A target that cannot be opened, and a disk that fills up: reported, never "saved".
        answerer.boxes.clear();
        save(answerer, work.filePath(QStringLiteral("no/such/dir/log.txt")));
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        {
            const auto restore = qScopeGuard([&saved] { setrlimit(RLIMIT_FSIZE, &saved); });
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit tiny = saved;
            tiny.rlim_cur = 8;
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &tiny), 0);
            save(answerer, work.filePath(QStringLiteral("full.txt")));
        }
        QCOMPARE(
            answerer.boxes,
            (QStringList{boxText(QMessageBox::Warning, "保存失败", "无法保存日志文件到指定路径."),
                         boxText(QMessageBox::Warning, "保存失败", "日志文件写入失败.")}));

        // The running log goes with the window.
        const QString name = window->runningLogFileName();
        window.reset();
        QVERIFY(!QFileInfo::exists(name));
    }

    // No running log (its directory cannot be created) and no definitions: the pane still works,
    // and a save says it has nothing to copy.
    void noRunningLogNoDefinitions() {
        window.reset();
        const QString notADir = work.filePath(QStringLiteral("not-a-directory"));
        QVERIFY(QFile(notADir).open(QIODevice::WriteOnly));
        const QByteArray tmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", notADir.toLocal8Bit());
        QVERIFY(QDir::setCurrent(work.path()));
        window = std::make_unique<MainWindow>();
        QDir::setCurrent(QStringLiteral(ZENTRIO_SOURCE_DIR));
        if (tmp.isNull()) {
            qunsetenv("TMPDIR");
        } else {
            qputenv("TMPDIR", tmp);
        }
        QVERIFY(window->runningLogFileName().isEmpty());
        QTRY_VERIFY(logged(QStringLiteral(">>> File \"state_config.yaml\" Load FAIL!")));
        ModalAnswerer answerer;
        const QString target = work.filePath(QStringLiteral("no-running-log.txt"));
        save(answerer, target);
        QCOMPARE(answerer.boxes,
                 QStringList{boxText(QMessageBox::Warning, "保存失败", "无法读取临时日志文件.")});
        QCOMPARE(QFileInfo(target).size(), 0);
        QVERIFY(
            QFileInfo(QCoreApplication::applicationDirPath() + QStringLiteral("/result")).isDir());
    }

    // The update check hands over to the updater beside the executable: silently at start, with
    // its window from Help > Upgrade; one log line each time there is nothing to start; nothing
    // for a window closed before its start-up check.
    void updateCheck() {
        QTRY_COMPARE_WITH_TIMEOUT(loggedCount(kUpdaterFailed), 1, 10000);
        window->findChild<QAction*>(QStringLiteral("actionUpgrade"))->trigger();
        QTRY_COMPARE(loggedCount(kUpdaterFailed), 2);
        window.reset();

        QTemporaryDir record;
        qputenv("ZENTRIO_TEST_UPDATER_RECORD", record.path().toLocal8Bit());
        QFile script(updaterPath());
        const auto remove = qScopeGuard([] { QFile::remove(updaterPath()); });
        QVERIFY(script.open(QIODevice::WriteOnly));
        // Other test programs of this directory may start it too; only this one records.
        script.write(
            "#!/bin/sh\n[ -n \"$ZENTRIO_TEST_UPDATER_RECORD\" ] || exit 0\n"
            "out=\"$ZENTRIO_TEST_UPDATER_RECORD/args-$6\"\n"
            "printf '%s\\n' \"$@\" > \"$out.part\" && mv \"$out.part\" \"$out\"\n");
        script.close();
        QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        const auto recorded = [&record](const char* mode) {
            return QString::fromUtf8(
                fileBytes(record.filePath(QStringLiteral("args-") + QLatin1String(mode))));
        };
        const auto expected = [](const char* mode) {
            return QStringList{
                QString::number(QCoreApplication::applicationPid()),
                QStringLiteral("http://" ZENTRIO_UPDATE_HOST ":443/Zentrio/updates.json"),
                QStringLiteral("Zentrio"),
                QStringLiteral("0.0.9"),
                u'"' + QDir(QCoreApplication::applicationDirPath()).absolutePath() + u'"',
                QLatin1String(mode),
                QString()}
                .join(u'\n');
        };
        window = std::make_unique<MainWindow>();
        window.reset();
        QTest::qWait(800);
        QCOMPARE(recorded("hide"), QString());

        window = std::make_unique<MainWindow>();
        QTRY_COMPARE_WITH_TIMEOUT(recorded("hide"), expected("hide"), 10000);
        QCOMPARE(recorded("show"), QString());
        window->findChild<QAction*>(QStringLiteral("actionUpgrade"))->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(recorded("show"), expected("show"), 10000);
        QVERIFY(!logged(kUpdaterFailed));
    }
};

QTEST_MAIN(TestConsoleOffline)
#include "tst_console_offline.moc"
