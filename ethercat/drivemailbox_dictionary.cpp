// The drives' object dictionaries: what SDO information describes, and uploads and downloads of
// any entry. Each call takes the transfer lock for one service, so a long reading never holds
// a parameter transfer or the emergency poll back by more than one exchange.
#include <cstring>
#include <memory>

#include "drivemailbox.h"
#include "errorlist.h"
#include "ethercat.h"

namespace {

constexpr int kEntryTimeoutUs = 700000;
// SDO abort "subindex does not exist": a gap in an object's entries.
constexpr uint32_t kAbortNoSubIndex = 0x06090011;

QString nameOf(const char* text) {
    return QString::fromUtf8(text, static_cast<qsizetype>(strnlen(text, EC_MAXNAME)));
}

// "0x6101:09"
QString entryText(uint16_t object, uint8_t subIndex) {
    return QStringLiteral("0x%1:%2")
        .arg(object, 4, 16, QLatin1Char('0'))
        .arg(subIndex, 2, 16, QLatin1Char('0'));
}

}  // namespace

TransferResult DriveMailbox::serviceFailure(int slave, int wkc, uint16_t object, uint8_t subIndex) {
    // This thread's own last service: another thread's transfer or the emergency poll cannot
    // have taken its reason.
    const ec_serviceresultt outcome = ec_lastservice();
    TransferResult r;
    r.object = outcome.index != 0 ? outcome.index : object;
    r.subIndex = outcome.index != 0 ? outcome.subindex : subIndex;
    switch (outcome.kind) {
        case EC_SERVICE_TIMEOUT:
            r.status = TransferResult::Status::Timeout;
            break;
        case EC_SERVICE_ABORTED:
        case EC_SERVICE_SDOINFO_ERROR:
            r.status = TransferResult::Status::Aborted;
            r.abortCode = outcome.code;
            break;
        case EC_SERVICE_REFUSED:
        case EC_SERVICE_NO_MAILBOX:
            r.status = TransferResult::Status::Refused;
            break;
        default:
            r.status = wkc == EC_TIMEOUT ? TransferResult::Status::Timeout
                                         : TransferResult::Status::Failed;
            break;
    }
    if (outcome.kind != EC_SERVICE_NONE && outcome.kind != EC_SERVICE_OK &&
        static_cast<int>(outcome.slave) == slave) {
        r.reason = QString::fromStdString(ec::serviceResultText(outcome));
    } else if (r.status != TransferResult::Status::Timeout) {
        r.reason = tr("no usable reply");
    }
    return r;
}

std::optional<QList<DictionaryObject>> DriveMailbox::readDictionary(
    int index, const std::function<bool(int, int)>& proceed) {
    const int slave = s_.slaveAt(index);
    if (!s_.connected || slave == 0) {
        s_.log(tr("Object dictionary: no drive %1 on the bus.").arg(index));
        return std::nullopt;
    }
    // Some 50 KiB: the heap, not a worker thread's stack.
    auto list = std::make_unique<ec_ODlistt>();
    auto entries = std::make_unique<ec_OElistt>();
    // One exchange per service call, each under the transfer lock of its own, so that a long
    // reading never holds another transfer or a teardown back by more than one exchange.
    const auto service = [&](const char* what, auto&& call) {
        const QMutexLocker lock(&s_.mailboxMutex);
        if (mailboxRefusal(static_cast<uint16_t>(slave)) != kParamOk) {
            return false;
        }
        const int wkc = call();
        if (wkc > 0) {
            return true;
        }
        s_.log(tr("Object dictionary of drive %1: %2 failed: %3")
                   .arg(index)
                   .arg(tr(what), serviceFailure(slave, wkc, 0, 0).text()));
        return false;
    };
    const auto stopped = [&](int item, int total) {
        if (proceed(item, total)) {
            return false;
        }
        s_.log(tr("Object dictionary of drive %1: reading stopped.").arg(index));
        return true;
    };
    if (!service(QT_TRANSLATE_NOOP("DriveMailbox", "the object list"),
                 [&] { return ec_readODlist(static_cast<uint16_t>(slave), list.get()); })) {
        return std::nullopt;
    }
    QList<DictionaryObject> objects;
    const int total = list->Entries;
    for (int item = 0; item < total; ++item) {
        if (stopped(item, total)) {
            return std::nullopt;
        }
        const auto row = static_cast<uint16_t>(item);
        if (!service(QT_TRANSLATE_NOOP("DriveMailbox", "an object description"),
                     [&] { return ec_readODdescription(row, list.get()); })) {
            return std::nullopt;
        }
        std::memset(entries.get(), 0, sizeof *entries);
        const int last = list->MaxSub[item];
        for (int sub = 0; sub <= last; ++sub) {
            if (stopped(item, total)) {
                return std::nullopt;
            }
            int wkc = 0;
            {
                const QMutexLocker lock(&s_.mailboxMutex);
                if (mailboxRefusal(static_cast<uint16_t>(slave)) != kParamOk) {
                    return std::nullopt;
                }
                wkc = ec_readOEsingle(row, static_cast<uint8_t>(sub), list.get(), entries.get());
                if (wkc <= 0) {
                    const TransferResult failed =
                        serviceFailure(slave, wkc, list->Index[item], static_cast<uint8_t>(sub));
                    // Entries need not be contiguous: a subindex the drive lacks is a gap.
                    if (failed.status == TransferResult::Status::Aborted &&
                        failed.abortCode == kAbortNoSubIndex) {
                        continue;
                    }
                    s_.log(tr("Object dictionary of drive %1: an entry description "
                              "failed: %2")
                               .arg(index)
                               .arg(failed.text()));
                    return std::nullopt;
                }
            }
        }
        entries->Entries = static_cast<uint16_t>(last + 1);
        DictionaryObject o{list->Index[item],  list->DataType[item],     list->ObjectCode[item],
                           list->MaxSub[item], nameOf(list->Name[item]), {}};
        const int rows = std::min<int>(entries->Entries, EC_MAXOELIST);
        for (int sub = 0; sub < rows; ++sub) {
            // A gap in the subindices comes back as an empty row.
            if (entries->DataType[sub] == 0 && entries->BitLength[sub] == 0) {
                continue;
            }
            o.entries.append({static_cast<uint8_t>(sub), entries->DataType[sub],
                              entries->BitLength[sub], entries->ObjAccess[sub],
                              nameOf(entries->Name[sub])});
        }
        objects.append(o);
    }
    proceed(total, total);
    return objects;
}

TransferResult DriveMailbox::entryTransfer(int index, uint16_t object, uint8_t subIndex,
                                           const char* verb,
                                           const std::function<int(uint16_t slave)>& call) {
    const int slave = s_.slaveAt(index);
    if (!s_.connected || slave == 0) {
        return TransferResult::failure(TransferResult::Status::NotConnected);
    }
    const QMutexLocker lock(&s_.mailboxMutex);
    if (const int refused = mailboxRefusal(static_cast<uint16_t>(slave)); refused != kParamOk) {
        return refusalResult(refused);
    }
    if (const int wkc = call(static_cast<uint16_t>(slave)); wkc <= 0) {
        const TransferResult failed = serviceFailure(slave, wkc, object, subIndex);
        s_.log(tr("%1 %2 of drive %3 failed: %4")
                   .arg(tr(verb), entryText(object, subIndex))
                   .arg(index)
                   .arg(failed.text()));
        return failed;
    }
    TransferResult done;
    done.object = object;
    done.subIndex = subIndex;
    return done;
}

TransferResult DriveMailbox::readEntry(int index, uint16_t object, uint8_t subIndex,
                                       QByteArray& value, int capacity) {
    QByteArray buffer(std::max(capacity, 1), '\0');
    int size = static_cast<int>(buffer.size());
    TransferResult result = entryTransfer(
        index, object, subIndex, QT_TRANSLATE_NOOP("DriveMailbox", "Read"), [&](uint16_t slave) {
            return ec_SDOread(slave, object, subIndex, false, &size, buffer.data(),
                              kEntryTimeoutUs);
        });
    if (result.ok()) {
        value = buffer.left(size);
    }
    return result;
}

TransferResult DriveMailbox::writeEntry(int index, uint16_t object, uint8_t subIndex,
                                        const QByteArray& value) {
    TransferResult result = entryTransfer(
        index, object, subIndex, QT_TRANSLATE_NOOP("DriveMailbox", "Write"), [&](uint16_t slave) {
            return ec_SDOwrite(slave, object, subIndex, false, static_cast<int>(value.size()),
                               value.constData(), kEntryTimeoutUs);
        });
    if (result.ok()) {
        s_.log(tr("Wrote %1 of drive %2: %3")
                   .arg(entryText(object, subIndex))
                   .arg(index)
                   .arg(QString::fromLatin1(value.toHex(' '))));
    }
    return result;
}
