#pragma once

// A drive's parameters as a set that can be kept in a file, loaded into another drive and
// compared: the identity (product type, software version, batch) and every parameter row of the
// parameter page, by id, in the page's units. Free of widgets and of the bus.

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>

#include <optional>

struct ParameterSet {
    QString productType;
    QString softwareVersion;  // "major.minor.patch"; empty when unknown
    std::optional<int> batch;
    QDateTime time;            // when the drive was read
    QMap<int, double> values;  // parameter id -> value as the page shows it
};

// The ids a set carries: the parameter page's rows, ascending.
QList<int> parameterSetIds();

// Whether a value can be written to the drive as it stands: inside the page editor's range and
// the drive's type, integral for integer rows, thousandths for the torque constant.
bool parameterValueValid(int id, double value);

// The bytes the drive holds for a value of a set row; empty for an id that is not a set row.
// Thousandths round to the nearest step, so 1.234 becomes 1234 whatever the binary fraction.
QByteArray parameterSetBytes(int id, double value);

// The YAML text of a set. Floats keep every digit a 32-bit float needs to come back unchanged.
QByteArray parameterSetToYaml(const ParameterSet& set);

struct ParameterSetParse {
    std::optional<ParameterSet> set;
    QString error;  // "line N: ..." when the file is refused
};

// Reads a set file. A file that is not YAML, misses the parameter list, holds an unknown or
// repeated id, a value that is not a number or one the drive cannot take is refused whole.
ParameterSetParse parseParameterSet(const QByteArray& text);

// One row of a comparison: a value on each side (missing when that side has none), and whether
// the drive would hold different bytes.
struct ParameterCompareRow {
    int id = -1;  // -1 for the identity rows
    QString name;
    QString left;
    QString right;
    bool differs = false;
    bool writable = false;  // identity rows are shown, never written
};

// The rows for two sets: product type, software version and batch first, then every set row.
QList<ParameterCompareRow> compareParameterSets(const ParameterSet& left,
                                                const ParameterSet& right);

// The text a table or a log shows for a value of a row.
QString parameterValueText(int id, double value);
