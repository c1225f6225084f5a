// Fog volumes (fog_volumes.cpp): how much fog lies on a line of sight.
#pragma once
#include "core/level.h"

// The length of the segment from `eye` to `point` (y up) inside the convex brush.
float FogThickness(const Level& level, const BspBrush& brush, Vec3 eye, const float point[3]);
