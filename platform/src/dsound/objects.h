// dsound/objects.h: the DirectSound classes behind dsound.h, for the COM factory and
// for DirectMusic's InitAudio. Any thread.
#pragma once

#include "platform/dsound.h"

namespace dsound {

// CoCreateInstance(CLSID_DirectSound): an object still to be initialised.
HRESULT CreateDirectSound(REFIID iid, void** object);

// A DirectSound object already initialised on the default device at priority level,
// as InitAudio hands it out; DSERR_NODRIVER without a sound device.
HRESULT CreateReadyDirectSound(IDirectSound** object);

// IDirectSound::GetCaps's answer (testing.h may override it).
DSCAPS CurrentCaps();

}  // namespace dsound
