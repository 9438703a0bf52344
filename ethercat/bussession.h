// One session of the bus, from bring-up to teardown, on the stack's process-wide context: the
// adapters to choose from, the scan and mapping, the state requests up to OPERATIONAL with
// distributed clocks, the valid drives, the cycle's timer, the capture of the port's frames and
// the teardown that closes the port once nothing uses it any more. Bring-up blocks (fixed pauses,
// state timeouts) and belongs on a worker thread; stopCycle is quick, for the GUI thread.
#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <deque>
#include <utility>

#include "cycleexchange.h"
#include "masterstate.h"
#include "supervisor.h"

// Results of initBus and requestState.
inline constexpr int kBusOk = 0;
inline constexpr int kBusStateNotReached = 2;
inline constexpr int kBusSlaveStuckInOp = 3;
inline constexpr int kBusUnusable = 4;
inline constexpr int kBusModeCheckFailed = 5;

class BusSession {
    // Its log lines are operator texts, translated in context "BusSession".
    Q_DECLARE_TR_FUNCTIONS(BusSession)

public:
    BusSession(MasterState& state, CycleExchange& cycle, Supervisor& supervisor)
        : s_(state), cycle_(cycle), supervisor_(supervisor) {}
    BusSession(const BusSession&) = delete;
    BusSession& operator=(const BusSession&) = delete;

    QStringList listAdapters();
    // (description, device name) in the order of the last listAdapters.
    const std::deque<std::pair<QString, QString>>& adapters() const { return adapters_; }
    bool connectBus(const char* ifname);
    int initBus(const char* ifname);
    int requestState(uint16_t state);
    void disconnectBus();
    void stopCycle();
    void chooseValidDrives();
    void writeSlaveDetails() const;
    void writeCycleDetails() const;
    // Whether the cycle's timer runs (bring-up and teardown).
    bool cycleRunning() const { return timerId_ != 0; }

    bool startCapture(const QString& path);
    bool stopCapture(uint64_t* frames, uint64_t* dropped);
    bool capturing() const;

private:
    // Falls back from a failed bring-up: INIT, close, pause; returns `code`.
    int fallBack(int code);
    // Writes `mode` straight into every drive's output image and checks that all report it.
    bool checkMode(uint16_t mode);
    // stopCapture's work; caller holds portMutex.
    bool endCapture(uint64_t* frames, uint64_t* dropped);

    MasterState& s_;
    CycleExchange& cycle_;
    Supervisor& supervisor_;
    std::deque<std::pair<QString, QString>> adapters_;  // GUI thread only
    uint32_t timerId_ = 0;                              // bring-up and teardown (never concurrent)
    // Whether ec_init opened the link and no ec_close followed; bring-up and teardown only.
    bool linkOpen_ = false;
    // Written under portMutex; read without it (atomic) so the GUI never waits behind a
    // transfer. Teardown's close ends the capture.
    std::atomic<bool> captureRunning_{false};
};
