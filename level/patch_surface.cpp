// Tessellation of patch faces: segment counts from each piece's curvature, evaluation of the
// biquadratic pieces, and the triangle grid of a whole patch.
#include "level/patch_surface.h"

#include <cmath>

namespace {

// The quadratic Bernstein weights at t.
void Weights(float t, float w[3]) {
  const float s = 1.0f - t;
  w[0] = s * s;
  w[1] = 2.0f * t * s;
  w[2] = t * t;
}

// Segments a quadratic curve P0 P1 P2 needs: its chord over a parameter step h strays
// |P0 - 2 P1 + P2| h^2 / 4 from it at most. A third of the tolerance goes to each direction
// of the surface, which leaves room for the twist between them across a cell's triangles.
int CurveSegments(const float* p0, const float* p1, const float* p2, int maxSegments) {
  double squared = 0;
  for (int a = 0; a < 3; ++a) {
    const double d = static_cast<double>(p0[a]) - 2.0 * p1[a] + p2[a];
    squared += d * d;
  }
  const double need = std::sqrt(std::sqrt(squared) / (4.0 * (PatchTolerance / 3.0)));
  // Not a number or beyond the cap (control points far out or not finite): the cap.
  if (!(need <= maxSegments)) return maxSegments;
  const int segments = static_cast<int>(std::ceil(need));
  return segments < 1 ? 1 : segments;
}

const float* Position(const BspVertex* controls, int width, int column, int row) {
  return controls[static_cast<size_t>(row) * width + column].position;
}

}  // namespace

bool PatchSizeValid(int32_t width, int32_t height) {
  return width >= 3 && height >= 3 && (width & 1) == 1 && (height & 1) == 1;
}

void PatchSubdivisions(const BspVertex* controls, int width, int height, int maxPerPiece, std::vector<int>* columns,
                       std::vector<int>* rows) {
  const int pieceColumns = (width - 1) / 2, pieceRows = (height - 1) / 2;
  columns->assign(pieceColumns, 1);
  rows->assign(pieceRows, 1);
  // Along u, every control row that a column of pieces spans; along v, every control column.
  for (int i = 0; i < pieceColumns; ++i)
    for (int row = 0; row < height; ++row) {
      const int n = CurveSegments(Position(controls, width, 2 * i, row), Position(controls, width, 2 * i + 1, row),
                                  Position(controls, width, 2 * i + 2, row), maxPerPiece);
      if (n > (*columns)[i]) (*columns)[i] = n;
    }
  for (int j = 0; j < pieceRows; ++j)
    for (int column = 0; column < width; ++column) {
      const int n = CurveSegments(Position(controls, width, column, 2 * j), Position(controls, width, column, 2 * j + 1),
                                  Position(controls, width, column, 2 * j + 2), maxPerPiece);
      if (n > (*rows)[j]) (*rows)[j] = n;
    }
}

BspVertex EvaluatePatchPiece(const BspVertex* controls, int width, int pieceColumn, int pieceRow, float u, float v) {
  float wu[3], wv[3];
  Weights(u, wu);
  Weights(v, wv);
  float position[3] = {0, 0, 0}, tex[2] = {0, 0}, light[2] = {0, 0}, normal[3] = {0, 0, 0}, color[4] = {0, 0, 0, 0};
  // Rows outer, columns inner: at an edge of the piece the weights are exactly 0 and 1, so
  // the two pieces that share it add the same terms in the same order.
  for (int b = 0; b < 3; ++b)
    for (int a = 0; a < 3; ++a) {
      const BspVertex& c = controls[static_cast<size_t>(2 * pieceRow + b) * width + 2 * pieceColumn + a];
      const float w = wu[a] * wv[b];
      for (int k = 0; k < 3; ++k) position[k] += w * c.position[k];
      for (int k = 0; k < 2; ++k) tex[k] += w * c.texCoord[k];
      for (int k = 0; k < 2; ++k) light[k] += w * c.lightmapCoord[k];
      for (int k = 0; k < 3; ++k) normal[k] += w * c.normal[k];
      for (int k = 0; k < 4; ++k) color[k] += w * c.color[k];
    }
  BspVertex out = {};
  for (int k = 0; k < 3; ++k) out.position[k] = position[k];
  for (int k = 0; k < 2; ++k) out.texCoord[k] = tex[k];
  for (int k = 0; k < 2; ++k) out.lightmapCoord[k] = light[k];
  const float length = std::sqrt(normal[0] * normal[0] + normal[1] * normal[1] + normal[2] * normal[2]);
  for (int k = 0; k < 3; ++k) out.normal[k] = length > 0 && std::isfinite(length) ? normal[k] / length : 0.0f;
  for (int k = 0; k < 4; ++k) {
    const float c = color[k] + 0.5f;
    out.color[k] = !(c > 0) ? 0 : c >= 255 ? 255 : static_cast<uint8_t>(c);
  }
  return out;
}

int64_t PatchGridVertexCount(const std::vector<int>& columns, const std::vector<int>& rows) {
  int64_t across = 1, down = 1;
  for (int n : columns) across += n;
  for (int n : rows) down += n;
  return across * down;
}

int TessellatePatch(const BspVertex* controls, int width, const std::vector<int>& columns, const std::vector<int>& rows,
                    std::vector<BspVertex>* vertices, std::vector<uint32_t>* indices) {
  // Grid lines: (piece, parameter) along each direction; a line between two pieces is the
  // start of the next piece (the same point as the end of the previous one).
  struct Line {
    int piece;
    float t;
  };
  auto lines = [](const std::vector<int>& counts) {
    std::vector<Line> out;
    for (size_t p = 0; p < counts.size(); ++p)
      for (int k = 0; k < counts[p]; ++k) out.push_back({static_cast<int>(p), static_cast<float>(k) / counts[p]});
    out.push_back({static_cast<int>(counts.size()) - 1, 1.0f});
    return out;
  };
  const std::vector<Line> across = lines(columns), down = lines(rows);
  const size_t first = vertices->size();
  const int gridWidth = static_cast<int>(across.size());
  for (const Line& r : down)
    for (const Line& c : across) vertices->push_back(EvaluatePatchPiece(controls, width, c.piece, r.piece, c.t, r.t));

  // Winding: the one that agrees with the control normals over the whole patch. The grid's
  // u x v points to the side the triangles (p00, p10, p01) face counter-clockwise; normals
  // are stored in file coordinates (x, y, z), which are world (x, z, -y).
  const BspVertex* grid = vertices->data() + first;
  double agreement = 0;
  for (size_t r = 0; r + 1 < down.size(); ++r)
    for (int c = 0; c + 1 < gridWidth; ++c) {
      const float* p00 = grid[r * gridWidth + c].position;
      const float* p10 = grid[r * gridWidth + c + 1].position;
      const float* p01 = grid[(r + 1) * gridWidth + c].position;
      const double du[3] = {p10[0] - p00[0], p10[1] - p00[1], p10[2] - p00[2]};
      const double dv[3] = {p01[0] - p00[0], p01[1] - p00[1], p01[2] - p00[2]};
      const double g[3] = {du[1] * dv[2] - du[2] * dv[1], du[2] * dv[0] - du[0] * dv[2], du[0] * dv[1] - du[1] * dv[0]};
      const float* n = grid[r * gridWidth + c].normal;
      const double value = g[0] * n[0] + g[1] * n[2] - g[2] * n[1];
      if (std::isfinite(value)) agreement += value;
    }
  // Front faces are clockwise: against u x v when the normals agree with it.
  const bool againstUv = agreement >= 0;
  for (size_t r = 0; r + 1 < down.size(); ++r)
    for (int c = 0; c + 1 < gridWidth; ++c) {
      const uint32_t p00 = static_cast<uint32_t>(r * gridWidth + c), p10 = p00 + 1;
      const uint32_t p01 = p00 + static_cast<uint32_t>(gridWidth), p11 = p01 + 1;
      const uint32_t triangles[2][3] = {{p00, p01, p11}, {p00, p11, p10}};
      for (const auto& t : triangles) {
        indices->push_back(t[0]);
        indices->push_back(againstUv ? t[1] : t[2]);
        indices->push_back(againstUv ? t[2] : t[1]);
      }
    }
  return static_cast<int>(vertices->size() - first);
}
