// dsound/buffer.h: making buffers, for IDirectSound (device.cpp). Any thread.
#pragma once

#include "platform/dsound.h"

namespace dsound {

// The checks of IDirectSound::CreateSoundBuffer and DuplicateSoundBuffer (dsound.h).
HRESULT CreateBuffer(LPCDSBUFFERDESC desc, LPDIRECTSOUNDBUFFER* buffer);
HRESULT DuplicateBuffer(LPDIRECTSOUNDBUFFER original, LPDIRECTSOUNDBUFFER* duplicate);

}  // namespace dsound
