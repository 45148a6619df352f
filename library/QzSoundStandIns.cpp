// QzSoundStandIns.cpp: stand-ins for sound and music (see the header).
#include "QzSoundStandIns.h"

#include "QzStandIn.h"

int InitializeSoundSystem() { return StandInCall("InitializeSoundSystem", 0); }
int TerminateSoundSystem() { return StandInCall("TerminateSoundSystem", 0); }
int RefillAllStreamSounds() { return StandInCall("RefillAllStreamSounds", 0); }
int StopSingleMusicFile() { return StandInCall("StopSingleMusicFile", 0); }
int UpdateMusicPlayState() { return StandInCall("UpdateMusicPlayState", 0); }
int HandleMciNotify() { return StandInCall("HandleMciNotify", 0); }
