#include <atomic>
#include <cmath>
#include <span>

#include "console_support.h"
#include "kivcustomplot.h"
#include "model/paramtable.h"
#include "nowheeldoublespinbox.h"

using namespace consoletest;

namespace {

const QString kParamChain = u"Simulated drive chain (2 drives)"_s;
const QString kProcChain = u"Procedure chain (2 drives)"_s;
// On the procedure chain drive 0 calibrates in 1 ms and identifies for 3 s, then leaves
// Operation enabled by itself; drive 1 never finishes a calibration and identifies for 50 s.
constexpr double kQuickRunS = 3.0;
constexpr double kQuickTorqueConstant = 0.25;
// The identification excitation: the console's 1 N·m command as the torque field carries it.
constexpr double kExcitationNm = 409.0 * 80.0 / 32767.0;

QString getLine(int id, const QString& v) {
    return u"Get \"%1\": %2"_s.arg(findParam(id)->name, v);
}
QString resultFile(const QString& motor) {
    return QCoreApplication::applicationDirPath() + "/result/identify_" + motor + ".csv";
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
    QString resultLabel() const { return child<QLabel>(u"label_calibratetime"_s)->text(); }
    QAbstractButton* identify() const { return button("button_identify"); }
    QStringList snapshot(int position) const {
        QStringList values;
        for (const int id : window->parameterRows().keys()) {
            values << QString::fromLatin1(asBytes(chain->parameter(position, id)).toHex());
        }
        return values;
    }
    // Answers the firmware flow: file, password typed over the pre-filled "0", the boxes.
    void upgrade(ModalAnswerer& answerer, const QString& path, const QString& password, int boxes) {
        answerer.thenFile(path);
        answerer.then<QInputDialog>([password](QInputDialog* dialog) {
            auto* field = dialog->findChild<QLineEdit*>();
            QCOMPARE(field->text(), u"0"_s);
            field->clear();
            QTest::keyClicks(field, password);
            dialog->accept();
        });
        for (int i = 0; i < boxes; ++i) {
            answerer.thenBox();
        }
        click("pushButton_Upgrade");
        QVERIFY(waitFor([&answerer] { return answerer.done(); }));
    }
    // Presses Identify for `motor` and answers the question with `answer`.
    void identifyAs(const QString& motor, QMessageBox::StandardButton answer) {
        child<QLineEdit>(u"lineEdit_motorid"_s)->setText(motor);
        ModalAnswerer answerer;
        answerer.thenBox(answer);
        identify()->click();
        QVERIFY(answerer.done());
    }
    bool enableStill() {
        return clickAndWait("pushButton_enable", "Disable") &&
               waitFor([this] { return value("doubleSpinBox_Velocity") == 0.0; });
    }
    // The end of an identification: torque 0, the drive disabled, the console idle.
    void verifyIdentificationEnded() {
        QCOMPARE(identify()->text(), u"开始辨识"_s);
        QVERIFY(!locked());
        QCOMPARE(command(window->motorIndex()).torque, 0.0f);
        QVERIFY(waitText(enableButton(), "Enable"));
        QCOMPARE(state(), static_cast<int>(Connected));
        QTRY_COMPARE(procChain->joint(window->motorIndex() + 1)->state,
                     sim::Cia402State::ReadyToSwitchOn);
        auto* plot = child<QCustomPlot>(u"plot_para"_s);
        QCOMPARE(plot->graph(0)->name() + plot->graph(2)->name(), u"TorqueVelocity"_s);
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
        sim::SubObject* entry =
            procChain->drive(2)->dictionary().entry(kParamObjectIndex, kParamIdCalibration + 1);
        entry->onRead = [this, onRead = entry->onRead](sim::SubObject& e) {
            ++calibrationReads;
            return onRead ? onRead(e) : 0u;
        };
        entry->onWrite = [this, onWrite = entry->onWrite](std::span<const uint8_t> data) {
            ++calibrationWrites;
            calibrationByte = data.size() == 1 ? data[0] : -2;
            return onWrite ? onWrite(data) : 0u;
        };
        adapter = kParamChain;
    }
    void cleanup() {
        if (window && identify()->text() == u"辨识中"_s) {
            window->setProcedurePollInterval(1);
            QVERIFY(waitText(identify(), "开始辨识"));
        }
        closeWindow();
    }

    // The download always goes to the first drive, whichever is operated, under the password as
    // typed, byte for byte; the outcome is boxed and the bus taken down. An invalid password
    // starts nothing.
    void firmwareDownload() {
        QByteArray firmware;
        for (int i = 0; i < 3000; ++i) {  // several FoE packets, the last a short one
            firmware.append(static_cast<char>(i * 7 + 3));
        }
        QTemporaryDir dir;
        const QString path = dir.filePath(u"joint_1.3.0.efw"_s);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(firmware) == firmware.size());
        file.close();
        chain->drive(1)->foe().password = chain->drive(2)->foe().password = 0xDEADBEEF;
        const std::vector<uint8_t> before = chain->firmware(1)->bytes;
        const std::vector<uint8_t> second = chain->firmware(2)->bytes;

        QVERIFY(openConnected());
        selectDrive(1);
        ModalAnswerer answerer;
        upgrade(answerer, path, u"123456789"_s, 2);  // nine digits: too large
        QCOMPARE(chain->firmware(1)->bytes, before);
        QCOMPARE(connectButton()->text(), u"Disconnect"_s);
        upgrade(answerer, path, u"0deadbeef"_s, 1);
        const sim::FirmwareFile written = *chain->firmware(1);
        QCOMPARE(QString::fromStdString(written.name), u"joint_1.3.0.efw"_s);
        QVERIFY(written.complete);
        QCOMPARE(asBytes(written.bytes), firmware);
        QCOMPARE(chain->firmware(2)->bytes, second);
        QVERIFY(!window->findChild<QProgressDialog*>()->isVisible());
        QCOMPARE(connectButton()->text(), u"Connect"_s);
        QCOMPARE(state(), static_cast<int>(NotConnected));
        QTRY_COMPARE(loggedCount(u"Disconnect Success."_s), 1);
        QVERIFY(logged(u"Request init state for slave 1"_s) &&
                !logged(u"Request init state for slave 2"_s));
        QVERIFY(connectBus());
        upgrade(answerer, path, u"4321"_s, 1);  // refused by the bootloader
        QCOMPARE(connectButton()->text(), u"Connect"_s);
        QCOMPARE(answerer.boxes,
                 (QStringList{boxText(QMessageBox::Warning, "无效输入", "请输入有效的16进制密码！"),
                              boxText(QMessageBox::Critical, "ERROR", "输入错误"),
                              boxText(QMessageBox::Information, "成功", "固件写入成功!"),
                              boxText(QMessageBox::Critical, "失败", "固件写入失败!")}));
    }

    // Single parameters: the bytes the drive holds after a write, the value read back, the log
    // lines; the identity reads; Save; the operated drive only.
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
                    {31, 2500.0, QByteArray("\xc4\x09\x00\x00", 4), "2500", 2500.0},
                    {2, 0.5, QByteArray("\x00\x00\x00\x3f", 4), "0.5", 0.5}};
        for (const auto& r : rows) {
            window->writeParameterValue(r.id, static_cast<float>(r.entered));
            QCOMPARE(asBytes(chain->parameter(1, r.id)), r.onDrive);
            row(r.id).editor->setValue(0);
            row(r.id).readButton->click();
            QCOMPARE(row(r.id).editor->value(), r.readBack);
            QTRY_VERIFY(
                logged(u"Set \"%1\": %2"_s.arg(findParam(r.id)->name, QLatin1String(r.logged))));
            QVERIFY(logged(getLine(r.id, QLatin1String(r.logged))));
        }

        // The version the drive runs (the firmware download above installed a new one).
        const uint16_t version = chain->drive(1)->softwareVersion();
        click("pushButton_ReadVersion");
        click("pushButton_ReadPdtBatch");
        click("pushButton_ReadPdtType");
        const QString versionText = QString::fromStdString(chain->drive(1)->softwareVersionText());
        QCOMPARE(child<QLineEdit>(u"lineEdit_Version"_s)->text() + window->softwareVersion(),
                 versionText + versionText);
        QCOMPARE(child<QLineEdit>(u"lineEdit_PdtBatch"_s)->text() +
                     child<QLineEdit>(u"lineEdit_PdtType"_s)->text(),
                 "23QJ30");
        QTRY_VERIFY(logged(getLine(kParamIdProductType, "QJ30")));
        QVERIFY(logged(u"Get \"Software_Version\": 0x%1"_s.arg(version, 0, 16)));
        QVERIFY(logged(getLine(kParamIdProductBatch, "23")));

        click("pushButton_Save");  // 15 whatever the editors hold
        QCOMPARE(chain->parameter(1, kParamIdSaveSettings), std::vector<uint8_t>{15});
        selectDrive(1);
        const std::vector<uint8_t> first = chain->parameter(1, kParamIdTorqueConstant);
        row(kParamIdTorqueConstant).editor->setValue(2.0);
        row(kParamIdTorqueConstant).writeButton->click();
        QCOMPARE(asBytes(chain->parameter(2, kParamIdTorqueConstant)), QByteArray("\xd0\x07", 2));
        QCOMPARE(chain->parameter(1, kParamIdTorqueConstant), first);
    }

    // Write ALL writes only values the operator sees and reports its progress; Read ALL reads
    // the identity first, then every row.
    void readAllWriteAll() {
        QVERIFY(openConnected());
        const QList<int> ids = window->parameterRows().keys();
        const QStringList drive1 = snapshot(1);
        const QStringList drive2 = snapshot(2);
        const auto runs = [this](const char* name, int n) {
            return waitFor([this, name, n] { return loggedCount(QLatin1String(name)) == n; });
        };
        const int limit = 8;  // a writable one-byte row
        click("pushButton_WriteAll");
        QVERIFY(runs("Write ALL finished.", 1));
        QVERIFY(logged(u"Skip \"%1\": no value shown"_s.arg(findParam(limit)->name)));
        QVERIFY(logged(u"Write ALL: row %1 of %1"_s.arg(ids.size())));
        QCOMPARE(snapshot(1), drive1);

        row(limit).editor->setValue(42);
        click("pushButton_WriteAll");
        QVERIFY(runs("Write ALL finished.", 2));
        QStringList expected = drive1;
        expected[ids.indexOf(limit)] = u"2a"_s;
        QCOMPARE(snapshot(1), expected);

        for (const int id : ids) {
            row(id).editor->setValue(findParam(id)->displayKind == kDisplaySmallInt ? -5 : 9);
        }
        click("pushButton_WriteAll");
        QVERIFY(runs("Write ALL finished.", 3));
        QCOMPARE(asBytes(chain->parameter(1, 20)), QByteArray("\xfb"));
        QCOMPARE(asBytes(chain->parameter(1, 1)), QByteArray("\x28\x23", 2));  // 9000
        QCOMPARE(asBytes(chain->parameter(1, 31)), QByteArray("\x09\x00\x00\x00", 4));
        for (const int id : ids) {
            row(id).editor->setValue(0);
        }
        child<QLineEdit>(u"lineEdit_PdtType"_s)->clear();
        click("pushButton_ReadAll");
        QVERIFY(runs("Read ALL finished.", 1));
        for (const int id : ids) {
            QCOMPARE(row(id).editor->value(),
                     findParam(id)->displayKind == kDisplaySmallInt ? -5.0 : 9.0);
        }
        QCOMPARE(child<QLineEdit>(u"lineEdit_PdtType"_s)->text(), "QJ30");
        QVERIFY(messages().indexOf(getLine(kParamIdProductType, "QJ30")) <
                messages().indexOf(getLine(kParamIdTorqueConstant, "9000")));
    }

    // Calibration writes 16 into the drive's calibration parameter and polls it until it reads
    // 1; the 90th poll ends the run as failed.
    void calibration() {
        window = std::make_unique<MainWindow>();
        QVERIFY(connectBus(kProcChain));
        QAbstractButton* calibrate = button("button_calibrate");
        calibrate->click();  // drive 0: done before the first poll
        QCOMPARE(calibrate->text(), u"校准中"_s);
        QVERIFY(state() == Testing && locked());
        QVERIFY(waitFor([this] { return resultLabel() == u"校准成功"_s; }));
        QVERIFY(state() == Connected && !locked());
        QTRY_VERIFY(logged(u">>> 校准成功"_s));
        QVERIFY(logged(u"Set \" 校准\": 16"_s));
        QCOMPARE(calibrationReads + calibrationWrites, 0);  // the other drive left alone

        selectDrive(1);
        window->setProcedurePollInterval(10);
        calibrate->click();
        QCOMPARE(calibrationWrites + calibrationByte, 17);  // one write of 16
        QCOMPARE(calibrationReads.load(), 0);
        calibrate->click();  // inert while running
        QVERIFY(waitFor([this] { return resultLabel() == u"校准失败"_s; }));
        QCOMPARE(calibrationReads.load(), 90);
        QCOMPARE(calibrationWrites.load(), 1);
        QTRY_VERIFY(logged(u">>> 校准超时，请重启电机并重新连接"_s));
        QVERIFY(calibrate->text() == u"开始校准"_s && state() == Connected);
        QTest::qWait(100);
        QCOMPARE(calibrationReads.load(), 90);  // no poll after the end
    }

    // Refusals before a run: the motor turns, an unsafe motor number (nothing lands outside the
    // result directory), answered No, a file that cannot be opened.
    void identificationRefused() {
        window = std::make_unique<MainWindow>();
        QVERIFY(connectBus(kProcChain) && enableStill());
        setValue("doubleSpinBox_velocity", 0.5);
        click("pushButton_velocity");
        QVERIFY(waitFor([this] { return value("doubleSpinBox_Velocity") != 0.0; }));
        identify()->click();
        QTRY_VERIFY(logged(u"请先停止电机"_s));
        setValue("doubleSpinBox_velocity", 0.0);
        click("pushButton_velocity");
        QVERIFY(waitFor([this] { return value("doubleSpinBox_Velocity") == 0.0; }));
        ModalAnswerer answerer;
        answerer.thenBox();
        child<QLineEdit>(u"lineEdit_motorid"_s)->setText(u"../Zt_escaped"_s);
        identify()->click();
        QCOMPARE(answerer.boxes, QStringList{boxText(QMessageBox::Information, "警告",
                                                     "请先输入电机编号，再进行辨识！")});
        identifyAs(u"Zt-no"_s, QMessageBox::No);
        QVERIFY(QDir().mkpath(resultFile(u"Zt-blocked"_s)));
        identifyAs(u"Zt-blocked"_s, QMessageBox::Yes);
        QTRY_VERIFY(logged(u"无法打开辨识文件"_s));
        QVERIFY(QDir(resultFile(u"Zt-blocked"_s)).removeRecursively());
        QVERIFY(!QFile::exists(resultFile(u"Zt-no"_s)) && !logged(u">>> 开始辨识"_s));
        QVERIFY(identify()->text() == u"开始辨识"_s && state() == Enabled && !locked());
    }

    // A run the drive ends after 3 s: the sine mode with 1 N·m, rows from 1 s on carrying the
    // decoded current and velocity, the plot's curves renamed meanwhile; then torque 0 and the
    // drive disabled. A second run replaces the file.
    void identificationRuns() {
        window = std::make_unique<MainWindow>();
        QVERIFY(connectBus(kProcChain));
        const QString path = resultFile(u"Zt-ident_1"_s);
        QFile::remove(path);
        for (int run = 0; run < 2; ++run) {
            QVERIFY(enableStill());
            identifyAs(u"Zt-ident_1"_s, QMessageBox::Yes);
            QVERIFY(identify()->text() == u"辨识中"_s && state() == Testing && locked());
            auto* plot = child<QCustomPlot>(u"plot_para"_s);
            QCOMPARE(plot->graph(0)->name() + plot->graph(2)->name(), u"iqvel_middle"_s);
            QCOMPARE(command(0).mode, static_cast<uint16_t>(kModeSineCurve));
            QCOMPARE(command(0).torque, 1.0f);
            QVERIFY(waitFor([this] { return procChain->joint(1)->identifying; }));
            QVERIFY(run == 1 || !QFile::exists(path));  // only once the run has proved good
            QVERIFY(waitFor([this] { return resultLabel() == u"已进行1秒"_s; }));
            QVERIFY(waitText(identify(), "开始辨识"));
            QCOMPARE(resultLabel(), u"辨识成功"_s);
            verifyIdentificationEnded();

            // Every line a row ("t vel iq", t rising from just past 1 s); while the drive
            // identified, both values fixed with 4 decimals, the current peaking at
            // excitation / torque constant. A stale line appended after the first run must go.
            const QStringList rows =
                QString::fromUtf8(fileBytes(path)).split(u'\n', Qt::SkipEmptyParts);
            static const QRegularExpression line(u"^(\\d+\\.\\d{4}) (\\S+) (\\S+)$"_s);
            static const QRegularExpression fixed4(u"^-?\\d+\\.\\d{4}$"_s);
            double previous = 1.0;
            double maxIq = 0.0;
            double maxVel = 0.0;
            int identifying = 0;
            for (const QString& text : rows) {
                const auto m = line.match(text);
                QVERIFY2(m.hasMatch() && m.captured(1).toDouble() >= previous, qPrintable(text));
                previous = m.captured(1).toDouble();
                if (previous < kQuickRunS - 0.2) {  // afterwards the fields are counts again
                    ++identifying;
                    QVERIFY2(fixed4.match(m.captured(2)).hasMatch() &&
                                 fixed4.match(m.captured(3)).hasMatch(),
                             qPrintable(text));
                    maxVel = std::max(maxVel, std::fabs(m.captured(2).toDouble()));
                    maxIq = std::max(maxIq, std::fabs(m.captured(3).toDouble()));
                }
            }
            QVERIFY2(rows.value(0).startsWith(QLatin1String("1.0")), qPrintable(rows.value(0)));
            QVERIFY2(identifying > 300, qPrintable(QString::number(identifying)));
            const double peakIq = kExcitationNm / kQuickTorqueConstant;
            QVERIFY2(maxIq <= peakIq + 1e-3 && maxIq > 0.8 * peakIq,
                     qPrintable(QString::number(maxIq)));
            QVERIFY2(maxVel > 0.05 && maxVel < 2.0, qPrintable(QString::number(maxVel)));
            QFile file(path);
            QVERIFY(file.open(QIODevice::Append) && file.write("stale\n") == 6);
        }
    }

    // A run that fails keeps the previous result whole and leaves no temporary file: the drive
    // identifies longer than the console waits (the 90th poll ends it), or falls off the bus.
    void identificationFailures() {
        const QString path = resultFile(u"Zt-kept"_s);
        const QByteArray previous = "1.0020 0.5000 0.2500\n";
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(previous) > 0);
        file.close();
        window = std::make_unique<MainWindow>();
        QVERIFY(connectBus(kProcChain));
        for (const bool lost : {false, true}) {
            selectDrive(lost ? 0 : 1);
            window->setProcedurePollInterval(lost ? 1000 : 20);
            QVERIFY(enableStill());
            identifyAs(u"Zt-kept"_s, QMessageBox::Yes);
            QCOMPARE(identify()->text(), u"辨识中"_s);
            if (lost) {
                QTRY_VERIFY(logged(u">>> 开始辨识"_s));
                procChain->pullDrive(2);
            }
            QVERIFY(waitFor([this] { return resultLabel() == u"辨识失败"_s; }));
            QVERIFY(!logged(u">>> 辨识成功"_s));
            if (lost) {
                QVERIFY(waitText(connectButton(), "Connect"));
                QVERIFY(identify()->text() == u"开始辨识"_s && !locked());
                QCOMPARE(state(), static_cast<int>(NotConnected));
                procChain->plugDrive(2);
            } else {
                QTRY_VERIFY(logged(u">>> 辨识超时，请重启电机并重新连接"_s));
                verifyIdentificationEnded();
            }
            QCOMPARE(fileBytes(path), previous);
            QCOMPARE(QDir(QFileInfo(path).path()).entryList({u"identify_Zt-kept*"_s}),
                     QStringList{u"identify_Zt-kept.csv"_s});
        }
    }
};

QTEST_MAIN(TestConsoleService)
#include "tst_console_service.moc"
