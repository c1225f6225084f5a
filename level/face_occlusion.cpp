// Leaving out the visible faces that nearer opaque faces of the same frame hide wholly. The
// visible faces' triangles are laid on a coarse grid of the window (cells of 8 x 8 pixels) on
// the processor: a cell wholly inside a triangle GL draws takes the farthest depth the
// triangle has over the cell, the nearest such depth of all of them. A face whose nearest
// depth lies beyond that of every cell its window box touches would lose the depth test in
// every pixel: drawing it changes neither colour nor depth, so it is left out and the
// renderer never rasterises it. Every bound is taken to the safe side (cells only where wholly
// covered, farthest depths for what hides, nearest for what is hidden, a margin for the
// renderer's rounding), so the picture is the one drawing every face gives. Only the plain
// look hides (no alpha test: its pixels are all drawn), and only triangles facing the way GL
// keeps them; a face reaching in front of the near plane is never left out.
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "core/game_state.h"
#include "core/level.h"
#include "level/face_looks.h"

namespace {

constexpr int CellPixels = 8;
// Corners of the longest polygon laid whole (a triangle cut by both depth planes has five).
constexpr int MaxHidingCorners = 32;
// Depth (normalised device z) a face must lie beyond what hides it: far above the renderer's
// rounding of interpolated depth and the depth buffer's 24 bits.
constexpr float DepthMargin = 1e-5f;

struct ClipPoint {
  float x, y, z, w;
};

ClipPoint Mix(const ClipPoint& a, const ClipPoint& b, float t) {
  return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t, a.w + (b.w - a.w) * t};
}

// Cuts the polygon to -w <= z <= w (the near and far planes), in place.
int ClipDepth(ClipPoint* polygon, int count, ClipPoint* scratch) {
  for (const float sign : {1.0f, -1.0f}) {
    int kept = 0;
    for (int i = 0; i < count; ++i) {
      const ClipPoint& a = polygon[i];
      const ClipPoint& b = polygon[(i + 1) % count];
      const float da = a.w + sign * a.z, db = b.w + sign * b.z;
      if (da >= 0) scratch[kept++] = a;
      if ((da >= 0) != (db >= 0)) scratch[kept++] = Mix(a, b, da / (da - db));
    }
    std::copy(scratch, scratch + kept, polygon);
    count = kept;
  }
  return count;
}

// Whether the depth test alone decides which face shows in a pixel, every pixel of a plain face
// drawn writing its depth: the test on and LESS, writes on, filled polygons, nothing blended,
// tested away or moved in depth.
bool DepthDecides() {
  if (!glIsEnabled(GL_DEPTH_TEST) || glIsEnabled(GL_BLEND) || glIsEnabled(GL_ALPHA_TEST) ||
      glIsEnabled(GL_STENCIL_TEST) || glIsEnabled(GL_POLYGON_OFFSET_FILL))
    return false;
  GLint function = 0, polygonMode[2] = {0, 0};
  GLboolean depthWrites = GL_FALSE;
  GLfloat range[2] = {0, 1};
  glGetIntegerv(GL_DEPTH_FUNC, &function);
  glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
  glGetIntegerv(GL_POLYGON_MODE, polygonMode);
  glGetFloatv(GL_DEPTH_RANGE, range);
  return function == GL_LESS && depthWrites && polygonMode[0] == GL_FILL && polygonMode[1] == GL_FILL &&
         range[0] < range[1];
}

}  // namespace

bool Level::BeginOcclusion() {
  if (!DepthDecides()) return false;
  GLint viewport[4] = {0, 0, 0, 0};
  glGetIntegerv(GL_VIEWPORT, viewport);
  if (viewport[2] < CellPixels || viewport[3] < CellPixels) return false;
  float projection[16], modelView[16];
  glGetFloatv(GL_PROJECTION_MATRIX, projection);
  glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r) {
      float sum = 0;
      for (int k = 0; k < 4; ++k) sum += projection[k * 4 + r] * modelView[c * 4 + k];
      occlusionClip_[c * 4 + r] = sum;
    }
  occlusionViewport_[0] = viewport[2];
  occlusionViewport_[1] = viewport[3];
  occlusionColumns_ = viewport[2] / CellPixels;  // cells wholly inside the window
  occlusionRows_ = viewport[3] / CellPixels;
  const size_t cells = static_cast<size_t>(occlusionColumns_) * occlusionRows_;
  occlusionGrid_.assign(cells, 1.0f);
  occlusionMasks_.assign(cells, 0);
  occlusionFarthest_.assign(cells, -1e30f);
  occlusionShared_.assign(cells, 0);
  occlusionSharedFarthest_.assign(cells, -1e30f);
  occlusionTouched_.clear();
  // Which way round a triangle GL keeps winds in the window (y up): +1 counter-clockwise only,
  // -1 clockwise only, 0 both.
  occlusionWinding_ = 0;
  if (glIsEnabled(GL_CULL_FACE)) {
    GLint culled = GL_BACK, front = GL_CCW;
    glGetIntegerv(GL_CULL_FACE_MODE, &culled);
    glGetIntegerv(GL_FRONT_FACE, &front);
    if (culled == GL_FRONT_AND_BACK) return false;  // nothing is drawn at all
    const int frontWinding = front == GL_CCW ? 1 : -1;
    occlusionWinding_ = culled == GL_BACK ? frontWinding : -frontWinding;
  }
  return true;
}

// Window position (pixels, y up) and depth of a clip-space point in front of the eye.
void Level::ToWindow(const float clip[4], float out[3]) const {
  const float inverse = 1.0f / clip[3];
  out[0] = (clip[0] * inverse + 1) * 0.5f * static_cast<float>(occlusionViewport_[0]);
  out[1] = (clip[1] * inverse + 1) * 0.5f * static_cast<float>(occlusionViewport_[1]);
  out[2] = clip[2] * inverse;
}

// Marks the pixel centres of the cells the convex polygon (window positions and depths, in
// order) covers in occlusionMasks_ (bit 8 * row + column of the cell's 8 x 8 pixels) and the
// farthest depth it has over each in occlusionFarthest_; cells met first are listed in
// occlusionTouched_. A polygon GL culls lays nothing; false for one that is not convex.
bool Level::LayHidingPolygon(const float (*p)[3], int count) {
  if (count < 3 || count > MaxHidingCorners) return false;
  double area = 0;
  for (int k = 0; k < count; ++k) {
    const float* a = p[k];
    const float* b = p[(k + 1) % count];
    area += static_cast<double>(a[0]) * b[1] - static_cast<double>(b[0]) * a[1];
  }
  if (area == 0) return true;
  if (occlusionWinding_ != 0 && (area > 0 ? 1 : -1) != occlusionWinding_) return true;  // culled by GL
  const double sign = area > 0 ? 1 : -1;
  float minX = p[0][0], maxX = p[0][0], minY = p[0][1], maxY = p[0][1];
  for (int k = 1; k < count; ++k) {
    minX = std::min(minX, p[k][0]), maxX = std::max(maxX, p[k][0]);
    minY = std::min(minY, p[k][1]), maxY = std::max(maxY, p[k][1]);
  }
  const int column0 = std::max(0, static_cast<int>(std::floor(minX / CellPixels)));
  const int column1 = std::min(occlusionColumns_ - 1, static_cast<int>(std::floor(maxX / CellPixels)));
  const int row0 = std::max(0, static_cast<int>(std::floor(minY / CellPixels)));
  const int row1 = std::min(occlusionRows_ - 1, static_cast<int>(std::floor(maxY / CellPixels)));
  if (column0 > column1 || row0 > row1) return true;
  // Edge functions A x + B y + C, positive inside whatever the winding, in doubles: a point
  // counts as inside only a hundredth of a pixel in from every edge (more than the renderer's
  // snapping of corners moves an edge). Every corner must lie inside all other edges (convex).
  double edge[MaxHidingCorners][3];
  int edges = 0;
  for (int e = 0; e < count; ++e) {
    const float* from = p[e];
    const float* to = p[(e + 1) % count];
    const double dx = static_cast<double>(to[0]) - from[0], dy = static_cast<double>(to[1]) - from[1];
    if (dx == 0 && dy == 0) continue;
    edge[edges][0] = -sign * dy;
    edge[edges][1] = sign * dx;
    edge[edges][2] = -(edge[edges][0] * from[0] + edge[edges][1] * from[1]);
    for (int k = 0; k < count; ++k)
      if (edge[edges][0] * p[k][0] + edge[edges][1] * p[k][1] + edge[edges][2] < -1e-3 * std::sqrt(dx * dx + dy * dy))
        return false;  // not convex
    edge[edges][2] -= 0.01 * std::sqrt(dx * dx + dy * dy);
    ++edges;
  }
  // Depth as a plane over the window, z = zx * x + zy * y + z0, through the corners spanning
  // the largest triangle with the first, raised by the most any corner lies off it.
  int b = 1;
  double largest = 0;
  for (int k = 1; k + 1 < count; ++k) {
    const double twice = std::fabs((static_cast<double>(p[k][0]) - p[0][0]) * (static_cast<double>(p[k + 1][1]) - p[0][1]) -
                                   (static_cast<double>(p[k + 1][0]) - p[0][0]) * (static_cast<double>(p[k][1]) - p[0][1]));
    if (twice > largest) largest = twice, b = k;
  }
  if (largest == 0) return true;
  const float* a = p[0];
  const float* c = p[b + 1];
  const double ux = static_cast<double>(p[b][0]) - a[0], uy = static_cast<double>(p[b][1]) - a[1],
               uz = static_cast<double>(p[b][2]) - a[2];
  const double vx = static_cast<double>(c[0]) - a[0], vy = static_cast<double>(c[1]) - a[1],
               vz = static_cast<double>(c[2]) - a[2];
  const double zx = (uz * vy - vz * uy) / (ux * vy - vx * uy);
  const double zy = (vz * ux - uz * vx) / (ux * vy - vx * uy);
  double z0 = a[2] - zx * a[0] - zy * a[1];
  double off = 0;
  for (int k = 0; k < count; ++k) off = std::max(off, p[k][2] - (zx * p[k][0] + zy * p[k][1] + z0));
  z0 += off;
  const double cellZx = std::max(zx, 0.0) * CellPixels, cellZy = std::max(zy, 0.0) * CellPixels;
  for (int row = row0; row <= row1; ++row) {
    const double y0 = static_cast<double>(row) * CellPixels, y1 = y0 + CellPixels;
    for (int column = column0; column <= column1; ++column) {
      const double x0 = static_cast<double>(column) * CellPixels, x1 = x0 + CellPixels;
      bool whole = true, none = false;
      for (int e = 0; e < edges; ++e) {
        // The cell's corners least and most inside the edge.
        const double least = edge[e][0] * (edge[e][0] >= 0 ? x0 : x1) + edge[e][1] * (edge[e][1] >= 0 ? y0 : y1) + edge[e][2];
        const double most = edge[e][0] * (edge[e][0] >= 0 ? x1 : x0) + edge[e][1] * (edge[e][1] >= 0 ? y1 : y0) + edge[e][2];
        if (most <= 0) none = true;
        if (least <= 0) whole = false;
      }
      if (none) continue;
      uint64_t mask = ~0ull;
      if (!whole) {
        // Row by row, the pixel centres x0 + k + 0.5 inside every edge.
        mask = 0;
        for (int r = 0; r < CellPixels; ++r) {
          const double y = y0 + r + 0.5;
          double lo = -1, hi = CellPixels;  // in k
          for (int e = 0; e < edges; ++e) {
            const double rest = edge[e][1] * y + edge[e][2];
            if (edge[e][0] == 0) {
              if (rest <= 0) lo = hi;
            } else {
              const double k = -rest / edge[e][0] - x0 - 0.5;  // where the edge crosses the row
              if (edge[e][0] > 0)
                lo = std::max(lo, k);
              else
                hi = std::min(hi, k);
            }
          }
          const int first = static_cast<int>(std::floor(lo)) + 1, last = static_cast<int>(std::ceil(hi)) - 1;
          const int k0 = std::max(first, 0), k1 = std::min(last, CellPixels - 1);
          if (k0 <= k1) mask |= ((2ull << k1) - (1ull << k0)) << (CellPixels * r);
        }
        if (mask == 0) continue;
      }
      const size_t cell = static_cast<size_t>(row) * occlusionColumns_ + column;
      if (occlusionMasks_[cell] == 0) occlusionTouched_.push_back(static_cast<int32_t>(cell));
      occlusionMasks_[cell] |= mask;
      // The farthest depth over the cell: at the corner the plane rises towards.
      const float farthest = static_cast<float>(zx * x0 + zy * y0 + z0 + cellZx + cellZy);
      occlusionFarthest_[cell] = std::max(occlusionFarthest_[cell], farthest);
    }
  }
  return true;
}

// The cells the face's triangles cover wholly between them take its farthest depth there.
// Between the faces, the pixels of each cell that some face covers gather with the farthest
// depth of those faces: a cell the faces fill together (where two faces meet) hides at that.
void Level::EndHidingFace() {
  for (int32_t cell : occlusionTouched_) {
    if (occlusionMasks_[cell] == ~0ull) occlusionGrid_[cell] = std::min(occlusionGrid_[cell], occlusionFarthest_[cell]);
    occlusionShared_[cell] |= occlusionMasks_[cell];
    occlusionSharedFarthest_[cell] = std::max(occlusionSharedFarthest_[cell], occlusionFarthest_[cell]);
    occlusionMasks_[cell] = 0;
    occlusionFarthest_[cell] = -1e30f;
  }
  occlusionTouched_.clear();
}

void Level::LeaveOutOccludedFaces() {
  if (visibleFaces_.size() < 2 || !BeginOcclusion()) return;
  const float* m = occlusionClip_;
  // Every visible face of the plain look lays what it covers: a flat convex face in front of
  // the near plane whole (its triangles tile it: their areas add up to its own), any other
  // triangle by triangle (the pixels on an edge two of them share are then not counted).
  ClipPoint polygon[MaxHidingCorners], scratch[MaxHidingCorners];
  float window[MaxHidingCorners][3];
  for (int32_t f : visibleFaces_) {
    if (FaceLookOf(*this, faces[f]) != 0) continue;
    const FaceGeometry& face = faceGeometry[f];
    const uint32_t* corners = &faceIndices[face.firstIndex];
    auto clip = [&](int vertex) {
      const float* v = vertices[face.firstVertex + vertex].position;
      return ClipPoint{m[0] * v[0] + m[4] * v[1] + m[8] * v[2] + m[12], m[1] * v[0] + m[5] * v[1] + m[9] * v[2] + m[13],
                       m[2] * v[0] + m[6] * v[1] + m[10] * v[2] + m[14], m[3] * v[0] + m[7] * v[1] + m[11] * v[2] + m[15]};
    };
    bool whole = faces[f].type == FaceTypePolygon && face.vertexCount >= 3 && face.vertexCount <= MaxHidingCorners;
    for (int k = 0; whole && k < face.vertexCount; ++k) {
      const ClipPoint q = clip(k);
      whole = q.z > -q.w && q.z < q.w && q.w > 0;
      if (whole) ToWindow(&q.x, window[k]);
    }
    if (whole) {
      auto twiceArea = [&](int a, int b, int c) {
        return std::fabs((static_cast<double>(window[b][0]) - window[a][0]) * (static_cast<double>(window[c][1]) - window[a][1]) -
                         (static_cast<double>(window[c][0]) - window[a][0]) * (static_cast<double>(window[b][1]) - window[a][1]));
      };
      double own = 0, triangles = 0;
      for (int k = 1; k + 1 < face.vertexCount; ++k) own += twiceArea(0, k, k + 1);
      for (uint32_t t = 0; t + 2 < face.indexCount; t += 3)
        triangles += twiceArea(static_cast<int>(corners[t]), static_cast<int>(corners[t + 1]), static_cast<int>(corners[t + 2]));
      whole = own > 0 && std::fabs(triangles - own) <= 1e-4 * own && LayHidingPolygon(window, face.vertexCount);
    }
    if (!whole) {
      for (uint32_t t = 0; t + 2 < face.indexCount; t += 3) {
        for (int k = 0; k < 3; ++k) polygon[k] = clip(static_cast<int>(corners[t + k]));
        const int count = ClipDepth(polygon, 3, scratch);
        for (int k = 0; k < count; ++k) ToWindow(&polygon[k].x, window[k]);
        LayHidingPolygon(window, count);
      }
    }
    EndHidingFace();
  }
  for (size_t cell = 0; cell < occlusionGrid_.size(); ++cell)
    if (occlusionShared_[cell] == ~0ull) occlusionGrid_[cell] = std::min(occlusionGrid_[cell], occlusionSharedFarthest_[cell]);
  // Then each face is tested against the cells its window box touches.
  size_t kept = 0;
  for (int32_t f : visibleFaces_) {
    if (!FaceHidden(faceGeometry[f]))
      visibleFaces_[kept++] = f;
    else
      ++facesOccludedLastFrame, facesOccluded.push_back(f);
  }
  visibleFaces_.resize(kept);
}

bool Level::FaceHidden(const FaceGeometry& face) const {
  const float* m = occlusionClip_;
  float minX = 1e30f, maxX = -1e30f, minY = 1e30f, maxY = -1e30f, nearest = 1e30f;
  for (int k = 0; k < face.vertexCount; ++k) {
    const float* v = vertices[face.firstVertex + k].position;
    const float clip[4] = {m[0] * v[0] + m[4] * v[1] + m[8] * v[2] + m[12],
                           m[1] * v[0] + m[5] * v[1] + m[9] * v[2] + m[13],
                           m[2] * v[0] + m[6] * v[1] + m[10] * v[2] + m[14],
                           m[3] * v[0] + m[7] * v[1] + m[11] * v[2] + m[15]};
    if (!(clip[2] > -clip[3]) || !(clip[3] > 0)) return false;  // reaches in front of the near plane
    float w[3];
    ToWindow(clip, w);
    minX = std::min(minX, w[0]), maxX = std::max(maxX, w[0]);
    minY = std::min(minY, w[1]), maxY = std::max(maxY, w[1]);
    nearest = std::min(nearest, w[2]);
  }
  if (face.vertexCount == 0) return false;
  // The pixels whose centres the face may cover, a pixel wider each way; all of them must lie
  // in cells of the grid.
  const float x0 = std::floor(minX) - 1, x1 = std::ceil(maxX) + 1;
  const float y0 = std::floor(minY) - 1, y1 = std::ceil(maxY) + 1;
  const int column0 = static_cast<int>(std::floor(std::max(x0, 0.0f) / CellPixels));
  const int column1 = static_cast<int>(std::floor(std::min(x1, static_cast<float>(occlusionViewport_[0] - 1)) / CellPixels));
  const int row0 = static_cast<int>(std::floor(std::max(y0, 0.0f) / CellPixels));
  const int row1 = static_cast<int>(std::floor(std::min(y1, static_cast<float>(occlusionViewport_[1] - 1)) / CellPixels));
  if (column1 >= occlusionColumns_ || row1 >= occlusionRows_) return false;  // reaches the grid's uncovered rim
  if (column0 > column1 || row0 > row1) return false;
  for (int row = row0; row <= row1; ++row)
    for (int column = column0; column <= column1; ++column)
      if (!(nearest > occlusionGrid_[static_cast<size_t>(row) * occlusionColumns_ + column] + DepthMargin)) return false;
  return true;
}
