// QzGraphicsData.cpp: the graphic table's look-up. The table itself (creation,
// loading, cutting, deletion) is not built yet: no graphic exists, so no handle is valid.
#include "QzGraphicsData.h"

GraphData* GetGraphData(int32_t) {
    return nullptr;
}

int DeleteAllGraphs(int) {
    return 0;
}
