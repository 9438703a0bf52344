#pragma once

#include <optional>

#include <QStringList>

#include "language.h"

// What the command line asked for at start-up.
struct StartupOptions {
    // "--simulate [drives]": offer a simulated drive chain first in the adapter selector.
    bool simulate = false;
    int simulatedDrives = 0;  // meaningful only when simulate is set
    // "--language en|zh": the language of this run only; the saved choice stays as it is.
    std::optional<Language> language;
};

// Drives simulated when "--simulate" is given without a count.
inline constexpr int kDefaultSimulatedDrives = 3;

// args as from QCoreApplication::arguments() (program name first). Unknown options and a
// malformed drive count are reported with qWarning and otherwise ignored.
StartupOptions parseStartupOptions(const QStringList& args);
