// QzDrawPrimitive.cpp: four-point drawing as two triangles. Triangles live in
// QzDrawTriangle.cpp, fills and lines in QzDrawFill.cpp, the rotated drawer in
// QzDrawRotate.cpp.
#include "QzDrawPrimitive.h"

#include "QzGraphicsDrawState.h"

void PutMEMIMGQuad(MEMIMG* dst, const MEMIMG* src, const MEMIMGPoint corner[4], int transparent,
                   const MEMIMG* blendImage) {
    if (dst == nullptr || src == nullptr || corner == nullptr)
        return;
    MEMIMGPoint p[4] = {corner[0], corner[1], corner[2], corner[3]};
    int maxY = p[0].y, minY = p[0].y, maxX = p[0].x, minX = p[0].x;
    for (int i = 1; i < 4; ++i) {
        if (p[i].y > maxY) maxY = p[i].y;
        if (p[i].y < minY) minY = p[i].y;
        if (p[i].x > maxX) maxX = p[i].x;
        if (p[i].x < minX) minX = p[i].x;
    }
    RECT box = {minX - 2, minY - 2, maxX + 4, maxY + 4};
    ClipRect(&box, &g_drawState.drawArea);
    if (box.left == box.right || box.top == box.bottom)
        return;
    int w = src->width, h = src->height;
    MEMIMGVertex first[3] = {{p[0].x, p[0].y, 0, 0}, {p[1].x, p[1].y, w, 0}, {p[2].x, p[2].y, 0, h}};
    MEMIMGVertex second[3] = {{p[1].x, p[1].y, w, 0}, {p[2].x, p[2].y, 0, h}, {p[3].x, p[3].y, w, h}};
    PutMEMIMGTriangle(dst, src, first, transparent, blendImage, 0);
    PutMEMIMGTriangle(dst, src, second, transparent, blendImage, 0);
}
