// The navigation test level: rooms at three heights, stairs, a ramp, a narrow door, a pillar
// and a pit, as brushes for LevelBuilder or as levelc map source.
#include "support/nav_level.h"

#include <cmath>
#include <cstdio>

#include "core/level.h"
#include "support/level_builder.h"

namespace {

constexpr float Bottom = -232, Top = 332;     // the level's solid reaches
constexpr float Ceiling = 300;                // the underside of the ceiling
constexpr float CopyPitch = 1600;             // x distance between copies

void Box(std::vector<NavLevelBrush>* out, float x0, float y0, float z0, float x1, float y1, float z1) {
  NavLevelBrush b;
  b.min = Vec3(x0, y0, z0);
  b.max = Vec3(x1, y1, z1);
  out->push_back(b);
}

void OneCopy(std::vector<NavLevelBrush>* out) {
  using L = NavLevelLayout;
  // Shell: outer walls and the ceiling.
  Box(out, -32, Bottom, -32, 0, Top, 1232);
  Box(out, 1400, Bottom, -32, 1432, Top, 1232);
  Box(out, 0, Bottom, -32, 1400, Top, 0);
  Box(out, 0, Bottom, 1200, 1400, Top, 1232);
  Box(out, 0, Ceiling, 0, 1400, Top, 1200);
  // Room A with its pillar.
  Box(out, 0, Bottom, 0, 600, L::RoomA, 600);
  Box(out, 250, L::RoomA, 250, 314, Ceiling, 314);
  // Walls between A and B beside the stairs; the stairs (six steps of 16) up to B.
  Box(out, 0, Bottom, 600, 200, Ceiling, 800);
  Box(out, 400, Bottom, 600, 600, Ceiling, 800);
  Box(out, 200, Bottom, 600, 400, L::RoomA, 800);
  for (int k = 1; k <= 6; ++k) Box(out, 200, Bottom, 608 + (k - 1) * 32.0f, 400, 16.0f * k, 800);
  Box(out, 0, Bottom, 800, 600, L::RoomB, 1200);
  // Solid east of A and B, except the ramp corridor (z 200..400) down to C.
  Box(out, 600, Bottom, 0, 800, Ceiling, 200);
  Box(out, 600, Bottom, 400, 800, Ceiling, 1200);
  NavLevelBrush ramp;
  ramp.min = Vec3(600, Bottom, 200);
  ramp.max = Vec3(800, L::RoomA, 400);
  ramp.cut = true;
  const float slope = (L::RoomA - L::RoomC) / 200.0f;  // drop per unit of x
  ramp.cutNormal = Normalize(Vec3(slope, 1, 0));
  ramp.cutDistance = Dot(ramp.cutNormal, Vec3(600, L::RoomA, 0));
  out->push_back(ramp);
  // Room C with the pit (x 1200..1328, z 100..228).
  Box(out, 800, Bottom, 0, 1200, L::RoomC, 600);
  Box(out, 1328, Bottom, 0, 1400, L::RoomC, 600);
  Box(out, 1200, Bottom, 0, 1328, L::RoomC, 100);
  Box(out, 1200, Bottom, 228, 1328, L::RoomC, 600);
  Box(out, 1200, Bottom, 100, 1328, L::PitFloor, 228);
  // The wall between C and D with its narrow door, and room D.
  const float door0 = 1080, door1 = door0 + L::DoorWidth;
  Box(out, 800, Bottom, 600, door0, Ceiling, 640);
  Box(out, door1, Bottom, 600, 1400, Ceiling, 640);
  Box(out, door0, Bottom, 600, door1, L::RoomC, 640);
  Box(out, 800, Bottom, 640, 1400, L::RoomC, 1200);
}

BspPlane FilePlane(Vec3 worldNormal, float distance) {
  const Vec3 n = WorldToFile(worldNormal);
  return BspPlane{{n.x, n.y, n.z}, distance};
}

}  // namespace

std::vector<NavLevelBrush> NavLevelBrushes(int copies) {
  std::vector<NavLevelBrush> all;
  for (int c = 0; c < copies; ++c) {
    std::vector<NavLevelBrush> one;
    OneCopy(&one);
    const Vec3 shift(c * CopyPitch, 0, 0);
    for (NavLevelBrush& b : one) {
      b.min = b.min + shift;
      b.max = b.max + shift;
      b.cutDistance += Dot(b.cutNormal, shift);
      all.push_back(b);
    }
  }
  return all;
}

std::vector<uint8_t> NavLevelFile(int copies) {
  LevelBuilder builder;
  for (const NavLevelBrush& b : NavLevelBrushes(copies)) {
    if (!b.cut) {
      builder.AddWorldBox(b.min, b.max);
      continue;
    }
    builder.AddBrush({FilePlane(Vec3(-1, 0, 0), -b.min.x), FilePlane(Vec3(1, 0, 0), b.max.x),
                      FilePlane(Vec3(0, -1, 0), -b.min.y), FilePlane(Vec3(0, 1, 0), b.max.y),
                      FilePlane(Vec3(0, 0, -1), -b.min.z), FilePlane(Vec3(0, 0, 1), b.max.z),
                      FilePlane(b.cutNormal, b.cutDistance)});
  }
  return builder.BuildFile();
}

bool LoadNavLevel(Level* level, int copies, std::string* error) {
  const std::vector<uint8_t> file = NavLevelFile(copies);
  std::string reason;
  if (level->Parse(file.data(), file.size(), &reason)) return true;
  if (error) *error = reason;
  return false;
}

std::string NavLevelMapSource(const std::string& texture) {
  std::string text =
      "# The bots' navigation test level, written by NavLevelMapSource (tests/support/nav_level.cpp):\n"
      "# rooms at three heights, stairs, a ramp, a narrow door, a pillar, a pit, a booth for the player.\n"
      "ambient 0.6 0.6 0.6\nmaterial rock " + texture + " 128\n";
  char line[256];
  for (const NavLevelBrush& b : NavLevelBrushes()) {
    if (!b.cut) {
      std::snprintf(line, sizeof line, "box rock %g %g %g %g %g %g\n", b.min.x, b.min.y, b.min.z, b.max.x,
                    b.max.y, b.max.z);
      text += line;
      continue;
    }
    std::snprintf(line, sizeof line, "brush rock\nbounds %g %g %g %g %g %g\nplane %.6f %.6f %.6f %.6f\nend\n",
                  b.min.x, b.min.y, b.min.z, b.max.x, b.max.y, b.max.z, b.cutNormal.x, b.cutNormal.y,
                  b.cutNormal.z, b.cutDistance);
    text += line;
  }
  // A sealed booth behind room A's west wall (x -232..-32, z 0..200) for the player: no bot
  // sees in, and a player who turns collision off walks east into room A.
  const char* booth[] = {"box rock -264 -232 -32 -32 0 232\n", "box rock -264 -232 -32 -232 332 232\n",
                         "box rock -232 -232 -32 -32 332 0\n", "box rock -232 -232 200 -32 332 232\n",
                         "box rock -232 300 0 -32 332 200\n"};
  for (const char* b : booth) text += b;
  text += "light -132 200 100 1 1 1 400\n";
  // Player starts (file coordinates, z up): the player's in the booth, facing east, then one
  // in room B and one in room D for the bots.
  const char* origins[3] = {"-132 -100 60", "300 -1000 156", "1100 -1000 -4"};
  for (const char* origin : origins) {
    text += "entity {\nentity \"classname\" \"info_player_deathmatch\"\n";
    text += std::string("entity \"origin\" \"") + origin + "\"\nentity }\n";
  }
  text += "light 300 200 300 1 1 1 900\nlight 1100 200 300 1 1 1 900\nlight 300 250 1000 1 1 1 900\n"
          "light 1100 200 900 1 1 1 900\n";
  return text;
}

bool InNavLevelPit(Vec3 p) { return p.x > 1200 && p.x < 1328 && p.z > 100 && p.z < 228; }
