// The drives' mailboxes: parameters over CoE SDO, the object dictionary over SDO information and
// raw SDO, firmware over FoE in BOOT, and the worker every transfer of the console runs on. Each
// exchange holds the transfer gate (MasterState::mailboxMutex); none takes the process-data
// locks: the stack orders their frames with the cycle's.
#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QList>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "masterstate.h"
#include "transferresult.h"
#include "transferworker.h"

// Bounds the master enforces on a bus (besides the table and image bounds of processdata.h).
inline constexpr uint32_t kFirmwareBufferBytes = 4u * 1024u * 1024u;
inline constexpr int kFoeFileNameBytes = 256;  // incl. the terminating zero

// Results of the parameter and firmware operations besides the stack's own values.
inline constexpr int kParamOk = 0;
inline constexpr int kParamFailed = -1;
inline constexpr int kParamNotConnected = -2;
inline constexpr int kBadDriveIndex = -99;

// The name an FoE write request carries: the UTF-8 file name without its directory, cut to 255
// bytes, zero-filled.
std::array<char, kFoeFileNameBytes> foeFileName(const QString& path);

struct ParamInfo;

// A drive's object dictionary as it describes itself over SDO information.
struct DictionaryEntry {
    uint8_t subIndex = 0;
    uint16_t dataType = 0;  // CoE data type (0x0007 UNSIGNED32, 0x0008 REAL32, ...)
    uint16_t bitLength = 0;
    uint16_t access = 0;  // bits 0-2 read, 3-5 write in PRE-OP / SAFE-OP / OP; 6-7 mappable
    QString name;
};
struct DictionaryObject {
    uint16_t index = 0;
    uint16_t dataType = 0;
    uint8_t objectCode = 0;  // 7 VAR, 8 ARRAY, 9 RECORD
    uint8_t maxSubIndex = 0;
    QString name;
    QList<DictionaryEntry> entries;  // the subindices the drive describes, ascending
};

class DriveMailbox {
    // Its log lines are operator texts, translated in context "DriveMailbox".
    Q_DECLARE_TR_FUNCTIONS(DriveMailbox)

public:
    explicit DriveMailbox(MasterState& state);
    DriveMailbox(const DriveMailbox&) = delete;
    DriveMailbox& operator=(const DriveMailbox&) = delete;

    TransferWorker& transfers() { return *transferWorker_; }
    // Drops the queued transfers; the running one ends within its exchange.
    void stopTransfers() { transferWorker_->stop(); }
    // Whether a transfer holds the gate now.
    bool transferUnderWay() const;

    TransferResult parameterRead(int index, int32_t id, void* data);
    TransferResult parameterWrite(int index, int32_t id, const void* data);
    int readParameter(uint16_t index, int32_t id, void* data);
    int writeParameter(uint16_t index, int32_t id, const void* data);
    int sdoRead(uint16_t slave, int32_t id, void* data);
    int sdoWrite(uint16_t slave, int32_t id, const void* data);

    std::optional<QList<DictionaryObject>> readDictionary(
        int index, const std::function<bool(int done, int total)>& proceed);
    TransferResult readEntry(int index, uint16_t object, uint8_t subIndex, QByteArray& value,
                             int capacity);
    TransferResult writeEntry(int index, uint16_t object, uint8_t subIndex,
                              const QByteArray& value);

    int downloadFirmware(const QString& path, int index, uint32_t password);
    bool loadFirmwareFile(const char* path, uint32_t& size);

private:
    const ParamInfo* sdoParam(int32_t id, int& refusal);
    // One transfer of parameter `id` of drive `index` under the transfer lock: the checks both
    // directions share, then `call`; a failure logged as "SDO read (write) failed for index ...".
    TransferResult parameterTransfer(
        int index, int32_t id, bool write,
        const std::function<int(uint16_t slave, const ParamInfo& p)>& call);
    // Caller holds mailboxMutex.
    int mailboxRefusal(uint16_t slave);
    // Why the last service of `slave` on this thread failed, from its stack result `wkc`.
    TransferResult serviceFailure(int slave, int wkc, uint16_t object, uint8_t subIndex);
    // One transfer of an entry under the transfer lock, with "<verb> 0xIIII:SS of drive N
    // failed: <reason>" logged on failure.
    TransferResult entryTransfer(int index, uint16_t object, uint8_t subIndex, const char* verb,
                                 const std::function<int(uint16_t slave)>& call);

    MasterState& s_;
    std::unique_ptr<uint8_t[]> firmwareBuffer_;       // firmware download thread only
    uint32_t firmwareSize_ = 0;                       // firmware download thread only
    std::unique_ptr<TransferWorker> transferWorker_;  // constructor and facade's destructor only
};
