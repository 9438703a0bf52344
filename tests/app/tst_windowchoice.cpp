#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "ecmaster.h"
#include "factorywindow.h"
#include "mainwindow.h"
#include "simulatedbus.h"
#include "startupoptions.h"
#include "windowchoice.h"

// Start-up decisions: which main window the marker file selects, and the command line.
class TestWindowChoice : public QObject {
    Q_OBJECT

    QTemporaryDir settingsDir;
    bool resultDirExisted = false;

    static QString resultDir() { return QCoreApplication::applicationDirPath() + "/result"; }

    static QStringList adapterNames() {
        QStringList names;
        ecmaster master;
        master.listAdapters();
        for (const auto& adapter : master.adapters) {
            names << adapter.second;
        }
        return names;
    }

private slots:
    void initTestCase() {
        // The operator console reads the remembered adapter; keep the user's store out of it.
        QVERIFY(settingsDir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
        resultDirExisted = QFileInfo::exists(resultDir());
    }
    void cleanupTestCase() {
        // The operator console makes sure its result directory exists beside the executable.
        if (!resultDirExisted) {
            QDir(resultDir()).removeRecursively();
        }
    }

    void markerSelectsFactoryWindow_data() {
        QTest::addColumn<bool>("makeConfigDir");
        QTest::addColumn<bool>("makeMarker");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("factory");
        QTest::newRow("nothing") << false << false << QByteArray() << false;
        QTest::newRow("config dir without marker") << true << false << QByteArray() << false;
        QTest::newRow("empty marker") << true << true << QByteArray() << true;
        QTest::newRow("marker with text") << true << true << QByteArray("operator\n") << true;
    }
    void markerSelectsFactoryWindow() {
        QFETCH(bool, makeConfigDir);
        QFETCH(bool, makeMarker);
        QFETCH(QByteArray, content);
        QFETCH(bool, factory);
        QTemporaryDir appDir;
        QVERIFY(appDir.isValid());
        if (makeConfigDir) {
            QVERIFY(QDir(appDir.path()).mkpath(QStringLiteral("config")));
            // A file of another name next to the marker does not count.
            QFile other(appDir.filePath(QStringLiteral("config/mode.txt.bak")));
            QVERIFY(other.open(QIODevice::WriteOnly));
        }
        if (makeMarker) {
            QFile marker(appDir.filePath(QStringLiteral("config/mode.txt")));
            QVERIFY(marker.open(QIODevice::WriteOnly));
            QCOMPARE(marker.write(content), content.size());
        }

        QCOMPARE(factoryMarkerPresent(appDir.path()), factory);
        const std::unique_ptr<QMainWindow> window = createMainWindow(appDir.path());
        QVERIFY(window);
        QVERIFY(window->parent() == nullptr);
        QCOMPARE(qobject_cast<FactoryWindow*>(window.get()) != nullptr, factory);
        QCOMPARE(qobject_cast<MainWindow*>(window.get()) != nullptr, !factory);
        QCOMPARE(window->windowTitle(),
                 factory ? QStringLiteral("Zentrio") : QStringLiteral("Zentrio v0.0.9"));
    }

    void simulateOption_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("simulate");
        QTest::addColumn<int>("drives");
        QTest::newRow("no options") << QStringList{"zentrio"} << false << 0;
        QTest::newRow("bare switch")
            << QStringList{"zentrio", "--simulate"} << true << kDefaultSimulatedDrives;
        QTest::newRow("with count") << QStringList{"zentrio", "--simulate", "4"} << true << 4;
        QTest::newRow("with equals") << QStringList{"zentrio", "--simulate=7"} << true << 7;
        QTest::newRow("bare before another option")
            << QStringList{"zentrio", "--simulate", "--verbose"} << true << kDefaultSimulatedDrives;
        QTest::newRow("unknown option ignored")
            << QStringList{"zentrio", "--bogus", "--simulate", "3", "stray"} << true << 3;
        QTest::newRow("count not a number")
            << QStringList{"zentrio", "--simulate", "many"} << false << 0;
        QTest::newRow("zero drives") << QStringList{"zentrio", "--simulate", "0"} << false << 0;
    }
    void simulateOption() {
        QFETCH(QStringList, args);
        QFETCH(bool, simulate);
        QFETCH(int, drives);
        const StartupOptions options = parseStartupOptions(args);
        QCOMPARE(options.simulate, simulate);
        QCOMPARE(options.simulatedDrives, drives);
    }

    // Without the option only the machine's interfaces are offered; with it the simulated chain
    // comes first. (In this order: a registration lasts for the rest of the process.)
    void simulatedBusOnlyWhenAsked() {
        QVERIFY(startSimulatedBus(parseStartupOptions({"zentrio"})) == nullptr);
        QVERIFY(adapterNames().filter(QStringLiteral("sim:")).isEmpty());

        const auto chain = startSimulatedBus(parseStartupOptions({"zentrio", "--simulate", "4"}));
        QVERIFY(chain != nullptr);
        const QStringList names = adapterNames();
        QVERIFY(!names.isEmpty());
        QCOMPARE(names.first(), QStringLiteral("sim:4"));
        QCOMPARE(names.filter(QStringLiteral("sim:")).size(), 1);

        // The console's selector shows it first, selected.
        const std::unique_ptr<QMainWindow> window = createMainWindow(settingsDir.path());
        auto* selector = window->findChild<QComboBox*>(QStringLiteral("comboBox_item"));
        QVERIFY(selector);
        QCOMPARE(selector->currentText(), QStringLiteral("Simulated drive chain (4 drives)"));
    }
};

QTEST_MAIN(TestWindowChoice)
#include "tst_windowchoice.moc"
