// The process-data records as the wire carries them, the control-mode codes, the per-drive
// table bounds, and the records' passage through queued signal connections.

#include <QtTest>

#include <QThread>

#include <array>
#include <cstring>

#include "metatypes.h"
#include "processdata.h"

namespace {

// A drive's input image as it arrives, built by hand in wire order (little-endian).
const QByteArray kWireImage = QByteArray::fromHex(
    "3716"      // status word 0x1637
    "01000100"  // position 0x00010001
    "80969800"  // velocity 10000000
    "01c0"      // torque -16383
    "30000000"  // bus voltage 48
    "04000080"  // error word 0x80000004
    "21000000"  // drv error word 0x21
    "2300"      // MCU 35 °C
    "f6ff"      // MOS -10 °C
    "5000"      // motor 80 °C
    "0a00");    // mode display 10

TCiA402_GetValue expectedRecord() {
    TCiA402_GetValue v;
    v.statusWord = 0x1637;
    v.position = 0x00010001;
    v.velocity = 10000000;
    v.torque = -16383;
    v.busVoltage = 48;
    v.errorWord = 0x80000004u;
    v.drvErrorWord = 0x21;
    v.mcuTemp = 35;
    v.mosTemp = -10;
    v.motorTemp = 80;
    v.modeDisplay = 10;
    return v;
}

const uint8_t* bytesOf(const QByteArray& a) {
    return reinterpret_cast<const uint8_t*>(a.data());
}

}  // namespace

// Sends records through a queued connection, as the master's timer thread does.
class RecordSender : public QObject {
    Q_OBJECT
signals:
    void getValueCallback(TCiA402_GetValue data, uint64_t timestamp);
    void setValueCallback(App_SetValue* setCommand);
};

class RecordReceiver : public QObject {
    Q_OBJECT
public slots:
    void onValue(TCiA402_GetValue data, uint64_t timestamp) {
        value = data;
        stamp = timestamp;
        ++calls;
    }
    void onCommand(const App_SetValue* setCommand) {
        command = setCommand;
        ++calls;
    }

public:
    TCiA402_GetValue value;
    uint64_t stamp = 0;
    const App_SetValue* command = nullptr;
    int calls = 0;
};

class TestRecords : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void decodeInputImage();
    void encodeInputImageMatchesWire();
    void rawCopyMatchesDecode();
    void controlModeForItem_data();
    void controlModeForItem();
    void slaveTableBounds_data();
    void slaveTableBounds();
    void queuedConnectionCarriesRecords();
};

void TestRecords::initTestCase() {
    QCOMPARE(kWireImage.size(), kDriveInputBytes);
    registerModelMetaTypes();
}

void TestRecords::decodeInputImage() {
    const TCiA402_GetValue v = ::decodeInputImage(bytesOf(kWireImage));
    const TCiA402_GetValue e = expectedRecord();
    QCOMPARE(v.statusWord, e.statusWord);
    QCOMPARE(v.position, e.position);
    QCOMPARE(v.velocity, e.velocity);
    QCOMPARE(v.torque, e.torque);
    QCOMPARE(v.busVoltage, e.busVoltage);
    QCOMPARE(v.errorWord, e.errorWord);
    QCOMPARE(v.drvErrorWord, e.drvErrorWord);
    QCOMPARE(v.mcuTemp, e.mcuTemp);
    QCOMPARE(v.mosTemp, e.mosTemp);
    QCOMPARE(v.motorTemp, e.motorTemp);
    QCOMPARE(v.modeDisplay, e.modeDisplay);
}

void TestRecords::encodeInputImageMatchesWire() {
    std::array<uint8_t, kDriveInputBytes> image{};
    encodeInputImage(expectedRecord(), image.data());
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(image.data()), kDriveInputBytes).toHex(),
             kWireImage.toHex());
}

// The master copies the record raw out of the input image; on a little-endian host that must
// give the same record as decoding field by field, which holds only if the layout is packed
// exactly as on the wire.
void TestRecords::rawCopyMatchesDecode() {
    if (QSysInfo::ByteOrder != QSysInfo::LittleEndian) {
        QSKIP("raw copy of wire images assumes a little-endian host");
    }
    TCiA402_GetValue raw;
    std::memcpy(&raw, kWireImage.constData(), sizeof raw);
    QVERIFY(raw == expectedRecord());
}

void TestRecords::controlModeForItem_data() {
    QTest::addColumn<int>("item");
    QTest::addColumn<int>("code");

    QTest::newRow("0 speed ramp") << 0 << 9;
    QTest::newRow("1 profile position") << 1 << 8;
    QTest::newRow("2 force-position hybrid") << 2 << 10;
    QTest::newRow("3 sine curve") << 3 << 11;
    QTest::newRow("4 torque ramp") << 4 << 12;
    QTest::newRow("5 torque calibration") << 5 << 13;
    QTest::newRow("-1 falls back to speed ramp") << -1 << 9;
    QTest::newRow("6 falls back to speed ramp") << 6 << 9;
}

void TestRecords::controlModeForItem() {
    QFETCH(int, item);
    QFETCH(int, code);
    QCOMPARE(int(::controlModeForItem(item)), code);
}

void TestRecords::slaveTableBounds_data() {
    QTest::addColumn<int>("slave");
    QTest::addColumn<bool>("inTables");

    QTest::newRow("0 is the summary entry") << 0 << false;
    QTest::newRow("1 is the first drive") << 1 << true;
    QTest::newRow("32 is the last drive") << 32 << true;
    QTest::newRow("33 is outside every table") << 33 << false;
    QTest::newRow("negative") << -1 << false;
}

void TestRecords::slaveTableBounds() {
    QFETCH(int, slave);
    QFETCH(bool, inTables);
    QCOMPARE(isTableSlave(slave), inTables);
    if (inTables) {
        QVERIFY(slave < kSlaveTableSize);
    }
}

// The records cross threads the way the master hands them to the window: the input record by
// value, arriving intact; the command record by pointer, arriving as the same address.
void TestRecords::queuedConnectionCarriesRecords() {
    QThread worker;
    RecordSender sender;
    sender.moveToThread(&worker);
    RecordReceiver receiver;
    QVERIFY(connect(&sender, &RecordSender::getValueCallback, &receiver, &RecordReceiver::onValue,
                    Qt::QueuedConnection));
    QVERIFY(connect(&sender, &RecordSender::setValueCallback, &receiver, &RecordReceiver::onCommand,
                    Qt::QueuedConnection));
    worker.start();

    App_SetValue command;
    const TCiA402_GetValue sent = expectedRecord();
    QMetaObject::invokeMethod(&sender, [&] {
        emit sender.getValueCallback(sent, 123456789012345ull);
        emit sender.setValueCallback(&command);
    });

    QTRY_COMPARE(receiver.calls, 2);
    worker.quit();
    worker.wait();

    QVERIFY(receiver.value == sent);
    QCOMPARE(receiver.stamp, uint64_t(123456789012345ull));
    QCOMPARE(receiver.command, &command);

    const QVariant boxed = QVariant::fromValue(sent);
    QCOMPARE(boxed.metaType(), QMetaType::fromName("TCiA402_GetValue"));
    QVERIFY(boxed.value<TCiA402_GetValue>() == sent);
}

QTEST_GUILESS_MAIN(TestRecords)
#include "tst_records.moc"
