#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

#include "console_support.h"
#include "ecmaster.h"
#include "mainwindow.h"
#include "sim/chain.h"
#include "sim/virtual_link.h"

using consoletest::kBusTimeoutMs;
using consoletest::paneMessages;

namespace {

const QString kChain = QStringLiteral("Simulated drive chain (3 drives)");

// The definitions the window finds in its working directory: one full product, one that names
// only status-word bits (so neither fault word can be decoded for it).
constexpr char kDefinitions[] = R"(QJ30:
  error_word:
    1<<0: 过压
    1<<3: 电机过温
    1<<5: MCU过温
  drv_error_word:
    1<<5: MOS过温
    1<<7: MCU过温
QJ20:
  state_word:
    1<<0: 准备启动
)";

const QStringList kInitialBox{"ErrorWord:", "    PADDING", "DrvErrorWord:", "    PADDING", ""};

}  // namespace

// The motor-status group: the thinned value fields, the last position they leave for the mode
// selector, and the fault words decoded into the log and the fault box, from records fed straight
// to the window and from a running simulated chain.
class TestMainWindowStatus : public consoletest::WindowFixture {
    Q_OBJECT

public:
    TestMainWindowStatus() : WindowFixture(kChain) {}

private:
    QTemporaryDir workDir;
    QString previousDir;
    uint64_t timestamp = 0;

    double field(const char* name) const { return child<QDoubleSpinBox>(name)->value(); }
    QTextEdit* faultBox() const { return child<QTextEdit>("textEdit_errorWord"); }
    QStringList boxLines() const { return faultBox()->toPlainText().split(u'\n'); }
    // The line under a section header of the fault box.
    QString sectionLine(const QString& header) const {
        const QStringList lines = boxLines();
        const qsizetype at = lines.indexOf(header);
        return at >= 0 && at + 1 < lines.size() ? lines.at(at + 1) : QStringLiteral("<none>");
    }

    // Hands records to the window as the master's queued signal does, and lets them arrive.
    void feed(const TCiA402_GetValue& record, int times = 1) {
        for (int i = 0; i < times; ++i) {
            QVERIFY(QMetaObject::invokeMethod(window.get(), "deal_recv_pdo_data",
                                              Qt::QueuedConnection, Q_ARG(TCiA402_GetValue, record),
                                              Q_ARG(uint64_t, ++timestamp)));
        }
        QCoreApplication::sendPostedEvents(window.get());
    }
    static TCiA402_GetValue faultRecord(bool driveWord, uint32_t word) {
        TCiA402_GetValue record;
        (driveWord ? record.drvErrorWord : record.errorWord) = word;
        return record;
    }
    // Mode item 1 copies the last position into the position setpoint box.
    double lastPositionSeen() {
        auto* mode = child<QComboBox>("comboBox_mode");
        mode->setCurrentIndex(0);
        mode->setCurrentIndex(1);
        return field("doubleSpinBox_position");
    }

private slots:
    void initTestCase() {
        QVERIFY(settingsDir.isValid());
        QVERIFY(workDir.isValid());
        consoletest::sandboxSettings(settingsDir);
        QFile definitions(workDir.filePath(QStringLiteral("state_config.yaml")));
        QVERIFY(definitions.open(QIODevice::WriteOnly));
        definitions.write(kDefinitions);
        definitions.close();
        // The window reads its definitions from the working directory.
        previousDir = QDir::currentPath();
        QVERIFY(QDir::setCurrent(workDir.path()));
        chain = sim::registerSimulatedAdapter(consoletest::chainConfig(3));
    }
    void cleanupTestCase() { QDir::setCurrent(previousDir); }
    void init() {
        window = std::make_unique<MainWindow>();
        QTRY_VERIFY(logged(QStringLiteral(">>> File \"state_config.yaml\" Load OK")));
    }
    void cleanup() { closeWindow(); }

    // First of the file: the display counter is shared by the whole process and starts at 0.
    void valueFieldsEvery52ndRecord() {
        TCiA402_GetValue moving;
        moving.position = 100 * 65535;
        moving.statusWord = 0x21;
        moving.busVoltage = 47;
        feed(moving, 51);
        QCOMPARE(field("doubleSpinBox_Position"), 0.0);
        QCOMPARE(child<QSpinBox>("spinBox_State")->value(), 0);
        QCOMPARE(field("doubleSpinBox_BusVoltage"), 0.0);
        QCOMPARE(lastPositionSeen(), 0.0);

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
        QCOMPARE(child<QSpinBox>("spinBox_State")->value(), 0x0637);
        QCOMPARE(child<QSpinBox>("spinBox_State")->text(), QStringLiteral("11000110111"));
        QCOMPARE(field("doubleSpinBox_Position"), -1.0);
        QCOMPARE(field("doubleSpinBox_Velocity"), 1.23);
        QCOMPARE(field("doubleSpinBox_Torque"), 40.0);
        QCOMPARE(child<QSpinBox>("spinBox_Mode")->value(), 9);
        QCOMPARE(field("doubleSpinBox_BusVoltage"), 48.0);
        QCOMPARE(field("doubleSpinBox_McuTemp"), 38.0);
        QCOMPARE(field("doubleSpinBox_MosTemp"), 41.0);
        QCOMPARE(field("doubleSpinBox_MotorTemp"), -7.0);
        QCOMPARE(lastPositionSeen(), -1.0);

        // Item 0 leaves the position box alone.
        child<QDoubleSpinBox>("doubleSpinBox_position")->setValue(7.0);
        child<QComboBox>("comboBox_mode")->setCurrentIndex(0);
        QCOMPARE(field("doubleSpinBox_position"), 7.0);

        // The next 51 records change nothing, neither the fields nor the last position.
        feed(moving, 51);
        QCOMPARE(field("doubleSpinBox_Position"), -1.0);
        QCOMPARE(child<QSpinBox>("spinBox_State")->value(), 0x0637);
        QCOMPARE(lastPositionSeen(), -1.0);

        TCiA402_GetValue next = shown;
        next.position = 163838;  // 2.5 turns at 65535 counts per turn
        next.busVoltage = 250;   // beyond the field's range: shown clamped
        feed(next);
        QCOMPARE(field("doubleSpinBox_Position"), 2.5);
        QCOMPARE(field("doubleSpinBox_BusVoltage"), 200.0);
        QCOMPARE(lastPositionSeen(), 2.5);
    }

    void faultWordDecodedOnChange_data() {
        QTest::addColumn<bool>("driveWord");
        QTest::addColumn<uint32_t>("word");
        QTest::addColumn<QString>("heading");
        QTest::addColumn<QString>("header");
        QTest::addColumn<QString>("otherHeader");
        QTest::addColumn<QStringList>("texts");
        // Bit 9 and bit 20 are named nowhere and add no text.
        QTest::newRow("motor") << false << ((1u << 0) | (1u << 3) | (1u << 5) | (1u << 9))
                               << ">>> Error Word: "
                               << "ErrorWord:"
                               << "DrvErrorWord:" << QStringList{"过压", "电机过温", "MCU过温"};
        QTest::newRow("drive") << true << ((1u << 7) | (1u << 5) | (1u << 20))
                               << ">>> Drv Error Word: "
                               << "DrvErrorWord:"
                               << "ErrorWord:" << QStringList{"MOS过温", "MCU过温"};
        QTest::newRow("motor, no named bit") << false << (1u << 20) << ">>> Error Word: "
                                             << "ErrorWord:"
                                             << "DrvErrorWord:" << QStringList{"PADDING"};
    }
    void faultWordDecodedOnChange() {
        QFETCH(bool, driveWord);
        QFETCH(uint32_t, word);
        QFETCH(QString, heading);
        QFETCH(QString, header);
        QFETCH(QString, otherHeader);
        QFETCH(QStringList, texts);
        window->setProductType(QStringLiteral("QJ30"));
        QSignalSpy lines(window.get(), &MainWindow::writeLog);

        // A word that stays 0 is never decoded.
        feed(faultRecord(driveWord, 0), 3);
        QCOMPARE(lines.count(), 0);
        QCOMPARE(boxLines(), kInitialBox);

        feed(faultRecord(driveWord, word), 5);
        QStringList expected{heading};
        QString line;
        for (const QString& text : texts) {
            expected << QStringLiteral(">>> ") + text;
            line += QStringLiteral("    ") + text;
        }
        QCOMPARE(lines.count(), expected.size());
        for (int i = 0; i < expected.size(); ++i) {
            QCOMPARE(lines.at(i).first().toString(), expected.at(i));
        }
        QCOMPARE(sectionLine(header), line);
        QCOMPARE(sectionLine(otherHeader), QStringLiteral("    PADDING"));

        // The texts are written plain: black, normal weight, under a header that keeps its own.
        const QTextDocument* doc = faultBox()->document();
        const QTextBlock headerBlock = doc->find(header, 0).block();
        QTextCursor text(headerBlock.next());
        text.movePosition(QTextCursor::NextCharacter);
        QCOMPARE(text.charFormat().foreground().color(), QColor(Qt::black));
        QCOMPARE(text.charFormat().fontWeight(), 400);
        QTextCursor head(headerBlock);
        head.movePosition(QTextCursor::NextCharacter);
        QCOMPARE(head.charFormat().fontWeight(), 700);

        // Back to 0: decoded a second time, the box shows PADDING alone again.
        lines.clear();
        feed(faultRecord(driveWord, 0), 5);
        QCOMPARE(lines.count(), 2);
        QCOMPARE(lines.at(0).first().toString(), heading);
        QCOMPARE(lines.at(1).first().toString(), QStringLiteral(">>> PADDING"));
        QCOMPARE(sectionLine(header), QStringLiteral("    PADDING"));
        QCOMPARE(sectionLine(otherHeader), QStringLiteral("    PADDING"));
        QTRY_COMPARE(paneMessages(*window).count(heading), 2);

        // A section followed by another gains one empty line below its text the first time;
        // after that, round after round, the box keeps its shape.
        const QStringList settled = boxLines();
        const QStringList afterMotorWord{"ErrorWord:",    "    PADDING", "",
                                         "DrvErrorWord:", "    PADDING", ""};
        QCOMPARE(settled, driveWord ? kInitialBox : afterMotorWord);
        for (int round = 0; round < 3; ++round) {
            feed(faultRecord(driveWord, word));
            feed(faultRecord(driveWord, 0));
        }
        QCOMPARE(boxLines(), settled);
        QCOMPARE(boxLines().count(QStringLiteral("    PADDING")), 2);
    }

    // Both words change in one record: both are decoded, motor word first.
    void bothWordsInOneRecord() {
        window->setProductType(QStringLiteral("QJ30"));
        QSignalSpy lines(window.get(), &MainWindow::writeLog);
        TCiA402_GetValue record;
        record.errorWord = 1u << 3;
        record.drvErrorWord = 1u << 7;
        feed(record);
        QCOMPARE(lines.count(), 4);
        QCOMPARE(lines.at(0).first().toString(), QStringLiteral(">>> Error Word: "));
        QCOMPARE(lines.at(1).first().toString(), QStringLiteral(">>> 电机过温"));
        QCOMPARE(lines.at(2).first().toString(), QStringLiteral(">>> Drv Error Word: "));
        QCOMPARE(lines.at(3).first().toString(), QStringLiteral(">>> MCU过温"));
        QCOMPARE(sectionLine(QStringLiteral("ErrorWord:")), QStringLiteral("    电机过温"));
        QCOMPARE(sectionLine(QStringLiteral("DrvErrorWord:")), QStringLiteral("    MCU过温"));
    }

    void faultWordNotDecodable_data() {
        QTest::addColumn<QString>("productType");
        QTest::addColumn<bool>("driveWord");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty, motor")
            << QString() << false << QStringLiteral("设备类型未知，无法解析电机错误字！");
        QTest::newRow("empty, drive")
            << QString() << true << QStringLiteral("设备类型未知，无法解析Drv错误字！");
        QTest::newRow("unlisted, motor")
            << QStringLiteral("QJ99") << false << QStringLiteral("配置文件缺少\"QJ99\"");
        QTest::newRow("unlisted, drive")
            << QStringLiteral("QJ99") << true << QStringLiteral("配置文件缺少\"QJ99\"");
        QTest::newRow("status word only")
            << QStringLiteral("QJ20") << true << QStringLiteral("配置文件缺少\"QJ20\"");
    }
    void faultWordNotDecodable() {
        QFETCH(QString, productType);
        QFETCH(bool, driveWord);
        QFETCH(QString, message);
        window->setProductType(productType);
        const QString boxBefore = faultBox()->toHtml();
        QSignalSpy lines(window.get(), &MainWindow::writeLog);

        feed(faultRecord(driveWord, 1u << 3), 4);
        QCOMPARE(lines.count(), 1);
        QCOMPARE(lines.first().first().toString(), message);
        QCOMPARE(faultBox()->toHtml(), boxBefore);

        // Once per change of the word.
        feed(faultRecord(driveWord, 0), 2);
        QCOMPARE(lines.count(), 2);
        QCOMPARE(lines.last().first().toString(), message);
        QCOMPARE(faultBox()->toHtml(), boxBefore);
        QCOMPARE(boxLines(), kInitialBox);
    }

    // The whole road on a running chain: the fields follow the joint, an injected fault shows in
    // the log and the box, and a fault reset clears it again.
    void liveStatusAndInjectedFault() {
        QVERIFY(connectBus());
        // The product type as the operator reads it from the drive.
        button("pushButton_ReadPdtType")->click();
        QTRY_COMPARE_WITH_TIMEOUT(window->currentProductType(), QStringLiteral("QJ30"),
                                  kBusTimeoutMs);
        QVERIFY(clickAndWait("pushButton_enable", "Disable"));
        QTRY_COMPARE_WITH_TIMEOUT(child<QSpinBox>("spinBox_State")->value() & 0x6F, 0x27,
                                  kBusTimeoutMs);  // operation enabled
        QCOMPARE(child<QSpinBox>("spinBox_Mode")->value(), 9);

        child<QDoubleSpinBox>("doubleSpinBox_velocity")->setValue(1.0);
        button("pushButton_velocity")->click();
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(field("doubleSpinBox_Velocity") - 1.0) <= 0.01,
                                 kBusTimeoutMs);
        QVERIFY(qAbs(field("doubleSpinBox_BusVoltage") - 48.0) <= 2.0);
        for (const char* temp :
             {"doubleSpinBox_MotorTemp", "doubleSpinBox_MosTemp", "doubleSpinBox_McuTemp"}) {
            QVERIFY2(field(temp) >= 20.0 && field(temp) <= 60.0, temp);
        }
        const double position = field("doubleSpinBox_Position");
        QTRY_VERIFY_WITH_TIMEOUT(field("doubleSpinBox_Position") > position + 0.1, kBusTimeoutMs);

        QVERIFY(clickAndWait("pushButton_enable", "Enable"));
        QTRY_VERIFY(logged(QStringLiteral("Disable success.")));

        QVERIFY(chain->injectFault(1, (1u << 0) | (1u << 3), 1u << 5));
        QTRY_VERIFY_WITH_TIMEOUT(logged(QStringLiteral(">>> Drv Error Word: ")), kBusTimeoutMs);
        QTRY_VERIFY(logged(QStringLiteral(">>> 电机过温")));
        QVERIFY(logged(QStringLiteral(">>> 过压")));
        QVERIFY(logged(QStringLiteral(">>> MOS过温")));
        QCOMPARE(sectionLine(QStringLiteral("ErrorWord:")), QStringLiteral("    过压    电机过温"));
        QCOMPARE(sectionLine(QStringLiteral("DrvErrorWord:")), QStringLiteral("    MOS过温"));
        QTRY_VERIFY_WITH_TIMEOUT(child<QSpinBox>("spinBox_State")->value() & 0x08, kBusTimeoutMs);

        // Fault reset: the rising edge of control word bit 7.
        window->busMaster()->setCommandWord(kCmdControlWord, 0x80, window->motorIndex());
        QTRY_COMPARE_WITH_TIMEOUT(paneMessages(*window).count(QStringLiteral(">>> PADDING")), 2,
                                  kBusTimeoutMs);
        QCOMPARE(paneMessages(*window).count(QStringLiteral(">>> Error Word: ")), 2);
        QCOMPARE(paneMessages(*window).count(QStringLiteral(">>> Drv Error Word: ")), 2);
        QCOMPARE(sectionLine(QStringLiteral("ErrorWord:")), QStringLiteral("    PADDING"));
        QCOMPARE(sectionLine(QStringLiteral("DrvErrorWord:")), QStringLiteral("    PADDING"));
        window->busMaster()->setCommandWord(kCmdControlWord, 0, window->motorIndex());
    }
};

QTEST_MAIN(TestMainWindowStatus)
#include "tst_mainwindow_status.moc"
