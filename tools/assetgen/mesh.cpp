// Mesh building (slabs cut from outlines, boxes, tubes, bars) and the z-buffer rasteriser.
#include "tools/assetgen/mesh.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float Pi = 3.14159265358979f;

Frame Compose(const Frame& parent, const Frame& child) {
  Frame f;
  f.origin = parent.Point(child.origin);
  f.axisX = parent.Direction(child.axisX);
  f.axisY = parent.Direction(child.axisY);
  f.axisZ = parent.Direction(child.axisZ);
  return f;
}

float SignedArea(const std::vector<Point2>& p) {
  float area = 0;
  for (size_t i = 0; i < p.size(); ++i) {
    const Point2& a = p[i];
    const Point2& b = p[(i + 1) % p.size()];
    area += a.u * b.v - b.u * a.v;
  }
  return area * 0.5f;
}

float Cross2(Point2 o, Point2 a, Point2 b) {
  return (a.u - o.u) * (b.v - o.v) - (a.v - o.v) * (b.u - o.u);
}

bool InsideTriangle(Point2 p, Point2 a, Point2 b, Point2 c) {
  return Cross2(a, b, p) > 0 && Cross2(b, c, p) > 0 && Cross2(c, a, p) > 0;
}

// Ear clipping of a counter-clockwise simple polygon into index triples.
std::vector<int> Triangulate(const std::vector<Point2>& p) {
  std::vector<int> left(p.size()), out;
  for (size_t i = 0; i < p.size(); ++i) left[i] = static_cast<int>(i);
  size_t guard = 0;
  while (left.size() > 3 && guard < p.size() * p.size()) {
    ++guard;
    bool clipped = false;
    for (size_t i = 0; i < left.size(); ++i) {
      int ia = left[(i + left.size() - 1) % left.size()], ib = left[i], ic = left[(i + 1) % left.size()];
      if (Cross2(p[ia], p[ib], p[ic]) <= 1e-12f) continue;  // reflex or flat corner
      bool empty = true;
      for (int j : left) {
        if (j != ia && j != ib && j != ic && InsideTriangle(p[j], p[ia], p[ib], p[ic])) {
          empty = false;
          break;
        }
      }
      if (!empty) continue;
      out.insert(out.end(), {ia, ib, ic});
      left.erase(left.begin() + i);
      clipped = true;
      break;
    }
    if (!clipped) break;  // degenerate outline: fan the rest
  }
  for (size_t i = 1; i + 1 < left.size(); ++i) out.insert(out.end(), {left[0], left[i], left[i + 1]});
  return out;
}

Point2 Normal2(Point2 a, Point2 b) {  // outward normal of edge a->b of a CCW polygon
  float du = b.u - a.u, dv = b.v - a.v;
  float len = std::sqrt(du * du + dv * dv);
  if (len == 0) return {0, 0};
  return {dv / len, -du / len};
}

}  // namespace

Frame Rotated(const Frame& f, float pitchDeg, float yawDeg, float rollDeg) {
  Frame r = f;
  float a = yawDeg * Pi / 180, c = std::cos(a), s = std::sin(a);
  Vec3 x = r.axisX * c - r.axisZ * s, z = r.axisZ * c + r.axisX * s;
  r.axisX = x;
  r.axisZ = z;
  a = pitchDeg * Pi / 180, c = std::cos(a), s = std::sin(a);
  Vec3 y = r.axisY * c - r.axisZ * s;
  z = r.axisZ * c + r.axisY * s;
  r.axisY = y;
  r.axisZ = z;
  a = rollDeg * Pi / 180, c = std::cos(a), s = std::sin(a);
  x = r.axisX * c - r.axisY * s;
  y = r.axisY * c + r.axisX * s;
  r.axisX = x;
  r.axisY = y;
  return r;
}

void Mesh::AddTriangle(int material, MeshVertex a, MeshVertex b, MeshVertex c) {
  MeshTriangle t;
  t.v[0] = a;
  t.v[1] = b;
  t.v[2] = c;
  t.material = material;
  triangles.push_back(t);
}

void Mesh::AddSlab(int material, const std::vector<Point2>& outlineIn, float x0, float x1,
                   float bevel, const Frame& frame) {
  std::vector<Point2> p = outlineIn;
  if (p.size() < 3) return;
  if (SignedArea(p) < 0) std::reverse(p.begin(), p.end());
  if (x1 < x0) std::swap(x0, x1);
  bevel = std::min(bevel, (x1 - x0) * 0.45f);
  const size_t n = p.size();

  std::vector<Point2> edgeNormal(n), vertexNormal(n), inset(n);
  std::vector<bool> smooth(n);
  for (size_t i = 0; i < n; ++i) edgeNormal[i] = Normal2(p[i], p[(i + 1) % n]);
  for (size_t i = 0; i < n; ++i) {
    Point2 a = edgeNormal[(i + n - 1) % n], b = edgeNormal[i];
    float d = a.u * b.u + a.v * b.v;
    smooth[i] = d > 0.75f;  // corners under about 40 degrees are rounded in shading
    Point2 m{a.u + b.u, a.v + b.v};
    float len = std::sqrt(m.u * m.u + m.v * m.v);
    vertexNormal[i] = len > 0 ? Point2{m.u / len, m.v / len} : b;
    float miter = std::min(3.0f, 1.0f / std::max(0.2f, 1.0f + d));
    inset[i] = {p[i].u - m.u * miter * bevel, p[i].v - m.v * miter * bevel};
  }

  auto vertex = [&](float x, Point2 q, Vec3 normal) {
    MeshVertex v;
    v.position = frame.Point(Vec3(x, q.v, q.u));
    v.normal = Normalize(frame.Direction(normal));
    return v;
  };
  auto wall = [](Point2 n2) { return Vec3(0, n2.v, n2.u); };

  // Side walls, between the bevels.
  float w0 = x0 + bevel, w1 = x1 - bevel;
  for (size_t i = 0; i < n; ++i) {
    size_t j = (i + 1) % n;
    Point2 na = smooth[i] ? vertexNormal[i] : edgeNormal[i];
    Point2 nb = smooth[j] ? vertexNormal[j] : edgeNormal[i];
    MeshVertex a0 = vertex(w0, p[i], wall(na)), b0 = vertex(w0, p[j], wall(nb));
    MeshVertex a1 = vertex(w1, p[i], wall(na)), b1 = vertex(w1, p[j], wall(nb));
    AddTriangle(material, a0, b0, b1);
    AddTriangle(material, a0, b1, a1);
    if (bevel > 0) {
      for (int side = 0; side < 2; ++side) {
        float xs = side ? x1 : x0, xw = side ? w1 : w0, sx = side ? 1.0f : -1.0f;
        Vec3 ma = Normalize(wall(na) + Vec3(sx, 0, 0)), mb = Normalize(wall(nb) + Vec3(sx, 0, 0));
        MeshVertex c0 = vertex(xw, p[i], ma), c1 = vertex(xw, p[j], mb);
        MeshVertex d0 = vertex(xs, inset[i], ma), d1 = vertex(xs, inset[j], mb);
        AddTriangle(material, c0, c1, d1);
        AddTriangle(material, c0, d1, d0);
      }
    }
  }
  // End caps.
  const std::vector<Point2>& cap = bevel > 0 ? inset : p;
  std::vector<int> tris = Triangulate(p);  // the outline's topology also fits the small inset
  for (size_t t = 0; t + 2 < tris.size(); t += 3) {
    for (int side = 0; side < 2; ++side) {
      float xs = side ? x1 : x0;
      Vec3 nx(side ? 1.0f : -1.0f, 0, 0);
      AddTriangle(material, vertex(xs, cap[tris[t]], nx), vertex(xs, cap[tris[t + 1]], nx),
                  vertex(xs, cap[tris[t + 2]], nx));
    }
  }
}

void Mesh::AddBox(int material, Vec3 lo, Vec3 hi, float bevel, const Frame& frame) {
  // Bevel the front/back and top/bottom edges in the outline, the side edges by the slab.
  float b = std::min({bevel, (hi.y - lo.y) * 0.45f, (hi.z - lo.z) * 0.45f});
  std::vector<Point2> outline;
  if (b > 0) {
    outline = {{lo.z + b, lo.y}, {hi.z - b, lo.y}, {hi.z, lo.y + b}, {hi.z, hi.y - b},
               {hi.z - b, hi.y}, {lo.z + b, hi.y}, {lo.z, hi.y - b}, {lo.z, lo.y + b}};
  } else {
    outline = {{lo.z, lo.y}, {hi.z, lo.y}, {hi.z, hi.y}, {lo.z, hi.y}};
  }
  AddSlab(material, outline, lo.x, hi.x, bevel, frame);
}

void Mesh::AddTube(int material, float x, float y, float z0, float z1, float r0, float r1,
                   int segments, const Frame& frame) {
  float slope = (r0 - r1) / (z1 - z0);
  auto ring = [&](int i, float z, float r) {
    float a = 2 * Pi * i / segments;
    MeshVertex v;
    v.position = frame.Point(Vec3(x + r * std::cos(a), y + r * std::sin(a), z));
    v.normal = Normalize(frame.Direction(Vec3(std::cos(a), std::sin(a), slope)));
    return v;
  };
  MeshVertex c0, c1;
  c0.position = frame.Point(Vec3(x, y, z0));
  c0.normal = Normalize(frame.Direction(Vec3(0, 0, -1)));
  c1.position = frame.Point(Vec3(x, y, z1));
  c1.normal = Normalize(frame.Direction(Vec3(0, 0, 1)));
  for (int i = 0; i < segments; ++i) {
    MeshVertex a0 = ring(i, z0, r0), b0 = ring(i + 1, z0, r0);
    MeshVertex a1 = ring(i, z1, r1), b1 = ring(i + 1, z1, r1);
    AddTriangle(material, a0, b0, b1);
    AddTriangle(material, a0, b1, a1);
    a0.normal = b0.normal = c0.normal;
    a1.normal = b1.normal = c1.normal;
    AddTriangle(material, c0, b0, a0);
    AddTriangle(material, c1, a1, b1);
  }
}

void Mesh::AddBar(int material, const std::vector<Point2>& path, float xCentre, float radius,
                  const Frame& frame) {
  std::vector<Vec3> points;
  for (const Point2& p : path) points.push_back(Vec3(xCentre, p.v, p.u));
  AddLimb(material, points, radius, radius, frame);
}

void Mesh::AddLimb(int material, const std::vector<Vec3>& path, float r0, float r1,
                   const Frame& frame) {
  float total = 0;
  for (size_t i = 0; i + 1 < path.size(); ++i) total += Magnitude(path[i + 1] - path[i]);
  float done = 0;
  for (size_t i = 0; i < path.size(); ++i) {
    float ra = total > 0 ? Mix(r0, r1, done / total) : r0;
    AddSphere(material, path[i], ra, frame);
    if (i + 1 == path.size()) break;
    Vec3 d = path[i + 1] - path[i];
    float len = Magnitude(d);
    done += len;
    if (len == 0) continue;
    float rb = total > 0 ? Mix(r0, r1, done / total) : r0;
    Frame local;
    local.axisZ = d / len;
    Vec3 helper = std::fabs(local.axisZ.x) < 0.9f ? Vec3(1, 0, 0) : Vec3(0, 1, 0);
    local.axisY = Normalize(Cross(local.axisZ, helper));
    local.axisX = Cross(local.axisY, local.axisZ);
    local.origin = path[i];
    AddTube(material, 0, 0, 0, len, ra, rb, 16, Compose(frame, local));
  }
}

void Mesh::AddSphere(int material, Vec3 centre, float radius, const Frame& frame) {
  const int rings = 10, segments = 16;
  auto point = [&](int ring, int seg) {
    float theta = Pi * ring / rings, phi = 2 * Pi * seg / segments;
    Vec3 n(std::sin(theta) * std::cos(phi), std::cos(theta), std::sin(theta) * std::sin(phi));
    MeshVertex v;
    v.position = frame.Point(centre + n * radius);
    v.normal = Normalize(frame.Direction(n));
    return v;
  };
  for (int r = 0; r < rings; ++r) {
    for (int s = 0; s < segments; ++s) {
      MeshVertex a = point(r, s), b = point(r, s + 1), c = point(r + 1, s + 1), d = point(r + 1, s);
      if (r > 0) AddTriangle(material, a, b, c);
      if (r + 1 < rings) AddTriangle(material, a, c, d);
    }
  }
}

namespace {

struct ViewVertex {
  Vec3 p, n;
};

ViewVertex Lerp(const ViewVertex& a, const ViewVertex& b, float t) {
  return {a.p + (b.p - a.p) * t, a.n + (b.n - a.n) * t};
}

// Keeps the part of a triangle in front of the near plane (0, 1 or 2 triangles as a fan).
int ClipNear(const ViewVertex in[3], float nearZ, ViewVertex out[4]) {
  int count = 0;
  for (int i = 0; i < 3; ++i) {
    const ViewVertex& a = in[i];
    const ViewVertex& b = in[(i + 1) % 3];
    bool aIn = a.p.z >= nearZ, bIn = b.p.z >= nearZ;
    if (aIn) out[count++] = a;
    if (aIn != bIn) out[count++] = Lerp(a, b, (nearZ - a.p.z) / (b.p.z - a.p.z));
  }
  return count;
}

}  // namespace

void RenderMesh(const Mesh& mesh, const Frame& toView, const RenderSettings& s, Picture* colour,
                Picture* coverage) {
  const int ss = s.supersample;
  const int w = s.width * ss, h = s.height * ss;
  const float focal = s.focal * ss, cx = s.centreX * ss, cy = s.centreY * ss;
  std::vector<float> depth(static_cast<size_t>(w) * h, 0.0f);  // 1/z, 0 = empty
  Picture big(w, h);

  for (const MeshTriangle& tri : mesh.triangles) {
    const Material& mat = mesh.materials[tri.material];
    ViewVertex in[3], poly[4];
    for (int i = 0; i < 3; ++i) {
      in[i].p = toView.Point(tri.v[i].position);
      in[i].n = toView.Direction(tri.v[i].normal);
    }
    int count = ClipNear(in, s.nearZ, poly);
    for (int f = 1; f + 1 < count; ++f) {
      const ViewVertex* v[3] = {&poly[0], &poly[f], &poly[f + 1]};
      float sx[3], sy[3], iz[3];
      for (int i = 0; i < 3; ++i) {
        iz[i] = 1.0f / v[i]->p.z;
        sx[i] = cx + focal * v[i]->p.x * iz[i];
        sy[i] = cy - focal * v[i]->p.y * iz[i];
      }
      float area = (sx[1] - sx[0]) * (sy[2] - sy[0]) - (sy[1] - sy[0]) * (sx[2] - sx[0]);
      if (std::fabs(area) < 1e-9f) continue;
      int xMin = std::max(0, static_cast<int>(std::floor(std::min({sx[0], sx[1], sx[2]}))));
      int xMax = std::min(w - 1, static_cast<int>(std::ceil(std::max({sx[0], sx[1], sx[2]}))));
      int yMin = std::max(0, static_cast<int>(std::floor(std::min({sy[0], sy[1], sy[2]}))));
      int yMax = std::min(h - 1, static_cast<int>(std::ceil(std::max({sy[0], sy[1], sy[2]}))));
      for (int y = yMin; y <= yMax; ++y) {
        float py = y + 0.5f;
        for (int x = xMin; x <= xMax; ++x) {
          float px = x + 0.5f;
          float b0 = ((sx[1] - px) * (sy[2] - py) - (sy[1] - py) * (sx[2] - px)) / area;
          float b1 = ((sx[2] - px) * (sy[0] - py) - (sy[2] - py) * (sx[0] - px)) / area;
          float b2 = 1.0f - b0 - b1;
          if (b0 < 0 || b1 < 0 || b2 < 0) continue;
          float invZ = b0 * iz[0] + b1 * iz[1] + b2 * iz[2];
          size_t index = static_cast<size_t>(y) * w + x;
          if (invZ <= depth[index]) continue;
          depth[index] = invZ;
          float p0 = b0 * iz[0] / invZ, p1 = b1 * iz[1] / invZ, p2 = b2 * iz[2] / invZ;
          Vec3 pos = v[0]->p * p0 + v[1]->p * p1 + v[2]->p * p2;
          Vec3 n = NormalizeOrZero(v[0]->n * p0 + v[1]->n * p1 + v[2]->n * p2);
          Vec3 view = Normalize(pos * -1.0f);
          if (Dot(n, view) < 0) n = n * -1.0f;
          float up = 0.5f + 0.5f * n.y;
          Vec3 light = s.groundLight + (s.skyLight - s.groundLight) * up;
          Vec3 highlight;
          for (const Light& l : s.lights) {
            Vec3 toward = l.towardLight, strength = l.colour;
            if (l.positional) {
              Vec3 d = l.position - pos;
              float dist = Magnitude(d);
              toward = d / dist;
              strength = strength * (1.0f / (1.0f + (dist / l.range) * (dist / l.range)));
            }
            float diffuse = std::max(0.0f, Dot(n, toward));
            light = light + strength * diffuse;
            Vec3 half = NormalizeOrZero(toward + view);
            float shine = std::pow(std::max(0.0f, Dot(n, half)), mat.shininess) * mat.specular;
            highlight = highlight + strength * shine;
          }
          float rim = std::pow(1.0f - std::max(0.0f, Dot(n, view)), 3.0f) * s.rim;
          float grain = 1.0f;
          if (mat.grain > 0) {
            uint32_t hsh = static_cast<uint32_t>(x / 2) * 73856093u ^ static_cast<uint32_t>(y / 2) * 19349663u;
            hsh ^= hsh >> 13;
            hsh *= 0x5BD1E995u;
            hsh ^= hsh >> 15;
            grain = 1.0f + mat.grain * (((hsh & 1023) / 1023.0f) - 0.5f);
          }
          float* out = big.At(x, y);
          // Clamp each sample so a hot highlight does not bleed into its neighbours.
          out[0] = Clamp01(mat.colour.x * light.x * grain + highlight.x + rim * 0.5f);
          out[1] = Clamp01(mat.colour.y * light.y * grain + highlight.y + rim * 0.5f);
          out[2] = Clamp01(mat.colour.z * light.z * grain + highlight.z + rim * 0.55f);
        }
      }
    }
  }

  // Resolve: colour over black and the covered fraction of each final pixel.
  *colour = Downsample(big, ss);
  *coverage = Picture(s.width, s.height);
  for (int y = 0; y < s.height; ++y) {
    for (int x = 0; x < s.width; ++x) {
      int hits = 0;
      for (int sy = 0; sy < ss; ++sy) {
        for (int sx = 0; sx < ss; ++sx) hits += depth[static_cast<size_t>(y * ss + sy) * w + x * ss + sx] > 0;
      }
      float* c = coverage->At(x, y);
      c[0] = c[1] = c[2] = static_cast<float>(hits) / (ss * ss);
    }
  }
}
