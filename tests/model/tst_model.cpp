// The drive data model: wire records, scaling, parameter bytes, state files, CiA 402, CoE codec.
#include <QtTest>

#include <array>
#include <cstring>
#include <span>
#include <tuple>

#include "../filebytes.h"
#include "cia402.h"
#include "cia402text.h"
#include "coevalue.h"
#include "metatypes.h"
#include "paramtable.h"
#include "scaling.h"
#include "stateconfig.h"

namespace {

QString dataFile(const QString& name) {
    return QStringLiteral(ZENTRIO_TEST_DATA_DIR "/") + name;
}

// Answers every lookup with "<context>|<source>": shows which context a text was translated in.
class ContextEcho : public QTranslator {
public:
    QString translate(const char* context, const char* source, const char*, int) const override {
        return QString::fromUtf8(context) + u'|' + QString::fromUtf8(source);
    }
    bool isEmpty() const override { return false; }
};

auto tables(const StateConfig& c) {
    return std::tuple(c.stateWords(), c.errorWords(), c.drvErrorWords(), c.warnings());
}
std::span<const uint8_t> spanOf(const QByteArray& b) {
    return {reinterpret_cast<const uint8_t*>(b.constData()), size_t(b.size())};
}

}  // namespace

class TestModel : public QObject {
    Q_OBJECT
    static QByteArray hex(const char* h) { return QByteArray::fromHex(h); }

private slots:
    void initTestCase() { registerModelMetaTypes(); }

    void recordsAsTheWireCarriesThem() {
        const QByteArray wire =
            hex("3716010001008096980001c03000000004000080210000002300f6ff50000a00");
        const TCiA402_GetValue v = decodeInputImage(reinterpret_cast<const uint8_t*>(wire.data()));
        using Fields = std::tuple<int64_t, int64_t, int64_t, int64_t, int64_t, int64_t, int64_t,
                                  int64_t, int64_t, int64_t, int64_t>;
        // Fields of the packed record are copied out, never bound by reference.
        auto f = [](auto field) { return int64_t(field); };
        QCOMPARE(
            Fields(f(v.statusWord), f(v.position), f(v.velocity), f(v.torque), f(v.busVoltage),
                   f(v.errorWord), f(v.drvErrorWord), f(v.mcuTemp), f(v.mosTemp), f(v.motorTemp),
                   f(v.modeDisplay)),
            Fields(0x1637, 0x00010001, 10000000, -16383, 48, 0x80000004, 0x21, 35, -10, 80, 10));
        std::array<uint8_t, kDriveInputBytes> image{};
        encodeInputImage(v, image.data());
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(image.data()), kDriveInputBytes), wire);
        TCiA402_GetValue raw;  // the master copies it raw: packed exactly as on the wire
        std::memcpy(&raw, wire.constData(), sizeof raw);
        QVERIFY(raw == v && QVariant::fromValue(v).value<TCiA402_GetValue>() == v);
        // Items 0..5 at the drive: tests/console; outside them, the default (velocity) mode.
        QVERIFY(int(controlModeForItem(-1)) == 9 && int(controlModeForItem(6)) == 9);
        QVERIFY(!isTableSlave(0) && isTableSlave(1) && isTableSlave(32) && !isTableSlave(33) &&
                !isTableSlave(-1));
    }

    // Torque and position go through single precision, velocity and gains through double.
    void conversionsAtTheirLimits() {
        // clang-format off
        const struct { int code; float value; int64_t raw; } toRaw[] = {
            {kCmdTorque, 1.0f, 409}, {kCmdTorque, -1.0f, -409}, {kCmdTorque, 80.0f, 32767},
            {kCmdTorque, 100.0f, -24578}, {kCmdTorque, -100.0f, 24578},
            {kCmdTorque, 32.53761291503906f, 13327}, {kCmdPosition, 0.5f, 32767},
            {kCmdPosition, -0.5f, -32767}, {kCmdPosition, 1.0f, 65535},
            {kCmdPosition, 1.3520561456680298f, 88607}, {kCmdVelocity, 1.0f, 10000000},
            {kCmdVelocity, -0.25f, -2500000}, {kCmdVelocity, 0.07723169773817062f, 772316},
            {kCmdKp, 100.0f, 25}, {kCmdKp, -3.0f, 0}, {kCmdKp, 200000.0f, -15536},
            {kCmdKd, 5.0f, 0}, {kCmdKd, 10.0f, 1}, {kCmdKd, -25.0f, -2}};
        for (const auto& r : toRaw) {
            const int64_t got = r.code == kCmdTorque     ? torqueToRaw(r.value)
                                : r.code == kCmdKp       ? kpToRaw(r.value)
                                : r.code == kCmdKd       ? kdToRaw(r.value)
                                : r.code == kCmdPosition ? positionToRaw(r.value)
                                                         : velocityToRaw(r.value);
            QVERIFY2(got == r.raw,
                     qPrintable(QStringLiteral("%1 %2: %3").arg(r.code).arg(r.value).arg(got)));
        }
        QCOMPARE(std::tuple(rawToPosition(-65535), rawToVelocity(10000000), rawToVelocity(-1),
                            rawToTorque(32767), rawToTorque(-32767)),
                 std::tuple(-1.0f, 1.0f, -1e-7f, 80.0f, -80.0f));
        QVERIFY(qAbs(rawToPosition(65536) - 1.0000153f) <= 1e-7f &&
                qAbs(rawToTorque(-32768) + 80.00244f) <= 1e-4f);
        // Values without an int32 counterpart give INT32_MIN, whose low 16 bits are 0.
        const double truncations[][2] = {{2147483647.9, INT32_MAX}, {-2147483648.9, INT32_MIN},
            {2147483648.0, INT32_MIN}, {-2147483649.0, INT32_MIN}, {qInf(), INT32_MIN},
            {qQNaN(), INT32_MIN}, {-0.999, 0}};
        for (const auto& [value, expected] : truncations)
            QCOMPARE(double(truncateToInt32(value)), expected);
        // Each code writes exactly its member into exactly its bytes of the output image.
        const App_SetValue cmd{0x010F, -1.0f, 100.0f, 30.0f, -0.5f, 1.0f, kModeForcePositionHybrid};
        const std::tuple<int, int, QByteArray> fields[] = {{kCmdControlWord, 0, hex("0f01")},
            {kCmdTorque, 2, hex("67fe")}, {kCmdKp, 4, hex("1900")}, {kCmdKd, 6, hex("0300")},
            {kCmdPosition, 8, hex("0180ffff")}, {kCmdVelocity, 12, hex("80969800")},
            {kCmdMode, 16, hex("0a00")}, {-1, 0, {}}, {7, 0, {}}};
        for (const auto& [code, offset, bytes] : fields) {
            QByteArray image(kDriveOutputBytes, char(0xA5)), expected = image;
            expected.replace(offset, bytes.size(), bytes);
            writeCommandField(reinterpret_cast<uint8_t*>(image.data()), cmd, code);
            QCOMPARE(image.toHex(), expected.toHex());
        }

        // Parameter bytes to and from the editors' values, at the limits of each type.
        const struct { int id; QByteArray bytes; double value; } reads[] = {
            {1, hex("3930"), 12.345}, {1, hex("ffff"), 65.535}, {8, hex("c8"), 200.0}, {20, hex("d8"), -40.0},
            {20, hex("7f"), 127.0}, {0, hex("3412"), 4660.0}, {31, hex("ffffffff"), 4294967295.0},
            {2, hex("0000c03f"), 1.5}, {28, hex("000020c1"), -10.0}, {35, hex("05ffffff"), 5.0}, {8, hex("0aff"), 10.0}},
          writes[] = {
            {1, hex("d430"), 12.5}, {1, hex("0100"), 0.0019}, {8, hex("c8"), 200.0}, {8, hex("63"), 99.99},
            {8, hex("2c"), 300.0}, {20, hex("d8"), -40.0}, {20, hex("fd"), -3.9}, {31, hex("10270000"), 10000.7},
            {2, hex("0000c03f"), 1.5}, {2, hex("cdcccc3d"), 0.1}, {18, hex("0f"), 0.0}, {18, hex("0f"), 77.0},
            {35, hex("09000000"), 9.0}};
        for (const auto& r : reads)
            QCOMPARE(editorValueFromBytes(r.id, r.bytes).value_or(-1e9), r.value);
        for (const auto& w : writes)
            QCOMPARE(bytesFromEditorValue(w.id, w.value).toHex(), w.bytes.toHex());
        QVERIFY(findParam(-1) == nullptr && findParam(37) == nullptr && findParam(36) != nullptr);
        QVERIFY(!editorValueFromBytes(37, QByteArray(4, '\1')) && bytesFromEditorValue(37, 1).isEmpty() &&
                !editorValueFromBytes(kParamIdSaveSettings, hex("0f")));  // a command
        const std::tuple<uint16_t, QString, int, QString> versions[] = {
            {0x1234, "2.3.4", 1, "QJ10"}, {0x3A0F, "10.0.15", 3, "QJ30"},
            {0xFFFF, "15.15.15", 15, "QJ150"}, {0, "0.0.0", 0, "QJ00"}};
        for (const auto& [word, text, family, type] : versions)
            QCOMPARE(std::tuple(versionText(word), familyDigit(word), fallbackProductType(family)),
                     std::tuple(text, family, type));
        const std::pair<QByteArray, QString> types[] = {{hex("30314a51"), "QJ10"},
            {hex("00304a51"), "QJ0"}, {hex("30004a51"), "QJ"}, {hex("30314a00"), ""}};
        // clang-format on
        for (const auto& [bytes, name] : types)
            QCOMPARE(productTypeName(littleEndianValue(bytes)), name);
        QCOMPARE(batchNumber(littleEndianValue(hex("ff123456"))), 255);
        QCOMPARE(batchNumber(littleEndianValue(hex("07"))), 7);
    }

    // The master's reading of a status word, rows in its order: the first that matches decides.
    void cia402StateOfAStatusWordAndFaultNewsAgainstTheRecordBefore() {
        using S = Cia402State;
        // clang-format off
        const std::pair<uint16_t, S> rows[] = {
            {0x0000, S::NotReadyToSwitchOn}, {0x0280, S::NotReadyToSwitchOn},  // warning, remote
            {0x0250, S::SwitchOnDisabled}, {0x0010, S::SwitchOnDisabled},
            {0x0610, S::SwitchOnDisabled}, {0x0090, S::NotReadyToSwitchOn},  // 0x10 + warning
            {0x0030, S::SwitchedOn}, {0x0231, S::ReadyToSwitchOn}, {0x0233, S::SwitchedOn},
            {0x0237, S::OperationEnabled}, {0x06B7, S::OperationEnabled},
            {0x0217, S::QuickStopActive}, {0x021F, S::FaultReactionActive}, {0x0218, S::Fault},
            {0x0238, S::Fault}, {0x0048, S::Unknown}, {0x0011, S::Unknown}};
        // clang-format on
        for (const auto& [word, state] : rows)
            QVERIFY2(cia402StateFromStatusWord(word) == state,
                     qPrintable(QString::number(word, 16)));
        // Each state's status bits read back as that state (names: where the console shows them).
        for (const S state :
             {S::NotReadyToSwitchOn, S::SwitchOnDisabled, S::ReadyToSwitchOn, S::SwitchedOn,
              S::OperationEnabled, S::QuickStopActive, S::FaultReactionActive, S::Fault}) {
            const uint16_t bits = cia402StatusBits(state);
            // With voltage on and remote as a drive sends it; a bare 0x10 is read otherwise.
            const uint16_t sent = state == S::NotReadyToSwitchOn
                                      ? bits
                                      : bits | kStatusWordVoltageEnabled | kStatusWordRemote;
            QVERIFY2(cia402StateFromStatusWord(bits) == state &&
                         cia402StateFromStatusWord(sent) == state,
                     qPrintable(QString::number(bits, 16)));
        }
        QCOMPARE(std::string(cia402StateName(S(42))) + cia402StateDisplayName(S(42)),
                 std::string("Unknown未知状态"));

        // News: the fault bit on or an error word changed to non-zero; not a fault that stays.
        const auto r = [](uint16_t status, uint32_t word, uint32_t drv) {  // a record
            return TCiA402_GetValue{.statusWord = status, .errorWord = word, .drvErrorWord = drv};
        };
        const uint16_t fault = 0x0008, enabled = 0x0237;
        // clang-format off
        const std::tuple<TCiA402_GetValue, TCiA402_GetValue, bool> cases[] = {
            {r(enabled, 0, 0), r(fault, 0, 0), true}, {r(enabled, 0, 0), r(enabled, 2, 0), true},
            {r(enabled, 0, 0), r(enabled, 0, 0x20), true}, {r(fault, 2, 0), r(fault, 3, 0), true},
            {r(fault, 2, 0x20), r(fault, 2, 0x21), true}, {r(fault, 2, 0), r(fault, 2, 0), false},
            {r(fault, 2, 0), r(0x0040, 0, 0), false}, {r(fault, 2, 0x20), r(fault, 0, 0x20), false},
            {r(enabled, 0, 0), r(enabled, 0, 0), false}};
        // clang-format on
        for (const auto& [before, now, news] : cases)
            QCOMPARE(isFaultNews(before, now), news);
    }

    // Text to bytes at the edges of each type (strings take 4 bytes, octets 2), and back.
    void coeValueAtTheEdgesOfEachType() {
        using T = CoeDataType;
        const auto capacity = [](T t) { return size_t(t == T::OctetString ? 2 : 4); };
        // clang-format off
        const std::tuple<T, const char*, const char*, const char*> taken[] = {  // text, hex, shown
            {T::Boolean, "1", "01", "1"}, {T::Integer8, "-128", "80", "-128"},
            {T::Integer8, "127", "7f", "127"}, {T::Integer16, "0x7fff", "ff7f", "32767"},
            {T::Integer32, "-2147483648", "00000080", "-2147483648"},
            {T::Integer32, "-0x1", "ffffffff", "-1"},
            {T::Integer64, "-9223372036854775808", "0000000000000080", "-9223372036854775808"},
            {T::Unsigned8, "255", "ff", "255"}, {T::Unsigned8, " +5\t", "05", "5"},
            {T::Unsigned16, "0x1234", "3412", "4660"},
            {T::Unsigned32, "0XFFFFFFFF", "ffffffff", "4294967295"},
            {T::Unsigned64, "18446744073709551615", "ffffffffffffffff", "18446744073709551615"},
            {T::Real32, "1.5e6", "001bb749", "1.5e+06"}, {T::Real32, "0.1", "cdcccc3d", "0.1"},
            {T::Real32, "6422.78125", "40b6c845", "6422.7813"},  // a tie rounds away
            {T::Real32, "-0", "00000080", "-0"}, {T::Real32, "2.6", "66662640", "2.6"},  // 9s carry
            {T::Real32, "3.4028235e38", "ffff7f7f", "3.40282347e+38"},
            {T::Real32, "1e6", "00247449", "1e+06"}, {T::Real32, "1e-4", "17b7d138", "0.0001"},
            {T::Real64, "123456789012345.625", "68de77832112dc42", "123456789012345.63"},
            {T::Real64, "1e-400", "0000000000000000", "0"},  // underflow
            {T::VisibleString, "abcd", "61626364", "abcd"},
            {T::OctetString, "0a ff", "0aff", "0a ff"}, {T::OctetString, "0a:ff", "0aff", "0a ff"},
            {T::OctetString, "", "", ""}};
        const std::pair<T, const char*> refused[] = {
            {T::Boolean, "2"}, {T::Integer8, "-129"}, {T::Integer8, "128"}, {T::Integer8, "0x80"},
            {T::Integer64, "9223372036854775808"}, {T::Unsigned8, "256"}, {T::Unsigned8, "-1"},
            {T::Unsigned8, "-0"}, {T::Unsigned32, "4294967296"},
            {T::Unsigned64, "18446744073709551616"}, {T::Unsigned32, "12a"}, {T::Integer32, "-+5"},
            {T::Unsigned32, "0x0x5"}, {T::Unsigned32, "0x"}, {T::Unsigned32, ""},
            {T::Real32, "3.5e38"}, {T::Real32, "1e39"}, {T::Real32, "nan"}, {T::Real32, "1.5f"},
            {T::Real64, "1e400"}, {T::Real64, "inf"}, {T::VisibleString, "abcde"},
            {T::OctetString, "0a f"}, {T::OctetString, "0g"}, {T::OctetString, "01 02 03"},
            {T(0x0100), "1"}};
        // Bytes to text: a wrong size gives nothing, strings end at a zero, REAL32 in nine digits.
        const std::tuple<T, QByteArray, const char*> rows[] = {{T::Real32, hex("0000807f"), "inf"},
            {T::Real32, hex("000080ff"), "-inf"}, {T::Real32, hex("0000c0ff"), "nan"},
            {T::Real64, hex("000000000000f8ff"), "nan"}, {T::Real64, hex("00000000"), nullptr},
            {T::VisibleString, QByteArray("ab\0cd", 5), "ab"}, {T(0x0100), hex("01"), nullptr},
            {T::Unsigned16, hex("010203"), nullptr}};
        // clang-format on
        for (const auto& [type, text, bytes, shown] : taken) {
            const auto got = coeValueBytes(type, text, capacity(type));
            QVERIFY2(got.has_value(), text);
            QCOMPARE(asBytes(*got).toHex(), QByteArray(bytes));
            QCOMPARE(coeValueText(type, *got).value_or("?"), std::string(shown));
        }
        for (const auto& [type, text] : refused)
            QVERIFY2(!coeValueBytes(type, text, capacity(type)).has_value(), text);
        for (const auto& [type, bytes, text] : rows)
            QCOMPARE(coeValueText(type, spanOf(bytes)).value_or("(none)"),
                     std::string(text ? text : "(none)"));
        QCOMPARE(coeValueText(T::Real32, spanOf(hex("cdcccc3d")), CoeReal32Text::NineDigits),
                 std::string("0.100000001"));
        QCOMPARE(std::tuple(coeDataTypeSize(T::Real64), coeDataTypeSize(T::VisibleString)),
                 std::tuple(size_t(8), size_t(0)));
    }

    void stateConfigDecodesWordsAndRefusesMalformedFiles() {
        // clang-format off
        const std::pair<QString, int> keys[] = {{"1<<7", 7}, {"1<<0", 0}, {"1<<31", 31}, {"1<<007", 7},
            {"bit 1<<5", 5}, {"1<<2 or 1<<6", 2}, {"11<<3", 3}, {"1 << 7", -1}, {"1<<", -1}, {"1<<-3", -1},
            {"", -1}, {"1<<99999999999", -1}, {"1<<2147483648", -1}, {"1<<2147483647", 2147483647}};
        for (const auto& [key, bit] : keys)
            QCOMPARE(StateConfig::bitIndexOf(key), bit);
        const struct { const char* file; bool drive; QString product; quint64 word; bool known; QStringList texts; } rows[] = {
            {"valid.yaml", false, "QJ10", 0, true, {"PADDING"}},
            {"valid.yaml", false, "QJ10", 0x21, true, {"过压", "编码器故障"}},
            {"valid.yaml", false, "QJ10", 0xC0, true, {"PADDING"}},
            {"valid.yaml", false, "QJ10", 0xFFFF0008, true, {"电机过温"}},
            {"valid.yaml", true, "QJ10", 0x80000002, true, {"母线欠压", "看门狗复位"}},
            {"valid.yaml", true, "QJ20", 1, false, {}},
            {"valid.yaml", false, "QJ90", 1, false, {}},
            {"valid.yaml", false, "qj10", 1, false, {}},
            {"duplicates.yaml", false, "QJ10", 0x7, true, {"first zero", "second one", "second two"}},
            {"duplicates.yaml", true, "QJ10", 0x1, true, {"drive zero"}},
            {"keys.yaml", false, "QJ10", 0xFFFFFFFF, true, {"two", "three", "five"}},
            {"keys.yaml", false, "QJ10", 1ull << 63, true, {"sixty-three"}},
            {"null_sections.yaml", false, "QJ10", 1, true, {"PADDING"}},
            {"null_sections.yaml", true, "QJ10", 1, true, {"PADDING"}},
            {"null_sections.yaml", false, "QJ20", 1, false, {}},
        };
        // clang-format on
        for (const auto& r : rows) {
            StateConfig config;
            QVERIFY(config.load(dataFile(r.file)));
            QStringList out{"left over from last time"};
            QCOMPARE(r.drive ? config.decodeDrvErrorWord(r.product, r.word, out)
                             : config.decodeErrorWord(r.product, r.word, out),
                     r.known);
            QCOMPARE(out, r.texts);
        }
        StateConfig config;
        QTest::ignoreMessage(QtDebugMsg, "Error: YAML file does not exist!");
        QVERIFY(!config.load(QStringLiteral(ZENTRIO_TEST_DATA_DIR)));  // a folder is not a file
        for (const char* empty : {"empty.yaml", "comments_only.yaml"})
            QVERIFY(config.load(dataFile(empty)) && tables(config) == tables(StateConfig{}));
        // A malformed file leaves what an earlier load stored as it was; a sound one adds to it.
        QVERIFY(config.load(dataFile("valid.yaml")));
        const auto before = tables(config);
        const QStringList malformed = QDir(dataFile("malformed")).entryList({"*.yaml"});
        QCOMPARE(malformed.size(), 12);
        for (const QString& name : malformed)
            QVERIFY2(!config.load(dataFile("malformed/" + name)) && tables(config) == before,
                     qPrintable(name));
        QStringList out, out30;
        QVERIFY(config.load(dataFile("more.yaml")) && config.decodeErrorWord("QJ10", 0x11, out) &&
                config.decodeErrorWord("QJ30", 0x2, out30));
        QCOMPARE(out + out30, (QStringList{"过压", "MOS过温", "欠压"}));
        QCOMPARE(config.warnings().value("QJ10").value(1ull << 2), QStringLiteral("温度偏高"));

        // Every text of the shipped file is listed for lupdate, in the form it reads.
        StateConfig shipped;
        QFile listed(QStringLiteral(ZENTRIO_SOURCE_DIR "/translations/state_config_texts.cpp"));
        QVERIFY(shipped.load(ZENTRIO_SOURCE_DIR "/state_config.yaml") &&
                listed.open(QIODevice::ReadOnly));
        const QString list = QString::fromUtf8(listed.readAll());
        const QString marked = QStringLiteral("QT_TRANSLATE_NOOP(\"StateConfig\", \"%1\")");
        const auto [states, errors, drvErrors, warnings] = tables(shipped);
        for (const StateConfig::WordTable& table : {states, errors, drvErrors, warnings})
            for (const StateConfig::BitTexts& bits : table)
                for (const QString& text : bits)
                    QVERIFY2(list.contains(marked.arg(text)), qPrintable(text));
    }

    // Shown texts go through their contexts (in English: tst_console_tour); keys stay as stored.
    void displayTextsTranslatedKeysNot() {
        ContextEcho echo;
        QVERIFY(QCoreApplication::installTranslator(&echo));
        const auto uninstall = qScopeGuard([&] { QCoreApplication::removeTranslator(&echo); });
        StateConfig config;
        QStringList decoded;
        QVERIFY(config.load(dataFile("valid.yaml")) &&
                config.decodeErrorWord("QJ10", 0x21, decoded));
        // clang-format off
        const std::pair<QString, QString> rows[] = {{paramDisplayName(kParamCount), ""},
            {cia402StateNameText(Cia402State(42)), "Cia402State|Unknown"},
            {stateTextDisplay("过压"), "StateConfig|过压"}, {decoded.join(u','), "过压,编码器故障"},
            {config.errorWordSummary(false, "QJ10", 0x21),
             "0x00000021 StateConfig|过压, StateConfig|编码器故障"},
            {config.errorWordSummary(true, "QJ10", 0), "0x00000000"}};
        // clang-format on
        for (const auto& [shown, expected] : rows)
            QCOMPARE(shown, expected);
    }
};

QTEST_GUILESS_MAIN(TestModel)
#include "tst_model.moc"
