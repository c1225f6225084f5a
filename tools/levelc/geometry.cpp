// Windings, brush polygons and hidden-face removal for the level compiler.
#include "tools/levelc/geometry.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <tuple>

Winding ClipBehind(const Winding& w, const MapPlane& plane) {
  Winding front, back;
  SplitWinding(w, plane, &front, &back);
  return back;
}

void SplitWinding(const Winding& w, const MapPlane& plane, Winding* front, Winding* back) {
  front->clear();
  back->clear();
  size_t n = w.size();
  if (n == 0) return;
  std::vector<double> dist(n);
  std::vector<int> side(n);
  int counts[3] = {0, 0, 0};  // front, back, on
  for (size_t i = 0; i < n; ++i) {
    dist[i] = Dot(plane.normal, w[i]) - plane.distance;
    side[i] = dist[i] > PlaneEpsilon ? 0 : (dist[i] < -PlaneEpsilon ? 1 : 2);
    ++counts[side[i]];
  }
  if (counts[0] == 0) {
    *back = w;  // on the plane counts as behind
    return;
  }
  if (counts[1] == 0) {
    *front = w;
    return;
  }
  for (size_t i = 0; i < n; ++i) {
    DVec p = w[i];
    if (side[i] == 2) {
      front->push_back(p);
      back->push_back(p);
      continue;
    }
    (side[i] == 0 ? front : back)->push_back(p);
    size_t j = (i + 1) % n;
    if (side[j] == 2 || side[j] == side[i]) continue;
    double t = dist[i] / (dist[i] - dist[j]);
    DVec q = p + (w[j] - p) * t;
    // Snap the cut point onto axis-aligned planes exactly, so shared edges match.
    for (int a = 0; a < 3; ++a) {
      if (plane.normal[a] == 1) q[a] = plane.distance;
      if (plane.normal[a] == -1) q[a] = -plane.distance;
    }
    front->push_back(q);
    back->push_back(q);
  }
  if (front->size() < 3) front->clear();
  if (back->size() < 3) back->clear();
}

Winding BaseWinding(const MapPlane& plane) {
  DVec n = plane.normal;
  // Pick the axis least aligned with n for the first in-plane direction.
  int major = 0;
  for (int i = 1; i < 3; ++i)
    if (std::fabs(n[i]) > std::fabs(n[major])) major = i;
  DVec up = major == 1 ? DVec(0, 0, 1) : DVec(0, 1, 0);
  DVec u = Cross(up, n);
  u = u * (1 / std::sqrt(Dot(u, u)));
  DVec v = Cross(n, u);
  const double size = 1 << 17;
  DVec c = n * plane.distance;
  // u x v = n, so u, v, -u, -v runs counter-clockwise seen from the front.
  return {c + (u + v) * size, c + (v - u) * size, c - (u + v) * size, c + (u - v) * size};
}

double WindingArea(const Winding& w) {
  DVec sum;
  for (size_t i = 2; i < w.size(); ++i) sum = sum + Cross(w[i - 1] - w[0], w[i] - w[0]);
  return 0.5 * std::sqrt(Dot(sum, sum));
}

DVec WindingCentre(const Winding& w) {
  DVec c;
  for (const DVec& p : w) c = c + p;
  return w.empty() ? c : c * (1.0 / w.size());
}

bool BuildBrushes(const MapSource& map, std::vector<CompiledBrush>* brushes, std::string* error) {
  brushes->clear();
  for (const MapBrush& source : map.brushes) {
    CompiledBrush b;
    b.material = source.material;
    b.solid = source.solid;
    for (size_t i = 0; i < source.sides.size(); ++i) {
      Winding w = BaseWinding(source.sides[i].plane);
      for (size_t j = 0; j < source.sides.size() && !w.empty(); ++j) {
        if (j == i) continue;
        const MapPlane& other = source.sides[j].plane;
        // Two sides on one plane: the later one adds nothing.
        if (Dot(other.normal, source.sides[i].plane.normal) > 1 - 1e-9 &&
            std::fabs(other.distance - source.sides[i].plane.distance) < PlaneEpsilon) {
          if (j < i) w.clear();
          continue;
        }
        w = ClipBehind(w, other);
      }
      if (w.empty() || WindingArea(w) < 0.01) continue;
      b.sides.push_back(source.sides[i]);
      b.windings.push_back(w);
      for (const DVec& p : w) b.bounds.Add(p);
    }
    if (b.sides.size() < 4) {
      if (error) *error = "line " + std::to_string(source.line) + ": brush has no volume";
      return false;
    }
    for (int a = 0; a < 3; ++a)
      if (b.bounds.mins[a] < -MaxCoordinate || b.bounds.maxs[a] > MaxCoordinate) {
        if (error) *error = "line " + std::to_string(source.line) + ": brush is not closed";
        return false;
      }
    brushes->push_back(b);
  }
  return true;
}

bool PointInBrush(const CompiledBrush& brush, DVec p, double margin) {
  for (const MapSide& s : brush.sides)
    if (Dot(s.plane.normal, p) - s.plane.distance > -margin) return false;
  return true;
}

namespace {

bool SamePlane(const MapPlane& a, const MapPlane& b, double sign) {
  return Dot(a.normal, b.normal) * sign > 1 - 1e-6 && std::fabs(a.distance - sign * b.distance) < PlaneEpsilon;
}

// The parts of w outside brush `other`. A piece lying on a side of `other` that faces the
// opposite way is against it (hidden); on a side facing the same way it is outside, except
// that of two such coinciding faces only the one of the lower brush index survives.
void KeepOutside(const Winding& w, const MapPlane& facePlane, int faceBrush, const CompiledBrush& other,
                 int otherIndex, std::vector<Winding>* out) {
  Winding inside = w;
  std::vector<Winding> pieces;
  for (const MapSide& s : other.sides) {
    if (SamePlane(s.plane, facePlane, -1)) continue;  // against: stays inside
    if (SamePlane(s.plane, facePlane, 1)) {
      if (otherIndex < faceBrush) continue;  // the other brush's copy wins
      out->push_back(w);
      return;
    }
    Winding front, back;
    SplitWinding(inside, s.plane, &front, &back);
    if (!front.empty()) pieces.push_back(front);
    if (back.empty()) {
      out->push_back(w);  // wholly outside this brush: keep it unsplit
      return;
    }
    inside = back;
  }
  for (Winding& p : pieces) out->push_back(p);
}

void CutOnGrid(const Winding& w, double grid, std::vector<Winding>* out) {
  Bounds b;
  for (const DVec& p : w) b.Add(p);
  for (int axis = 0; axis < 3; ++axis) {
    double first = std::floor(b.mins[axis] / grid + 1) * grid;
    if (first < b.maxs[axis] - PlaneEpsilon) {
      MapPlane cut;
      cut.normal[axis] = 1;
      cut.distance = first;
      Winding front, back;
      SplitWinding(w, cut, &front, &back);
      if (!front.empty() && !back.empty()) {
        CutOnGrid(back, grid, out);
        CutOnGrid(front, grid, out);
        return;
      }
    }
  }
  out->push_back(w);
}

// The union of two convex polygons on one plane that touch without overlapping, when that
// union is convex (its convex hull covers no more than the two do); else empty. The result
// keeps only true corners, counter-clockwise seen from the plane's front.
Winding ConvexUnion(const Winding& a, const Winding& b, DVec normal) {
  int major = 0;
  for (int i = 1; i < 3; ++i)
    if (std::fabs(normal[i]) > std::fabs(normal[major])) major = i;
  const int u = major == 0 ? 1 : 0, v = major == 2 ? 1 : 2;
  std::vector<DVec> points(a);
  points.insert(points.end(), b.begin(), b.end());
  std::sort(points.begin(), points.end(), [u, v](const DVec& p, const DVec& q) {
    return p[u] < q[u] || (p[u] == q[u] && p[v] < q[v]);
  });
  auto turn = [u, v](const DVec& o, const DVec& p, const DVec& q) {
    return (p[u] - o[u]) * (q[v] - o[v]) - (p[v] - o[v]) * (q[u] - o[u]);
  };
  // Monotone chain; points on a hull edge (within a hundredth of a unit) are dropped.
  auto straight = [&](const DVec& o, const DVec& p, const DVec& q) {
    const double du = q[u] - o[u], dv = q[v] - o[v];
    return turn(o, p, q) <= PlaneEpsilon * std::sqrt(du * du + dv * dv);
  };
  Winding hull(2 * points.size());
  size_t k = 0;
  for (size_t i = 0; i < points.size(); ++i) {
    while (k >= 2 && straight(hull[k - 2], hull[k - 1], points[i])) --k;
    hull[k++] = points[i];
  }
  for (size_t i = points.size() - 1, lower = k + 1; i-- > 0;) {
    while (k >= lower && straight(hull[k - 2], hull[k - 1], points[i])) --k;
    hull[k++] = points[i];
  }
  hull.resize(k > 0 ? k - 1 : 0);
  if (hull.size() < 3) return {};
  // The projection may mirror the plane: wind the hull as the faces are wound.
  DVec sum;
  for (size_t i = 2; i < hull.size(); ++i) sum = sum + Cross(hull[i - 1] - hull[0], hull[i] - hull[0]);
  if (Dot(sum, normal) < 0) std::reverse(hull.begin(), hull.end());
  if (WindingArea(hull) > WindingArea(a) + WindingArea(b) + 0.05) return {};
  return hull;
}

// Joins the pieces of a face that the other brushes cut apart, and neighbouring faces on
// one plane with one material and contents, wherever two touch and their union is convex:
// fewer, larger polygons draw faster and look the same (texture coordinates and the
// lightmap grid are fixed in the world).
void MergeCoplanarFaces(std::vector<FacePolygon>* faces, const std::vector<CompiledBrush>& brushes) {
  std::map<std::tuple<long, long, long, long, int, bool>, std::vector<size_t>> groups;
  auto q = [](double v) { return std::lround(v * 1000); };
  for (size_t f = 0; f < faces->size(); ++f) {
    const FacePolygon& face = (*faces)[f];
    groups[std::make_tuple(q(face.plane.normal.x), q(face.plane.normal.y), q(face.plane.normal.z),
                           q(face.plane.distance), face.material, brushes[face.brush].solid)]
        .push_back(f);
  }
  std::vector<char> gone(faces->size(), 0);
  for (auto& group : groups) {
    std::vector<size_t>& members = group.second;
    for (bool merged = true; merged;) {
      merged = false;
      for (size_t x = 0; x < members.size(); ++x)
        for (size_t y = x + 1; y < members.size(); ++y) {
          FacePolygon& a = (*faces)[members[x]];
          const FacePolygon& b = (*faces)[members[y]];
          Winding joined = ConvexUnion(a.points, b.points, a.plane.normal);
          if (joined.empty()) continue;
          a.points = joined;
          a.brush = std::min(a.brush, b.brush);
          gone[members[y]] = 1;
          members.erase(members.begin() + static_cast<long>(y));
          --y;
          merged = true;
        }
    }
  }
  std::vector<FacePolygon> kept;
  for (size_t f = 0; f < faces->size(); ++f)
    if (!gone[f]) kept.push_back((*faces)[f]);
  faces->swap(kept);
}

}  // namespace

std::vector<FacePolygon> BuildVisibleFaces(const std::vector<CompiledBrush>& brushes, double gridSize) {
  std::vector<FacePolygon> faces;
  for (size_t bi = 0; bi < brushes.size(); ++bi) {
    const CompiledBrush& brush = brushes[bi];
    for (size_t si = 0; si < brush.sides.size(); ++si) {
      const MapPlane& plane = brush.sides[si].plane;
      std::vector<Winding> pieces{brush.windings[si]};
      Bounds faceBounds;
      for (const DVec& p : brush.windings[si]) faceBounds.Add(p);
      for (size_t oi = 0; oi < brushes.size() && !pieces.empty(); ++oi) {
        const CompiledBrush& other = brushes[oi];
        if (oi == bi || !other.solid || !other.bounds.Overlaps(faceBounds, PlaneEpsilon)) continue;
        std::vector<Winding> next;
        for (const Winding& w : pieces) KeepOutside(w, plane, static_cast<int>(bi), other, static_cast<int>(oi), &next);
        pieces.swap(next);
      }
      for (const Winding& w : pieces) faces.push_back({w, plane, brush.sides[si].material, static_cast<int>(bi)});
    }
  }
  MergeCoplanarFaces(&faces, brushes);
  std::vector<FacePolygon> cutFaces;
  for (const FacePolygon& face : faces) {
    std::vector<Winding> cut;
    CutOnGrid(face.points, gridSize, &cut);
    for (Winding& c : cut) {
      if (WindingArea(c) < 0.5) continue;
      cutFaces.push_back({c, face.plane, face.material, face.brush});
    }
  }
  return cutFaces;
}

void FixTJunctions(std::vector<FacePolygon>* faces) {
  constexpr double Cell = 64;
  constexpr double OnEdge = 0.05;  // distance from the edge's line
  auto cellOf = [&](double v) { return static_cast<long>(std::floor(v / Cell)); };
  // Every corner once, by cell.
  std::map<std::tuple<long, long, long>, std::vector<DVec>> grid;
  for (const FacePolygon& f : *faces)
    for (const DVec& p : f.points) {
      std::vector<DVec>& cell = grid[std::make_tuple(cellOf(p.x), cellOf(p.y), cellOf(p.z))];
      bool known = false;
      for (const DVec& q : cell)
        if (std::fabs(q.x - p.x) < 1e-6 && std::fabs(q.y - p.y) < 1e-6 && std::fabs(q.z - p.z) < 1e-6) known = true;
      if (!known) cell.push_back(p);
    }
  for (FacePolygon& f : *faces) {
    Winding fixed;
    size_t n = f.points.size();
    for (size_t i = 0; i < n; ++i) {
      DVec a = f.points[i], b = f.points[(i + 1) % n];
      fixed.push_back(a);
      DVec d = b - a;
      double len2 = Dot(d, d);
      if (len2 < 1e-6) continue;
      std::vector<std::pair<double, DVec>> inserts;
      long lo[3], hi[3];
      for (int k = 0; k < 3; ++k) {
        lo[k] = cellOf(std::min(a[k], b[k]) - OnEdge);
        hi[k] = cellOf(std::max(a[k], b[k]) + OnEdge);
      }
      for (long cx = lo[0]; cx <= hi[0]; ++cx)
        for (long cy = lo[1]; cy <= hi[1]; ++cy)
          for (long cz = lo[2]; cz <= hi[2]; ++cz) {
            auto it = grid.find(std::make_tuple(cx, cy, cz));
            if (it == grid.end()) continue;
            for (const DVec& p : it->second) {
              double t = Dot(p - a, d) / len2;
              if (t * std::sqrt(len2) < 0.1 || (1 - t) * std::sqrt(len2) < 0.1) continue;  // at an end
              DVec off = p - (a + d * t);
              if (Dot(off, off) > OnEdge * OnEdge) continue;
              inserts.push_back({t, p});
            }
          }
      std::sort(inserts.begin(), inserts.end(), [](const std::pair<double, DVec>& x, const std::pair<double, DVec>& y) {
        return x.first < y.first;
      });
      for (const auto& ins : inserts) fixed.push_back(ins.second);
    }
    f.points = fixed;
  }
}
