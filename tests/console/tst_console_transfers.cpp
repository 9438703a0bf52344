// Transfers off the GUI thread: a silent mailbox never holds STOP, the GUI or the gates back.
#include "console_support.h"
#include "model/paramtable.h"
#include "nowheeldoublespinbox.h"
#include "objectdictionary.h"
#include "sim/mailbox.h"

using namespace consoletest;
using sim::Cia402State;

namespace {

// The longest gap between two ticks of a 10 ms timer on the GUI thread.
struct StallMeter : QTimer {
    StallMeter() {
        connect(this, &QTimer::timeout, [this] { longest = std::max(longest, clock.restart()); });
        restart();
    }
    void restart() {
        clock.start();
        longest = 0;
        start(10);
    }
    QElapsedTimer clock;
    qint64 longest = 0;  // ms
};

}  // namespace

class TestConsoleTransfers : public WindowFixture {
    Q_OBJECT

    ObjectDictionary* readDictionary() {
        action("actionObjectDictionary")->trigger();
        auto* d = window->findChild<ObjectDictionary*>();
        d->findChild<QPushButton*>(u"pushButton_readDictionary"_s)->click();
        return d;
    }
    QString dictionaryStatus(ObjectDictionary* d) const {
        return d->findChild<QLabel*>(u"label_status"_s)->text();
    }
    bool allDrivesTook(uint16_t controlWord) const {
        return controlWordAtDrive(1) == controlWord && controlWordAtDrive(2) == controlWord &&
               controlWordAtDrive(3) == controlWord;
    }

private slots:
    void initTestCase() { startOnChain(3); }
    void cleanup() {
        chain->setMailboxMisbehaviour(1, sim::Misbehaviour::None);
        closeWindow();
    }

    // A transfer waits on drive 0's silent mailbox: STOP reaches all within 2 cycles, no stall.
    void stopReachesEveryDriveWhileAMailboxIsSilent_data() {
        QTest::addColumn<QString>("transfer");
        QTest::newRow("row read") << u"row"_s;
        QTest::newRow("Read ALL") << u"all"_s;
        QTest::newRow("dictionary") << u"dictionary"_s;
    }
    void stopReachesEveryDriveWhileAMailboxIsSilent() {
        QFETCH(QString, transfer);
        QVERIFY(openConnected() && clickAndWait("button_multitest", "Stop") && allDrivesTook(15));
        chain->setMailboxMisbehaviour(1, sim::Misbehaviour::Silent);

        StallMeter meter;
        const int firstRow = window->parameterRows().firstKey();
        if (transfer == u"row") {
            window->parameterRows().first().readButton->click();
            QCOMPARE(window->parameterRows().first().editor->cleanText(), QString());
        } else if (transfer == u"all") {
            click("pushButton_ReadAll");
        } else {
            QVERIFY(readDictionary()->busy());
        }
        QTest::qWait(300);  // well inside the exchange's timeout: the transfer waits on the drive
        const qint64 stallBeforeStop = meter.longest;

        // Spin without the event loop; cycles counted before each look can only under-count.
        click("pushButton_QuickStop");
        const uint64_t before = master()->busFigures().cycles;
        uint64_t reached = 0;
        QElapsedTimer spin;
        spin.start();
        while (spin.elapsed() < 1000 && reached == 0) {
            const uint64_t cycles = master()->busFigures().cycles;
            if (allDrivesTook(2))
                reached = std::max(cycles, before);
        }
        QVERIFY2(reached != 0, "STOP never reached the drives");
        QVERIFY2(reached - before <= 2, qPrintable(u"%1 cycles"_s.arg(reached - before)));
        QTRY_VERIFY(logged(u"STOP: quick stop sent to drive(s) 0,1,2."_s));

        // The transfer ends by itself (timeout) without the GUI thread waiting on it.
        meter.restart();
        if (transfer == u"row") {
            QVERIFY(waitLogged(
                u"SDO read failed for index 0x6101 subindex 0x%1: no reply in time"_s.arg(
                    firstRow + 1, 0, 16)));
        } else if (transfer == u"all") {
            QVERIFY(waitLogged(u"Read ALL: row 2 of %1"_s.arg(window->parameterRows().size())));
        } else {
            ObjectDictionary* d = window->findChild<ObjectDictionary*>();
            QTRY_VERIFY_WITH_TIMEOUT(!d->busy(), kBusTimeoutMs);
            QVERIFY(dictionaryStatus(d).contains(u"could not be read"_s));
        }
        // Waiting on the transfer would stall for its 700 ms timeout; room left for a busy host.
        QVERIFY2(stallBeforeStop < 350 && meter.longest < 350,
                 qPrintable(u"%1 ms, %2 ms"_s.arg(stallBeforeStop).arg(meter.longest)));
        // Closing the window waits for the transfer under way, not for the queue behind it.
        QElapsedTimer closing;
        closing.start();
        closeWindow();
        QVERIFY2(closing.elapsed() < 5000, qPrintable(u"%1 ms"_s.arg(closing.elapsed())));
    }

    // Identity reads that fail say so, no number shown as the drive's; then Read ALL queued
    // behind a silent read ends as stopped when the bus goes, and the next one runs.
    void failedReadsQueuedTransfersDictionaryWritesAndALostDownload() {
        QVERIFY(openConnected());
        chain->setMailboxMisbehaviour(1, sim::Misbehaviour::Silent);
        click("pushButton_ReadVersion");
        click("pushButton_ReadPdtBatch");
        click("pushButton_ReadPdtType");
        QTRY_VERIFY_WITH_TIMEOUT(logged(u"Get \"产品类型\": read failed"_s), kBusTimeoutMs);
        for (const char* field : {"lineEdit_Version", "lineEdit_PdtBatch", "lineEdit_PdtType"})
            QCOMPARE(child<QLineEdit>(field)->text(), u"read failed"_s);
        QVERIFY(logged(u"Get \"Software_Version\": read failed"_s) &&
                logged(u"读取产品类型失败，尝试重新解析"_s));
        QVERIFY(!messages().join(u'\n').contains(u"QJ00"_s) &&
                !logged(u"Get \"Software_Version\": 0x0"_s));
        // The type read at connect still keys the drive's fault words.
        QCOMPARE(window->currentProductType(), u"QJ30"_s);

        window->parameterRows().first().readButton->click();
        click("pushButton_ReadAll");
        QCOMPARE(window->parameterRows().last().editor->placeholderText(), u"reading…"_s);
        connectButton()->click();
        QTRY_VERIFY_WITH_TIMEOUT(logged(u"Read ALL stopped."_s), kBusTimeoutMs);
        QVERIFY(waitText(connectButton(), "Connect"));
        const auto* editor = window->parameterRows().last().editor;  // blank, no "reading…" left
        QVERIFY(editor->cleanText().isEmpty() && editor->placeholderText().isEmpty());
        chain->setMailboxMisbehaviour(1, sim::Misbehaviour::None);
        QVERIFY(connectBus());
        QCOMPARE(master()->writeParameter(0, 20, "\x9B"), kParamOk);  // -101: past its editor
        click("pushButton_ReadAll");
        QTRY_VERIFY_WITH_TIMEOUT(logged(u"Read ALL finished."_s), kBusTimeoutMs);
        QCOMPARE(messages().filter(u"-101 is beyond what the editor shows (-100 to 100)"_s).size(),
                 1);
        QVERIFY(!logged(u"Read ALL / Write ALL is running; wait for it to finish."_s));
        compareSnapshot(u"parameters_read"_s, child(u"tabWidgetPage2"_s));
        // A drive without the product type: its family taken from the version, QJ<digit>0.
        chain->refuseSdo(1, kParamObjectIndex, kParamIdProductType + 1, 0x06020000);
        click("pushButtonClear"), click("pushButton_ReadPdtType");  // Read ALL logged it too
        QVERIFY(waitLogged(
            u"Get \"产品类型\": QJ%1"_s.arg((chain->drive(1)->softwareVersion() >> 12) * 10)));
        chain->refuseSdo(1, kParamObjectIndex, kParamIdProductType + 1, 0);

        // The dictionary's Write passes the console's gate; a reconnect forgets what it read.
        ObjectDictionary* d = readDictionary();
        QSignalSpy done(d, &ObjectDictionary::jobDone);
        QVERIFY(done.wait(kBusTimeoutMs));
        auto* tree = d->findChild<QTreeWidget*>(u"treeWidget_objects"_s);
        // An entry writable in OPERATIONAL: 0x6101:09 (parameter 8, one byte). Not found, Write
        // stays disabled and logs none of the refusals below.
        tree->setCurrentItem(
            tree->findItems(u"0x6101:09"_s, Qt::MatchExactly | Qt::MatchRecursive, 0).value(0));
        QPushButton* write = d->findChild<QPushButton*>(u"pushButton_writeEntry"_s);
        d->findChild<QLineEdit*>(u"lineEdit_value"_s)->setText(u"77"_s);
        const std::vector<uint8_t> before = chain->parameter(1, 8);

        window->forceConsoleState(Testing);  // as a running procedure does
        write->click();
        QVERIFY(!d->busy());
        QTRY_VERIFY(logged(u"当前处于测试中，请退回已连接状态"_s));
        window->forceConsoleState(Connected);
        click("pushButton_enable");  // the enable walk runs on the pool
        write->click();
        QVERIFY(!d->busy());
        QTRY_VERIFY(logged(u"当前正在上使能或下使能，请等待其完成"_s));
        QVERIFY(waitText(enableButton(), "Disable") && chain->parameter(1, 8) == before);
        QVERIFY(clickAndWait("pushButton_enable", "Enable"));

        write->click();
        QVERIFY(done.wait(kBusTimeoutMs));
        QTRY_VERIFY(dictionaryStatus(d).startsWith(u"Written; read back: "_s));
        QCOMPARE(chain->parameter(1, 8), std::vector<uint8_t>{77});

        QVERIFY(clickAndWait("pushButton_connect", "Connect") && connectBus());
        QVERIFY(tree->topLevelItemCount() == 0 && !write->isEnabled() &&
                dictionaryStatus(d).contains(u"read the dictionary again"_s));

        // The drive lost mid-download: the download fails, bus down, the console disconnected.
        QTemporaryDir dir;
        const QString path = dir.filePath(u"joint_9.9.9.efw"_s);
        QVERIFY(writeFile(path, QByteArray(int(kFirmwareBufferBytes), '\x5a')));
        std::thread puller([this] {
            const QDeadlineTimer deadline(kBusTimeoutMs);
            while (!deadline.hasExpired() &&
                   chain->firmware(1).value_or(sim::FirmwareFile{}).bytes.empty())
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            chain->pullDrive(1);
        });
        ModalAnswerer answerer;
        upgrade(answerer, path, u"0"_s, 1);  // the drive's own password
        puller.join();
        QCOMPARE(answerer.boxes.value(1), boxText(QMessageBox::Critical, "失败", "固件写入失败!"));
        QVERIFY(waitText(connectButton(), "Connect") && state() == NotConnected);
        QVERIFY(!chain->firmware(1)->complete);
        chain->plugDrive(1);
    }
};

QTEST_MAIN(TestConsoleTransfers)
#include "tst_console_transfers.moc"
