// The GUI thread's share of a core while the console runs 20 simulated drives with the drive
// overview open and both plots running (offscreen, or on a display); and the points the plots
// gathered, which must not fall when the records reach the window differently.
//
//   gui_bench [--seconds S] [--drives N]
//
// Runs from the project folder (state_config.yaml). The thread's CPU time comes from
// CLOCK_THREAD_CPUTIME_ID, read on the GUI thread itself.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <cstdio>
#include <cstring>
#include <ctime>

#include "ecmaster.h"
#include "kivcustomplot.h"
#include "mainwindow.h"
#include "sim/virtual_link.h"

namespace {

double threadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

int plotPoints(const MainWindow& window, const char* name) {
    const auto* plot = window.findChild<KivCustomPlot*>(QString::fromLatin1(name));
    return plot != nullptr && plot->graphCount() > 0 ? plot->graph(0)->dataCount() : 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");  // under Xvfb, QT_QPA_PLATFORM=xcb draws for real
    }
    int seconds = 20;
    int drives = 20;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--seconds") == 0) {
            seconds = std::max(1, std::atoi(argv[i + 1]));
        } else if (std::strcmp(argv[i], "--drives") == 0) {
            drives = std::max(1, std::atoi(argv[i + 1]));
        }
    }
    QApplication app(argc, argv);
    QTemporaryDir settings;
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
    QDir::setCurrent(QStringLiteral(ZENTRIO_SOURCE_DIR));
    sim::ChainConfig config = sim::ChainConfig::drives(drives);
    for (sim::SlaveConfig& slave : config.slaves) {
        slave.smWatchdogTicks = 20000;  // a loaded 2-core host must not lose a drive to a stall
    }
    sim::registerSimulatedAdapter(config);

    MainWindow window;
    auto* adapters = window.findChild<QComboBox*>(QStringLiteral("comboBox_item"));
    adapters->setCurrentIndex(
        adapters->findText(QStringLiteral("Simulated drive chain (%1 drives)").arg(drives)));
    auto* connectButton = window.findChild<QAbstractButton*>(QStringLiteral("pushButton_connect"));
    connectButton->click();
    if (!QTest::qWaitFor([&] { return connectButton->text() == QStringLiteral("Disconnect"); },
                         20000)) {
        std::fprintf(stderr, "bring-up of %d drives failed\n", drives);
        return 1;
    }
    window.findChild<QAction*>(QStringLiteral("actionDriveOverview"))->trigger();
    window.findChild<QAbstractButton*>(QStringLiteral("pushButton_plot_para"))->click();
    window.findChild<QAbstractButton*>(QStringLiteral("pushButton_plot_temp"))->click();
    QTest::qWait(1000);  // past the first replots

    const int pointsBefore = plotPoints(window, "plot_para");
    const uint64_t cyclesBefore = window.busMaster()->busFigures().cycles;
    QElapsedTimer wall;
    wall.start();
    const double cpuBefore = threadCpuSeconds();
    QTest::qWait(seconds * 1000);
    const double cpu = threadCpuSeconds() - cpuBefore;
    const double elapsed = static_cast<double>(wall.nsecsElapsed()) / 1e9;
    const uint64_t cycles = window.busMaster()->busFigures().cycles - cyclesBefore;
    const int points = plotPoints(window, "plot_para") - pointsBefore;

    std::printf("%d drives, overview and both plots, %.1f s offscreen\n", drives, elapsed);
    std::printf("%-14s %10s %10s %12s %12s\n", "", "cycles", "GUI cpu s", "GUI % core",
                "plot points");
    std::printf("%-14s %10llu %10.2f %12.1f %12d\n", "console",
                static_cast<unsigned long long>(cycles), cpu, 100.0 * cpu / elapsed, points);
    std::printf("(one point per 52 cycles expected: %.0f)\n", static_cast<double>(cycles) / 52.0);

    window.findChild<QAbstractButton*>(QStringLiteral("pushButton_plot_para"))->click();
    window.findChild<QAbstractButton*>(QStringLiteral("pushButton_plot_temp"))->click();
    connectButton->click();
    return QTest::qWaitFor([&] { return connectButton->text() == QStringLiteral("Connect"); },
                           10000)
               ? 0
               : 1;
}
