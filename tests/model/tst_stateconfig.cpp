// Loading the status-word definitions file and decoding fault words with it.

#include <QtTest>

#include "stateconfig.h"

namespace {

QString dataFile(const QString& name) {
    return QStringLiteral(ZENTRIO_TEST_DATA_DIR "/") + name;
}

enum Decoder { ErrorWord, DrvErrorWord };

struct Snapshot {
    StateConfig::WordTable stateWords, errorWords, drvErrorWords, warnings;

    explicit Snapshot(const StateConfig& c)
        : stateWords(c.stateWords()),
          errorWords(c.errorWords()),
          drvErrorWords(c.drvErrorWords()),
          warnings(c.warnings()) {}

    bool operator==(const Snapshot&) const = default;
};

}  // namespace

Q_DECLARE_METATYPE(Decoder)

class TestStateConfig : public QObject {
    Q_OBJECT

private slots:
    void bitIndexOf_data();
    void bitIndexOf();
    void decode_data();
    void decode();
    void bitKeysStoredAsMasks();
    void missingFile();
    void emptyFile_data();
    void emptyFile();
    void malformedFileLeavesTablesUntouched_data();
    void malformedFileLeavesTablesUntouched();
    void laterLoadAddsToTables();
    void shippedFile();
};

void TestStateConfig::bitIndexOf_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("bit");

    QTest::newRow("plain key") << "1<<7" << 7;
    QTest::newRow("bit zero") << "1<<0" << 0;
    QTest::newRow("two digits") << "1<<31" << 31;
    QTest::newRow("leading zeros") << "1<<007" << 7;
    QTest::newRow("text before the pattern") << "bit 1<<5" << 5;
    QTest::newRow("first of two matches") << "1<<2 or 1<<6" << 2;
    QTest::newRow("digit before the pattern") << "11<<3" << 3;
    QTest::newRow("blanks inside do not match") << "1 << 7" << -1;
    QTest::newRow("no digits") << "1<<" << -1;
    QTest::newRow("sign is not a digit") << "1<<-3" << -1;
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("beyond unsigned range") << "1<<99999999999" << -1;
    QTest::newRow("beyond int range") << "1<<3000000000" << -1;
    QTest::newRow("large but representable") << "1<<2000000000" << 2000000000;
}

void TestStateConfig::bitIndexOf() {
    QFETCH(QString, key);
    QFETCH(int, bit);
    QCOMPARE(StateConfig::bitIndexOf(key), bit);
}

void TestStateConfig::decode_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<Decoder>("decoder");
    QTest::addColumn<QString>("product");
    QTest::addColumn<quint64>("word");
    QTest::addColumn<bool>("known");
    QTest::addColumn<QStringList>("texts");

    const QString v = QStringLiteral("valid.yaml");
    QTest::newRow("word 0 gives PADDING")
        << v << ErrorWord << "QJ10" << 0ull << true << QStringList{"PADDING"};
    QTest::newRow("bits 0 and 5 of 0, 3, 5 in ascending order")
        << v << ErrorWord << "QJ10" << 0x21ull << true << QStringList{"过压", "编码器故障"};
    QTest::newRow("unnamed bits alone give PADDING")
        << v << ErrorWord << "QJ10" << 0xC0ull << true << QStringList{"PADDING"};
    QTest::newRow("unnamed bits beside named ones are dropped")
        << v << ErrorWord << "QJ10" << 0xFFFF0008ull << true << QStringList{"电机过温"};
    QTest::newRow("drive word bit 31") << v << DrvErrorWord << "QJ10" << 0x80000002ull << true
                                       << QStringList{"母线欠压", "看门狗复位"};
    QTest::newRow("product without drive word is unknown to that decoder")
        << v << DrvErrorWord << "QJ20" << 1ull << false << QStringList{};
    QTest::newRow("state and warning sections only: unknown to error decoder")
        << v << ErrorWord << "QJ90" << 1ull << false << QStringList{};
    QTest::newRow("state and warning sections only: unknown to drive decoder")
        << v << DrvErrorWord << "QJ90" << 1ull << false << QStringList{};
    QTest::newRow("product not in file")
        << v << ErrorWord << "QJ30" << 1ull << false << QStringList{};
    QTest::newRow("empty product type") << v << ErrorWord << "" << 1ull << false << QStringList{};
    QTest::newRow("product names compare exactly")
        << v << ErrorWord << "qj10" << 1ull << false << QStringList{};

    const QString d = QStringLiteral("duplicates.yaml");
    QTest::newRow("duplicate product merges, later text wins")
        << d << ErrorWord << "QJ10" << 0x7ull << true
        << QStringList{"first zero", "second one", "second two"};
    QTest::newRow("duplicate product adds a section")
        << d << DrvErrorWord << "QJ10" << 0x1ull << true << QStringList{"drive zero"};

    const QString k = QStringLiteral("keys.yaml");
    QTest::newRow("blank-spaced key names nothing")
        << k << ErrorWord << "QJ10" << 0x80ull << true << QStringList{"PADDING"};
    QTest::newRow("keys read by their first match")
        << k << ErrorWord << "QJ10" << 0xFFFFFFFFull << true << QStringList{"two", "three", "five"};
    QTest::newRow("bit 63 is stored")
        << k << ErrorWord << "QJ10" << (1ull << 63) << true << QStringList{"sixty-three"};

    const QString n = QStringLiteral("null_sections.yaml");
    QTest::newRow("empty section declares the word")
        << n << ErrorWord << "QJ10" << 1ull << true << QStringList{"PADDING"};
    QTest::newRow("bit without text names nothing")
        << n << DrvErrorWord << "QJ10" << 1ull << true << QStringList{"PADDING"};
    QTest::newRow("empty product declares no word")
        << n << ErrorWord << "QJ20" << 1ull << false << QStringList{};
}

void TestStateConfig::decode() {
    QFETCH(QString, file);
    QFETCH(Decoder, decoder);
    QFETCH(QString, product);
    QFETCH(quint64, word);
    QFETCH(bool, known);
    QFETCH(QStringList, texts);

    StateConfig config;
    QVERIFY(config.load(dataFile(file)));

    QStringList out{"left over from last time"};
    const bool ok = decoder == ErrorWord ? config.decodeErrorWord(product, word, out)
                                         : config.decodeDrvErrorWord(product, word, out);
    QCOMPARE(ok, known);
    QCOMPARE(out, texts);
}

// Masks are single bits: 1 shifted by the bit number, with bits of 64 and more dropped.
void TestStateConfig::bitKeysStoredAsMasks() {
    StateConfig config;
    QVERIFY(config.load(dataFile("keys.yaml")));
    const QList<uint64_t> masks = config.errorWords().value("QJ10").keys();
    QCOMPARE(masks, (QList<uint64_t>{1ull << 2, 1ull << 3, 1ull << 5, 1ull << 63}));

    QVERIFY(config.load(dataFile("valid.yaml")));
    QCOMPARE(config.stateWords().value("QJ90").value(1), QStringLiteral("准备启动"));
    QCOMPARE(config.warnings().value("QJ10").value(1ull << 2), QStringLiteral("温度偏高"));
}

void TestStateConfig::missingFile() {
    StateConfig config;
    QTest::ignoreMessage(QtDebugMsg, "Error: YAML file does not exist!");
    QVERIFY(!config.load(dataFile("no_such_file.yaml")));

    QTest::ignoreMessage(QtDebugMsg, "Error: YAML file does not exist!");
    QVERIFY(!config.load(QStringLiteral(ZENTRIO_TEST_DATA_DIR)));  // a folder is not a file

    QStringList out;
    QVERIFY(!config.decodeErrorWord("QJ10", 1, out));
    QVERIFY(out.isEmpty());
}

void TestStateConfig::emptyFile_data() {
    QTest::addColumn<QString>("file");
    QTest::newRow("zero bytes") << "empty.yaml";
    QTest::newRow("comments only") << "comments_only.yaml";
}

void TestStateConfig::emptyFile() {
    QFETCH(QString, file);
    StateConfig config;
    QVERIFY(config.load(dataFile(file)));
    QVERIFY(config.stateWords().isEmpty());
    QVERIFY(config.errorWords().isEmpty());
    QVERIFY(config.drvErrorWords().isEmpty());
    QVERIFY(config.warnings().isEmpty());

    QStringList out;
    QVERIFY(!config.decodeErrorWord("QJ10", 0, out));
    QVERIFY(!config.decodeDrvErrorWord("QJ10", 0, out));
    QVERIFY(out.isEmpty());
}

// Each file starts with a sound product (QJ50) before the fault: none of it may be kept, and
// whatever an earlier load stored stays exactly as it was.
void TestStateConfig::malformedFileLeavesTablesUntouched_data() {
    QTest::addColumn<QString>("file");
    for (const char* name :
         {"root_sequence", "root_scalar", "product_scalar", "product_sequence",
          "product_key_sequence", "section_sequence", "section_scalar", "text_mapping",
          "text_sequence", "key_sequence", "not_yaml", "bad_indent"}) {
        QTest::newRow(name) << QStringLiteral("malformed/%1.yaml").arg(QLatin1String(name));
    }
}

void TestStateConfig::malformedFileLeavesTablesUntouched() {
    QFETCH(QString, file);

    StateConfig fresh;
    QVERIFY(!fresh.load(dataFile(file)));
    QVERIFY(Snapshot(fresh) == Snapshot(StateConfig{}));

    StateConfig loaded;
    QVERIFY(loaded.load(dataFile("valid.yaml")));
    const Snapshot before(loaded);
    QVERIFY(!loaded.load(dataFile(file)));
    QVERIFY(Snapshot(loaded) == before);

    QStringList out;
    QVERIFY(!loaded.decodeErrorWord("QJ50", 1, out));
}

// A second file adds to what the first stored rather than replacing it.
void TestStateConfig::laterLoadAddsToTables() {
    StateConfig config;
    QVERIFY(config.load(dataFile("valid.yaml")));
    QVERIFY(config.load(dataFile("more.yaml")));

    QStringList out;
    QVERIFY(config.decodeErrorWord("QJ10", 0x11, out));
    QCOMPARE(out, (QStringList{"过压", "MOS过温"}));
    QVERIFY(config.decodeErrorWord("QJ30", 0x2, out));
    QCOMPARE(out, QStringList{"欠压"});
}

// The file shipped with the console: every product type names both fault words.
void TestStateConfig::shippedFile() {
    StateConfig config;
    QVERIFY(config.load(QStringLiteral(ZENTRIO_SOURCE_DIR "/state_config.yaml")));

    QStringList out;
    QVERIFY(config.decodeErrorWord("QJ30", 0x5, out));
    QCOMPARE(out, (QStringList{"过压", "过流"}));
    QVERIFY(config.decodeDrvErrorWord("QJ30", 0x0, out));
    QCOMPARE(out, QStringList{"PADDING"});

    for (const char* product : {"QJ10", "QJ20", "QJ30"}) {
        for (const StateConfig::WordTable* table : {&config.errorWords(), &config.drvErrorWords(),
                                                    &config.stateWords(), &config.warnings()}) {
            QVERIFY2(table->contains(product), product);
            const StateConfig::BitTexts& bits = table->value(product);
            QVERIFY(!bits.isEmpty());
            QVERIFY2(bits.lastKey() <= (1ull << 31), product);  // the words are 32 bits wide
        }
        QVERIFY2(config.errorWords().value(product).size() >= 10, product);
        QVERIFY2(config.drvErrorWords().value(product).size() >= 10, product);
    }
}

QTEST_GUILESS_MAIN(TestStateConfig)
#include "tst_stateconfig.moc"
