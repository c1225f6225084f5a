// The large open arena for the frame benchmark and the tracer's tests.
#include "support/arena_level.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

#include "support/face_types_level.h"

namespace {

constexpr float A = ArenaHalf;
constexpr float Top = ArenaHeight;
constexpr int Cells = 20;                    // props on a Cells x Cells grid
constexpr float CellSize = 2 * A / (Cells + 1);

enum Picture { Floor, Wall, Crate, Curve, Sky, PictureCount };
const char* const TextureNames[PictureCount] = {"textures/arena/floor", "textures/arena/wall", "textures/arena/crate",
                                                "textures/arena/curve", "textures/arena/sky"};

struct Arena {
  LevelBuilder builder;
  int textures[PictureCount] = {};
  int lightmaps[4] = {};
  unsigned seed = 2024;

  unsigned Next() { return (seed = seed * 1103515245u + 12345u) >> 16; }
  float Between(float lo, float hi) { return lo + (hi - lo) * static_cast<float>(Next() % 1000) / 999.0f; }
  int Lightmap() { return lightmaps[Next() % 4]; }

  // A face seen from the side `towards` points to: the game draws faces wound clockwise seen
  // from the front.
  void Face(std::vector<Vec3> corners, Vec3 towards, int picture) {
    if (Dot(Cross(corners[1] - corners[0], corners[2] - corners[0]), towards) > 0) {
      std::swap(corners[1], corners[3]);
    }
    builder.AddWorldFace(corners, textures[picture], Lightmap());
  }

  // A solid block with faces on its top and four sides (its bottom stands on something).
  void Block(Vec3 lo, Vec3 hi, int picture) {
    builder.AddWorldBox(lo, hi);
    Face({Vec3(lo.x, hi.y, lo.z), Vec3(hi.x, hi.y, lo.z), Vec3(hi.x, hi.y, hi.z), Vec3(lo.x, hi.y, hi.z)},
         Vec3(0, 1, 0), picture);
    Face({Vec3(lo.x, lo.y, lo.z), Vec3(lo.x, hi.y, lo.z), Vec3(lo.x, hi.y, hi.z), Vec3(lo.x, lo.y, hi.z)},
         Vec3(-1, 0, 0), picture);
    Face({Vec3(hi.x, lo.y, lo.z), Vec3(hi.x, hi.y, lo.z), Vec3(hi.x, hi.y, hi.z), Vec3(hi.x, lo.y, hi.z)},
         Vec3(1, 0, 0), picture);
    Face({Vec3(lo.x, lo.y, lo.z), Vec3(hi.x, lo.y, lo.z), Vec3(hi.x, hi.y, lo.z), Vec3(lo.x, hi.y, lo.z)},
         Vec3(0, 0, -1), picture);
    Face({Vec3(lo.x, lo.y, hi.z), Vec3(hi.x, lo.y, hi.z), Vec3(hi.x, hi.y, hi.z), Vec3(lo.x, hi.y, hi.z)},
         Vec3(0, 0, 1), picture);
  }

  // A 3 x 3 patch of the curve picture from its control points (world, row by row).
  void Patch(const std::vector<Vec3>& controls, Vec3 normal) {
    std::vector<BspVertex> vertices;
    for (const Vec3& p : controls) {
      vertices.push_back(WorldVertex(p, normal, (p.x + p.z) / 128, p.y / 128));
      vertices.back().lightmapCoord[0] = (p.x + A) / (2 * A);
      vertices.back().lightmapCoord[1] = (p.z + A) / (2 * A);
    }
    builder.AddRawFace(FaceTypePatch, vertices, {}, textures[Curve], Lightmap(), 3, 3);
  }

  // A mound rising to `height` in the middle of a square of half size `r`.
  void Mound(float x, float z, float r, float height) {
    std::vector<Vec3> c;
    for (int row = 0; row < 3; ++row)
      for (int column = 0; column < 3; ++column)
        c.push_back(Vec3(x + (column - 1) * r, row == 1 && column == 1 ? 4 * height : (row == 1 || column == 1 ? height : 0),
                         z + (row - 1) * r));
    Patch(c, Vec3(0, 1, 0));
  }

  // An arch over two pillars: a curved span from one pillar's top to the other's, seen from
  // below and from above.
  void Arch(float x, float z, float span, float rise, float depth) {
    const float h = Between(128, 224);
    Block(Vec3(x - span - 24, 0, z - depth), Vec3(x - span + 24, h, z + depth), Wall);
    Block(Vec3(x + span - 24, 0, z - depth), Vec3(x + span + 24, h, z + depth), Wall);
    for (int side = 0; side < 2; ++side) {
      const float y = side == 0 ? h : h + 16;
      std::vector<Vec3> c;
      for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
          c.push_back(Vec3(x + (column - 1) * span, y + (column == 1 ? 2 * rise : 0), z + (row - 1) * depth));
      Patch(c, Vec3(0, side == 0 ? -1.0f : 1.0f, 0));
    }
  }

  // A cove bending from the floor up into a wall, along `along` from `from`, `length` long;
  // `inward` points from the wall into the arena.
  void Cove(Vec3 from, Vec3 along, float length, Vec3 inward) {
    std::vector<Vec3> c;
    for (int row = 0; row < 3; ++row) {
      const Vec3 base = from + along * (length * row / 2);
      c.push_back(base + inward * 64);
      c.push_back(base);
      c.push_back(base + Vec3(0, 64, 0));
    }
    Patch(c, NormalizeOrZero(inward + Vec3(0, 1, 0)));
  }
};

void WriteTga(const std::string& path, int size, uint8_t r, uint8_t g, uint8_t b, unsigned seed) {
  std::vector<uint8_t> bytes(18, 0);
  bytes[2] = 2;
  bytes[12] = static_cast<uint8_t>(size & 255), bytes[13] = static_cast<uint8_t>(size >> 8);
  bytes[14] = bytes[12], bytes[15] = bytes[13];
  bytes[16] = 24;
  for (int i = 0; i < size * size; ++i) {
    seed = seed * 1103515245u + 12345u;
    const int shade = 160 + static_cast<int>((seed >> 16) % 96) - ((i / size / 16 + i % size / 16) % 2) * 40;
    bytes.insert(bytes.end(), {static_cast<uint8_t>(b * shade / 255), static_cast<uint8_t>(g * shade / 255),
                               static_cast<uint8_t>(r * shade / 255)});
  }
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

}  // namespace

LevelBuilder ArenaLevel() {
  Arena arena;
  for (int i = 0; i < PictureCount; ++i)
    arena.textures[i] = arena.builder.AddTexture(TextureNames[i], i == Sky ? 0 : SolidContents, i == Sky ? 4 : 0);
  const uint8_t shades[4][3] = {{255, 240, 220}, {200, 210, 255}, {160, 150, 140}, {255, 200, 150}};
  for (int i = 0; i < 4; ++i) arena.lightmaps[i] = arena.builder.AddLightmap(shades[i][0], shades[i][1], shades[i][2]);

  // The shell: floor, four walls and the sky above, solid boxes just outside the faces.
  LevelBuilder& b = arena.builder;
  b.AddWorldBox(Vec3(-A - 32, -32, -A - 32), Vec3(A + 32, 0, A + 32));
  b.AddWorldBox(Vec3(-A - 32, 0, -A - 32), Vec3(-A, Top, A + 32));
  b.AddWorldBox(Vec3(A, 0, -A - 32), Vec3(A + 32, Top, A + 32));
  b.AddWorldBox(Vec3(-A, 0, -A - 32), Vec3(A, Top, -A));
  b.AddWorldBox(Vec3(-A, 0, A), Vec3(A, Top, A + 32));
  b.AddWorldBox(Vec3(-A - 32, Top, -A - 32), Vec3(A + 32, Top + 32, A + 32));
  // The floor in tiles, so that its faces are as small as other tools cut them.
  const int tiles = 16;
  const float tile = 2 * A / tiles;
  for (int i = 0; i < tiles; ++i)
    for (int j = 0; j < tiles; ++j) {
      const float x = -A + i * tile, z = -A + j * tile;
      arena.Face({Vec3(x, 0, z), Vec3(x + tile, 0, z), Vec3(x + tile, 0, z + tile), Vec3(x, 0, z + tile)},
                 Vec3(0, 1, 0), Floor);
    }
  for (int i = 0; i < tiles; ++i) {
    const float u = -A + i * tile;
    arena.Face({Vec3(-A, 0, u), Vec3(-A, Top, u), Vec3(-A, Top, u + tile), Vec3(-A, 0, u + tile)}, Vec3(1, 0, 0), Wall);
    arena.Face({Vec3(A, 0, u), Vec3(A, Top, u), Vec3(A, Top, u + tile), Vec3(A, 0, u + tile)}, Vec3(-1, 0, 0), Wall);
    arena.Face({Vec3(u, 0, -A), Vec3(u, Top, -A), Vec3(u + tile, Top, -A), Vec3(u + tile, 0, -A)}, Vec3(0, 0, 1), Wall);
    arena.Face({Vec3(u, 0, A), Vec3(u, Top, A), Vec3(u + tile, Top, A), Vec3(u + tile, 0, A)}, Vec3(0, 0, -1), Wall);
    arena.Cove(Vec3(-A, 0, u), Vec3(0, 0, 1), tile, Vec3(1, 0, 0));
    arena.Cove(Vec3(A, 0, u), Vec3(0, 0, 1), tile, Vec3(-1, 0, 0));
    arena.Cove(Vec3(u, 0, -A), Vec3(1, 0, 0), tile, Vec3(0, 0, 1));
    arena.Cove(Vec3(u, 0, A), Vec3(1, 0, 0), tile, Vec3(0, 0, -1));
  }
  arena.Face({Vec3(-A, Top, -A), Vec3(A, Top, -A), Vec3(A, Top, A), Vec3(-A, Top, A)}, Vec3(0, -1, 0), Sky);

  // The props: the middle cell is kept clear for a view from there.
  for (int i = 0; i < Cells; ++i)
    for (int j = 0; j < Cells; ++j) {
      const float x = -A + (i + 1) * CellSize, z = -A + (j + 1) * CellSize;
      if (i == Cells / 2 && j == Cells / 2) continue;
      switch (arena.Next() % 5) {
        case 0: {
          const float w = arena.Between(16, 40);
          arena.Block(Vec3(x - w, 0, z - w), Vec3(x + w, arena.Between(96, 360), z + w), Wall);
          break;
        }
        case 1: {
          const float w = arena.Between(24, 48);
          arena.Block(Vec3(x - w, 0, z - w), Vec3(x + w, 2 * w, z + w), Crate);
          arena.Block(Vec3(x - w / 2, 2 * w, z - w / 2), Vec3(x + w / 2, 3 * w, z + w / 2), Crate);
          break;
        }
        case 2:
          for (int s = 0; s < 3; ++s)
            arena.Block(Vec3(x - 64 + 32 * s, 0, z - 48), Vec3(x + 64, 16.0f * (s + 1), z + 48), Floor);
          break;
        case 3:
          arena.Mound(x, z, arena.Between(48, 96), arena.Between(12, 32));
          break;
        default:
          arena.Arch(x, z, arena.Between(64, 96), arena.Between(24, 48), 24);
          break;
      }
    }
  return arena.builder;
}

bool WriteArenaData(const std::string& folder) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::create_directories(folder + "/maps", error);
  fs::create_directories(folder + "/textures/arena/pictures", error);
  fs::create_directories(folder + "/scripts", error);
  if (error) return false;
  const uint8_t colours[PictureCount][3] = {
      {150, 140, 120}, {120, 125, 140}, {170, 120, 70}, {110, 150, 130}, {90, 120, 200}};
  for (int i = 0; i < PictureCount; ++i)
    WriteTga(folder + "/" + TextureNames[i] + ".tga", 128, colours[i][0], colours[i][1], colours[i][2], 7u + i);
  WriteTga(folder + "/textures/arena/pictures/glow.tga", 64, 60, 90, 40, 99u);
  std::ofstream script(folder + "/scripts/arena.shader", std::ios::binary);
  script << "textures/arena/curve\n{\n { map textures/arena/curve.tga }\n { map $lightmap\n blendFunc filter }\n"
            " { map textures/arena/pictures/glow.tga\n blendFunc add }\n}\n"
            "textures/arena/sky\n{\n surfaceparm sky\n surfaceparm noimpact\n}\n";
  const std::vector<uint8_t> bytes = ArenaLevel().BuildFile();
  std::ofstream level(folder + "/maps/arena.bsp", std::ios::binary);
  level.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(script) && static_cast<bool>(level);
}
