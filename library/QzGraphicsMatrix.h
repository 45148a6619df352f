// QzGraphicsMatrix.h: the world, view, projection and viewport matrices that graphics
// management keeps and hands to the Direct3D and 2D layers, and the helpers that build
// them. Matrices are 4 x 4 floats, row-major, row vectors multiplied on the left; the
// look-at and perspective forms are left-handed. Main thread under the library lock.
#pragma once

#include "QzGraphicsSystem.h"

struct Vector {
    float x, y, z;
};

// Store a copy and pass it to the Direct3D device (when Direct3D drawing is usable) and
// the 2D layer; the viewport matrix is only stored. Each returns 0.
int SetWorldMatrix(const Matrix* matrix);
int SetViewMatrix(const Matrix* matrix);
int SetProjectionMatrix(const Matrix* matrix);
int SetViewportMatrix(const Matrix* matrix);
// The stored matrices (for the camera tests and the 2D layer).
const Matrix* GetWorldMatrix();
const Matrix* GetViewMatrix();
const Matrix* GetProjectionMatrix();
const Matrix* GetViewportMatrix();
// Empties the four stored matrices (graphics management start).
void ClearStoredMatrices();

int SetIdentityMatrix(Matrix* out);
int MultiplyMatrix(Matrix* out, const Matrix* a, const Matrix* b);  // out = a x b; out may be a or b
int MakeLookAtMatrix(Matrix* out, const Vector* eye, const Vector* target, const Vector* up);
// -1, out unchanged, when |far - near| or |sin(fov / 2)| is below 0.01. The aspect is the
// screen's height over its width.
int MakePerspectiveMatrix(Matrix* out, float fov, float nearZ, float farZ);
int MakeViewportMatrix(Matrix* out, float x, float y, float width, float height);
int NormalizeVector(Vector* out, const Vector* in);  // in must not be zero

// The camera every draw target gets: world identity, the viewport of the target, and an
// eye that looks along +z from d = (height / 2) x 1.9098592639560683 in front, with a
// 60-degree field of view, near d x 0.1 and far d + 1000.
int SetupDrawTargetCamera(int width, int height);
