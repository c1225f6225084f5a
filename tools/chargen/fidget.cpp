// Fidget: slim and quick, in a bright orange racing suit with white stripes, teal chest
// panel, dark harness and gloves, white boots, auburn hair and yellow goggles.
#include <cmath>

#include "tools/chargen/figure.h"

namespace {

const Vec3 Suit(0.98f, 0.52f, 0.09f);
const Vec3 SuitDark(0.78f, 0.36f, 0.05f);
const Vec3 Stripe(0.96f, 0.96f, 0.93f);
const Vec3 Teal(0.05f, 0.62f, 0.68f);
const Vec3 Harness(0.15f, 0.16f, 0.19f);
const Vec3 Glove(0.22f, 0.23f, 0.26f);
const Vec3 Boot(0.90f, 0.90f, 0.88f);
const Vec3 Sole(0.12f, 0.12f, 0.13f);
const Vec3 Skin(0.95f, 0.75f, 0.61f);
const Vec3 Hair(0.60f, 0.20f, 0.07f);
const Vec3 Lens(0.98f, 0.82f, 0.15f);
const float Pi = 3.14159265f;

// The suit fabric: orange with a faint weave and white stripes down both sides.
Vec3 Fabric(const SurfacePoint& p, uint32_t seed) {
  Vec3 c = MixColour(Suit, SuitDark, 0.25f * Grain(p, 24, seed));
  float side = std::fabs(std::fabs(p.angle) - Pi / 2);
  return MixColour(c, Stripe, Band(side, -1, 0.16f, 0.03f));
}

void BuildLower(Figure& f) {
  Part& part = f.lower;
  const Proportions& b = f.body;
  part.surface = "l_fidget";
  part.texture = "fidget_lower.tga";

  // Pelvis: hips round the hip joints up to the waist, a black belt with a silver buckle.
  Loft pelvis;
  pelvis.sides = 10;
  pelvis.power = 2.4f;
  // The belt stands proud of the waist so the torso comes out of it cleanly.
  pelvis.rings = {{-2.7f, 0, 0},         {-2.45f, 1.4f, 1.9f}, {-1.6f, 1.95f, 2.85f},
                  {0.2f, 2.15f, 3.05f},  {1.5f, 2.15f, 3.0f},  {1.6f, 2.3f, 3.12f},
                  {2.75f, 2.3f, 3.12f},  {2.85f, 2.0f, 2.8f},  {3.0f, 0, 0}};
  int pelvisRegion = part.Add(pelvis, {4, 4, 120, 56}, [](const SurfacePoint& p) {
    Vec3 c = Fabric(p, 11);
    float belt = Band(p.position.z, 1.55f, 2.8f, 0.04f);
    c = MixColour(c, Harness, belt);
    float buckle = belt * Band(p.angle, -0.22f, 0.22f, 0.03f);
    return MixColour(c, Vec3(0.78f, 0.8f, 0.84f), buckle);
  });
  part.Attach(pelvisRegion, BonePelvis);

  // Thighs with dark knee pads at the front of the knee.
  const float thigh = b.thigh;
  int thighRegion = part.Add(Limb(thigh, {1.05f, 1.2f, 1.45f, 1.6f}, 10),
                             {132, 4, 120, 72}, [thigh](const SurfacePoint& p) {
    Vec3 c = Fabric(p, 12);
    float pad = Band(p.position.z, -thigh - 1.0f, -thigh + 1.1f, 0.08f) *
                Band(p.angle, -0.9f, 0.9f, 0.1f);
    return MixColour(c, Harness, pad);
  });
  part.Attach(thighRegion, BoneThighL);
  part.Attach(thighRegion, BoneThighR);

  // Shins: white boots to mid-calf with a teal band, the suit above.
  const float shin = b.shin;
  int shinRegion = part.Add(Limb(shin, {0.78f, 0.85f, 0.95f, 1.05f, 1.0f}, 10),
                            {4, 68, 120, 80}, [shin](const SurfacePoint& p) {
    Vec3 c = Fabric(p, 13);
    float boot = SmoothStep(-shin * 0.5f + 0.1f, -shin * 0.5f - 0.1f, p.position.z);
    c = MixColour(c, MixColour(Boot, Vec3(0.8f, 0.8f, 0.78f), 0.3f * Grain(p, 16, 14)), boot);
    c = MixColour(c, Teal, Band(p.position.z, -shin * 0.5f - 0.6f, -shin * 0.5f, 0.04f));
    float pad = Band(p.position.z, -1.2f, 0.8f, 0.08f) * Band(p.angle, -0.9f, 0.9f, 0.1f);
    return MixColour(c, Harness, pad);
  });
  part.Attach(shinRegion, BoneShinL);
  part.Attach(shinRegion, BoneShinR);

  // Feet: white trainers-style boots with a dark sole and a teal toe cap.
  const float ankle = b.ankleHeight;
  Loft foot;
  foot.sides = 10;
  foot.power = 3.0f;
  struct Station {
    float x, halfHeight, halfWidth;
  };
  const Station stations[] = {{-1.35f, 0.75f, 0.72f}, {-0.6f, 1.1f, 0.82f}, {0.6f, 0.9f, 0.9f},
                              {1.9f, 0.62f, 0.88f},   {2.9f, 0.48f, 0.72f}};
  foot.rings.push_back({-1.5f, 0, 0, -ankle + 0.7f, 0});
  for (const Station& s : stations)
    foot.rings.push_back({s.x, s.halfHeight, s.halfWidth, -ankle + s.halfHeight, 0});
  foot.rings.push_back({3.15f, 0, 0, -ankle + 0.4f, 0});
  int footRegion = part.Add(foot, {132, 84, 120, 56}, [ankle](const SurfacePoint& p) {
    Vec3 c = MixColour(Boot, Vec3(0.78f, 0.78f, 0.76f), 0.3f * Grain(p, 12, 15));
    c = MixColour(c, Teal, SmoothStep(2.2f, 2.4f, p.position.z));
    // Loft x is height in the foot.
    float sole = SmoothStep(-ankle + 0.42f, -ankle + 0.3f, p.position.x);
    return MixColour(c, Sole, sole);
  }, AlongX());
  part.Attach(footRegion, BoneFootL);
  part.Attach(footRegion, BoneFootR);
}

void BuildUpper(Figure& f) {
  Part& part = f.upper;
  const Proportions& b = f.body;
  part.surface = "u_fidget";
  part.texture = "fidget_upper.tga";

  // Torso from inside the hips to the neck: narrow waist, a light chest, sloping shoulders.
  Loft torso;
  torso.sides = 12;
  torso.power = 2.5f;
  torso.rings = {{-2.6f, 0, 0},         {-2.4f, 1.8f, 2.5f},      {0.0f, 1.95f, 2.65f},
                 {2.4f, 2.05f, 2.75f},  {4.8f, 2.3f, 3.2f, 0.1f}, {6.8f, 2.45f, 3.55f, 0.2f},
                 {8.4f, 2.2f, 3.9f, 0.1f}, {9.5f, 1.6f, 3.2f},    {10.2f, 0.95f, 1.3f},
                 {10.5f, 0, 0}};
  int torsoRegion = part.Add(torso, {4, 4, 248, 120}, [](const SurfacePoint& p) {
    const float z = p.position.z, a = p.angle;
    Vec3 c = Fabric(p, 21);
    // Teal chest panel with a white zip down the middle.
    float panel = Band(z, 3.6f, 8.6f, 0.08f) * Band(a, -0.95f, 0.95f, 0.05f);
    c = MixColour(c, Teal, panel);
    c = MixColour(c, Stripe, Band(a, -0.035f, 0.035f, 0.015f) * Band(z, -2.0f, 9.9f));
    // Dark harness: two straps over the shoulders, a chest strap and the collar.
    float straps = std::max(Band(std::fabs(a), 0.5f, 0.68f, 0.03f),
                            Band(std::fabs(a), 2.45f, 2.63f, 0.03f));
    c = MixColour(c, Harness, straps * Band(z, 1.0f, 10.0f));
    c = MixColour(c, Harness, Band(z, 5.2f, 5.8f, 0.05f));
    c = MixColour(c, Teal, SmoothStep(9.55f, 9.75f, z));
    return c;
  });
  part.Attach(torsoRegion, BoneChest);

  const float upperArm = b.upperArm, forearm = b.forearm, hand = b.hand;
  int upperArmRegion = part.Add(Limb(upperArm, {0.82f, 0.92f, 1.05f, 1.15f}, 8),
                                {4, 132, 120, 56}, [](const SurfacePoint& p) {
    Vec3 c = Fabric(p, 22);
    return MixColour(c, Teal, SmoothStep(-1.2f, -1.0f, p.position.z));
  });
  part.Attach(upperArmRegion, BoneUpperArmL);
  part.Attach(upperArmRegion, BoneUpperArmR);

  int forearmRegion = part.Add(Limb(forearm, {0.62f, 0.72f, 0.85f, 0.88f}, 8),
                               {132, 132, 120, 56}, [forearm](const SurfacePoint& p) {
    Vec3 c = Fabric(p, 23);
    return MixColour(c, Glove, SmoothStep(-forearm + 1.1f, -forearm + 0.9f, p.position.z));
  });
  part.Attach(forearmRegion, BoneForearmL);
  part.Attach(forearmRegion, BoneForearmR);

  Loft fist = Limb(hand, {0.62f, 0.7f, 0.6f}, 8, 1.2f);
  int handRegion = part.Add(fist, {4, 196, 56, 56}, [hand](const SurfacePoint& p) {
    Vec3 c = MixColour(Glove, Vec3(0.12f, 0.12f, 0.14f), 0.4f * Grain(p, 10, 24));
    return MixColour(c, Vec3(0.4f, 0.41f, 0.45f),
                     Band(p.position.z, -hand * 0.75f, -hand * 0.55f) * Band(p.angle, -1.2f, 1.2f));
  });
  part.Attach(handRegion, BoneHandL);
  part.Attach(handRegion, BoneHandR);
}

void BuildHead(Figure& f) {
  Part& part = f.head;
  part.surface = "h_fidget";
  part.texture = "fidget_head.tga";
  const float centre = 3.05f, rz = 2.75f;

  Loft skull = Blob(centre - rz, centre + rz, 2.35f, 2.05f, 12, 10, 0.1f);
  for (Ring& r : skull.rings) {
    if (r.z < centre) {  // a narrower jaw, a little forward
      r.ry *= 0.84f;
      r.cx += 0.15f;
    }
  }
  int skullRegion = part.Add(skull, {4, 4, 248, 150}, [centre, rz](const SurfacePoint& p) {
    const float zr = (p.position.z - centre) / rz, a = p.angle;
    const float front = std::cos(a);
    Vec3 c = MixColour(Skin, Vec3(0.86f, 0.6f, 0.5f), 0.2f * Grain(p, 20, 31));
    c = MixColour(c, Vec3(0.96f, 0.62f, 0.55f),
                  0.35f * Band(zr, -0.3f, -0.05f, 0.08f) * Band(std::fabs(a), 0.45f, 0.8f, 0.1f));
    for (float side : {-1.0f, 1.0f}) {
      float da = (a - side * 0.4f) / 0.16f, dz = (zr - 0.1f) / 0.075f;
      float eye = 1.0f - SmoothStep(0.8f, 1.0f, da * da + dz * dz);
      float iris = 1.0f - SmoothStep(0.25f, 0.4f, ((a - side * 0.38f) / 0.16f) * ((a - side * 0.38f) / 0.16f) + dz * dz);
      c = MixColour(c, Vec3(0.95f, 0.95f, 0.92f), eye);
      c = MixColour(c, Vec3(0.15f, 0.45f, 0.3f), eye * iris);
      c = MixColour(c, Vec3(0.25f, 0.12f, 0.08f), eye * SmoothStep(0.12f, 0.16f, zr));
      float brow = Band(zr, 0.25f, 0.31f, 0.015f) * Band(a * side, 0.22f, 0.62f, 0.04f);
      c = MixColour(c, Hair * 0.8f, brow);
    }
    float mouth = Band(zr, -0.45f, -0.34f, 0.02f) * Band(a, -0.2f, 0.2f, 0.04f);
    c = MixColour(c, Vec3(0.78f, 0.38f, 0.36f), mouth);
    c = MixColour(c, Vec3(0.45f, 0.18f, 0.16f), Band(zr, -0.405f, -0.385f, 0.01f) * Band(a, -0.19f, 0.19f));
    // Hair: high at the front, down to the nape at the back.
    float hairline = LerpF(-0.6f, 0.46f, 0.5f + 0.5f * front);
    float hair = SmoothStep(hairline - 0.03f, hairline + 0.03f, zr);
    c = MixColour(c, MixColour(Hair, Vec3(0.35f, 0.1f, 0.04f), 0.6f * Grain(p, 40, 32)), hair);
    // Goggles pushed up on the forehead: a dark strap and two yellow lenses at the front.
    float strap = Band(zr, 0.5f, 0.64f, 0.02f);
    c = MixColour(c, Harness, strap);
    for (float side : {-1.0f, 1.0f}) {
      float da = (a - side * 0.33f) / 0.22f, dz = (zr - 0.57f) / 0.1f;
      float lens = 1.0f - SmoothStep(0.75f, 1.0f, da * da + dz * dz);
      c = MixColour(c, Lens, lens);
    }
    return c;
  });
  part.Attach(skullRegion, BoneHead);

  // Neck, from inside the collar into the skull.
  int neckRegion = part.Add(Limb(2.2f, {0.85f, 0.8f}, 8), {4, 160, 120, 40},
                            [](const SurfacePoint& p) {
    return MixColour(Skin, Vec3(0.85f, 0.62f, 0.5f), 0.2f * Grain(p, 10, 33));
  }, Translate(Vec3(0, 0, 1.4f)));
  part.Attach(neckRegion, BoneHead);

  // Nose and ears.
  int noseRegion = part.Add(Blob(-0.2f, 0.75f, 0.32f, 0.26f, 6, 5), {132, 160, 56, 40},
                            [](const SurfacePoint&) { return Skin; },
                            Translate(Vec3(2.3f, 0, centre - 0.25f)) * AlongX());
  part.Attach(noseRegion, BoneHead);
  Loft ear = Blob(-0.55f, 0.55f, 0.35f, 0.2f, 6, 5);
  int earRegion = part.Add(ear, {196, 160, 56, 40},
                           [](const SurfacePoint&) { return Vec3(0.92f, 0.68f, 0.56f); });
  part.Attach(earRegion, BoneHead, Translate(Vec3(-0.1f, 1.95f, centre + 0.05f)));
  part.Attach(earRegion, BoneHead, Translate(Vec3(-0.1f, -1.95f, centre + 0.05f)));

  // Spiky hair volume over the top and back.
  Loft tuft = Blob(centre - 0.6f, centre + rz + 0.55f, 2.35f, 2.15f, 10, 7, -0.35f);
  for (size_t i = 0; i < tuft.rings.size(); ++i) tuft.rings[i].ry *= (i % 2) ? 1.0f : 0.92f;
  int tuftRegion = part.Add(tuft, {132, 204, 120, 48}, [](const SurfacePoint& p) {
    return MixColour(Hair, Vec3(0.35f, 0.1f, 0.04f), 0.7f * Grain(p, 30, 34));
  });
  part.Attach(tuftRegion, BoneHead);
}

}  // namespace

Figure MakeFidget() {
  Figure f;
  f.name = "fidget";
  Proportions& b = f.body;
  b.ankleHeight = 1.8f;
  b.shin = 9.0f;
  b.thigh = 9.0f;
  b.hipHalfWidth = 1.9f;
  b.waistUp = 2.4f;
  b.shoulderUp = 8.7f;
  b.shoulderHalfWidth = 3.9f;
  b.neckUp = 10.0f;
  b.upperArm = 7.0f;
  b.forearm = 5.6f;
  b.hand = 2.2f;
  b.foregrip = LauncherForegrip();
  // Light on her feet: a longer, springier stride.
  f.gait.stride = 1.05f;
  f.gait.bounce = 1.15f;
  f.gait.grip = Vec3(3.6f, -3.2f, 3.8f);
  f.gait.blade = 11;
  BuildLower(f);
  BuildUpper(f);
  BuildHead(f);
  return f;
}
