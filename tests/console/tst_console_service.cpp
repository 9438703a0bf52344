#include <atomic>
#include <cmath>
#include <span>

#include "console_support.h"
#include "kivcustomplot.h"
#include "model/paramtable.h"
#include "nowheeldoublespinbox.h"
#include "parametersets.h"

using namespace consoletest;

namespace {

const QString kProcChain = u"Procedure chain (2 drives)"_s;
// Procedure chain: drive 0 calibrates in 1 ms, identifies for 3 s; drive 1 never calibrates.
constexpr double kQuickRunS = 3.0, kQuickTorqueConstant = 0.25;
// The console's 1 N·m excitation as the torque field carries it.
constexpr double kExcitationNm = 409.0 * 80.0 / 32767.0;

QString getLine(int id, const QString& v) {
    return u"Get \"%1\": %2"_s.arg(findParam(id)->name, v);
}
QString resultFile(const QString& motor) {
    return QCoreApplication::applicationDirPath() + "/result/identify_" + motor + ".csv";
}

}  // namespace

// The drive's services from the console, checked where the simulated drive holds the result.
class TestConsoleService : public WindowFixture {
    Q_OBJECT

private:
    std::shared_ptr<sim::Chain> procChain;
    std::atomic<int> calibrationReads{0}, calibrationWrites{0}, calibrationByte{-1};

    MainWindow::ParamRow row(int id) const { return window->parameterRows().value(id); }
    QString resultLabel() const { return child<QLabel>("label_calibratetime")->text(); }
    QString lineText(const char* name) const { return child<QLineEdit>(name)->text(); }
    QAbstractButton* identify() const { return button("button_identify"); }
    QStringList snapshot(int position) const {
        QStringList values;
        for (const int id : window->parameterRows().keys())
            values << QString::fromLatin1(asBytes(chain->parameter(position, id)).toHex());
        return values;
    }
    QStringList identifyBoxes;  // what the last identifyAs() was shown
    void identifyAs(const QString& motor, QMessageBox::StandardButton answer) {
        child<QLineEdit>("lineEdit_motorid")->setText(motor);
        ModalAnswerer answerer;
        answerer.thenBox(answer);
        identify()->click();
        QVERIFY(answerer.done());
        identifyBoxes = answerer.boxes;
    }
    bool enableStill() {
        return clickAndWait("pushButton_enable", "Disable") &&
               waitFor([this] { return value("doubleSpinBox_Velocity") == 0.0; });
    }
    void verifyIdentificationEnded() {
        QVERIFY(identify()->text() == u"开始辨识"_s && !locked());
        QCOMPARE(command(window->motorIndex()).torque, 0.0f);
        QVERIFY(waitText(enableButton(), "Enable") && state() == Connected);
        QTRY_COMPARE(procChain->joint(window->motorIndex() + 1)->state,
                     sim::Cia402State::ReadyToSwitchOn);
        auto* plot = child<QCustomPlot>("plot_para");
        QCOMPARE(plot->graph(0)->name() + plot->graph(2)->name(), u"TorqueVelocity"_s);
    }

private slots:
    void initTestCase() {
        startOnChain(2);
        sim::ChainConfig config = chainConfig(2);
        config.slaves[0].calibrationDurationNs = 1'000'000;
        config.slaves[0].identificationDurationNs = static_cast<int64_t>(kQuickRunS * 1e9);
        config.slaves[0].joint.inertia = 0.2;  // never reaches the speed limit
        config.slaves[0].joint.torqueConstant = kQuickTorqueConstant;
        config.slaves[1].calibrationNeverEnds = true;
        procChain = std::make_shared<sim::Chain>(config);
        sim::registerSimulatedAdapter("sim:procedures", kProcChain.toStdString(), procChain);
        // Counts the calibration parameter's transfers at drive 1.
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
    }
    void cleanup() {
        if (window && identify()->text() == u"辨识中"_s) {
            window->setProcedurePollInterval(1);
            QVERIFY(waitText(identify(), "开始辨识"));
        }
        closeWindow();
    }

    // Firmware byte for byte to the drive under the typed password, then bus down; bad ones not.
    void firmwareParametersAndProcedures() {
        const QByteArray firmware = QByteArray(2999, 'f') + '\0';  // FoE packets, the last short
        QTemporaryDir dir;
        const QString path = dir.filePath(u"joint_1.3.0.efw"_s);
        QVERIFY(writeFile(path, firmware));
        chain->drive(1)->foe().password = chain->drive(2)->foe().password = 0xDEADBEEF;
        const auto before = chain->firmware(1)->bytes, second = chain->firmware(2)->bytes;

        const QString oldVersion = QString::fromStdString(chain->drive(1)->softwareVersionText());
        QVERIFY(openConnected());
        selectDrive(1);
        ModalAnswerer answerer;
        upgrade(answerer, path, u"123456789"_s, 2);  // nine digits: too large
        QVERIFY(chain->firmware(1)->bytes == before && connectButton()->text() == u"Disconnect"_s);
        upgrade(answerer, path, u"0deadbeef"_s, 1);
        const sim::FirmwareFile written = *chain->firmware(1);
        QVERIFY(written.complete && written.name == "joint_1.3.0.efw");
        QVERIFY(asBytes(written.bytes) == firmware && chain->firmware(2)->bytes == second);
        QVERIFY(!window->findChild<QProgressDialog*>()->isVisible() && state() == NotConnected);
        QTRY_COMPARE(loggedCount(u"Disconnect Success."_s), 1);
        QCOMPARE(connectButton()->text(), u"Connect"_s);
        QVERIFY(loggedCount(u"Request init state for slave 1"_s) == 2 &&  // before BOOT, after
                !logged(u"Request init state for slave 2"_s) && connectBus());
        const QString newVersion = QString::fromStdString(chain->drive(1)->softwareVersionText());
        upgrade(answerer, path, u"4321"_s, 1);  // refused by the bootloader
        QTRY_COMPARE(connectButton()->text(), u"Connect"_s);
        const QString confirmation = boxText(
            QMessageBox::Question, "Firmware download",
            "Download joint_1.3.0.efw into drive 0 (slave 1), now running version %1?\nThe bus "
            "is taken down afterwards; connect again when it is done.");
        QCOMPARE(answerer.boxes,
                 (QStringList{boxText(QMessageBox::Warning, "无效输入", "请输入有效的16进制密码！"),
                              boxText(QMessageBox::Critical, "ERROR", "输入错误"),
                              confirmation.arg(oldVersion),
                              boxText(QMessageBox::Information, "成功", "固件写入成功!"),
                              confirmation.arg(newVersion),
                              boxText(QMessageBox::Critical, "失败", "固件写入失败!")}));
        QVERIFY(!messages().join(u'\n').contains(u" SM0 A:"_s));

        // Single parameters: the bytes on the drive after a write, the value read back, the log.
        QVERIFY(connectBus());
        selectDrive(0);
        // id, entered, bytes on the drive, as logged, read back (each type's bytes: tst_model)
        const std::tuple<int, double, QByteArray, const char*, double> rows[] = {
            {1, 1.2345, QByteArray("\xd2\x04", 2), "1234", 1.234},  // thousandths
            {2, 1234.5677, QByteArray("\x2b\x52\x9a\x44", 4), "1234.57", 1234.56775}};
        for (const auto& [id, entered, onDrive, text, readBack] : rows) {
            window->writeParameterValue(id, static_cast<float>(entered));
            QTRY_COMPARE(asBytes(chain->parameter(1, id)), onDrive);
            row(id).readButton->click();  // the editor never held the value read back
            QTRY_COMPARE(row(id).editor->value(), readBack);
            QTRY_VERIFY(logged(u"Set \"%1\": %2"_s.arg(findParam(id)->name, QLatin1String(text))) &&
                        logged(getLine(id, QLatin1String(text))));
        }

        click("pushButton_Save");  // 15 whatever the editors hold
        QTRY_COMPARE(chain->parameter(1, kParamIdSaveSettings), std::vector<uint8_t>{15});
        selectDrive(1);
        row(kParamIdTorqueConstant).editor->setValue(2.0);
        row(kParamIdTorqueConstant).writeButton->click();
        QTRY_COMPARE(asBytes(chain->parameter(2, kParamIdTorqueConstant)),
                     QByteArray("\xd0\x07", 2));

        // Write ALL writes only values shown, to the operated drive; Read ALL the identity first.
        selectDrive(0);
        const QList<int> ids = window->parameterRows().keys();
        const QStringList drive1 = snapshot(1), drive2 = snapshot(2);
        const auto runs = [this](const char* name, int n) {
            return waitFor([this, name, n] { return loggedCount(QLatin1String(name)) == n; });
        };
        const int limit = 8;  // a writable one-byte row
        row(limit).editor->setValue(42);
        click("pushButton_WriteAll");
        QVERIFY(runs("Write ALL finished.", 1) &&
                logged(u"Skip \"%1\": no value shown"_s.arg(findParam(1)->name)) &&
                logged(u"Write ALL: row %1 of %1"_s.arg(ids.size())));
        QStringList expected = drive1;
        expected[ids.indexOf(limit)] = u"2a"_s;
        QCOMPARE(snapshot(1), expected);

        for (const int id : ids)
            row(id).editor->setValue(findParam(id)->displayKind == kDisplaySmallInt ? -5 : 9);
        child<QLineEdit>("lineEdit_PdtType")->clear();  // Write ALL reads nothing back
        click("pushButton_WriteAll");
        QVERIFY(runs("Write ALL finished.", 2) && lineText("lineEdit_PdtType").isEmpty());
        QCOMPARE(asBytes(chain->parameter(1, 20)), QByteArray("\xfb"));
        QCOMPARE(asBytes(chain->parameter(1, 1)), QByteArray("\x28\x23", 2));  // 9000
        QCOMPARE(asBytes(chain->parameter(1, 31)), QByteArray("\x09\x00\x00\x00", 4));
        QCOMPARE(snapshot(2), drive2);
        for (const int id : ids)
            row(id).editor->setValue(0);
        click("pushButton_ReadAll");
        QVERIFY(runs("Read ALL finished.", 1));
        for (const int id : ids)
            QCOMPARE(row(id).editor->value(),
                     findParam(id)->displayKind == kDisplaySmallInt ? -5.0 : 9.0);
        // The identity first, the version the download above installed; shown: parameters_read.
        QVERIFY(logged(u"Get \"Software_Version\": 0x%1"_s.arg(chain->drive(1)->softwareVersion(),
                                                               0, 16)) &&
                logged(getLine(kParamIdProductBatch, "23")) &&
                lineText("lineEdit_PdtType") == u"QJ30"_s);
        QVERIFY(messages().lastIndexOf(getLine(kParamIdProductType, "QJ30")) <
                messages().lastIndexOf(getLine(kParamIdTorqueConstant, "9000")));
        // An import into this drive, past the editors: they read afresh, and nothing goes back.
        const uint8_t forty = 40;
        QCOMPARE(master()->writeParameter(0, limit, &forty), kParamOk);
        emit window->findChild<ParameterSets*>()->parametersWritten(0);
        QVERIFY(runs("Read ALL finished.", 2) && row(limit).editor->value() == 40.0);
        QVERIFY(runs("Write ALL finished.", 2) && chain->parameter(1, limit) == std::vector{forty});

        // Calibration writes 16 and polls until it reads 1; the 90th poll fails the run.
        QVERIFY(openConnected(kProcChain));
        QAbstractButton* calibrate = button("button_calibrate");
        calibrate->click();  // drive 0: done before the first poll
        QVERIFY(calibrate->text() == u"校准中"_s && state() == Testing && locked());
        QVERIFY(waitFor([this] { return resultLabel() == u"校准成功"_s; }));
        QVERIFY(state() == Connected && !locked());
        QTRY_VERIFY(logged(u">>> 校准成功"_s) && logged(u"Set \" 校准\": 16"_s));
        QCOMPARE(calibrationReads + calibrationWrites, 0);  // the other drive left alone

        selectDrive(1);
        window->setProcedurePollInterval(10);
        calibrate->click();
        QTRY_VERIFY(calibrationWrites == 1 && calibrationByte == 16);
        calibrate->click();  // inert while running
        QVERIFY(waitFor([this] { return resultLabel() == u"校准失败"_s; }));
        QCOMPARE(std::pair(calibrationReads.load(), calibrationWrites.load()), std::pair(90, 1));
        QTRY_VERIFY(logged(u">>> 校准超时，请重启电机并重新连接"_s));
        QVERIFY(calibrate->text() == u"开始校准"_s && state() == Connected);
        QTest::qWait(100);
        QCOMPARE(calibrationReads.load(), 90);  // no poll after the end
        selectDrive(0);
        window->setProcedurePollInterval(1000);

        // Identification refused while turning, bad motor number, No, unwritable file; 2 runs.
        QVERIFY(enableStill());
        send("velocity", 0.5);
        QVERIFY(waitFor([this] { return value("doubleSpinBox_Velocity") != 0.0; }));
        identify()->click();
        QTRY_VERIFY(logged(u"请先停止电机"_s));
        send("velocity", 0.0);
        QVERIFY(waitFor([this] { return value("doubleSpinBox_Velocity") == 0.0; }));
        identifyAs(u"../Zt_escaped"_s, QMessageBox::NoButton);
        QCOMPARE(identifyBoxes, QStringList{boxText(QMessageBox::Information, "警告",
                                                    "请先输入电机编号，再进行辨识！")});
        identifyAs(u"Zt-no"_s, QMessageBox::No);
        QVERIFY(QDir().mkpath(resultFile(u"Zt-blocked"_s)));
        identifyAs(u"Zt-blocked"_s, QMessageBox::Yes);
        QTRY_VERIFY(logged(u"无法打开辨识文件"_s));
        QVERIFY(QDir(resultFile(u"Zt-blocked"_s)).removeRecursively());
        QVERIFY(!QFile::exists(resultFile(u"Zt-no"_s)) && !logged(u">>> 开始辨识"_s));
        QVERIFY(identify()->text() == u"开始辨识"_s && state() == Enabled && !locked());

        const QString result = resultFile(u"Zt-ident_1"_s);
        QFile::remove(result);
        for (int run = 0; run < 2; ++run) {
            QVERIFY(run == 0 || enableStill());  // the first from the refusals above
            identifyAs(u"Zt-ident_1"_s, QMessageBox::Yes);
            QVERIFY(identify()->text() == u"辨识中"_s && state() == Testing && locked());
            auto* plot = child<QCustomPlot>("plot_para");
            QCOMPARE(plot->graph(0)->name() + plot->graph(2)->name(), u"iqvel_middle"_s);
            QVERIFY(command(0).mode == kModeSineCurve && command(0).torque == 1.0f);
            QVERIFY(waitFor([this] { return procChain->joint(1)->identifying; }));
            QVERIFY(run == 1 || !QFile::exists(result));  // only once the run has proved good
            QVERIFY(waitFor([this] { return resultLabel() == u"已进行1秒"_s; }));
            QVERIFY(waitText(identify(), "开始辨识") && resultLabel() == u"辨识成功"_s);
            verifyIdentificationEnded();

            // "t vel iq" rows from 1 s, 4 decimals, current peaking at excitation / constant.
            const QStringList csv =
                QString::fromUtf8(fileBytes(result)).split(u'\n', Qt::SkipEmptyParts);
            static const QRegularExpression line(u"^(\\d+\\.\\d{4}) (\\S+) (\\S+)$"_s);
            static const QRegularExpression fixed4(u"^\\S+ -?\\d+\\.\\d{4} -?\\d+\\.\\d{4}$"_s);
            double t = 1.0, maxIq = 0.0, maxVel = 0.0;
            int identifying = 0;
            for (const QString& text : csv) {
                const auto m = line.match(text);
                QVERIFY2(m.hasMatch() && m.captured(1).toDouble() >= t, qPrintable(text));
                t = m.captured(1).toDouble();
                if (t < kQuickRunS - 0.2) {  // afterwards the fields are counts again
                    ++identifying;
                    QVERIFY2(fixed4.match(text).hasMatch(), qPrintable(text));
                    maxVel = std::max(maxVel, std::fabs(m.captured(2).toDouble()));
                    maxIq = std::max(maxIq, std::fabs(m.captured(3).toDouble()));
                }
            }
            QVERIFY2(csv.value(0).startsWith(QLatin1String("1.0")), qPrintable(csv.value(0)));
            const double peakIq = kExcitationNm / kQuickTorqueConstant;
            QVERIFY2(
                identifying > 300 && maxIq <= peakIq + 1e-3 && maxIq > 0.8 * peakIq &&
                    maxVel > 0.05 && maxVel < 2.0,
                qPrintable(u"%1 rows, iq %2, vel %3"_s.arg(identifying).arg(maxIq).arg(maxVel)));
            QVERIFY(writeFile(result, fileBytes(result) + "stale\n"));
        }

        // Finished, but the result cannot take its place: a failed write, not a time-out.
        const QString late = resultFile(u"Zt-late"_s);
        QVERIFY(QDir(late).removeRecursively() && enableStill());  // none left by a failed run
        identifyAs(u"Zt-late"_s, QMessageBox::Yes);
        QVERIFY(QDir().mkpath(late) && waitLogged(u">>> 辨识结果文件写入失败: "_s + late));
        QVERIFY(resultLabel() == u"辨识失败"_s && QDir(late).removeRecursively());
        verifyIdentificationEnded();

        // A failed run (timed out or drive lost) keeps the previous result, no temporary left.
        const QString kept = resultFile(u"Zt-kept"_s);
        const QByteArray previous = "1.0020 0.5000 0.2500\n";
        QVERIFY(writeFile(kept, previous));
        const qsizetype successes = loggedCount(u">>> 辨识成功"_s);
        for (const bool lost : {false, true}) {
            const qsizetype starts = loggedCount(u">>> 开始辨识"_s);
            selectDrive(lost ? 0 : 1);
            window->setProcedurePollInterval(lost ? 1000 : 20);
            QVERIFY(enableStill());
            identifyAs(u"Zt-kept"_s, QMessageBox::Yes);
            QCOMPARE(identify()->text(), u"辨识中"_s);
            if (lost) {
                QTRY_VERIFY(loggedCount(u">>> 开始辨识"_s) > starts);
                procChain->pullDrive(2);
            }
            QVERIFY(waitFor([this] { return resultLabel() == u"辨识失败"_s; }));
            QCOMPARE(loggedCount(u">>> 辨识成功"_s), successes);
            if (lost) {
                QVERIFY(waitText(connectButton(), "Connect") && state() == NotConnected);
                QVERIFY(identify()->text() == u"开始辨识"_s && !locked());
                procChain->plugDrive(2);
            } else {
                QTRY_VERIFY(logged(u">>> 辨识超时，请重启电机并重新连接"_s));
                verifyIdentificationEnded();
            }
            QCOMPARE(fileBytes(kept), previous);
            QCOMPARE(QDir(QFileInfo(kept).path()).entryList({u"identify_Zt-kept*"_s}),
                     QStringList{u"identify_Zt-kept.csv"_s});
        }
    }
};

QTEST_MAIN(TestConsoleService)
#include "tst_console_service.moc"
