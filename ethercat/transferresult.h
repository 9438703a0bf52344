// What became of one mailbox transfer, as its caller needs it: success, or why not, with the SDO
// abort code and the entry it named. Results are values handed back to the caller; nothing is
// left in a list for someone else to pop.
#pragma once

#include <QString>

#include <cstdint>

struct TransferResult {
    enum class Status {
        Ok,
        NotConnected,  // no bus, or it went down before the transfer
        Refused,       // not started: no such drive, read-only entry, drive taking firmware
        Timeout,       // no reply in time
        Aborted,       // the drive answered with an SDO abort
        Failed,        // anything else the exchange met (mailbox or packet error, bad reply)
        Cancelled,     // its owner cancelled it before it ran or between its exchanges
    };

    Status status = Status::Ok;
    uint32_t abortCode = 0;  // Aborted only
    uint16_t object = 0;
    uint8_t subIndex = 0;
    QString reason;  // the stack's words for a failure, empty on success

    bool ok() const { return status == Status::Ok; }
    // "ok", "not connected", "no reply in time", "abort 0x06020000 <text>", ... for log lines;
    // the console's own words are translated, the stack's reasons are not.
    QString text() const;

    static TransferResult failure(Status status, QString reason = {}) {
        TransferResult r;
        r.status = status;
        r.reason = std::move(reason);
        return r;
    }
};

// The integer codes of the parameter calls (0 success, -1 failure, -2 not connected), and the
// result of a transfer refused before it started with such a code.
int parameterCode(const TransferResult& result);
TransferResult refusalResult(int parameterCode);
