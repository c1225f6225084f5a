// Quaternion conversions and blending for the tag orientations of animated characters.
#include "models/quaternion.h"

#include <cmath>

Quaternion QuaternionFromAxes(const float axes[9]) {
  const float m[16] = {axes[0], axes[1], axes[2], 0, axes[3], axes[4], axes[5], 0,
                       axes[6], axes[7], axes[8], 0, 0,       0,       0,       1};
  const float trace = m[0] + m[5] + m[10] + 1;
  Quaternion q;
  // No division by zero: when the trace is not positive, the largest diagonal element picks
  // a branch whose square root argument is at least 1.
  if (trace > 0.00000001f) {
    const float s = 2 * std::sqrt(trace);
    q.x = (m[9] - m[6]) / s;
    q.y = (m[2] - m[8]) / s;
    q.z = (m[4] - m[1]) / s;
    q.w = s / 4;
  } else if (m[0] > m[5] && m[0] > m[10]) {
    const float s = 2 * std::sqrt(1 + m[0] - m[5] - m[10]);
    q.x = s / 4;
    q.y = (m[4] + m[1]) / s;
    q.z = (m[2] + m[8]) / s;
    q.w = (m[9] - m[6]) / s;
  } else if (m[5] > m[10]) {
    const float s = 2 * std::sqrt(1 + m[5] - m[0] - m[10]);
    q.x = (m[4] + m[1]) / s;
    q.y = s / 4;
    q.z = (m[9] + m[6]) / s;
    q.w = (m[2] - m[8]) / s;
  } else {
    const float s = 2 * std::sqrt(1 + m[10] - m[0] - m[5]);
    q.x = (m[2] + m[8]) / s;
    q.y = (m[9] + m[6]) / s;
    q.z = s / 4;
    q.w = (m[4] - m[1]) / s;
  }
  return q;
}

Quaternion Slerp(Quaternion q1, Quaternion q2, float t) {
  if (q1.x == q2.x && q1.y == q2.y && q1.z == q2.z && q1.w == q2.w) return q1;
  float d = q1.x * q2.x + q1.y * q2.y + q1.z * q2.z + q1.w * q2.w;
  if (d < 0) {
    q2 = Quaternion{-q2.x, -q2.y, -q2.z, -q2.w};
    d = -d;
  }
  float k1 = 1 - t, k2 = t;
  // Here d < 0.9, so the angle is well away from 0 and its sine is not 0.
  if (1 - d > 0.1f) {
    const float omega = std::acos(d);
    const float sinOmega = std::sin(omega);
    k1 = std::sin((1 - t) * omega) / sinOmega;
    k2 = std::sin(t * omega) / sinOmega;
  }
  return Quaternion{k1 * q1.x + k2 * q2.x, k1 * q1.y + k2 * q2.y, k1 * q1.z + k2 * q2.z,
                    k1 * q1.w + k2 * q2.w};
}

void MatrixFromQuaternion(Quaternion q, float m[16]) {
  const float x = q.x, y = q.y, z = q.z, w = q.w;
  m[0] = 1 - 2 * (y * y + z * z);
  m[1] = 2 * (x * y - w * z);
  m[2] = 2 * (x * z + w * y);
  m[3] = 0;
  m[4] = 2 * (x * y + w * z);
  m[5] = 1 - 2 * (x * x + z * z);
  m[6] = 2 * (y * z - w * x);
  m[7] = 0;
  m[8] = 2 * (x * z - w * y);
  m[9] = 2 * (y * z + w * x);
  m[10] = 1 - 2 * (x * x + y * y);
  m[11] = m[12] = m[13] = m[14] = 0;
  m[15] = 1;
}
