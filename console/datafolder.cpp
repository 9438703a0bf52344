#include "datafolder.h"

#include <QDir>
#include <QTemporaryFile>

namespace {

// Whether a file can be created in `dir`, the folder made first when missing. Tried rather than
// read from permission bits, which neither ACLs nor read-only mounts show.
bool takesFiles(const QString& dir) {
    if (!QDir().mkpath(dir)) {
        return false;
    }
    QTemporaryFile probe(dir + QStringLiteral("/.write-probe-XXXXXX"));
    return probe.open();
}

}  // namespace

QString chooseDataFolder(const QString& programDir, const QString& userDataDir) {
    if (takesFiles(programDir + QStringLiteral("/result"))) {
        return programDir;
    }
    takesFiles(userDataDir + QStringLiteral("/result"));
    return userDataDir;
}
