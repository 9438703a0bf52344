// The GUI thread's share of a core while the console runs 20 simulated drives with the drive
// overview open and both plots running (offscreen, or on a display); and the points the plots
// gathered, which must not fall when the records reach the window differently.
//
// With --scenario scope: the console connected, nothing else open, then the scope window with 16
// channels spread over the drives rolling (continuous mode, a record length of --length s); the
// GUI thread's share of a core for each, the scope's redraws, and the frames the master's recorder
// turned away while the window rolled (target: at most 15 % of a core, no frame lost).
//
//   gui_bench [--seconds S] [--drives N] [--scenario plots|scope] [--length S]
//
// Runs from the project folder (state_config.yaml). The thread's CPU time comes from
// CLOCK_THREAD_CPUTIME_ID, read on the GUI thread itself.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "ecmaster.h"
#include "kivcustomplot.h"
#include "mainwindow.h"
#include "scopewindow.h"
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

// The GUI thread's CPU seconds and the wall seconds of `ms` of event processing.
std::pair<double, double> measure(int ms) {
    QElapsedTimer wall;
    wall.start();
    const double cpuBefore = threadCpuSeconds();
    QTest::qWait(ms);
    return {threadCpuSeconds() - cpuBefore, static_cast<double>(wall.nsecsElapsed()) / 1e9};
}

// The console connected alone, then with the scope rolling 16 channels over the drives.
int scopeScenario(MainWindow& window, int seconds, int drives, double length) {
    const auto [idleCpu, idleWall] = measure(std::min(seconds, 10) * 1000);

    window.findChild<QAction*>(QStringLiteral("actionScope"))->trigger();
    auto* scope = window.findChild<ScopeWindow*>();
    scope->resize(1400, 900);
    constexpr scope::Signal kSignals[] = {scope::Signal::Position, scope::Signal::Velocity,
                                          scope::Signal::Torque, scope::Signal::StatusWord};
    for (int c = 0; c < scope::kMaxChannels; ++c) {
        scope::ChannelDef channel;
        channel.drive = c * drives / scope::kMaxChannels;
        channel.signal = kSignals[c % std::size(kSignals)];
        channel.colour = 0xFF000000u | (0x1F77B4u * static_cast<uint32_t>(c + 1) & 0xFFFFFFu);
        scope->tool()->addChannel(channel);
    }
    scope->findChild<QComboBox*>(QStringLiteral("comboBox_mode"))
        ->setCurrentIndex(static_cast<int>(scope::TriggerMode::Continuous));
    scope->findChild<QDoubleSpinBox*>(QStringLiteral("doubleSpinBox_length"))->setValue(length);
    QTest::qWait(200);  // the table follows the channels
    scope->findChild<QAbstractButton*>(QStringLiteral("pushButton_run"))->click();
    if (!scope->tool()->running()) {
        std::fprintf(stderr, "the scope did not start\n");
        return 1;
    }
    int redraws = 0;
    QObject::connect(scope->tool(), &ScopeTool::liveSnapshot, scope, [&redraws] { ++redraws; });
    QTest::qWait(std::max(1000, static_cast<int>(length * 1000)));  // the history filled once

    const scope::Recorder& recorder = window.busMaster()->scope();
    const uint64_t lostBefore = recorder.framesTurnedAway();
    const uint64_t cyclesBefore = window.busMaster()->busFigures().cycles;
    redraws = 0;
    const auto [cpu, elapsed] = measure(seconds * 1000);
    const uint64_t lost = recorder.framesTurnedAway() - lostBefore;
    const uint64_t cycles = window.busMaster()->busFigures().cycles - cyclesBefore;
    const bool running = scope->tool()->running();
    const int liveRedraws = redraws;
    scope->findChild<QAbstractButton*>(QStringLiteral("pushButton_stop"))->click();

    // Where a redraw's time goes: a roll view's worth of samples handed to the window as the tool
    // hands it, and the plot's replot alone.
    scope::Recording roll(scope->tool()->channels(), 0.002);
    const size_t samples = static_cast<size_t>(length / 0.002);
    std::array<float, scope::kMaxChannels> values{};
    for (size_t i = 0; i < samples; ++i) {
        for (size_t c = 0; c < values.size(); ++c) {
            values[c] = static_cast<float>(std::sin(static_cast<double>(i + c * 50) * 0.01));
        }
        roll.append(i, static_cast<int64_t>(i) * 2000000, values.data());
    }
    auto snapshot = std::make_shared<const scope::Recording>(std::move(roll));
    constexpr int kRepeats = 20;
    const auto cpuPer = [](const auto& what) {
        const double before = threadCpuSeconds();
        for (int i = 0; i < kRepeats; ++i) {
            what();
        }
        return (threadCpuSeconds() - before) * 1000 / kRepeats;
    };
    const double redrawMs = cpuPer([&] { emit scope->tool()->liveSnapshot(snapshot); });
    QCustomPlot* plot = scope->findChild<QCustomPlot*>(QStringLiteral("plot"));
    const double replotMs = cpuPer([&] { plot->replot(); });

    std::printf("%d drives, scope of %d channels rolling %.1f s, %.1f s on %s\n", drives,
                scope::kMaxChannels, length, elapsed, qPrintable(QGuiApplication::platformName()));
    std::printf("%-14s %10s %10s %12s %10s %12s\n", "", "cycles", "GUI cpu s", "GUI % core",
                "redraws", "frames lost");
    std::printf("%-14s %10s %10.2f %12.1f %10s %12s\n", "console", "", idleCpu,
                100.0 * idleCpu / idleWall, "", "");
    std::printf("%-14s %10llu %10.2f %12.1f %10d %12llu%s\n", "console+scope",
                static_cast<unsigned long long>(cycles), cpu, 100.0 * cpu / elapsed, liveRedraws,
                static_cast<unsigned long long>(lost), running ? "" : " (the scope stopped)");
    std::printf("one redraw of %zu samples: %.1f ms cpu, of which the replot alone %.1f ms\n",
                samples, redrawMs, replotMs);
    return running ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");  // under Xvfb, QT_QPA_PLATFORM=xcb draws for real
    }
    int seconds = 20;
    int drives = 20;
    double length = 10;
    bool scopeRun = false;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--seconds") == 0) {
            seconds = std::max(1, std::atoi(argv[i + 1]));
        } else if (std::strcmp(argv[i], "--drives") == 0) {
            drives = std::max(1, std::atoi(argv[i + 1]));
        } else if (std::strcmp(argv[i], "--length") == 0) {
            length = std::clamp(std::atof(argv[i + 1]), 0.1, 600.0);
        } else if (std::strcmp(argv[i], "--scenario") == 0) {
            scopeRun = std::strcmp(argv[i + 1], "scope") == 0;
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
    if (scopeRun) {
        const int result = scopeScenario(window, seconds, drives, length);
        connectButton->click();
        const bool down = QTest::qWaitFor(
            [&] { return connectButton->text() == QStringLiteral("Connect"); }, 10000);
        return down ? result : 1;
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
