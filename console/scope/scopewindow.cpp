#include "scopewindow.h"

#include <QColorDialog>
#include <QComboBox>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPushButton>
#include <QShowEvent>
#include <QToolButton>
#include <QToolTip>

#include <algorithm>
#include <cmath>

#include "ecmaster.h"
#include "kivcustomplot.h"
#include "plotexport.h"
#include "ui_scopewindow.h"

namespace {

enum Column { kDrive, kSignal, kScale, kColour, kRemove };

// New channels take these in turn (0xAARRGGBB).
constexpr uint32_t kPalette[] = {0xFF1F77B4u, 0xFFD62728u, 0xFF2CA02Cu, 0xFFFF7F0Eu,
                                 0xFF9467BDu, 0xFF8C564Bu, 0xFFE377C2u, 0xFF17BECFu};
// A marker or cursor this close to the mouse (pixels) is the one meant.
constexpr double kPickPixels = 6;

QString colourStyle(uint32_t colour) {
    return QStringLiteral("background-color: %1;").arg(QColor::fromRgba(colour).name());
}

// The sample nearest to `timeNs` (the times ascend).
size_t nearestSample(const std::vector<int64_t>& times, int64_t timeNs) {
    const auto it = std::lower_bound(times.begin(), times.end(), timeNs);
    if (it == times.end()) {
        return times.size() - 1;
    }
    if (it != times.begin() && timeNs - *(it - 1) < *it - timeNs) {
        return static_cast<size_t>(it - times.begin()) - 1;
    }
    return static_cast<size_t>(it - times.begin());
}

// The time origin of a recording: its trigger, else (a roll view) its last sample.
int64_t originNs(const scope::Recording& r) {
    if (r.size() == 0) {
        return 0;
    }
    return r.timeNs(r.triggerIndex().value_or(r.size() - 1));
}

}  // namespace

ScopeWindow::ScopeWindow(ecmaster* master, QWidget* parent)
    : QWidget(parent, Qt::Window), ui(new Ui::ScopeWindow), scopeTool(new ScopeTool(master, this)) {
    ui->setupUi(this);
    ui->splitter->setStretchFactor(1, 1);
    QHeaderView* header = ui->tableWidget_channels->horizontalHeader();
    // Cell widgets give the columns no width of their own: the names share what the fixed
    // columns leave.
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setSectionResizeMode(kDrive, QHeaderView::Stretch);
    header->setSectionResizeMode(kSignal, QHeaderView::Stretch);
    ui->tableWidget_channels->setColumnWidth(kScale, 80);
    ui->tableWidget_channels->setColumnWidth(kColour, 44);
    ui->tableWidget_channels->setColumnWidth(kRemove, 70);
    for (int k = 0; k < scope::kEventKindCount; ++k) {
        ui->comboBox_eventKind->addItem(ScopeTool::eventTitle(static_cast<scope::EventKind>(k)));
    }

    for (QComboBox* box : {ui->comboBox_triggerKind, ui->comboBox_triggerChannel,
                           ui->comboBox_eventKind, ui->comboBox_mode}) {
        connect(box, &QComboBox::currentIndexChanged, this, &ScopeWindow::applySettings);
    }
    for (QDoubleSpinBox* box : {ui->doubleSpinBox_level, ui->doubleSpinBox_length}) {
        connect(box, &QDoubleSpinBox::valueChanged, this, &ScopeWindow::applySettings);
    }
    for (QSpinBox* box : {ui->spinBox_bit, ui->spinBox_preTrigger}) {
        connect(box, &QSpinBox::valueChanged, this, &ScopeWindow::applySettings);
    }

    connect(scopeTool, &ScopeTool::runningChanged, this, [this](bool running) {
        // A single shot ends with its recording: its line stays.
        if (running || !recordedThisRun) {
            setStatus(running ? tr("Recording; waiting for the trigger.") : tr("Stopped."));
        }
        recordedThisRun = false;
        updateButtons();
    });
    connect(scopeTool, &ScopeTool::recordingReady, this,
            [this](std::shared_ptr<const scope::Recording> r) {
                recordedThisRun = true;
                setStatus(
                    tr("Recording of %1 samples, %2 events.").arg(r->size()).arg(r->events.size()));
                showRecording(std::move(r));
            });
    connect(scopeTool, &ScopeTool::liveSnapshot, this, &ScopeWindow::showRecording);
    connect(scopeTool, &ScopeTool::overlayChanged, this, [this] { redraw(); });
    // Changes made elsewhere (or a removal, whose button the table deletes) rebuild the table
    // once the signal has returned; the window's own edits only rename the trigger channels.
    connect(scopeTool, &ScopeTool::channelsChanged, this, [this] {
        if (ownEdit) {
            fillTriggerChannels();
        } else {
            QMetaObject::invokeMethod(this, &ScopeWindow::fillChannelTable, Qt::QueuedConnection);
        }
    });
    connect(scopeTool, &ScopeTool::settingsChanged, this, [this] {
        if (!ownEdit) {
            showSettings();
        }
    });

    QCustomPlot* plot = ui->plot;
    plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    plot->xAxis->setLabel(tr("Time (s)"));
    plot->legend->setVisible(true);
    for (int c = 0; c < 2; ++c) {
        cursor[c] = new QCPItemStraightLine(plot);
        cursor[c]->setPen(QPen(c == 0 ? Qt::darkGreen : Qt::darkMagenta, 1, Qt::DashLine));
        cursor[c]->setVisible(false);
    }
    connect(plot, &QCustomPlot::mousePress, this, [this](QMouseEvent* e) {
        const double t = ui->plot->xAxis->pixelToCoord(e->position().x());
        // Ctrl+click: cursor A; Ctrl+right-click or Shift+click: cursor B.
        if (e->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)) {
            const int c = (e->modifiers() & Qt::ShiftModifier) || e->button() == Qt::RightButton;
            setCursors(c == 0 ? t : cursorTime(0), c == 1 ? t : cursorTime(1));
            return;
        }
        for (int c = 0; c < 2; ++c) {
            if (cursor[c]->visible() && std::abs(ui->plot->xAxis->coordToPixel(cursorTime(c)) -
                                                 e->position().x()) < kPickPixels) {
                dragging = c;
                ui->plot->setInteraction(QCP::iRangeDrag, false);
            }
        }
    });
    connect(plot, &QCustomPlot::mouseMove, this, [this](QMouseEvent* e) {
        const double x = e->position().x();
        if (dragging >= 0) {
            const double t = ui->plot->xAxis->pixelToCoord(x);
            setCursors(dragging == 0 ? t : cursorTime(0), dragging == 1 ? t : cursorTime(1));
            return;
        }
        const Marker* nearest = nullptr;
        double best = kPickPixels;
        for (const Marker& m : markers) {
            const double d = std::abs(ui->plot->xAxis->coordToPixel(m.time) - x);
            if (d < best) {
                best = d;
                nearest = &m;
            }
        }
        if (nearest != nullptr) {
            QToolTip::showText(e->globalPosition().toPoint(), nearest->text, ui->plot);
        } else {
            QToolTip::hideText();
        }
    });
    connect(plot, &QCustomPlot::mouseRelease, this, [this] {
        dragging = -1;
        ui->plot->setInteraction(QCP::iRangeDrag, true);
    });

    applySettings();
    fillChannelTable();
    updateButtons();
}

ScopeWindow::~ScopeWindow() {
    // A running tool stops as it goes: no word of that may reach the widgets going with it.
    disconnect(scopeTool, nullptr, this, nullptr);
    delete scopeTool;
    delete ui;
}

void ScopeWindow::showEvent(QShowEvent* event) {
    busChanged();
    QWidget::showEvent(event);
}

void ScopeWindow::busChanged() {
    fillChannelTable();
    updateButtons();
}

// --- channels --------------------------------------------------------------------------------

void ScopeWindow::fillChannelTable() {
    const QStringList drives = scopeTool->driveNames();
    const std::vector<scope::ChannelDef>& channels = scopeTool->channels();
    QTableWidget* table = ui->tableWidget_channels;
    table->setRowCount(0);
    table->setRowCount(static_cast<int>(channels.size()));
    for (int row = 0; row < table->rowCount(); ++row) {
        const scope::ChannelDef& ch = channels[static_cast<size_t>(row)];
        auto* drive = new QComboBox;
        drive->addItems(drives);
        if (ch.drive >= drive->count()) {  // a drive not on the bus now
            drive->addItem(tr("Drive %1").arg(ch.drive), ch.drive);
        }
        drive->setCurrentIndex(std::min(ch.drive, drive->count() - 1));
        auto* signal = new QComboBox;
        for (int s = 0; s < scope::kSignalCount; ++s) {
            signal->addItem(ScopeTool::signalTitle(static_cast<scope::Signal>(s)));
        }
        signal->setCurrentIndex(static_cast<int>(ch.signal));
        auto* scale = new QDoubleSpinBox;
        scale->setDecimals(4);
        scale->setRange(-1e6, 1e6);
        scale->setValue(ch.scale);
        auto* colour = new QPushButton;
        colour->setStyleSheet(colourStyle(ch.colour));
        colour->setProperty("colour", ch.colour);
        auto* remove = new QToolButton;
        remove->setText(tr("Remove"));
        table->setCellWidget(row, kDrive, drive);
        table->setCellWidget(row, kSignal, signal);
        table->setCellWidget(row, kScale, scale);
        table->setCellWidget(row, kColour, colour);
        table->setCellWidget(row, kRemove, remove);

        const auto changed = [this, row] { readChannelRow(row); };
        connect(drive, &QComboBox::currentIndexChanged, this, changed);
        connect(signal, &QComboBox::currentIndexChanged, this, changed);
        connect(scale, &QDoubleSpinBox::valueChanged, this, changed);
        connect(colour, &QPushButton::clicked, this, [this, colour, changed] {
            const QColor c =
                QColorDialog::getColor(QColor::fromRgba(colour->property("colour").toUInt()), this);
            if (c.isValid()) {
                colour->setProperty("colour", static_cast<uint32_t>(c.rgba()));
                colour->setStyleSheet(colourStyle(c.rgba()));
                changed();
            }
        });
        connect(remove, &QToolButton::clicked, this,
                [this, row] { scopeTool->removeChannel(row); });
    }
    ui->pushButton_addChannel->setEnabled(table->rowCount() < scope::kMaxChannels);
    fillTriggerChannels();
}

void ScopeWindow::readChannelRow(int row) {
    QTableWidget* table = ui->tableWidget_channels;
    scope::ChannelDef ch = scopeTool->channels().at(static_cast<size_t>(row));
    auto* drive = static_cast<QComboBox*>(table->cellWidget(row, kDrive));
    ch.drive =
        drive->currentData().isValid() ? drive->currentData().toInt() : drive->currentIndex();
    ch.signal = static_cast<scope::Signal>(
        static_cast<QComboBox*>(table->cellWidget(row, kSignal))->currentIndex());
    ch.scale = static_cast<QDoubleSpinBox*>(table->cellWidget(row, kScale))->value();
    ch.colour = table->cellWidget(row, kColour)->property("colour").toUInt();
    ownEdit = true;
    scopeTool->setChannel(row, ch);
    ownEdit = false;
}

void ScopeWindow::on_pushButton_addChannel_clicked() {
    scope::ChannelDef ch;
    const std::vector<scope::ChannelDef>& channels = scopeTool->channels();
    if (!channels.empty()) {
        ch.drive = channels.back().drive;
    }
    ch.signal = scope::Signal::Velocity;
    ch.colour = kPalette[channels.size() % std::size(kPalette)];
    scopeTool->addChannel(ch);
}

// --- trigger and run -------------------------------------------------------------------------

void ScopeWindow::fillTriggerChannels() {
    QComboBox* box = ui->comboBox_triggerChannel;
    const int kept = box->currentIndex();
    const QSignalBlocker block(box);
    box->clear();
    for (const scope::ChannelDef& ch : scopeTool->channels()) {
        box->addItem(ScopeTool::channelTitle(ch));
    }
    box->setCurrentIndex(box->count() == 0 ? -1 : std::clamp(kept, 0, box->count() - 1));
    applySettings();
}

void ScopeWindow::applySettings() {
    using scope::TriggerKind;
    scope::AcquisitionSettings s = scopeTool->settings();
    s.trigger.kind = static_cast<TriggerKind>(ui->comboBox_triggerKind->currentIndex());
    s.trigger.channel = s.trigger.kind == TriggerKind::FaultEntry
                            ? -1
                            : std::max(0, ui->comboBox_triggerChannel->currentIndex());
    s.trigger.level = ui->doubleSpinBox_level->value();
    s.trigger.bit = ui->spinBox_bit->value();
    s.trigger.events =
        scope::eventBit(static_cast<scope::EventKind>(ui->comboBox_eventKind->currentIndex()));
    s.trigger.drive = scope::kAllDrives;
    s.mode = static_cast<scope::TriggerMode>(ui->comboBox_mode->currentIndex());
    s.recordSeconds = ui->doubleSpinBox_length->value();
    s.preTriggerFraction = ui->spinBox_preTrigger->value() / 100.0;
    ownEdit = true;
    scopeTool->setSettings(s);
    ownEdit = false;

    const TriggerKind k = s.trigger.kind;
    const bool edge = k == TriggerKind::Rising || k == TriggerKind::Falling;
    const bool bit = k == TriggerKind::StatusBitRising || k == TriggerKind::StatusBitFalling;
    ui->comboBox_triggerChannel->setEnabled(edge || bit);
    ui->doubleSpinBox_level->setEnabled(edge);
    ui->spinBox_bit->setEnabled(bit);
    ui->comboBox_eventKind->setEnabled(k == TriggerKind::Event);
}

void ScopeWindow::showSettings() {
    const scope::AcquisitionSettings& s = scopeTool->settings();
    {
        const QSignalBlocker blocks[] = {
            QSignalBlocker(ui->comboBox_triggerKind), QSignalBlocker(ui->comboBox_triggerChannel),
            QSignalBlocker(ui->doubleSpinBox_level),  QSignalBlocker(ui->spinBox_bit),
            QSignalBlocker(ui->comboBox_eventKind),   QSignalBlocker(ui->comboBox_mode),
            QSignalBlocker(ui->doubleSpinBox_length), QSignalBlocker(ui->spinBox_preTrigger)};
        ui->comboBox_triggerKind->setCurrentIndex(static_cast<int>(s.trigger.kind));
        if (s.trigger.channel >= 0) {
            ui->comboBox_triggerChannel->setCurrentIndex(s.trigger.channel);
        }
        ui->doubleSpinBox_level->setValue(s.trigger.level);
        ui->spinBox_bit->setValue(s.trigger.bit);
        for (int k = 0; k < scope::kEventKindCount; ++k) {
            if (s.trigger.events & scope::eventBit(static_cast<scope::EventKind>(k))) {
                ui->comboBox_eventKind->setCurrentIndex(k);
                break;
            }
        }
        ui->comboBox_mode->setCurrentIndex(static_cast<int>(s.mode));
        ui->doubleSpinBox_length->setValue(s.recordSeconds);
        ui->spinBox_preTrigger->setValue(static_cast<int>(std::lround(s.preTriggerFraction * 100)));
    }
    applySettings();
}

void ScopeWindow::updateButtons() {
    const bool running = scopeTool->running();
    const bool recorded = scopeTool->recording() != nullptr;
    ui->pushButton_run->setEnabled(!running);
    ui->pushButton_stop->setEnabled(running);
    ui->pushButton_trigger->setEnabled(running);
    ui->pushButton_save->setEnabled(recorded);
    ui->pushButton_exportCsv->setEnabled(recorded);
    ui->pushButton_exportPng->setEnabled(recorded);
    ui->groupBox_channels->setEnabled(!running);
    ui->groupBox_trigger->setEnabled(!running);
}

void ScopeWindow::on_pushButton_run_clicked() {
    QString error;
    if (!scopeTool->start(&error)) {
        setStatus(error);
    }
}

void ScopeWindow::on_pushButton_stop_clicked() {
    scopeTool->stop();
}

void ScopeWindow::on_pushButton_trigger_clicked() {
    scopeTool->triggerNow();
}

// --- files -------------------------------------------------------------------------------------

QString ScopeWindow::askFile(bool saving, const QString& filter) {
    return saving ? QFileDialog::getSaveFileName(this, tr("Save"), QString(), filter)
                  : QFileDialog::getOpenFileName(this, tr("Open"), QString(), filter);
}

void ScopeWindow::on_pushButton_save_clicked() {
    const QString path = askFile(true, tr("Scope recordings (*.zscope)"));
    QString error;
    if (!path.isEmpty()) {
        setStatus(scopeTool->save(path, &error) ? tr("Saved %1.").arg(path)
                                                : tr("Not saved: %1").arg(error));
    }
}

void ScopeWindow::on_pushButton_open_clicked() {
    const QString path = askFile(false, tr("Scope recordings (*.zscope)"));
    QString error;
    if (!path.isEmpty() && !scopeTool->open(path, &error)) {
        setStatus(tr("Not opened: %1").arg(error));
    }
    updateButtons();
}

void ScopeWindow::on_pushButton_overlay_clicked() {
    const QString path = askFile(false, tr("Scope recordings (*.zscope)"));
    QString error;
    if (path.isEmpty()) {
        scopeTool->clearOverlay();
    } else if (!scopeTool->openOverlay(path, &error)) {
        setStatus(tr("Not opened: %1").arg(error));
    }
}

void ScopeWindow::on_pushButton_exportCsv_clicked() {
    const QString path = askFile(true, tr("CSV files (*.csv)"));
    QString error;
    if (!path.isEmpty()) {
        setStatus(scopeTool->exportCsv(path, &error) ? tr("Saved %1.").arg(path)
                                                     : tr("Not saved: %1").arg(error));
    }
}

void ScopeWindow::on_pushButton_exportPng_clicked() {
    const QString path = askFile(true, tr("PNG images (*.png)"));
    QString error;
    if (!path.isEmpty()) {
        setStatus(exportPlot(*ui->plot, path, &error) ? tr("Saved %1.").arg(path)
                                                      : tr("Not saved: %1").arg(error));
    }
}

void ScopeWindow::on_checkBox_separateAxes_toggled(bool) {
    redraw();
}

void ScopeWindow::setStatus(const QString& text) {
    ui->label_status->setText(text);
}

// --- drawing -------------------------------------------------------------------------------

void ScopeWindow::showRecording(std::shared_ptr<const scope::Recording> recording) {
    const bool first = shown == nullptr;
    shown = std::move(recording);
    redraw();
    if (first && shown->size() > 0) {
        const double t0 = (shown->timeNs(0) - originNs(*shown)) / 1e9;
        const double t1 = (shown->timeNs(shown->size() - 1) - originNs(*shown)) / 1e9;
        setCursors(t0 + (t1 - t0) * 0.25, t0 + (t1 - t0) * 0.75);
    }
    updateButtons();
}

void ScopeWindow::redraw() {
    QCustomPlot* plot = ui->plot;
    plot->clearGraphs();
    for (QCPAxis* axis : plot->axisRect()->axes(QCPAxis::atLeft)) {
        if (axis != plot->yAxis) {
            plot->axisRect()->removeAxis(axis);
        }
    }
    for (int i = plot->itemCount() - 1; i >= 0; --i) {
        if (plot->item(i) != cursor[0] && plot->item(i) != cursor[1]) {
            plot->removeItem(i);
        }
    }
    markers.clear();
    const bool separate = ui->checkBox_separateAxes->isChecked();

    // One recording's channels as graphs; a gap in the cycles breaks the line (a NaN point).
    std::vector<QCPAxis*> axes;
    const auto draw = [&](const scope::Recording& r, bool overlay) {
        const int64_t origin = originNs(r);
        for (int c = 0; c < r.channelCount(); ++c) {
            const scope::ChannelDef& ch = r.channels()[static_cast<size_t>(c)];
            QCPAxis* axis = plot->yAxis;
            if (separate) {
                if (static_cast<size_t>(c) >= axes.size()) {
                    axes.push_back(c == 0 ? plot->yAxis
                                          : plot->axisRect()->addAxis(QCPAxis::atLeft));
                }
                axis = axes[static_cast<size_t>(c)];
                axis->setBasePen(QPen(QColor::fromRgba(ch.colour)));
                axis->setTickLabelColor(QColor::fromRgba(ch.colour));
            }
            QCPGraph* graph = plot->addGraph(plot->xAxis, axis);
            QPen pen(QColor::fromRgba(ch.colour));
            if (overlay) {
                pen.setStyle(Qt::DashLine);
                pen.setColor(pen.color().lighter(140));
            }
            graph->setPen(pen);
            if (scope::isWordSignal(ch.signal)) {
                graph->setLineStyle(QCPGraph::lsStepLeft);
            }
            const QString unit = ScopeTool::channelUnit(ch);
            QString name = unit.isEmpty() ? ScopeTool::channelTitle(ch)
                                          : ScopeTool::channelTitle(ch) + QStringLiteral(" [") +
                                                unit + QStringLiteral("]");
            graph->setName(overlay ? tr("%1 (overlay)").arg(name) : name);
            QVector<double> keys;
            QVector<double> values;
            keys.reserve(static_cast<qsizetype>(r.size() + r.gapCount()));
            values.reserve(keys.capacity());
            for (size_t i = 0; i < r.size(); ++i) {
                const double t = (r.timeNs(i) - origin) / 1e9;
                if (r.gapBefore(i)) {
                    keys << t;
                    values << std::nan("");
                }
                keys << t;
                values << r.value(c, i) * ch.scale;
            }
            graph->setData(keys, values, true);
            if (separate) {
                graph->rescaleValueAxis();
            }
        }
        if (overlay) {
            return;
        }
        for (const scope::RecordedEvent& ev : r.events) {
            const double t = (ev.timeNs - origin) / 1e9;
            auto* line = new QCPItemStraightLine(plot);
            line->point1->setCoords(t, 0);
            line->point2->setCoords(t, 1);
            line->setPen(QPen(QColor(230, 120, 0), 1.5, Qt::DashDotLine));
            QString text = ScopeTool::eventTitle(ev.kind);
            if (ev.drive != scope::kAllDrives) {
                text = tr("Drive %1: %2").arg(ev.drive).arg(text);
            }
            if (ev.kind == scope::EventKind::StateChange) {
                // The master names the state entered, untranslated.
                text += QStringLiteral("\n") +
                        QCoreApplication::translate("Cia402State", ev.text.c_str());
            } else if (!ev.text.empty()) {
                text += QStringLiteral("\n") + QString::fromStdString(ev.text);
            }
            markers.push_back(
                {t, tr("%1\nt = %2 s, cycle %3").arg(text).arg(t, 0, 'f', 4).arg(ev.cycle)});
        }
    };
    if (shown) {
        draw(*shown, false);
    }
    if (const std::shared_ptr<const scope::Recording> overlay = scopeTool->overlay()) {
        draw(*overlay, true);
    }
    if (shown && shown->triggerIndex()) {
        auto* zero = new QCPItemStraightLine(plot);
        zero->point1->setCoords(0, 0);
        zero->point2->setCoords(0, 1);
        zero->setPen(QPen(QColor(0, 0, 0, 90), 1));
    }
    plot->rescaleAxes();
    // A margin above and below, so that a line at its extreme stays clear of the frame.
    for (QCPAxis* axis : plot->axisRect()->axes(QCPAxis::atLeft)) {
        if (separate) {
            for (QCPGraph* graph : axis->graphs()) {
                graph->rescaleValueAxis(graph != axis->graphs().first());
            }
        }
        const QCPRange range = axis->range();
        const double pad = range.size() > 0 ? range.size() * 0.05 : 1;
        axis->setRange(range.lower - pad, range.upper + pad);
    }
    plot->replot();
    updateReadout();
}

double ScopeWindow::cursorTime(int which) const {
    return cursor[which]->point1->coords().x();
}

void ScopeWindow::setCursors(double a, double b) {
    const double t[2] = {a, b};
    for (int c = 0; c < 2; ++c) {
        cursor[c]->point1->setCoords(t[c], 0);
        cursor[c]->point2->setCoords(t[c], 1);
        cursor[c]->setVisible(true);
    }
    ui->plot->replot();
    updateReadout();
}

void ScopeWindow::updateReadout() {
    if (!shown || shown->size() == 0 || !cursor[0]->visible()) {
        return;
    }
    const scope::Recording& r = *shown;
    const int64_t origin = originNs(r);
    const double a = cursorTime(0);
    const double b = cursorTime(1);
    const size_t ia = nearestSample(r.times(), origin + static_cast<int64_t>(a * 1e9));
    const size_t ib = nearestSample(r.times(), origin + static_cast<int64_t>(b * 1e9));
    QStringList lines{tr("A: %1 s   B: %2 s   Δt: %3 s")
                          .arg(a, 0, 'f', 4)
                          .arg(b, 0, 'f', 4)
                          .arg(b - a, 0, 'f', 4)};
    for (int c = 0; c < r.channelCount(); ++c) {
        const scope::ChannelDef& ch = r.channels()[static_cast<size_t>(c)];
        const double va = r.value(c, ia) * ch.scale;
        const double vb = r.value(c, ib) * ch.scale;
        if (scope::isWordSignal(ch.signal) && ch.scale == 1) {
            const auto hex = [](double v) {
                return std::isnan(v) ? QStringLiteral("-")
                                     : QStringLiteral("0x%1").arg(static_cast<qint64>(v), 4, 16,
                                                                  QLatin1Char('0'));
            };
            lines << tr("%1: A %2   B %3").arg(ScopeTool::channelTitle(ch), hex(va), hex(vb));
            continue;
        }
        lines << tr("%1: A %2   B %3   Δ %4 %5")
                     .arg(ScopeTool::channelTitle(ch))
                     .arg(va, 0, 'g', 6)
                     .arg(vb, 0, 'g', 6)
                     .arg(vb - va, 0, 'g', 6)
                     .arg(ScopeTool::channelUnit(ch));
    }
    ui->label_readout->setText(lines.join(u'\n'));
}
