// What a generated figure is made of: body proportions and, for each of its model parts
// (lower body, upper body, head, or the weapon), the painted atlas regions and the pieces
// fixed to bones that use them.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "tools/assetgen/picture.h"
#include "tools/chargen/clips.h"
#include "tools/chargen/loft.h"
#include "tools/chargen/skeleton.h"

// Base colour (linear 0..1) of a surface point, before the painted light is applied.
using PaintFn = std::function<Vec3(const SurfacePoint&)>;

struct Region {
  Loft loft;
  Xform place;  // loft space -> bone space, for the pieces that do not give their own
  AtlasRect rect;
  PaintFn paint;
};

struct PieceRef {
  int region = 0;
  int bone = 0;
  Xform place;  // loft space -> bone space (same rotation as the region's)
};

struct Part {
  std::string surface;  // mesh name, unique and no substring of another mesh's name
  std::string texture;  // file name of the atlas (".tga"), in the figure's folder
  int atlasSize = 256;
  std::vector<Region> regions;
  std::vector<PieceRef> pieces;

  // Adds a region and returns its index.
  int Add(const Loft& loft, AtlasRect rect, PaintFn paint, const Xform& place = Xform());
  // Fixes region `region` to `bone` (at the region's own place, or at `place`).
  void Attach(int region, int bone);
  void Attach(int region, int bone, const Xform& place);
};

struct Figure {
  std::string name;  // folder and file prefix, e.g. "fidget"
  Proportions body;
  Gait gait;
  Part lower, upper, head;
};

Figure MakeFidget();
Figure MakeJack();
// The grenade launcher, in weapon space (the right hand at the origin, barrel along +X).
Part MakeLauncher();
// Where the left hand holds the launcher, weapon space.
Vec3 LauncherForegrip();

// Paints every region of the part into its atlas, with a fixed light baked in (the game
// draws the models unlit). Texels outside the regions take the nearest region border.
Picture PaintAtlas(const Part& part);

// Loft shapes shared by the figures.
// An ellipsoid-like shape of `rings` latitude rings between z0 and z1.
Loft Blob(float z0, float z1, float rx, float ry, int sides, int rings, float cx = 0, float cy = 0);
// A limb hanging down from its joint: from z = -length to 0, radii per station given
// bottom to top (at least two), closed at both ends with small rounded caps.
Loft Limb(float length, const std::vector<float>& radii, int sides, float depthScale = 1.0f);
// A loft rotated so that its axis runs along +X (for boxes and tubes lying forward).
Xform AlongX();

// Painting helpers: deterministic grain (0..1) periodic in u, and smooth edges.
float Grain(const SurfacePoint& p, float scale, uint32_t seed);
Vec3 MixColour(Vec3 a, Vec3 b, float t);
// 1 inside the band lo..hi of `value`, 0 outside, softened over `soft`.
float Band(float value, float lo, float hi, float soft = 0.02f);
