// What the parts of the master share: the flags every thread looks at, the locks and their order,
// the process image with its command records, the valid drives and their station addresses. The
// parts (BusSession, CycleExchange, Supervisor, DriveMailbox, Cia402Walks) hold it by reference;
// the facade (ecmaster) owns it and routes its reports to its signals.
//
// "bring-up" below means written only by BusSession::initBus while `connected` is clear and read
// by the other threads only after they have seen `connected` set.
//
// Lock order: checkMutex, firmwareMutex, mailboxMutex, portMutex (teardown); the download takes
// checkMutex and releases it before it takes firmwareMutex; the supervision thread takes
// checkMutex alone. pdMutex is taken before inputMutex and never together with the others.
#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QMutex>
#include <QString>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string_view>

#include "model/processdata.h"
#include "recordring.h"
#include "scope/recorder.h"

struct ec_smt;
// One SyncManager as the log file's detail lines give it: " SM<n> A:<start> L:<length> F:<flags>".
QString syncManagerDetail(int n, const ec_smt& sm);

// What supervision saw happen to one slave.
enum class SupervisionKind : int { Lost, Recovered, Acknowledged, Reconfigured, Emergency };

struct MasterState {
    struct DriveImage {
        uint8_t* outputs = nullptr;  // kDriveOutputBytes inside IOmap
        uint8_t* inputs = nullptr;   // kDriveInputBytes inside IOmap
    };

    // Reports of the parts, which the facade emits as its signals; set by its constructor, then
    // constant. The cycle reports fault changes under the process-data locks and supervision
    // under its check lock, so they must reach the GUI by queued connections.
    std::function<void(const QString&)> log = [](const QString&) {};
    // Details for the running log file only (register dumps), not for the operator's pane.
    std::function<void(const QString&)> detail = [](const QString&) {};
    // A drive's fault bit or one of its error words changed (index, the record that shows it).
    std::function<void(int, const TCiA402_GetValue&)> faultChanged = [](int,
                                                                        const TCiA402_GetValue&) {};
    std::function<void()> slaveLost = [] {};
    std::function<void(int, SupervisionKind, const QString&)> supervisionEvent =
        [](int, SupervisionKind, const QString&) {};

    // --- flags ---------------------------------------------------------------------------------
    std::atomic<int> expectedWKC{0};       // atomic (relaxed); written by bring-up
    std::atomic<int> wkc{0};               // atomic (relaxed); written by the cycle
    std::atomic<int> selectedSlave{0};     // atomic (relaxed)
    std::atomic<bool> connected{false};    // atomic
    std::atomic<bool> enabled{false};      // atomic
    std::atomic<bool> running{true};       // atomic; cleared once, by the facade's destructor
    std::atomic<bool> busy{false};         // atomic; a drive walk under way
    std::atomic<bool> inOperation{false};  // atomic; supervision active
    // Quick stops issued so far; written under pdMutex. A walk notes it when it starts and writes
    // no further control word once it has moved.
    std::atomic<uint64_t> quickStops{0};
    std::atomic<uint64_t> busSessions{0};  // atomic; changes whenever the bus comes up or goes down
    uint8_t currentgroup = 0;              // constant

    // --- process image -------------------------------------------------------------------------
    // Output images of all slaves, then input images: outputs guarded by pdMutex, inputs by
    // inputMutex.
    alignas(8) std::array<uint8_t, kProcessImageBytes> IOmap{};
    std::array<DriveImage, kSlaveTableSize> images{};  // bring-up
    // Guarded by pdMutex (contents); the records themselves live as long as the master.
    std::array<App_SetValue, kSlaveTableSize> commands{};
    mutable QMutex pdMutex;     // command records and output images; taken before inputMutex
    mutable QMutex inputMutex;  // input images
    // The operated drive's records, one per cycle, for the window to take; lock-free (the cycle
    // is its one producer).
    RecordRing records;
    QElapsedTimer elapsedTimer;  // started by the facade's constructor, then only read
    QList<int32_t> validDrives;  // bring-up

    // --- the scope -----------------------------------------------------------------------------
    // Its own guard (scope/recorder.h): configured from one GUI or CLI thread (the facade's
    // configureScope, which also sets `scopeOn`), sampled by the cycle thread only, taken by one
    // consumer thread, events posted from any thread. Channels name drives by their index in
    // validDrives. While nothing is configured the cycle does not sample and no event is posted,
    // so a consumer never receives events from before its recording.
    scope::Recorder scope;
    std::atomic<bool> scopeOn{false};  // atomic (relaxed); channels are configured
    // Per slave number: supervision declared the drive lost and has not seen it back. Its inputs
    // are stale then, so its scope channels read no value. Written by supervision (cleared by
    // bring-up), read by the cycle.
    std::array<std::atomic<bool>, kSlaveTableSize> lostDrives{};

    // Station addresses by slave number, copied from the stack's slave records. Atomic: written
    // by bring-up and by supervision once a recovery or reconfiguration has put the address back,
    // read by the cycle's clock alignment, the emergency poll and the diagnostics. The records
    // themselves carry a temporary address while supervision recovers a slave.
    std::array<std::atomic<uint16_t>, kSlaveTableSize> stations{};

    // --- locks of the threads beside the cycle -------------------------------------------------
    // Held by the supervision thread for one check. Teardown and the firmware download take it
    // after clearing the flags, so no check still reads or writes the stack's slave records when
    // they change them.
    QMutex checkMutex;
    // Held by a firmware download from its first state request to its end: teardown waits for it
    // rather than close the port under the download's frames.
    QMutex firmwareMutex;
    // The transfer gate: held through each mailbox exchange. A firmware download marks its drive
    // under it, so no transfer to that drive is under way or starts until the download ends.
    // Teardown closes the port under it, after clearing `connected`, so no transfer is in flight
    // then and none starts later. Never taken on the GUI thread: transfers run on the worker.
    mutable QMutex mailboxMutex;
    int firmwareSlave = 0;  // guarded by mailboxMutex: the slave taking a download, 0 for none
    // The port's lifetime for the traffic beside the transfers (diagnostics reads, counter
    // resets, capture, port figures): each holds it for one frame or file operation; teardown
    // closes the port under it (after mailboxMutex), so none of them meets a closed port and none
    // ever waits behind a transfer or a download.
    mutable QMutex portMutex;

    // The slave number of valid drive `index`, 0 for none. Read by the GUI and worker threads
    // after bring-up, like validDrives.
    int slaveAt(int index) const {
        return index >= 0 && index < validDrives.size() ? validDrives[index] : 0;
    }
    // Whether `slave` has a drive image (bring-up).
    bool hasImage(int slave) const {
        return isTableSlave(slave) && images[static_cast<size_t>(slave)].outputs != nullptr;
    }
    // The valid-drive index of `slave`, the scope's drive number; kAllDrives for none.
    int driveIndexOf(int slave) const {
        const qsizetype index = validDrives.indexOf(slave);
        return index < 0 ? scope::kAllDrives : static_cast<int>(index);
    }
    // An event of `slave` for the scope while it records, stamped with the last cycle sampled.
    void scopeEvent(scope::EventKind kind, int slave, std::string_view text) {
        if (scopeOn.load(std::memory_order_relaxed)) {
            scope.postEvent(kind, driveIndexOf(slave), text);
        }
    }
    uint16_t station(int slave) const {
        return stations[static_cast<size_t>(slave)].load(std::memory_order_relaxed);
    }
};
