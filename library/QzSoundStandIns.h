// QzSoundStandIns.h: stand-ins for the sound system, stream sounds and music, until
// those parts exist. Each keeps its part's name and signature, succeeds, and reports
// to QzStandIn.h. Delete a declaration here when its part lands.
#pragma once

int InitializeSoundSystem();   // 0
int TerminateSoundSystem();    // 0
int RefillAllStreamSounds();   // 0
int StopSingleMusicFile();     // 0
int UpdateMusicPlayState();    // 0
int HandleMciNotify();         // 0
