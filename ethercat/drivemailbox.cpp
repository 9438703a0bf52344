// Mailbox services of the master: drive parameters over CoE SDO, firmware over FoE in BOOT.
// Neither takes the process-data locks: the stack orders their frames with the cycle's.
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "drivemailbox.h"
#include "ethercat.h"
#include "model/paramtable.h"

namespace {

constexpr int kSdoTimeoutUs = 700000;

constexpr int kInitTimeoutUs = 8000000;
constexpr int kBootTimeoutUs = 20000000;
constexpr int kFoeTimeoutUs = 2000000000;

}  // namespace

std::array<char, kFoeFileNameBytes> foeFileName(const QString& path) {
    std::array<char, kFoeFileNameBytes> name{};
    const QByteArray utf8 = QFileInfo(path).fileName().toUtf8();
    std::memcpy(name.data(), utf8.constData(),
                std::min<size_t>(static_cast<size_t>(utf8.size()), name.size() - 1));
    return name;
}

DriveMailbox::DriveMailbox(MasterState& state)
    : s_(state),
      firmwareBuffer_(std::make_unique<uint8_t[]>(kFirmwareBufferBytes)),
      transferWorker_(std::make_unique<TransferWorker>()) {}

bool DriveMailbox::transferUnderWay() const {
    if (!s_.mailboxMutex.tryLock()) {
        return true;
    }
    s_.mailboxMutex.unlock();
    return false;
}

// --- parameters ---------------------------------------------------------------------------------

TransferResult DriveMailbox::parameterRead(int index, int32_t id, void* data) {
    return parameterTransfer(index, id, false, [data](uint16_t slave, const ParamInfo& p) {
        int size = p.size;  // the stack replaces it with the length received
        return ec_SDOread(slave, p.index, p.subIndex, false, &size, data, kSdoTimeoutUs);
    });
}

TransferResult DriveMailbox::parameterWrite(int index, int32_t id, const void* data) {
    return parameterTransfer(index, id, true, [data](uint16_t slave, const ParamInfo& p) {
        return ec_SDOwrite(slave, p.index, p.subIndex, false, p.size, data, kSdoTimeoutUs);
    });
}

TransferResult DriveMailbox::parameterTransfer(
    int index, int32_t id, bool write,
    const std::function<int(uint16_t slave, const ParamInfo& p)>& call) {
    const int slave = s_.slaveAt(index);
    if (slave == 0) {
        return TransferResult::failure(
            s_.connected ? TransferResult::Status::Refused : TransferResult::Status::NotConnected,
            tr("no drive %1").arg(index));
    }
    int refusal = kParamOk;
    const ParamInfo* p = sdoParam(id, refusal);
    if (p == nullptr) {
        return refusalResult(refusal);
    }
    if (write && p->access == kParamReadOnly) {
        s_.log(tr("Attempt to write a read-only object at index 0x%1").arg(p->index, 0, 16));
        return TransferResult::failure(TransferResult::Status::Refused, tr("read-only"));
    }
    const QMutexLocker lock(&s_.mailboxMutex);
    if (const int refused = mailboxRefusal(static_cast<uint16_t>(slave)); refused != kParamOk) {
        return refusalResult(refused);
    }
    if (const int wkc = call(static_cast<uint16_t>(slave), *p); wkc <= 0) {
        const TransferResult failed = serviceFailure(slave, wkc, p->index, p->subIndex);
        s_.log(tr("SDO %1 failed for index 0x%2 subindex 0x%3: %4")
                   .arg(write ? tr("write") : tr("read"))
                   .arg(p->index, 0, 16)
                   .arg(p->subIndex, 0, 16)
                   .arg(failed.text()));
        return failed;
    }
    TransferResult done;
    done.object = p->index;
    done.subIndex = p->subIndex;
    return done;
}

int DriveMailbox::readParameter(uint16_t index, int32_t id, void* data) {
    if (index >= s_.validDrives.size()) {
        return kBadDriveIndex;
    }
    return parameterCode(parameterRead(index, id, data));
}

int DriveMailbox::writeParameter(uint16_t index, int32_t id, const void* data) {
    if (index >= s_.validDrives.size()) {
        return kBadDriveIndex;
    }
    return parameterCode(parameterWrite(index, id, data));
}

int DriveMailbox::sdoRead(uint16_t slave, int32_t id, void* data) {
    const int index = static_cast<int>(s_.validDrives.indexOf(slave));
    if (!s_.connected) {
        s_.log(tr("Error: no Connect!"));
        return kParamNotConnected;
    }
    return index < 0 ? kParamFailed : parameterCode(parameterRead(index, id, data));
}

int DriveMailbox::sdoWrite(uint16_t slave, int32_t id, const void* data) {
    const int index = static_cast<int>(s_.validDrives.indexOf(slave));
    if (!s_.connected) {
        s_.log(tr("Error: no Connect!"));
        return kParamNotConnected;
    }
    return index < 0 ? kParamFailed : parameterCode(parameterWrite(index, id, data));
}

// The parameter an SDO transfer addresses, or null with the logged reason in `refusal`.
const ParamInfo* DriveMailbox::sdoParam(int32_t id, int& refusal) {
    if (!s_.connected) {
        s_.log(tr("Error: no Connect!"));
        refusal = kParamNotConnected;
        return nullptr;
    }
    const ParamInfo* p = findParam(id);
    if (p == nullptr) {
        s_.log(tr("Error: SDO name not found!"));
        refusal = kParamFailed;
    }
    return p;
}

// Why a transfer that holds mailboxMutex may not start after all, kParamOk when it may. Teardown
// may have closed the port while the transfer waited for the lock. A drive in the middle of a
// download talks only to its bootloader, through the bootstrap mailbox; a parameter request
// there would meet the FoE exchange.
int DriveMailbox::mailboxRefusal(uint16_t slave) {
    if (!s_.connected) {
        s_.log(tr("Error: no Connect!"));
        return kParamNotConnected;
    }
    if (slave == s_.firmwareSlave) {
        s_.log(tr("Slave %1 is taking a firmware download; no parameter transfer.").arg(slave));
        return kParamFailed;
    }
    return kParamOk;
}

// --- firmware -----------------------------------------------------------------------------------

int DriveMailbox::downloadFirmware(const QString& path, int index, uint32_t password) {
    // Without the bus up there is nothing to download to: the state requests would wait out
    // their timeouts, or move a drive of a bus this master no longer runs.
    if (!s_.connected) {
        s_.log(tr("Error: no Connect!"));
        return kParamNotConnected;
    }
    const int slave = s_.slaveAt(index);
    if (slave == 0) {
        return kBadDriveIndex;
    }
    // The buffer takes 4 MiB; a longer file would reach the drive cut short, so it is refused
    // while the drive still runs.
    const QFileInfo file(path);
    if (file.exists() && file.size() > static_cast<qint64>(kFirmwareBufferBytes)) {
        s_.log(tr("Firmware file \"%1\" has %2 bytes, more than the %3 a drive takes.")
                   .arg(path)
                   .arg(file.size())
                   .arg(kFirmwareBufferBytes));
        return kBadDriveIndex;
    }

    s_.inOperation = false;
    { QMutexLocker wait(&s_.checkMutex); }  // let a check in progress end before we touch the drive
    // The whole download holds the firmware gate, from its first state request to the last:
    // teardown waits for it before it closes the port under the download's frames.
    const QMutexLocker gate(&s_.firmwareMutex);
    if (!s_.connected) {  // torn down meanwhile
        s_.inOperation = true;
        s_.log(tr("Error: no Connect!"));
        return kParamNotConnected;
    }
    {
        // Waits for a parameter transfer under way; later ones to this drive are refused, other
        // drives go on answering.
        const QMutexLocker lock(&s_.mailboxMutex);
        s_.firmwareSlave = slave;
    }
    int result = kBadDriveIndex;

    const std::array<char, kFoeFileNameBytes> foeName = foeFileName(path);

    const auto s = static_cast<uint16_t>(slave);
    ec_slavet& rec = ec_slave[s];
    s_.log(tr("Request init state for slave %1").arg(slave));
    rec.state = EC_STATE_INIT;
    ec_writestate(s);
    ec_statecheck(s, EC_STATE_INIT, kInitTimeoutUs);
    s_.log(tr("Slave %1 state to INIT.").arg(slave));

    // The bootloader speaks through the bootstrap mailbox the SII describes. The standard one is
    // put back into the record afterwards, so that supervision brings the drive up to
    // OPERATIONAL with it again and a later download starts from a usable mailbox.
    ec_mbxsetupt standard{};
    ec_FOEbootmailbox(s, &standard);
    s_.detail(syncManagerDetail(0, rec.SM[0]));
    s_.detail(syncManagerDetail(1, rec.SM[1]));

    s_.log(tr("Request BOOT state for slave %1.").arg(slave));
    rec.state = EC_STATE_BOOT;
    ec_writestate(s);
    bool written = false;
    if (ec_statecheck(s, EC_STATE_BOOT, kBootTimeoutUs) == EC_STATE_BOOT) {
        s_.log(tr("Slave %1 state to BOOT.").arg(slave));
        uint32_t size = 0;
        if (!loadFirmwareFile(path.toUtf8().constData(), size)) {
            s_.log(tr("FoE read Fail!"));
        } else {
            s_.log(tr("File \"%1\" load OK, %2 bytes.").arg(path).arg(size));
            s_.log(tr("FoE write...."));
            result = ec_FOEwrite(s, foeName.data(), password, static_cast<int>(size),
                                 firmwareBuffer_.get(), kFoeTimeoutUs);
            s_.log(tr("FOE result: %1.").arg(result));
            written = true;
        }
    }
    if (written) {
        s_.log(tr("Request init state for slave %1").arg(slave));
        rec.state = EC_STATE_INIT;
        ec_writestate(s);
    }
    ec_FOEstdmailbox(s, standard);
    {
        const QMutexLocker lock(&s_.mailboxMutex);
        s_.firmwareSlave = 0;
    }
    s_.inOperation = true;
    return result;
}

bool DriveMailbox::loadFirmwareFile(const char* path, uint32_t& size) {
    std::FILE* f = std::fopen(path, "rb");
    if (f == nullptr) {
        s_.log(tr("Cannot open file: %1").arg(QString::fromUtf8(path)));
        return false;
    }
    size_t stored = 0;
    int c = 0;
    while (stored < kFirmwareBufferBytes && (c = std::fgetc(f)) != EOF) {
        firmwareBuffer_[stored++] = static_cast<uint8_t>(c);
    }
    std::fclose(f);
    firmwareSize_ = static_cast<uint32_t>(stored);
    size = firmwareSize_;
    return true;
}
