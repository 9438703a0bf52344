#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <QScopeGuard>

#include <sys/resource.h>

#include <cmath>
#include <csignal>
#include <limits>
#include <memory>

#include "console_support.h"
#include "ecmaster.h"
#include "kivcustomplot.h"
#include "mainwindow.h"
#include "sim/chain.h"
#include "sim/virtual_link.h"

using consoletest::kBusTimeoutMs;
using consoletest::paneMessages;

namespace {

const QString kChainDesc = QStringLiteral("Identification chain (2 drives)");
// Drive 0 identifies for 3 s and then leaves Operation enabled by itself; drive 1 would take
// 50 s, longer than the console waits when its polls are shortened.
constexpr int kQuickDrive = 0;
constexpr int kSlowDrive = 1;
constexpr double kQuickRunS = 3.0;
// Drive 0's joint: heavy enough that the excitation never reaches the speed limit, and a torque
// constant that puts the current's peaks well apart from the velocity's.
constexpr double kQuickInertia = 0.2;
constexpr double kQuickTorqueConstant = 0.25;
// The drive's excitation: the console's 1 N·m command as the torque field carries it.
constexpr double kExcitationNm = 409.0 * 80.0 / 32767.0;

const QString kIdle = QStringLiteral("开始辨识");
const QString kRunning = QStringLiteral("辨识中");
const QString kStarted = QStringLiteral(">>> 开始辨识");
const QString kSucceeded = QStringLiteral(">>> 辨识成功");
const QString kTimedOut = QStringLiteral(">>> 辨识超时，请重启电机并重新连接");
const QString kNoMotorNumber = QStringLiteral("请先输入电机编号，再进行辨识！");

constexpr int kRunTimeoutMs = 60000;

QString resultDir() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/result");
}

QString resultFile(const QString& motor) {
    return resultDir() + QStringLiteral("/identify_") + motor + QStringLiteral(".csv");
}

struct Row {
    float t = 0;
    QString vel;
    QString iq;
};

// The rows of a result file; fails the test on a line that is not "t vel iq".
QList<Row> readRows(const QString& path) {
    QList<Row> rows;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return rows;
    }
    static const QRegularExpression fixed4(QStringLiteral("^-?\\d+\\.\\d{4}$"));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i == lines.size() - 1 && lines[i].isEmpty()) {
            break;  // after the last line feed
        }
        const QStringList fields = lines[i].split(u' ');
        if (fields.size() != 3 || !fixed4.match(fields[0]).hasMatch()) {
            qWarning("bad row %lld: %s", static_cast<long long>(i), qPrintable(lines[i]));
            return {};
        }
        rows.append(Row{fields[0].toFloat(), fields[1], fields[2]});
    }
    return rows;
}

// A value column while the drive identifies: a finite number in fixed notation, 4 decimals.
bool finiteFixed(const QString& field, double& value) {
    static const QRegularExpression fixed4(QStringLiteral("^-?\\d+\\.\\d{4}$"));
    if (!fixed4.match(field).hasMatch()) {
        return false;
    }
    value = field.toDouble();
    return std::isfinite(value);
}

}  // namespace

// Identification on the simulated chain: the refusals before a run, a full run with its result
// file and the parameter plot, the timeout, and the pure helpers behind the file's name and rows.
class TestMainWindowIdentify : public consoletest::WindowFixture {
    Q_OBJECT

public:
    TestMainWindowIdentify() : WindowFixture(kChainDesc) {}

private:
    QAbstractButton* identify() const { return child<QAbstractButton>("button_identify"); }
    QLabel* label() const { return child<QLabel>("label_calibratetime"); }
    QCustomPlot* plot() const { return child<QCustomPlot>("plot_para"); }
    QStringList curveNames() const {
        return {plot()->graph(0)->name(), plot()->graph(1)->name(), plot()->graph(2)->name()};
    }
    int points(int curve) const { return plot()->graph(curve)->data()->size(); }
    // The selected drive's command record.
    App_SetValue command() const { return WindowFixture::command(window->motorIndex()); }

    void enableStill() {
        QVERIFY(clickAndWait("pushButton_enable", "Disable"));
        QCOMPARE(window->consoleState(), static_cast<int>(Enabled));
        // A joint still coasting from a previous run must come to rest first.
        QTRY_COMPARE_WITH_TIMEOUT(child<QDoubleSpinBox>("doubleSpinBox_Velocity")->value(), 0.0,
                                  kBusTimeoutMs);
    }
    // Nothing of a run happened: the console as enable left it.
    void verifyNotStarted() {
        QCOMPARE(identify()->text(), kIdle);
        QCOMPARE(window->consoleState(), static_cast<int>(Enabled));
        QVERIFY(!locked());
        QCOMPARE(curveNames(), (QStringList{"Torque", "Position", "Velocity"}));
        QCOMPARE(child<QComboBox>("comboBox_mode")->currentIndex(), 0);
        QCOMPARE(command().torque, 0.0f);
        QVERIFY(!logged(kStarted));
    }
    // Presses the button with `motor` typed in and answers the question with `answer`, after
    // checking its title, text and buttons.
    void pressAndAnswer(const QString& motor, QMessageBox::StandardButton answer) {
        child<QLineEdit>("lineEdit_motorid")->setText(motor);
        consoletest::ModalAnswerer answerer;
        QString title, text;
        QMessageBox::StandardButtons buttons;
        answerer.then([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box);
            title = box->windowTitle();
            text = box->text();
            buttons = box->standardButtons();
            box->button(answer)->click();
        });
        identify()->click();
        QVERIFY(answerer.allAnswered());
        QCOMPARE(title, QStringLiteral("辨识"));
        QCOMPARE(text, QStringLiteral("请确认电机编号为") + motor +
                           QStringLiteral("。点击Yes开始辨识，结束后文件将保存至:") +
                           resultFile(motor));
        QCOMPARE(buttons, QMessageBox::Yes | QMessageBox::No);
    }
    // Presses the button with `motor` typed in and expects the warning about the motor number.
    void pressAndExpectWarning(const QString& motor) {
        child<QLineEdit>("lineEdit_motorid")->setText(motor);
        consoletest::ModalAnswerer answerer;
        QString title, text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
        answerer.then([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box);
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            buttons = box->standardButtons();
            box->button(QMessageBox::Ok)->click();
        });
        identify()->click();
        QVERIFY(answerer.allAnswered());
        QCOMPARE(title, QStringLiteral("警告"));
        QCOMPARE(text, kNoMotorNumber);
        QCOMPARE(icon, QMessageBox::Information);
        QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    }
    // The end of every run: torque command 0, the drive disabled, the console back to idle.
    void verifyEnded() {
        QCOMPARE(curveNames(), (QStringList{"Torque", "Position", "Velocity"}));
        QCOMPARE(identify()->text(), kIdle);
        QVERIFY(!locked());
        QCOMPARE(command().torque, 0.0f);
        QTRY_COMPARE_WITH_TIMEOUT(enableButton()->text(), QStringLiteral("Enable"), kBusTimeoutMs);
        QCOMPARE(window->consoleState(), static_cast<int>(Connected));
        QVERIFY(!window->busMaster()->enabled);
        QCOMPARE(window->busMaster()->driveStateOf(window->motorIndex()),
                 static_cast<int>(kDriveReadyToSwitchOn));
        QTRY_VERIFY(logged(QStringLiteral("Disable success.")));
    }

private slots:
    void initTestCase() {
        QVERIFY(settingsDir.isValid());
        consoletest::sandboxSettings(settingsDir);
        sim::ChainConfig config = consoletest::chainConfig(2);
        config.slaves[kQuickDrive].identificationDurationNs =
            static_cast<int64_t>(kQuickRunS * 1e9);
        config.slaves[kQuickDrive].joint.inertia = kQuickInertia;
        config.slaves[kQuickDrive].joint.torqueConstant = kQuickTorqueConstant;
        chain = std::make_shared<sim::Chain>(config);
        sim::registerSimulatedAdapter("sim:identify", kChainDesc.toStdString(), chain);
    }
    void init() {
        window = std::make_unique<MainWindow>();
        QVERIFY(connectBus());
    }
    void cleanup() {
        if (identify()->text() == kRunning) {
            window->setProcedurePollInterval(1);
            QTRY_COMPARE_WITH_TIMEOUT(identify()->text(), kIdle, kRunTimeoutMs);
        }
        closeWindow();
    }
    void cleanupTestCase() {
        QDir dir(resultDir());
        for (const QString& name : dir.entryList({QStringLiteral("identify_Zt*")})) {
            QFile::remove(dir.filePath(name));
            QDir(dir.filePath(name)).removeRecursively();
        }
    }

    // The motor number names the result file: only what keeps it inside the result directory.
    void motorNumber_data() {
        QTest::addColumn<QString>("motor");
        QTest::addColumn<bool>("safe");
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("letters, digits, dash, underscore") << QStringLiteral("M-01_a") << true;
        QTest::newRow("one digit") << QStringLiteral("7") << true;
        QTest::newRow("parent directory") << QStringLiteral("../x") << false;
        QTest::newRow("slash") << QStringLiteral("a/b") << false;
        QTest::newRow("backslash") << QStringLiteral("a\\b") << false;
        QTest::newRow("drive letter") << QStringLiteral("C:x") << false;
        QTest::newRow("blank") << QStringLiteral("a b") << false;
        QTest::newRow("leading blank") << QStringLiteral(" a") << false;
        QTest::newRow("dot") << QStringLiteral(".") << false;
        QTest::newRow("dot dot") << QStringLiteral("..") << false;
        QTest::newRow("extension") << QStringLiteral("m1.txt") << false;
        QTest::newRow("line feed") << QStringLiteral("a\nb") << false;
        QTest::newRow("nul") << QString(QChar(u'\0')) << false;
        QTest::newRow("chinese") << QStringLiteral("电机1") << false;
        QTest::newRow("latin letter with accent") << QStringLiteral("moteur_é") << false;
        QTest::newRow("fullwidth letter") << QStringLiteral("ａ1") << false;
        QTest::newRow("longest") << QString(MainWindow::kMaxMotorNumberLength, u'x') << true;
        QTest::newRow("one too long")
            << QString(MainWindow::kMaxMotorNumberLength + 1, u'x') << false;
    }
    void motorNumber() {
        QFETCH(QString, motor);
        QFETCH(bool, safe);
        QCOMPARE(MainWindow::isSafeMotorNumber(motor), safe);
    }

    // Row times from the cycle's nanosecond timestamps, in single precision, and the window of
    // rows kept: above 1 s and below 45 s.
    void rowTime_data() {
        QTest::addColumn<quint64>("origin");
        QTest::addColumn<quint64>("timestamp");
        QTest::addColumn<bool>("kept");
        QTest::addColumn<float>("seconds");
        const quint64 origin = 5'000'000'000ull;
        QTest::newRow("the origin's own sample") << origin << origin << false << 0.0f;
        QTest::newRow("half a second") << origin << origin + 500'000'000ull << false << 0.0f;
        QTest::newRow("exactly 1 s") << origin << origin + 1'000'000'000ull << false << 0.0f;
        // 1 s and 1 ns is 1 s in single precision.
        QTest::newRow("1 ns past 1 s") << origin << origin + 1'000'000'001ull << false << 0.0f;
        QTest::newRow("just past 1 s") << origin << origin + 1'000'002'000ull << true << 1.000002f;
        QTest::newRow("one cycle past 1 s")
            << origin << origin + 1'002'000'000ull << true << 1.002f;
        QTest::newRow("30 s") << origin << origin + 30'000'000'000ull << true << 30.0f;
        QTest::newRow("44.99 s") << origin << origin + 44'990'000'000ull << true << 44.99f;
        QTest::newRow("exactly 45 s") << origin << origin + 45'000'000'000ull << false << 0.0f;
        // Rounds up to 45 s in single precision.
        QTest::newRow("1 us short of 45 s")
            << origin << origin + 44'999'999'000ull << false << 0.0f;
        QTest::newRow("50 s") << origin << origin + 50'000'000'000ull << false << 0.0f;
        QTest::newRow("before the origin wraps round")
            << origin << origin - 2'000'000'000ull << false << 0.0f;
        QTest::newRow("origin near the top of the counter")
            << std::numeric_limits<quint64>::max() - 1'000'000'000ull
            << std::numeric_limits<quint64>::max() << false << 0.0f;
        QTest::newRow("counter wrapped after the origin")
            << std::numeric_limits<quint64>::max() - 999'999'999ull << quint64{2'000'000'000ull}
            << true << 3.0f;
    }
    void rowTime() {
        QFETCH(quint64, origin);
        QFETCH(quint64, timestamp);
        QFETCH(bool, kept);
        QFETCH(float, seconds);
        const std::optional<float> t = MainWindow::identificationRowTime(timestamp, origin);
        QCOMPARE(t.has_value(), kept);
        if (kept) {
            QVERIFY2(std::fabs(*t - seconds) <= seconds * 1e-6f, qPrintable(QString::number(*t)));
            QVERIFY(*t > 1.0f && *t < 45.0f);
        }
    }

    // Each refusal leaves the console as it was: no lock, no state change, no file.
    void refusedBeforeTheRun() {
        selectDrive(kQuickDrive);
        QSignalSpy lines(window.get(), &MainWindow::writeLog);

        // Not enabled.
        child<QLineEdit>("lineEdit_motorid")->setText(QStringLiteral("Zt-refused"));
        identify()->click();
        QCOMPARE(lines.count(), 1);
        QCOMPARE(lines.last().first().toString(),
                 QStringLiteral("当前处于已连接，请进入上使能状态"));
        QCOMPARE(identify()->text(), kIdle);
        QCOMPARE(window->consoleState(), static_cast<int>(Connected));

        enableStill();
        verifyNotStarted();

        // The motor turns.
        child<QDoubleSpinBox>("doubleSpinBox_velocity")->setValue(0.5);
        child<QAbstractButton>("pushButton_velocity")->click();
        QTRY_VERIFY_WITH_TIMEOUT(child<QDoubleSpinBox>("doubleSpinBox_Velocity")->value() != 0.0,
                                 kBusTimeoutMs);
        lines.clear();
        identify()->click();
        QCOMPARE(lines.count(), 1);
        QCOMPARE(lines.last().first().toString(), QStringLiteral("请先停止电机"));
        QCOMPARE(identify()->text(), kIdle);
        QVERIFY(!locked());
        child<QDoubleSpinBox>("doubleSpinBox_velocity")->setValue(0.0);
        child<QAbstractButton>("pushButton_velocity")->click();
        QTRY_COMPARE_WITH_TIMEOUT(child<QDoubleSpinBox>("doubleSpinBox_Velocity")->value(), 0.0,
                                  kBusTimeoutMs);

        // No motor number.
        pressAndExpectWarning(QString());
        verifyNotStarted();

        // A motor number that would lead out of the result directory gets the same warning, and
        // no file appears: with "identify_Zt" present, "Zt/../../Zt_escaped" would land beside
        // the result directory.
        const QString trap = resultDir() + QStringLiteral("/identify_Zt");
        QVERIFY(QDir().mkpath(trap));
        const QString escaped =
            QCoreApplication::applicationDirPath() + QStringLiteral("/Zt_escaped.csv");
        const QStringList resultBefore = QDir(resultDir()).entryList(QDir::AllEntries);
        for (const QString& motor :
             {QStringLiteral("Zt/../../Zt_escaped"), QStringLiteral("../Zt_escaped"),
              QStringLiteral("Zt\\x"), QStringLiteral("..")}) {
            pressAndExpectWarning(motor);
            verifyNotStarted();
        }
        QVERIFY(!QFile::exists(escaped));
        QCOMPARE(QDir(resultDir()).entryList(QDir::AllEntries), resultBefore);
        QVERIFY(QDir(trap).isEmpty());
        QVERIFY(QDir(trap).removeRecursively());

        // Answered No.
        pressAndAnswer(QStringLiteral("Zt-no"), QMessageBox::No);
        verifyNotStarted();
        QVERIFY(!QFile::exists(resultFile(QStringLiteral("Zt-no"))));

        // A file that cannot be opened: a directory in its place.
        QVERIFY(QDir().mkpath(resultFile(QStringLiteral("Zt-blocked"))));
        pressAndAnswer(QStringLiteral("Zt-blocked"), QMessageBox::Yes);
        QTRY_VERIFY(logged(QStringLiteral("无法打开辨识文件")));
        verifyNotStarted();
        QVERIFY(QDir(resultFile(QStringLiteral("Zt-blocked"))).removeRecursively());

        QCOMPARE(label()->text(), QStringLiteral("当前状态："));
        QVERIFY(window->busMaster()->enabled);
    }

    // A run the drive ends after 3 s: rows from 1 s on with the decoded identification values,
    // the parameter plot showing them under the renamed curves, then torque 0 and the drive
    // disabled. A second run for the same motor replaces the file, with the plot stopped.
    void fullRunsReplaceTheFile() {
        selectDrive(kQuickDrive);
        const QString motor = QStringLiteral("Zt-ident_1");
        const QString path = resultFile(motor);
        QFile::remove(path);
        auto* plotButton = child<QAbstractButton>("pushButton_plot_para");
        plotButton->setChecked(true);
        QTRY_VERIFY_WITH_TIMEOUT(points(1) >= 2, kBusTimeoutMs);
        enableStill();

        pressAndAnswer(motor, QMessageBox::Yes);
        QCOMPARE(identify()->text(), kRunning);
        QCOMPARE(window->consoleState(), static_cast<int>(Testing));
        QVERIFY(locked());
        QCOMPARE(curveNames(), (QStringList{"iq", "Position", "vel_middle"}));
        QCOMPARE(child<QComboBox>("comboBox_mode")->currentIndex(), 3);
        QCOMPARE(command().mode, static_cast<uint16_t>(kModeSineCurve));
        QCOMPARE(command().torque, 1.0f);
        // The result appears only once the run has proved good.
        QVERIFY(!QFile::exists(path));
        QTRY_VERIFY(logged(kStarted));
        // The first sample may still have gone to all three curves; after it only the renamed
        // curves get points.
        const int positionPoints = points(1);
        const int iqPoints = points(0);
        const int velPoints = points(2);

        // Other operations are gated while it runs; a second press is inert.
        QSignalSpy lines(window.get(), &MainWindow::writeLog);
        identify()->click();
        child<QAbstractButton>("button_calibrate")->click();
        QCOMPARE(lines.count(), 1);
        QCOMPARE(lines.last().first().toString(),
                 QStringLiteral("当前处于测试中，请退回已连接状态"));

        QTRY_COMPARE_WITH_TIMEOUT(label()->text(), QStringLiteral("已进行1秒"), kRunTimeoutMs);
        QTRY_COMPARE_WITH_TIMEOUT(label()->text(), QStringLiteral("辨识成功"), kRunTimeoutMs);
        QTRY_VERIFY(logged(kSucceeded));
        QVERIFY(!logged(kTimedOut));
        verifyEnded();

        QVERIFY(points(1) <= positionPoints + 1);
        QVERIFY2(points(0) >= iqPoints + 5, qPrintable(QString::number(points(0) - iqPoints)));
        QCOMPARE(points(2) - velPoints, points(0) - iqPoints);

        const QList<Row> rows = readRows(path);
        // About 2 s of 2 ms samples inside the window before the drive stopped.
        QVERIFY2(rows.size() > 300, qPrintable(QString::number(rows.size())));
        QVERIFY(rows.first().t >= 1.0f && rows.first().t < 1.1f);
        double maxIq = 0.0;
        double maxVel = 0.0;
        bool positiveIq = false;
        bool negativeIq = false;
        for (qsizetype i = 0; i < rows.size(); ++i) {
            const Row& row = rows[i];
            QVERIFY2(row.t >= 1.0f && row.t <= 45.0f, qPrintable(QString::number(row.t)));
            QVERIFY(i == 0 || row.t >= rows[i - 1].t);
            // Until the drive stops identifying, its fields hold single-precision values;
            // afterwards they are counts again, whatever those read as.
            if (row.t > kQuickRunS - 0.2) {
                continue;
            }
            double vel = 0.0;
            double iq = 0.0;
            QVERIFY2(finiteFixed(row.vel, vel), qPrintable(row.vel));
            QVERIFY2(finiteFixed(row.iq, iq), qPrintable(row.iq));
            maxIq = std::max(maxIq, std::fabs(iq));
            maxVel = std::max(maxVel, std::fabs(vel));
            positiveIq = positiveIq || iq > 0.1;
            negativeIq = negativeIq || iq < -0.1;
        }
        // The current follows the torque chirp: peaks of excitation / torque constant.
        const double peakIq = kExcitationNm / kQuickTorqueConstant;
        QVERIFY2(maxIq <= peakIq + 1e-3 && maxIq > 0.8 * peakIq,
                 qPrintable(QString::number(maxIq)));
        QVERIFY(positiveIq && negativeIq);
        // The heavy joint swings at well below a turn per second, far from the speed limit.
        QVERIFY2(maxVel > 0.05 && maxVel < 2.0, qPrintable(QString::number(maxVel)));

        // Second run, same motor, the plot stopped and the mode already the sine curve.
        plotButton->setChecked(false);
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::Append | QIODevice::Text));
            file.write("stale\n");
        }
        const int stopped[] = {points(0), points(1), points(2)};
        enableStill();
        const int modeChanges = paneMessages(*window).count(QStringLiteral("change mode:3"));
        pressAndAnswer(motor, QMessageBox::Yes);
        QCOMPARE(identify()->text(), kRunning);
        QCOMPARE(command().torque, 1.0f);
        QTRY_COMPARE_WITH_TIMEOUT(identify()->text(), kIdle, kRunTimeoutMs);
        QCOMPARE(label()->text(), QStringLiteral("辨识成功"));
        verifyEnded();
        QCOMPARE(paneMessages(*window).count(QStringLiteral("change mode:3")), modeChanges);
        QCOMPARE(points(0), stopped[0]);
        QCOMPARE(points(1), stopped[1]);
        QCOMPARE(points(2), stopped[2]);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(!file.readAll().contains("stale"));
        const QList<Row> second = readRows(path);
        QVERIFY(second.size() > 300);
        QVERIFY(second.first().t < 1.1f);
    }

    // A run that fails keeps the previous result whole: the drive identifies longer than the
    // console waits (the 90th poll ends the run), the disk fills up under the rows, or the drive
    // falls off the bus. The torque goes back to 0 and the drive is disabled where the bus
    // still allows it.
    void failedRunsKeepThePreviousResult_data() {
        QTest::addColumn<QString>("failure");
        QTest::newRow("timeout") << QStringLiteral("timeout");
        QTest::newRow("disk full") << QStringLiteral("disk full");
        QTest::newRow("drive lost") << QStringLiteral("drive lost");
    }
    void failedRunsKeepThePreviousResult() {
        QFETCH(QString, failure);
        const QString motor = QStringLiteral("Zt-kept");
        const QByteArray previous = "1.0020 0.5000 0.2500\n";
        {
            QFile file(resultFile(motor));
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            QCOMPARE(file.write(previous), previous.size());
        }
        selectDrive(failure == QLatin1String("timeout") ? kSlowDrive : kQuickDrive);
        const bool lost = failure == QLatin1String("drive lost");
        if (!lost) {
            window->setProcedurePollInterval(20);  // the lost drive must meet a run still going
        }
        enableStill();

        // Files may grow to 8 KiB: the rows pass that well within the quick drive's run.
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto restore = qScopeGuard([&saved] { setrlimit(RLIMIT_FSIZE, &saved); });
        if (failure == QLatin1String("disk full")) {
            std::signal(SIGXFSZ, SIG_IGN);  // a failed write, not a dead process
            rlimit small = saved;
            small.rlim_cur = 8 * 1024;
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        }
        pressAndAnswer(motor, QMessageBox::Yes);
        QCOMPARE(identify()->text(), kRunning);
        if (lost) {
            QTRY_VERIFY(logged(kStarted));
            chain->pullDrive(2);
        }
        QTRY_COMPARE_WITH_TIMEOUT(label()->text(), QStringLiteral("辨识失败"), kRunTimeoutMs);
        QVERIFY(!logged(kSucceeded));
        if (lost) {
            QTRY_COMPARE_WITH_TIMEOUT(connectButton()->text(), QStringLiteral("Connect"),
                                      kBusTimeoutMs);
            QCOMPARE(identify()->text(), kIdle);
            QVERIFY(!locked());
            QCOMPARE(window->consoleState(), static_cast<int>(NotConnected));
            chain->plugDrive(2);
        } else {
            QTRY_VERIFY(
                logged(failure == QLatin1String("timeout")
                           ? kTimedOut
                           : QStringLiteral(">>> 辨识结果文件写入失败: ") + resultFile(motor)));
            verifyEnded();
        }
        QFile file(resultFile(motor));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), previous);
        // No temporary file is left behind beside it.
        QCOMPARE(QDir(resultDir()).entryList({QStringLiteral("identify_Zt-kept*")}),
                 QStringList{QStringLiteral("identify_Zt-kept.csv")});
    }
};

QTEST_MAIN(TestMainWindowIdentify)
#include "tst_mainwindow_identify.moc"
