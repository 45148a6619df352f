// com/classes.cpp: the COM classes of the platform, one row per class. A family adds its
// rows here (its creator declared in its own header), so that every class is linked in.
#include "com/factory.h"
#include "ddraw/class.h"
#include "dinput/objects.h"
#include "dmusic/objects.h"
#include "dshow/objects.h"
#include "dsound/objects.h"

namespace com {

const ClassEntry kClasses[] = {
    // sound: dsound/objects.h, dmusic/objects.h
    {CLSID_DirectSound, dsound::CreateDirectSound},
    {CLSID_DirectMusicLoader, dmusic::CreateLoader},
    {CLSID_DirectMusicPerformance, dmusic::CreatePerformance},
    {CLSID_DirectMusic, dmusic::CreateDirectMusic},
    // screen: ddraw/class.h
    {CLSID_DirectDraw7, ddraw::CreateDirectDrawClass},
    // input: dinput/objects.h
    {CLSID_DirectInput, input::CreateDirectInput},
    // movies: dshow/objects.h
    {CLSID_FilterGraph, dshow::CreateFilterGraph},
    {CLSID_AMMultiMediaStream, dshow::CreateMultiMediaStream},
    {{}, nullptr},
};

}  // namespace com
