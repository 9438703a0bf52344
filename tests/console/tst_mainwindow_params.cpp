#include <QAbstractButton>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

#include "console_support.h"
#include "ecmaster.h"
#include "mainwindow.h"
#include "model/paramtable.h"
#include "nowheeldoublespinbox.h"
#include "sim/chain.h"
#include "sim/cia402_drive.h"
#include "sim/object_dictionary.h"
#include "sim/virtual_link.h"

using consoletest::kBusTimeoutMs;
using consoletest::paneMessages;

namespace {

// A full Read ALL or Write ALL: some 35 mailbox transfers, also under the sanitizers.
constexpr int kRunTimeoutMs = 60000;
const QString kChain = QStringLiteral("Simulated drive chain (2 drives)");

// Ids of the rows the page builds: every parameter with an editor.
QList<int> displayableIds() {
    QList<int> ids;
    const ParamTable& table = paramTable();
    for (auto it = table.cbegin(); it != table.cend(); ++it) {
        if (it->displayKind != kDisplayNone) {
            ids << it.key();
        }
    }
    return ids;
}

QByteArray asBytes(const std::vector<uint8_t>& v) {
    return QByteArray(reinterpret_cast<const char*>(v.data()), static_cast<qsizetype>(v.size()));
}

QString getLine(int id, const QString& value) {
    return QStringLiteral("Get \"%1\": %2").arg(findParam(id)->name, value);
}

QString setLine(int id, const QString& value) {
    return QStringLiteral("Set \"%1\": %2").arg(findParam(id)->name, value);
}

}  // namespace

// The parameter page against a simulated two-drive chain: the rows built from the parameter
// table, conversions both ways as the drive sees them, the identity reads with the product-type
// fallback, Save, and the Read ALL / Write ALL workers, also when the window closes under them.
class TestMainWindowParams : public consoletest::WindowFixture {
    Q_OBJECT

public:
    TestMainWindowParams() : WindowFixture(kChain) {}

private:
    // The page's names are built at run time, so these take a QString.
    template <typename T>
    T* child(const QString& name) const {
        return window->findChild<T*>(name);
    }
    QAbstractButton* button(const QString& name) const { return child<QAbstractButton>(name); }
    MainWindow::ParamRow row(int id) const { return window->parameterRows().value(id); }

    // Runs f on drive `position`'s object dictionary under the chain's lock.
    void withDictionary(int position, const std::function<void(sim::ObjectDictionary&)>& f) {
        chain->withSlave(position, [&f](sim::Esc&, sim::SlaveApplication* app) {
            if (auto* drive = dynamic_cast<sim::Cia402Drive*>(app)) {
                f(drive->dictionary());
            }
        });
    }

private slots:
    void initTestCase() {
        QVERIFY(settingsDir.isValid());
        consoletest::sandboxSettings(settingsDir);
        chain = sim::registerSimulatedAdapter(consoletest::chainConfig(2));
    }
    void init() {
        window = std::make_unique<MainWindow>();
        QVERIFY(connectBus());
    }
    void cleanup() { window.reset(); }

    void rowsFollowTheTable() {
        const QList<int> ids = displayableIds();
        QCOMPARE(window->parameterRows().keys(), ids);
        QCOMPARE(ids.size(), 30);

        // Below the three identity rows, in ascending id order, label first.
        auto* page = child<QVBoxLayout>(QStringLiteral("verticalLayout_7"));
        QCOMPARE(page->count(), 3 + ids.size());
        for (int i = 0; i < ids.size(); ++i) {
            const int id = ids[i];
            const ParamInfo& info = *findParam(id);
            auto* layout = qobject_cast<QHBoxLayout*>(page->itemAt(3 + i)->layout());
            QVERIFY(layout != nullptr);
            QCOMPARE(layout->count(), 4);
            QCOMPARE(qobject_cast<QLabel*>(layout->itemAt(0)->widget())->text(), info.name);
            QCOMPARE(layout->itemAt(1)->widget(), row(id).editor);
            QCOMPARE(layout->itemAt(2)->widget(), row(id).readButton);
            QCOMPARE(layout->itemAt(3)->widget(), row(id).writeButton);
            QCOMPARE(row(id).editor->decimals(), info.decimals);
            QCOMPARE(row(id).editor->minimum(),
                     info.displayKind == kDisplaySmallInt ? -100.0 : 0.0);
            QCOMPARE(row(id).editor->maximum(),
                     info.displayKind == kDisplaySmallInt ? 100.0 : 10000.0);
            QCOMPARE(row(id).readButton->text(), QStringLiteral("读取"));
            QCOMPARE(row(id).writeButton->text(), QStringLiteral("写入"));
            QCOMPARE(row(id).readButton->isEnabled(), info.access != kParamWriteOnly);
            QCOMPARE(row(id).writeButton->isEnabled(), info.access != kParamReadOnly);
        }
    }

    // Write a value from the editor, check the bytes the drive holds and the Set line, then read
    // it back into a cleared editor.
    void roundTrip_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<double>("entered");
        QTest::addColumn<QByteArray>("onDrive");
        QTest::addColumn<QString>("number");
        QTest::addColumn<double>("readBack");
        QTest::newRow("torque constant in thousandths")
            << 1 << 1.2345 << QByteArray("\xd2\x04", 2) << "1234" << 1.234;
        QTest::newRow("signed byte truncates toward zero")
            << 20 << -3.7 << QByteArray("\xfd") << "-3" << -3.0;
        QTest::newRow("unsigned byte keeps the low 8 bits")
            << 8 << 300.0 << QByteArray("\x2c") << "44" << 44.0;
        QTest::newRow("unsigned 32-bit")
            << 31 << 2500.0 << QByteArray("\xc4\x09\x00\x00", 4) << "2500" << 2500.0;
        QTest::newRow("float") << 2 << 0.5 << QByteArray("\x00\x00\x00\x3f", 4) << "0.5" << 0.5;
    }
    void roundTrip() {
        QFETCH(int, id);
        QFETCH(double, entered);
        QFETCH(QByteArray, onDrive);
        QFETCH(QString, number);
        QFETCH(double, readBack);

        // As a row's write button passes its editor's value; some values here need more
        // decimals than their editor shows.
        window->writeParameterValue(id, static_cast<float>(entered));
        QCOMPARE(asBytes(chain->parameter(1, id)), onDrive);
        QTRY_VERIFY(logged(setLine(id, number)));

        row(id).editor->setValue(0);
        row(id).readButton->click();
        QCOMPARE(row(id).editor->value(), readBack);
        // The torque constant is logged as the drive holds it, the others as shown.
        QTRY_VERIFY(logged(getLine(id, number)));
    }

    void transfersGoToTheOperatedDrive() {
        child<QComboBox>(QStringLiteral("comboBox_index"))->setCurrentIndex(1);
        QCOMPARE(window->motorIndex(), 1);
        const std::vector<uint8_t> first = chain->parameter(1, kParamIdTorqueConstant);
        row(kParamIdTorqueConstant).editor->setValue(2.0);
        row(kParamIdTorqueConstant).writeButton->click();
        QCOMPARE(asBytes(chain->parameter(2, kParamIdTorqueConstant)), QByteArray("\xd0\x07", 2));
        QCOMPARE(chain->parameter(1, kParamIdTorqueConstant), first);
    }

    void identityReads() {
        button(QStringLiteral("pushButton_ReadVersion"))->click();
        QCOMPARE(child<QLineEdit>(QStringLiteral("lineEdit_Version"))->text(), "1.2.5");
        QCOMPARE(window->softwareVersion(), "1.2.5");
        button(QStringLiteral("pushButton_ReadPdtBatch"))->click();
        QCOMPARE(child<QLineEdit>(QStringLiteral("lineEdit_PdtBatch"))->text(), "23");
        button(QStringLiteral("pushButton_ReadPdtType"))->click();
        QCOMPARE(child<QLineEdit>(QStringLiteral("lineEdit_PdtType"))->text(), "QJ30");
        QCOMPARE(window->currentProductType(), "QJ30");

        QTRY_VERIFY(logged(getLine(kParamIdProductType, "QJ30")));
        const QStringList lines = paneMessages(*window);
        QVERIFY(lines.contains(QStringLiteral("Get \"Software_Version\": 0x3125")));
        QVERIFY(lines.contains(getLine(kParamIdProductBatch, "23")));
        // The version has no Get line of its own.
        QVERIFY(!lines.contains(getLine(kParamIdSoftwareVersion, "1.2.5")));
    }

    // An unreadable product type is derived from the version's family digit (0x1234: QJ10).
    void productTypeFallback() {
        const uint8_t typeSub = kParamIdProductType + 1;
        withDictionary(1, [typeSub](sim::ObjectDictionary& od) {
            od.entry(sim::kParamObject, typeSub)->onRead = [](sim::SubObject&) {
                return sim::sdo_abort::kGeneral;
            };
            od.setU32(sim::kParamObject, kParamIdSoftwareVersion + 1, 0x1234);
        });
        button(QStringLiteral("pushButton_ReadPdtType"))->click();
        withDictionary(1, [typeSub](sim::ObjectDictionary& od) {
            od.entry(sim::kParamObject, typeSub)->onRead = nullptr;
            od.setU32(sim::kParamObject, kParamIdSoftwareVersion + 1, 0x3125);
        });

        QCOMPARE(child<QLineEdit>(QStringLiteral("lineEdit_PdtType"))->text(), "QJ10");
        QCOMPARE(window->currentProductType(), "QJ10");
        QTRY_VERIFY(logged(getLine(kParamIdProductType, "QJ10")));
        const QStringList lines = paneMessages(*window);
        const qsizetype failed =
            lines.indexOf(QStringLiteral("SDO read failed for index 0x6101 subindex 0x25"));
        const qsizetype announced = lines.indexOf(QStringLiteral("读取产品类型失败，尝试重新解析"));
        QVERIFY(failed >= 0);
        QVERIFY(announced > failed);
        QVERIFY(lines.indexOf(getLine(kParamIdProductType, "QJ10")) > announced);

        // Readable again: the drive's own name replaces the derived one.
        button(QStringLiteral("pushButton_ReadPdtType"))->click();
        QCOMPARE(window->currentProductType(), "QJ30");
    }

    void saveSendsFifteen() {
        for (const int id : window->parameterRows().keys()) {
            row(id).editor->setValue(7);
        }
        button(QStringLiteral("pushButton_Save"))->click();
        QCOMPARE(chain->parameter(1, kParamIdSaveSettings), std::vector<uint8_t>{15});
        QTRY_VERIFY(logged(setLine(kParamIdSaveSettings, "15")));
    }

    void writeAllThenReadAll() {
        const QList<int> ids = window->parameterRows().keys();
        for (const int id : ids) {
            row(id).editor->setValue(findParam(id)->displayKind == kDisplaySmallInt ? -5 : 9);
        }
        button(QStringLiteral("pushButton_WriteAll"))->click();
        QTRY_VERIFY_WITH_TIMEOUT(logged(QStringLiteral("Write ALL finished.")), kRunTimeoutMs);
        QVERIFY(logged(setLine(ids.last(), "9")));
        QCOMPARE(asBytes(chain->parameter(1, 20)), QByteArray("\xfb"));
        QCOMPARE(asBytes(chain->parameter(1, 1)), QByteArray("\x28\x23", 2));  // 9000
        QCOMPARE(asBytes(chain->parameter(1, 31)), QByteArray("\x09\x00\x00\x00", 4));

        for (const int id : ids) {
            row(id).editor->setValue(0);
        }
        button(QStringLiteral("pushButton_ReadAll"))->click();
        QTRY_VERIFY_WITH_TIMEOUT(logged(getLine(ids.last(), "9")), kRunTimeoutMs);
        for (const int id : ids) {
            QCOMPARE(row(id).editor->value(),
                     findParam(id)->displayKind == kDisplaySmallInt ? -5.0 : 9.0);
        }
        QCOMPARE(child<QLineEdit>(QStringLiteral("lineEdit_Version"))->text(), "1.2.5");
        QCOMPARE(child<QLineEdit>(QStringLiteral("lineEdit_PdtBatch"))->text(), "23");
        QCOMPARE(child<QLineEdit>(QStringLiteral("lineEdit_PdtType"))->text(), "QJ30");
        // The identity reads come first, in their order.
        const QStringList lines = paneMessages(*window);
        const qsizetype version = lines.indexOf(QStringLiteral("Get \"Software_Version\": 0x3125"));
        const qsizetype batch = lines.indexOf(getLine(kParamIdProductBatch, "23"));
        const qsizetype type = lines.indexOf(getLine(kParamIdProductType, "QJ30"));
        QVERIFY(version >= 0);
        QVERIFY(batch > version);
        QVERIFY(type > batch);
        QVERIFY(lines.indexOf(getLine(kParamIdTorqueConstant, "9000")) > type);
    }

    void nothingWithoutBus() {
        button(QStringLiteral("pushButton_connect"))->click();
        QCOMPARE(button(QStringLiteral("pushButton_connect"))->text(), QStringLiteral("Connect"));
        QSignalSpy lines(window.get(), &MainWindow::writeLog);
        // The start-up update check may log meanwhile; only the refusals count here.
        const auto refusals = [&lines] {
            int n = 0;
            for (const QVariantList& line : lines) {
                n += line.first().toString() == QStringLiteral("设备未连接.") ? 1 : 0;
            }
            return n;
        };

        // Read ALL starts no worker: a worker would add a line per identity field and per row.
        button(QStringLiteral("pushButton_ReadAll"))->click();
        button(QStringLiteral("pushButton_WriteAll"))->click();
        QTest::qWait(200);
        QCOMPARE(refusals(), 2);

        button(QStringLiteral("pushButton_Save"))->click();
        button(QStringLiteral("pushButton_ReadPdtType"))->click();
        row(kParamIdTorqueConstant).editor->setValue(1.0);
        row(kParamIdTorqueConstant).writeButton->click();
        row(kParamIdTorqueConstant).readButton->click();
        QCOMPARE(refusals(), 6);
        QCOMPARE(window->currentProductType(), QString());
    }

    // Write ALL writes only values the operator sees: none from a fresh window, none of the
    // previous drive after a change of drive, a typed one. Runs report their progress, and a
    // second run waits for the first.
    void writeAllWritesOnlyShownValues() {
        const QList<int> ids = window->parameterRows().keys();
        const auto snapshot = [this, &ids](int position) {
            QList<QByteArray> values;
            for (const int id : ids) {
                values << asBytes(chain->parameter(position, id));
            }
            return values;
        };
        const QList<QByteArray> drive1 = snapshot(1);
        const QList<QByteArray> drive2 = snapshot(2);
        const int limit = 8;  // a writable one-byte row
        const QString skipped =
            QStringLiteral("Skip \"%1\": no value shown").arg(findParam(limit)->name);
        for (const int id : ids) {
            QVERIFY(!MainWindow::editorShowsValue(row(id).editor));
        }

        button(QStringLiteral("pushButton_WriteAll"))->click();
        QTRY_VERIFY_WITH_TIMEOUT(logged(QStringLiteral("Write ALL finished.")), kRunTimeoutMs);
        QVERIFY(logged(skipped));
        QVERIFY(logged(QStringLiteral("Write ALL: row %1 of %1").arg(ids.size())));
        QCOMPARE(snapshot(1), drive1);

        row(limit).editor->setValue(42);
        button(QStringLiteral("pushButton_WriteAll"))->click();
        button(QStringLiteral("pushButton_ReadAll"))->click();
        QTRY_VERIFY(
            logged(QStringLiteral("Read ALL / Write ALL is running; wait for it to finish.")));
        QTRY_COMPARE_WITH_TIMEOUT(
            paneMessages(*window).count(QStringLiteral("Write ALL finished.")), 2, kRunTimeoutMs);
        QCOMPARE(chain->parameter(1, limit), std::vector<uint8_t>{42});
        QCOMPARE(snapshot(1).size(), drive1.size());
        for (qsizetype i = 0; i < ids.size(); ++i) {
            if (ids[i] != limit) {
                QCOMPARE(snapshot(1)[i], drive1[i]);
            }
        }
        QVERIFY(!logged(QStringLiteral("Read ALL finished.")));

        // Read ALL fills the editors; a change of drive blanks them again.
        button(QStringLiteral("pushButton_ReadAll"))->click();
        QTRY_VERIFY_WITH_TIMEOUT(logged(QStringLiteral("Read ALL finished.")), kRunTimeoutMs);
        QCOMPARE(row(limit).editor->value(), 42.0);
        QVERIFY(MainWindow::editorShowsValue(row(limit).editor));
        selectDrive(1);
        QVERIFY(!MainWindow::editorShowsValue(row(limit).editor));
        button(QStringLiteral("pushButton_WriteAll"))->click();
        QTRY_COMPARE_WITH_TIMEOUT(
            paneMessages(*window).count(QStringLiteral("Write ALL finished.")), 3, kRunTimeoutMs);
        QCOMPARE(snapshot(2), drive2);
    }

    // Closing the window while a Read ALL worker runs ends the run; nothing reaches the window
    // or the master afterwards (the sanitizers would see it), and the bus serves a new window.
    void closeDuringReadAll() {
        child<QLineEdit>(QStringLiteral("lineEdit_Version"))->clear();
        button(QStringLiteral("pushButton_ReadAll"))->click();
        QTRY_VERIFY_WITH_TIMEOUT(
            !child<QLineEdit>(QStringLiteral("lineEdit_Version"))->text().isEmpty(), kRunTimeoutMs);
        window.reset();
        QTest::qWait(300);

        window = std::make_unique<MainWindow>();
        QVERIFY(connectBus());
        // Lost mailbox replies hold the worker in a transfer while the window goes.
        QVERIFY(chain->dropMailboxReplies(1, 4));
        button(QStringLiteral("pushButton_ReadAll"))->click();
        QTest::qWait(20);
        window.reset();
        QTest::qWait(100);

        // A drive that stops answering in the middle of an identity read: the disconnect waits
        // for the transfer to give up before it closes the link under it.
        window = std::make_unique<MainWindow>();
        QVERIFY(connectBus());
        QVERIFY(chain->dropMailboxReplies(1, 1000));
        button(QStringLiteral("pushButton_ReadAll"))->click();
        QTest::qWait(20);
        button(QStringLiteral("pushButton_connect"))->click();
        QCOMPARE(button(QStringLiteral("pushButton_connect"))->text(), QStringLiteral("Connect"));
        QTRY_VERIFY_WITH_TIMEOUT(logged(QStringLiteral("Read ALL finished.")), kRunTimeoutMs);
        QVERIFY(chain->dropMailboxReplies(1, 0));
        window.reset();

        window = std::make_unique<MainWindow>();
        QVERIFY(connectBus());
        button(QStringLiteral("pushButton_ReadAll"))->click();
        const int last = window->parameterRows().lastKey();
        QTRY_VERIFY_WITH_TIMEOUT(
            paneMessages(*window)
                    .filter(QStringLiteral("Get \"%1\"").arg(findParam(last)->name))
                    .size() == 1,
            kRunTimeoutMs);
    }
};

QTEST_MAIN(TestMainWindowParams)
#include "tst_mainwindow_params.moc"
