// The drive parameter table, the identity values it carries and the conversions between a
// parameter's bytes and the number shown in its editor.

#include <QtTest>

#include <bit>
#include <cstdint>
#include <set>

#include "paramtable.h"

namespace {

QByteArray floatBytes(float f) {
    const uint32_t bits = std::bit_cast<uint32_t>(f);
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i) {
        b[i] = static_cast<char>(bits >> (8 * i));
    }
    return b;
}

}  // namespace

class TestParamTable : public QObject {
    Q_OBJECT

private slots:
    void tableShape();
    void rowsByKind();
    void accessOfRows();
    void rowSamples_data();
    void rowSamples();
    void findParamOutsideTable();
    void versionWord_data();
    void versionWord();
    void productType_data();
    void productType();
    void batchNumber_data();
    void batchNumber();
    void fromBytes_data();
    void fromBytes();
    void toBytes_data();
    void toBytes();
    void floatRoundTrip();
    void saveSettingsIsNeverRead();
};

// 37 rows with ids 0..36, each on object 0x6101 with subindex id + 1, iterated in id order.
void TestParamTable::tableShape() {
    const ParamTable& table = paramTable();
    QCOMPARE(table.size(), 37);
    int expectedId = 0;
    for (auto it = table.cbegin(); it != table.cend(); ++it, ++expectedId) {
        QCOMPARE(it.key(), expectedId);
        QCOMPARE(it->index, uint16_t(0x6101));
        QCOMPARE(int(it->subIndex), it.key() + 1);
        QVERIFY2(it->size == 1 || it->size == 2 || it->size == 4, qPrintable(it->name));
        QVERIFY2(!it->name.isEmpty(), qPrintable(QString::number(it.key())));
    }
    QCOMPARE(&paramTable(), &table);
}

void TestParamTable::rowsByKind() {
    std::set<int> noEditor;
    std::set<int> floats;
    for (auto it = paramTable().cbegin(); it != paramTable().cend(); ++it) {
        if (it->displayKind == kDisplayNone) {
            noEditor.insert(it.key());
        }
        if (it->displayKind == kDisplayFloat) {
            QCOMPARE(it->typeCode, kParamType32Bit);
            QCOMPARE(it->size, 4);
            floats.insert(it.key());
        }
    }
    QCOMPARE(noEditor, (std::set<int>{0, 17, 18, 19, 34, 35, 36}));
    QCOMPARE(floats, (std::set<int>{2, 3, 4, 5, 6, 7, 28, 29, 30, 32, 33}));
}

void TestParamTable::accessOfRows() {
    std::set<int> readOnly;
    for (auto it = paramTable().cbegin(); it != paramTable().cend(); ++it) {
        QVERIFY(isParamReadable(*it));
        if (!isParamWritable(*it)) {
            readOnly.insert(it.key());
        }
    }
    QCOMPARE(readOnly, (std::set<int>{0, 34, 36}));
}

// A few rows whole, including names with mixed scripts.
void TestParamTable::rowSamples_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("typeCode");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("displayKind");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("name");

    QTest::newRow("0 software version") << 0 << 3 << 2 << 0 << 0 << QStringLiteral("软件版本");
    QTest::newRow("1 torque constant") << 1 << 3 << 2 << 3 << 5 << QStringLiteral("转矩常数");
    QTest::newRow("7 stall time") << 7 << 4 << 4 << 5 << 5 << QStringLiteral("堵住触发时间");
    QTest::newRow("14 MCU limit") << 14 << 2 << 1 << 2 << 0 << QStringLiteral("MCU高温保护值");
    QTest::newRow("20 MCU low limit signed")
        << 20 << 1 << 1 << 1 << 0 << QStringLiteral("MCU低温保护值");
    QTest::newRow("31 breakthrough current uint32")
        << 31 << 4 << 4 << 4 << 0 << QStringLiteral("突破电流");
    QTest::newRow("34 batch four bytes of type 2")
        << 34 << 2 << 4 << 0 << 5 << QStringLiteral("产品批号");
    QTest::newRow("36 product type") << 36 << 4 << 4 << 0 << 0 << QStringLiteral("产品类型");
}

void TestParamTable::rowSamples() {
    QFETCH(int, id);
    QFETCH(int, typeCode);
    QFETCH(int, size);
    QFETCH(int, displayKind);
    QFETCH(int, decimals);
    QFETCH(QString, name);

    const ParamInfo* p = findParam(id);
    QVERIFY(p != nullptr);
    QCOMPARE(p->typeCode, typeCode);
    QCOMPARE(p->size, size);
    QCOMPARE(p->displayKind, displayKind);
    QCOMPARE(p->decimals, decimals);
    QCOMPARE(p->name, name);
}

void TestParamTable::findParamOutsideTable() {
    QVERIFY(findParam(-1) == nullptr);
    QVERIFY(findParam(37) == nullptr);
    QVERIFY(!editorValueFromBytes(37, QByteArray(4, '\1')).has_value());
    QVERIFY(bytesFromEditorValue(37, 1.0).isEmpty());
}

void TestParamTable::versionWord_data() {
    QTest::addColumn<uint>("version");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("family");
    QTest::addColumn<QString>("fallbackType");

    QTest::newRow("0x1234 is 2.3.4 of family 1")
        << 0x1234u << QStringLiteral("2.3.4") << 1 << QStringLiteral("QJ10");
    QTest::newRow("0x3A0F is 10.0.15 of family 3")
        << 0x3A0Fu << QStringLiteral("10.0.15") << 3 << QStringLiteral("QJ30");
    QTest::newRow("0xFFFF is 15.15.15 of family 15")
        << 0xFFFFu << QStringLiteral("15.15.15") << 15 << QStringLiteral("QJ150");
    QTest::newRow("0 is 0.0.0 of family 0")
        << 0u << QStringLiteral("0.0.0") << 0 << QStringLiteral("QJ00");
}

void TestParamTable::versionWord() {
    QFETCH(uint, version);
    QFETCH(QString, text);
    QFETCH(int, family);
    QFETCH(QString, fallbackType);

    QCOMPARE(versionText(uint16_t(version)), text);
    QCOMPARE(familyDigit(uint16_t(version)), family);
    QCOMPARE(fallbackProductType(familyDigit(uint16_t(version))), fallbackType);
}

// Bytes as read over the mailbox (little-endian) -> product type name.
void TestParamTable::productType_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("name");

    QTest::newRow("four characters, most significant first")
        << QByteArray::fromHex("30314a51") << QStringLiteral("QJ10");
    QTest::newRow("three characters end at the zero byte")
        << QByteArray::fromHex("00304a51") << QStringLiteral("QJ0");
    QTest::newRow("zero in the middle cuts the rest")
        << QByteArray::fromHex("30004a51") << QStringLiteral("QJ");
    QTest::newRow("zero top byte gives empty name") << QByteArray::fromHex("30314a00") << QString();
    QTest::newRow("all zero gives empty name") << QByteArray(4, '\0') << QString();
}

void TestParamTable::productType() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, name);
    QCOMPARE(productTypeName(littleEndianValue(bytes)), name);
}

void TestParamTable::batchNumber_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("batch");

    QTest::newRow("low byte only") << QByteArray::fromHex("2a000000") << 42;
    QTest::newRow("higher bytes ignored") << QByteArray::fromHex("ff123456") << 255;
    QTest::newRow("short read counts missing bytes as zero") << QByteArray::fromHex("07") << 7;
}

void TestParamTable::batchNumber() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, batch);
    QCOMPARE(::batchNumber(littleEndianValue(bytes)), batch);
}

// Bytes from the drive -> editor value, by id and type.
void TestParamTable::fromBytes_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<double>("value");

    QTest::newRow("1 torque constant thousandths") << 1 << QByteArray::fromHex("3930") << 12.345;
    QTest::newRow("1 torque constant full 16 bits") << 1 << QByteArray::fromHex("ffff") << 65.535;
    QTest::newRow("8 unsigned 8-bit") << 8 << QByteArray::fromHex("c8") << 200.0;
    QTest::newRow("20 signed 8-bit negative") << 20 << QByteArray::fromHex("d8") << -40.0;
    QTest::newRow("20 signed 8-bit positive") << 20 << QByteArray::fromHex("7f") << 127.0;
    QTest::newRow("0 unsigned 16-bit") << 0 << QByteArray::fromHex("3412") << 4660.0;
    QTest::newRow("31 unsigned 32-bit") << 31 << QByteArray::fromHex("ffffffff") << 4294967295.0;
    QTest::newRow("2 float bit pattern") << 2 << QByteArray::fromHex("0000c03f") << 1.5;
    QTest::newRow("28 negative float bit pattern")
        << 28 << QByteArray::fromHex("000020c1") << -10.0;
    QTest::newRow("35 type 2 over four bytes keeps the low byte")
        << 35 << QByteArray::fromHex("05ffffff") << 5.0;
    QTest::newRow("extra bytes beyond the size are ignored")
        << 8 << QByteArray::fromHex("0aff") << 10.0;
}

void TestParamTable::fromBytes() {
    QFETCH(int, id);
    QFETCH(QByteArray, bytes);
    QFETCH(double, value);

    const std::optional<double> v = editorValueFromBytes(id, bytes);
    QVERIFY(v.has_value());
    QCOMPARE(*v, value);
}

// Editor value -> bytes sent to the drive, by id and type.
void TestParamTable::toBytes_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<double>("value");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("1 torque constant ×1000") << 1 << 12.5 << QByteArray::fromHex("d430");
    QTest::newRow("1 torque constant truncates") << 1 << 0.0019 << QByteArray::fromHex("0100");
    QTest::newRow("8 unsigned 8-bit") << 8 << 200.0 << QByteArray::fromHex("c8");
    QTest::newRow("8 truncates toward zero") << 8 << 99.99 << QByteArray::fromHex("63");
    QTest::newRow("8 keeps the low 8 bits") << 8 << 300.0 << QByteArray::fromHex("2c");
    QTest::newRow("20 signed 8-bit negative") << 20 << -40.0 << QByteArray::fromHex("d8");
    QTest::newRow("20 negative truncates toward zero") << 20 << -3.9 << QByteArray::fromHex("fd");
    QTest::newRow("31 unsigned 32-bit") << 31 << 10000.7 << QByteArray::fromHex("10270000");
    QTest::newRow("2 float bit pattern") << 2 << 1.5 << QByteArray::fromHex("0000c03f");
    QTest::newRow("2 float 0.1 rounded to single") << 2 << 0.1 << QByteArray::fromHex("cdcccc3d");
    QTest::newRow("18 always sends 15") << 18 << 0.0 << QByteArray::fromHex("0f");
    QTest::newRow("18 ignores the editor") << 18 << 77.0 << QByteArray::fromHex("0f");
    QTest::newRow("35 type 2 fills four bytes") << 35 << 9.0 << QByteArray::fromHex("09000000");
}

void TestParamTable::toBytes() {
    QFETCH(int, id);
    QFETCH(double, value);
    QFETCH(QByteArray, bytes);

    const QByteArray sent = bytesFromEditorValue(id, value);
    QCOMPARE(sent.toHex(), bytes.toHex());
    QCOMPARE(sent.size(), findParam(id)->size);
}

// A float parameter survives editor -> bytes -> editor bit for bit.
void TestParamTable::floatRoundTrip() {
    for (float f : {0.0f, -0.0f, 3.14159f, 1e-30f, 9999.5f}) {
        const QByteArray b = bytesFromEditorValue(29, f);
        QCOMPARE(b.toHex(), floatBytes(f).toHex());
        QCOMPARE(float(*editorValueFromBytes(29, b)), f);
    }
}

// Save settings is a command, not a value: there is nothing to show for it.
void TestParamTable::saveSettingsIsNeverRead() {
    QVERIFY(!editorValueFromBytes(kParamIdSaveSettings, QByteArray(1, '\x0f')).has_value());
    QVERIFY(editorValueFromBytes(kParamIdSaveSettings + 1, QByteArray(1, '\x01')).has_value());
}

QTEST_APPLESS_MAIN(TestParamTable)
#include "tst_paramtable.moc"
