// Brush models in the tracer: every move is also tested against the solid brushes of models
// 1, 2, ... where their entities have put them. The move is taken into the model's own frame
// (less the offset, turned back), tested there against the stored brushes, and the normal of
// a contact turned out again. A turning model turns the moving box with it: exact for boxes
// whose sides across the axis are equal (the player's and the bots' boxes about the
// vertical), and within the box's corners otherwise.
#include <cmath>

#include "core/level.h"
#include "level/trace.h"

namespace {

// Turns v by `degrees` about axis 0, 1 or 2 (right-handed).
Vec3 Turned(Vec3 v, int axis, float degrees) {
  if (axis < 0 || degrees == 0.0f) return v;
  const float r = degrees * 0.017453292f;
  const float c = std::cos(r), s = std::sin(r);
  switch (axis) {
    case 0: return Vec3(v.x, v.y * c - v.z * s, v.y * s + v.z * c);
    case 1: return Vec3(v.x * c + v.z * s, v.y, -v.x * s + v.z * c);
    default: return Vec3(v.x * c - v.y * s, v.x * s + v.y * c, v.z);
  }
}

Vec3 IntoModel(const ModelPlacement& p, Vec3 world) { return Turned(world - p.offset, p.axis, -p.degrees); }

}  // namespace

Vec3 TurnedAbout(Vec3 v, int axis, float degrees) { return Turned(v, axis, degrees); }

void Level::PlacedModelBox(int model, float mins[3], float maxs[3]) const {
  const BspModel& m = models[model];
  const ModelPlacement& p = modelPlacements[model];
  const float offset[3] = {p.offset.x, p.offset.y, p.offset.z};
  if (p.axis < 0 || p.degrees == 0.0f) {
    for (int a = 0; a < 3; ++a) {
      mins[a] = m.mins[a] + offset[a];
      maxs[a] = m.maxs[a] + offset[a];
    }
    return;
  }
  // Every turn of the model stays within the sphere around its pivot through its farthest corner.
  float radius2 = 0;
  for (int corner = 0; corner < 8; ++corner) {
    float d2 = 0;
    for (int a = 0; a < 3; ++a) {
      const float c = (corner >> a) & 1 ? m.maxs[a] : m.mins[a];
      d2 += c * c;
    }
    radius2 = std::fmax(radius2, d2);
  }
  const float radius = std::sqrt(radius2);
  for (int a = 0; a < 3; ++a) {
    mins[a] = offset[a] - radius;
    maxs[a] = offset[a] + radius;
  }
}

void Level::CheckModels() {
  const Vec3 start = trace_.start, end = trace_.end;
  for (size_t m = 1; m < models.size(); ++m) {
    const BspModel& model = models[m];
    const ModelPlacement& placement = modelPlacements[m];
    if (placement.hidden || model.brushCount == 0) continue;
    float mins[3], maxs[3];
    PlacedModelBox(static_cast<int>(m), mins, maxs);
    bool misses = false;
    for (int a = 0; a < 3; ++a)
      if (sweptMins_[a] > maxs[a] || sweptMaxs_[a] < mins[a]) misses = true;
    if (misses) continue;
    const float before = trace_.fraction;
    trace_.start = IntoModel(placement, start);
    trace_.end = IntoModel(placement, end);
    for (int b = 0; b < model.brushCount && trace_.fraction > 0.0f; ++b) CheckBrush(brushes[model.firstBrush + b]);
    trace_.start = start;
    trace_.end = end;
    if (trace_.fraction < before) {
      trace_.model = static_cast<int>(m);
      trace_.normal = Turned(trace_.normal, placement.axis, placement.degrees);
    }
    if (trace_.fraction == 0.0f) return;
  }
}

bool Level::ModelHoldsBox(int model, Vec3 position, Vec3 extents) {
  if (model <= 0 || static_cast<size_t>(model) >= models.size()) return false;
  const BspModel& m = models[model];
  const ModelPlacement& placement = modelPlacements[model];
  if (placement.hidden) return false;
  const Vec3 local = IntoModel(placement, position);
  for (int b = 0; b < m.brushCount; ++b) {
    const BspBrush& brush = brushes[m.firstBrush + b];
    if (brush.sideCount <= 0 || (textures[brush.textureIndex].contents & SolidContentsMask) == 0) continue;
    bool inside = true;
    for (int i = 0; i < brush.sideCount && inside; ++i) {
      const BspPlane& plane = planes[brushSides[brush.firstSide + i].plane];
      const float reach = std::fabs(plane.normal[0]) * extents.x + std::fabs(plane.normal[1]) * extents.y +
                          std::fabs(plane.normal[2]) * extents.z;
      const float d = plane.normal[0] * local.x + plane.normal[1] * local.y + plane.normal[2] * local.z -
                      plane.distance - reach;
      // Touching (a body resting on a lift keeps TraceEpsilon away) is not inside.
      if (!(d < -TraceEpsilon * 0.5f)) inside = false;
    }
    if (inside) return true;
  }
  return false;
}
