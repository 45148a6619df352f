// InstallAtStart.cpp: the game with the tests' stand-in behaviours, for the record-then-
// REPLAY run. The stand-ins take their dispatch entries while the program starts, before
// the platform's main calls WinMain; nothing else differs from the game.
#include "StandIns.h"

namespace {

struct InstallAtStart {
    InstallAtStart() { InstallStandIns(); }
} installAtStart;

}  // namespace
