// Start-up, teardown, window frame and the bus connection of the operator console.
#include "mainwindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QProgressDialog>
#include <QSettings>
#include <QSignalBlocker>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QThread>
#include <QtConcurrent/QtConcurrentRun>

#include "busdiagnostics.h"
#include "datafolder.h"
#include "ecmaster.h"
#include "model/stateconfig.h"
#include "objectdictionary.h"
#include "parametersets.h"
#include "roundtriptimer.h"
#include "scopewindow.h"
#include "transferclient.h"
#include "ui_mainwindow.h"

namespace {

// Read by the constructor from the working directory.
constexpr char kStateConfigFile[] = "state_config.yaml";

// The state definitions: the working directory's file first (a bench can keep its own), else the
// one installed beside the program (<prefix>/share/zentrio).
QString stateConfigPath() {
    const QString local = QLatin1String(kStateConfigFile);
    if (QFileInfo(local).isFile()) {
        return local;
    }
    const QString installed = QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                              QStringLiteral("/../share/zentrio/") + local);
    return QFileInfo(installed).isFile() ? installed : local;
}
// Grace after the programmatic disconnect of the destructor.
constexpr unsigned long kCloseDisconnectPauseMs = 10;

// Dynamic properties of a text that carries state (see setLiveText).
constexpr char kLiveSource[] = "liveTextSource";
constexpr char kLiveArg[] = "liveTextArg";
constexpr char kLiveShown[] = "liveTextShown";

}  // namespace

QString consoleStateName(int state) {
    switch (state) {
        case NotConnected:
            return QCoreApplication::translate("MainWindow", "未连接");
        case Connected:
            return QCoreApplication::translate("MainWindow", "已连接");
        case Enabled:
            return QCoreApplication::translate("MainWindow", "上使能");
        case Testing:
            return QCoreApplication::translate("MainWindow", "测试中");
        default:
            return QCoreApplication::translate("MainWindow", "Unknow");
    }
}

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent), ui(new Ui::MainWindow) {
    ui->setupUi(this);

    // The master starts its supervision thread here; it is the only one of the process.
    master = new ecmaster();
    transfers = std::make_unique<TransferClient>(master, this);
    // A capture also ends with the bus: the menu says what a click will do now.
    connect(ui->menuTools, &QMenu::aboutToShow, this, [this] {
        ui->actionCaptureBus->setText(master->capturing() ? tr("Stop capture")
                                                          : tr("Capture bus traffic…"));
    });

    stateConfig = new StateConfig();
    progress = new QProgressDialog(this);
    ConsoleState = NotConnected;

    roundtripTimer = new RoundtripTimer(this);
    postSetup();
    setStatusLive(false);  // until the first record of a bus

    currentMotorIndex = 0;

    if (stateConfig->load(stateConfigPath())) {
        emit writeLog(tr(">>> File \"state_config.yaml\" Load OK"));
    } else {
        emit writeLog(tr(">>> File \"state_config.yaml\" Load FAIL!"));
    }

    // Beside the program on a bench; in the user's data folder for an installed console.
    dataFolder =
        chooseDataFolder(QCoreApplication::applicationDirPath(),
                         QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation));
    emit writeLog(tr("Results and saved logs go to %1").arg(QDir::toNativeSeparators(dataFolder)));

    startUpdateCheckThread();
    openRunningLog();

    showMaximized();
}

void MainWindow::postSetup() {
    setupPlot(ui->plot_para, paraPlot);
    setupPlot(ui->plot_temperature, tempPlot);
    labelPlots();
    connect(&paraPlot.refreshTimer, &QTimer::timeout, this, &MainWindow::paraPlotSlot);
    connect(&tempPlot.refreshTimer, &QTimer::timeout, this, &MainWindow::temperaturePlotSlot);
    ui->tabWidget->setCurrentIndex(0);

    // Queued even from the GUI thread: a line logged during construction reaches the pane and
    // the running log once the event loop runs, after the log file has been opened.
    connect(this, &MainWindow::writeLog, this, &MainWindow::writeToPlainText, Qt::QueuedConnection);
    connect(master, &ecmaster::writeLog, this, &MainWindow::writeToPlainText, Qt::QueuedConnection);
    connect(master, &ecmaster::writeDetail, this, &MainWindow::writeToLogFile,
            Qt::QueuedConnection);
    recordTimer.setInterval(kRecordTakeMs);
    connect(&recordTimer, &QTimer::timeout, this, &MainWindow::takeRecords);
    connect(master, &ecmaster::setValueCallback, this, &MainWindow::deal_trans_pdo_data,
            Qt::QueuedConnection);
    connect(master, &ecmaster::slaveLost, this, &MainWindow::deal_when_slave_lost,
            Qt::QueuedConnection);
    connect(master, &ecmaster::driveFaultChanged, this, &MainWindow::onDriveFaultChanged,
            Qt::QueuedConnection);

    ui->textBrowserLogs->setLineHighlightEnabled(false);
    ui->textBrowserLogs->setMaximumBlockCount(kLogPaneMaxLines);

    setWindowTitle(windowTitle() + QStringLiteral(" v") + QLatin1String(kConsoleVersion));
    // The designer's texts, now with their sources beside them.
    setLiveText(ui->pushButton_connect, kConnectText);
    setLiveText(ui->pushButton_enable, kEnableText);
    setLiveText(ui->button_roundtrip, kTestStartText);
    setLiveText(ui->button_multitest, kTestStartText);
    setLiveText(ui->button_calibrate, kCalibrateIdle);
    setLiveText(ui->button_identify, kIdentifyIdle);
    setLiveText(ui->pushButton_plot_para, kStartPlotText);
    setLiveText(ui->pushButton_plot_temp, kStartPlotText);
    setLiveText(ui->label_motorcount, QT_TR_NOOP("电机数量:%1"), QStringLiteral("0"));
    setLiveText(ui->label_calibratetime, QT_TR_NOOP("当前状态："));
    setRoundTripMode(ui->comboBox_mode->currentIndex());

    connect(ui->actionUpgrade, &QAction::triggered, this, [this] { checkForUpdates(true); });
    connectDriveControls();
    setupParameterPage();
    setupLanguageMenu();
    translateFaultBoxTemplate();

    progress->setCancelButton(nullptr);
    progress->setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::CustomizeWindowHint);
    progress->setWindowModality(Qt::WindowModal);
    progress->setMinimumDuration(0);
    progress->setAutoReset(true);
    progress->setAutoClose(false);
    progress->close();

    // Adapters come and go (USB adapters, cables): list them afresh whenever the list opens.
    connect(ui->comboBox_item, &CustomComboBox::popupShown, this, &MainWindow::RefreshAdaptert);

    const QSettings settings{QLatin1String(kSettingsOrganisation),
                             QLatin1String(kSettingsApplication)};
    savedAdapterDesc = settings.value(QLatin1String(kAdapterSettingKey), QString()).toString();

    RefreshAdaptert();

    // Transparent covers that take the clicks on the top rows while a test procedure runs.
    const auto makeOverlay = [this] {
        auto* overlay = new QWidget(ui->widget_righthalf);
        overlay->setStyleSheet(QStringLiteral("background-color:rgba(0,0,0,0)"));
        overlay->raise();
        overlay->hide();
        return overlay;
    };
    overlayButtons1 = makeOverlay();
    ui->pushButton_QuickStop->raise();
    overlayButtons2 = makeOverlay();

    // The end of the total time runs the same slot as the operator's Stop; each step goes out
    // at once, within the timer's own emission.
    connect(roundtripTimer, &RoundtripTimer::timeoutAll, this,
            &MainWindow::on_button_roundtrip_clicked);
    connect(roundtripTimer, &RoundtripTimer::timeoutTriggered, this, &MainWindow::sendRoundTripStep,
            Qt::DirectConnection);
}

MainWindow::~MainWindow() {
    stopUpdateCheckThread();
    // Transfers and the pool jobs work on the master: they end before the bus goes. Their
    // completion handlers no longer run.
    transfers->cancelAndWait();
    if (parameterSets != nullptr) {
        parameterSets->shutdown();
    }
    // A child window's transfer in flight would outlive the master behind it.
    delete diagnostics;
    delete dictionary;
    delete scopeWindow;

    // A disconnect of a bus that is up, unless the drives are enabled; the master's destructor
    // tears the bus down in any case. Never a click on "Connect": closing starts no bring-up.
    if (liveTextSource(ui->pushButton_connect) == kDisconnectText) {
        ui->pushButton_connect->click();
        QThread::msleep(kCloseDisconnectPauseMs);
    }
    for (QFuture<void>& job : masterJobs) {
        job.waitForFinished();
    }
    // The teardown's completion handler does not run any more; its line still belongs in the log.
    if (liveTextSource(ui->pushButton_connect) == kDisconnectingText) {
        emit writeLog(tr("Disconnect Success."));
    }
    if (logFile && logFile->isOpen()) {
        logFile->close();
    }

    delete progress;
    progress = nullptr;
    transfers.reset();
    delete master;
    master = nullptr;
    delete stateConfig;
    stateConfig = nullptr;
    delete ui;
    ui = nullptr;
}

void MainWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange && ui != nullptr) {
        // retranslateUi puts every text back to its designer value. The texts that carry state
        // stay what they say: the buttons whose text decides what the next press does (a running
        // test would otherwise look idle and could be started twice), the counts, the round-trip
        // loop and the procedures' result, and the title's version. One this window set comes
        // back in the new language; any other text put there is kept as it is.
        const QList<QWidget*> live = {
            ui->pushButton_connect,   ui->pushButton_enable,    ui->button_roundtrip,
            ui->button_multitest,     ui->button_calibrate,     ui->button_identify,
            ui->pushButton_plot_para, ui->pushButton_plot_temp, ui->label_motorcount,
            ui->label_multicount,     ui->RoundTripLabel,       ui->label_calibratetime};
        QStringList before;
        for (const QWidget* w : live) {
            before << w->property("text").toString();
        }
        ui->retranslateUi(this);
        setWindowTitle(windowTitle() + QStringLiteral(" v") + QLatin1String(kConsoleVersion));
        for (qsizetype i = 0; i < live.size(); ++i) {
            QWidget* w = live[i];
            const QByteArray source = liveTextSource(w);
            if (!source.isEmpty() && before[i] == w->property(kLiveShown).toString()) {
                setLiveText(w, source.constData(), w->property(kLiveArg).toString());
            } else {
                w->setProperty("text", before[i]);
            }
        }
        for (int i = 0; i < ui->comboBox_index->count(); ++i) {
            ui->comboBox_index->setItemText(i, driveItemText(i));
        }
        labelPlots();
    }
    QMainWindow::changeEvent(event);
}

void MainWindow::setLiveText(QWidget* widget, const char* source, const QString& arg) {
    const QString shown = arg.isNull() ? tr(source) : tr(source).arg(arg);
    widget->setProperty("text", shown);
    widget->setProperty(kLiveSource, QByteArray(source));
    widget->setProperty(kLiveArg, arg);
    widget->setProperty(kLiveShown, shown);
}

QByteArray MainWindow::liveTextSource(const QWidget* widget) {
    return widget->property(kLiveSource).toByteArray();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    const int plotWidth = ui->plot_temperature->axisRect()->rect().width();
    if (overlayButtons1) {
        overlayButtons1->setGeometry(ui->ButtonsWidget1->geometry());
    }
    if (overlayButtons2) {
        overlayButtons2->setGeometry(ui->ButtonsWidget2->geometry());
    }
    if (tempPlot.timeTicker) {
        // Narrow plots get fewer time labels so they do not run into each other.
        tempPlot.timeTicker->setTickCount(plotWidth < 250 ? 2 : plotWidth < 400 ? 5 : 6);
    }
    ui->plot_temperature->replot(QCustomPlot::rpRefreshHint);
}

// --- adapters and the bus ------------------------------------------------------------------------

void MainWindow::RefreshAdaptert() {
    ui->comboBox_item->clear();
    // Also refreshes the master's adapter table, whose positions match the items.
    const QStringList descriptions = master->listAdapters();
    for (const QString& desc : descriptions) {
        ui->comboBox_item->addItem(desc);
    }
    const int saved =
        ui->comboBox_item->findText(savedAdapterDesc, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (saved >= 0) {
        ui->comboBox_item->setCurrentIndex(saved);
    }
}

void MainWindow::on_pushButton_connect_clicked() {
    const QByteArray text = liveTextSource(ui->pushButton_connect);
    if (text == kConnectText) {
        setLiveText(ui->pushButton_connect, kConnectingText);
        const int item = ui->comboBox_item->currentIndex();
        if (item < 0 || static_cast<size_t>(item) >= master->adapterList().size()) {
            emit writeLog(tr("Connect Fail"));
            setLiveText(ui->pushButton_connect, kConnectText);
            return;
        }
        // The adapter saved on success is the one shown; it must not change under the bring-up.
        ui->comboBox_item->setEnabled(false);
        const QByteArray device =
            master->adapterList()[static_cast<size_t>(item)].second.toLocal8Bit();
        auto* watcher = new QFutureWatcher<bool>(this);
        connect(watcher, &QFutureWatcher<bool>::finished, this,
                [this, watcher] { onConnectFinished(watcher); });
        ecmaster* const m = master;
        const QFuture<bool> job =
            QtConcurrent::run([m, device] { return m->connectBus(device.constData()); });
        trackMasterJob(job);
        watcher->setFuture(job);
    } else if (text == kDisconnectText) {
        if (master->isEnabled()) {
            emit writeLog(tr("Please exit the motor mode first！"));
            return;
        }
        // An enable walk still under way would leave a drive enabled behind the bus's back.
        if (refuseDuringDriveJob()) {
            return;
        }
        disconnectFromBus();
    }
    // "Connecting" (a bring-up is running) and "Disconnecting": nothing to do.
}

void MainWindow::onConnectFinished(QFutureWatcher<bool>* watcher) {
    ui->comboBox_item->setEnabled(true);
    if (!watcher->result()) {
        emit writeLog(tr("Connect Fail."));
        setLiveText(ui->pushButton_connect, kConnectText);
        watcher->deleteLater();
        return;
    }

    emit writeLog(tr("Connect Success."));
    ui->frame_busBanner->hide();
    // Records a bus before this one left behind are not this bus's.
    std::array<TimedRecord, 64> stale;
    while (master->takeRecords(stale) == stale.size()) {
    }
    recordTimer.start();
    statusHeld = false;
    setLiveText(ui->pushButton_connect, kDisconnectText);
    ConsoleState = Connected;

    const QString adapter = ui->comboBox_item->currentText();
    if (adapter != savedAdapterDesc) {
        savedAdapterDesc = adapter;
        QSettings settings{QLatin1String(kSettingsOrganisation),
                           QLatin1String(kSettingsApplication)};
        settings.setValue(QLatin1String(kAdapterSettingKey), savedAdapterDesc);
    }

    const int drives = master->driveCount();
    ui->label_multicount->setText(QString::number(drives));
    setLiveText(ui->label_motorcount, QT_TR_NOOP("电机数量:%1"), QString::number(drives));

    // Not blocked: the drive selector's handler follows the new items.
    ui->comboBox_index->clear();
    for (int i = 0; i < drives; ++i) {
        ui->comboBox_index->addItem(driveItemText(i));
    }

    // After a lost slave took the bus down, the drive operated then, if the bus still has it.
    bool kept = false;
    const int beforeLoss = ui->comboBox_index->property("driveBeforeLoss").toInt(&kept);
    ui->comboBox_index->setProperty("driveBeforeLoss", QVariant());  // set by deal_when_slave_lost
    if (kept && beforeLoss > 0 && beforeLoss < drives) {
        ui->comboBox_index->setCurrentIndex(beforeLoss);  // its handler selects the drive
    } else {
        currentMotorIndex = 0;
    }
    emit writeLog(tr("currentMotorIndex.%1").arg(currentMotorIndex));
    notifyBusChanged();
    readDriveIdentities();
    watcher->deleteLater();
}

QString MainWindow::driveItemText(int index) const {
    const QList<int32_t> slaves = master->validDriveList();
    if (index < 0 || index >= slaves.size()) {
        return QString::number(index);
    }
    return tr("Drive %1 (slave %2)").arg(index).arg(slaves.at(index));
}

void MainWindow::on_toolButton_closeBanner_clicked() {
    ui->frame_busBanner->hide();
}

void MainWindow::notifyBusChanged() {
    if (dictionary) {
        dictionary->busChanged();
    }
    if (scopeWindow) {
        scopeWindow->busChanged();
    }
    if (parameterSets != nullptr) {
        parameterSets->busChanged();
    }
}

void MainWindow::disconnectFromBus() {
    setLiveText(ui->pushButton_connect, kDisconnectingText);
    // The cycle stops sending at once; the teardown waits for a transfer in flight, so it runs
    // on the pool, and "Connect" comes back when it is over.
    master->stopCycle();
    transfers->cancel();
    notifyBusChanged();
    identities.clear();
    faultRecords.clear();
    identitiesRead = false;
    identitiesPending = false;
    recordTimer.stop();
    statusHeld = true;
    setStatusLive(false);
    ConsoleState = NotConnected;
    auto* watcher = new QFutureWatcher<void>(this);
    connect(watcher, &QFutureWatcher<void>::finished, this, [this, watcher] {
        setLiveText(ui->pushButton_connect, kConnectText);
        emit writeLog(tr("Disconnect Success."));
        watcher->deleteLater();
    });
    ecmaster* const m = master;
    const QFuture<void> job = QtConcurrent::run([m] { m->disconnectBus(); });
    trackMasterJob(job);
    watcher->setFuture(job);

    {
        const QSignalBlocker blocker(ui->comboBox_index);
        ui->comboBox_index->clear();
    }
    ui->label_multicount->setText(QStringLiteral("0"));
    setLiveText(ui->label_motorcount, QT_TR_NOOP("电机数量:%1"), QStringLiteral("0"));
    ui->tabWidget->tabBar()->setEnabled(true);
    // Unchecking stops a running plot through its own slot.
    if (ui->pushButton_plot_para->isChecked()) {
        ui->pushButton_plot_para->setChecked(false);
    }
    if (ui->pushButton_plot_temp->isChecked()) {
        ui->pushButton_plot_temp->setChecked(false);
    }
}

// --- operating state -----------------------------------------------------------------------------

bool MainWindow::refuseDuringDriveJob() {
    if (driveJobs == 0) {
        return false;
    }
    emit writeLog(tr("当前正在上使能或下使能，请等待其完成"));
    return true;
}

bool MainWindow::requireState(int required) {
    if (refuseDuringDriveJob()) {
        return false;
    }
    if (ConsoleState == required) {
        return true;
    }
    if (ConsoleState < required) {
        emit writeLog(tr("当前处于%1，请进入%2状态")
                          .arg(consoleStateName(ConsoleState), consoleStateName(required)));
    } else {
        emit writeLog(tr("当前处于%1，请退回%2状态")
                          .arg(consoleStateName(ConsoleState), consoleStateName(required)));
    }
    return false;
}

bool MainWindow::mayWriteDrive() {
    return requireState(ConsoleState == Enabled ? Enabled : Connected);
}

void MainWindow::deal_when_slave_lost() {
    // One report arrives per lost slave; once the first has taken the bus down, the others
    // must not revive the connected state of a bus that is no longer there.
    if (liveTextSource(ui->pushButton_connect) != kDisconnectText) {
        return;
    }
    // Which slave and why, before the disconnect's lines: supervision records the loss before
    // it reports it.
    const QList<SupervisionEvent> events = master->supervisionEvents();
    QString why = tr("A slave was lost, the bus is disconnected.");
    for (auto e = events.crbegin(); e != events.crend(); ++e) {
        if (e->type == SupervisionKind::Lost) {
            why = tr("Slave %1 lost, the bus is disconnected: %2")
                      .arg(e->slave)
                      .arg(e->detail.isEmpty() ? tr("no reason recorded") : e->detail);
            break;
        }
    }
    emit writeLog(why);
    // The same beside the controls, where it stays until dismissed or the bus is up again; the
    // operator carries on meanwhile.
    ui->label_busBanner->setText(
        QStringLiteral("%1  %2").arg(QTime::currentTime().toString(u"hh:mm:ss"), why));
    ui->frame_busBanner->show();
    // The drive operated now is selected again by the next bring-up if it still has one.
    ui->comboBox_index->setProperty("driveBeforeLoss", currentMotorIndex);
    setLiveText(ui->pushButton_enable, kEnableText);
    // Widgets only: the bus goes down below, so nothing is sent.
    ui->doubleSpinBox_torque->setValue(0);
    ui->doubleSpinBox_position->setValue(0);
    ui->doubleSpinBox_velocity->setValue(0);
    ui->doubleSpinBox_Kp->setValue(0);
    ui->doubleSpinBox_Kd->setValue(0);
    // The master has cleared `enabled`; the gate is passed by: an enable or disable job still
    // running finds the bus gone and fails.
    disconnectFromBus();
    endProceduresWithoutBus();
}
