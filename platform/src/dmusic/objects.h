// dmusic/objects.h: the DirectMusic classes behind dmusic.h, for the COM factory.
#pragma once

#include "platform/dmusic.h"

namespace dmusic {

HRESULT CreateLoader(REFIID iid, void** object);
HRESULT CreatePerformance(REFIID iid, void** object);
HRESULT CreateDirectMusic(REFIID iid, void** object);

}  // namespace dmusic
