// The view frustum from given matrices: planes, boundary cases of each test, boxes.
#include <gtest/gtest.h>

#include <cmath>

#include "core/frustum.h"

namespace {

// An orthographic view x, y in [-8, 8], z from 0 to -128 (camera at the origin looking down
// -z): every plane comes out exactly, so boundary values are exact too.
void Ortho(float p[16]) {
  for (int i = 0; i < 16; ++i) p[i] = 0;
  p[0] = 2.0f / 16;
  p[5] = 2.0f / 16;
  p[10] = -2.0f / 128;
  p[14] = -1;
  p[15] = 1;
}

void Identity(float m[16]) {
  for (int i = 0; i < 16; ++i) m[i] = (i % 5 == 0) ? 1.0f : 0.0f;
}

// 90 degree perspective, aspect 1, near 1, far 1000, with the camera moved to (100, 50, 0).
Frustum CameraAt100() {
  float p[16] = {};
  p[0] = 1;
  p[5] = 1;
  p[10] = -1001.0f / 999;
  p[11] = -1;
  p[14] = -2000.0f / 999;
  float m[16];
  Identity(m);
  m[12] = -100;
  m[13] = -50;
  Frustum f;
  f.CalculateFromMatrices(p, m);
  return f;
}

}  // namespace

TEST(Frustum, PlanesComeOutNormalisedInOrder) {
  float p[16], m[16];
  Ortho(p);
  Identity(m);
  Frustum f;
  f.CalculateFromMatrices(p, m);
  const float expected[6][4] = {{-1, 0, 0, 8}, {1, 0, 0, 8}, {0, 1, 0, 8},
                                {0, -1, 0, 8}, {0, 0, 1, 128}, {0, 0, -1, 0}};
  for (int side = 0; side < 6; ++side) {
    for (int c = 0; c < 4; ++c) EXPECT_FLOAT_EQ(f.planes[side][c], expected[side][c]) << side << "," << c;
  }

  Frustum persp = CameraAt100();
  for (const auto& plane : persp.planes) {
    EXPECT_NEAR(std::sqrt(plane[0] * plane[0] + plane[1] * plane[1] + plane[2] * plane[2]), 1.0f, 1e-6f);
  }
}

TEST(Frustum, BoundariesAreOutside) {
  float p[16], m[16];
  Ortho(p);
  Identity(m);
  Frustum f;
  f.CalculateFromMatrices(p, m);

  EXPECT_TRUE(f.PointInFrustum(0, 0, -10));
  EXPECT_FALSE(f.PointInFrustum(8, 0, -10));   // exactly on the right plane
  EXPECT_TRUE(f.PointInFrustum(7.99f, 0, -10));
  EXPECT_FALSE(f.PointInFrustum(0, 0, 0));     // exactly on the near plane
  EXPECT_FALSE(f.PointInFrustum(0, -8, -10));  // bottom

  EXPECT_FALSE(f.SphereInFrustum(10, 0, -10, 2));  // centre at -radius from the right plane
  EXPECT_TRUE(f.SphereInFrustum(9.99f, 0, -10, 2));
  EXPECT_TRUE(f.SphereInFrustum(0, 0, 5, 5.5f));   // straddles the near plane

  EXPECT_FALSE(f.CubeInFrustum(10, 0, -10, 2));    // touches the right plane only
  EXPECT_TRUE(f.CubeInFrustum(9.99f, 0, -10, 2));
  EXPECT_FALSE(f.CubeInFrustum(0, 0, -140, 12));   // wholly past the far plane
  EXPECT_TRUE(f.CubeInFrustum(0, 0, -140, 12.5f));
}

TEST(Frustum, BoxTests) {
  Frustum f = CameraAt100();
  // Surrounds the whole view volume: some corner is inside every plane.
  EXPECT_TRUE(f.BoxInFrustum(-5000, -5000, -5000, 5000, 5000, 5000));
  // Around the camera but wholly behind it (the camera looks down -z).
  EXPECT_FALSE(f.BoxInFrustum(90, 40, 1.5f, 110, 60, 20));
  // In front of it, and a sliver of it.
  EXPECT_TRUE(f.BoxInFrustum(90, 40, -30, 110, 60, -20));
  EXPECT_TRUE(f.BoxInFrustum(140, 40, -50, 160, 60, -45));
  // Off to the side.
  EXPECT_FALSE(f.BoxInFrustum(400, 40, -50, 420, 60, -45));

  // Exchanging minimum and maximum z changes nothing, whatever the box.
  const float boxes[][6] = {{-5000, -5000, -5000, 5000, 5000, 5000}, {90, 40, 1.5f, 110, 60, 20},
                            {90, 40, -30, 110, 60, -20},             {140, 40, -50, 160, 60, -45},
                            {400, 40, -50, 420, 60, -45},            {95, 45, -2000, 105, 55, -1500}};
  for (const auto& b : boxes) {
    EXPECT_EQ(f.BoxInFrustum(b[0], b[1], b[2], b[3], b[4], b[5]), f.BoxInFrustum(b[0], b[1], b[5], b[3], b[4], b[2]));
  }
  EXPECT_FALSE(f.BoxInFrustum(95, 45, -2000, 105, 55, -1500));  // past the far plane
}
