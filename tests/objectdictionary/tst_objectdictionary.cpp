// The object dictionary window on a simulated drive, and typed entry values at their edges.
#include <QtTest>
#include <QtWidgets>

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
    void typedValuesAtTheEdgesOfEachType_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("bits");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");  // empty: refused
        QTest::addColumn<QString>("shown");     // as read back from those bytes
        const auto row = [](const char* name, int type, int bits, const char* text,
                            const QByteArray& bytes, const char* shown = "") {
            QTest::newRow(name) << type << bits << QString::fromUtf8(text) << bytes
                                << QString::fromUtf8(shown);
        };
        row("bool 1", 0x01, 1, "1", QByteArray("\x01", 1), "1 (0x01)");
        row("bool 2", 0x01, 1, "2", {});
        row("int8 min", 0x02, 8, "-128", QByteArray("\x80", 1), "-128");
        row("int8 under", 0x02, 8, "-129", {});
        row("int8 max", 0x02, 8, "127", QByteArray("\x7f", 1), "127");
        row("int8 over", 0x02, 8, "128", {});
        row("int16 hex", 0x03, 16, "0x7fff", QByteArray("\xff\x7f", 2), "32767");
        row("int32 min", 0x04, 32, "-2147483648", QByteArray("\x00\x00\x00\x80", 4), "-2147483648");
        row("uint8 max", 0x05, 8, "255", QByteArray("\xff", 1), "255 (0xff)");
        row("uint8 over", 0x05, 8, "256", {});
        row("uint8 negative", 0x05, 8, "-1", {});
        row("uint16 hex", 0x06, 16, "0x1234", QByteArray("\x34\x12", 2), "4660 (0x1234)");
        row("uint32 max", 0x07, 32, "0xFFFFFFFF", QByteArray("\xff\xff\xff\xff", 4),
            "4294967295 (0xffffffff)");
        row("uint32 over", 0x07, 32, "4294967296", {});
        row("negative hex", 0x04, 32, "-0x1", {});
        row("not a number", 0x07, 32, "12a", {});
        row("empty", 0x07, 32, "", {});
        row("real32", 0x08, 32, "1.5", QByteArray("\x00\x00\xc0\x3f", 4), "1.5");
        row("real32 tenth", 0x08, 32, "0.1", QByteArray("\xcd\xcc\xcc\x3d", 4), "0.1");
        row("real32 too big", 0x08, 32, "3.5e38", {});
        row("real32 nan", 0x08, 32, "nan", {});
        row("text fits", 0x09, 32, "abcd", QByteArray("abcd"), "abcd");
        row("text too long", 0x09, 32, "abcde", {});
        row("octets", 0x0A, 16, "0a ff", QByteArray("\x0a\xff", 2), "0a ff");
        row("octets odd", 0x0A, 16, "0a f", {});
        row("octets too long", 0x0A, 16, "01 02 03", {});
        row("unknown type", 0x0100, 8, "1", {});
    }

    void typedValuesAtTheEdgesOfEachType() {
        QFETCH(int, type);
        QFETCH(int, bits);
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shown);
        const auto got = entryValueBytes(uint16_t(type), uint16_t(bits), text);
        QCOMPARE(got.value_or(QByteArray()), bytes);
        QCOMPARE(got.has_value(), !bytes.isEmpty());
        QCOMPARE(got ? entryValueText(uint16_t(type), *got) : QString(), shown);
    }

    void theDrivesDictionaryListsReadsAndWrites() {
        const auto chain = sim::registerSimulatedAdapter(1);
        ecmaster master;
        QVERIFY(master.connectBus("sim:1"));
        {
            ObjectDictionary window(&master);
            window.show();
            QSignalSpy done(&window, &ObjectDictionary::jobDone);
            auto* tree = window.findChild<QTreeWidget*>("treeWidget_objects");
            auto* value = window.findChild<QLineEdit*>("lineEdit_value");
            auto* write = window.findChild<QPushButton*>("pushButton_writeEntry");
            auto* status = window.findChild<QLabel*>("label_status");
            window.findChild<QPushButton*>("pushButton_readDictionary")->click();
            QVERIFY(done.wait(30000));

            const auto& objects = chain->drive(1)->dictionary().objects();
            QCOMPARE(tree->topLevelItemCount(), int(objects.size()));
            QTreeWidgetItem* param = nullptr;
            QTreeWidgetItem* readOnly = nullptr;
            int entries = 0;
            for (int i = 0; i < tree->topLevelItemCount(); ++i) {
                QTreeWidgetItem* top = tree->topLevelItem(i);
                const auto index = uint16_t(top->text(0).toUInt(nullptr, 16));
                const auto it = objects.find(index);
                QVERIFY2(it != objects.end(), qPrintable(top->text(0)));
                QCOMPARE(top->childCount(), int(it->second.subs.size()));
                entries += top->childCount();
                for (int c = 0; c < top->childCount(); ++c) {
                    QTreeWidgetItem* e = top->child(c);
                    const auto sub = uint8_t(e->text(0).section(':', 1).toUInt(nullptr, 16));
                    const auto& s = it->second.subs.at(sub);
                    QCOMPARE(e->text(2), dataTypeName(uint16_t(s.type)));
                    QCOMPARE(e->text(4).left(2), s.access == sim::Access::ReadOnly    ? "RO"
                                                 : s.access == sim::Access::WriteOnly ? "WO"
                                                                                      : "RW");
                    if (index == kParamObjectIndex && (sub == 9 || sub == 37)) {
                        (sub == 9 ? param : readOnly) = e;
                    }
                }
            }
            QVERIFY(entries > 100 && param && readOnly);
            QCOMPARE(param->text(1), paramTable().value(8).name);
            QCOMPARE(param->text(2), "UNSIGNED8");

            tree->setCurrentItem(readOnly);
            QVERIFY(!write->isEnabled());
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
        }
        master.disconnectBus();
    }
};

QTEST_MAIN(TestObjectDictionary)
#include "tst_objectdictionary.moc"
