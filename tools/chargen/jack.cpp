// Jack: big and heavy-set, in dark gunmetal armour over an olive undersuit: a broad chest
// plate with a red light, huge shoulder pads, armoured shins in black boots, a belt of
// pouches, a helmet with a red stripe over a stubbled, scarred face.
#include <cmath>

#include "tools/chargen/figure.h"

namespace {

const Vec3 Under(0.22f, 0.24f, 0.17f);
const Vec3 UnderDark(0.14f, 0.15f, 0.11f);
const Vec3 Plate(0.27f, 0.29f, 0.32f);
const Vec3 PlateEdge(0.45f, 0.47f, 0.5f);
const Vec3 Black(0.08f, 0.08f, 0.09f);
const Vec3 Red(0.85f, 0.12f, 0.06f);
const Vec3 Skin(0.66f, 0.46f, 0.35f);
const float Pi = 3.14159265f;

Vec3 Undersuit(const SurfacePoint& p, uint32_t seed) {
  return MixColour(Under, UnderDark, 0.5f * Grain(p, 20, seed));
}

// Armour plate: scuffed gunmetal, lighter near its edges in z (lo..hi).
Vec3 Armour(const SurfacePoint& p, float lo, float hi, uint32_t seed) {
  Vec3 c = MixColour(Plate, Vec3(0.18f, 0.19f, 0.21f), 0.5f * Grain(p, 28, seed));
  float edge = 1.0f - Band(p.position.z, lo + 0.25f, hi - 0.25f, 0.06f);
  return MixColour(c, PlateEdge, 0.7f * edge);
}

void BuildLower(Figure& f) {
  Part& part = f.lower;
  const Proportions& b = f.body;
  part.surface = "l_jack";
  part.texture = "jack_lower.tga";

  Loft pelvis;
  pelvis.sides = 10;
  pelvis.power = 2.6f;
  // A broad belt standing proud of the waist.
  pelvis.rings = {{-3.0f, 0, 0},          {-2.8f, 2.0f, 2.7f},   {-1.8f, 2.8f, 3.9f},
                  {0.2f, 3.1f, 4.2f},     {1.6f, 3.15f, 4.2f},   {1.7f, 3.4f, 4.5f},
                  {3.0f, 3.4f, 4.5f},     {3.1f, 3.1f, 4.1f},    {3.3f, 0, 0}};
  int pelvisRegion = part.Add(pelvis, {4, 4, 120, 56}, [](const SurfacePoint& p) {
    Vec3 c = Undersuit(p, 41);
    float belt = Band(p.position.z, 1.65f, 3.05f, 0.04f);
    c = MixColour(c, Vec3(0.2f, 0.15f, 0.1f), belt);
    return MixColour(c, PlateEdge, belt * Band(p.angle, -0.18f, 0.18f, 0.03f));
  });
  part.Attach(pelvisRegion, BonePelvis);

  // Belt pouches on both hips and at the back.
  Loft pouch = BoxLoft(Vec3(-0.8f, -0.55f, -0.9f), Vec3(0.8f, 0.55f, 0.9f));
  int pouchRegion = part.Add(pouch, {4, 156, 120, 40}, [](const SurfacePoint& p) {
    Vec3 c = MixColour(Vec3(0.3f, 0.28f, 0.2f), Vec3(0.2f, 0.18f, 0.12f), 0.5f * Grain(p, 12, 42));
    return MixColour(c, Vec3(0.12f, 0.1f, 0.08f), Band(p.position.z, 0.45f, 0.6f, 0.03f));
  });
  part.Attach(pouchRegion, BonePelvis, Translate(Vec3(0.9f, 4.4f, 1.8f)));
  part.Attach(pouchRegion, BonePelvis, Translate(Vec3(0.9f, -4.4f, 1.8f)));
  part.Attach(pouchRegion, BonePelvis, Translate(Vec3(-3.3f, 1.3f, 2.0f)));
  part.Attach(pouchRegion, BonePelvis, Translate(Vec3(-3.3f, -1.3f, 2.0f)));

  // Thick thighs with armour plates on the front.
  const float thigh = b.thigh;
  int thighRegion = part.Add(Limb(thigh, {1.5f, 1.75f, 2.05f, 2.25f}, 10), {132, 4, 120, 72},
                             [thigh](const SurfacePoint& p) {
    Vec3 c = Undersuit(p, 43);
    float plate = Band(p.angle, -1.1f, 1.1f, 0.06f) * Band(p.position.z, -thigh + 0.6f, -1.6f, 0.06f);
    return MixColour(c, Armour(p, -thigh + 0.6f, -1.6f, 44), plate);
  });
  part.Attach(thighRegion, BoneThighL);
  part.Attach(thighRegion, BoneThighR);

  // Shins: black boots to the knee, an armour plate over the shin and a knee cop.
  const float shin = b.shin;
  int shinRegion = part.Add(Limb(shin, {1.15f, 1.3f, 1.45f, 1.55f, 1.5f}, 10, 1.05f),
                            {4, 68, 120, 80}, [shin](const SurfacePoint& p) {
    Vec3 c = MixColour(Black, Vec3(0.16f, 0.16f, 0.17f), 0.5f * Grain(p, 16, 45));
    float plate = Band(p.angle, -1.0f, 1.0f, 0.06f) * Band(p.position.z, -shin * 0.75f, 0.9f, 0.06f);
    c = MixColour(c, Armour(p, -shin * 0.75f, 0.9f, 46), plate);
    c = MixColour(c, Red, Band(p.angle, -0.06f, 0.06f, 0.02f) * Band(p.position.z, -2.2f, -1.6f));
    return c;
  });
  part.Attach(shinRegion, BoneShinL);
  part.Attach(shinRegion, BoneShinR);

  const float ankle = b.ankleHeight;
  Loft foot;
  foot.sides = 10;
  foot.power = 3.5f;
  struct Station {
    float x, halfHeight, halfWidth;
  };
  const Station stations[] = {{-1.6f, 0.95f, 1.0f}, {-0.7f, 1.35f, 1.15f}, {0.7f, 1.1f, 1.2f},
                              {2.1f, 0.8f, 1.15f},  {3.2f, 0.6f, 0.95f}};
  foot.rings.push_back({-1.8f, 0, 0, -ankle + 0.9f, 0});
  for (const Station& s : stations)
    foot.rings.push_back({s.x, s.halfHeight, s.halfWidth, -ankle + s.halfHeight, 0});
  foot.rings.push_back({3.45f, 0, 0, -ankle + 0.5f, 0});
  int footRegion = part.Add(foot, {132, 84, 120, 56}, [ankle](const SurfacePoint& p) {
    Vec3 c = MixColour(Black, Vec3(0.18f, 0.18f, 0.19f), 0.5f * Grain(p, 12, 47));
    float sole = SmoothStep(-ankle + 0.5f, -ankle + 0.35f, p.position.x);
    return MixColour(c, Vec3(0.04f, 0.04f, 0.04f), sole);
  }, AlongX());
  part.Attach(footRegion, BoneFootL);
  part.Attach(footRegion, BoneFootR);
}

void BuildUpper(Figure& f) {
  Part& part = f.upper;
  const Proportions& b = f.body;
  part.surface = "u_jack";
  part.texture = "jack_upper.tga";

  // A barrel chest on a thick waist; the armour shell is painted on.
  Loft torso;
  torso.sides = 12;
  torso.power = 2.8f;
  torso.rings = {{-2.8f, 0, 0},           {-2.6f, 2.9f, 3.9f},       {0.0f, 3.1f, 4.1f},
                 {2.6f, 3.3f, 4.4f, 0.2f}, {5.2f, 3.7f, 5.0f, 0.35f}, {7.4f, 3.9f, 5.4f, 0.4f},
                 {9.2f, 3.5f, 5.7f, 0.2f}, {10.4f, 2.4f, 4.4f},      {11.1f, 1.3f, 1.7f},
                 {11.4f, 0, 0}};
  int torsoRegion = part.Add(torso, {4, 4, 248, 120}, [](const SurfacePoint& p) {
    const float z = p.position.z, a = p.angle;
    Vec3 c = Undersuit(p, 51);
    // Chest and back plates with horizontal grooves over the belly.
    float shell = Band(z, 1.2f, 10.6f, 0.08f);
    c = MixColour(c, Armour(p, 1.2f, 10.6f, 52), shell);
    float grooves = Band(std::fmod(z + 10.0f, 1.1f), 0.0f, 0.12f, 0.03f) * Band(z, 1.6f, 5.0f) *
                    Band(a, -1.3f, 1.3f);
    c = MixColour(c, Black, 0.8f * grooves);
    // Seams at the sides, a red light on the chest, a red stripe down the back.
    c = MixColour(c, Black, Band(std::fabs(std::fabs(a) - Pi / 2), -1, 0.06f, 0.02f) * shell);
    float lightSpot = (a - 0.55f) * (a - 0.55f) / 0.02f + (z - 7.4f) * (z - 7.4f) / 0.25f;
    c = MixColour(c, Red, 1.0f - SmoothStep(0.6f, 1.0f, lightSpot));
    c = MixColour(c, Red, Band(std::fabs(a), Pi - 0.08f, Pi + 1, 0.02f) * Band(z, 2.0f, 9.5f));
    return c;
  });
  part.Attach(torsoRegion, BoneChest);

  // Backpack.
  Loft pack = BoxLoft(Vec3(-1.3f, -3.0f, -2.4f), Vec3(1.3f, 3.0f, 2.4f));
  int packRegion = part.Add(pack, {132, 196, 120, 56}, [](const SurfacePoint& p) {
    Vec3 c = MixColour(Vec3(0.24f, 0.25f, 0.2f), Vec3(0.14f, 0.15f, 0.12f), 0.5f * Grain(p, 14, 53));
    return MixColour(c, Black, Band(p.position.z, 1.2f, 1.45f, 0.03f));
  });
  part.Attach(packRegion, BoneChest, Translate(Vec3(-4.3f, 0, 6.2f)));

  const float upperArm = b.upperArm, forearm = b.forearm, hand = b.hand;
  int upperArmRegion = part.Add(Limb(upperArm, {1.25f, 1.4f, 1.55f, 1.65f}, 8),
                                {4, 132, 120, 56}, [](const SurfacePoint& p) {
    return Undersuit(p, 54);
  });
  part.Attach(upperArmRegion, BoneUpperArmL);
  part.Attach(upperArmRegion, BoneUpperArmR);

  // Big rounded shoulder pads riding on the upper arms.
  Loft pad = Blob(-2.6f, 1.2f, 2.3f, 2.1f, 10, 6);
  int padRegion = part.Add(pad, {68, 196, 60, 56}, [](const SurfacePoint& p) {
    Vec3 c = Armour(p, -2.4f, 1.0f, 55);
    return MixColour(c, Red, Band(p.position.z, -1.9f, -1.5f, 0.04f));
  });
  part.Attach(padRegion, BoneUpperArmL, Translate(Vec3(0, 0.35f, 0.4f)));
  part.Attach(padRegion, BoneUpperArmR, Translate(Vec3(0, -0.35f, 0.4f)));

  int forearmRegion = part.Add(Limb(forearm, {1.05f, 1.2f, 1.35f, 1.3f}, 8),
                               {132, 132, 120, 56}, [forearm](const SurfacePoint& p) {
    Vec3 c = Undersuit(p, 56);
    float guard = Band(p.position.z, -forearm + 0.3f, -0.9f, 0.06f);
    return MixColour(c, Armour(p, -forearm + 0.3f, -0.9f, 57), guard);
  });
  part.Attach(forearmRegion, BoneForearmL);
  part.Attach(forearmRegion, BoneForearmR);

  Loft fist = Limb(hand, {0.8f, 0.9f, 0.78f}, 8, 1.2f);
  int handRegion = part.Add(fist, {4, 196, 56, 56}, [](const SurfacePoint& p) {
    return MixColour(Black, Vec3(0.2f, 0.2f, 0.21f), 0.5f * Grain(p, 10, 58));
  });
  part.Attach(handRegion, BoneHandL);
  part.Attach(handRegion, BoneHandR);
}

void BuildHead(Figure& f) {
  Part& part = f.head;
  part.surface = "h_jack";
  part.texture = "jack_head.tga";
  const float centre = 3.1f, rz = 2.85f;

  Loft skull = Blob(centre - rz, centre + rz, 2.55f, 2.3f, 12, 10, 0.1f);
  for (Ring& r : skull.rings) {
    if (r.z < centre) {  // a square, heavy jaw
      r.ry *= 0.95f;
      r.cx += 0.2f;
    }
  }
  skull.power = 2.4f;
  int skullRegion = part.Add(skull, {4, 4, 248, 150}, [centre, rz](const SurfacePoint& p) {
    const float zr = (p.position.z - centre) / rz, a = p.angle;
    Vec3 c = MixColour(Skin, Vec3(0.55f, 0.37f, 0.28f), 0.3f * Grain(p, 20, 61));
    // Stubble on the jaw and chin.
    float jaw = SmoothStep(-0.12f, -0.3f, zr) * Band(a, -1.7f, 1.7f, 0.2f);
    c = MixColour(c, Vec3(0.3f, 0.24f, 0.2f), jaw * (0.45f + 0.35f * Grain(p, 60, 62)));
    for (float side : {-1.0f, 1.0f}) {
      float da = (a - side * 0.4f) / 0.15f, dz = (zr - 0.1f) / 0.06f;
      float eye = 1.0f - SmoothStep(0.8f, 1.0f, da * da + dz * dz);
      float ia = (a - side * 0.38f) / 0.15f;
      float iris = 1.0f - SmoothStep(0.25f, 0.4f, ia * ia + dz * dz);
      c = MixColour(c, Vec3(0.9f, 0.9f, 0.86f), eye);
      c = MixColour(c, Vec3(0.28f, 0.18f, 0.1f), eye * iris);
      float brow = Band(zr, 0.2f, 0.3f, 0.015f) * Band(a * side, 0.18f, 0.64f, 0.04f);
      c = MixColour(c, Vec3(0.12f, 0.09f, 0.07f), brow);
    }
    // A scar across the left cheek.
    float scar = Band(zr - 0.9f * (a - 0.55f), -0.14f, -0.11f, 0.01f) * Band(a, 0.42f, 0.8f, 0.02f);
    c = MixColour(c, Vec3(0.78f, 0.5f, 0.45f), scar);
    float mouth = Band(zr, -0.46f, -0.38f, 0.02f) * Band(a, -0.22f, 0.22f, 0.04f);
    c = MixColour(c, Vec3(0.45f, 0.25f, 0.22f), mouth);
    // Close-cropped dark hair at the back, below the helmet.
    c = MixColour(c, Vec3(0.1f, 0.08f, 0.07f), SmoothStep(0.1f, 0.4f, -std::cos(a)) *
                                                    SmoothStep(-0.5f, -0.4f, zr));
    return c;
  });
  part.Attach(skullRegion, BoneHead);

  int neckRegion = part.Add(Limb(2.4f, {1.35f, 1.25f}, 8), {4, 160, 120, 40},
                            [](const SurfacePoint& p) {
    return MixColour(Skin, Vec3(0.5f, 0.34f, 0.26f), 0.3f * Grain(p, 10, 63));
  }, Translate(Vec3(0, 0, 1.5f)));
  part.Attach(neckRegion, BoneHead);

  int noseRegion = part.Add(Blob(-0.2f, 0.8f, 0.38f, 0.32f, 6, 5), {132, 160, 56, 40},
                            [](const SurfacePoint&) { return Skin; },
                            Translate(Vec3(2.5f, 0, centre - 0.3f)) * AlongX());
  part.Attach(noseRegion, BoneHead);

  // Helmet: a dome over the top with a brim, gunmetal with a red stripe over the crown.
  Loft helmet;
  helmet.sides = 12;
  helmet.power = 2.2f;
  // The brim sits above the brows so the eyes show.
  const float base = centre + 1.05f;
  helmet.rings = {{base - 0.35f, 0, 0},            {base - 0.3f, 2.8f, 2.55f, -0.1f},
                  {base + 0.15f, 2.8f, 2.55f, -0.1f}, {base + 1.0f, 2.5f, 2.3f, -0.15f},
                  {base + 1.8f, 1.85f, 1.75f, -0.2f}, {base + 2.3f, 1.0f, 0.95f, -0.2f},
                  {base + 2.5f, 0, 0, -0.2f}};
  int helmetRegion = part.Add(helmet, {132, 204, 120, 48}, [base](const SurfacePoint& p) {
    Vec3 c = Armour(p, base - 0.3f, base + 2.7f, 64);
    c = MixColour(c, Red, Band(p.angle, -0.12f, 0.12f, 0.03f) * SmoothStep(base + 0.6f, base + 0.9f, p.position.z));
    return MixColour(c, Black, Band(p.position.z, base - 0.1f, base + 0.12f, 0.03f));
  });
  part.Attach(helmetRegion, BoneHead);
  Loft ear = Blob(-0.6f, 0.6f, 0.4f, 0.25f, 6, 5);
  int earRegion = part.Add(ear, {196, 160, 56, 40},
                           [](const SurfacePoint&) { return Vec3(0.6f, 0.4f, 0.3f); });
  part.Attach(earRegion, BoneHead, Translate(Vec3(-0.1f, 2.2f, centre)));
  part.Attach(earRegion, BoneHead, Translate(Vec3(-0.1f, -2.2f, centre)));
}

}  // namespace

Figure MakeJack() {
  Figure f;
  f.name = "jack";
  Proportions& b = f.body;
  b.ankleHeight = 2.1f;
  b.shin = 9.5f;
  b.thigh = 9.7f;
  b.hipHalfWidth = 2.7f;
  b.waistUp = 2.7f;
  b.shoulderUp = 9.3f;
  b.shoulderHalfWidth = 5.5f;
  b.neckUp = 11.0f;
  b.upperArm = 7.6f;
  b.forearm = 6.2f;
  b.hand = 2.5f;
  b.foregrip = LauncherForegrip();
  // Heavy: a shorter stride, less spring, a wider stance, the weapon held clear of the
  // broad chest.
  f.gait.stride = 0.9f;
  f.gait.bounce = 0.85f;
  f.gait.stance = 2.5f;
  f.gait.grip = Vec3(4.2f, -4.4f, 4.0f);
  f.gait.blade = 18;
  f.gait.poleR = Vec3(-0.3f, -1.0f, -0.8f);
  BuildLower(f);
  BuildUpper(f);
  BuildHead(f);
  return f;
}
