// A tiny triangle-mesh builder and a supersampled z-buffer rasteriser, enough to draw the
// weapons held in front of the viewer with proper shading and an exact silhouette.
// Gun frame: z along the barrel (muzzle at +z), y up, x to the right; metres.
#pragma once
#include <vector>

#include "core/vec3.h"
#include "tools/assetgen/picture.h"

struct Material {
  Vec3 colour;            // base colour, linear 0..1
  float specular = 0.3f;  // strength of the highlight
  float shininess = 24;   // Blinn exponent
  float grain = 0.0f;     // strength of the fine surface texture (stippled polymer)
};

struct MeshVertex {
  Vec3 position;
  Vec3 normal;
};

struct MeshTriangle {
  MeshVertex v[3];
  int material = 0;
};

// An orthonormal frame placed in its parent: columns axisX, axisY, axisZ and an origin.
struct Frame {
  Vec3 axisX{1, 0, 0}, axisY{0, 1, 0}, axisZ{0, 0, 1};
  Vec3 origin;
  Vec3 Point(Vec3 p) const { return origin + axisX * p.x + axisY * p.y + axisZ * p.z; }
  Vec3 Direction(Vec3 d) const { return axisX * d.x + axisY * d.y + axisZ * d.z; }
};
// Rotations in degrees about the frame's own x (pitch), y (yaw) and z (roll) axes.
Frame Rotated(const Frame& f, float pitchDeg, float yawDeg, float rollDeg);

struct Point2 {
  float u = 0, v = 0;  // in a slab outline: u = z (forward), v = y (up)
};

struct Mesh {
  std::vector<Material> materials;
  std::vector<MeshTriangle> triangles;

  int AddMaterial(const Material& m) {
    materials.push_back(m);
    return static_cast<int>(materials.size()) - 1;
  }
  // A flat part cut from a side outline (u = z, v = y, either winding, may be concave)
  // and extruded from x0 to x1, its outer edges bevelled by `bevel` metres.
  void AddSlab(int material, const std::vector<Point2>& outline, float x0, float x1,
               float bevel = 0.0f, const Frame& frame = Frame());
  // A box between two corners, bevelled.
  void AddBox(int material, Vec3 lo, Vec3 hi, float bevel = 0.0f, const Frame& frame = Frame());
  // A cylinder or cone along z at (x, y), radii r0 at z0 and r1 at z1, closed at both ends.
  void AddTube(int material, float x, float y, float z0, float z1, float r0, float r1,
               int segments = 24, const Frame& frame = Frame());
  // A rounded bar following a polyline in the y-z plane at x = xCentre (a trigger guard, a
  // bipod leg).
  void AddBar(int material, const std::vector<Point2>& path, float xCentre, float radius,
              const Frame& frame = Frame());
  // A rounded bar along any polyline (fingers, an arm): tubes joined by spheres, the radius
  // changing linearly from r0 at the first point to r1 at the last.
  void AddLimb(int material, const std::vector<Vec3>& path, float r0, float r1,
               const Frame& frame = Frame());
  void AddSphere(int material, Vec3 centre, float radius, const Frame& frame = Frame());

  void AddTriangle(int material, MeshVertex a, MeshVertex b, MeshVertex c);
};

struct Light {
  Vec3 towardLight;  // unit vector in view space (a distant light)
  Vec3 colour;
  bool positional = false;  // when set, the light sits at `position` and fades with distance
  Vec3 position;
  float range = 1.0f;  // metres at which a positional light has half its strength
};

struct RenderSettings {
  int width = 1024, height = 768;  // final picture size
  int supersample = 3;             // samples per side of each final pixel
  float focal = 700;               // pixels, at the final size
  float centreX = 512, centreY = 384;
  float nearZ = 0.05f;  // metres; geometry closer than this is clipped
  Vec3 skyLight{0.30f, 0.31f, 0.33f}, groundLight{0.06f, 0.06f, 0.06f};
  std::vector<Light> lights;
  float rim = 0.25f;  // strength of the grazing-angle highlight that keeps edges readable
};

// Draws the mesh placed by `toView` (gun frame -> view space, camera looking down +z,
// y up). `colour` gets the shaded model on black (premultiplied by coverage), `coverage`
// the fraction of each pixel the model covers (all three channels alike).
void RenderMesh(const Mesh& mesh, const Frame& toView, const RenderSettings& settings,
                Picture* colour, Picture* coverage);
