// d3d/controls.h: the Direct3D layer's test controls (declared for tests in testing.h).
#pragma once

namespace d3d {

// ptest::ForceD3DGeneralPath: draws take the reference path (scalar, no fast paths).
bool GeneralPathForced();

}  // namespace d3d
