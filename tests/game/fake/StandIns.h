// StandIns.h: stand-in enemy behaviours that make the list rules act in tests and the
// benchmark. The game never contains them.
//   ground 17: sets itself up, rides the scroll, fires aimed bullets on a scaled period;
//   air 1: steers with the generator and drops item 3;
//   ground 20: a boss that can be shot down and whose state 4 ends the stage.
// Each spends 20 frames in state 3 or 5, then ends with an explosion.
// RemoveStandIns puts the game's own behaviours back.
#pragma once

void InstallStandIns();
void RemoveStandIns();
