// The drives' object dictionaries: what SDO information describes, and uploads and downloads of
// any entry. Each call takes the transfer lock for one service, so a long reading never holds
// a parameter transfer or the emergency poll back by more than one exchange.
#include <cstring>
#include <memory>

#include "ecmaster.h"
#include "errorlist.h"
#include "ethercat.h"

namespace {

constexpr int kEntryTimeoutUs = 700000;

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

// Why the last service of `slave` failed, from the error list; emergencies met there are logged
// as the poll would. Caller holds mailboxMutex.
QString ecmaster::takeMailboxError(int slave) {
    QString reason;
    ec_errort e{};
    while (ec_poperror(&e)) {
        if (e.Etype == EC_ERR_TYPE_EMERGENCY) {
            log(emergencyText(static_cast<int>(validDrives.indexOf(e.Slave)), e));
        } else if (e.Slave == slave &&
                   (e.Etype == EC_ERR_TYPE_SDO_ERROR || e.Etype == EC_ERR_TYPE_SDOINFO_ERROR)) {
            const auto code = static_cast<uint32_t>(e.AbortCode);
            reason = QStringLiteral("abort 0x%1 %2")
                         .arg(code, 8, 16, QLatin1Char('0'))
                         .arg(QString::fromUtf8(ec_sdoerror2string(code)));
        } else if (e.Slave == slave && reason.isEmpty()) {
            reason = QString::fromStdString(ec::errorText(e));
        }
    }
    return reason.isEmpty() ? QStringLiteral("no usable reply") : reason;
}

std::optional<QList<DictionaryObject>> ecmaster::readDictionary(
    int index, const std::function<bool(int, int)>& proceed) {
    const int slave = slaveAt(index);
    if (!connected || slave == 0) {
        log(QStringLiteral("Object dictionary: no drive %1 on the bus.").arg(index));
        return std::nullopt;
    }
    // Some 50 KiB: the heap, not a pool thread's stack.
    auto list = std::make_unique<ec_ODlistt>();
    auto entries = std::make_unique<ec_OElistt>();
    const auto service = [&](const char* what, auto&& call) {
        const QMutexLocker lock(&mailboxMutex);
        if (mailboxRefusal(static_cast<uint16_t>(slave)) != kParamOk) {
            return false;
        }
        if (call() > 0) {
            return true;
        }
        log(QStringLiteral("Object dictionary of drive %1: %2 failed: %3")
                .arg(index)
                .arg(QString::fromLatin1(what), takeMailboxError(slave)));
        return false;
    };
    if (!service("the object list",
                 [&] { return ec_readODlist(static_cast<uint16_t>(slave), list.get()); })) {
        return std::nullopt;
    }
    QList<DictionaryObject> objects;
    const int total = list->Entries;
    for (int item = 0; item < total; ++item) {
        if (!proceed(item, total)) {
            log(QStringLiteral("Object dictionary of drive %1: reading stopped.").arg(index));
            return std::nullopt;
        }
        const auto row = static_cast<uint16_t>(item);
        if (!service("an object description",
                     [&] { return ec_readODdescription(row, list.get()); }) ||
            !service("an entry description",
                     [&] { return ec_readOE(row, list.get(), entries.get()); })) {
            return std::nullopt;
        }
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

int ecmaster::entryTransfer(int index, uint16_t object, uint8_t subIndex, const char* verb,
                            const std::function<int(uint16_t slave)>& call) {
    const int slave = slaveAt(index);
    if (!connected || slave == 0) {
        return kParamNotConnected;
    }
    const QMutexLocker lock(&mailboxMutex);
    if (const int refused = mailboxRefusal(static_cast<uint16_t>(slave)); refused != kParamOk) {
        return refused;
    }
    if (call(static_cast<uint16_t>(slave)) <= 0) {
        log(QStringLiteral("%1 %2 of drive %3 failed: %4")
                .arg(QString::fromLatin1(verb), entryText(object, subIndex))
                .arg(index)
                .arg(takeMailboxError(slave)));
        return kParamFailed;
    }
    return kParamOk;
}

int ecmaster::readEntry(int index, uint16_t object, uint8_t subIndex, QByteArray& value,
                        int capacity) {
    QByteArray buffer(std::max(capacity, 1), '\0');
    int size = static_cast<int>(buffer.size());
    const int result = entryTransfer(index, object, subIndex, "Read", [&](uint16_t slave) {
        return ec_SDOread(slave, object, subIndex, false, &size, buffer.data(), kEntryTimeoutUs);
    });
    if (result == kParamOk) {
        value = buffer.left(size);
    }
    return result;
}

int ecmaster::writeEntry(int index, uint16_t object, uint8_t subIndex, const QByteArray& value) {
    const int result = entryTransfer(index, object, subIndex, "Write", [&](uint16_t slave) {
        return ec_SDOwrite(slave, object, subIndex, false, static_cast<int>(value.size()),
                           value.constData(), kEntryTimeoutUs);
    });
    if (result == kParamOk) {
        log(QStringLiteral("Wrote %1 of drive %2: %3")
                .arg(entryText(object, subIndex))
                .arg(index)
                .arg(QString::fromLatin1(value.toHex(' '))));
    }
    return result;
}
