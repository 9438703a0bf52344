// The object dictionary window on a simulated drive, and entry values as it takes and shows them.
#include <QtTest>
#include <QtWidgets>

#include "../snapshot.h"
#include "ecmaster.h"
#include "entryvalue.h"
#include "model/paramtable.h"
#include "objectdictionary.h"
#include "sim/chain.h"
#include "sim/cia402_drive.h"
#include "sim/virtual_link.h"

class TestObjectDictionary : public QObject {
    Q_OBJECT

private slots:
    // The window's side of the codec: hex beside unsigned, Latin-1 text, hex for misfit bytes.
    void entryValuesAsTheWindowTakesAndShowsThemAndParameterRowsAsTheDriveHasThem() {
        const std::tuple<int, int, QString, QByteArray, QString> taken[] = {
            {0x01, 1, " 1 ", QByteArray("\x01", 1), "1 (0x01)"},
            {0x07, 32, "0xFFFFFFFF", QByteArray("\xff\xff\xff\xff", 4), "4294967295 (0xffffffff)"},
            {0x1B, 64, "258", QByteArray("\x02\x01\0\0\0\0\0\0", 8), "258 (0x0000000000000102)"},
            {0x03, 16, "-2", QByteArray("\xfe\xff", 2), "-2"},
            {0x09, 32, QString::fromUtf8("é"), QByteArray("\xe9"), QString::fromUtf8("é")}};
        for (const auto& [type, bits, text, bytes, shown] : taken) {
            QCOMPARE(entryValueBytes(uint16_t(type), uint16_t(bits), text).value_or("?"), bytes);
            QCOMPARE(entryValueText(uint16_t(type), bytes), shown);
        }
        QVERIFY(!entryValueBytes(0x09, 32, QString::fromUtf8("日")).has_value());
        QVERIFY(!entryValueBytes(0x05, 8, "256").has_value());
        QCOMPARE(entryValueText(0x06, QByteArray("\x01\x02\x03", 3)), "01 02 03");
        QCOMPARE(entryValueText(0x0100, QByteArray("\x01", 1)) + dataTypeName(0x0100), "010x0100");

        // The console's parameter rows agree with the drive's own dictionary, row by row.
        sim::Chain chain(sim::ChainConfig::drives(1));
        using T = sim::CoeType;
        for (const ParamInfo& p : paramTable()) {
            const sim::SubObject* e = chain.drive(1)->dictionary().entry(p.index, p.subIndex);
            QVERIFY2(e != nullptr, qPrintable(p.name));
            const int type = e->type == T::Integer8     ? kParamTypeInt8
                             : e->type == T::Unsigned8  ? kParamTypeUInt8
                             : e->type == T::Unsigned16 ? kParamTypeUInt16
                                                        : kParamType32Bit;
            // No-editor rows (identity, commands) as the console reads them; decimals: fractional.
            const bool fractional =
                p.displayKind == kDisplayFloat || p.displayKind == kDisplayThousandths;
            const int access = !e->writable()   ? kParamReadOnly
                               : !e->readable() ? kParamWriteOnly
                                                : kParamReadWrite;
            QCOMPARE(std::tuple(int(e->size), type, access, e->type == T::Real32, fractional),
                     std::tuple(p.size, p.displayKind == kDisplayNone ? type : p.typeCode, p.access,
                                p.displayKind == kDisplayFloat,
                                p.displayKind == kDisplayNone ? fractional : p.decimals > 0));
        }
    }

    void theDrivesDictionaryListsReadsAndWrites() {
        const auto chain = sim::registerSimulatedAdapter(1);
        ecmaster master;
        QVERIFY(master.connectBus("sim:1"));
        ObjectDictionary window(&master);
        window.show();
        QSignalSpy done(&window, &ObjectDictionary::jobDone);
        auto* tree = window.findChild<QTreeWidget*>("treeWidget_objects");
        auto* value = window.findChild<QLineEdit*>("lineEdit_value");
        auto* write = window.findChild<QPushButton*>("pushButton_writeEntry");
        auto* status = window.findChild<QLabel*>("label_status");
        auto* readAll = window.findChild<QPushButton*>("pushButton_readDictionary");
        readAll->click();  // no second list asked for while one is read
        QVERIFY(!readAll->isEnabled() && done.wait(30000));

        // Every object and entry with its fields (as the stack reads them: tests/bus/wiretrace).
        compareSnapshot(u"dictionary"_s, &window);
        const auto entry = [tree](const QString& name) {  // each index once: the snapshot
            return tree->findItems(name, Qt::MatchExactly | Qt::MatchRecursive, 0).value(0);
        };
        QTreeWidgetItem *param = entry("0x6101:09"), *readOnly = entry("0x6101:25");
        QVERIFY(param && readOnly);

        tree->setCurrentItem(readOnly);
        QVERIFY(!write->isEnabled() && !value->isEnabled());
        tree->setCurrentItem(param);
        value->setText("300");  // no UNSIGNED8: refused here, nothing sent
        write->click();
        QVERIFY(status->text().contains("UNSIGNED8"));
        QCOMPARE(chain->parameter(1, 8), std::vector<uint8_t>{20});
        value->setText("40");
        done.clear();
        write->click();
        QTRY_COMPARE_WITH_TIMEOUT(done.count(), 2, 30000);  // the write, then the read back
        QCOMPARE(chain->parameter(1, 8), std::vector<uint8_t>{40});
        QCOMPARE(param->text(5), "40 (0x28)");

        // One entry read: the whole of a 16-byte name; a read the drive aborts says why.
        auto* read = window.findChild<QPushButton*>("pushButton_readEntry");
        tree->setCurrentItem(entry("0x1008:00")), read->click();
        QVERIFY(done.wait(30000) && status->text() == "0x1008:00 = QJ30 servo joint");
        chain->refuseSdo(1, 0x1008, 0, 0x08000022);
        read->click();
        QVERIFY(done.wait(30000) &&
                status->text().startsWith("0x1008:00 could not be read: abort "
                                          "0x08000022 Data cannot be transferred"));

        // A list cut inside its first index is no list of none.
        chain->setMailboxMisbehaviour(1, sim::Misbehaviour::SdoInfoShortReply);
        readAll->click();
        QVERIFY(done.wait(30000) && status->text().contains("could not be read"));
    }
};

QTEST_MAIN(TestObjectDictionary)
#include "tst_objectdictionary.moc"
