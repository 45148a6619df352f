// SoundSetup.h: loading the effects and music by the sound mode of "soundon.txt", and
// switching the music track.
//
// Modes: 0 silent (nothing loaded or played); 1 the music system with the five Ogg tracks
// preloaded; 2 and 3 MIDI tracks (sets "z" and plain), the effects reloaded at every
// change; 4 the music system with each Ogg track decoded whole when it starts.
#pragma once

// Music tracks: 0 title, 1 stages 1-3, 2 stages 4-6, 3 stage 7, 4 ending.
constexpr int kMusicTrackCount = 5;
extern int MusicHandles[kMusicTrackCount];

// "NOW LOADING" and its bar on the current target, the mode, then the sounds.
void SetupSound();
// The last library result, or 0 when nothing changes.
int SwitchMusic(int track);
