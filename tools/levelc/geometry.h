// Convex polygon (winding) operations and brush faces: building each side's polygon,
// removing the parts of faces hidden inside or against other solid brushes, and cutting
// faces on a world grid so that lightmaps and leaves stay small.
#pragma once
#include <vector>

#include "tools/levelc/map_source.h"

constexpr double PlaneEpsilon = 0.01;     // points this close to a plane lie on it
constexpr double MaxCoordinate = 65536;   // brushes must lie within +-this on every axis

using Winding = std::vector<DVec>;

// Keeps the part of w behind the plane (n . p <= d). Points on the plane are kept.
Winding ClipBehind(const Winding& w, const MapPlane& plane);
// Splits w by the plane into the parts in front and behind (either may be empty).
void SplitWinding(const Winding& w, const MapPlane& plane, Winding* front, Winding* back);
// A large square on the plane, wound counter-clockwise seen from the front.
Winding BaseWinding(const MapPlane& plane);
double WindingArea(const Winding& w);
DVec WindingCentre(const Winding& w);

struct Bounds {
  DVec mins{1e30, 1e30, 1e30};
  DVec maxs{-1e30, -1e30, -1e30};
  void Add(DVec p) {
    for (int i = 0; i < 3; ++i) {
      if (p[i] < mins[i]) mins[i] = p[i];
      if (p[i] > maxs[i]) maxs[i] = p[i];
    }
  }
  bool Overlaps(const Bounds& o, double eps) const {
    for (int i = 0; i < 3; ++i)
      if (mins[i] > o.maxs[i] + eps || maxs[i] < o.mins[i] - eps) return false;
    return true;
  }
  bool Contains(DVec p, double eps) const {
    for (int i = 0; i < 3; ++i)
      if (p[i] < mins[i] - eps || p[i] > maxs[i] + eps) return false;
    return true;
  }
};

// A brush with its sides' polygons; sides that do not bound the volume are dropped.
struct CompiledBrush {
  std::vector<MapSide> sides;
  std::vector<Winding> windings;  // one per side, counter-clockwise seen from outside
  Bounds bounds;
  int material = 0;
  bool solid = true;
};

// A visible polygon of the level, counter-clockwise seen from its front.
struct FacePolygon {
  Winding points;
  MapPlane plane;
  int material = 0;
  int brush = 0;
};

// Builds the polygons of every brush. False with a reason when a brush has no volume.
bool BuildBrushes(const MapSource& map, std::vector<CompiledBrush>* brushes, std::string* error);
// True when p lies strictly inside the brush, by more than margin from every side.
bool PointInBrush(const CompiledBrush& brush, DVec p, double margin);
// Inserts into every face edge the corners of other faces that lie on it, so that faces
// meeting in a T share their vertices and no crack opens between them when drawn.
void FixTJunctions(std::vector<FacePolygon>* faces);
// The visible faces: every brush side minus its parts inside or against solid brushes,
// cut into pieces of at most gridSize on each axis.
std::vector<FacePolygon> BuildVisibleFaces(const std::vector<CompiledBrush>& brushes, double gridSize);
