#pragma once

// Lets the process-data records travel through queued signal connections between the master's
// threads and the GUI thread: the input record by value, the command record by pointer.

#include <QMetaType>

#include "processdata.h"

Q_DECLARE_METATYPE(TCiA402_GetValue)
Q_DECLARE_METATYPE(App_SetValue*)

// Registers the records (and the timestamp type that accompanies them) under the names used in
// signal signatures. Call once before the first queued connection; further calls are harmless.
void registerModelMetaTypes();
