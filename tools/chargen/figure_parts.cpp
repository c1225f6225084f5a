// Building blocks every figure shares: naming its parts, pieces worn on both sides, the
// foot shape and the neck, nose and ears on the common head atlas layout. The figure files
// keep only what makes each person different.
#include "tools/chargen/figure.h"

int Part::AddBoth(const Loft& loft, AtlasRect rect, PaintFn paint, int boneL, int boneR,
                  const Xform& place) {
  int region = Add(loft, rect, std::move(paint), place);
  Attach(region, boneL);
  Attach(region, boneR);
  return region;
}

void NameParts(Figure& f) {
  f.lower.surface = "l_" + f.name;
  f.lower.texture = f.name + "_lower.tga";
  f.upper.surface = "u_" + f.name;
  f.upper.texture = f.name + "_upper.tga";
  f.head.surface = "h_" + f.name;
  f.head.texture = f.name + "_head.tga";
}

Loft Outline(int sides, float power, std::vector<Ring> rings) {
  Loft loft;
  loft.sides = sides;
  loft.power = power;
  loft.rings = std::move(rings);
  return loft;
}

Loft Foot(float ankle, float power, float heelX, float heelUp,
          const std::vector<FootStation>& stations, float toeX, float toeUp) {
  Loft foot = Outline(10, power, {});
  foot.rings.push_back({heelX, 0, 0, -ankle + heelUp, 0});
  for (const FootStation& s : stations)
    foot.rings.push_back({s.x, s.halfHeight, s.halfWidth, -ankle + s.halfHeight, 0});
  foot.rings.push_back({toeX, 0, 0, -ankle + toeUp, 0});
  return foot;
}

void AddNeck(Part& head, float length, float rBottom, float rTop, float up, PaintFn paint) {
  int region = head.Add(Limb(length, {rBottom, rTop}, 8), {4, 160, 120, 40}, std::move(paint),
                        Translate(Vec3(0, 0, up)));
  head.Attach(region, BoneHead);
}

void AddNose(Part& head, const Loft& nose, Vec3 colour, const Xform& place) {
  int region = head.Add(nose, {132, 160, 56, 40}, [colour](const SurfacePoint&) { return colour; },
                        place);
  head.Attach(region, BoneHead);
}

void AddEars(Part& head, const Loft& ear, Vec3 colour, Vec3 at) {
  int region = head.Add(ear, {196, 160, 56, 40}, [colour](const SurfacePoint&) { return colour; });
  head.Attach(region, BoneHead, Translate(Vec3(at.x, at.y, at.z)));
  head.Attach(region, BoneHead, Translate(Vec3(at.x, -at.y, at.z)));
}
