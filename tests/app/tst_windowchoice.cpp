#include <QtTest>
#include <QtWidgets>

#include "ecmaster.h"
#include "sim/chain.h"
#include "simulatedbus.h"
#include "startupoptions.h"
#include "windowchoice.h"

// Start-up: the window the marker file selects, and the command line offering a simulated chain.
class TestWindowChoice : public QObject {
    Q_OBJECT

    QTemporaryDir settingsDir;

private slots:
    void initTestCase() {
        // The operator console reads the remembered adapter; keep the user's store out of it.
        QVERIFY(settingsDir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    }

    // config/mode.txt, even empty, makes a factory station; the folder alone or another name not.
    void windowAndSimulatedChain() {
        QTemporaryDir appDir;
        QFile other(appDir.filePath(QStringLiteral("config/mode.txt.bak")));
        QVERIFY(QDir(appDir.path()).mkpath("config") && other.open(QIODevice::WriteOnly));
        for (const bool factory : {false, true}) {
            QCOMPARE(factoryMarkerPresent(appDir.path()), factory);
            const std::unique_ptr<QMainWindow> window = createMainWindow(appDir.path());
            QVERIFY(window && window->parent() == nullptr);
            QCOMPARE(window->metaObject()->className(), factory ? "FactoryWindow" : "MainWindow");
            QVERIFY(QFile(appDir.filePath("config/mode.txt")).open(QIODevice::WriteOnly));  // empty
        }

        // "--simulate [drives]": a positive count, the default without one; anything else ignored.
        const int dflt = kDefaultSimulatedDrives;
        // clang-format off
        const std::pair<QStringList, int> rows[] = {{{"zentrio"}, 0},
            {{"zentrio", "--simulate"}, dflt}, {{"zentrio", "--simulate", "4"}, 4},
            {{"zentrio", "--simulate=7"}, 7}, {{"zentrio", "--simulate", "--verbose"}, dflt},
            {{"zentrio", "--bogus", "--simulate", "3", "stray"}, 3},
            {{"zentrio", "--simulate", "many"}, 0}, {{"zentrio", "--simulate", "0"}, 0},
            {{"zentrio", "--simulate", "1"}, 1}};
        // clang-format on
        for (const auto& [args, drives] : rows) {
            const StartupOptions o = parseStartupOptions(args);
            QCOMPARE(std::pair(o.simulate, o.simulatedDrives), std::pair(drives > 0, drives));
        }

        // Only with the option is the chain offered, first and selected (registration lasts).
        const QString chain4 = QStringLiteral("Simulated drive chain (4 drives)");
        QVERIFY(startSimulatedBus(parseStartupOptions({"zentrio"})) == nullptr);
        QVERIFY(!ecmaster().listAdapters().contains(chain4));
        const auto chain = startSimulatedBus(parseStartupOptions({"zentrio", "--simulate", "4"}));
        QVERIFY(chain != nullptr && chain->size() == 4);
        QCOMPARE(ecmaster().listAdapters().value(0), chain4);
        const std::unique_ptr<QMainWindow> window = createMainWindow(settingsDir.path());
        QCOMPARE(window->findChild<QComboBox*>("comboBox_item")->currentText(), chain4);
    }
};

QTEST_MAIN(TestWindowChoice)
#include "tst_windowchoice.moc"
