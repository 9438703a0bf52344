// The console tests' fixture: sandboxed settings, modal dialogs answered, a window on a chain.
#pragma once

#include <QtTest>
#include <QtWidgets>

#include <deque>
#include <functional>
#include <memory>

#include "../filebytes.h"
#include "../snapshot.h"
#include "ecmaster.h"
#include "mainwindow.h"
#include "sim/chain.h"
#include "sim/cia402_drive.h"
#include "sim/config.h"
#include "sim/virtual_link.h"

using namespace Qt::StringLiterals;

namespace consoletest {

// A bring-up, enable, disable or parameter run in a loaded test run.
inline constexpr int kBusTimeoutMs = 60000;

inline QSettings consoleSettings() {
    return QSettings(QLatin1String(kSettingsOrganisation), QLatin1String(kSettingsApplication));
}

// A loaded test process stalls longer than a real master: the SM watchdog allows 2 s, not 100 ms.
inline sim::ChainConfig chainConfig(int drives) {
    sim::ChainConfig config = sim::ChainConfig::drives(drives);
    for (sim::SlaveConfig& slave : config.slaves)
        slave.smWatchdogTicks = 20000;
    return config;
}

// Answers modal dialogs in order by type; progress dialogs left alone, strays closed in time.
class ModalAnswerer : public QObject {
public:
    ModalAnswerer() {
        connect(&timer, &QTimer::timeout, this, [this] { tick(); });
        timer.start(20);
    }
    template <typename T>
    void then(std::function<void(T*)> handler) {
        steps.push_back([handler](QWidget* w) {
            return qobject_cast<T*>(w) != nullptr && (handler(qobject_cast<T*>(w)), true);
        });
    }
    // Records "icon|title|text" and presses `answer` (else the first button).
    void thenBox(QMessageBox::StandardButton answer = QMessageBox::NoButton) {
        then<QMessageBox>([this, answer](QMessageBox* box) {
            boxes << u"%1|%2|%3"_s.arg(box->icon()).arg(box->windowTitle(), box->text());
            (answer == QMessageBox::NoButton ? box->buttons().first() : box->button(answer))
                ->click();
        });
    }
    // Types `path` into a file dialog, or cancels it when empty; notes its kind, S(ave) or O(pen).
    void thenFile(const QString& path) {
        then<QFileDialog>([this, path](QFileDialog* dialog) {
            fileKinds += dialog->acceptMode() == QFileDialog::AcceptSave ? u'S' : u'O';
            if (path.isEmpty())
                return dialog->reject();
            dialog->findChild<QLineEdit*>(u"fileNameEdit"_s)->setText(path);
            static_cast<QDialog*>(dialog)->accept();
        });
    }
    bool done() const { return steps.empty(); }

    QStringList boxes;
    QString fileKinds;

private:
    void tick() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->isVisible() || modal == answered ||
            qobject_cast<QProgressDialog*>(modal) != nullptr)
            return;
        if (!steps.empty() && steps.front()(modal)) {
            steps.pop_front();
            answered = modal;
            stuck = 0;
        } else if (++stuck > 100) {
            stuck = 0;
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->done(QDialog::Rejected);
        }
    }

    QTimer timer;
    std::deque<std::function<bool(QWidget*)>> steps;
    QPointer<QWidget> answered;
    int stuck = 0;
};

inline QString boxText(QMessageBox::Icon icon, const char* title, const char* text) {
    return u"%1|%2|%3"_s.arg(icon).arg(QString::fromUtf8(title), QString::fromUtf8(text));
}

// The window, its finders and shared actions; `chain` is what connectBus() selects by `adapter`.
class WindowFixture : public QObject {
protected:
    QTemporaryDir settingsDir;
    std::shared_ptr<sim::Chain> chain;
    std::unique_ptr<MainWindow> window;
    QString adapter;

    // Settings in a folder of the test's own; the word definitions in the working directory.
    void sandbox() {
        QVERIFY(settingsDir.isValid());
        QSettings::setDefaultFormat(QSettings::IniFormat);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir.path());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
        QVERIFY(QDir::setCurrent(QStringLiteral(ZENTRIO_SOURCE_DIR)));
    }
    void startOnChain(int drives) {
        sandbox();
        chain = sim::registerSimulatedAdapter(chainConfig(drives));
        adapter = u"Simulated drive chain (%1 drives)"_s.arg(drives);
    }

    template <typename T = QWidget>
    T* child(QAnyStringView name) const {
        return window->findChild<T*>(name.toString());
    }
    QAbstractButton* button(QAnyStringView name) const { return child<QAbstractButton>(name); }
    void click(QAnyStringView name) const { button(name)->click(); }
    QAbstractButton* connectButton() const { return button("pushButton_connect"); }
    QAbstractButton* enableButton() const { return button("pushButton_enable"); }
    QComboBox* combo(const char* name) const { return child<QComboBox>(name); }
    double value(const char* name) const { return child<QDoubleSpinBox>(name)->value(); }
    void setValue(const char* name, double v) { child<QDoubleSpinBox>(name)->setValue(v); }
    QAction* action(const char* name) const { return window->findChild<QAction*>(name); }
    ecmaster* master() const { return window->busMaster(); }

    // The pane's lines without their "hh:mm:ss: " prefix.
    QStringList messages() const {
        static const QRegularExpression prefix(u"^\\d\\d:\\d\\d:\\d\\d: "_s);
        QStringList out = child<QPlainTextEdit>("textBrowserLogs")->toPlainText().split(u'\n');
        for (QString& line : out)
            line.remove(prefix);
        return out;
    }
    bool logged(const QString& message) const { return messages().contains(message); }
    qsizetype loggedCount(const QString& message) const { return messages().count(message); }
    bool locked() const { return !child<QTabWidget>(u"tabWidget"_s)->tabBar()->isEnabled(); }
    int state() const { return window->consoleState(); }

    // The command record the cycle sends to drive `driveIndex`.
    App_SetValue command(int driveIndex) const {
        return master()->commandRecord(master()->validDriveList().at(driveIndex));
    }
    // What a drive (1-based position) last took from the cycle.
    uint16_t controlWordAtDrive(int p) const { return chain->drive(p)->lastControlWord(); }
    sim::Cia402State stateAtDrive(int position) const { return chain->joint(position)->state; }

    void selectDrive(int index) {
        combo("comboBox_index")->setCurrentIndex(index);
        QCOMPARE(window->motorIndex(), index);
    }
    static bool waitText(QAbstractButton* b, const char* text, int ms = kBusTimeoutMs) {
        return QTest::qWaitFor([b, text] { return b->text() == QString::fromUtf8(text); }, ms);
    }
    static bool waitFor(const std::function<bool()>& condition) {
        return QTest::qWaitFor(condition, kBusTimeoutMs);
    }
    bool waitLogged(const QString& message) const {
        return waitFor([this, message] { return logged(message); });
    }
    bool clickAndWait(const char* name, const char* text) {
        click(name);
        return waitText(button(name), text);
    }
    // Answers the firmware flow: file, password typed over the pre-filled "0", the boxes.
    void upgrade(ModalAnswerer& answerer, const QString& path, const QString& password, int boxes) {
        answerer.thenFile(path);
        answerer.then<QInputDialog>([password](QInputDialog* dialog) {
            auto* field = dialog->findChild<QLineEdit*>();
            QCOMPARE(field->text(), u"0"_s);
            field->clear();
            QTest::keyClicks(field, password);
            dialog->accept();
        });
        // A password taken: the confirmation names the target drive, answered Yes.
        if (boxes == 1)
            answerer.thenBox(QMessageBox::Yes);
        for (int i = 0; i < boxes; ++i)
            answerer.thenBox();
        click("pushButton_Upgrade");
        QVERIFY(waitFor([&answerer] { return answerer.done(); }));
    }
    // Types `v` into the setpoint box of `field` ("velocity", "Kp", ...) and sends it.
    void send(const std::string& field, double v) {
        setValue(("doubleSpinBox_" + field).c_str(), v);
        click(("pushButton_" + field).c_str());
    }
    // Selects the adapter shown as `desc` (default: the fixture's) and connects.
    bool connectBus(const QString& desc = QString()) {
        QComboBox* adapters = combo("comboBox_item");
        adapters->setCurrentIndex(adapters->findText(desc.isEmpty() ? adapter : desc));
        // Connected, and every drive's identity read, so that no test's transfer races it.
        return adapters->currentIndex() >= 0 && clickAndWait("pushButton_connect", "Disconnect") &&
               waitFor([this] { return window->driveIdentitiesRead(); });
    }
    bool openConnected(const QString& desc = QString()) {
        closeWindow();
        window = std::make_unique<MainWindow>();
        return connectBus(desc);
    }
    // Leaves the drives disabled; after a failure the log pane goes to the output.
    void closeWindow() {
        if (window) {
            if (QTest::currentTestFailed())
                qWarning().noquote() << "Log pane of the failed test:\n" << messages().join(u'\n');
            if (master()->isEnabled())
                master()->disableAllDrives();
            window.reset();
            QCOMPARE(chain ? chain->takeRefusals() : std::vector<std::string>{},  // a real slave's
                     std::vector<std::string>{});
        }
    }
};

}  // namespace consoletest
