// dshow/objects.h: the multimedia-stream classes for CoCreateInstance (com/classes.cpp).
#pragma once

#include "platform/dshow.h"

namespace dshow {

// A new filter graph answering iid (IGraphBuilder, IMediaControl, IMediaSeeking,
// IBasicAudio, IUnknown).
HRESULT CreateFilterGraph(REFIID iid, void** object);
// A new, uninitialised multimedia stream answering iid (IAMMultiMediaStream, IUnknown).
HRESULT CreateMultiMediaStream(REFIID iid, void** object);

}  // namespace dshow
