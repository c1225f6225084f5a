// Fog volumes (fog_volumes.cpp): how much fog lies on a line of sight.
#pragma once
#include "core/level.h"

// The length of the segment from `eye` to `point` (y up) inside the convex brush.
float FogThickness(const Level& level, const BspBrush& brush, Vec3 eye, const float point[3]);

// The fog volumes' colour (0..1 each, times their opacity) and opacity (0..1, 0: none) over
// the line of sight from `eye` to `point` (y up): nearer fogs over farther ones.
float FogAlong(const Level& level, Vec3 eye, const float point[3], float rgb[3]);

// Fog on a figure (a bot, a shot) at `point` seen from `eye`: the fog volumes between them,
// and the GL's own fog as it is set, as one colour and amount over the whole figure. Begin
// sets it (a linear GL fog, as good as constant over a figure's depth) and End puts the GL's
// fog back; Begin changes nothing and gives false where no fog volume lies on the line.
class FigureFog {
 public:
  bool Begin(const Level& level, Vec3 eye, Vec3 point);
  void End();

 private:
  bool active_ = false, wasOn_ = false;
  int mode_ = 0;
  float density_ = 0, start_ = 0, end_ = 1, colour_[4] = {0, 0, 0, 0};
};
