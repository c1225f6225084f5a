// Patch faces of the level compiler.
#include "tools/levelc/patch_faces.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "tools/levelc/level_compiler.h"
#include "tools/levelc/lighting.h"

namespace {

constexpr double PatchLightInset = 16;  // level units

DVec Unit(DVec v) {
  const double length = std::sqrt(Dot(v, v));
  return length > 1e-9 ? v * (1 / length) : DVec();
}

// The surface point that stands for a control point: on its piece at parameter 0, 1/2 or 1
// in each direction (control points off the surface, such as an arc's corner, move onto it).
DVec SurfacePointOf(const MapPatch& patch, int row, int column) {
  auto local = [](int index, int count, int* first, double* t) {
    const int piece = std::min(index / 2, (count - 1) / 2 - 1);
    *first = 2 * piece;
    *t = (index - 2 * piece) / 2.0;
  };
  int c0, r0;
  double u, v;
  local(column, patch.width, &c0, &u);
  local(row, patch.height, &r0, &v);
  const double wu[3] = {(1 - u) * (1 - u), 2 * u * (1 - u), u * u};
  const double wv[3] = {(1 - v) * (1 - v), 2 * v * (1 - v), v * v};
  DVec sum;
  for (int b = 0; b < 3; ++b)
    for (int a = 0; a < 3; ++a) sum = sum + patch.points[static_cast<size_t>(r0 + b) * patch.width + c0 + a] * (wu[a] * wv[b]);
  return sum;
}

}  // namespace

void WritePatchFaces(const MapSource& map, const std::vector<CompiledBrush>& brushes, BspTree* tree,
                     int firstFaceIndex, double brightness, const std::function<int(int, bool)>& textureIndex,
                     BspFileData* out) {
  const double scale = 255.0 / brightness;
  for (size_t i = 0; i < map.patches.size(); ++i) {
    const MapPatch& patch = map.patches[i];
    const int w = patch.width, h = patch.height;
    auto at = [&](int row, int column) { return patch.points[static_cast<size_t>(row) * w + column]; };
    const double worldSize = map.materials[patch.material].worldSize;

    // Texture coordinates along the control polygon's rows and columns (the first row and
    // column set the spacing), so the image follows the surface.
    std::vector<double> s(w, 0), t(h, 0);
    for (int c = 1; c < w; ++c) s[c] = s[c - 1] + std::sqrt(Dot(at(0, c) - at(0, c - 1), at(0, c) - at(0, c - 1)));
    for (int r = 1; r < h; ++r) t[r] = t[r - 1] + std::sqrt(Dot(at(r, 0) - at(r - 1, 0), at(r, 0) - at(r - 1, 0)));

    // The front: (along a row) x (down the columns), at each control point from its neighbours.
    DVec average;
    std::vector<DVec> normals;
    for (int r = 0; r < h; ++r)
      for (int c = 0; c < w; ++c) {
        const DVec du = at(r, std::min(c + 1, w - 1)) - at(r, std::max(c - 1, 0));
        const DVec dv = at(std::min(r + 1, h - 1), c) - at(std::max(r - 1, 0), c);
        normals.push_back(Unit(Cross(du, dv)));
        average = average + normals.back();
      }
    average = Unit(average);

    Bounds controlBox;
    for (const DVec& p : patch.points) controlBox.Add(p);
    const DVec middle = (controlBox.mins + controlBox.maxs) * 0.5;

    BspFace rec;
    std::memset(&rec, 0, sizeof rec);
    rec.textureIndex = textureIndex(patch.material, patch.solid);
    rec.effectIndex = -1;
    rec.type = FaceTypePatch;
    rec.firstVertex = static_cast<int32_t>(out->vertices.size());
    rec.vertexCount = w * h;
    rec.lightmapIndex = -1;  // lit by the vertex colours
    rec.patchSize[0] = w;
    rec.patchSize[1] = h;
    WorldToFile(average.x, average.y, average.z, rec.normal);
    Bounds box;
    for (int r = 0; r < h; ++r)
      for (int c = 0; c < w; ++c) {
        const DVec p = at(r, c);
        DVec n = normals[static_cast<size_t>(r) * w + c];
        if (Dot(n, n) == 0) n = average;
        box.Add(p);
        BspVertex v;
        std::memset(&v, 0, sizeof v);
        WorldToFile(p.x, p.y, p.z, v.position);
        v.texCoord[0] = static_cast<float>(s[c] / worldSize);
        v.texCoord[1] = static_cast<float>(-t[r] / worldSize);  // the loader negates t
        WorldToFile(n.x, n.y, n.z, v.normal);
        // Lit a little off the surface, and moved along it toward the middle of the patch by
        // up to PatchLightInset: edges are often let into walls, where no light reaches.
        const DVec surface = SurfacePointOf(patch, r, c);
        DVec along = middle - surface;
        along = along - n * Dot(n, along);
        const double reach = std::sqrt(Dot(along, along));
        const DVec inset = reach > 1e-6 ? along * (std::min(reach, PatchLightInset) / reach) : DVec();
        const DVec light = LightPoint(map, brushes, *tree, surface + inset + n * 2.0, n);
        for (int k = 0; k < 3; ++k) v.color[k] = static_cast<uint8_t>(std::lround(std::clamp(light[k] * scale, 0.0, 255.0)));
        v.color[3] = 255;
        out->vertices.push_back(v);
      }
    out->faces.push_back(rec);

    // Listed in every leaf its control points' box reaches: the surface lies inside it.
    const int face = firstFaceIndex + static_cast<int>(i);
    for (TreeLeaf& leaf : tree->leaves)
      if (leaf.box.Overlaps(box, 1.0)) leaf.faces.push_back(face);
  }
}
