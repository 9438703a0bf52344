// The bus diagnostics window on a running simulated bus: faults on the right slave and port.
#include <QtTest>
#include <QtWidgets>

#include "busdiagnostics.h"
#include "ecmaster.h"
#include "model/paramtable.h"
#include "sim/chain.h"
#include "sim/virtual_link.h"

namespace {

enum Col { Slave, Address, State = 3, Invalid = 5, Forwarded = 7, LostLinks, Dc = 10, Misses };

}  // namespace

class TestBusDiagnostics : public QObject {
    Q_OBJECT

    std::shared_ptr<sim::Chain> chain;
    std::unique_ptr<ecmaster> master;
    std::unique_ptr<BusDiagnostics> window;
    QStringList log;

    QTableWidget* table() { return window->findChild<QTableWidget*>("tableWidget_slaves"); }
    QString cell(int row, int col) {
        const QTableWidgetItem* item = table()->item(row, col);
        return item ? item->text() : QString();
    }
    bool marked(int row) { return table()->item(row, 0)->background().color().lightness() > 150; }
    // Waits for a refresh that starts after now.
    bool freshRead() {
        QSignalSpy spy(window.get(), &BusDiagnostics::refreshed);
        return spy.wait(3000) && (spy.clear(), spy.wait(3000));
    }

private slots:
    // Growth in the last minute: against the newest read at least a minute old, else the first.
    void growthOfARunningTotalInTheLastMinute() {
        TotalReads reads;
        const std::tuple<qint64, uint64_t, uint64_t> steps[] = {
            // at ms, total, growth
            {0, 100, 0},    {30'000, 150, 50}, {61'000, 200, 100}, {91'000, 260, 110},
            {91'500, 5, 0}, {92'000, 7, 2},    {152'000, 9, 2}};
        for (const auto& [at, total, growth] : steps)
            QCOMPARE(growthInLastMinute(reads, at, total), growth);
    }

    void initTestCase() {
        chain = sim::registerSimulatedAdapter(3);
        master = std::make_unique<ecmaster>();
        connect(
            master.get(), &ecmaster::writeLog, this, [this](const QString& l) { log << l; },
            Qt::QueuedConnection);
        QVERIFY(master->connectBus("sim:3"));
        window = std::make_unique<BusDiagnostics>(master.get());
        QVERIFY(freshRead());
    }

    void cleanupTestCase() {
        window.reset();
        master.reset();
        QCOMPARE(chain->takeRefusals(), std::vector<std::string>{});  // none a real slave refuses
    }

    // A corrupted frame and a pulled cable on the right slave and port; emergencies; a capture.
    void aCorruptedFrameAPulledCableAnEmergencyAndACapture() {
        QCOMPARE(table()->rowCount(), 3);
        for (int r = 0; r < 3; ++r) {
            QCOMPARE(
                QStringList({cell(r, Slave), cell(r, Address), cell(r, State), cell(r, Invalid)}),
                QStringLiteral("%1 0x100%1 OP 0/0/0/0").arg(r + 1).split(' '));
            // The reference clock is only read; the others follow it within a microsecond.
            bool number = false;
            const qint64 dc = cell(r, Dc).toLongLong(&number);
            QVERIFY2(r == 0 ? cell(r, Dc) == "reference" : number && std::llabs(dc) < 1000,
                     qPrintable(cell(r, Dc)));
        }
        QVERIFY(window->findChild<QLabel*>("label_cycles")->text().toULongLong() > 0);

        chain->corruptNextFrame(2);
        QVERIFY(freshRead());
        QCOMPARE(QStringList({cell(0, Invalid), cell(0, Forwarded), cell(1, Invalid),
                              cell(1, Forwarded), cell(2, Forwarded), cell(2, Invalid)}),
                 QStringList({"0/0/0/0", "0/0/0/0", "1/0/0/0", "0/0/0/0", "1/0/0/0", "0/0/0/0"}));

        QVERIFY(master->resetErrorCounters() && freshRead());
        QCOMPARE(cell(1, Invalid) + cell(2, Forwarded), QStringLiteral("0/0/0/00/0/0/0"));

        chain->pullDrive(3);
        auto* events = window->findChild<QPlainTextEdit*>("plainTextEdit_events");
        QTRY_VERIFY_WITH_TIMEOUT(events->toPlainText().contains("slave 3 lost: no answer for "),
                                 5000);
        QVERIFY(freshRead());
        QCOMPARE(std::pair(cell(1, LostLinks), cell(2, State)),
                 std::pair(QStringLiteral("0/1/0/0"), QStringLiteral("no answer")));
        // Supervision's misses: slave 3 broke the working counter, slave 1 did not. 3 is marked.
        QVERIFY(cell(2, Misses).toInt() > 0 && cell(0, Misses) == "0" && marked(2) && !marked(0));
        const auto figure = [this](const char* name) {
            return window->findChild<QLabel*>(name)->text().toULongLong();
        };
        QVERIFY(figure("label_wkcMinute") > 0 && figure("label_wkcMinute") <= figure("label_wkc"));

        // Plugged back, fresh from power-up without its address: no answer until a new bring-up.
        chain->plugDrive(3);
        QVERIFY(freshRead());
        QCOMPARE(cell(2, State) + cell(1, LostLinks), QStringLiteral("no answer0/1/0/0"));

        // The drives still on the bus report emergencies, decoded into the log, the first too.
        const QString emergency = QStringLiteral(
            "EMCY drive %1 (slave %2): error code 0x2310, error register 0x81, manufacturer bytes "
            "01 02 03 04 a5");
        for (const int slave : {1, 2}) {
            QVERIFY(chain->sendEmergency(slave, 0x2310, 0x81, {0x01, 0x02, 0x03, 0x04, 0xA5}));
            QTRY_VERIFY(log.contains(emergency.arg(slave - 1).arg(slave)));
        }

        // A capture records the running session, nothing dropped (tshark reads it: bustools tests).
        QTemporaryDir dir;
        QVERIFY(master->startCapture(dir.filePath("session.pcapng")) && master->capturing());
        uint8_t version[2] = {};
        QCOMPARE(master->readParameter(1, kParamIdSoftwareVersion, version), kParamOk);
        uint64_t frames = 0, dropped = 0;
        QVERIFY(master->stopCapture(&frames, &dropped));
        QVERIFY(!master->capturing() && !master->stopCapture(nullptr, nullptr));     // nothing runs
        QVERIFY2(dropped == 0 && frames >= 2, qPrintable(QString::number(frames)));  // the SDO's

        master->disconnectBus();
        QVERIFY(freshRead() && table()->rowCount() == 0 && !master->resetErrorCounters());
    }
};

QTEST_MAIN(TestBusDiagnostics)
#include "tst_busdiagnostics.moc"
