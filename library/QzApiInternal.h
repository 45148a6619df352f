// QzApiInternal.h: the entry points that only the library calls. They take platform
// records, so they stay out of the game's header. The three lock-free ones work only on
// the records they are given: callers already hold the lock.
#pragma once

#include "QzDrawColorFormat.h"
#include "platform/ddraw.h"
#include "platform/win32.h"

int ApiGetScreenSize(int* width, int* height);  // either may be null; 0
const DDPIXELFORMAT* ApiGetScreenPixelFormat();

// No lock.
int ApiFillColorFormat(ColorFormat* out, int bits, unsigned redMask, unsigned greenMask, unsigned blueMask,
                       unsigned alphaMask);
int ApiFillDDPixelFormat(DDPIXELFORMAT* out, int bits, unsigned redMask, unsigned greenMask, unsigned blueMask,
                         unsigned alphaMask);
int ApiClipRect(RECT* rect, const RECT* clip);
