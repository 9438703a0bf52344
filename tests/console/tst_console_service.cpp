#include <QDir>
#include <QDoubleSpinBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QScopeGuard>

#include <sys/resource.h>

#include <atomic>
#include <cmath>
#include <csignal>
#include <span>

#include "console_support.h"
#include "kivcustomplot.h"
#include "model/paramtable.h"
#include "nowheeldoublespinbox.h"
#include "sim/object_dictionary.h"

using namespace consoletest;

namespace {

const QString kParamChain = QStringLiteral("Simulated drive chain (2 drives)");
const QString kProcChain = QStringLiteral("Procedure chain (2 drives)");
// On the procedure chain drive 0 calibrates in 1 ms and identifies for 3 s, then leaves
// Operation enabled by itself; drive 1 never finishes a calibration and identifies for 50 s.
constexpr double kQuickRunS = 3.0;
constexpr double kQuickTorqueConstant = 0.25;
// The identification excitation: the console's 1 N·m command as the torque field carries it.
constexpr double kExcitationNm = 409.0 * 80.0 / 32767.0;

QString getLine(int id, const QString& v) {
    return QStringLiteral("Get \"%1\": %2").arg(findParam(id)->name, v);
}
QString setLine(int id, const QString& v) {
    return QStringLiteral("Set \"%1\": %2").arg(findParam(id)->name, v);
}
QString resultFile(const QString& motor) {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/result/identify_") + motor +
           QStringLiteral(".csv");
}

}  // namespace

// The drive's services from the console: parameters both ways as the drive holds them, the
// Read ALL / Write ALL workers, the firmware download byte for byte, calibration and
// identification with its result file.
class TestConsoleService : public WindowFixture {
    Q_OBJECT

private:
    std::shared_ptr<sim::Chain> procChain;
    std::atomic<int> calibrationReads{0};
    std::atomic<int> calibrationWrites{0};
    std::atomic<int> calibrationByte{-1};

    MainWindow::ParamRow row(int id) const { return window->parameterRows().value(id); }
    QLabel* resultLabel() const { return child<QLabel>(QStringLiteral("label_calibratetime")); }
    QAbstractButton* identify() const { return button(QStringLiteral("button_identify")); }
    QStringList snapshot(int position) const {
        QStringList values;
        for (const int id : window->parameterRows().keys()) {
            values << QString::fromLatin1(asBytes(chain->parameter(position, id)).toHex());
        }
        return values;
    }
    void withDictionary(int position, const std::function<void(sim::ObjectDictionary&)>& f) {
        chain->withSlave(position, [&f](sim::Esc&, sim::SlaveApplication* app) {
            f(static_cast<sim::Cia402Drive*>(app)->dictionary());
        });
    }
    void typePassword(ModalAnswerer& answerer, const QString& text) {
        answerer.then<QInputDialog>([text](QInputDialog* dialog) {
            auto* field = dialog->findChild<QLineEdit*>();
            QCOMPARE(field->text(), QStringLiteral("0"));  // pre-filled
            field->clear();
            QTest::keyClicks(field, text);
            dialog->accept();
        });
    }
    // Presses Identify for `motor` and answers the question with `answer`.
    void identifyAs(const QString& motor, QMessageBox::StandardButton answer) {
        child<QLineEdit>(QStringLiteral("lineEdit_motorid"))->setText(motor);
        ModalAnswerer answerer;
        answerer.thenBox(answer);
        identify()->click();
        QVERIFY(answerer.done());
    }
    void enableStill() {
        QVERIFY(clickAndWait("pushButton_enable", "Disable"));
        QTRY_COMPARE_WITH_TIMEOUT(value("doubleSpinBox_Velocity"), 0.0, kBusTimeoutMs);
    }
    // The end of an identification: torque 0, the drive disabled, the console idle.
    void verifyIdentificationEnded() {
        QCOMPARE(identify()->text(), QStringLiteral("开始辨识"));
        QVERIFY(!locked());
        QCOMPARE(command(window->motorIndex()).torque, 0.0f);
        QTRY_COMPARE_WITH_TIMEOUT(enableButton()->text(), QStringLiteral("Enable"), kBusTimeoutMs);
        QCOMPARE(state(), static_cast<int>(Connected));
        QTRY_COMPARE(procChain->joint(window->motorIndex() + 1)->state,
                     sim::Cia402State::ReadyToSwitchOn);
        auto* plot = child<QCustomPlot>(QStringLiteral("plot_para"));
        QCOMPARE(plot->graph(0)->name() + plot->graph(2)->name(), QStringLiteral("TorqueVelocity"));
    }

private slots:
    void initTestCase() {
        sandboxSettings();
        chain = sim::registerSimulatedAdapter(chainConfig(2));
        sim::ChainConfig config = chainConfig(2);
        config.slaves[0].calibrationDurationNs = 1'000'000;
        config.slaves[0].identificationDurationNs = static_cast<int64_t>(kQuickRunS * 1e9);
        config.slaves[0].joint.inertia = 0.2;  // never reaches the speed limit
        config.slaves[0].joint.torqueConstant = kQuickTorqueConstant;
        config.slaves[1].calibrationNeverEnds = true;
        procChain = std::make_shared<sim::Chain>(config);
        sim::registerSimulatedAdapter("sim:procedures", kProcChain.toStdString(), procChain);
        // Count the console's transfers of the calibration parameter where drive 1 answers them.
        procChain->withSlave(2, [this](sim::Esc&, sim::SlaveApplication* app) {
            sim::SubObject* entry = static_cast<sim::Cia402Drive*>(app)->dictionary().entry(
                kParamObjectIndex, kParamIdCalibration + 1);
            entry->onRead = [this, onRead = entry->onRead](sim::SubObject& e) {
                ++calibrationReads;
                return onRead ? onRead(e) : 0u;
            };
            entry->onWrite = [this, onWrite = entry->onWrite](std::span<const uint8_t> data) {
                ++calibrationWrites;
                calibrationByte = data.size() == 1 ? data[0] : -2;
                return onWrite ? onWrite(data) : 0u;
            };
        });
        adapter = kParamChain;
    }
    void cleanup() {
        if (window && identify()->text() == QLatin1String("辨识中")) {
            window->setProcedurePollInterval(1);
            QTRY_COMPARE_WITH_TIMEOUT(identify()->text(), QStringLiteral("开始辨识"),
                                      kBusTimeoutMs);
        }
        closeWindow();
    }

    // The download always goes to the first drive, whichever is operated, under the password as
    // typed; the outcome is boxed and the bus taken down. Cancelled dialogs or an invalid
    // password start nothing.
    void firmwareDownload() {
        QByteArray firmware;
        for (int i = 0; i < 3000; ++i) {  // several FoE packets, the last a short one
            firmware.append(static_cast<char>(i * 7 + 3));
        }
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("joint_1.3.0.efw"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(firmware) == firmware.size());
        file.close();
        for (const int position : {1, 2}) {
            chain->drive(position)->foe().password = 0xDEADBEEF;
        }
        const sim::FirmwareFile before = *chain->firmware(1);
        const sim::FirmwareFile second = *chain->firmware(2);

        QVERIFY(openConnected());
        selectDrive(1);
        ModalAnswerer answerer;
        answerer.thenFile(QString());
        answerer.thenFile(path);
        answerer.then<QInputDialog>([](QInputDialog* dialog) { dialog->reject(); });
        answerer.thenFile(path);
        typePassword(answerer, QStringLiteral("123456789"));  // nine digits: too large
        answerer.thenBox();
        answerer.thenBox();
        for (int i = 0; i < 3; ++i) {
            button(QStringLiteral("pushButton_Upgrade"))->click();
        }
        QVERIFY(answerer.done());
        QCOMPARE(answerer.boxes,
                 (QStringList{boxText(QMessageBox::Warning, "无效输入", "请输入有效的16进制密码！"),
                              boxText(QMessageBox::Critical, "ERROR", "输入错误")}));
        QCOMPARE(chain->firmware(1)->bytes, before.bytes);
        QCOMPARE(connectButton()->text(), QStringLiteral("Disconnect"));

        answerer.boxes.clear();
        answerer.thenFile(path);
        typePassword(answerer, QStringLiteral("0deadbeef"));
        answerer.thenBox();
        button(QStringLiteral("pushButton_Upgrade"))->click();
        QTRY_VERIFY_WITH_TIMEOUT(answerer.done(), 120000);
        QCOMPARE(answerer.boxes,
                 QStringList{boxText(QMessageBox::Information, "成功", "固件写入成功!")});
        const sim::FirmwareFile written = *chain->firmware(1);
        QCOMPARE(QString::fromStdString(written.name), QStringLiteral("joint_1.3.0.efw"));
        QVERIFY(written.complete);
        QCOMPARE(asBytes(written.bytes), firmware);
        QCOMPARE(chain->firmware(2)->bytes, second.bytes);
        QVERIFY(!window->findChild<QProgressDialog*>()->isVisible());
        QCOMPARE(connectButton()->text(), QStringLiteral("Connect"));
        QCOMPARE(state(), static_cast<int>(NotConnected));
        QTRY_COMPARE(loggedCount(QStringLiteral("Disconnect Success.")), 1);
        QVERIFY(logged(QStringLiteral("Request init state for slave 1")));
        QVERIFY(!logged(QStringLiteral("Request init state for slave 2")));

        // A password the bootloader refuses: the failure box, and the bus goes down all the same.
        QVERIFY(connectBus());
        answerer.boxes.clear();
        answerer.thenFile(path);
        typePassword(answerer, QStringLiteral("4321"));
        answerer.thenBox();
        button(QStringLiteral("pushButton_Upgrade"))->click();
        QTRY_VERIFY_WITH_TIMEOUT(answerer.done(), 120000);
        QCOMPARE(answerer.boxes,
                 QStringList{boxText(QMessageBox::Critical, "失败", "固件写入失败!")});
        QCOMPARE(connectButton()->text(), QStringLiteral("Connect"));
        QCOMPARE(answerer.unexpected, 0);
    }

    // Single parameters: the bytes the drive holds after a write, the value read back, the log
    // lines; the identity reads with the product-type fallback; Save; the operated drive only.
    void singleParameters() {
        QVERIFY(openConnected());
        const struct {
            int id;
            double entered;
            QByteArray onDrive;
            const char* logged;
            double readBack;
        } rows[] = {{1, 1.2345, QByteArray("\xd2\x04", 2), "1234", 1.234},  // thousandths
                    {20, -3.7, QByteArray("\xfd"), "-3", -3.0},
                    {8, 300.0, QByteArray("\x2c"), "44", 44.0},  // the low 8 bits
                    {31, 2500.0, QByteArray("\xc4\x09\x00\x00", 4), "2500", 2500.0},
                    {2, 0.5, QByteArray("\x00\x00\x00\x3f", 4), "0.5", 0.5}};
        for (const auto& r : rows) {
            window->writeParameterValue(r.id, static_cast<float>(r.entered));
            QCOMPARE(asBytes(chain->parameter(1, r.id)), r.onDrive);
            row(r.id).editor->setValue(0);
            row(r.id).readButton->click();
            QCOMPARE(row(r.id).editor->value(), r.readBack);
            QTRY_VERIFY(logged(setLine(r.id, QLatin1String(r.logged))));
            QTRY_VERIFY(logged(getLine(r.id, QLatin1String(r.logged))));
        }

        button(QStringLiteral("pushButton_ReadVersion"))->click();
        button(QStringLiteral("pushButton_ReadPdtBatch"))->click();
        button(QStringLiteral("pushButton_ReadPdtType"))->click();
        // The version the drive runs (the firmware download above installed a new one).
        const uint16_t version = chain->drive(1)->softwareVersion();
        const QString versionText = QString::fromStdString(chain->drive(1)->softwareVersionText());
        QCOMPARE(child<QLineEdit>(QStringLiteral("lineEdit_Version"))->text(), versionText);
        QCOMPARE(window->softwareVersion(), versionText);
        QCOMPARE(child<QLineEdit>(QStringLiteral("lineEdit_PdtBatch"))->text(), "23");
        QCOMPARE(child<QLineEdit>(QStringLiteral("lineEdit_PdtType"))->text(), "QJ30");
        QTRY_VERIFY(logged(getLine(kParamIdProductType, "QJ30")));
        QVERIFY(logged(QStringLiteral("Get \"Software_Version\": 0x%1").arg(version, 0, 16)));
        QVERIFY(logged(getLine(kParamIdProductBatch, "23")));

        // An unreadable product type is derived from the version's family digit (0x1234: QJ10).
        withDictionary(1, [](sim::ObjectDictionary& od) {
            od.entry(sim::kParamObject, kParamIdProductType + 1)->onRead = [](sim::SubObject&) {
                return sim::sdo_abort::kGeneral;
            };
            od.setU32(sim::kParamObject, kParamIdSoftwareVersion + 1, 0x1234);
        });
        button(QStringLiteral("pushButton_ReadPdtType"))->click();
        withDictionary(1, [version](sim::ObjectDictionary& od) {
            od.entry(sim::kParamObject, kParamIdProductType + 1)->onRead = nullptr;
            od.setU32(sim::kParamObject, kParamIdSoftwareVersion + 1, version);
        });
        QCOMPARE(window->currentProductType(), "QJ10");
        QTRY_VERIFY(logged(getLine(kParamIdProductType, "QJ10")));
        const qsizetype announced =
            messages().indexOf(QStringLiteral("读取产品类型失败，尝试重新解析"));
        const qsizetype failed =
            messages().indexOf(QStringLiteral("SDO read failed for index 0x6101 subindex 0x25"));
        QVERIFY(failed >= 0 && announced > failed);
        QVERIFY(messages().indexOf(getLine(kParamIdProductType, "QJ10")) > announced);
        button(QStringLiteral("pushButton_ReadPdtType"))->click();
        QCOMPARE(window->currentProductType(), "QJ30");

        button(QStringLiteral("pushButton_Save"))->click();  // 15 whatever the editors hold
        QCOMPARE(chain->parameter(1, kParamIdSaveSettings), std::vector<uint8_t>{15});
        QTRY_VERIFY(logged(setLine(kParamIdSaveSettings, "15")));

        selectDrive(1);
        const std::vector<uint8_t> first = chain->parameter(1, kParamIdTorqueConstant);
        row(kParamIdTorqueConstant).editor->setValue(2.0);
        row(kParamIdTorqueConstant).writeButton->click();
        QCOMPARE(asBytes(chain->parameter(2, kParamIdTorqueConstant)), QByteArray("\xd0\x07", 2));
        QCOMPARE(chain->parameter(1, kParamIdTorqueConstant), first);
    }

    // Write ALL writes only values the operator sees (none from a fresh window, none of another
    // drive after a change of drive); runs report their progress and one waits for the other;
    // Read ALL reads the identity first, then every row.
    void readAllWriteAll() {
        QVERIFY(openConnected());
        const QList<int> ids = window->parameterRows().keys();
        const QStringList drive1 = snapshot(1);
        const QStringList drive2 = snapshot(2);
        const int limit = 8;  // a writable one-byte row
        button(QStringLiteral("pushButton_WriteAll"))->click();
        QTRY_VERIFY_WITH_TIMEOUT(logged(QStringLiteral("Write ALL finished.")), kBusTimeoutMs);
        QVERIFY(logged(QStringLiteral("Skip \"%1\": no value shown").arg(findParam(limit)->name)));
        QVERIFY(logged(QStringLiteral("Write ALL: row %1 of %1").arg(ids.size())));
        QCOMPARE(snapshot(1), drive1);

        row(limit).editor->setValue(42);
        button(QStringLiteral("pushButton_WriteAll"))->click();
        button(QStringLiteral("pushButton_ReadAll"))->click();
        QTRY_VERIFY(
            logged(QStringLiteral("Read ALL / Write ALL is running; wait for it to finish.")));
        QTRY_COMPARE_WITH_TIMEOUT(loggedCount(QStringLiteral("Write ALL finished.")), 2,
                                  kBusTimeoutMs);
        QStringList expected = drive1;
        expected[ids.indexOf(limit)] = QStringLiteral("2a");
        QCOMPARE(snapshot(1), expected);
        QVERIFY(!logged(QStringLiteral("Read ALL finished.")));

        for (const int id : ids) {
            row(id).editor->setValue(findParam(id)->displayKind == kDisplaySmallInt ? -5 : 9);
        }
        button(QStringLiteral("pushButton_WriteAll"))->click();
        QTRY_COMPARE_WITH_TIMEOUT(loggedCount(QStringLiteral("Write ALL finished.")), 3,
                                  kBusTimeoutMs);
        QCOMPARE(asBytes(chain->parameter(1, 20)), QByteArray("\xfb"));
        QCOMPARE(asBytes(chain->parameter(1, 1)), QByteArray("\x28\x23", 2));  // 9000
        QCOMPARE(asBytes(chain->parameter(1, 31)), QByteArray("\x09\x00\x00\x00", 4));
        for (const int id : ids) {
            row(id).editor->setValue(0);
        }
        button(QStringLiteral("pushButton_ReadAll"))->click();
        QTRY_VERIFY_WITH_TIMEOUT(logged(QStringLiteral("Read ALL finished.")), kBusTimeoutMs);
        for (const int id : ids) {
            QCOMPARE(row(id).editor->value(),
                     findParam(id)->displayKind == kDisplaySmallInt ? -5.0 : 9.0);
        }
        const qsizetype version =
            messages().indexOf(QStringLiteral("Get \"Software_Version\": 0x%1")
                                   .arg(chain->drive(1)->softwareVersion(), 0, 16));
        const qsizetype batch = messages().indexOf(getLine(kParamIdProductBatch, "23"));
        const qsizetype type = messages().indexOf(getLine(kParamIdProductType, "QJ30"));
        QVERIFY(version >= 0 && batch > version && type > batch);
        QVERIFY(messages().indexOf(getLine(kParamIdTorqueConstant, "9000")) > type);

        selectDrive(1);  // blanks the editors: nothing of drive 0 reaches drive 1
        button(QStringLiteral("pushButton_WriteAll"))->click();
        QTRY_COMPARE_WITH_TIMEOUT(loggedCount(QStringLiteral("Write ALL finished.")), 4,
                                  kBusTimeoutMs);
        QCOMPARE(snapshot(2), drive2);
    }

    // Closing the window while a Read ALL worker runs ends the run; nothing reaches the window or
    // the master afterwards (the sanitizers would see it), and the bus serves a new window; a
    // disconnect waits for a transfer to a drive that stopped answering.
    void closeDuringReadAll() {
        QVERIFY(openConnected());
        QVERIFY(chain->dropMailboxReplies(1, 4));  // holds the worker in a transfer
        button(QStringLiteral("pushButton_ReadAll"))->click();
        QTest::qWait(20);
        window.reset();
        QVERIFY(openConnected());
        QVERIFY(chain->dropMailboxReplies(1, 1000));
        button(QStringLiteral("pushButton_ReadAll"))->click();
        QTest::qWait(20);
        connectButton()->click();
        QCOMPARE(connectButton()->text(), QStringLiteral("Connect"));
        QTRY_VERIFY_WITH_TIMEOUT(logged(QStringLiteral("Read ALL finished.")), kBusTimeoutMs);
        QVERIFY(chain->dropMailboxReplies(1, 0));
        QVERIFY(openConnected());
        button(QStringLiteral("pushButton_ReadAll"))->click();
        QTRY_VERIFY_WITH_TIMEOUT(logged(QStringLiteral("Read ALL finished.")), kBusTimeoutMs);
        const QString last = findParam(window->parameterRows().lastKey())->name;
        QCOMPARE(messages().filter(QStringLiteral("Get \"%1\"").arg(last)).size(), 1);
    }

    // Calibration writes 16 into the drive's calibration parameter and polls it until it reads
    // 1: the label counts the polls, the 90th ends the run as failed, and without a bus nothing
    // is written and the run ends by the timeout in the state the bus has.
    void calibration() {
        window = std::make_unique<MainWindow>();
        QVERIFY(connectBus(kProcChain));
        QAbstractButton* calibrate = button(QStringLiteral("button_calibrate"));
        calibrate->click();  // drive 0: done before the first poll
        QCOMPARE(calibrate->text(), QStringLiteral("校准中"));
        QCOMPARE(state(), static_cast<int>(Testing));
        QVERIFY(locked());
        QTRY_COMPARE_WITH_TIMEOUT(resultLabel()->text(), QStringLiteral("校准成功"), kBusTimeoutMs);
        QCOMPARE(state(), static_cast<int>(Connected));
        QVERIFY(!locked());
        QTRY_VERIFY(logged(QStringLiteral(">>> 校准成功")));
        const qsizetype started = messages().indexOf(QStringLiteral(">>> 开始校准"));
        QVERIFY(started >= 0 && started < messages().indexOf(QStringLiteral("Set \" 校准\": 16")));
        QCOMPARE(calibrationReads + calibrationWrites, 0);  // the other drive left alone

        selectDrive(1);
        window->setProcedurePollInterval(10);
        calibrate->click();
        QCOMPARE(calibrationWrites.load(), 1);
        QCOMPARE(calibrationByte.load(), 16);
        QCOMPARE(calibrationReads.load(), 0);
        calibrate->click();  // inert while running
        QTRY_COMPARE_WITH_TIMEOUT(resultLabel()->text(), QStringLiteral("校准失败"), kBusTimeoutMs);
        QCOMPARE(calibrationReads.load(), 90);
        QCOMPARE(calibrationWrites.load(), 1);
        QTRY_VERIFY(logged(QStringLiteral(">>> 校准超时，请重启电机并重新连接")));
        QCOMPARE(calibrate->text(), QStringLiteral("开始校准"));
        QCOMPARE(state(), static_cast<int>(Connected));
        QTest::qWait(100);
        QCOMPARE(calibrationReads.load(), 90);  // no poll after the end

        window->setProcedurePollInterval(1000);
        calibrate->click();
        QTRY_COMPARE_WITH_TIMEOUT(resultLabel()->text(), QStringLiteral("已进行1秒"),
                                  kBusTimeoutMs);
        procChain->withSlave(2, [](sim::Esc&, sim::SlaveApplication* app) {
            static_cast<sim::Cia402Drive*>(app)->dictionary().setU32(kParamObjectIndex,
                                                                     kParamIdCalibration + 1, 1);
        });
        QTRY_COMPARE_WITH_TIMEOUT(resultLabel()->text(), QStringLiteral("校准成功"), kBusTimeoutMs);
        QCOMPARE(loggedCount(QStringLiteral(">>> 校准成功")), 2);

        connectButton()->click();
        window->forceConsoleState(Connected);
        window->setProcedurePollInterval(5);
        const int reads = calibrationReads;
        calibrate->click();
        QTRY_COMPARE_WITH_TIMEOUT(loggedCount(QStringLiteral(">>> 校准超时，请重启电机并重新连接")),
                                  2, kBusTimeoutMs);
        QVERIFY(logged(QStringLiteral("设备未连接.")));
        QCOMPARE(state(), static_cast<int>(NotConnected));
        QCOMPARE(calibrationReads.load(), reads);
    }

    // Refusals before a run: the motor turns, no or an unsafe motor number (nothing lands outside
    // the result directory), answered No, a file that cannot be opened.
    void identificationRefused() {
        window = std::make_unique<MainWindow>();
        QVERIFY(connectBus(kProcChain));
        enableStill();
        setValue("doubleSpinBox_velocity", 0.5);
        button(QStringLiteral("pushButton_velocity"))->click();
        QTRY_VERIFY_WITH_TIMEOUT(value("doubleSpinBox_Velocity") != 0.0, kBusTimeoutMs);
        identify()->click();
        QTRY_VERIFY(logged(QStringLiteral("请先停止电机")));
        setValue("doubleSpinBox_velocity", 0.0);
        button(QStringLiteral("pushButton_velocity"))->click();
        QTRY_COMPARE_WITH_TIMEOUT(value("doubleSpinBox_Velocity"), 0.0, kBusTimeoutMs);

        const QString resultDir = QFileInfo(resultFile(QString())).path();
        QVERIFY(QDir().mkpath(resultDir + QStringLiteral("/identify_Zt")));
        const QStringList before = QDir(resultDir).entryList(QDir::AllEntries);
        ModalAnswerer answerer;
        for (const QString& motor : {QString(), QStringLiteral("Zt/../../Zt_escaped"),
                                     QStringLiteral("../Zt_escaped"), QStringLiteral("..")}) {
            child<QLineEdit>(QStringLiteral("lineEdit_motorid"))->setText(motor);
            answerer.thenBox();
            identify()->click();
            QVERIFY(answerer.done());
        }
        QCOMPARE(answerer.boxes, QStringList(4, boxText(QMessageBox::Information, "警告",
                                                        "请先输入电机编号，再进行辨识！")));
        QVERIFY(!QFile::exists(QCoreApplication::applicationDirPath() + "/Zt_escaped.csv"));
        QCOMPARE(QDir(resultDir).entryList(QDir::AllEntries), before);
        QVERIFY(QDir(resultDir + QStringLiteral("/identify_Zt")).removeRecursively());
        identifyAs(QStringLiteral("Zt-no"), QMessageBox::No);
        QVERIFY(!QFile::exists(resultFile(QStringLiteral("Zt-no"))));
        QVERIFY(QDir().mkpath(resultFile(QStringLiteral("Zt-blocked"))));
        identifyAs(QStringLiteral("Zt-blocked"), QMessageBox::Yes);
        QTRY_VERIFY(logged(QStringLiteral("无法打开辨识文件")));
        QVERIFY(QDir(resultFile(QStringLiteral("Zt-blocked"))).removeRecursively());
        QCOMPARE(identify()->text(), QStringLiteral("开始辨识"));
        QCOMPARE(state(), static_cast<int>(Enabled));
        QVERIFY(!locked() && !logged(QStringLiteral(">>> 开始辨识")));
        QCOMPARE(command(0).torque, 0.0f);
    }

    // A run the drive ends after 3 s: the sine mode with 1 N·m, rows from 1 s on carrying the
    // decoded current and velocity, the plot's curves renamed meanwhile; then torque 0 and the
    // drive disabled. A second run replaces the file.
    void identificationRuns() {
        window = std::make_unique<MainWindow>();
        QVERIFY(connectBus(kProcChain));
        const QString path = resultFile(QStringLiteral("Zt-ident_1"));
        QFile::remove(path);
        for (int run = 0; run < 2; ++run) {
            enableStill();
            identifyAs(QStringLiteral("Zt-ident_1"), QMessageBox::Yes);
            QCOMPARE(identify()->text(), QStringLiteral("辨识中"));
            QCOMPARE(state(), static_cast<int>(Testing));
            QVERIFY(locked());
            auto* plot = child<QCustomPlot>(QStringLiteral("plot_para"));
            QCOMPARE(plot->graph(0)->name() + plot->graph(2)->name(),
                     QStringLiteral("iqvel_middle"));
            QCOMPARE(command(0).mode, static_cast<uint16_t>(kModeSineCurve));
            QCOMPARE(command(0).torque, 1.0f);
            QTRY_VERIFY_WITH_TIMEOUT(procChain->joint(1)->identifying, kBusTimeoutMs);
            if (run == 0) {
                QVERIFY(!QFile::exists(path));  // only once the run has proved good
                QTRY_COMPARE_WITH_TIMEOUT(resultLabel()->text(), QStringLiteral("已进行1秒"),
                                          kBusTimeoutMs);
            }
            QTRY_COMPARE_WITH_TIMEOUT(identify()->text(), QStringLiteral("开始辨识"),
                                      kBusTimeoutMs);
            QCOMPARE(resultLabel()->text(), QStringLiteral("辨识成功"));
            QVERIFY(!logged(QStringLiteral(">>> 辨识超时，请重启电机并重新连接")));
            verifyIdentificationEnded();

            // Every line a row: a stale line appended to the first run's file must be gone.
            const QStringList rows =
                QString::fromUtf8(fileBytes(path)).split(u'\n', Qt::SkipEmptyParts);
            static const QRegularExpression row(QStringLiteral("^(\\d+\\.\\d{4}) (\\S+) (\\S+)$"));
            static const QRegularExpression fixed4(QStringLiteral("^-?\\d+\\.\\d{4}$"));
            double previous = 1.0;
            double maxIq = 0.0;
            double maxVel = 0.0;
            int identifying = 0;
            for (const QString& line : rows) {
                const auto m = row.match(line);
                QVERIFY2(m.hasMatch(), qPrintable(line));
                const double t = m.captured(1).toDouble();
                QVERIFY2(t >= previous && t < 45.0, qPrintable(line));
                previous = t;
                if (t < kQuickRunS - 0.2) {  // afterwards the fields are counts again
                    ++identifying;
                    QVERIFY2(fixed4.match(m.captured(2)).hasMatch() &&
                                 fixed4.match(m.captured(3)).hasMatch(),
                             qPrintable(line));
                    maxVel = std::max(maxVel, std::fabs(m.captured(2).toDouble()));
                    maxIq = std::max(maxIq, std::fabs(m.captured(3).toDouble()));
                }
            }
            QVERIFY2(rows.value(0).startsWith(QLatin1String("1.0")), qPrintable(rows.value(0)));
            // About 1.8 s of 2 ms samples while the drive identified, each checked above.
            QVERIFY2(identifying > 300, qPrintable(QString::number(identifying)));
            // The current follows the torque chirp: peaks of excitation / torque constant.
            const double peakIq = kExcitationNm / kQuickTorqueConstant;
            QVERIFY2(maxIq <= peakIq + 1e-3 && maxIq > 0.8 * peakIq,
                     qPrintable(QString::number(maxIq)));
            QVERIFY2(maxVel > 0.05 && maxVel < 2.0, qPrintable(QString::number(maxVel)));
            QFile file(path);
            QVERIFY(file.open(QIODevice::Append) && file.write("stale\n") == 6);
        }
    }

    // A run that fails keeps the previous result whole and leaves no temporary file: the drive
    // identifies longer than the console waits (the 90th poll ends it), the disk fills up under
    // the rows, or the drive falls off the bus.
    void identificationFailures_data() {
        QTest::addColumn<QString>("failure");
        QTest::newRow("timeout") << QStringLiteral("timeout");
        QTest::newRow("disk full") << QStringLiteral("disk full");
        QTest::newRow("drive lost") << QStringLiteral("drive lost");
    }
    void identificationFailures() {
        QFETCH(QString, failure);
        const QString path = resultFile(QStringLiteral("Zt-kept"));
        const QByteArray previous = "1.0020 0.5000 0.2500\n";
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(previous) > 0);
        file.close();
        window = std::make_unique<MainWindow>();
        QVERIFY(connectBus(kProcChain));
        selectDrive(failure == QLatin1String("timeout") ? 1 : 0);
        if (failure != QLatin1String("drive lost")) {
            window->setProcedurePollInterval(20);
        }
        enableStill();
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto restore = qScopeGuard([&saved] { setrlimit(RLIMIT_FSIZE, &saved); });
        if (failure == QLatin1String("disk full")) {
            std::signal(SIGXFSZ, SIG_IGN);  // a failed write, not a dead process
            rlimit small = saved;
            small.rlim_cur = 8 * 1024;  // passed well within the quick drive's run
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        }
        identifyAs(QStringLiteral("Zt-kept"), QMessageBox::Yes);
        QCOMPARE(identify()->text(), QStringLiteral("辨识中"));
        if (failure == QLatin1String("drive lost")) {
            QTRY_VERIFY(logged(QStringLiteral(">>> 开始辨识")));
            procChain->pullDrive(2);
        }
        QTRY_COMPARE_WITH_TIMEOUT(resultLabel()->text(), QStringLiteral("辨识失败"), kBusTimeoutMs);
        QVERIFY(!logged(QStringLiteral(">>> 辨识成功")));
        if (failure == QLatin1String("drive lost")) {
            QTRY_COMPARE_WITH_TIMEOUT(connectButton()->text(), QStringLiteral("Connect"),
                                      kBusTimeoutMs);
            QCOMPARE(identify()->text(), QStringLiteral("开始辨识"));
            QVERIFY(!locked());
            QCOMPARE(state(), static_cast<int>(NotConnected));
            procChain->plugDrive(2);
        } else {
            QTRY_VERIFY(logged(failure == QLatin1String("timeout")
                                   ? QStringLiteral(">>> 辨识超时，请重启电机并重新连接")
                                   : QStringLiteral(">>> 辨识结果文件写入失败: ") + path));
            verifyIdentificationEnded();
        }
        QCOMPARE(fileBytes(path), previous);
        QCOMPARE(QDir(QFileInfo(path).path()).entryList({QStringLiteral("identify_Zt-kept*")}),
                 QStringList{QStringLiteral("identify_Zt-kept.csv")});
    }
};

QTEST_MAIN(TestConsoleService)
#include "tst_console_service.moc"
