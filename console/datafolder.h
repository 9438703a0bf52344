// Where the console keeps what it writes for the operator (identification results, saved logs):
// beside the program when that folder is writable, as on a bench; otherwise, as for a console
// installed under /usr, in the user's own data folder.
#pragma once

#include <QString>

// The folder that holds "result/": `programDir` when its "result" folder exists or can be made
// and takes a file, else `userDataDir` (created when missing).
QString chooseDataFolder(const QString& programDir, const QString& userDataDir);
