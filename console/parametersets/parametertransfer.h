#pragma once

// Reading a drive's parameter set and writing rows of one, through the master. Both block on the
// drive's mailbox and are meant for a worker thread; `proceed` is called before each transfer
// with the count done so far and ends the work early when it returns false.

#include <QList>
#include <QMap>

#include <functional>

#include "parameterset.h"

class ecmaster;

using TransferProgress = std::function<bool(int done, int total)>;

// What a drive says it is; a text is empty when the drive did not tell.
struct DriveIdentity {
    QString softwareVersion;  // "%d.%d.%d"
    QString productType;      // the product-type parameter, or the family the version implies
};

// The identity of drive `drive` (the master's drive index): version and product type.
DriveIdentity readDriveIdentity(ecmaster* master, int drive);

struct DriveReading {
    ParameterSet set;
    QList<int> failed;      // ids that could not be read (not in `set.values`)
    bool complete = false;  // false when `proceed` stopped it or the drive is not on the bus
};

// Identity and every set row of drive `drive` (the master's drive index).
DriveReading readDriveParameters(ecmaster* master, int drive, const TransferProgress& proceed);

struct DriveWriting {
    QList<int> written;  // ids whose value the drive now holds, read back byte for byte
    QList<int> failed;   // ids refused, not read back, or read back different
    bool complete = false;
};

// Writes each value, then reads every written row back and compares the bytes the drive holds.
DriveWriting writeDriveParameters(ecmaster* master, int drive, const QMap<int, double>& values,
                                  const TransferProgress& proceed);
