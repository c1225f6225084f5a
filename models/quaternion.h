// Rotations for the tags that join a character's parts: a tag's three axis vectors to a
// quaternion, spherical blending between two frames, and back to an OpenGL matrix.
#pragma once

struct Quaternion {
  float x = 0, y = 0, z = 0, w = 1;
};

// The nine floats of a tag's axes, in file order.
Quaternion QuaternionFromAxes(const float axes[9]);
// Spherical blend from q1 (t = 0) to q2 (t = 1) along the shorter arc; nearly equal
// rotations (1 - dot <= 0.1) blend linearly. Not renormalised.
Quaternion Slerp(Quaternion q1, Quaternion q2, float t);
// 16 floats, column-major as glMultMatrixf takes them, no translation.
void MatrixFromQuaternion(Quaternion q, float matrix[16]);
