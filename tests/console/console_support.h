// Shared pieces of the console's tests: a sandboxed settings store, the log pane read back as
// messages, a helper that answers modal dialogs from the event loop, and the fixture of the tests
// that drive a window on a simulated chain.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDebug>
#include <QDialog>
#include <QDir>
#include <QMutexLocker>
#include <QPlainTextEdit>
#include <QPointer>
#include <QRegularExpression>
#include <QSettings>
#include <QStringList>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <deque>
#include <functional>
#include <memory>
#include <utility>

#include "ecmaster.h"
#include "mainwindow.h"
#include "sim/chain.h"
#include "sim/config.h"

namespace consoletest {

// Points the user-scope settings at a temporary directory, so no test reads or writes the
// settings of the person running it. Call before the first window is created.
inline void sandboxSettings(const QTemporaryDir& dir) {
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
}

inline QSettings consoleSettings() {
    return QSettings(QLatin1String(kSettingsOrganisation), QLatin1String(kSettingsApplication));
}

// "hh:mm:ss: " in front of every line of the pane and the running log.
inline const QRegularExpression& linePrefix() {
    static const QRegularExpression re(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d: "));
    return re;
}

inline QPlainTextEdit* logPane(const MainWindow& window) {
    return window.findChild<QPlainTextEdit*>(QStringLiteral("textBrowserLogs"));
}

// The pane's lines without their time prefix.
inline QStringList paneMessages(const MainWindow& window) {
    QStringList messages;
    const QStringList lines = logPane(window)->toPlainText().split(u'\n');
    for (const QString& line : lines) {
        const auto match = linePrefix().match(line);
        messages << (match.hasMatch() ? line.mid(match.capturedLength()) : line);
    }
    return messages;
}

// Answers modal dialogs one after the other as they open: each handler gets the active modal
// widget and must close it. A dialog without a handler stays open, and the test fails on its own
// checks.
class ModalAnswerer : public QObject {
public:
    using Handler = std::function<void(QWidget*)>;

    explicit ModalAnswerer(QObject* parent = nullptr) : QObject(parent) {
        timer.setInterval(20);
        connect(&timer, &QTimer::timeout, this, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal == nullptr || !modal->isVisible()) {
                return;
            }
            if (modal == lastAnswered) {
                // A handler that failed half-way leaves its dialog open; close it so the test
                // reports the failure instead of hanging.
                if (++stuckTicks > 50) {
                    if (auto* dialog = qobject_cast<QDialog*>(modal)) {
                        dialog->reject();
                    }
                }
                return;
            }
            if (handlers.empty()) {
                return;
            }
            lastAnswered = modal;
            stuckTicks = 0;
            Handler handler = std::move(handlers.front());
            handlers.pop_front();
            handler(modal);
        });
        timer.start();
    }

    void then(Handler handler) { handlers.push_back(std::move(handler)); }
    bool allAnswered() const { return handlers.empty(); }

private:
    QTimer timer;
    std::deque<Handler> handlers;
    QPointer<QWidget> lastAnswered;
    int stuckTicks = 0;
};

// How long a bring-up, an enable or a disable on a simulated chain may take in a loaded test run.
inline constexpr int kBusTimeoutMs = 30000;

// The drives of the console's tests. The test process shares two cores with the rest of the suite
// and can stall for longer than a real master ever would; such a hiccup must not trip the drives'
// SM watchdog in the middle of a test, so it allows 2 s here instead of 100 ms. The watchdog itself
// is tested with the simulator.
inline sim::ChainConfig chainConfig(int drives) {
    constexpr uint16_t kTwoSecondsOfTicks = 20000;
    sim::ChainConfig config = sim::ChainConfig::drives(drives);
    for (sim::SlaveConfig& slave : config.slaves) {
        slave.smWatchdogTicks = kTwoSecondsOfTicks;
    }
    return config;
}

// The command record of a drive as the cycle sends it, by drive index.
inline App_SetValue commandRecord(const MainWindow& window, int driveIndex) {
    ecmaster* m = window.busMaster();
    const QMutexLocker lock(&m->pdMutex);
    return m->commands[static_cast<size_t>(m->validDrives.at(driveIndex))];
}

// Clicks a button and waits until its text reads `text` (the end of a pool operation).
inline bool clickAndWait(const MainWindow& window, const QString& name, const QString& text) {
    auto* b = window.findChild<QAbstractButton*>(name);
    b->click();
    return QTest::qWaitFor([b, text] { return b->text() == text; }, kBusTimeoutMs);
}

// Selects the adapter shown as `adapter` and connects; true once the bus is up.
inline bool connectTo(const MainWindow& window, const QString& adapter) {
    auto* adapters = window.findChild<QComboBox*>(QStringLiteral("comboBox_item"));
    adapters->setCurrentIndex(adapters->findText(adapter));
    return clickAndWait(window, QStringLiteral("pushButton_connect"), QStringLiteral("Disconnect"));
}

// The fixture of the tests that drive a window on a simulated chain: the sandboxed settings, the
// chain, the window and the finders and actions the tests share. A test class derives from it and
// keeps its own slots; `adapter` is the chain connectBus() selects.
class WindowFixture : public QObject {
protected:
    explicit WindowFixture(QString adapterName = QString()) : adapter(std::move(adapterName)) {}

    QTemporaryDir settingsDir;
    std::shared_ptr<sim::Chain> chain;
    std::unique_ptr<MainWindow> window;
    const QString adapter;

    template <typename T>
    T* child(const char* name) const {
        return window->findChild<T*>(QLatin1String(name));
    }
    QAbstractButton* button(const char* name) const { return child<QAbstractButton>(name); }
    QAbstractButton* connectButton() const { return button("pushButton_connect"); }
    QAbstractButton* enableButton() const { return button("pushButton_enable"); }
    bool logged(const QString& message) const { return paneMessages(*window).contains(message); }
    // A running procedure locks the tabs.
    bool locked() const { return !child<QTabWidget>("tabWidget")->tabBar()->isEnabled(); }

    App_SetValue command(int driveIndex) const { return commandRecord(*window, driveIndex); }

    void selectDrive(int index) {
        child<QComboBox>("comboBox_index")->setCurrentIndex(index);
        QCOMPARE(window->motorIndex(), index);
    }

    bool connectBus() { return connectTo(*window, adapter); }
    bool clickAndWait(const char* name, const char* text) {
        return consoletest::clickAndWait(*window, QLatin1String(name), QLatin1String(text));
    }

    // Leaves the selected drive disabled for the next window, then closes this one. After a
    // failed check the window's log goes to the test output: what the bus and the drives did is
    // often the only clue to a failure seen on another machine.
    void closeWindow() {
        if (QTest::currentTestFailed()) {
            qWarning().noquote() << "Log pane of the failed test:\n"
                                 << logPane(*window)->toPlainText();
        }
        if (window->busMaster()->enabled) {
            window->busMaster()->disableDrive(window->motorIndex());
        }
        window.reset();
    }
};

}  // namespace consoletest
