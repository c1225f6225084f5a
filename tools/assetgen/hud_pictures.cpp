// Builds the held rifle and grenade launcher as small meshes, renders each once for its
// colour layer and silhouette mask, and paints the night-vision goggle layers.
#include "tools/assetgen/hud_pictures.h"

#include <cmath>

#include "tools/assetgen/mesh.h"
#include "tools/assetgen/picture.h"

namespace {

RenderSettings WeaponLighting() {
  RenderSettings s;
  s.width = HudWidth;
  s.height = HudHeight;
  s.focal = 720;
  // A warm key light from the upper left behind the viewer and a cool fill from the right.
  Light key;
  key.colour = Vec3(3.2f, 2.95f, 2.6f);
  key.positional = true;  // close by, so flat faces get a gentle fall-off
  key.position = Vec3(-0.35f, 0.35f, 0.05f);
  key.range = 0.55f;
  s.lights.push_back(key);
  Light fill;
  fill.towardLight = Normalize(Vec3(0.7f, 0.15f, -0.3f));
  fill.colour = Vec3(0.3f, 0.34f, 0.42f);
  s.lights.push_back(fill);
  return s;
}

int GloveMaterial(Mesh& m) { return m.AddMaterial({Vec3(0.16f, 0.13f, 0.10f), 0.3f, 18, 0.10f}); }
int SleeveMaterial(Mesh& m) { return m.AddMaterial({Vec3(0.24f, 0.26f, 0.17f), 0.05f, 6, 0.35f}); }

// The supporting left hand under the handguard: palm below, thumb along the near side,
// fingers curled round the far side with their tips showing over the top, and the arm.
void AddRifleHand(Mesh& m) {
  int glove = GloveMaterial(m), sleeve = SleeveMaterial(m);
  m.AddBox(glove, Vec3(-0.032f, -0.066f, 0.19f), Vec3(0.03f, -0.034f, 0.29f), 0.014f);
  m.AddLimb(glove, {{-0.03f, -0.056f, 0.195f}, {-0.036f, -0.042f, 0.222f}, {-0.034f, -0.032f, 0.248f}},
            0.0115f, 0.009f);
  for (int i = 0; i < 4; ++i) {
    float z = 0.204f + i * 0.0245f;
    float r = i == 3 ? 0.0085f : 0.0098f;
    m.AddLimb(glove, {{0.018f, -0.058f, z}, {0.037f, -0.036f, z}, {0.039f, -0.004f, z + 0.002f},
                      {0.031f, 0.022f, z + 0.004f}, {0.016f, 0.036f, z + 0.004f}},
              r, r * 0.85f);
  }
  m.AddLimb(glove, {{-0.004f, -0.07f, 0.215f}, {-0.045f, -0.125f, 0.14f}}, 0.029f, 0.034f);
  m.AddLimb(sleeve, {{-0.045f, -0.125f, 0.14f}, {-0.21f, -0.36f, -0.10f}}, 0.046f, 0.058f);
}

// A bullpup assault rifle with a long carry handle.
Mesh BuildRifle() {
  Mesh m;
  int polymer = m.AddMaterial({Vec3(0.17f, 0.18f, 0.17f), 0.2f, 14, 0.18f});
  int grip = m.AddMaterial({Vec3(0.09f, 0.095f, 0.09f), 0.10f, 10, 0.35f});
  int metal = m.AddMaterial({Vec3(0.17f, 0.17f, 0.18f), 0.75f, 60, 0.0f});
  int dark = m.AddMaterial({Vec3(0.04f, 0.04f, 0.04f), 0.05f, 8, 0.0f});
  int magazine = m.AddMaterial({Vec3(0.20f, 0.20f, 0.21f), 0.45f, 30, 0.05f});

  // Stock and receiver in one moulding.
  m.AddSlab(polymer, {{-0.455f, -0.02f}, {-0.45f, -0.085f}, {-0.40f, -0.095f}, {-0.30f, -0.07f},
                      {-0.18f, -0.045f}, {-0.08f, -0.04f}, {0.05f, -0.035f}, {0.12f, -0.032f},
                      {0.15f, -0.012f}, {0.15f, 0.045f}, {0.0f, 0.06f}, {-0.30f, 0.062f},
                      {-0.40f, 0.06f}, {-0.445f, 0.05f}},
            -0.027f, 0.027f, 0.007f);
  m.AddSlab(dark, {{-0.475f, -0.03f}, {-0.47f, -0.092f}, {-0.45f, -0.097f}, {-0.45f, 0.055f},
                   {-0.47f, 0.052f}},
            -0.029f, 0.029f, 0.004f);
  // A raised rib along the receiver side, pins and the selector.
  m.AddSlab(polymer, {{-0.26f, 0.005f}, {0.13f, 0.01f}, {0.13f, 0.028f}, {-0.26f, 0.026f}}, -0.031f,
            -0.02f, 0.003f);
  for (float z : {-0.2f, -0.05f, 0.1f}) {
    Frame across;
    across.axisZ = Vec3(-1, 0, 0);
    across.axisX = Vec3(0, 0, 1);
    across.origin = Vec3(0, -0.012f, z);
    m.AddTube(metal, 0, 0, 0.0f, 0.0285f, 0.0045f, 0.0045f, 12, across);
  }
  m.AddBox(metal, Vec3(-0.031f, -0.028f, 0.015f), Vec3(-0.026f, -0.018f, 0.05f), 0.002f);
  // Cheek piece, slightly proud of the left side.
  m.AddSlab(polymer, {{-0.42f, -0.035f}, {-0.27f, -0.03f}, {-0.25f, 0.03f}, {-0.30f, 0.05f},
                      {-0.41f, 0.048f}},
            -0.032f, -0.02f, 0.004f);
  // Handguard with ventilation slots and the folded bipod legs along its sides.
  m.AddSlab(polymer, {{0.14f, -0.036f}, {0.33f, -0.026f}, {0.345f, -0.012f}, {0.345f, 0.022f},
                      {0.33f, 0.032f}, {0.14f, 0.042f}},
            -0.024f, 0.024f, 0.008f);
  for (int i = 0; i < 4; ++i) {
    float z = 0.185f + i * 0.035f;
    m.AddBox(dark, Vec3(-0.0252f, -0.002f, z), Vec3(0.0252f, 0.018f, z + 0.018f), 0.002f);
  }
  for (float x : {-0.029f, 0.029f}) {
    m.AddBar(metal, {{0.15f, -0.018f}, {0.34f, -0.008f}}, x, 0.0045f);
  }
  // Barrel, front sight ring and the flash hider with its grenade rings.
  m.AddTube(metal, 0, 0.006f, 0.33f, 0.56f, 0.0095f, 0.0095f, 28);
  m.AddTube(metal, 0, 0.006f, 0.40f, 0.416f, 0.0145f, 0.0145f, 28);
  m.AddTube(metal, 0, 0.006f, 0.515f, 0.58f, 0.0122f, 0.0115f, 28);
  m.AddTube(metal, 0, 0.006f, 0.528f, 0.536f, 0.0138f, 0.0138f, 28);
  m.AddTube(metal, 0, 0.006f, 0.548f, 0.556f, 0.0138f, 0.0138f, 28);
  m.AddTube(dark, 0, 0.006f, 0.5801f, 0.5802f, 0.0075f, 0.0075f, 16);  // bore
  // Carry handle: top bar on two posts, sights at both ends.
  m.AddBox(polymer, Vec3(-0.0145f, 0.104f, -0.21f), Vec3(0.0145f, 0.126f, 0.175f), 0.006f);
  m.AddSlab(polymer, {{0.09f, 0.04f}, {0.17f, 0.04f}, {0.185f, 0.12f}, {0.13f, 0.12f}},
            -0.013f, 0.013f, 0.004f);
  m.AddSlab(polymer, {{-0.25f, 0.055f}, {-0.13f, 0.058f}, {-0.16f, 0.12f}, {-0.22f, 0.12f}},
            -0.013f, 0.013f, 0.004f);
  m.AddBox(metal, Vec3(-0.004f, 0.126f, 0.155f), Vec3(0.004f, 0.142f, 0.165f), 0.001f);
  m.AddBox(metal, Vec3(-0.011f, 0.126f, -0.20f), Vec3(0.011f, 0.140f, -0.17f), 0.003f);
  // Cocking handle under the carry handle.
  m.AddBox(metal, Vec3(-0.008f, 0.06f, -0.03f), Vec3(0.008f, 0.09f, 0.0f), 0.003f);
  // Pistol grip, full-hand trigger guard and trigger.
  m.AddSlab(grip, {{0.015f, -0.03f}, {0.075f, -0.03f}, {0.055f, -0.155f}, {0.005f, -0.16f},
                   {-0.008f, -0.145f}},
            -0.017f, 0.017f, 0.007f);
  m.AddBar(polymer, {{0.135f, -0.03f}, {0.135f, -0.085f}, {0.11f, -0.135f}, {0.055f, -0.158f}},
           0, 0.0065f);
  m.AddBar(metal, {{0.092f, -0.034f}, {0.097f, -0.06f}, {0.09f, -0.078f}}, 0, 0.0035f);
  // Curved magazine behind the grip.
  m.AddSlab(magazine, {{-0.17f, -0.035f}, {-0.095f, -0.035f}, {-0.082f, -0.12f}, {-0.08f, -0.215f},
                       {-0.15f, -0.225f}, {-0.16f, -0.13f}},
            -0.0125f, 0.0125f, 0.004f);
  AddRifleHand(m);
  return m;
}

// The supporting left hand round the vertical foregrip: the back of the hand on the near
// side, fingers wrapped round the front, the thumb over the top, and the arm.
void AddLauncherHand(Mesh& m) {
  int glove = GloveMaterial(m), sleeve = SleeveMaterial(m);
  m.AddBox(glove, Vec3(-0.046f, -0.125f, 0.215f), Vec3(-0.016f, -0.03f, 0.285f), 0.013f);
  for (int i = 0; i < 4; ++i) {
    float y = -0.04f - i * 0.024f;
    float r = i == 3 ? 0.0092f : 0.0105f;
    m.AddLimb(glove, {{-0.032f, y, 0.28f}, {-0.018f, y, 0.302f}, {0.006f, y - 0.002f, 0.306f},
                      {0.024f, y - 0.004f, 0.29f}},
              r, r * 0.85f);
  }
  m.AddLimb(glove, {{-0.036f, -0.03f, 0.225f}, {-0.03f, -0.016f, 0.25f}, {-0.015f, -0.012f, 0.27f}},
            0.012f, 0.0100f);
  m.AddLimb(glove, {{-0.034f, -0.09f, 0.22f}, {-0.075f, -0.15f, 0.15f}}, 0.03f, 0.035f);
  m.AddLimb(sleeve, {{-0.075f, -0.15f, 0.15f}, {-0.24f, -0.38f, -0.10f}}, 0.047f, 0.058f);
}

// A chunky six-shot revolving grenade launcher.
Mesh BuildLauncher() {
  Mesh m;
  int olive = m.AddMaterial({Vec3(0.21f, 0.23f, 0.14f), 0.22f, 14, 0.12f});
  int grip = m.AddMaterial({Vec3(0.10f, 0.11f, 0.08f), 0.10f, 10, 0.35f});
  int metal = m.AddMaterial({Vec3(0.15f, 0.15f, 0.16f), 0.70f, 50, 0.0f});
  int drum = m.AddMaterial({Vec3(0.18f, 0.18f, 0.17f), 0.55f, 36, 0.03f});
  int dark = m.AddMaterial({Vec3(0.03f, 0.03f, 0.03f), 0.05f, 8, 0.0f});
  const float pi = 3.14159265f;

  // Revolving drum: a core with six chamber bulges and two plates.
  m.AddTube(drum, 0, 0, -0.10f, 0.06f, 0.056f, 0.056f, 40);
  for (int i = 0; i < 6; ++i) {
    float a = pi / 2 + i * pi / 3;
    m.AddTube(drum, 0.047f * std::cos(a), 0.047f * std::sin(a), -0.095f, 0.055f, 0.024f, 0.024f, 24);
  }
  m.AddTube(metal, 0, 0, -0.112f, -0.10f, 0.066f, 0.066f, 40);
  m.AddTube(metal, 0, 0, 0.06f, 0.072f, 0.066f, 0.066f, 40);
  m.AddTube(metal, 0, 0, 0.072f, 0.09f, 0.012f, 0.012f, 16);  // axis pin
  // Frame: top and bottom straps and the rear plate.
  m.AddBox(olive, Vec3(-0.018f, 0.072f, -0.15f), Vec3(0.018f, 0.092f, 0.11f), 0.006f);
  m.AddBox(olive, Vec3(-0.016f, -0.09f, -0.15f), Vec3(0.016f, -0.07f, 0.11f), 0.006f);
  m.AddSlab(olive, {{-0.16f, -0.09f}, {-0.112f, -0.09f}, {-0.112f, 0.092f}, {-0.16f, 0.092f}},
            -0.036f, 0.036f, 0.01f);
  // Big barrel with a muzzle ring, under a ribbed handguard.
  m.AddTube(metal, 0, 0.047f, 0.072f, 0.40f, 0.031f, 0.031f, 36);
  m.AddTube(metal, 0, 0.047f, 0.37f, 0.405f, 0.035f, 0.035f, 36);
  m.AddTube(dark, 0, 0.047f, 0.4051f, 0.4052f, 0.027f, 0.027f, 24);
  m.AddBox(olive, Vec3(-0.04f, -0.02f, 0.11f), Vec3(0.04f, 0.05f, 0.31f), 0.012f);
  for (int i = 0; i < 5; ++i) {
    float z = 0.13f + i * 0.035f;
    m.AddBox(dark, Vec3(-0.0405f, 0.0f, z), Vec3(0.0405f, 0.03f, z + 0.015f), 0.003f);
  }
  // Vertical foregrip.
  m.AddSlab(grip, {{0.23f, -0.02f}, {0.29f, -0.02f}, {0.285f, -0.14f}, {0.24f, -0.145f}},
            -0.018f, 0.018f, 0.008f);
  // Pistol grip and trigger guard behind the drum.
  m.AddSlab(grip, {{-0.16f, -0.085f}, {-0.105f, -0.085f}, {-0.12f, -0.20f}, {-0.17f, -0.205f},
                   {-0.175f, -0.19f}},
            -0.02f, 0.02f, 0.008f);
  m.AddBar(olive, {{-0.05f, -0.09f}, {-0.05f, -0.13f}, {-0.075f, -0.155f}, {-0.115f, -0.16f}}, 0,
           0.007f);
  m.AddBar(metal, {{-0.085f, -0.09f}, {-0.08f, -0.115f}, {-0.088f, -0.13f}}, 0, 0.004f);
  // Folding stock: two rods and a butt plate.
  for (float x : {-0.022f, 0.022f}) m.AddBar(metal, {{-0.16f, 0.04f}, {-0.46f, 0.02f}}, x, 0.008f);
  m.AddSlab(grip, {{-0.48f, -0.10f}, {-0.455f, -0.10f}, {-0.455f, 0.06f}, {-0.48f, 0.06f}},
            -0.035f, 0.035f, 0.01f);
  // Ladder sight on the top strap.
  m.AddSlab(metal, {{0.0f, 0.092f}, {0.07f, 0.092f}, {0.06f, 0.15f}, {0.045f, 0.15f}}, -0.014f,
            -0.008f, 0.002f);
  m.AddSlab(metal, {{0.0f, 0.092f}, {0.07f, 0.092f}, {0.06f, 0.15f}, {0.045f, 0.15f}}, 0.008f,
            0.014f, 0.002f);
  m.AddBox(metal, Vec3(-0.014f, 0.14f, 0.045f), Vec3(0.014f, 0.15f, 0.06f), 0.002f);
  AddLauncherHand(m);
  return m;
}

// Where the weapon sits in front of the eye: lower right, muzzle toward the screen centre.
Frame HeldFrame(Vec3 origin, float pitch, float yaw, float roll) {
  Frame f;
  f.origin = origin;
  return Rotated(f, pitch, yaw, roll);
}

bool WriteWeapon(const std::string& dir, const char* colourName, const char* maskName,
                 const Mesh& mesh, const Frame& frame) {
  Picture colour, coverage;
  RenderMesh(mesh, frame, WeaponLighting(), &colour, &coverage);
  Picture mask(colour.width, colour.height);
  for (size_t i = 0; i < mask.rgb.size(); ++i) mask.rgb[i] = 1.0f - coverage.rgb[i];
  return WriteFileBytes(dir + "/" + colourName, EncodeBmp24(colour)) &&
         WriteFileBytes(dir + "/" + maskName, EncodeBmp24(mask));
}

// Two overlapping goggle tubes side by side; the mask is 1 inside them with a soft,
// darkening rim, 0 outside.
float GoggleOpening(float x, float y) {
  const float radius = 330, cy = 384, cxLeft = 512 - 215, cxRight = 512 + 215;
  float dl = std::hypot(x - cxLeft, y - cy), dr = std::hypot(x - cxRight, y - cy);
  float d = std::min(dl, dr);
  float edge = 1.0f - SmoothStep(radius - 3, radius + 1, d);  // anti-aliased tube edge
  float vignette = 0.55f + 0.45f * (1.0f - SmoothStep(radius * 0.72f, radius, d));
  return edge * vignette;
}

bool WriteNightVision(const std::string& dir) {
  Picture mask(HudWidth, HudHeight), glow(HudWidth, HudHeight);
  Rng grain(0x6E76u);
  for (int y = 0; y < HudHeight; ++y) {
    // Fine scan lines every 4 rows and a few slow, brighter bands.
    float scan = (y % 4 == 0) ? 0.55f : 1.0f;
    float band = 0.0f;
    for (float c : {150.0f, 410.0f, 600.0f}) band += std::exp(-std::pow((y - c) / 5.0f, 2.0f));
    for (int x = 0; x < HudWidth; ++x) {
      float open = 0;
      // 2 x 2 samples per pixel for a clean rim.
      for (int s = 0; s < 4; ++s) open += GoggleOpening(x + 0.25f + 0.5f * (s & 1), y + 0.25f + 0.5f * (s >> 1));
      open *= 0.25f;
      float* m = mask.At(x, y);
      m[0] = m[1] = m[2] = open;
      float centre = std::exp(-(std::pow((x - 512.0f) / 420.0f, 2.0f) + std::pow((y - 384.0f) / 300.0f, 2.0f)));
      float g = (0.045f + 0.075f * centre) * scan + 0.05f * band + 0.025f * grain.Unit();
      g *= open > 0 ? std::min(1.0f, open * 1.8f) : 0.0f;
      float* c = glow.At(x, y);
      c[0] = g * 0.25f;
      c[1] = g;
      c[2] = g * 0.3f;
    }
  }
  return WriteFileBytes(dir + "/hud-nightvision1.bmp", EncodeBmp24(mask)) &&
         WriteFileBytes(dir + "/hud-nightvision2.bmp", EncodeBmp24(glow));
}

}  // namespace

bool WriteHudPictures(const std::string& dir) {
  bool ok = WriteWeapon(dir, "hud-famas1.bmp", "hud-famas2.bmp", BuildRifle(),
                        HeldFrame(Vec3(0.16f, -0.20f, 0.50f), 3, -16, 10));
  ok = WriteWeapon(dir, "hud-launcher1.bmp", "hud-launcher2.bmp", BuildLauncher(),
                   HeldFrame(Vec3(0.15f, -0.19f, 0.44f), 3, -16, 10)) && ok;
  return WriteNightVision(dir) && ok;
}
