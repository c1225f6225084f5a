// The six clipping planes of the current view, in world coordinates.
#pragma once

class Frustum {
 public:
  enum Side { Right = 0, Left = 1, Bottom = 2, Top = 3, Far = 4, Near = 5 };

  // Recomputes the planes from the current GL projection and model-view matrices.
  void CalculateFrustum();
  // The same from given column-major matrices (what CalculateFrustum reads from GL).
  void CalculateFromMatrices(const float projection[16], const float modelView[16]);

  bool PointInFrustum(float x, float y, float z) const;
  bool SphereInFrustum(float x, float y, float z, float radius) const;
  bool CubeInFrustum(float x, float y, float z, float size) const;
  bool BoxInFrustum(float minX, float minY, float minZ, float maxX, float maxY, float maxZ) const;

  float planes[6][4] = {};  // a, b, c, d with (a, b, c) of length 1; inside when > 0
};
