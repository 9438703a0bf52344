// The bus diagnostics window.
#include "busdiagnostics.h"

#include <QHeaderView>
#include <QShortcut>
#include <QTableWidgetItem>
#include <QtConcurrent/QtConcurrentRun>

#include <utility>

#include "ethercat.h"
#include "ui_busdiagnostics.h"

namespace {

const QBrush kTroubleBrush(QColor(255, 200, 200));
constexpr qint64 kMinuteMs = 60000;

QString alStateName(uint16_t state) {
    static const char* const names[] = {"NONE", "INIT", "PRE-OP", "BOOT", "SAFE-OP",
                                        "?",    "?",    "?",      "OP"};
    const unsigned s = state & 0x0F;
    QString name = QString::fromLatin1(s < 9 ? names[s] : "?");
    return (state & EC_STATE_ERROR) ? name + QStringLiteral(" + ERROR") : name;
}

// Four per-port counters as "a/b/c/d".
QString perPort(const std::array<uint8_t, 20>& c, int first, int stride) {
    QStringList parts;
    for (int p = 0; p < 4; ++p) {
        parts << QString::number(c[static_cast<size_t>(first + stride * p)]);
    }
    return parts.join(QLatin1Char('/'));
}

}  // namespace

QStringList diagnosticsRow(const SlaveDiagnostics& d) {
    QStringList row{QString::number(d.position),
                    QStringLiteral("0x%1").arg(d.address, 4, 16, QLatin1Char('0')), d.name};
    if (!d.answered) {
        row << BusDiagnostics::tr("no answer");
        while (row.size() < 11) {
            row << QString();
        }
        return row << QString::number(d.supervisionMisses);
    }
    const auto& c = d.errorCounters;
    row << alStateName(d.alState)
        << (d.alStatusCode == 0
                ? QStringLiteral("0x0000")
                : QStringLiteral("0x%1 %2")
                      .arg(d.alStatusCode, 4, 16, QLatin1Char('0'))
                      .arg(QString::fromUtf8(ec_ALstatuscode2string(d.alStatusCode))))
        << perPort(c, 0, 2) << perPort(c, 1, 2) << perPort(c, 8, 1) << perPort(c, 16, 1)
        << QString::number(c[12])
        << (d.referenceClock   ? BusDiagnostics::tr("reference")
            : !d.hasDc         ? BusDiagnostics::tr("no DC")
            : d.dcDifferenceNs ? QString::number(*d.dcDifferenceNs)
                               : QStringLiteral("-"))
        << QString::number(d.supervisionMisses);
    return row;
}

BusDiagnostics::BusDiagnostics(ecmaster* m, QWidget* parent)
    : QWidget(parent, Qt::Window), ui(new Ui::BusDiagnostics), master(m) {
    ui->setupUi(this);
    auto* stopKey = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    stopKey->setContext(Qt::WindowShortcut);
    connect(stopKey, &QShortcut::activated, this, &BusDiagnostics::stopRequested);
    QTableWidget* table = ui->tableWidget_slaves;
    table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    connect(&reading, &QFutureWatcher<Reading>::finished, this,
            [this] { display(reading.result()); });
    connect(&refreshTimer, &QTimer::timeout, this, &BusDiagnostics::refresh);
    refreshTimer.start(kRefreshMs);
    clock.start();
    refresh();
}

BusDiagnostics::~BusDiagnostics() {
    // The read in flight uses the master and reports to this window: let it end first.
    refreshTimer.stop();
    reading.waitForFinished();
    delete ui;
}

void BusDiagnostics::refresh() {
    if (reading.isRunning()) {
        return;
    }
    ecmaster* m = master;
    const bool reset = std::exchange(resetPending, false);
    reading.setFuture(QtConcurrent::run([m, reset] {
        if (reset) {
            m->resetErrorCounters();
        }
        return Reading{m->readDiagnostics(), m->busFigures()};
    }));
}

void BusDiagnostics::display(const Reading& read) {
    const QList<SlaveDiagnostics>& slaves = read.slaves;
    QTableWidget* table = ui->tableWidget_slaves;
    table->setRowCount(static_cast<int>(slaves.size()));
    for (int r = 0; r < slaves.size(); ++r) {
        const SlaveDiagnostics& d = slaves[r];
        const QStringList cells = diagnosticsRow(d);
        const bool trouble = !d.answered || (d.alState & 0x0F) != EC_STATE_OPERATIONAL ||
                             (d.alState & EC_STATE_ERROR) != 0 || d.supervisionMisses > 0;
        for (int c = 0; c < cells.size() && c < table->columnCount(); ++c) {
            QTableWidgetItem* item = table->item(r, c);
            if (item == nullptr) {
                item = new QTableWidgetItem;
                table->setItem(r, c, item);
            }
            if (item->text() != cells[c]) {
                item->setText(cells[c]);
            }
            item->setBackground(trouble ? kTroubleBrush : QBrush());
        }
    }
    const BusFigures& f = read.figures;
    ui->label_cycles->setText(QString::number(f.cycles));
    ui->label_skipped->setText(QString::number(f.skippedCycles));
    ui->label_wkc->setText(QString::number(f.wkcMisses));
    ui->label_wkcMinute->setText(
        QString::number(growthInLastMinute(wkcTotals, clock.elapsed(), f.wkcMisses)));
    ui->label_resent->setText(QString::number(f.framesResent));
    ui->label_lost->setText(QString::number(f.framesLost));
    QStringList lines;
    for (const SupervisionEvent& e : master->supervisionEvents()) {
        QString line = tr("%1  slave %2 %3")
                           .arg(e.time.toString(QStringLiteral("HH:mm:ss.zzz")))
                           .arg(e.slave)
                           .arg(supervisionKindName(e.type));
        if (!e.detail.isEmpty()) {  // why a slave was lost, what an emergency said
            line += QStringLiteral(": ") + e.detail;
        }
        lines << line;
    }
    const QString text = lines.join(QLatin1Char('\n'));
    if (ui->plainTextEdit_events->toPlainText() != text) {
        ui->plainTextEdit_events->setPlainText(text);
    }
    emit refreshed();
}

uint64_t growthInLastMinute(TotalReads& reads, qint64 nowMs, uint64_t total) {
    if (!reads.empty() && total < reads.back().second) {
        reads.clear();
    }
    reads.emplace_back(nowMs, total);
    while (reads.size() > 1 && nowMs - reads[1].first >= kMinuteMs) {
        reads.pop_front();
    }
    return total - reads.front().second;
}

void BusDiagnostics::on_pushButton_resetCounters_clicked() {
    // Cleared by the next read, before it reads (after the one under way, if any).
    resetPending = true;
    if (!reading.isRunning()) {
        refresh();
    }
}
