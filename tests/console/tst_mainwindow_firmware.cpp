#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QValidator>

#include <deque>
#include <functional>

#include "console_support.h"
#include "ecmaster.h"
#include "mainwindow.h"
#include "passworddialog.h"
#include "sim/chain.h"
#include "sim/cia402_drive.h"
#include "sim/virtual_link.h"

using consoletest::kBusTimeoutMs;
using consoletest::paneMessages;

namespace {

// A download of a small file into the simulated bootloader, also under the sanitizers.
constexpr int kDownloadTimeoutMs = 120000;
const QString kChain = QStringLiteral("Simulated drive chain (2 drives)");

// Answers the flow's dialogs in order, each step taking only a dialog of its own type. The busy
// dialog of a running download is modal too and is left alone.
class DialogScript : public QObject {
public:
    DialogScript() {
        timer.setInterval(20);
        connect(&timer, &QTimer::timeout, this, [this] { tick(); });
        timer.start();
    }

    template <typename T>
    void then(std::function<void(T*)> handler) {
        steps.push_back([handler](QWidget* w) {
            auto* dialog = qobject_cast<T*>(w);
            if (dialog == nullptr) {
                return false;
            }
            handler(dialog);
            return true;
        });
    }
    // Records the box's icon, title and text and presses its one button.
    void thenMessageBox() {
        then<QMessageBox>([this](QMessageBox* box) {
            boxes
                << QStringLiteral("%1|%2|%3").arg(box->icon()).arg(box->windowTitle(), box->text());
            box->buttons().first()->click();
        });
    }
    bool done() const { return steps.empty(); }

    QStringList boxes;
    int unexpected = 0;  // dialogs that no step took

private:
    void tick() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->isVisible() || modal == answered ||
            qobject_cast<QProgressDialog*>(modal) != nullptr) {
            return;
        }
        if (!steps.empty() && steps.front()(modal)) {
            steps.pop_front();
            answered = modal;
            stuck = 0;
            return;
        }
        // Not expected here: close it after a while so the test fails instead of hanging.
        if (++stuck > 100) {
            ++unexpected;
            stuck = 0;
            if (auto* dialog = qobject_cast<QDialog*>(modal)) {
                dialog->done(QDialog::Rejected);
            }
        }
    }

    QTimer timer;
    std::deque<std::function<bool(QWidget*)>> steps;
    QPointer<QWidget> answered;
    int stuck = 0;
};

const QString kCriticalInput = QStringLiteral("%1|ERROR|输入错误").arg(QMessageBox::Critical);
const QString kInvalidWarning =
    QStringLiteral("%1|无效输入|请输入有效的16进制密码！").arg(QMessageBox::Warning);
const QString kSuccess = QStringLiteral("%1|成功|固件写入成功!").arg(QMessageBox::Information);
const QString kFailure = QStringLiteral("%1|失败|固件写入失败!").arg(QMessageBox::Critical);

}  // namespace

// The firmware upgrade from the operator's side on a simulated two-drive chain: the state gate,
// the file and password dialogs, the file reaching the first drive's bootloader whatever drive is
// operated, the outcome box and the bus taken down afterwards.
class TestMainWindowFirmware : public consoletest::WindowFixture {
    Q_OBJECT

public:
    TestMainWindowFirmware() : WindowFixture(kChain) {}

private:
    QTemporaryDir filesDir;
    QString firmwarePath;
    QByteArray firmwareBytes;

    void setBootloaderPassword(int position, uint32_t password) {
        chain->withSlave(position, [password](sim::Esc&, sim::SlaveApplication* app) {
            if (auto* drive = dynamic_cast<sim::Cia402Drive*>(app)) {
                drive->foe().password = password;
            }
        });
    }

    void chooseFile(DialogScript& script, const QString& path) {
        script.then<QFileDialog>([path](QFileDialog* dialog) {
            // Typed, as the operator would: the dialog's directory model may still be loading.
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            QVERIFY(name != nullptr);
            name->setText(path);
            static_cast<QDialog*>(dialog)->accept();
        });
    }
    // Types `text` into the password field (through its validator), or keeps the pre-filled
    // text, and confirms.
    void typePassword(DialogScript& script, const QString& text, bool keepPrefilled = false) {
        script.then<QInputDialog>([text, keepPrefilled](QInputDialog* dialog) {
            auto* field = dialog->findChild<QLineEdit*>();
            QVERIFY(field != nullptr);
            QCOMPARE(dialog->windowTitle(), QStringLiteral("输入密码"));
            QCOMPARE(dialog->labelText(), QStringLiteral("请输入16进制密码："));
            QCOMPARE(field->text(), QStringLiteral("0"));
            if (!keepPrefilled) {
                field->clear();
                QTest::keyClicks(field, text);
            }
            dialog->accept();
        });
    }

private slots:
    void initTestCase() {
        QVERIFY(settingsDir.isValid());
        QVERIFY(filesDir.isValid());
        consoletest::sandboxSettings(settingsDir);
        chain = sim::registerSimulatedAdapter(consoletest::chainConfig(2));

        // Spans several FoE packets and ends in a short one.
        for (int i = 0; i < 3000; ++i) {
            firmwareBytes.append(static_cast<char>(i * 7 + 3));
        }
        firmwarePath = filesDir.filePath(QStringLiteral("joint_1.3.0.efw"));
        QFile file(firmwarePath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(firmwareBytes), firmwareBytes.size());
    }
    void init() {
        // The password text and its validator need no window.
        const QByteArray test = QTest::currentTestFunction();
        if (test.startsWith("password") || test.startsWith("validator")) {
            return;
        }
        window = std::make_unique<MainWindow>();
        QVERIFY(connectBus());
    }
    void cleanup() {
        window.reset();
        setBootloaderPassword(1, 0);
    }

    void passwordText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<uint>("password");
        QTest::newRow("pre-filled zero") << "0" << true << 0u;
        QTest::newRow("lower case") << "abcdef12" << true << 0xABCDEF12u;
        QTest::newRow("upper case") << "ABCDEF12" << true << 0xABCDEF12u;
        QTest::newRow("largest") << "FFFFFFFF" << true << 0xFFFFFFFFu;
        QTest::newRow("nine digits, leading zero") << "0DEADBEEF" << true << 0xDEADBEEFu;
        QTest::newRow("nine digits, too large") << "100000000" << false << 0u;
        QTest::newRow("empty") << "" << false << 0u;
        QTest::newRow("prefix") << "0x12" << false << 0u;
        QTest::newRow("blank") << "12 3" << false << 0u;
    }
    void passwordText() {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(uint, password);
        uint32_t parsed = 0x5A5A5A5A;
        QCOMPARE(parseFirmwarePassword(text, parsed), valid);
        if (valid) {
            QCOMPARE(parsed, password);
        }
    }

    void validatorLetsOnlyHexDigitsIn() {
        QLineEdit field;
        field.setValidator(createHexPasswordValidator(&field));
        QTest::keyClicks(&field, QStringLiteral("1x2g-A f"));
        QCOMPARE(field.text(), QStringLiteral("12Af"));
        field.clear();
        QVERIFY(field.hasAcceptableInput());
    }

    void refusedOutsideConnectedState() {
        DialogScript script;
        window->forceConsoleState(Enabled);
        button("pushButton_Upgrade")->click();
        window->forceConsoleState(Connected);
        connectButton()->click();
        button("pushButton_Upgrade")->click();
        QTRY_VERIFY(
            paneMessages(*window).contains(QStringLiteral("当前处于未连接，请进入已连接状态")));
        QVERIFY(paneMessages(*window).contains(QStringLiteral("当前处于上使能，请退回已连接状态")));
        QCOMPARE(script.unexpected, 0);
    }

    void cancelledDialogsStartNothing() {
        DialogScript script;
        script.then<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
        button("pushButton_Upgrade")->click();
        QVERIFY(script.done());

        chooseFile(script, firmwarePath);
        script.then<QInputDialog>([](QInputDialog* dialog) { dialog->reject(); });
        button("pushButton_Upgrade")->click();
        QVERIFY(script.done());
        QTest::qWait(100);
        QCOMPARE(script.unexpected, 0);
        QCOMPARE(script.boxes, QStringList());
        QVERIFY(!paneMessages(*window).contains(QStringLiteral("Request init state for slave 1")));
        QCOMPARE(connectButton()->text(), QStringLiteral("Disconnect"));
    }

    void invalidPasswordRefused_data() {
        QTest::addColumn<QString>("typed");
        QTest::newRow("empty") << "";
        QTest::newRow("nine digits, too large") << "123456789";
    }
    void invalidPasswordRefused() {
        QFETCH(QString, typed);
        const sim::FirmwareFile before = chain->firmware(1).value();
        DialogScript script;
        chooseFile(script, firmwarePath);
        typePassword(script, typed);
        script.thenMessageBox();
        script.thenMessageBox();
        button("pushButton_Upgrade")->click();

        QVERIFY(script.done());
        QCOMPARE(script.boxes, (QStringList{kInvalidWarning, kCriticalInput}));
        QTest::qWait(100);
        QVERIFY(!paneMessages(*window).contains(QStringLiteral("Request init state for slave 1")));
        QCOMPARE(chain->firmware(1)->bytes, before.bytes);
        QCOMPARE(connectButton()->text(), QStringLiteral("Disconnect"));
        QCOMPARE(window->consoleState(), static_cast<int>(Connected));
    }

    // With the second drive operated, the file still reaches the first drive's bootloader under
    // the password as typed; afterwards the console is disconnected.
    void downloadToFirstDrive_data() {
        QTest::addColumn<bool>("keepPrefilled");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<uint>("password");
        QTest::newRow("pre-filled zero") << true << QString() << 0u;
        QTest::newRow("lower case") << false << "abcdef12" << 0xABCDEF12u;
        QTest::newRow("nine digits, leading zero") << false << "0deadbeef" << 0xDEADBEEFu;
    }
    void downloadToFirstDrive() {
        QFETCH(bool, keepPrefilled);
        QFETCH(QString, typed);
        QFETCH(uint, password);
        setBootloaderPassword(1, password);
        setBootloaderPassword(2, password);
        const sim::FirmwareFile secondBefore = chain->firmware(2).value();
        // Contents of its own for each run, so the file found on the drive is this run's.
        firmwareBytes.clear();
        for (uint i = 0; i < 3000; ++i) {
            firmwareBytes.append(static_cast<char>((i * 7 + password) & 0xFFu));
        }
        {
            QFile file(firmwarePath);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            QCOMPARE(file.write(firmwareBytes), firmwareBytes.size());
        }

        child<QComboBox>("comboBox_index")->setCurrentIndex(1);
        QCOMPARE(window->motorIndex(), 1);

        DialogScript script;
        chooseFile(script, firmwarePath);
        typePassword(script, typed, keepPrefilled);
        script.thenMessageBox();
        button("pushButton_Upgrade")->click();
        QTRY_VERIFY_WITH_TIMEOUT(script.done(), kDownloadTimeoutMs);

        QCOMPARE(script.boxes, QStringList{kSuccess});
        QCOMPARE(script.unexpected, 0);
        const sim::FirmwareFile written = chain->firmware(1).value();
        QCOMPARE(QString::fromStdString(written.name), QStringLiteral("joint_1.3.0.efw"));
        QVERIFY(written.complete);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(written.bytes.data()),
                            static_cast<qsizetype>(written.bytes.size())),
                 firmwareBytes);
        QCOMPARE(chain->firmware(2)->bytes, secondBefore.bytes);

        QVERIFY(!window->findChild<QProgressDialog*>()->isVisible());
        QCOMPARE(connectButton()->text(), QStringLiteral("Connect"));
        QCOMPARE(window->consoleState(), static_cast<int>(NotConnected));
        QTRY_COMPARE(paneMessages(*window).count(QStringLiteral("Disconnect Success.")), 1);
        const QStringList lines = paneMessages(*window);
        QVERIFY(lines.contains(QStringLiteral("Request init state for slave 1")));
        QVERIFY(!lines.contains(QStringLiteral("Request init state for slave 2")));
    }

    // A password the bootloader refuses: the failure box, and the bus goes down all the same.
    void refusedDownloadStillDisconnects() {
        setBootloaderPassword(1, 0x1234);
        DialogScript script;
        chooseFile(script, firmwarePath);
        typePassword(script, QStringLiteral("4321"));
        script.thenMessageBox();
        button("pushButton_Upgrade")->click();
        QTRY_VERIFY_WITH_TIMEOUT(script.done(), kDownloadTimeoutMs);

        QCOMPARE(script.boxes, QStringList{kFailure});
        QCOMPARE(connectButton()->text(), QStringLiteral("Connect"));
        QCOMPARE(window->consoleState(), static_cast<int>(NotConnected));
        QTRY_COMPARE(paneMessages(*window).count(QStringLiteral("Disconnect Success.")), 1);
    }
};

QTEST_MAIN(TestMainWindowFirmware)
#include "tst_mainwindow_firmware.moc"
