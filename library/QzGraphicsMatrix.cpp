// QzGraphicsMatrix.cpp: the stored matrices and the matrix helpers.
#include "QzGraphicsMatrix.h"

#include <cmath>
#include <cstring>

#include "Qz3DScene.h"
#include "QzDraw2D.h"
#include "QzDrawScreen.h"

namespace {

Matrix g_world, g_view, g_projection, g_viewport;

float Dot(const Vector& a, const Vector& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

Vector Cross(const Vector& a, const Vector& b) {
    return Vector{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

}  // namespace

int SetWorldMatrix(const Matrix* matrix) {
    g_world = *matrix;
    if (IsDirect3DDrawingUsable())
        G_D3D_SetWorldMatrix(&g_world);
    Surface2DSetWorldMatrix(&g_world);
    return 0;
}

int SetViewMatrix(const Matrix* matrix) {
    g_view = *matrix;
    if (IsDirect3DDrawingUsable())
        G_D3D_SetViewMatrix(&g_view);
    Surface2DSetViewMatrix(&g_view);
    return 0;
}

int SetProjectionMatrix(const Matrix* matrix) {
    g_projection = *matrix;
    if (IsDirect3DDrawingUsable())
        G_D3D_SetProjectionMatrix(&g_projection);
    Surface2DSetProjectionMatrix(&g_projection);
    return 0;
}

int SetViewportMatrix(const Matrix* matrix) {
    g_viewport = *matrix;
    return 0;
}

const Matrix* GetWorldMatrix() { return &g_world; }
const Matrix* GetViewMatrix() { return &g_view; }
const Matrix* GetProjectionMatrix() { return &g_projection; }
const Matrix* GetViewportMatrix() { return &g_viewport; }

void ClearStoredMatrices() {
    g_world = g_view = g_projection = g_viewport = Matrix{};
}

int SetIdentityMatrix(Matrix* out) {
    *out = Matrix{};
    for (int i = 0; i < 4; ++i)
        out->m[i][i] = 1.0f;
    return 0;
}

int MultiplyMatrix(Matrix* out, const Matrix* a, const Matrix* b) {
    const Matrix ca = *a, cb = *b;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k)
                sum += ca.m[i][k] * cb.m[k][j];
            out->m[i][j] = sum;
        }
    return 0;
}

int NormalizeVector(Vector* out, const Vector* in) {
    const float length = std::sqrt(in->x * in->x + in->y * in->y + in->z * in->z);
    *out = Vector{in->x / length, in->y / length, in->z / length};
    return 0;
}

int MakeLookAtMatrix(Matrix* out, const Vector* eye, const Vector* target, const Vector* up) {
    Vector z = {target->x - eye->x, target->y - eye->y, target->z - eye->z};
    NormalizeVector(&z, &z);
    Vector x = Cross(*up, z);
    NormalizeVector(&x, &x);
    Vector y = Cross(z, x);
    NormalizeVector(&y, &y);
    *out = Matrix{{{x.x, y.x, z.x, 0.0f},
                   {x.y, y.y, z.y, 0.0f},
                   {x.z, y.z, z.z, 0.0f},
                   {-Dot(*eye, x), -Dot(*eye, y), -Dot(*eye, z), 1.0f}}};
    return 0;
}

int MakePerspectiveMatrix(Matrix* out, float fov, float nearZ, float farZ) {
    int width = 0, height = 0;
    GetScreenSize(&width, &height);
    const float aspect = (float)height / (float)width;
    const float s = std::sin(fov / 2.0f), c = std::cos(fov / 2.0f);
    if (std::fabs(farZ - nearZ) < 0.01f || std::fabs(s) < 0.01f)
        return -1;
    *out = Matrix{};
    out->m[0][0] = c / s * aspect;
    out->m[1][1] = c / s;
    out->m[2][2] = farZ / (farZ - nearZ);
    out->m[3][2] = -nearZ * farZ / (farZ - nearZ);
    out->m[2][3] = 1.0f;
    return 0;
}

int MakeViewportMatrix(Matrix* out, float x, float y, float width, float height) {
    *out = Matrix{};
    out->m[0][0] = width * 0.5f;
    out->m[1][1] = -height * 0.5f;
    out->m[2][2] = 1.0f;
    out->m[3][3] = 1.0f;
    out->m[3][0] = x;
    out->m[3][1] = y;
    return 0;
}

int SetupDrawTargetCamera(int width, int height) {
    Matrix m;
    SetIdentityMatrix(&m);
    SetWorldMatrix(&m);
    const float cx = (float)(width / 2), cy = (float)(height / 2);
    MakeViewportMatrix(&m, cx, cy, (float)width, (float)height);
    SetViewportMatrix(&m);
    const float d = (float)(height / 2) * 1.9098592639560683f;
    const Vector eye = {cx, cy, 43.0f - d}, at = {cx, cy, 44.0f - d}, up = {0.0f, 1.0f, 0.0f};
    MakeLookAtMatrix(&m, &eye, &at, &up);
    SetViewMatrix(&m);
    if (MakePerspectiveMatrix(&m, 1.0471976f, d * 0.1f, d + 1000.0f) == 0)
        SetProjectionMatrix(&m);
    return 0;
}
