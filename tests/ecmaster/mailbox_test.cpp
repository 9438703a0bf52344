// SDO parameters and FoE firmware through the master: what the drive holds, byte for byte.
#include <thread>
#include <tuple>

#include "master_fixture.h"
#include "model/paramtable.h"

using namespace mastertest;

class MailboxTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { registerModelMetaTypes(); }

    void parametersOfTheIndexedDriveTheRefusalsAndTeardownDuringATransfer() {
        SimAdapter bus("m-params", sim::ChainConfig::drives(2));
        ecmaster m;
        SignalSink sink(m);
        QVERIFY(connectQuietly(m, sink, bus));
        uint8_t version[4] = {0xEE, 0xEE, 0xEE, 0xEE};
        QCOMPARE(m.readParameter(0, kParamIdSoftwareVersion, version), kParamOk);
        QCOMPARE(asBytes({version[0], version[1], version[2], version[3]}),  // two bytes only
                 asBytes(bus.chain->parameter(1, kParamIdSoftwareVersion)) + "\xEE\xEE");
        const uint8_t limit = 42;
        QCOMPARE(m.writeParameter(1, 8, &limit), kParamOk);
        QCOMPARE(bus.chain->parameter(2, 8), std::vector<uint8_t>{42});
        QVERIFY(bus.chain->parameter(1, 8) != std::vector<uint8_t>{42});
        QTest::qWait(20);
        QCOMPARE(sink.lines, QStringList{});

        const auto type = bus.chain->parameter(1, kParamIdProductType);
        const uint32_t other = 0x41424344;
        uint32_t v = 0;
        QCOMPARE((std::tuple{m.writeParameter(0, kParamIdProductType, &other),
                             m.readParameter(0, 99, &v), m.writeParameter(0, -1, &v)}),
                 std::tuple(kParamFailed, kParamFailed, kParamFailed));
        QCOMPARE(bus.chain->parameter(1, kParamIdProductType), type);
        // A transfer the drive aborts is a failure, never a value.
        bus.chain->refuseSdo(1, kParamObjectIndex, 10, 0x08000020);
        QCOMPARE(m.writeParameter(0, 9, &v), kParamFailed);
        QTRY_COMPARE(sink.lines.size(), 4);  // the read-only write, two unknown ids, the abort
        QVERIFY(sink.count(QStringLiteral("Error: SDO name not found!")) == 2 &&
                sink.lines.last().endsWith(QStringLiteral("application at 0x6101:0a")));
        sink.clear();
        QCOMPARE(m.readParameter(2, 0, &v), kBadDriveIndex);  // index == number of drives
        QCOMPARE(m.writeParameter(7, 8, &v), kBadDriveIndex);
        // By slave number: slave 3 is no drive.
        const uint8_t seven = 7;
        QCOMPARE((std::tuple{m.sdoWrite(1, 8, &seven), m.sdoRead(1, 8, &v), v, m.sdoWrite(3, 8, &v),
                             m.sdoRead(3, 8, &v)}),
                 std::tuple(kParamOk, kParamOk, 7u, kParamFailed, kParamFailed));
        QTest::qWait(20);
        QCOMPARE(sink.lines, QStringList{});

        bus.pull(2);  // transfers that get no answer
        QCOMPARE(m.readParameter(1, 0, &v), kParamFailed);
        QCOMPARE(m.writeParameter(1, 8, &v), kParamFailed);
        bus.chain->plugDrive(2);

        // Teardown waits for a transfer in flight instead of closing the port beneath it.
        bus.chain->setMailboxMisbehaviour(1, sim::Misbehaviour::Silent);  // runs into its timeout
        std::atomic<int> result{kParamOk};
        std::atomic<bool> done{false}, asked{false};
        bus.chain->drive(1)->dictionary().entry(kParamObjectIndex, 1)->onRead = [&](auto&) {
            return asked = true, 0u;  // the request is out: its sender holds the gate
        };
        std::thread reader([&] { result = m.readParameter(0, 0, &v), done = true; });
        const bool seen = QTest::qWaitFor([&] { return asked && m.transferUnderWay(); });
        m.disconnectBus();
        const bool doneBeforeTeardownEnded = done;
        reader.join();
        QVERIFY(seen && doneBeforeTeardownEnded && result == kParamFailed);
        QCOMPARE(m.readParameter(0, 0, &v), kParamNotConnected);
        QCOMPARE(m.writeParameter(0, 8, &v), kParamNotConnected);
        QCOMPARE(m.sdoRead(1, 0, &v), kParamNotConnected);
        QTRY_COMPARE(sink.count(QStringLiteral("Error: no Connect!")), 3);
        QVERIFY(!m.readDictionary(0, [](int, int) { return true; }));  // its drive still listed
        QTRY_VERIFY(sink.contains(QStringLiteral("Object dictionary: no drive 0 on the bus.")));
    }

    void downloadsReachTheIndexedDriveWholeOrNotAtAll() {
        const auto plain = foeFileName(QStringLiteral("/opt/fw/dir.efw/QJ30_v3.efw"));
        QCOMPARE(QByteArray(plain.data()), QByteArray("QJ30_v3.efw"));
        const QString longName = QString(100, QChar(0x56FA));  // 3 bytes each in UTF-8
        const auto cut = foeFileName(QStringLiteral("/tmp/") + longName);
        QVERIFY(cut[255] == '\0' && QByteArray(cut.data()) == longName.toUtf8().left(255));

        QTemporaryDir dir;
        QByteArray image(3000, Qt::Uninitialized);
        std::generate(image.begin(), image.end(), [i = 0]() mutable { return char(i++ * 7 + 3); });
        const QString path = dir.filePath("QJ30_3.1.6.efw"), empty = dir.filePath("empty.bin"),
                      big = dir.filePath("big.bin");
        QVERIFY(writeFile(path, image) && writeFile(empty, {}) &&
                writeFile(big, QByteArray(int(kFirmwareBufferBytes) + 1, 'x')));
        sim::ChainConfig cfg = sim::ChainConfig::drives(2);
        cfg.slaves[0].bootDelayNs = 1'500'000'000;  // the download waits here for BOOT
        SimAdapter bus("m-foe", cfg);
        ecmaster m;
        SignalSink sink(m);
        QVERIFY(connectQuietly(m, sink, bus));
        QCOMPARE(m.downloadFirmware(path, 2, 0), kBadDriveIndex);  // beyond the two drives
        // While drive 0 takes the file its transfers are refused; the other drive answers.
        std::atomic<int> result{0};
        std::thread download([&] { result = m.downloadFirmware(path, 0, 0); });
        QTRY_VERIFY(sink.contains(QStringLiteral("Request BOOT state for slave 1.")));
        // Just before: the bootstrap mailbox the SII gives, with the standard one's flags.
        QCOMPARE(sink.lines.mid(sink.lines.indexOf("Request BOOT state for slave 1.") - 2, 2),
                 QStringList({" SM0 A:1800 L:1024 F:00010026", " SM1 A:1c00 L:1024 F:00010022"}));
        uint8_t version[2] = {};
        const uint8_t limit = 7;
        QCOMPARE(m.readParameter(0, kParamIdSoftwareVersion, version), kParamFailed);
        QCOMPARE(m.writeParameter(0, 8, &limit), kParamFailed);
        QCOMPARE(m.readParameter(1, kParamIdSoftwareVersion, version), kParamOk);
        download.join();
        QCOMPARE(asBytes({version[0], version[1]}),
                 asBytes(bus.chain->parameter(2, kParamIdSoftwareVersion)));
        QVERIFY(result > 0 && m.isSupervising());
        QVERIFY(bus.chain->parameter(1, 8) != std::vector<uint8_t>{limit});
        const auto firmware = [&bus](int position) {  // completed, name, bytes
            const auto got = bus.chain->firmware(position).value();
            return std::tuple(got.complete, QString::fromStdString(got.name), asBytes(got.bytes));
        };
        QCOMPARE(firmware(1), std::tuple(true, QStringLiteral("QJ30_3.1.6.efw"), image));
        QCOMPARE(bus.chain->alState(2), uint8_t{EC_STATE_OPERATIONAL});
        // Back in OP: parameters again, and an empty file ended by one empty data packet.
        QTRY_COMPARE(bus.chain->alState(1), uint8_t{EC_STATE_OPERATIONAL});
        QCOMPARE(m.writeParameter(0, 8, &limit), kParamOk);
        QCOMPARE(bus.chain->parameter(1, 8), std::vector<uint8_t>{limit});
        QVERIFY(m.downloadFirmware(empty, 0, 0) > 0);
        QCOMPARE(firmware(1), std::tuple(true, QStringLiteral("empty.bin"), QByteArray()));

        QCOMPARE(m.downloadFirmware(big, 1, 0), kBadDriveIndex);  // refused while the drive runs
        QCOMPARE(bus.chain->alState(2), uint8_t{EC_STATE_OPERATIONAL});
        QVERIFY(std::get<2>(firmware(2)).isEmpty());
        uint32_t size = 0;  // read on its own, the same file fills the buffer and stops there
        QVERIFY(m.loadFirmwareFile(big.toUtf8().constData(), size) && size == kFirmwareBufferBytes);

        const QString missing = QStringLiteral("/nonexistent/zentrio/fw.efw");
        QVERIFY(m.downloadFirmware(missing, 1, 0) == kBadDriveIndex && m.isSupervising());
        QCOMPARE(bus.chain->alState(2) & 0x0F, int{EC_STATE_BOOT});  // left for another file
        m.disconnectBus();

        QVERIFY(ec_init(bus.adapter()) > 0);  // after a disconnect: refused before sending anything
        const uint64_t frames = bus.chain->framesSeen();
        QCOMPARE(m.downloadFirmware(path, 0, 0), kParamNotConnected);
        QCOMPARE(bus.chain->framesSeen(), frames);
        ec_close();
    }
};

QTEST_GUILESS_MAIN(MailboxTest)
#include "mailbox_test.moc"
