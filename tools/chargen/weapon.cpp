// The grenade launcher the figures carry, after the HUD picture: olive drab, a fluted
// six-shot drum, a big-bore barrel over a ribbed handguard, a vertical foregrip, pistol
// grip, ladder sight and a short folding stock. Weapon space: the right hand's grip at
// the origin, barrel along +X, +Z up; about 22 units to the metre.
#include <cmath>

#include "tools/chargen/figure.h"

namespace {

const Vec3 Olive(0.33f, 0.36f, 0.21f);
const Vec3 OliveDark(0.22f, 0.24f, 0.14f);
const Vec3 Metal(0.30f, 0.31f, 0.33f);
const Vec3 MetalDark(0.16f, 0.16f, 0.17f);
const Vec3 GripBlack(0.12f, 0.13f, 0.11f);
const float Pi = 3.14159265f;

Vec3 OliveFinish(const SurfacePoint& p, uint32_t seed) {
  return MixColour(Olive, OliveDark, 0.45f * Grain(p, 16, seed));
}

// A cylinder along +X from x0 to x1 at height z, radius r, with flat ends.
Loft Tube(float x0, float x1, float r, int sides) {
  Loft l;
  l.sides = sides;
  l.rings = {{x0, 0, 0}, {x0, r, r}, {x1, r, r}, {x1, 0, 0}};
  return l;
}

}  // namespace

Vec3 LauncherForegrip() { return Vec3(7.6f, 0, 0.5f); }

Part MakeLauncher() {
  Part part;
  part.surface = "w_grenadel";
  part.texture = "grenadel.tga";

  // Drum: six chambers cut into the cylinder, steel end plates.
  int drum = part.Add(Tube(0.9f, 4.6f, 1.5f, 12), {4, 4, 120, 60}, [](const SurfacePoint& p) {
    float flute = 0.5f + 0.5f * std::cos(6 * (p.angle + Pi / 6));
    Vec3 c = MixColour(Metal, MetalDark, 0.35f * Grain(p, 12, 71));
    c = MixColour(c, MetalDark, 0.8f * SmoothStep(0.75f, 0.95f, flute) * Band(p.along, 0.18f, 0.82f));
    return c;
  }, Translate(Vec3(0, 0, 2.5f)) * AlongX());
  part.Attach(drum, 0);

  // Barrel with a muzzle ring; the bore painted black on the front cap.
  int barrel = part.Add(Tube(4.6f, 13.0f, 0.78f, 10), {132, 4, 120, 40}, [](const SurfacePoint& p) {
    Vec3 c = MixColour(Metal, MetalDark, 0.3f * Grain(p, 20, 72));
    c = MixColour(c, MetalDark, Band(p.along, 0.86f, 0.93f, 0.01f));
    return MixColour(c, Vec3(0.02f, 0.02f, 0.02f), SmoothStep(0.955f, 0.975f, p.along));
  }, Translate(Vec3(0, 0, 3.4f)) * AlongX());
  part.Attach(barrel, 0);

  // Handguard under the barrel, ribbed.
  int guard = part.Add(BoxLoft(Vec3(-0.95f, -0.95f, 5.0f), Vec3(0.95f, 0.95f, 10.2f)),
                       {132, 52, 120, 56}, [](const SurfacePoint& p) {
    Vec3 c = OliveFinish(p, 73);
    float rib = Band(std::fmod(p.position.z - 5.0f, 0.9f), 0.45f, 0.75f, 0.04f) *
                Band(p.position.z, 5.4f, 9.8f);
    return MixColour(c, OliveDark * 0.6f, rib);
  }, Translate(Vec3(0, 0, 2.6f)) * AlongX());
  part.Attach(guard, 0);

  // Frame: receiver round the grip's top, top strap over the drum, rear plate.
  PaintFn olive = [](const SurfacePoint& p) { return OliveFinish(p, 74); };
  int receiver = part.Add(BoxLoft(Vec3(-0.8f, -0.85f, -1.3f), Vec3(0.8f, 0.85f, 1.2f)),
                          {4, 72, 120, 40}, olive, Translate(Vec3(0, 0, 2.1f)) * AlongX());
  part.Attach(receiver, 0);
  int strap = part.Add(BoxLoft(Vec3(-0.25f, -0.45f, -1.0f), Vec3(0.25f, 0.45f, 5.2f)),
                       {4, 120, 120, 24}, olive, Translate(Vec3(0, 0, 4.15f)) * AlongX());
  part.Attach(strap, 0);
  int sight = part.Add(BoxLoft(Vec3(-0.35f, -0.3f, 1.6f), Vec3(0.65f, 0.3f, 2.4f)),
                       {132, 116, 56, 24}, [](const SurfacePoint& p) {
    return MixColour(Metal, MetalDark, 0.4f * Grain(p, 8, 75));
  }, Translate(Vec3(0, 0, 4.75f)) * AlongX());
  part.Attach(sight, 0);

  // Vertical foregrip and pistol grip, black rubber with finger grooves.
  PaintFn rubber = [](const SurfacePoint& p) {
    Vec3 c = MixColour(GripBlack, Vec3(0.06f, 0.06f, 0.05f), 0.5f * Grain(p, 12, 76));
    return MixColour(c, Vec3(0.04f, 0.04f, 0.04f),
                     0.6f * Band(std::fmod(p.position.z + 10.0f, 0.7f), 0.0f, 0.12f, 0.03f));
  };
  int foregrip = part.Add(BoxLoft(Vec3(-0.6f, -0.55f, -1.4f), Vec3(0.6f, 0.55f, 1.3f)),
                          {4, 152, 56, 48}, rubber, Translate(Vec3(7.6f, 0, 0.6f)) * RotY(-8));
  part.Attach(foregrip, 0);
  int pistol = part.Add(BoxLoft(Vec3(-0.65f, -0.5f, -1.6f), Vec3(0.65f, 0.5f, 1.1f)),
                        {68, 152, 56, 48}, rubber, Translate(Vec3(-0.1f, 0, 0.3f)) * RotY(16));
  part.Attach(pistol, 0);
  // Trigger guard.
  int trigger = part.Add(BoxLoft(Vec3(-0.1f, -0.15f, -0.8f), Vec3(0.1f, 0.15f, 0.8f)),
                         {196, 116, 56, 24}, olive, Translate(Vec3(1.2f, 0, 0.85f)) * AlongX());
  part.Attach(trigger, 0);

  // Folding stock: two rods back from the rear plate and a butt plate.
  PaintFn steel = [](const SurfacePoint& p) {
    return MixColour(Metal, MetalDark, 0.5f * Grain(p, 10, 77));
  };
  int rod = part.Add(BoxLoft(Vec3(-0.17f, -0.15f, -5.4f), Vec3(0.17f, 0.15f, -0.6f)),
                     {132, 148, 120, 20}, steel, AlongX());
  part.Attach(rod, 0, Translate(Vec3(0, 0.55f, 2.9f)) * AlongX());
  part.Attach(rod, 0, Translate(Vec3(0, -0.55f, 2.9f)) * AlongX());
  int butt = part.Add(BoxLoft(Vec3(-1.5f, -0.8f, -5.9f), Vec3(1.4f, 0.8f, -5.3f)),
                      {4, 208, 120, 44}, rubber, Translate(Vec3(0, 0, 2.3f)) * AlongX());
  part.Attach(butt, 0);
  return part;
}
