// Live diagnostics of the bus while connected: per slave its AL state and status, the port error
// counters, lost links, the DC time difference and how often supervision found it out of OP or
// silent (which slave broke the working counter); the cycle's and the link's figures; the last
// supervision events. Refreshed twice a second, the registers read off the GUI thread in one
// frame beside the cycle. "Reset counters" clears the slaves' counters by writing them.
//
// GUI thread only. STOP under Esc here as in the main window.
#pragma once

#include <QElapsedTimer>
#include <QFutureWatcher>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <deque>
#include <utility>

#include "ecmaster.h"

namespace Ui {
class BusDiagnostics;
}

// The table cells of one slave, in column order.
QStringList diagnosticsRow(const SlaveDiagnostics& d);

// Reads of a running total at ms times, oldest first: the oldest kept is the newest read at least
// a minute old.
using TotalReads = std::deque<std::pair<qint64, uint64_t>>;
// What the total read now (at nowMs) grew by in the last minute, or since the first read before a
// minute has gone by; a total that went back (a new bus session) starts the reads afresh.
uint64_t growthInLastMinute(TotalReads& reads, qint64 nowMs, uint64_t total);

class BusDiagnostics : public QWidget {
    Q_OBJECT

public:
    explicit BusDiagnostics(ecmaster* master, QWidget* parent = nullptr);
    ~BusDiagnostics() override;
    BusDiagnostics(const BusDiagnostics&) = delete;
    BusDiagnostics& operator=(const BusDiagnostics&) = delete;

    static constexpr int kRefreshMs = 500;

    // Starts a read of the registers unless one is under way; the table follows when it is in.
    void refresh();

signals:
    void stopRequested();
    void refreshed();  // the table and figures show a read that came in

private slots:
    void on_pushButton_resetCounters_clicked();

private:
    // What one read brings: all of it blocks on the bus or the transfer lock, so it is taken on
    // a pool thread, never on the GUI's.
    struct Reading {
        QList<SlaveDiagnostics> slaves;
        BusFigures figures;
    };
    void display(const Reading& read);

    Ui::BusDiagnostics* ui = nullptr;
    ecmaster* master = nullptr;  // not owned; outlives the window
    QTimer refreshTimer;
    QFutureWatcher<Reading> reading;
    bool resetPending = false;  // GUI thread: the next read clears the counters first
    TotalReads wkcTotals;       // GUI thread: the cycle's working-counter misses, at ms of `clock`
    QElapsedTimer clock;
};
