// Supervision of the running bus on a thread of its own: every 10 ms, when the last cycle's
// working counter fell short or a check is pending, it reads all slave states and steers each
// valid drive back to OPERATIONAL, or declares it lost once it has stayed silent across checks
// for longer than its SyncManager watchdog; every 100 ms it takes the emergencies the drives put
// into their send mailboxes. What it sees is kept as typed events.
#pragma once

#include <QCoreApplication>
#include <QDateTime>
#include <QList>
#include <QMutex>
#include <QString>

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>

#include "masterstate.h"
#include "osal/osal.h"

struct ec_errort;
struct ec_slavet;

// "lost", "recovered", "acknowledged", "reconfigured", "emergency".
QString supervisionKindName(SupervisionKind kind);

struct SupervisionEvent {
    QDateTime time;
    int slave = 0;
    SupervisionKind type = SupervisionKind::Lost;  // supervisionKindName names it
    QString detail;                                // why, for a loss; the text of an emergency
};

// The log line of an emergency a drive sent.
QString emergencyText(int drive, const ec_errort& e);

class Supervisor {
    // Its log lines are operator texts, translated in context "Supervisor".
    Q_DECLARE_TR_FUNCTIONS(Supervisor)

public:
    explicit Supervisor(MasterState& state) : s_(state) { clearRecord(); }
    Supervisor(const Supervisor&) = delete;
    Supervisor& operator=(const Supervisor&) = delete;

    // Starts the supervision thread, which runs until MasterState::running is cleared; join
    // waits for it. Both from the facade's constructor and destructor only.
    void start();
    void join();
    // The thread's entry; `self` is the Supervisor.
    static void ecatcheck(void* self);

    QList<SupervisionEvent> events() const;  // the newest last
    uint64_t misses(int slave) const;
    // Bring-up, before supervision is active: no events, no misses.
    void clearRecord();

private:
    void runCheck();
    // Takes what drives put into their send mailboxes unasked and logs the emergencies; skipped
    // while a parameter transfer or a download uses the mailboxes.
    void pollEmergencies();
    void recordEvent(int slave, SupervisionKind kind, const QString& detail = {});

    // Called when `drive` gave no answer at this check: declares it lost once it has stayed
    // silent for kLostAfterSilentMs.
    void declareLostIfSilent(int drive, ec_slavet& slave);

    static constexpr size_t kMaxEvents = 100;

    MasterState& s_;
    osal_thread_handle thread_ = 0;  // start and join only
    bool started_ = false;           // start and join only
    // Counted by the supervision thread per slave number (atomic, relaxed), reset by bring-up.
    std::array<std::atomic<uint64_t>, kSlaveTableSize> misses_{};
    mutable QMutex eventsMutex_;
    std::deque<SupervisionEvent> events_;  // guarded by eventsMutex_; at most kMaxEvents
    // Per slave number, the master time (elapsedTimer, ms) of the first check it did not answer
    // in the silence under way, -1 while it answers. Supervision thread; reset by bring-up.
    std::array<std::atomic<int64_t>, kSlaveTableSize> silentSinceMs_{};
    // Per slave number, the AL state it last answered with. Supervision thread; reset by bring-up.
    std::array<std::atomic<uint16_t>, kSlaveTableSize> lastState_{};
    // A trouble was logged that no "all slaves resumed" line has closed yet. Supervision thread;
    // reset by bring-up.
    std::atomic<bool> troubleLogged_{false};
};
