// QzDrawBlitRuns.h: the general path's walk of a source's run tables, a span at a time,
// for the blitters' fast paths (QzDrawBlitFast.cpp, QzDrawBlitFast16.cpp). The walk is
// in QzDrawBlitRunsWalk.inc so that the wide spans can have it compiled for AVX2 too.
#pragma once

#include <cstdint>

#include "QzDrawBlitFast.h"
#include "QzDrawMemImg.h"

#include "QzDrawBlitRunsWalk.inc"
