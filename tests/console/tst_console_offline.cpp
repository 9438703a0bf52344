#include <sys/resource.h>

#include <csignal>
#include <limits>

#include "console_support.h"
#include "datafolder.h"
#include "model/paramtable.h"
#include "nowheeldoublespinbox.h"
#include "roundtriptimer.h"

using namespace consoletest;

const QString kUpdaterFailed = u"Failed to start the updater."_s;

// The operator console without a bus, fed records as the master would hand them.
class TestConsoleOffline : public WindowFixture {
    Q_OBJECT

private:
    QTemporaryDir work;
    uint64_t timestamp = 0;

    // Hands records to the window as the master's queued signal does.
    void feed(const TCiA402_GetValue& record, int times = 1) {
        for (int i = 0; i < times; ++i)
            QMetaObject::invokeMethod(window.get(), "deal_recv_pdo_data", Qt::QueuedConnection,
                                      Q_ARG(TCiA402_GetValue, record),
                                      Q_ARG(uint64_t, ++timestamp));
        QCoreApplication::sendPostedEvents(window.get());
    }
    QStringList boxLines() const {
        return child<QTextEdit>("textEdit_errorWord")->toPlainText().split(u'\n');
    }
    QString sections() const {  // the lines under the two headers
        const QStringList lines = boxLines();
        return lines.value(lines.indexOf(u"ErrorWord:"_s) + 1) + u'|' +
               lines.value(lines.indexOf(u"DrvErrorWord:"_s) + 1);
    }
    static QStringList lines(const QSignalSpy& spy) {
        QStringList out;
        for (const QVariantList& line : spy)
            out << line.first().toString();
        out.removeAll(kUpdaterFailed);
        return out;
    }
    void save(ModalAnswerer& answerer, const QString& target) {
        answerer.thenFile(target);
        if (!target.isEmpty())
            answerer.thenBox();
        click("pushButton_SaveFile");
        QVERIFY(answerer.done());
    }
    QByteArray runningLog() const { return fileBytes(window->runningLogFileName()); }

private slots:
    void initTestCase() {
        sandbox();
        QVERIFY(work.isValid());
    }
    void init() { window = std::make_unique<MainWindow>(); }
    void cleanup() { closeWindow(); }

    // Without a bus every control says so; then the state gate, the test lock, input helpers.
    void withoutBusThenRecordsShown() {
        QSignalSpy spy(window.get(), &MainWindow::writeLog);
        for (const char* name :
             {"pushButton_torque", "pushButton_position", "pushButton_velocity", "pushButton_Kp",
              "pushButton_Kd", "pushButton_QuickStop", "pushButton_ReadAll", "pushButton_WriteAll",
              "pushButton_Save", "pushButton_ReadPdtType"})
            click(name);
        const MainWindow::ParamRow row = window->parameterRows().value(kParamIdTorqueConstant);
        row.editor->setValue(1.0);
        row.writeButton->click();
        row.readButton->click();
        action("actionResetAllFaults")->trigger();  // each says so: the log pane's snapshot below
        QCOMPARE(window->currentProductType(), QString());

        ModalAnswerer answerer;
        for (const char* name : {"pushButton_plot_para", "pushButton_plot_temp"}) {
            answerer.thenBox();
            click(name);
            QVERIFY(!button(name)->isChecked());
        }
        QCOMPARE(answerer.boxes,
                 (QStringList{boxText(QMessageBox::Critical, "ERROR", "请先Connect"),
                              boxText(QMessageBox::Critical, "ERROR", "请先进入OP模式")}));

        QMetaObject::invokeMethod(window.get(), "deal_when_slave_lost");
        combo("comboBox_item")->setCurrentIndex(-1);
        connectButton()->click();
        QVERIFY(connectButton()->text() == u"Connect"_s && state() == NotConnected);

        // In the wrong state an action is refused with one line (snapshot below); nothing changes.
        // clang-format off
        const std::pair<int, const char*> gates[] = {{NotConnected, "pushButton_enable"},
            {Testing, "pushButton_enable"}, {7, "pushButton_enable"}, {Connected, "button_roundtrip"},
            {Testing, "button_roundtrip"}, {Enabled, "button_multitest"},
            {NotConnected, "button_calibrate"}, {Connected, "button_identify"},
            {Enabled, "pushButton_Upgrade"}};
        // clang-format on
        for (const auto& [gate, name] : gates) {
            window->forceConsoleState(gate);
            const QString idle = button(name)->text();
            click(name);
            QVERIFY(button(name)->text() == idle && state() == gate && !locked());
            QVERIFY(window->requireState(gate));  // which logs nothing
        }

        // The inputs that end up in file names, row times and timer periods.
        const QString longest(MainWindow::kMaxMotorNumberLength, u'x');
        for (const QString& ok : {u"M-09_azAZ"_s, u"7"_s, longest})
            QVERIFY2(MainWindow::isSafeMotorNumber(ok), qPrintable(ok));
        for (const QString& bad : {QString(), longest + u'x', u"../x"_s, u"a\\b"_s, u"C:x"_s,
                                   u"ａ1"_s, u"z{"_s, u"Z["_s, u"`a"_s, u"@A"_s})
            QVERIFY2(!MainWindow::isSafeMotorNumber(bad), qPrintable(bad));
        // Rows are kept above 1 s and below 45 s, in single precision; unsigned differences wrap.
        constexpr uint64_t o = 5'000'000'000ull, top = std::numeric_limits<uint64_t>::max();
        const std::tuple<uint64_t, uint64_t, float> rows[] = {
            // origin, at, seconds (0: not kept)
            {o, o + 1'000'000'000ull, 0},         {o, o + 1'000'000'001ull, 0},
            {o, o + 1'000'002'000ull, 1.000002f}, {o, o + 44'990'000'000ull, 44.99f},
            {o, o + 44'999'999'000ull, 0},        {o, o + 45'000'000'000ull, 0},
            {o, o - 2'000'000'000ull, 0},         {top - 999'999'999ull, 2'000'000'000ull, 3.0f}};
        for (const auto& [origin, at, seconds] : rows) {
            const std::optional<float> t = MainWindow::identificationRowTime(at, origin);
            QCOMPARE(t.has_value(), seconds != 0);
            QVERIFY(!t || std::fabs(*t - seconds) <= seconds * 1e-6f);
        }
        QCOMPARE(roundTripMilliseconds(0.9999), 999);  // cut, not rounded

        // A procedure locks the top rows and tabs, STOP stays reachable; state texts survive.
        window->forceConsoleState(NotConnected);
        QWidget* right = child("widget_righthalf");
        const auto reachable = [right](QWidget* w) {
            QWidget* hit = right->childAt(w->mapTo(right, w->rect().center()));
            return hit == w || w->isAncestorOf(hit);
        };
        QWidget* stop = button("pushButton_QuickStop");
        for (const bool on : {true, false, true}) {
            window->setTestLock(on);
            QVERIFY(reachable(connectButton()) != on && reachable(combo("comboBox_mode")) != on);
            QVERIFY(reachable(stop) && stop->isEnabled() && locked() == on);
        }
        window->setTestLock(false);

        const QStringList stateTexts = {"pushButton_connect", "button_identify", "label_multicount",
                                        "pushButton_plot_temp", "label_calibratetime"};
        for (const QString& name : stateTexts)
            child<QObject>(name)->setProperty("text", u"state of "_s + name);
        QEvent change(QEvent::LanguageChange);
        QCoreApplication::sendEvent(window.get(), &change);  // the texts kept: the snapshot

        // The fields take one record in 52 (a process-wide count: synchronise first). The first
        // record is shown at once (the fields go live), and no value before it.
        auto* stateBox = child<QSpinBox>("spinBox_State");
        QVERIFY(!stateBox->isEnabled() &&
                child<QDoubleSpinBox>("doubleSpinBox_Torque")->text() == u"—"_s);
        feed(TCiA402_GetValue{.statusWord = 2});
        QVERIFY(stateBox->isEnabled() && stateBox->value() == 2);
        for (int i = 0; i < 52 && stateBox->value() != 1; ++i)
            feed(TCiA402_GetValue{.statusWord = 1});
        QCOMPARE(stateBox->value(), 1);
        const TCiA402_GetValue moving{.position = 100 * 65535};
        feed(moving, 51);
        // clang-format off
        const TCiA402_GetValue shown{.statusWord = 0x0637, .position = -65535, .velocity = 12345678,
            .torque = 16384, .busVoltage = 48, .mcuTemp = 38, .mosTemp = 41, .motorTemp = -7,
            .modeDisplay = 9};
        // clang-format on
        feed(shown);
        feed(moving, 51);  // still what the window shows, the position editor's start included
        combo("comboBox_mode")->setCurrentIndex(1);
        compareSnapshot(u"offline_record"_s, window.get());

        // A changed fault word is decoded into the log and the fault box, PADDING once back to 0.
        const QStringList initial = boxLines();
        spy.clear();
        feed(TCiA402_GetValue{.errorWord = 1u << 3});
        QCOMPARE(lines(spy), QStringList{u"设备类型未知，无法解析电机错误字！"_s});
        window->setProductType(u"QJ99"_s);
        TCiA402_GetValue record{.drvErrorWord = 1u << 5};
        feed(record);
        QCOMPARE(lines(spy).mid(1), (QStringList{"配置文件缺少\"QJ99\"", "配置文件缺少\"QJ99\""}));
        QCOMPARE(boxLines(), initial);

        window->setProductType(u"QJ30"_s);
        spy.clear();
        record.errorWord = (1u << 0) | (1u << 3) | (1u << 5) | (1u << 30);
        record.drvErrorWord = (1u << 7) | (1u << 5);
        feed(record, 3);
        QCOMPARE(lines(spy),
                 (QStringList{">>> Error Word: ", ">>> 过压", ">>> 电机过温", ">>> MCU过温",
                              ">>> Drv Error Word: ", ">>> MOS过温", ">>> MCU过温"}));
        QCOMPARE(sections(), u"    过压    电机过温    MCU过温|    MOS过温    MCU过温"_s);
        spy.clear();
        record.errorWord = 0;
        feed(record);
        QCOMPARE(lines(spy), (QStringList{">>> Error Word: ", ">>> PADDING"}));
        QCOMPARE(sections(), u"    PADDING|    MOS过温    MCU过温"_s);
        record.drvErrorWord = 0;
        feed(record);
        QCOMPARE(boxLines().count(u"    PADDING"_s), 2);
        QVERIFY(boxLines().size() <= initial.size() + 1);  // the box keeps its shape
    }

    // Lines go to the pane (the last 1000) and the running log (all); a save copies the log.
    void logPaneRunningLogAndDataFolder() {
        QTRY_VERIFY(logged(u">>> File \"state_config.yaml\" Load OK"_s));
        QTRY_VERIFY_WITH_TIMEOUT(logged(kUpdaterFailed), 10000);  // no updater beside the test
        action("actionUpgrade")->trigger();
        QTRY_COMPARE(loggedCount(kUpdaterFailed), 2);
        emit window->writeLog(u"当前 x "_s);
        QTRY_VERIFY(runningLog().endsWith(": 当前 x \n"));
        QCOMPARE(messages().last(), u"当前 x "_s);  // after its "hh:mm:ss: "
        for (int i = 0; i < 1500; ++i)
            emit window->writeLog(u"line %1"_s.arg(i));
        QTRY_COMPARE(messages().last(), u"line 1499"_s);
        QVERIFY(messages().size() == kLogPaneMaxLines && messages().first() == u"line 500"_s);
        const QList<QByteArray> all = runningLog().split('\n');
        QVERIFY(all.size() > 1500 && all[all.size() - 1501].endsWith(": line 0"));

        click("pushButtonClear");
        QCOMPARE(messages(), QStringList{QString()});
        ModalAnswerer answerer;
        save(answerer, QString());  // cancelled: nothing written
        const QString one = work.filePath(u"one.txt"_s);
        save(answerer, one);
        QCOMPARE(fileBytes(one), runningLog());
        emit window->writeLog(u"after saving"_s);
        QTRY_VERIFY(runningLog().endsWith(": after saving\n"));
        QVERIFY(runningLog().startsWith(fileBytes(one)));

        // An unopenable target and a full disk: reported, never "saved", the old file kept.
        save(answerer, work.filePath(u"no/such/dir/log.txt"_s));
        const QByteArray saved = fileBytes(one);
        QVERIFY(runningLog().size() > saved.size());
        rlimit before{};
        getrlimit(RLIMIT_FSIZE, &before);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        answerer.then<QFileDialog>([&](QFileDialog* dialog) {
            dialog->setOption(QFileDialog::DontConfirmOverwrite);
            dialog->findChild<QLineEdit*>(u"fileNameEdit"_s)->setText(one);
            const rlimit full{.rlim_cur = 64, .rlim_max = before.rlim_max};
            setrlimit(RLIMIT_FSIZE, &full);  // the disk is full from here on
            static_cast<QDialog*>(dialog)->accept();
        });
        answerer.thenBox();
        click("pushButton_SaveFile");
        setrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(answerer.done() && fileBytes(one) == saved);
        QCOMPARE(
            answerer.boxes,
            (QStringList{boxText(QMessageBox::Information, "保存成功", "日志已成功保存."),
                         boxText(QMessageBox::Warning, "保存失败", "无法保存日志文件到指定路径."),
                         boxText(QMessageBox::Warning, "保存失败", "日志文件写入失败.")}));
        const QString name = window->runningLogFileName();
        window.reset();
        QVERIFY(!QFileInfo::exists(name));  // the running log goes with the window

        // A program folder that takes no files sends results and logs to the user's data folder.
        QTemporaryFile blocker(work.filePath(u"blocker-XXXXXX"_s));
        QVERIFY(blocker.open());
        const QString user = work.filePath(u"user-data"_s);
        QCOMPARE(chooseDataFolder(blocker.fileName() + u"/bin"_s, user), user);
        QVERIFY(QFileInfo(user + u"/result"_s).isDir());
        QCOMPARE(chooseDataFolder(work.path(), user), work.path());
        QVERIFY(QFileInfo(work.filePath(u"result"_s)).isDir());
    }
};

QTEST_MAIN(TestConsoleOffline)
#include "tst_console_offline.moc"
