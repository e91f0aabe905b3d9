// How System_Create makes a system: a MixingSystem on the chosen output,
// unless a maker has been put here. Only test doubles that stand in for the
// whole system put one; the program never does. UI thread, before the
// system is created.
#pragma once

#include "platform/audio/audio.h"

namespace ostaudio {

// Null restores the default.
using SystemMaker = Result (*)(System** system);
void setSystemMaker(SystemMaker maker);

}  // namespace ostaudio
