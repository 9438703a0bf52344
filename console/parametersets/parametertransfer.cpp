#include "parametertransfer.h"

#include <QByteArray>

#include "ecmaster.h"
#include "model/paramtable.h"

namespace {

// Room for the largest parameter (4 bytes).
constexpr int kValueBytes = 4;

std::optional<QByteArray> readBytes(ecmaster* master, int drive, int id) {
    QByteArray bytes(kValueBytes, '\0');
    if (master->readParameter(static_cast<uint16_t>(drive), id, bytes.data()) != kParamOk) {
        return std::nullopt;
    }
    return bytes.left(findParam(id)->size);
}

// The product-type parameter; drives from before it carry the family in the version word.
QString readProductType(ecmaster* master, int drive, const std::optional<QByteArray>& version) {
    if (const auto type = readBytes(master, drive, kParamIdProductType)) {
        return productTypeName(littleEndianValue(*type));
    }
    if (version) {
        return fallbackProductType(familyDigit(static_cast<uint16_t>(littleEndianValue(*version))));
    }
    return {};
}

QString versionOf(const std::optional<QByteArray>& version) {
    return version ? versionText(static_cast<uint16_t>(littleEndianValue(*version))) : QString();
}

}  // namespace

DriveIdentity readDriveIdentity(ecmaster* master, int drive) {
    if (drive < 0 || drive >= master->driveCount()) {
        return {};
    }
    const auto version = readBytes(master, drive, kParamIdSoftwareVersion);
    return {versionOf(version), readProductType(master, drive, version)};
}

DriveReading readDriveParameters(ecmaster* master, int drive, const TransferProgress& proceed) {
    DriveReading r;
    r.set.time = QDateTime::currentDateTimeUtc();
    if (drive < 0 || drive >= master->driveCount()) {
        return r;
    }
    const QList<int> ids = parameterSetIds();
    const int total = static_cast<int>(ids.size()) + 3;
    int done = 0;
    const auto next = [&] { return proceed(done++, total); };

    if (!next()) {
        return r;
    }
    const auto version = readBytes(master, drive, kParamIdSoftwareVersion);
    r.set.softwareVersion = versionOf(version);
    if (!next()) {
        return r;
    }
    if (const auto batch = readBytes(master, drive, kParamIdProductBatch)) {
        r.set.batch = batchNumber(littleEndianValue(*batch));
    }
    if (!next()) {
        return r;
    }
    r.set.productType = readProductType(master, drive, version);
    for (const int id : ids) {
        if (!next()) {
            return r;
        }
        const auto bytes = readBytes(master, drive, id);
        const auto value = bytes ? editorValueFromBytes(id, *bytes) : std::nullopt;
        if (value) {
            r.set.values.insert(id, *value);
        } else {
            r.failed.append(id);
        }
    }
    proceed(done, total);
    r.complete = true;
    return r;
}

DriveWriting writeDriveParameters(ecmaster* master, int drive, const QMap<int, double>& values,
                                  const TransferProgress& proceed) {
    DriveWriting w;
    if (drive < 0 || drive >= master->driveCount()) {
        return w;
    }
    const int total = static_cast<int>(values.size()) * 2;
    int done = 0;
    QMap<int, QByteArray> sent;
    // Stopped early: what went out is not confirmed and is reported with the failures.
    const auto stop = [&w, &sent] {
        w.failed.append(sent.keys());
        return w;
    };
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        if (!proceed(done++, total)) {
            return stop();
        }
        const QByteArray bytes = parameterSetBytes(it.key(), it.value());
        if (bytes.isEmpty() || master->writeParameter(static_cast<uint16_t>(drive), it.key(),
                                                      bytes.constData()) != kParamOk) {
            w.failed.append(it.key());
        } else {
            sent.insert(it.key(), bytes);
        }
    }
    // Read back only after every write: a drive that derives one value from another shows it.
    while (!sent.isEmpty()) {
        if (!proceed(done++, total)) {
            return stop();
        }
        const int id = sent.firstKey();
        const QByteArray bytes = sent.take(id);
        const auto held = readBytes(master, drive, id);
        (held && *held == bytes ? w.written : w.failed).append(id);
    }
    proceed(total, total);
    w.complete = true;
    return w;
}
