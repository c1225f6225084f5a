// Lightmap layout and lighting for the level compiler.
#include "tools/levelc/lighting.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>

#include "core/bsp_format.h"

namespace {

constexpr int Pad = 1;  // texels around each block, copied from its edge (no bleeding)

int MajorAxis(DVec n) {
  int major = 0;
  for (int i = 1; i < 3; ++i)
    if (std::fabs(n[i]) > std::fabs(n[major])) major = i;
  return major;
}

// The point of the face plane with the given projected coordinates.
DVec PlanePoint(const MapPlane& plane, int u, int v, double pu, double pv) {
  int major = 3 - u - v;
  DVec p;
  p[u] = pu;
  p[v] = pv;
  p[major] = (plane.distance - plane.normal[u] * pu - plane.normal[v] * pv) / plane.normal[major];
  return p;
}

bool InsidePolygon(const Winding& w, const MapPlane& plane, DVec p) {
  for (size_t i = 0; i < w.size(); ++i) {
    DVec edge = w[(i + 1) % w.size()] - w[i];
    DVec inward = Cross(plane.normal, edge);  // points into a counter-clockwise polygon
    if (Dot(inward, p - w[i]) < -0.01) return false;
  }
  return true;
}

struct Lighter {
  const MapSource& map;
  const std::vector<CompiledBrush>& brushes;
  const BspTree& tree;

  DVec LightAt(DVec p, DVec n) const {
    DVec sum = map.ambient;
    for (const MapLight& l : map.lights) {
      DVec d = l.position - p;
      double dist = std::sqrt(Dot(d, d));
      if (dist >= l.intensity || dist < 1e-6) continue;
      double cosine = Dot(n, d) / dist;
      if (cosine <= 0) continue;
      // Half Lambert (faces turned away still catch some light) with a squared falloff
      // that reaches zero at the light's reach.
      double falloff = 1 - dist / l.intensity;
      double amount = (0.3 + 0.7 * cosine) * cosine * falloff * falloff;
      if (SegmentBlocked(tree, brushes, p, l.position, 0)) continue;
      sum = sum + l.color * amount;
    }
    return sum;
  }

  // A sample point for the texel at (pu, pv): moved onto the face and out of any solid.
  DVec SamplePoint(const FacePolygon& face, int u, int v, double pu, double pv, DVec centre) const {
    DVec p = PlanePoint(face.plane, u, v, pu, pv);
    for (int step = 0; step < 8 && !InsidePolygon(face.points, face.plane, p); ++step)
      p = p + (centre - p) * 0.25;
    DVec lifted = p + face.plane.normal * 1.0;
    for (int step = 0; step < 6 && PointInSolid(tree, brushes, lifted, -0.25); ++step) {
      p = p + (centre - p) * 0.35;
      lifted = p + face.plane.normal * 1.0;
    }
    return lifted;
  }
};

}  // namespace

DVec LightPoint(const MapSource& map, const std::vector<CompiledBrush>& brushes, const BspTree& tree, DVec p, DVec n) {
  return Lighter{map, brushes, tree}.LightAt(p, n);
}

void ParallelFor(int count, int threads, const std::function<void(int)>& work) {
  if (threads <= 0) threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  threads = std::min(threads, std::max(1, count));
  std::atomic<int> next{0};
  auto run = [&]() {
    for (int i = next++; i < count; i = next++) work(i);
  };
  std::vector<std::thread> pool;
  for (int t = 1; t < threads; ++t) pool.emplace_back(run);
  run();
  for (std::thread& t : pool) t.join();
}

void LightmapCoord(const FaceLightmap& lm, DVec p, float out[2]) {
  double s = (p[lm.uAxis] - lm.uMin) / lm.luxel + 0.5 + lm.corner[0];
  double t = (p[lm.vAxis] - lm.vMin) / lm.luxel + 0.5 + lm.corner[1];
  out[0] = static_cast<float>(s / LightmapSide);
  out[1] = static_cast<float>(t / LightmapSide);
}

LightmapResult BuildLightmaps(const MapSource& map, const std::vector<CompiledBrush>& brushes,
                              const std::vector<FacePolygon>& faces, const BspTree& tree, double luxelSize,
                              double brightness, int threads) {
  LightmapResult result;
  result.faces.resize(faces.size());
  // Block sizes.
  for (size_t f = 0; f < faces.size(); ++f) {
    FaceLightmap& lm = result.faces[f];
    int major = MajorAxis(faces[f].plane.normal);
    lm.uAxis = major == 0 ? 2 : 0;
    lm.vAxis = major == 1 ? 2 : 1;
    Bounds b;
    for (const DVec& p : faces[f].points) b.Add(p);
    auto layOut = [&](double luxel) {
      lm.luxel = luxel;
      lm.uMin = std::floor(b.mins[lm.uAxis] / luxel) * luxel;
      lm.vMin = std::floor(b.mins[lm.vAxis] / luxel) * luxel;
      lm.size[0] = static_cast<int>(std::ceil((b.maxs[lm.uAxis] - lm.uMin) / luxel - 1e-6)) + 1;
      lm.size[1] = static_cast<int>(std::ceil((b.maxs[lm.vAxis] - lm.vMin) / luxel - 1e-6)) + 1;
    };
    layOut(luxelSize);
    // A face wider than a page at luxelSize (the compiler cuts faces smaller, other callers
    // may not) gets coarser texels, so that its block still spans the whole face: the
    // extent over MaxBlock - 2 texels leaves room for the rounding of both ends.
    constexpr int MaxBlock = LightmapSide - 2 * Pad;
    if (std::max(lm.size[0], lm.size[1]) > MaxBlock) {
      double extent = std::max(b.maxs[lm.uAxis] - b.mins[lm.uAxis], b.maxs[lm.vAxis] - b.mins[lm.vAxis]);
      double luxel = std::max(luxelSize, extent / (MaxBlock - 2));
      for (layOut(luxel); std::max(lm.size[0], lm.size[1]) > MaxBlock; layOut(luxel)) luxel *= 1.01;
    }
  }
  // Shelf packing, tallest blocks first.
  std::vector<int> order(faces.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    const FaceLightmap &la = result.faces[a], &lb = result.faces[b];
    if (la.size[1] != lb.size[1]) return la.size[1] > lb.size[1];
    return la.size[0] > lb.size[0];
  });
  int page = -1, x = LightmapSide, y = 0, shelf = 0;
  for (int f : order) {
    FaceLightmap& lm = result.faces[f];
    int w = lm.size[0] + 2 * Pad, h = lm.size[1] + 2 * Pad;
    if (x + w > LightmapSide) {
      x = 0;
      y += shelf;
      shelf = 0;
    }
    if (page < 0 || y + h > LightmapSide) {
      ++page;
      x = 0;
      y = 0;
      shelf = 0;
    }
    lm.page = page;
    lm.corner[0] = x + Pad;
    lm.corner[1] = y + Pad;
    x += w;
    shelf = std::max(shelf, h);
  }
  result.pages.assign(static_cast<size_t>(page + 1) * LightmapBytes, 0);
  // Lighting, one face per work item; each writes only its own block.
  Lighter lighter{map, brushes, tree};
  double scale = 255.0 / brightness;
  ParallelFor(static_cast<int>(faces.size()), threads, [&](int f) {
    const FaceLightmap& lm = result.faces[f];
    const FacePolygon& face = faces[f];
    DVec centre = WindingCentre(face.points);
    uint8_t* base = result.pages.data() + static_cast<size_t>(lm.page) * LightmapBytes;
    for (int j = 0; j < lm.size[1]; ++j)
      for (int i = 0; i < lm.size[0]; ++i) {
        // Four samples a quarter texel around the texel's centre soften shadow edges.
        DVec c;
        for (int k = 0; k < 4; ++k) {
          double du = ((k & 1) ? 0.25 : -0.25) * lm.luxel, dv = ((k & 2) ? 0.25 : -0.25) * lm.luxel;
          DVec p = lighter.SamplePoint(face, lm.uAxis, lm.vAxis, lm.uMin + i * lm.luxel + du,
                                       lm.vMin + j * lm.luxel + dv, centre);
          c = c + lighter.LightAt(p, face.plane.normal) * 0.25;
        }
        uint8_t* texel = base + ((lm.corner[1] + j) * LightmapSide + lm.corner[0] + i) * 3;
        for (int k = 0; k < 3; ++k)
          texel[k] = static_cast<uint8_t>(std::lround(std::clamp(c[k] * scale, 0.0, 255.0)));
      }
    // Pad: copy edge texels outward so filtering never reaches a neighbour's block.
    for (int j = -Pad; j < lm.size[1] + Pad; ++j)
      for (int i = -Pad; i < lm.size[0] + Pad; ++i) {
        if (i >= 0 && j >= 0 && i < lm.size[0] && j < lm.size[1]) continue;
        int si = std::clamp(i, 0, lm.size[0] - 1), sj = std::clamp(j, 0, lm.size[1] - 1);
        const uint8_t* src = base + ((lm.corner[1] + sj) * LightmapSide + lm.corner[0] + si) * 3;
        uint8_t* dst = base + ((lm.corner[1] + j) * LightmapSide + lm.corner[0] + i) * 3;
        dst[0] = src[0];
        dst[1] = src[1];
        dst[2] = src[2];
      }
  });
  return result;
}
