#pragma once

// The CiA 402 state names as operators read them: the names of cia402.h, translated (context
// "Cia402State") into the language the console runs in.

#include <QString>

#include "cia402.h"

// cia402StateDisplayName translated: the name the log and the drive overview show.
QString cia402StateDisplayText(Cia402State state);
// cia402StateName translated: the profile's name of the state.
QString cia402StateNameText(Cia402State state);
