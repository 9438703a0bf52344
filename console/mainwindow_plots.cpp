// The two live plots: parameters (torque, position, velocity) and temperatures.
#include <QFileDialog>
#include <QMessageBox>

#include "ecmaster.h"
#include "mainwindow.h"
#include "model/scaling.h"
#include "plotexport.h"
#include "ui_mainwindow.h"

namespace {

// Redraw period of a running plot.
constexpr int kRefreshMs = 16;
// The parameter plot shows this many seconds up to its newest point.
constexpr double kParaWindowSeconds = 10.0;

}  // namespace

void MainWindow::setupPlot(KivCustomPlot* plot, LivePlot& live) {
    plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom | QCP::iSelectPlottables |
                          QCP::iSelectLegend);

    live.timeTicker.reset(new QCPAxisTickerTime);
    live.timeTicker->setTimeFormat(QStringLiteral("%h:%m:%s"));
    live.timeTicker->setTickCount(6);
    live.valueTicker.reset(new QCPAxisTicker);
    live.valueTicker->setTickCount(8);
    live.valueTicker->setTickStepStrategy(QCPAxisTicker::tssReadability);
    plot->xAxis->setTicker(live.timeTicker);
    plot->yAxis->setTicker(live.valueTicker);

    plot->axisRect()->setupFullAxesBox(true);
    plot->axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignLeft);
    plot->legend->setVisible(true);
    QFont legendFont(QStringLiteral("MS Shell Dlg 2"), 8);
    legendFont.setWeight(QFont::Thin);
    plot->legend->setFont(legendFont);
    plot->legend->setIconSize(15, 10);
    plot->legend->setSelectableParts(QCPLegend::spItems);
    plot->setContextMenuPolicy(Qt::CustomContextMenu);

    plot->xAxis->setRange(0, 10);
    plot->yAxis->setRange(15, 75);

    const QColor colours[] = {QColor(255, 0, 0), QColor(0, 255, 127), QColor(0, 0, 255)};
    for (size_t i = 0; i < live.curves.size(); ++i) {
        QCPGraph* graph = plot->addGraph(plot->xAxis, plot->yAxis);
        graph->setPen(QPen(colours[i], 1, Qt::SolidLine));
        graph->setAdaptiveSampling(true);
        graph->setLineStyle(QCPGraph::lsLine);
        graph->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssNone, 6));
        live.curves[i] = graph;
        // Appended to directly: keys only grow, so each add is a plain append.
        live.points[i] = graph->data();
    }
    plot->setNotAntialiasedElements(QCP::aeAll);
}

void MainWindow::labelPlots() {
    ui->plot_para->xAxis->setLabel(tr("Time (s)"));
    ui->plot_para->yAxis->setLabel(tr("Value"));
    ui->plot_temperature->xAxis->setLabel(tr("Time (s)"));
    ui->plot_temperature->yAxis->setLabel(tr("Temperature (℃)"));
    const QString temperatures[] = {tr("Mcu"), tr("ntc-mos"), tr("Motor")};
    for (size_t i = 0; i < tempPlot.curves.size(); ++i) {
        tempPlot.curves[i]->setName(temperatures[i]);
    }
    // An identification shows its own values in the first and third curves.
    if (recordingState == RecordingIdle) {
        paraPlot.curves[0]->setName(tr("Torque"));
        paraPlot.curves[2]->setName(tr("Velocity"));
    }
    paraPlot.curves[1]->setName(tr("Position"));
    ui->plot_para->replot(QCustomPlot::rpQueuedReplot);
    ui->plot_temperature->replot(QCustomPlot::rpQueuedReplot);
}

void MainWindow::togglePlot(KivCustomPlot* plot, LivePlot& live, QAbstractButton* button,
                            QAbstractButton* clearButton, bool checked, const QString& refusal) {
    if (plotToggleGuard) {
        return;
    }
    plotToggleGuard = true;
    if (!checked) {
        setLiveText(button, kStartPlotText);
        clearButton->setEnabled(true);
        live.refreshTimer.stop();
        live.running = false;
        setPlotInteraction(plot, live);
        plot->replot(QCustomPlot::rpQueuedReplot);  // the last points, also when paused
    } else if (master->isConnected()) {
        live.firstRefresh = true;
        live.drawnPoints = -1;
        live.running = true;
        live.startTime = QDateTime::currentDateTime();
        for (const auto& points : live.points) {
            points->clear();
        }
        setPlotInteraction(plot, live);
        setLiveText(button, kStopPlotText);
        clearButton->setEnabled(false);
        live.refreshTimer.start(kRefreshMs);
    } else {
        button->setChecked(false);
        QMessageBox::critical(this, tr("ERROR"), refusal);
    }
    plotToggleGuard = false;
}

void MainWindow::on_pushButton_plot_para_toggled(bool checked) {
    togglePlot(ui->plot_para, paraPlot, ui->pushButton_plot_para, ui->pushButton_clear_para,
               checked, tr("请先Connect"));
}

void MainWindow::on_pushButton_plot_temp_toggled(bool checked) {
    togglePlot(ui->plot_temperature, tempPlot, ui->pushButton_plot_temp, ui->pushButton_clear_temp,
               checked, tr("请先进入OP模式"));
}

void MainWindow::clearPlot(KivCustomPlot* plot, LivePlot& live) {
    for (const auto& points : live.points) {
        points->clear();
    }
    plot->replot(QCustomPlot::rpRefreshHint);
}

void MainWindow::setPlotInteraction(KivCustomPlot* plot, const LivePlot& live) {
    // While running the time axis follows the data; only the values are the operator's.
    const Qt::Orientations free = live.running && !live.paused
                                      ? Qt::Orientations(Qt::Vertical)
                                      : Qt::Orientations(Qt::Horizontal | Qt::Vertical);
    plot->axisRect()->setRangeDrag(free);
    plot->axisRect()->setRangeZoom(free);
}

void MainWindow::pausePlot(KivCustomPlot* plot, LivePlot& live, bool paused) {
    live.paused = paused;
    live.drawnPoints = -1;  // resumed, the time axis goes back to the data at once
    setPlotInteraction(plot, live);
}

void MainWindow::fitPlot(KivCustomPlot* plot) {
    plot->rescaleAxes(true);
    plot->replot(QCustomPlot::rpQueuedReplot);
}

void MainWindow::exportPlotToFile(KivCustomPlot* plot, const QString& title) {
    const QString defaultName =
        title + QLatin1Char('_') +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_HHmmss")) +
        QStringLiteral(".csv");
    const QString path = QFileDialog::getSaveFileName(
        this, tr("Export plot"), defaultName, tr("CSV (*.csv);;PNG image (*.png);;PDF (*.pdf)"));
    if (path.isEmpty()) {
        return;
    }
    QString error;
    if (!exportPlot(*plot, path, &error)) {
        QMessageBox::warning(this, tr("Export plot"),
                             tr("%1 was not written: %2").arg(path, error));
        return;
    }
    emit writeLog(tr("Plot exported to %1").arg(path));
}

void MainWindow::on_pushButton_pause_para_toggled(bool checked) {
    pausePlot(ui->plot_para, paraPlot, checked);
}

void MainWindow::on_pushButton_pause_temp_toggled(bool checked) {
    pausePlot(ui->plot_temperature, tempPlot, checked);
}

void MainWindow::on_pushButton_fit_para_clicked() {
    fitPlot(ui->plot_para);
}

void MainWindow::on_pushButton_fit_temp_clicked() {
    fitPlot(ui->plot_temperature);
}

void MainWindow::on_pushButton_export_para_clicked() {
    exportPlotToFile(ui->plot_para, QStringLiteral("Para"));
}

void MainWindow::on_pushButton_export_temp_clicked() {
    exportPlotToFile(ui->plot_temperature, QStringLiteral("Temp"));
}

void MainWindow::on_pushButton_clear_para_clicked() {
    clearPlot(ui->plot_para, paraPlot);
}

void MainWindow::on_pushButton_clear_temp_clicked() {
    clearPlot(ui->plot_temperature, tempPlot);
}

std::optional<double> MainWindow::nextPlotKey(LivePlot& live) {
    if (!live.running) {
        return std::nullopt;
    }
    if (!refreshDue(live.sampleCounter)) {
        return std::nullopt;
    }
    // Keys are wall-clock seconds since the start, kept at float precision like the samples.
    const float seconds =
        static_cast<float>(live.startTime.msecsTo(QDateTime::currentDateTime())) / 1000.0f;
    return static_cast<double>(seconds);
}

void MainWindow::samplePlot(LivePlot& live, const std::array<double, 3>& values) {
    const std::optional<double> key = nextPlotKey(live);
    if (!key) {
        return;
    }
    for (size_t i = 0; i < live.points.size(); ++i) {
        live.points[i]->add(QCPGraphData(*key, values[i]));
    }
}

bool MainWindow::redrawDue(const KivCustomPlot* plot, LivePlot& live) {
    if (!plot->isVisible()) {
        return false;
    }
    qsizetype points = 0;
    for (const auto& curve : live.points) {
        points += curve->size();
    }
    if (points == live.drawnPoints) {
        return false;
    }
    live.drawnPoints = points;
    return true;
}

void MainWindow::paraPlotSlot() {
    const auto& points = paraPlot.points;
    if (points[0]->size() < 2 && points[1]->size() < 2 && points[2]->size() < 2) {
        return;
    }
    if (paraPlot.paused || !redrawDue(ui->plot_para, paraPlot)) {
        return;
    }
    if (paraPlot.firstRefresh) {
        ui->plot_para->yAxis->rescale();
        paraPlot.firstRefresh = false;
    }
    if (!points[0]->isEmpty()) {
        const double newest = (points[0]->constEnd() - 1)->key;
        ui->plot_para->xAxis->setRange(newest - kParaWindowSeconds, newest);
    }
    ui->plot_para->replot(QCustomPlot::rpQueuedReplot);
}

void MainWindow::temperaturePlotSlot() {
    const auto& points = tempPlot.points;
    if (points[0]->size() < 2 || points[1]->size() < 2 || points[2]->size() < 2) {
        return;
    }
    if (tempPlot.paused || !redrawDue(ui->plot_temperature, tempPlot)) {
        return;
    }
    if (tempPlot.firstRefresh) {
        ui->plot_temperature->yAxis->rescale();
        tempPlot.firstRefresh = false;
    }
    // The whole history stays in view.
    ui->plot_temperature->xAxis->setRange(points[0]->constBegin()->key,
                                          (points[0]->constEnd() - 1)->key);
    ui->plot_temperature->replot(QCustomPlot::rpQueuedReplot);
}

void MainWindow::takeRecords() {
    std::array<TimedRecord, 128> batch;
    size_t taken = 0;
    do {
        taken = master->takeRecords(batch);
        for (size_t i = 0; i < taken; ++i) {
            deal_recv_pdo_data(batch[i].data, batch[i].timestamp);
        }
    } while (taken == batch.size());
}

void MainWindow::deal_recv_pdo_data(TCiA402_GetValue data, uint64_t timestamp) {
    // Plot keys come from the wall clock; the cycle's timestamp times identification rows only.
    const float position = rawToPosition(data.position);
    const float velocity = rawToVelocity(data.velocity);
    const float torque = rawToTorque(data.torque);
    showStatusFields(data, position, velocity, torque);
    samplePlot(tempPlot, {static_cast<double>(data.mcuTemp), static_cast<double>(data.mosTemp),
                          static_cast<double>(data.motorTemp)});
    // While identification records, the parameter plot shows its values instead.
    if (recordingState != RecordingActive) {
        samplePlot(paraPlot, {static_cast<double>(torque), static_cast<double>(position),
                              static_cast<double>(velocity)});
    }
    recordIdentificationSample(data, timestamp);
    checkFaultWords(data);
}
