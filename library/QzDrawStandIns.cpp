// QzDrawStandIns.cpp: the stand-ins of QzDrawStandIns.h.
#include "QzDrawStandIns.h"

#include "QzStandIn.h"

