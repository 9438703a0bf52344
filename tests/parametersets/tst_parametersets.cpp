// Parameter sets: bad files refused by line, values kept bit for bit, export/import/compare.
#include <QtTest>
#include <QtWidgets>

#include "../filebytes.h"
#include "../snapshot.h"
#include "ecmaster.h"
#include "model/paramtable.h"
#include "parametercompare.h"
#include "parametersets.h"
#include "sim/chain.h"
#include "sim/virtual_link.h"

class TestParameterSets : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    std::shared_ptr<sim::Chain> chain;
    std::unique_ptr<ecmaster> master;
    std::unique_ptr<QWidget> window;
    ParameterSets* sets = nullptr;
    QString nextFile;
    QStringList log;
    QStringList boxes;  // "title|text" of each message box, answered by `answer`
    QMessageBox::StandardButton answer = QMessageBox::Yes;

    QString path(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
    bool runJob(const std::function<void()>& start, const QString& dialogFile = QString()) {
        QSignalSpy done(sets, &ParameterSets::jobDone);
        nextFile = dialogFile;
        start();
        const bool locked = !dialog() || !dialog()->isVisible() ||  // a table open takes no request
                            !dialog()->findChild<QWidget*>("pushButton_compare")->isEnabled();
        return done.wait(30000) && locked;
    }
    ParameterCompareDialog* dialog() const { return sets->compareDialog(); }
    QTableWidget* table() const { return dialog()->findChild<QTableWidget*>("tableWidget_rows"); }
    void click(const char* name) { dialog()->findChild<QAbstractButton*>(name)->click(); }

private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        chain = sim::registerSimulatedAdapter(2);
        master = std::make_unique<ecmaster>();
        connect(master.get(), &ecmaster::writeLog, this, [this](const QString& l) { log << l; });
        QVERIFY(master->connectBus("sim:2"));
        window = std::make_unique<QWidget>();
        sets = new ParameterSets(master.get(), window.get());
        sets->chooseFile = [this](bool, const QString&) { return nextFile; };
        connect(sets, &ParameterSets::logLine, this, [this](const QString& l) { log << l; });
        // Message boxes are answered as they open, the question with `answer`.
        auto* answerer = new QTimer(this);
        connect(answerer, &QTimer::timeout, this, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                boxes << box->windowTitle() + u'|' + box->text();
                QAbstractButton* b = box->button(answer);
                (b != nullptr ? b : box->buttons().first())->click();
            }
        });
        answerer->start(20);
    }

    void cleanupTestCase() {
        sets->shutdown();
        window.reset();
    }

    // Each file in data/refused is refused with the error its first line gives after "# ": the
    // place (the comment counts as line 1) and the reason, or the reason alone where no line is.
    void filesAreRefusedWithTheirLine() {
        const QDir refused(QStringLiteral(ZENTRIO_TEST_DATA_DIR "/refused"));
        const QStringList files = refused.entryList({u"*.yaml"_s});
        QCOMPARE(files.size(), 22);
        for (const QString& name : files) {
            const QByteArray text = fileBytes(refused.filePath(name));
            const ParameterSetParse parse = parseParameterSet(text);
            const QString error = QString::fromUtf8(text.mid(2, text.indexOf('\n') - 2));
            QVERIFY2(!parse.set && parse.error.startsWith(error),
                     qPrintable(name + u": "_s + parse.error));
        }
    }

    void filesKeepEveryValueAndComparisonMarksExactlyTheChangedRows() {
        // Each row's limits (one beyond is refused: tests above); floats needing all nine digits.
        const QMap<int, double> edges{{1, 65.535}, {2, 0.1f},   {3, 1234.5677f},
                                      {8, 255},    {20, -100},  {21, 100},
                                      {22, 0},     {31, 10000}, {33, 3.4028e-38f}};
        ParameterSet set;
        set.productType = QStringLiteral("QJ30"), set.softwareVersion = QStringLiteral("3.0.1");
        set.batch = 23, set.time = QDateTime(QDate(2026, 12, 7), QTime(14, 50, 1, 250), Qt::UTC);
        for (const int id : parameterSetIds())
            set.values.insert(id, edges.value(id, id * 3));
        const ParameterSetParse back = parseParameterSet(parameterSetToYaml(set));
        QVERIFY2(back.set, qPrintable(back.error));
        QCOMPARE(std::pair(back.set->time, back.set->batch), std::pair(set.time, set.batch));
        for (const int id : parameterSetIds())
            QCOMPARE(parameterSetBytes(id, back.set->values.value(id)),
                     parameterSetBytes(id, set.values.value(id)));
        // Every field but the product and the list may be missing: unknown, never a made-up value.
        const ParameterSetParse bare = parseParameterSet("product_type: QJ30\nparameters: []\n");
        QVERIFY(bare.set);
        QCOMPARE(std::tuple(bare.set->productType, bare.set->softwareVersion,
                            bare.set->batch.has_value(), bare.set->time.isValid(),
                            bare.set->values.size()),
                 std::tuple(QStringLiteral("QJ30"), QString(), false, false, 0));
        // The torque constant lands on its step whatever the binary fraction: 1.234 is 1234.
        QCOMPARE(parameterSetBytes(1, 1.234), QByteArray("\xD2\x04", 2));

        ParameterSet other = *back.set;
        other.values[2] = 0.100000009;  // the next float up
        other.values.remove(8);
        other.softwareVersion = QStringLiteral("3.0.2");
        QStringList differing;
        for (const ParameterCompareRow& row : compareParameterSets(set, other)) {
            if (row.differs)
                differing << QStringLiteral("%1:%2:%3").arg(row.id).arg(row.left, row.right);
            QCOMPARE(row.writable, row.id >= 0);
        }
        QCOMPARE(differing, QStringList({"-1:3.0.1:3.0.2", "2:0.1:0.10000001", "8:255:"}));
    }

    void exportImportAndCompareOnTheDrives() {
        const QString exported = path("drive0.yaml");
        QVERIFY(runJob([this] { sets->exportSet(0); }, exported));
        ParameterSetParse file = parseParameterSet(fileBytes(exported));
        QVERIFY2(file.set, qPrintable(file.error));
        // Byte for byte the reviewed file of a factory-fresh drive, its time aside.
        const QByteArray factory =
            fileBytes(QStringLiteral(ZENTRIO_TEST_DATA_DIR "/factory_qj30.yaml"));
        file.set->time = parseParameterSet(factory).set.value().time;
        QCOMPARE(parameterSetToYaml(*file.set), factory);
        QVERIFY(QDir(dir.path()).entryList(QDir::Files).size() == 1);  // no temporary left

        // Drive 0 changed by hand, drive 1 throughout: an import restores exactly the ticked rows.
        const std::vector<uint8_t> b40{40};
        const uint32_t f2 = 0x40000000, half = 0x3F000000, seven = 7;
        QCOMPARE(master->writeParameter(0, 8, b40.data()), kParamOk);
        QCOMPARE(master->writeParameter(0, 2, &f2), kParamOk);
        for (int id : {8, 9, 28, 31})
            QCOMPARE(master->writeParameter(1, id, id == 28 ? &half : &seven), kParamOk);
        QVERIFY(runJob([this] { sets->importSet(0); }, exported) && dialog() &&
                dialog()->isVisible());
        click("pushButton_tickDiffering");  // 2 and 8; identity rows take no tick
        compareSnapshot(u"import_compare"_s, dialog());
        QVERIFY(runJob([this] { click("pushButton_write"); }));
        QCOMPARE(chain->parameter(1, 8), std::vector<uint8_t>{20});
        QCOMPARE(chain->parameter(1, 2), chain->parameter(2, 2));  // both at the default again
        QCOMPARE(dialog()->differingRows(), 0);
        QVERIFY(log.contains(QStringLiteral("Set \"%1\": 20").arg(paramTable().value(8).name)));

        sets->compareDrives();  // drive 0 against drive 1 at first
        QVERIFY(runJob([this] { click("pushButton_compare"); }) && dialog()->differingRows() == 4);
        QCOMPARE(table()->rowCount(), parameterSetIds().size() + 3);
        dialog()->close();
        QVERIFY(runJob([this] { sets->importSet(1); }, exported) && dialog()->differingRows() == 4);
        click("pushButton_tickDiffering");
        QVERIFY(runJob([this] { click("pushButton_write"); }) && dialog()->differingRows() == 0);
        dialog()->close();  // the rows read back from drive 1 as the file has them

        // A bad file and a declined file for another product: nothing written, no table.
        const auto before = chain->parameter(1, 8);
        const QString bad = path("bad.yaml"), foreign = path("foreign.yaml");
        QVERIFY(writeFile(bad, "product_type: QJ30\nparameters:\n  - id: 8\n    value: 300\n"));
        QVERIFY(writeFile(foreign, "product_type: QJ40\nparameters:\n  - id: 8\n    value: 255\n"));
        boxes.clear();
        nextFile = bad;
        sets->importSet(0);
        QTRY_COMPARE(boxes.size(), 1);
        QVERIFY2(boxes[0].contains(QStringLiteral("line 4: parameter 8")), qPrintable(boxes[0]));
        answer = QMessageBox::No;
        QVERIFY(runJob([this] { sets->importSet(0); }, foreign));
        QTRY_COMPARE(boxes.size(), 2);
        QVERIFY(boxes[1].contains(QStringLiteral("QJ40")) && !dialog()->isVisible());
        QCOMPARE(chain->parameter(1, 8), before);
        sets->exportSet(2);  // one past the last drive
        QCOMPARE(boxes.last(), QStringLiteral("Export parameters|No drive 2 on the bus."));
        answer = QMessageBox::Yes;
        // The earlier file's table went before the declined one was read: nothing left to write.
        QCOMPARE(table()->rowCount(), 0);

        // A write the gate refuses sends nothing; a bus changed since the read takes the table.
        QCOMPARE(master->writeParameter(0, 8, b40.data()), kParamOk);
        QVERIFY(runJob([this] { sets->importSet(0); }, exported));
        click("pushButton_tickDiffering");
        QCOMPARE(dialog()->tickedIds(), QList<int>({8}));
        bool gateAsked = false;
        sets->setWriteGate([&gateAsked] { return !(gateAsked = true); });
        click("pushButton_write");
        QVERIFY(gateAsked && !sets->busy());
        sets->setWriteGate(nullptr);
        sets->busChanged();
        QCOMPARE(table()->rowCount(), 0);
        click("pushButton_write");
        QVERIFY(!sets->busy() && chain->parameter(1, 8) == b40);
    }

    void refusedParametersAreLeftOutAndNamed() {
        for (const uint8_t sub : {9, 10})  // parameters 8 and 9 of drive 0, both ways
            QVERIFY(chain->refuseSdo(1, 0x6101, sub, 0x08000022));  // to the end
        const QString names = u"8 %1, 9 %2"_s.arg(paramDisplayName(8), paramDisplayName(9));
        log.clear(), boxes.clear();
        QVERIFY(runJob([this] { sets->exportSet(0); }, path("part.yaml")));
        const auto part = parseParameterSet(fileBytes(path("part.yaml"))).set;
        QVERIFY(part && part->values.size() == parameterSetIds().size() - 2);
        QVERIFY(runJob([this] { sets->importSet(0); }, path("drive0.yaml")));
        QVERIFY(runJob([this] { click("pushButton_tickDiffering"), click("pushButton_write"); }));
        QCOMPARE((boxes + log.filter(names)).replaceInStrings(names, u"<8, 9>"_s),
                 QStringList({u"Export parameters|These parameters could not be read and are not "
                              u"in the file:\n<8, 9>"_s,
                              u"Import parameters|Drive 0 does not hold these values as "
                              u"written:\n<8, 9>"_s,
                              u"Not readable, left out of the file: <8, 9>"_s,
                              u"Not readable, shown empty: <8, 9>"_s,
                              u"Import into drive 0: not taken: <8, 9>"_s}));
    }
};

QTEST_MAIN(TestParameterSets)
#include "tst_parametersets.moc"
