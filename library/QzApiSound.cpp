// QzApiSound.cpp: the entry points of sound and music. A play that waits until done
// pumps messages inside, still holding the lock.
#include "QzApi.h"
#include "QzApiCall.h"
#include "QzSoundData.h"
#include "QzSoundMusic.h"
#include "QzSoundSystem.h"

int ApiSetSoundSystemMode(int mode) { return UnderLibraryLock([=] { return SetSoundSystemMode(mode); }); }
int ApiDeleteAllSounds(int ignored) { return UnderLibraryLock([=] { return DeleteAllSounds(ignored); }); }
int ApiLoadFileToSound(const char* fileName, int copies) {
    return UnderLibraryLock([=] { return LoadFileToSound(fileName, copies); });
}
int ApiSetSoundHandleVolume(int volume, int handle) {
    return UnderLibraryLock([=] { return SetSoundHandleVolume(volume, handle); });
}
int ApiPlaySoundHandle(int handle, int playType, int fromTop) {
    return UnderLibraryLock([=] { return PlaySoundHandle(handle, playType, fromTop); });
}
int ApiStopSoundHandle(int handle) { return UnderLibraryLock([=] { return StopSoundHandle(handle); }); }
int ApiPlaySingleSoundFile(const char* fileName, int playType) {
    return UnderLibraryLock([=] { return PlaySingleSoundFile(fileName, playType); });
}
int ApiStopSingleSoundFile() { return UnderLibraryLock([] { return StopSingleSoundFile(); }); }
int ApiPlaySingleMusicFile(const char* fileName, int playType) {
    return UnderLibraryLock([=] { return PlaySingleMusicFile(fileName, playType); });
}
int ApiStopSingleMusicFile() { return UnderLibraryLock([] { return StopSingleMusicFile(); }); }
