// Drive parameters over SDO and firmware over FoE, against the simulated drives' mailboxes.
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <thread>

#include "master_fixture.h"
#include "model/paramtable.h"

using mastertest::SignalSink;
using mastertest::SimAdapter;

namespace {

bool connectQuietly(ecmaster& m, SignalSink& sink, const SimAdapter& bus) {
    if (!m.connectBus(bus.adapter())) {
        return false;
    }
    if (!QTest::qWaitFor(
            [&] { return sink.lines.filter(QStringLiteral("slaves valid!")).size(); })) {
        return false;
    }
    QTest::qWait(20);
    sink.clear();
    return true;
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) {
        return {};
    }
    return path;
}

QByteArray pattern(int size) {
    QByteArray b(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i) {
        b[i] = static_cast<char>((i * 7 + 3) & 0xFF);
    }
    return b;
}

}  // namespace

class MailboxTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { registerModelMetaTypes(); }

    // --- parameters ----------------------------------------------------------------------------

    void readsAndWritesParametersOfTheIndexedDrive() {
        SimAdapter bus("m-params", sim::ChainConfig::drives(2));
        ecmaster m;
        SignalSink sink(m);
        QVERIFY(connectQuietly(m, sink, bus));

        uint8_t version[4] = {0xEE, 0xEE, 0xEE, 0xEE};
        QCOMPARE(m.readParameter(0, kParamIdSoftwareVersion, version), kParamOk);
        QCOMPARE((std::vector<uint8_t>{version[0], version[1]}),
                 bus.chain->parameter(1, kParamIdSoftwareVersion));
        QCOMPARE(version[2], uint8_t{0xEE});  // two bytes only

        const uint8_t limit = 42;
        QCOMPARE(m.writeParameter(1, 8, &limit), kParamOk);
        QCOMPARE(bus.chain->parameter(2, 8), std::vector<uint8_t>{42});
        QVERIFY(bus.chain->parameter(1, 8) != std::vector<uint8_t>{42});
        uint8_t back = 0;
        QCOMPARE(m.readParameter(1, 8, &back), kParamOk);
        QCOMPARE(back, limit);
        QTest::qWait(20);
        QCOMPARE(sink.lines, QStringList{});
        m.disconnectBus();
    }

    void refusesWhatTheTableForbids() {
        SimAdapter bus("m-refuse", sim::ChainConfig::drives(1));
        ecmaster m;
        SignalSink sink(m);
        QVERIFY(connectQuietly(m, sink, bus));
        const std::vector<uint8_t> type = bus.chain->parameter(1, kParamIdProductType);
        const uint32_t other = 0x41424344;
        QCOMPARE(m.writeParameter(0, kParamIdProductType, &other), kParamFailed);
        QTRY_VERIFY(
            sink.contains(QStringLiteral("Attempt to write a read-only object at index 0x6101")));
        QCOMPARE(bus.chain->parameter(1, kParamIdProductType), type);

        uint32_t v = 0;
        QCOMPARE(m.readParameter(0, 99, &v), kParamFailed);
        QCOMPARE(m.writeParameter(0, -1, &v), kParamFailed);
        QTRY_COMPARE(sink.count(QStringLiteral("Error: SDO name not found!")), 2);

        sink.clear();
        QCOMPARE(m.readParameter(1, 0, &v), kBadDriveIndex);  // index == number of drives
        QCOMPARE(m.writeParameter(7, 8, &v), kBadDriveIndex);
        QTest::qWait(20);
        QCOMPARE(sink.lines, QStringList{});

        m.disconnectBus();
        QCOMPARE(m.readParameter(0, 0, &v), kParamNotConnected);
        QCOMPARE(m.writeParameter(0, 8, &v), kParamNotConnected);
        QCOMPARE(m.sdoRead(1, 0, &v), kParamNotConnected);
        QTRY_COMPARE(sink.count(QStringLiteral("Error: no Connect!")), 3);
    }

    void reportsTransfersThatGetNoAnswer() {
        SimAdapter bus("m-lost", sim::ChainConfig::drives(2));
        ecmaster m;
        SignalSink sink(m);
        QVERIFY(connectQuietly(m, sink, bus));
        bus.chain->pullDrive(2);
        uint8_t v[4] = {};
        QCOMPARE(m.readParameter(1, 0, v), kParamFailed);
        QCOMPARE(m.writeParameter(1, 8, v), kParamFailed);
        QTRY_VERIFY(sink.contains(QStringLiteral("SDO read failed for index 0x6101 subindex 0x1")));
        QTRY_VERIFY(
            sink.contains(QStringLiteral("SDO write failed for index 0x6101 subindex 0x9")));
        bus.chain->plugDrive(2);
        m.disconnectBus();
    }

    // Teardown waits for a transfer in flight instead of closing the port beneath it; one asked
    // for afterwards is refused at once.
    void teardownWaitsForTheTransferInFlight() {
        SimAdapter bus("m-teardown", sim::ChainConfig::drives(2));
        ecmaster m;
        SignalSink sink(m);
        QVERIFY(connectQuietly(m, sink, bus));
        // The read below runs into its full timeout.
        bus.chain->setMailboxMisbehaviour(2, sim::Misbehaviour::Silent);
        std::atomic<int> result{kParamOk};
        std::atomic<bool> done{false};
        std::thread reader([&] {
            uint8_t v[4] = {};
            result = m.readParameter(1, 0, v);
            done = true;
        });
        const auto transferInFlight = [&] {  // it holds the mailbox lock throughout
            if (!m.mailboxMutex.tryLock()) {
                return true;
            }
            m.mailboxMutex.unlock();
            return false;
        };
        const bool seen = QTest::qWaitFor(transferInFlight);
        m.disconnectBus();
        const bool doneBeforeTeardownEnded = done;
        reader.join();
        QVERIFY(seen);
        QVERIFY(doneBeforeTeardownEnded);
        QCOMPARE(result.load(), kParamFailed);
        uint8_t v[4] = {};
        QCOMPARE(m.readParameter(0, 0, v), kParamNotConnected);
        QTRY_VERIFY(sink.contains(QStringLiteral("Error: no Connect!")));
    }

    // --- firmware ------------------------------------------------------------------------------

    void foeNameIsTheFileNameCutTo255Bytes() {
        const auto plain = foeFileName(QStringLiteral("/opt/fw/dir.efw/QJ30_v3.efw"));
        QCOMPARE(QByteArray(plain.data()), QByteArray("QJ30_v3.efw"));
        QString longName;
        for (int i = 0; i < 100; ++i) {
            longName += QStringLiteral("固");  // 3 bytes each in UTF-8
        }
        const auto cut = foeFileName(QStringLiteral("/tmp/") + longName);
        QCOMPARE(std::strlen(cut.data()), size_t{255});
        QCOMPARE(QByteArray(cut.data()), longName.toUtf8().left(255));
        QCOMPARE(cut[255], '\0');
    }

    void downloadsToTheIndexedDriveAndReportsEveryStep() {
        QTemporaryDir dir;
        const QByteArray image = pattern(3000);
        const QString path = writeFile(dir, QStringLiteral("QJ30_3.1.6.efw"), image);
        QVERIFY(!path.isEmpty());
        SimAdapter bus("m-foe", sim::ChainConfig::drives(2));
        ecmaster m;
        SignalSink sink(m);
        QVERIFY(connectQuietly(m, sink, bus));

        QCOMPARE(m.downloadFirmware(path, 2, 0), kBadDriveIndex);  // beyond the two drives
        const int result = m.downloadFirmware(path, 0, 0);
        QVERIFY(result > 0);
        QVERIFY(m.inOperation);
        const std::optional<sim::FirmwareFile> got = bus.chain->firmware(1);
        QVERIFY(got.has_value());
        QCOMPARE(QString::fromStdString(got->name), QStringLiteral("QJ30_3.1.6.efw"));
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(got->bytes.data()),
                            static_cast<qsizetype>(got->bytes.size())),
                 image);
        QVERIFY(bus.chain->firmware(2)->bytes.empty());
        QCOMPARE(bus.chain->alState(2), uint8_t{EC_STATE_OPERATIONAL});

        QTRY_VERIFY(sink.lines.size() >= 10);
        const QStringList expected = {
            QStringLiteral("Request init state for slave 1"),
            QStringLiteral("Slave 1 state to INIT."),
            sink.lines.value(2),
            sink.lines.value(3),
            QStringLiteral("Request BOOT state for slave 1."),
            QStringLiteral("Slave 1 state to BOOT."),
            QStringLiteral("File \"%1\" load OK, 3000 bytes.").arg(path),
            QStringLiteral("FoE write...."),
            QStringLiteral("FOE result: %1.").arg(result),
            QStringLiteral("Request init state for slave 1"),
        };
        QCOMPARE(sink.lines.mid(0, 10), expected);
        QVERIFY(sink.lines[2].startsWith(QStringLiteral(" SM0 A:")));
        QVERIFY(sink.lines[3].startsWith(QStringLiteral(" SM1 A:")));
        QCOMPARE(sink.lines[2].size(), QStringLiteral(" SM0 A:1000 L: 128 F:00010026").size());
        m.disconnectBus();
    }

    // While the first drive takes a download, a parameter transfer to it is refused at once
    // instead of meeting the bootloader's mailbox; the other drive answers as usual.
    void parameterTransfersBesideADownload() {
        QTemporaryDir dir;
        const QByteArray image = pattern(6000);
        const QString path = writeFile(dir, QStringLiteral("fw.efw"), image);
        sim::ChainConfig cfg = sim::ChainConfig::drives(2);
        cfg.slaves[0].bootDelayNs = 1'500'000'000;  // the download waits here for BOOT
        SimAdapter bus("m-foe-beside", cfg);
        ecmaster m;
        SignalSink sink(m);
        QVERIFY(connectQuietly(m, sink, bus));

        std::atomic<int> result{0};
        std::thread download([&] { result = m.downloadFirmware(path, 0, 0); });
        QTRY_VERIFY(sink.contains(QStringLiteral("Request BOOT state for slave 1.")));
        uint8_t version[2] = {};
        const int first = m.readParameter(0, kParamIdSoftwareVersion, version);
        const uint8_t limit = 7;
        const int firstWrite = m.writeParameter(0, 8, &limit);
        const int second = m.readParameter(1, kParamIdSoftwareVersion, version);
        download.join();

        QCOMPARE(first, kParamFailed);
        QCOMPARE(firstWrite, kParamFailed);
        QTRY_COMPARE(sink.count(QStringLiteral(
                         "Slave 1 is taking a firmware download; no parameter transfer.")),
                     2);
        QCOMPARE(second, kParamOk);
        QCOMPARE((std::vector<uint8_t>{version[0], version[1]}),
                 bus.chain->parameter(2, kParamIdSoftwareVersion));
        QVERIFY(result > 0);
        const std::optional<sim::FirmwareFile> got = bus.chain->firmware(1);
        QVERIFY(got.has_value());
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(got->bytes.data()),
                            static_cast<qsizetype>(got->bytes.size())),
                 image);
        QVERIFY(bus.chain->parameter(1, 8) != std::vector<uint8_t>{limit});
        m.disconnectBus();
    }

    // After a disconnect the drive list stays, but a download is refused before it sends
    // anything, instead of waiting out the INIT and BOOT timeouts.
    void downloadWithoutABusIsRefused() {
        SimAdapter bus("m-foe-closed", sim::ChainConfig::drives(1));
        ecmaster m;
        SignalSink sink(m);
        QVERIFY(connectQuietly(m, sink, bus));
        m.disconnectBus();
        QVERIFY(ec_init(bus.adapter()) > 0);  // a link is open, the bus is not up
        const uint64_t frames = bus.chain->framesSeen();
        QCOMPARE(m.downloadFirmware(QStringLiteral("/nonexistent/fw.efw"), 0, 0),
                 kParamNotConnected);
        QCOMPARE(bus.chain->framesSeen(), frames);
        QTRY_VERIFY(sink.contains(QStringLiteral("Error: no Connect!")));
        ec_close();
    }

    void missingFileLeavesTheDriveInBoot() {
        SimAdapter bus("m-nofile", sim::ChainConfig::drives(1));
        ecmaster m;
        SignalSink sink(m);
        QVERIFY(connectQuietly(m, sink, bus));
        const QString path = QStringLiteral("/nonexistent/zentrio/fw.efw");
        QCOMPARE(m.downloadFirmware(path, 0, 0), kBadDriveIndex);
        QVERIFY(m.inOperation);
        QTRY_VERIFY(sink.contains(QStringLiteral("FoE read Fail!")));
        const int at = static_cast<int>(sink.lines.indexOf(QStringLiteral("FoE read Fail!")));
        QCOMPARE(sink.lines.value(at - 1), QStringLiteral("Cannot open file: %1").arg(path));
        QCOMPARE(sink.count(QStringLiteral("Request init state for slave 1")), 1);  // before BOOT
        QCOMPARE(bus.chain->alState(1) & 0x0F, int{EC_STATE_BOOT});
        m.disconnectBus();
    }

    void emptyFileIsSentAsZeroBytes() {
        QTemporaryDir dir;
        const QString path = writeFile(dir, QStringLiteral("empty.bin"), QByteArray());
        SimAdapter bus("m-empty", sim::ChainConfig::drives(1));
        ecmaster m;
        SignalSink sink(m);
        QVERIFY(connectQuietly(m, sink, bus));
        QVERIFY(m.downloadFirmware(path, 0, 0) > 0);
        QTRY_VERIFY(sink.contains(QStringLiteral("File \"%1\" load OK, 0 bytes.").arg(path)));
        // The bootloader took a complete file, ended by the one empty data packet.
        const std::optional<sim::FirmwareFile> got = bus.chain->firmware(1);
        QVERIFY(got.has_value());
        QCOMPARE(QString::fromStdString(got->name), QStringLiteral("empty.bin"));
        QVERIFY(got->complete);
        QVERIFY(got->bytes.empty());
        m.disconnectBus();
    }

    void oversizedFileIsRefusedWhileTheDriveRuns() {
        QTemporaryDir dir;
        const QString path = writeFile(dir, QStringLiteral("big.bin"),
                                       QByteArray(int(kFirmwareBufferBytes) + 1, 'x'));
        QVERIFY(!path.isEmpty());
        SimAdapter bus("m-big", sim::ChainConfig::drives(1));
        ecmaster m;
        SignalSink sink(m);
        QVERIFY(connectQuietly(m, sink, bus));
        QCOMPARE(m.downloadFirmware(path, 0, 0), kBadDriveIndex);
        QTRY_COMPARE(sink.lines,
                     QStringList{QStringLiteral("Firmware file \"%1\" has 4194305 bytes, more than "
                                                "the 4194304 a drive takes.")
                                     .arg(path)});
        QCOMPARE(bus.chain->alState(1), uint8_t{EC_STATE_OPERATIONAL});
        QVERIFY(m.inOperation);

        // Read on its own, the same file fills the buffer and stops there.
        uint32_t size = 0;
        QVERIFY(m.loadFirmwareFile(path.toUtf8().constData(), size));
        QCOMPARE(size, kFirmwareBufferBytes);
        m.disconnectBus();
    }

    // Slow: the BOOT request is refused and the state check waits its full 20 s.
    void bootNotReachedEndsAfterTheRequest() {
        QTemporaryDir dir;
        const QString path = writeFile(dir, QStringLiteral("fw.efw"), pattern(100));
        sim::ChainConfig cfg = sim::ChainConfig::drives(1);
        cfg.slaves[0].bootSupported = false;
        SimAdapter bus("m-noboot", cfg);
        ecmaster m;
        SignalSink sink(m);
        QVERIFY(connectQuietly(m, sink, bus));
        QCOMPARE(m.downloadFirmware(path, 0, 0), kBadDriveIndex);
        QVERIFY(m.inOperation);
        QTRY_VERIFY(sink.contains(QStringLiteral("Request BOOT state for slave 1.")));
        QTest::qWait(20);
        const int at =
            static_cast<int>(sink.lines.indexOf(QStringLiteral("Request BOOT state for slave 1.")));
        // Only supervision may speak after the request; nothing of the download.
        for (const QString& line : sink.lines.mid(at + 1)) {
            QVERIFY2(line.contains(QStringLiteral(" : slave ")), qPrintable(line));
        }
        QVERIFY(bus.chain->firmware(1)->bytes.empty());
        m.disconnectBus();
    }
};

QTEST_GUILESS_MAIN(MailboxTest)
#include "mailbox_test.moc"
