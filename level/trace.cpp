// The collision tracer: sweeps an axis-aligned box (a ray when its extents are zero) in a
// straight line through the level's BSP tree and reports how far it gets before touching a
// solid brush, or a triangle of a solid curved surface (the same triangles that are drawn).
// Every plane is kept TraceEpsilon away, so a stopped box never rests exactly on a face.
// Curved surfaces are found through the tree as brushes are (surface_leaves.cpp). Also the
// sliding move and the two helpers that work on the game's level.
#include <algorithm>
#include <cmath>

#include "core/game_state.h"
#include "core/level.h"
#include "level/trace.h"

namespace {

Vec3 PlaneNormal(const BspPlane& plane) {
  return Vec3(plane.normal[0], plane.normal[1], plane.normal[2]);
}

float Clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

// A box swept against a convex solid, one bounding plane at a time.
struct SolidSweep {
  float enterFraction = -1.0f;
  float leaveFraction = 1.0f;
  bool startsOut = false;
  bool endsOut = false;
  Vec3 hitNormal;
};

// Takes one bounding plane (normal . p = distance, normal out of the solid) into the sweep;
// false when the move stays in front of it and does not approach: the solid cannot be hit.
bool ClipBySide(Vec3 normal, float distance, const TraceResult& trace, SolidSweep* sweep) {
  const Vec3& e = trace.extents;
  // Push the face out by the box: the box's nearest corner touches the moved plane.
  const Vec3 offset(normal.x < 0 ? e.x : -e.x, normal.y < 0 ? e.y : -e.y, normal.z < 0 ? e.z : -e.z);
  const float planeDistance = distance - Dot(normal, offset);
  const float startDistance = Dot(normal, trace.start) - planeDistance;
  const float endDistance = Dot(normal, trace.end) - planeDistance;

  if (startDistance > 0) sweep->startsOut = true;
  if (endDistance > 0) sweep->endsOut = true;

  // In front of this face and not coming closer: the solid cannot be hit.
  if (startDistance > 0 && endDistance >= startDistance) return false;
  // Behind this face all the way: it does not limit the move.
  if (startDistance <= 0 && endDistance <= 0) return true;

  if (startDistance > endDistance) {
    const float r = (startDistance - TraceEpsilon) / (startDistance - endDistance);
    if (r > sweep->enterFraction) {
      sweep->enterFraction = r;
      sweep->hitNormal = normal;
    }
  } else {
    const float r = (startDistance + TraceEpsilon) / (startDistance - endDistance);
    if (r < sweep->leaveFraction) sweep->leaveFraction = r;
  }
  return true;
}

// Whether the sweep may still stop the trace: once it enters no earlier than it leaves, or no
// earlier than the contact already found, further planes cannot change that (entering only
// gets later, leaving only earlier), and a sweep that has entered started outside, so it
// cannot make the trace all solid either.
bool SweepMayStop(const SolidSweep& sweep, const TraceResult& trace) {
  return sweep.enterFraction < sweep.leaveFraction && sweep.enterFraction < trace.fraction;
}

// Applies a finished sweep to the trace: a move that starts inside the solid is not
// stopped by it; otherwise an earlier contact shortens the move.
void FinishSweep(const SolidSweep& sweep, TraceResult* trace) {
  if (!sweep.startsOut) {
    if (!sweep.endsOut) trace->allSolid = true;
    return;
  }
  if (sweep.enterFraction < sweep.leaveFraction && sweep.enterFraction > -1.0f &&
      sweep.enterFraction < trace->fraction) {
    trace->fraction = sweep.enterFraction < 0.0f ? 0.0f : sweep.enterFraction;
    trace->normal = sweep.hitNormal;
  }
}

// How far (level units) a curved surface's collision reaches out on either side of its
// triangles: several TraceEpsilon, so entering and leaving stay apart after rounding.
constexpr float SurfaceThickness = 0.125f;
// How far every side of a triangle's solid reaches past its edges, so that neighbouring
// triangles overlap and a move exactly along or through their shared edge or corner cannot
// slip between them: more than the TraceEpsilon by which a move leaving a side is held back.
constexpr float SurfaceOverlap = 2 * TraceEpsilon;

Vec3 Axis(int i) { return Vec3(i == 0 ? 1.0f : 0.0f, i == 1 ? 1.0f : 0.0f, i == 2 ? 1.0f : 0.0f); }

// The move as a segment that a box must reach to be touched: a long slanted move (a shot, a
// line of sight) sweeps a box around most of a level, yet passes near few of the triangles in
// it. In doubles, so the rounding over a move across the level stays far below BoundsMargin.
struct SweptSegment {
  double start[3], inverse[3];
  bool still[3];     // no motion along the axis
  double reach[3];   // the box's half-size plus BoundsMargin

  explicit SweptSegment(const TraceResult& trace) {
    const float s[3] = {trace.start.x, trace.start.y, trace.start.z};
    const float t[3] = {trace.end.x, trace.end.y, trace.end.z};
    const float e[3] = {trace.extents.x, trace.extents.y, trace.extents.z};
    for (int i = 0; i < 3; ++i) {
      start[i] = s[i];
      const double delta = double{t[i]} - double{s[i]};
      still[i] = delta == 0.0;
      inverse[i] = still[i] ? 0.0 : 1.0 / delta;
      reach[i] = double{e[i]} + BoundsMargin;
    }
  }

  // Whether the box keeps clear of mins..maxs all the way: the segment misses that box grown
  // by the reach.
  bool Misses(const float mins[3], const float maxs[3]) const {
    double enter = 0.0, leave = 1.0;
    for (int i = 0; i < 3; ++i) {
      const double low = mins[i] - reach[i], high = maxs[i] + reach[i];
      if (still[i]) {
        if (start[i] < low || start[i] > high) return true;
        continue;
      }
      double t0 = (low - start[i]) * inverse[i], t1 = (high - start[i]) * inverse[i];
      if (t0 > t1) std::swap(t0, t1);
      enter = std::fmax(enter, t0);
      leave = std::fmin(leave, t1);
      if (enter > leave) return true;
    }
    return false;
  }
};

}  // namespace

TraceResult Level::Trace(Vec3 start, Vec3 end, Vec3 extents) {
  trace_.start = start;
  trace_.end = end;
  trace_.extents = extents;
  trace_.normal = Vec3();
  trace_.fraction = 1.0f;
  trace_.allSolid = false;
  trace_.model = -1;

  if (brushTestedBy_.size() != brushes.size() || surfaceTestedBy_.size() != collisionSurfaces.size() ||
      ++traceNumber_ == 0) {
    brushTestedBy_.assign(brushes.size(), 0);
    traceNumber_ = 1;
    BuildBrushBounds();
    BuildSurfaceLeaves();
  }
  surfaceCandidates_.clear();
  surfacesLookedAtLastTrace = 0;
  // The box the whole move sweeps, widened by BoundsMargin.
  const float s[3] = {start.x, start.y, start.z}, t[3] = {end.x, end.y, end.z};
  const float e[3] = {extents.x, extents.y, extents.z};
  for (int i = 0; i < 3; ++i) {
    sweptMins_[i] = std::fmin(s[i], t[i]) - e[i] - BoundsMargin;
    sweptMaxs_[i] = std::fmax(s[i], t[i]) + e[i] + BoundsMargin;
  }

  // Parse refuses a level without nodes; an empty Level (nothing loaded) stops nothing.
  if (!nodes.empty()) CheckNode(0, 0.0f, 1.0f, start, end);
  if (!collisionSurfaces.empty() && trace_.fraction > 0.0f) CheckCollisionSurfaces();
  if (trace_.fraction < 1.0f) trace_.model = 0;
  if (models.size() > 1 && trace_.fraction > 0.0f) CheckModels();

  if (trace_.fraction < 1.0f) trace_.end = start + (end - start) * trace_.fraction;
  return trace_;
}

void Level::CheckNode(int node, float startFraction, float endFraction, Vec3 p0, Vec3 p1) {
  // A contact at or before this piece of the move is already known.
  if (trace_.fraction <= startFraction) return;
  if (node < 0) {
    CheckLeaf(-(node + 1));
    return;
  }

  const BspNode& n = nodes[node];
  const BspPlane& plane = planes[n.plane];
  const Vec3 normal = PlaneNormal(plane);
  const float startDistance = Dot(normal, p0) - plane.distance;
  const float endDistance = Dot(normal, p1) - plane.distance;
  const Vec3& e = trace_.extents;
  // How far the box reaches towards the plane: zero for a ray.
  const float offset =
      std::fabs(e.x * normal.x) + std::fabs(e.y * normal.y) + std::fabs(e.z * normal.z);

  if (startDistance >= offset && endDistance >= offset) {
    CheckNode(n.children[0], startFraction, endFraction, p0, p1);
    return;
  }
  if (startDistance < -offset && endDistance < -offset) {
    CheckNode(n.children[1], startFraction, endFraction, p0, p1);
    return;
  }

  // The move crosses the plane's band: split it so that both halves overlap the band.
  int firstChild, secondChild;
  float ratio1, ratio2;
  if (startDistance < endDistance) {
    firstChild = n.children[1];
    secondChild = n.children[0];
    const float inverse = 1.0f / (startDistance - endDistance);
    ratio1 = (startDistance - offset - TraceEpsilon) * inverse;
    ratio2 = (startDistance + offset + TraceEpsilon) * inverse;
  } else if (startDistance > endDistance) {
    firstChild = n.children[0];
    secondChild = n.children[1];
    const float inverse = 1.0f / (startDistance - endDistance);
    ratio1 = (startDistance + offset + TraceEpsilon) * inverse;
    ratio2 = (startDistance - offset - TraceEpsilon) * inverse;
  } else {
    firstChild = n.children[0];
    secondChild = n.children[1];
    ratio1 = 1.0f;
    ratio2 = 0.0f;
  }

  ratio1 = Clamp01(ratio1);
  float middleFraction = startFraction + (endFraction - startFraction) * ratio1;
  Vec3 middle = p0 + (p1 - p0) * ratio1;
  CheckNode(firstChild, startFraction, middleFraction, p0, middle);

  ratio2 = Clamp01(ratio2);
  middleFraction = startFraction + (endFraction - startFraction) * ratio2;
  middle = p0 + (p1 - p0) * ratio2;
  CheckNode(secondChild, middleFraction, endFraction, middle, p1);
}

void Level::BuildBrushBounds() {
  brushBounds_.resize(brushes.size());
  for (size_t b = 0; b < brushes.size(); ++b) {
    BrushBounds& box = brushBounds_[b];
    for (int i = 0; i < 3; ++i) {
      box.mins[i] = -HUGE_VALF;
      box.maxs[i] = HUGE_VALF;
    }
    const BspBrush& brush = brushes[b];
    for (int i = 0; i < brush.sideCount; ++i) {
      const BspPlane& plane = planes[brushSides[brush.firstSide + i].plane];
      for (int axis = 0; axis < 3; ++axis) {
        const int other1 = (axis + 1) % 3, other2 = (axis + 2) % 3;
        if (plane.normal[other1] != 0.0f || plane.normal[other2] != 0.0f) continue;
        // A solid brush lies behind each of its sides: n . p <= distance.
        if (plane.normal[axis] == 1.0f) box.maxs[axis] = std::fmin(box.maxs[axis], plane.distance);
        if (plane.normal[axis] == -1.0f) box.mins[axis] = std::fmax(box.mins[axis], -plane.distance);
      }
    }
  }
}

bool Level::SweptBoxMisses(int brush) const {
  const BrushBounds& box = brushBounds_[brush];
  for (int i = 0; i < 3; ++i)
    if (sweptMins_[i] > box.maxs[i] || sweptMaxs_[i] < box.mins[i]) return true;
  return false;
}

void Level::CheckLeaf(int leaf) {
  if (surfacesThroughTree && !collisionSurfaces.empty()) GatherLeafSurfaces(leaf);
  const BspLeaf& l = leaves[leaf];
  for (int i = 0; i < l.leafBrushCount; ++i) {
    const int brush = leafBrushes[l.firstLeafBrush + i];
    if (brushTestedBy_[brush] == traceNumber_) continue;
    brushTestedBy_[brush] = traceNumber_;
    if (skipDistantBrushes && SweptBoxMisses(brush)) continue;
    CheckBrush(brushes[brush]);
    if (trace_.fraction == 0.0f) return;
  }
}

void Level::CheckBrush(const BspBrush& brush) {
  if (brush.sideCount <= 0) return;
  if ((textures[brush.textureIndex].contents & SolidContentsMask) == 0) return;
  SolidSweep sweep;
  for (int i = 0; i < brush.sideCount; ++i) {
    const BspPlane& plane = planes[brushSides[brush.firstSide + i].plane];
    if (!ClipBySide(PlaneNormal(plane), plane.distance, trace_, &sweep) || !SweepMayStop(sweep, trace_)) return;
  }
  FinishSweep(sweep, &trace_);
}

void Level::CheckCollisionSurfaces() {
  // In index order, as if every surface were tried: the same contact wins a tie.
  if (surfacesThroughTree) {
    surfaceCandidates_.insert(surfaceCandidates_.end(), everywhereSurfaces_.begin(), everywhereSurfaces_.end());
    std::sort(surfaceCandidates_.begin(), surfaceCandidates_.end());
  } else {
    for (size_t s = 0; s < collisionSurfaces.size(); ++s) surfaceCandidates_.push_back(static_cast<int32_t>(s));
  }
  surfacesLookedAtLastTrace = surfaceCandidates_.size();
  const SweptSegment segment(trace_);
  for (const int32_t s : surfaceCandidates_) {
    const CollisionSurface& surface = collisionSurfaces[s];
    bool misses = false;
    for (int i = 0; i < 3; ++i)
      if (sweptMins_[i] > surface.maxs[i] || sweptMaxs_[i] < surface.mins[i]) misses = true;
    if (misses || segment.Misses(surface.mins, surface.maxs)) continue;
    for (uint32_t t = 0; t < surface.triangleCount; ++t) {
      const CollisionTriangle& triangle = collisionTriangles[surface.firstTriangle + t];
      float mins[3], maxs[3];
      bool away = false;
      for (int i = 0; i < 3 && !away; ++i) {
        const float a = (&triangle.corners[0].x)[i], b = (&triangle.corners[1].x)[i], c = (&triangle.corners[2].x)[i];
        mins[i] = std::fmin(a, std::fmin(b, c));
        maxs[i] = std::fmax(a, std::fmax(b, c));
        away = sweptMins_[i] > maxs[i] || sweptMaxs_[i] < mins[i];
      }
      if (!away && !segment.Misses(mins, maxs)) CheckTriangle(triangle);
      if (trace_.fraction == 0.0f) return;
    }
  }
}

// A triangle is taken as a thin prism: the triangle swept SurfaceThickness along its normal
// both ways (without thickness the TraceEpsilon kept from either side would make entering and
// leaving the same instant, and nothing would be hit). The box touches the prism exactly when
// it reaches it along each separating direction of a box and a prism, taken both ways: the
// normal, the side faces (edge x normal), the three axes, and each edge and the normal
// crossed with each axis. The plane on each direction is the prism's farthest point along
// it, so the box's sweep against them is the same one the brushes get, and a contact
// reports the normal first.
void Level::CheckTriangle(const CollisionTriangle& triangle) {
  const Vec3* p = triangle.corners;
  const Vec3 edges[3] = {p[1] - p[0], p[2] - p[1], p[0] - p[2]};
  const Vec3 normal = NormalizeOrZero(Cross(edges[0], p[2] - p[0]));
  if (normal == Vec3()) return;  // no area
  SolidSweep sweep;
  auto side = [&](Vec3 direction) {
    const float a = Dot(direction, p[0]), b = Dot(direction, p[1]), c = Dot(direction, p[2]);
    const float reach = SurfaceThickness * std::fabs(Dot(direction, normal)) + SurfaceOverlap;
    return ClipBySide(direction, std::fmax(a, std::fmax(b, c)) + reach, trace_, &sweep) &&
           ClipBySide(direction * -1.0f, reach - std::fmin(a, std::fmin(b, c)), trace_, &sweep) &&
           SweepMayStop(sweep, trace_);
  };
  // Directions from crossing two others; none when they are (nearly) parallel.
  auto crossed = [&](Vec3 u, Vec3 v) {
    const Vec3 cross = Cross(u, v);
    const float length = Magnitude(cross);
    if (!(length > 1e-4f * Magnitude(u) * Magnitude(v))) return true;
    return side(cross / length);
  };
  if (!side(normal)) return;
  for (const Vec3& edge : edges)
    if (!crossed(edge, normal)) return;
  for (int i = 0; i < 3; ++i)
    if (!side(Axis(i))) return;
  for (int i = 0; i < 3; ++i) {
    for (const Vec3& edge : edges)
      if (!crossed(edge, Axis(i))) return;
    if (!crossed(normal, Axis(i))) return;
  }
  FinishSweep(sweep, &trace_);
}

TraceResult Level::TraceSlide(Vec3 start, Vec3 end, Vec3 extents) {
  const TraceResult first = Trace(start, end, extents);
  const Vec3 remain = (end - start) * (1.0f - first.fraction);
  // Remove the part of the remaining motion that goes into the face that was hit.
  const Vec3 slide = remain - first.normal * Dot(first.normal, remain);
  // The slide starts again from the start: the part made before the contact is not added.
  return Trace(start, start + slide, extents);
}

bool TraceHits(Vec3 start, Vec3 end, Vec3 extents) {
  return gGame.level.Trace(start, end, extents).fraction != 1.0f;
}

Vec3 MoveWithSlide(Vec3 start, Vec3 end) {
  TraceResult r = gGame.level.Trace(start, end, BodyExtents);
  if (r.fraction != 1.0f) r = gGame.level.TraceSlide(start, end, BodyExtents);
  return r.end;
}
