// Scale conversions between engineering units and the raw process-data fields, and the
// command record's path into the output image.

#include <QtTest>

#include <array>
#include <cstdint>

#include "scaling.h"

namespace {

using OutputImage = std::array<uint8_t, kDriveOutputBytes>;

QByteArray toBytes(const OutputImage& image) {
    return QByteArray(reinterpret_cast<const char*>(image.data()), int(image.size()));
}

}  // namespace

class TestScaling : public QObject {
    Q_OBJECT

private slots:
    void commandToRaw_data();
    void commandToRaw();
    void rawToUnits_data();
    void rawToUnits();
    void truncation_data();
    void truncation();
    void writeCommandField_data();
    void writeCommandField();
    void encodeOutputImageRoundTrip();
};

// The raw integer that a command value becomes, per field. Torque and position go through
// single precision, velocity and the gains through double precision: the rows marked
// "precision" give a different integer if the other precision were used.
void TestScaling::commandToRaw_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<float>("value");
    QTest::addColumn<qint64>("raw");

    QTest::newRow("torque 1 N·m truncates 409.5875") << kCmdTorque << 1.0f << qint64(409);
    QTest::newRow("torque -1 N·m truncates toward zero") << kCmdTorque << -1.0f << qint64(-409);
    QTest::newRow("torque 80 N·m is full scale") << kCmdTorque << 80.0f << qint64(32767);
    QTest::newRow("torque 100 N·m wraps to low 16 bits") << kCmdTorque << 100.0f << qint64(-24578);
    QTest::newRow("torque -100 N·m wraps to low 16 bits") << kCmdTorque << -100.0f << qint64(24578);
    QTest::newRow("torque precision single") << kCmdTorque << 32.53761291503906f << qint64(13327);
    QTest::newRow("position 0.5 turns truncates 32767.5") << kCmdPosition << 0.5f << qint64(32767);
    QTest::newRow("position -0.5 turns truncates toward zero")
        << kCmdPosition << -0.5f << qint64(-32767);
    QTest::newRow("position 1 turn is 65535 counts") << kCmdPosition << 1.0f << qint64(65535);
    QTest::newRow("position precision single")
        << kCmdPosition << 1.3520561456680298f << qint64(88607);
    QTest::newRow("velocity 1 turn/s") << kCmdVelocity << 1.0f << qint64(10000000);
    QTest::newRow("velocity -0.25 turn/s") << kCmdVelocity << -0.25f << qint64(-2500000);
    QTest::newRow("velocity precision double")
        << kCmdVelocity << 0.07723169773817062f << qint64(772316);
    QTest::newRow("kp 100 gives 25") << kCmdKp << 100.0f << qint64(25);
    QTest::newRow("kp -3 truncates -0.75 to 0") << kCmdKp << -3.0f << qint64(0);
    QTest::newRow("kp 200000 wraps to low 16 bits") << kCmdKp << 200000.0f << qint64(-15536);
    QTest::newRow("kd 5 truncates 0.5 to 0") << kCmdKd << 5.0f << qint64(0);
    QTest::newRow("kd 10 gives 1") << kCmdKd << 10.0f << qint64(1);
    QTest::newRow("kd -25 gives -2") << kCmdKd << -25.0f << qint64(-2);
}

void TestScaling::commandToRaw() {
    QFETCH(int, code);
    QFETCH(float, value);
    QFETCH(qint64, raw);

    switch (code) {
        case kCmdTorque:
            QCOMPARE(qint64(torqueToRaw(value)), raw);
            break;
        case kCmdKp:
            QCOMPARE(qint64(kpToRaw(value)), raw);
            break;
        case kCmdKd:
            QCOMPARE(qint64(kdToRaw(value)), raw);
            break;
        case kCmdPosition:
            QCOMPARE(qint64(positionToRaw(value)), raw);
            break;
        case kCmdVelocity:
            QCOMPARE(qint64(velocityToRaw(value)), raw);
            break;
        default:
            QFAIL("row names no scaled field");
    }
}

void TestScaling::rawToUnits_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("raw");
    QTest::addColumn<float>("expected");
    QTest::addColumn<float>("tolerance");

    QTest::newRow("position -65535 is -1 turn") << kCmdPosition << -65535 << -1.0f << 0.0f;
    QTest::newRow("position 65536 is just over 1 turn")
        << kCmdPosition << 65536 << 1.0000153f << 1e-7f;
    QTest::newRow("position 0 is 0") << kCmdPosition << 0 << 0.0f << 0.0f;
    QTest::newRow("velocity 10000000 is 1 turn/s") << kCmdVelocity << 10000000 << 1.0f << 0.0f;
    QTest::newRow("velocity -1 is -1e-7 turn/s") << kCmdVelocity << -1 << -1e-7f << 0.0f;
    QTest::newRow("torque 32767 is 80 N·m") << kCmdTorque << 32767 << 80.0f << 0.0f;
    QTest::newRow("torque -32767 is -80 N·m") << kCmdTorque << -32767 << -80.0f << 0.0f;
    QTest::newRow("torque 16384 is about 40 N·m") << kCmdTorque << 16384 << 40.0f << 0.002f;
    QTest::newRow("torque -32768 is just beyond -80 N·m")
        << kCmdTorque << -32768 << -80.00244f << 1e-4f;
}

void TestScaling::rawToUnits() {
    QFETCH(int, code);
    QFETCH(int, raw);
    QFETCH(float, expected);
    QFETCH(float, tolerance);

    float actual = 0.0f;
    switch (code) {
        case kCmdPosition:
            actual = rawToPosition(raw);
            break;
        case kCmdVelocity:
            actual = rawToVelocity(raw);
            break;
        case kCmdTorque:
            actual = rawToTorque(static_cast<int16_t>(raw));
            break;
        default:
            QFAIL("row names no scaled field");
    }
    if (tolerance == 0.0f) {
        QCOMPARE(actual, expected);
    } else {
        QVERIFY2(qAbs(actual - expected) <= tolerance,
                 qPrintable(QStringLiteral("%1 vs %2").arg(actual, 0, 'g', 9).arg(expected)));
    }
}

// Values with no int32 counterpart must neither trap nor be undefined; they give the hardware's
// "integer indefinite" INT32_MIN, whose low 16 bits are 0.
void TestScaling::truncation_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<qint64>("expected");

    QTest::newRow("largest int32 passes") << 2147483647.9 << qint64(INT32_MAX);
    QTest::newRow("smallest int32 passes") << -2147483648.9 << qint64(INT32_MIN);
    QTest::newRow("beyond int32 is indefinite") << 2147483648.0 << qint64(INT32_MIN);
    QTest::newRow("below int32 is indefinite") << -2147483649.0 << qint64(INT32_MIN);
    QTest::newRow("infinity is indefinite") << qInf() << qint64(INT32_MIN);
    QTest::newRow("nan is indefinite") << qQNaN() << qint64(INT32_MIN);
    QTest::newRow("negative fraction truncates to 0") << -0.999 << qint64(0);
}

void TestScaling::truncation() {
    QFETCH(double, value);
    QFETCH(qint64, expected);
    QCOMPARE(qint64(truncateToInt32(value)), expected);
}

// Each code converts exactly one member into exactly its bytes of the image; the rest of the
// image, including the other fields, stays as it was.
void TestScaling::writeCommandField_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("0 control word unchanged")
        << kCmdControlWord << 0 << QByteArray::fromHex("0f01");
    QTest::newRow("1 torque -1 N·m") << kCmdTorque << 2 << QByteArray::fromHex("67fe");
    QTest::newRow("2 kp 100") << kCmdKp << 4 << QByteArray::fromHex("1900");
    QTest::newRow("3 kd 30") << kCmdKd << 6 << QByteArray::fromHex("0300");
    QTest::newRow("4 position -0.5 turns") << kCmdPosition << 8 << QByteArray::fromHex("0180ffff");
    QTest::newRow("5 velocity 1 turn/s") << kCmdVelocity << 12 << QByteArray::fromHex("80969800");
    QTest::newRow("6 mode unchanged") << kCmdMode << 16 << QByteArray::fromHex("0a00");
    QTest::newRow("-1 writes nothing") << -1 << 0 << QByteArray();
    QTest::newRow("7 writes nothing") << 7 << 0 << QByteArray();
}

void TestScaling::writeCommandField() {
    QFETCH(int, code);
    QFETCH(int, offset);
    QFETCH(QByteArray, bytes);

    App_SetValue cmd;
    cmd.controlWord = 0x010F;
    cmd.torque = -1.0f;
    cmd.kp = 100.0f;
    cmd.kd = 30.0f;
    cmd.position = -0.5f;
    cmd.velocity = 1.0f;
    cmd.mode = kModeForcePositionHybrid;

    OutputImage image;
    image.fill(0xA5);
    QByteArray expected = toBytes(image);
    expected.replace(offset, bytes.size(), bytes);

    ::writeCommandField(image.data(), cmd, code);
    QCOMPARE(toBytes(image).toHex(), expected.toHex());
}

// The receiving side reads back what the command side wrote, field by field.
void TestScaling::encodeOutputImageRoundTrip() {
    App_SetValue cmd;
    cmd.controlWord = 0x000F;
    cmd.torque = 2.5f;
    cmd.kp = 40.0f;
    cmd.kd = 20.0f;
    cmd.position = -3.25f;
    cmd.velocity = -0.5f;
    cmd.mode = kModeTorqueRamp;

    OutputImage image{};
    encodeOutputImage(cmd, image.data());
    const DriveOutputImage out = decodeOutputImage(image.data());

    QCOMPARE(out.controlWord, uint16_t(0x000F));
    QCOMPARE(out.torque, int16_t(1023));
    QCOMPARE(out.kp, int16_t(10));
    QCOMPARE(out.kd, int16_t(2));
    QCOMPARE(out.targetPosition, int32_t(-212988));
    QCOMPARE(out.targetVelocity, int32_t(-5000000));
    QCOMPARE(out.mode, kModeTorqueRamp);
}

QTEST_APPLESS_MAIN(TestScaling)
#include "tst_scaling.moc"
