// Qz3DSprite.cpp: graphics as textured quads of pre-transformed vertices.
//
// A quad goes into the batch as two listed triangles (top-left, top-right, bottom-left)
// and (bottom-right, bottom-left, top-right): V0..V5 = TL, TR, BL, BR, BL, TR. Only V0 and
// V3 get the diffuse colour; the device shades flat from each triangle's first vertex.
// In the two-texture format the first coordinate set is the blend graphic's, laid over
// the drawn graphic's own area (its top-left texel on the graphic's top-left pixel), so
// it stretches, turns and mirrors with the graphic.
//
// Plain and stretched draws clip their quads to the draw area, moving the texture
// coordinates with the clamped corners; rotated and free-corner draws leave the cutting
// to the viewport.
#include "Qz3DSprite.h"

#include <cmath>
#include <cstring>

#include "Qz3DDevice.h"
#include "Qz3DScene.h"
#include "Qz3DSystem.h"
#include "Qz3DTexture.h"
#include "QzDrawSurfaceData.h"
#include "QzGraphicsDrawState.h"

namespace {

uint32_t g_diffuse = 0xFFFFFFFFu;
float g_blendWidth = 0.0f, g_blendHeight = 0.0f;
float g_blendReciprocalWidth = 0.0f, g_blendReciprocalHeight = 0.0f;

// One corner of a quad: position, the piece's texture coordinates, the blend graphic's.
struct Corner {
    float x, y, u, v, bu, bv;
};

// The current slot, ready for a draw: -1 in *result without Direct3D or without a device,
// 0 while the draw target is a graphic Direct3D cannot draw into.
D3DDeviceSlot* DrawSlot(int* result) {
    if (g_d3d.direct3D == nullptr) {
        *result = -1;
        return nullptr;
    }
    if (g_d3d.cpuTarget) {
        *result = 0;
        return nullptr;
    }
    D3DDeviceSlot* s = GetLiveD3DDeviceSlot(g_d3d.currentSlot);
    *result = -1;
    return s;
}

// Common start of a graphic draw: the scene, the first piece and its store (null when it
// is not live), and the states.
const Surface3DData* StartGraphDraw(D3DDeviceSlot* s, const GraphData* graph, int flags,
                                    SurfaceData** firstStore = nullptr) {
    if (!s->sceneOpen)
        G_D3D_BeginScene(g_d3d.currentSlot);
    if (graph == nullptr || graph->pieceCount < 1)
        return nullptr;
    const Surface3DData* first = GetSurface3DData(graph->pieces[0]);
    if (first == nullptr)
        return nullptr;
    SurfaceData* store = GetSurface3DStore(first);
    SetupSlotDrawGraphStates(s, g_d3d.currentSlot, store, flags);
    if (firstStore != nullptr)
        *firstStore = store;
    return first;
}

// Binds a piece's store's texture and applies what is pending. The store, or null.
SurfaceData* PrepareStore(D3DDeviceSlot* s, SurfaceData* sd) {
    if (sd == nullptr)
        return nullptr;
    if (sd->surface != s->texture)
        G_D3D_BindTexture(sd->surface, g_d3d.currentSlot);
    if (s->stateDirty || s->textureDirty)
        G_D3D_ApplyStates(g_d3d.currentSlot);
    return sd;
}

// The same for a piece. The store, or null for a piece that is not live.
SurfaceData* PreparePiece(D3DDeviceSlot* s, const Surface3DData* piece) {
    return PrepareStore(s, GetSurface3DStore(piece));
}

void FinishGraphDraw() {
    if (g_d3d.frontTarget)
        G_D3D_EndScene();
}

void FlushBatch(D3DDeviceSlot* s) {
    if (s->batchCount > 0 && !s->suppressDraw)
        s->device->DrawPrimitive((D3DPRIMITIVETYPE)s->batchPrimitive, kD3DBatchFvf[s->batchFormat],
                                 s->batchBase[s->batchFormat], (DWORD)s->batchCount, 0);
    s->batchCount = 0;
    s->batchWrite = s->batchBase[s->batchFormat];
}

void PutTex1(D3DVertexTex1* v, const Corner& c) {
    v->x = c.x;
    v->y = c.y;
    v->u = c.u;
    v->v = c.v;
}

void PutTex2(D3DVertexTex2* v, const Corner& c) {
    v->x = c.x;
    v->y = c.y;
    v->u1 = c.bu;
    v->v1 = c.bv;
    v->u2 = c.u;
    v->v2 = c.v;
}

// Writes six vertices of one format at `write`, the diffuse colour on the first corner of
// each triangle; returns the end of what it wrote.
template <typename Vertex, typename Put>
uint8_t* PutSix(uint8_t* write, Put put, const Corner& v0, const Corner& v1, const Corner& v2, const Corner& v3,
                const Corner& v4, const Corner& v5, uint32_t diffuse) {
    auto* v = (Vertex*)write;
    const Corner* corners[6] = {&v0, &v1, &v2, &v3, &v4, &v5};
    for (int i = 0; i < 6; ++i)
        put(&v[i], *corners[i]);
    v[0].diffuse = diffuse;
    v[3].diffuse = diffuse;
    return write + 6 * sizeof(Vertex);
}

// Draws the batch first when a quad's six vertices would not fit it or it holds another
// primitive; the batch is then a triangle list.
inline void MakeRoomForQuad(D3DDeviceSlot* s) {
    if (s->batchCount > 0 &&
        (s->batchPrimitive != D3DPT_TRIANGLELIST || s->batchCount + 6 > kD3DBatchCapacity[s->batchFormat]))
        FlushBatch(s);
    s->batchPrimitive = D3DPT_TRIANGLELIST;
}

// Appends V0..V5 (corners in the order TL, TR, BL, BR, with V4 and V5 as given) in the
// slot's format, drawing the batch first when it is full or of another primitive.
void AppendQuad(D3DDeviceSlot* s, int format, const Corner& v0, const Corner& v1, const Corner& v2, const Corner& v3,
                const Corner& v4, const Corner& v5, uint32_t diffuse) {
    if (format == 0)
        return;
    MakeRoomForQuad(s);
    if (format == 1)
        s->batchWrite = PutSix<D3DVertexTex1>(s->batchWrite, PutTex1, v0, v1, v2, v3, v4, v5, diffuse);
    else
        s->batchWrite = PutSix<D3DVertexTex2>(s->batchWrite, PutTex2, v0, v1, v2, v3, v4, v5, diffuse);
    s->batchCount += 6;
}

void AppendQuad(D3DDeviceSlot* s, int format, const Corner c[4], uint32_t diffuse) {
    AppendQuad(s, format, c[0], c[1], c[2], c[3], c[2], c[1], diffuse);
}

// A plain draw's piece that nothing clips, placed at left, top, right, bottom: the
// vertices PieceCorners, PlaceCorners and AppendQuad give, written straight from the
// piece. (Through the corner array each coordinate was stored alone and read back in
// pairs, and such a read waits until the stores are done.)
inline __attribute__((always_inline)) void AppendPlacedPiece(D3DDeviceSlot* s, int format, const Surface3DData* p,
                                                              float left, float top, float right, float bottom,
                                                              uint32_t diffuse) {
    if (format == 0)
        return;
    MakeRoomForQuad(s);
    // V0..V5 = TL, TR, BL, BR, BL, TR.
    const float u0 = p->vertices[0].u, u1 = p->vertices[1].u, v0 = p->vertices[0].v, v1 = p->vertices[2].v;
    if (format == 1) {
        auto* out = (D3DVertexTex1*)s->batchWrite;
        auto put = [](D3DVertexTex1& o, float x, float y, float u, float v) {
            o.x = x;
            o.y = y;
            o.u = u;
            o.v = v;
        };
        put(out[0], left, top, u0, v0);
        put(out[1], right, top, u1, v0);
        put(out[2], left, bottom, u0, v1);
        put(out[3], right, bottom, u1, v1);
        put(out[4], left, bottom, u0, v1);
        put(out[5], right, top, u1, v0);
        out[0].diffuse = diffuse;
        out[3].diffuse = diffuse;
        s->batchWrite += 6 * sizeof(D3DVertexTex1);
    } else {
        auto* out = (D3DVertexTex2*)s->batchWrite;
        // The blend coordinates of corner k come from the piece's own corner k.
        auto put = [&](D3DVertexTex2& o, float x, float y, float u, float v, int k) {
            o.x = x;
            o.y = y;
            o.u1 = p->vertices[k].x * g_blendReciprocalWidth;
            o.v1 = p->vertices[k].y * g_blendReciprocalHeight;
            o.u2 = u;
            o.v2 = v;
        };
        put(out[0], left, top, u0, v0, 0);
        put(out[1], right, top, u1, v0, 1);
        put(out[2], left, bottom, u0, v1, 2);
        put(out[3], right, bottom, u1, v1, 3);
        put(out[4], left, bottom, u0, v1, 2);
        put(out[5], right, top, u1, v0, 1);
        out[0].diffuse = diffuse;
        out[3].diffuse = diffuse;
        s->batchWrite += 6 * sizeof(D3DVertexTex2);
    }
    s->batchCount += 6;
}

// A piece's corners in graphic pixels with its texture and blend coordinates.
void PieceCorners(const Surface3DData* p, Corner c[4]) {
    for (int i = 0; i < 4; ++i) {
        const D3DVertexTex1& v = p->vertices[i];
        c[i] = Corner{v.x, v.y, 0, 0, v.x * g_blendReciprocalWidth, v.y * g_blendReciprocalHeight};
    }
    // u from the left and right corners, v from the top and bottom ones.
    c[0].u = c[2].u = p->vertices[0].u;
    c[1].u = c[3].u = p->vertices[1].u;
    c[0].v = c[1].v = p->vertices[0].v;
    c[2].v = c[3].v = p->vertices[2].v;
}

// Puts the corners (TL, TR, BL, BR) on an upright box.
void PlaceCorners(Corner c[4], float left, float top, float right, float bottom) {
    c[0].x = c[2].x = left;
    c[1].x = c[3].x = right;
    c[0].y = c[1].y = top;
    c[2].y = c[3].y = bottom;
}

// Clamps one coordinate into [low, high], moving its texture and blend coordinates by
// the clamped distance times their factors (per pixel of screen).
void ClampAxis(float& at, float& texture, float& blend, float low, float high, float dTexture, float dBlend) {
    if (at < low) {
        float d = low - at;
        at = low;
        texture += d * dTexture;
        blend += d * dBlend;
    } else if (at > high) {
        float d = at - high;
        at = high;
        texture -= d * dTexture;
        blend -= d * dBlend;
    }
}

// Clamps each corner into the rectangle, moving its texture coordinates by the clamped
// distance times the given factors (per pixel of screen).
void ClipCorners(Corner c[4], float left, float top, float right, float bottom, float du, float dv, float dbu,
                 float dbv) {
    for (int i = 0; i < 4; ++i) {
        ClampAxis(c[i].x, c[i].u, c[i].bu, left, right, du, dbu);
        ClampAxis(c[i].y, c[i].v, c[i].bv, top, bottom, dv, dbv);
    }
}

void Coordinates(double x, double y, int intFlag, int* ix, int* iy, float* fx, float* fy) {
    if (intFlag == 1) {
        *ix = (int)x;
        *iy = (int)y;
        *fx = (float)*ix;
        *fy = (float)*iy;
    } else {
        *fx = (float)x;
        *fy = (float)y;
        *ix = (int)*fx;
        *iy = (int)*fy;
    }
}

}  // namespace

int G_D3D_SetDrawFilterMode(int mode) {
    if (g_d3d.direct3D == nullptr)
        return -1;
    G_D3D_SetFilterStates(mode, g_d3d.currentSlot);
    return 0;
}

int G_D3D_UpdateDiffuseColor(int, int) {
    return G_D3D_UpdateDiffuseColor2();
}

int G_D3D_UpdateDiffuseColor2() {
    uint32_t alpha = g_drawState.blendMode != 0 ? (uint32_t)g_drawState.blendParam & 0xFF : 255u;
    g_diffuse = alpha << 24 | (g_drawState.brightColor & 0xFFFFFFu);
    return 0;
}

uint32_t G_D3D_GetDiffuseColor() {
    return g_diffuse;
}

int G_D3D_SelectBlendGraph(const GraphData* graph, int borderParam, int borderRange) {
    D3DDeviceSlot* s = GetLiveD3DDeviceSlot(g_d3d.currentSlot);
    if (s == nullptr)
        return -1;
    if (graph != nullptr) {
        const Surface3DData* first = graph->pieceCount > 0 ? GetSurface3DData(graph->pieces[0]) : nullptr;
        SurfaceData* sd = GetSurface3DStore(first);
        if (sd == nullptr)
            return -1;
        IDirectDrawSurface7* texture = sd->surface;
        bool same = (texture != nullptr && texture == s->blendTexture && borderParam == s->borderParam &&
                     borderRange == s->borderRange) ||
                    (texture == nullptr && s->blendTexture == nullptr);
        if (s->force || !same) {
            FlushBatch(s);
            s->blendTexture = texture;
            if (borderParam != -1)
                s->borderParam = borderParam;
            if (borderRange != -1)
                s->borderRange = borderRange;
            s->stateDirty = 1;
        }
        g_blendWidth = (float)sd->width;
        g_blendHeight = (float)sd->height;
        g_blendReciprocalWidth = 1.0f / g_blendWidth;
        g_blendReciprocalHeight = 1.0f / g_blendHeight;
        return 0;
    }
    if (s->force || s->blendTexture != nullptr) {
        FlushBatch(s);
        s->blendTexture = nullptr;
        if (borderParam != -1)
            s->borderParam = borderParam;
        if (borderRange != -1)
            s->borderRange = borderRange;
        s->stateDirty = 1;
    }
    return 0;
}

int G_D3D_SetClipViewport(const RECT* clip) {
    if (g_d3d.direct3D == nullptr || clip == nullptr)
        return -1;
    if (g_d3d.cpuTarget)
        return 0;
    if (clip->right <= clip->left || clip->bottom <= clip->top)
        return -1;
    D3DVIEWPORT7 viewport = {(DWORD)(clip->left + g_drawState.drawOrigin.left),
                             (DWORD)(clip->top + g_drawState.drawOrigin.top),
                             (DWORD)(clip->right - clip->left),
                             (DWORD)(clip->bottom - clip->top),
                             0.0f,
                             1.0f};
    return G_D3D_SetViewport(&viewport, g_d3d.currentSlot);
}

int G_D3D_DrawGraph(double x, double y, GraphData* graph, int transparent, int intFlag) {
    int result;
    D3DDeviceSlot* s = DrawSlot(&result);
    if (s == nullptr)
        return result;
    SurfaceData* firstStore = nullptr;
    const Surface3DData* first = StartGraphDraw(s, graph, transparent | 2 * (intFlag == 1 ? 1 : 0), &firstStore);
    if (first == nullptr)
        return -1;
    uint32_t diffuse = g_diffuse;
    const DrawState& ds = g_drawState;
    int ix, iy;
    float fx, fy;
    Coordinates(x, y, intFlag, &ix, &iy, &fx, &fy);
    float ox = (fx - 0.5f) + (float)ds.drawOrigin.left;
    float oy = (fy - 0.5f) + (float)ds.drawOrigin.top;
    bool inside = ix >= ds.drawArea.left && (int64_t)ix + graph->width <= ds.drawArea.right && iy >= ds.drawArea.top &&
                  (int64_t)iy + graph->height <= ds.drawArea.bottom;
    float clipLeft = ds.drawAreaF[0] + (float)ds.drawOrigin.left, clipTop = ds.drawAreaF[1] + (float)ds.drawOrigin.top;
    float clipRight = ds.drawAreaF[2] + (float)ds.drawOrigin.left;
    float clipBottom = ds.drawAreaF[3] + (float)ds.drawOrigin.top;
    int format = s->batchFormat;
    for (int i = 0; i < graph->pieceCount && i < kGraphMaxPieces; ++i) {
        const Surface3DData* p = i == 0 ? first : GetSurface3DData(graph->pieces[i]);
        SurfaceData* sd = i == 0 ? PrepareStore(s, firstStore) : (p ? PreparePiece(s, p) : nullptr);
        if (sd == nullptr)
            return -1;
        float left = ox + p->vertices[0].x, right = ox + p->vertices[1].x;
        float top = oy + p->vertices[0].y, bottom = oy + p->vertices[2].y;
        if (inside) {
            AppendPlacedPiece(s, format, p, left, top, right, bottom, diffuse);
            continue;
        }
        Corner c[4];
        PieceCorners(p, c);
        PlaceCorners(c, left, top, right, bottom);
        ClipCorners(c, clipLeft, clipTop, clipRight, clipBottom, 1.0f / (float)sd->width, 1.0f / (float)sd->height,
                    g_blendReciprocalWidth, g_blendReciprocalHeight);
        AppendQuad(s, format, c, diffuse);
    }
    FinishGraphDraw();
    return 0;
}

int G_D3D_DrawStretchedGraph(double x1, double y1, double x2, double y2, GraphData* graph, int transparent,
                             int intFlag) {
    int ix1, iy1, ix2, iy2;
    float fx1, fy1, fx2, fy2;
    Coordinates(x1, y1, intFlag, &ix1, &iy1, &fx1, &fy1);
    Coordinates(x2, y2, intFlag, &ix2, &iy2, &fx2, &fy2);
    if (ix1 == ix2 || iy1 == iy2)
        return -1;
    int result;
    D3DDeviceSlot* s = DrawSlot(&result);
    if (s == nullptr)
        return result;
    const DrawState& ds = g_drawState;
    int flags = transparent | (intFlag == 1 && ds.filterMode != 1 ? 2 : 0);
    if (StartGraphDraw(s, graph, flags) == nullptr)
        return -1;
    uint32_t diffuse = g_diffuse;
    float sx = (fx2 - fx1) / (float)graph->width, sy = (fy2 - fy1) / (float)graph->height;
    float ox = (fx1 - 0.5f) + (float)ds.drawOrigin.left;
    float oy = (fy1 - 0.5f) + (float)ds.drawOrigin.top;
    bool inside = ix1 >= ds.drawArea.left && ix2 <= ds.drawArea.right && iy1 >= ds.drawArea.top &&
                  iy2 <= ds.drawArea.bottom;
    float clipLeft = (ds.drawAreaF[0] - 0.5f) + (float)ds.drawOrigin.left;
    float clipTop = (ds.drawAreaF[1] - 0.5f) + (float)ds.drawOrigin.top;
    float clipRight = (ds.drawAreaF[2] - 0.5f) + (float)ds.drawOrigin.left;
    float clipBottom = (ds.drawAreaF[3] - 0.5f) + (float)ds.drawOrigin.top;
    int format = s->batchFormat;
    for (int i = 0; i < graph->pieceCount && i < kGraphMaxPieces; ++i) {
        const Surface3DData* p = GetSurface3DData(graph->pieces[i]);
        SurfaceData* sd = p ? PreparePiece(s, p) : nullptr;
        if (sd == nullptr)
            return -1;
        Corner c[4];
        PieceCorners(p, c);
        float left = p->vertices[0].x * sx + ox, right = p->vertices[1].x * sx + ox;
        float top = p->vertices[0].y * sy + oy, bottom = p->vertices[2].y * sy + oy;
        PlaceCorners(c, left, top, right, bottom);
        if (!inside)
            ClipCorners(c, clipLeft, clipTop, clipRight, clipBottom, 1.0f / ((float)sd->width * sx),
                        1.0f / ((float)sd->height * sy), 1.0f / (g_blendWidth * sx), 1.0f / (g_blendHeight * sy));
        AppendQuad(s, format, c, diffuse);
    }
    FinishGraphDraw();
    return 0;
}

int G_D3D_DrawScaleRotateGraph(float x, float y, double scale, double angle, GraphData* graph, int transparent,
                               int mirror) {
    int result;
    D3DDeviceSlot* s = DrawSlot(&result);
    if (s == nullptr)
        return result;
    if (scale == 0.0)
        return -1;
    if (StartGraphDraw(s, graph, transparent) == nullptr)
        return -1;
    uint32_t diffuse = g_diffuse;
    const DrawState& ds = g_drawState;
    float cx = x + (float)ds.drawOrigin.left, cy = y + (float)ds.drawOrigin.top;
    float a = (float)angle;
    float sn = (float)std::sin((double)a), cs = (float)std::cos((double)a);
    int w = graph->width, h = graph->height;
    float pivotX = (float)w * 0.5f, pivotY = (float)h * 0.5f;
    if (scale == 1.0) {
        bool evenW = w % 2 == 0, evenH = h % 2 == 0;
        if (evenW && evenH) {
            // The centre pixel's top-left corner is the pivot; the centre moves to match.
            pivotX = (float)(w / 2);
            pivotY = (float)(h / 2);
            cx -= 0.5f;
            cy -= 0.5f;
        } else if (evenW != evenH) {
            if (evenW)
                pivotX -= 0.5f;
            else
                pivotY -= 0.5f;
        }
    } else {
        cx -= 0.5f;
        cy -= 0.5f;
    }
    float mx = mirror == 1 ? -(float)scale : (float)scale, my = (float)scale;
    int format = s->batchFormat;
    for (int i = 0; i < graph->pieceCount && i < kGraphMaxPieces; ++i) {
        const Surface3DData* p = GetSurface3DData(graph->pieces[i]);
        if (p == nullptr || PreparePiece(s, p) == nullptr)
            return -1;
        Corner c[4];
        PieceCorners(p, c);
        for (int k = 0; k < 4; ++k) {
            float qx = (p->vertices[k].x - pivotX) * mx, qy = (p->vertices[k].y - pivotY) * my;
            c[k].x = qx * cs - qy * sn + cx;
            c[k].y = qx * sn + qy * cs + cy;
        }
        AppendQuad(s, format, c, diffuse);
    }
    FinishGraphDraw();
    return 0;
}

int G_D3D_DrawFreeQuadGraph(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                            GraphData* graph, int transparent) {
    if (g_drawState.blendGraph != -1)
        return G_D3D_DrawFreeQuadGraphInt((int)x1, (int)y1, (int)x2, (int)y2, (int)x3, (int)y3, (int)x4, (int)y4,
                                          graph, transparent);
    int result;
    D3DDeviceSlot* s = DrawSlot(&result);
    if (s == nullptr)
        return result;
    if (StartGraphDraw(s, graph, transparent) == nullptr)
        return -1;
    float ox = (float)g_drawState.drawOrigin.left, oy = (float)g_drawState.drawOrigin.top;
    x1 += ox, x2 += ox, x3 += ox, x4 += ox;
    y1 += oy, y2 += oy, y3 += oy, y4 += oy;
    if (graph->pieceCount == 1) {
        G_D3D_DrawTexturedQuad(x1, y1, x2, y2, x3, y3, x4, y4, graph->pieces[0], 0);
    } else {
        double rw = 1.0 / graph->width, rh = 1.0 / graph->height;
        for (int i = 0; i < graph->pieceCount && i < kGraphMaxPieces; ++i) {
            const Surface3DData* p = GetSurface3DData(graph->pieces[i]);
            if (p == nullptr)
                return -1;
            float q[8];
            for (int k = 0; k < 4; ++k) {
                double sx = p->vertices[k].x * rw, ty = p->vertices[k].y * rh;
                double lx = x1 + ((double)x3 - x1) * ty, ly = y1 + ((double)y3 - y1) * ty;
                double rx = x2 + ((double)x4 - x2) * ty, ry = y2 + ((double)y4 - y2) * ty;
                q[2 * k] = (float)(lx + (rx - lx) * sx);
                q[2 * k + 1] = (float)(ly + (ry - ly) * sx);
            }
            G_D3D_DrawTexturedQuad(q[0], q[1], q[2], q[3], q[4], q[5], q[6], q[7], graph->pieces[i], 0);
        }
    }
    FinishGraphDraw();
    return 0;
}

int G_D3D_DrawFreeQuadGraphInt(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4, GraphData* graph,
                               int transparent) {
    if (x1 == x3 && x2 == x4 && y1 == y2 && y3 == y4)
        return G_D3D_DrawStretchedGraph(x1, y1, x4, y4, graph, transparent, 1);
    if (g_drawState.blendGraph == -1 && !g_d3d.freeQuadOption)
        return G_D3D_DrawFreeQuadGraph((float)x1, (float)y1, (float)x2, (float)y2, (float)x3, (float)y3, (float)x4,
                                       (float)y4, graph, transparent);
    int result;
    D3DDeviceSlot* s = DrawSlot(&result);
    if (s == nullptr)
        return result;
    FlushBatch(s);
    int ox = g_drawState.drawOrigin.left, oy = g_drawState.drawOrigin.top;
    x1 += ox, x2 += ox, x3 += ox, x4 += ox;
    y1 += oy, y2 += oy, y3 += oy, y4 += oy;
    if (StartGraphDraw(s, graph, transparent | 2) == nullptr)
        return -1;
    uint32_t diffuse = g_diffuse;
    float W = (float)graph->width, H = (float)graph->height;
    float fx1 = (float)x1, fy1 = (float)y1, fx2 = (float)x2, fy2 = (float)y2;
    float fx3 = (float)x3, fy3 = (float)y3, fx4 = (float)x4, fy4 = (float)y4;
    // Two affine maps: through the top-left corner for corners on or above the graphic's
    // diagonal, through the bottom-right corner for the others.
    auto upperLeft = [&](float px, float py, float* x, float* y) {
        *x = px * (fx2 - fx1) / W + py * (fx3 - fx1) / H + (fx1 - 0.5f);
        *y = py * (fy3 - fy1) / H + px * (fy2 - fy1) / W + (fy1 - 0.5f);
    };
    auto lowerRight = [&](float px, float py, float* x, float* y) {
        *x = (px - W) * (fx3 - fx4) / (-W) + (py - H) * (fx2 - fx4) / (-H) + (fx4 - 0.5f);
        *y = (py - H) * (fy2 - fy4) / (-H) + (px - W) * (fy3 - fy4) / (-W) + (fy4 - 0.5f);
    };
    int format = s->batchFormat;
    for (int i = 0; i < graph->pieceCount && i < kGraphMaxPieces; ++i) {
        const Surface3DData* p = GetSurface3DData(graph->pieces[i]);
        if (p == nullptr || PreparePiece(s, p) == nullptr)
            return -1;
        Corner c[4];
        PieceCorners(p, c);
        for (int k = 0; k < 4; ++k) {
            if (p->cornerFlags[k])
                upperLeft(p->vertices[k].x, p->vertices[k].y, &c[k].x, &c[k].y);
            else
                lowerRight(p->vertices[k].x, p->vertices[k].y, &c[k].x, &c[k].y);
        }
        float c1 = (c[1].x - c[0].x) * (c[2].y - c[0].y) - (c[2].x - c[0].x) * (c[1].y - c[0].y);
        float c2 = (c[2].x - c[3].x) * (c[1].y - c[3].y) - (c[1].x - c[3].x) * (c[2].y - c[3].y);
        if (c1 <= 0 && c2 <= 0)
            std::swap(c[1], c[2]);
        if (c1 * c2 < 0 && c1 < 0)
            std::swap(c[1], c[2]);
        if (format == 2) {
            D3DVertexTex2 v[4];
            for (int k = 0; k < 4; ++k) {
                v[k] = D3DVertexTex2{0, 0, 0.0f, 1.0f, diffuse, 0xFFFFFFFFu, 0, 0, 0, 0};
                PutTex2(&v[k], c[k]);
            }
            if (!s->suppressDraw)  // border parameter 255: nothing shows, as for the batch
                s->device->DrawPrimitive(D3DPT_TRIANGLESTRIP, kD3DFvfTex2, v, 4, 0);
        } else if (format == 1) {
            D3DVertexTex1 v[4];
            for (int k = 0; k < 4; ++k) {
                v[k] = D3DVertexTex1{0, 0, 0.0f, 1.0f, diffuse, 0, 0};
                PutTex1(&v[k], c[k]);
            }
            if (!s->suppressDraw)
                s->device->DrawPrimitive(D3DPT_TRIANGLESTRIP, kD3DFvfTex1, v, 4, 0);
        }
    }
    FinishGraphDraw();
    return 0;
}

void G_D3D_DrawTexturedQuad(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4, int piece,
                            int) {
    D3DDeviceSlot* s = GetLiveD3DDeviceSlot(g_d3d.currentSlot);
    const Surface3DData* p = GetSurface3DData(piece);
    if (s == nullptr || p == nullptr || PreparePiece(s, p) == nullptr)
        return;
    float tx = x2 - x1, ty = y2 - y1, bx = x4 - x3, by = y4 - y3;
    float lx = x3 - x1, ly = y3 - y1, rx = x4 - x2, ry = y4 - y2;
    bool parallelogram = std::fabs(tx - bx) < 1.0f && std::fabs(ty - by) < 1.0f && std::fabs(lx - rx) < 1.0f &&
                         std::fabs(ly - ry) < 1.0f;
    if (parallelogram) {
        Corner c[4];
        PieceCorners(p, c);
        c[0].x = x1, c[0].y = y1;
        c[1].x = x2, c[1].y = y2;
        c[2].x = x3, c[2].y = y3;
        c[3].x = x4, c[3].y = y4;
        float c1 = (x2 - x1) * (y3 - y1) - (x3 - x1) * (y2 - y1);
        float c2 = (x3 - x4) * (y2 - y4) - (x2 - x4) * (y3 - y4);
        if (c1 <= 0 && c2 <= 0)
            AppendQuad(s, s->batchFormat, c[0], c[2], c[1], c[3], c[1], c[2], g_diffuse);
        else
            AppendQuad(s, s->batchFormat, c[0], c[1], c[2], c[3], c[2], c[1], g_diffuse);
        return;
    }
    // No parallelogram: an 8 x 8 grid, every step an addition in float.
    static D3DVertexTex1 grid[64];
    float leftX = x1, leftY = y1, rightX = x2, rightY = y2;
    const float leftStepX = (x3 - x1) / 7, leftStepY = (y3 - y1) / 7;
    const float rightStepX = (x4 - x2) / 7, rightStepY = (y4 - y2) / 7;
    const float u0 = p->vertices[0].u, v0 = p->vertices[0].v;
    const float uStep = (p->vertices[3].u - u0) / 7, vStep = (p->vertices[3].v - v0) / 7;
    float v = v0;
    for (int row = 0; row < 8; ++row) {
        float x = leftX, y = leftY, u = u0;
        const float stepX = (rightX - leftX) / 7, stepY = (rightY - leftY) / 7;
        for (int column = 0; column < 8; ++column) {
            grid[row * 8 + column] = D3DVertexTex1{x, y, 0.0f, 1.0f, g_diffuse, u, v};
            x += stepX;
            y += stepY;
            u += uStep;
        }
        leftX += leftStepX;
        leftY += leftStepY;
        rightX += rightStepX;
        rightY += rightStepY;
        v += vStep;
    }
    FlushBatch(s);
    G_D3D_DrawVertexGrid(grid, 8, 8, g_d3d.currentSlot);
}
