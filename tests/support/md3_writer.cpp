// Small MD3 and character-folder writer for the model tests, fuzz seeds and benchmarks.
#include "support/md3_writer.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

void Put32(std::vector<uint8_t>* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void PutF(std::vector<uint8_t>* out, float f) {
  uint32_t v;
  std::memcpy(&v, &f, 4);
  Put32(out, v);
}
void PutName(std::vector<uint8_t>* out, const std::string& name) {
  for (size_t i = 0; i < 64; ++i) out->push_back(i < name.size() ? static_cast<uint8_t>(name[i]) : 0);
}

size_t SurfaceSize(const TestMd3Surface& s) {
  return 108 + s.shaderCount * 68 + s.triangles.size() * 4 + s.texCoords.size() * 4 +
         s.vertices.size() / 3 * 8;
}

// A 2 x 2 uncompressed 24-bit Targa of one colour.
std::vector<uint8_t> SolidTga(uint8_t r, uint8_t g, uint8_t b) {
  std::vector<uint8_t> bytes = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 24, 0};
  for (int i = 0; i < 4; ++i) bytes.insert(bytes.end(), {b, g, r});
  return bytes;
}

}  // namespace

std::vector<uint8_t> WriteMd3(const TestMd3& m) {
  std::vector<uint8_t> out;
  out.insert(out.end(), {'I', 'D', 'P', '3'});
  Put32(&out, 15);
  PutName(&out, "test");
  Put32(&out, 0);
  Put32(&out, static_cast<uint32_t>(m.frames));
  Put32(&out, static_cast<uint32_t>(m.tagsPerFrame));
  Put32(&out, static_cast<uint32_t>(m.surfaces.size()));
  Put32(&out, 0);
  const size_t tagStart = 108 + static_cast<size_t>(m.frames) * 56;
  const size_t surfaceStart = tagStart + m.tags.size() * 112;
  size_t end = surfaceStart;
  for (const TestMd3Surface& s : m.surfaces) end += SurfaceSize(s);
  for (size_t v : {size_t{108}, tagStart, surfaceStart, end}) Put32(&out, static_cast<uint32_t>(v));
  out.resize(tagStart, 0);  // frame records: not read
  for (const TestMd3Tag& tag : m.tags) {
    PutName(&out, tag.name);
    for (float f : {tag.origin.x, tag.origin.y, tag.origin.z}) PutF(&out, f);
    for (float f : tag.axes) PutF(&out, f);
  }
  for (const TestMd3Surface& s : m.surfaces) {
    const uint32_t tri = 108 + s.shaderCount * 68;
    const uint32_t tex = tri + static_cast<uint32_t>(s.triangles.size()) * 4;
    const uint32_t vert = tex + static_cast<uint32_t>(s.texCoords.size()) * 4;
    out.insert(out.end(), {'I', 'D', 'P', '3'});
    PutName(&out, s.name);
    Put32(&out, 0);
    Put32(&out, static_cast<uint32_t>(m.frames));
    Put32(&out, static_cast<uint32_t>(s.shaderCount));
    Put32(&out, static_cast<uint32_t>(s.vertexCount));
    Put32(&out, static_cast<uint32_t>(s.triangles.size() / 3));
    for (uint32_t v : {tri, uint32_t{108}, tex, vert, static_cast<uint32_t>(SurfaceSize(s))}) Put32(&out, v);
    out.resize(out.size() + s.shaderCount * 68, 0);
    for (int32_t i : s.triangles) Put32(&out, static_cast<uint32_t>(i));
    for (float f : s.texCoords) PutF(&out, f);
    for (size_t i = 0; i < s.vertices.size(); i += 3) {
      for (int k = 0; k < 3; ++k) {
        out.push_back(static_cast<uint8_t>(s.vertices[i + k]));
        out.push_back(static_cast<uint8_t>(static_cast<uint16_t>(s.vertices[i + k]) >> 8));
      }
      out.insert(out.end(), {0, 0});
    }
  }
  return out;
}

size_t Md3SurfaceOffset(const TestMd3& m, int s) {
  size_t at = 108 + static_cast<size_t>(m.frames) * 56 + m.tags.size() * 112;
  for (int i = 0; i < s; ++i) at += SurfaceSize(m.surfaces[static_cast<size_t>(i)]);
  return at;
}

std::vector<uint8_t> WriteSharedBlockMd3(int surfaces, int frames, int vertices) {
  TestMd3 m;
  m.frames = frames;
  std::vector<uint8_t> out = WriteMd3(m);  // header and frame records, no surfaces yet
  const uint32_t surfaceCount = static_cast<uint32_t>(surfaces);
  for (int k = 0; k < 4; ++k) out[84 + k] = static_cast<uint8_t>(surfaceCount >> (8 * k));
  const size_t first = out.size();
  const size_t block = first + static_cast<size_t>(surfaces) * 108;  // the one shared block
  for (int s = 0; s < surfaces; ++s) {
    const size_t start = out.size();
    const uint32_t tex = static_cast<uint32_t>(block - start);
    const uint32_t vert = tex + static_cast<uint32_t>(vertices) * 8;
    out.insert(out.end(), {'I', 'D', 'P', '3'});
    PutName(&out, "shared");
    Put32(&out, 0);
    Put32(&out, static_cast<uint32_t>(frames));
    Put32(&out, 0);
    Put32(&out, static_cast<uint32_t>(vertices));
    Put32(&out, 0);  // no triangles
    for (uint32_t v : {tex, uint32_t{108}, tex, vert, uint32_t{108}}) Put32(&out, v);
  }
  out.resize(block + static_cast<size_t>(vertices) * 8 * (1 + static_cast<size_t>(frames)), 0);
  return out;
}

void AddBox(TestMd3* m, const std::string& name, Vec3 lo, Vec3 hi, Vec3 step) {
  TestMd3Surface s;
  s.name = name;
  s.vertexCount = 8;
  for (int f = 0; f < m->frames; ++f) {
    for (int c = 0; c < 8; ++c) {
      const Vec3 p = Vec3(c & 1 ? hi.x : lo.x, c & 2 ? hi.y : lo.y, c & 4 ? hi.z : lo.z) + step * float(f);
      for (float v : {p.x, p.y, p.z}) s.vertices.push_back(static_cast<int16_t>(v * 64));
    }
  }
  for (int c = 0; c < 8; ++c) s.texCoords.insert(s.texCoords.end(), {float(c & 1), float((c >> 1) & 1)});
  const int quads[6][4] = {{0, 1, 3, 2}, {4, 6, 7, 5}, {0, 4, 5, 1}, {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 5, 7, 3}};
  for (const auto& q : quads) {
    // Both windings: visible whichever faces are culled.
    s.triangles.insert(s.triangles.end(), {q[0], q[1], q[2], q[0], q[2], q[3]});
    s.triangles.insert(s.triangles.end(), {q[0], q[2], q[1], q[0], q[3], q[2]});
  }
  m->surfaces.push_back(std::move(s));
}

void AddTag(TestMd3* m, const std::string& name, Vec3 origin, Vec3 step) {
  // Tags are frame-major: insert this tag behind the existing tags of each frame.
  std::vector<TestMd3Tag> tags;
  for (int f = 0; f < m->frames; ++f) {
    for (int t = 0; t < m->tagsPerFrame; ++t) tags.push_back(m->tags[static_cast<size_t>(f * m->tagsPerFrame + t)]);
    TestMd3Tag tag;
    tag.name = name;
    tag.origin = origin + step * float(f);
    tags.push_back(tag);
  }
  m->tags = tags;
  ++m->tagsPerFrame;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  if (!folder.empty()) std::filesystem::create_directories(folder);
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return;
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

void WriteFile(const std::string& path, const std::string& bytes) {
  WriteFile(path, std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

std::string TestAnimationConfig() {
  return "// test character\r\n"
         "sex m\r\n"
         "headoffset 0 0 0\r\n"
         "0\t2\t0\t10\t\t// BOTH_DEATH1\r\n"
         "1\t1\t0\t10\t\t// BOTH_DEAD1\r\n"
         "0\t2\t0\t10\t\t// BOTH_DEATH2\r\n"
         "1\t1\t0\t10\t\t// BOTH_DEAD2\r\n"
         "0\t2\t0\t10\t\t// BOTH_DEATH3\r\n"
         "1\t1\t0\t10\t\t// BOTH_DEAD3\r\n"
         "2\t1\t0\t15\t\t// TORSO_GESTURE\r\n"
         "3\t2\t0\t20\t\t// TORSO_ATTACK\r\n"
         "3\t2\t0\t20\t\t// TORSO_ATTACK2\r\n"
         "2\t1\t0\t15\t\t// TORSO_DROP\r\n"
         "2\t1\t0\t15\t\t// TORSO_RAISE\r\n"
         "5\t1\t0\t15\t\t// TORSO_STAND\r\n"
         "5\t1\t0\t15\t\t// TORSO_STAND2\r\n"
         "6\t1\t0\t15\t\t// LEGS_WALKCR\r\n"
         "7\t4\t4\t20\t\t// LEGS_WALK\r\n"
         "11\t4\t4\t20\t\t// LEGS_RUN\r\n"
         "7\t4\t4\t20\t\t// LEGS_BACK\r\n"
         "6\t1\t0\t15\t\t// LEGS_SWIM\r\n"
         "6\t1\t0\t15\t\t// LEGS_JUMP\r\n"
         "6\t1\t0\t15\t\t// LEGS_LAND\r\n"
         "6\t1\t0\t15\t\t// LEGS_JUMPB\r\n"
         "6\t1\t0\t15\t\t// LEGS_LANDB\r\n"
         "15\t2\t2\t10\t\t// LEGS_IDLE\r\n"
         "6\t1\t0\t15\t\t// LEGS_IDLECR\r\n"
         "6\t1\t0\t15\t\t// LEGS_TURN\r\n";
}

void WriteTestCharacter(const std::string& dir, const std::string& name) {
  const std::string base = dir + "/" + name + "/" + name;
  // Lower body: BOTH frames 0..1, then legs frames 2..12 (walk 3..6); the legs swing
  // forward a little more each frame.
  TestMd3 lower;
  lower.frames = 13;
  AddBox(&lower, "l_legs", Vec3(-2, 2, -27), Vec3(2, 6, 0), Vec3(1, 0, 0));
  AddBox(&lower, "r_legs", Vec3(-2, -6, -27), Vec3(2, -2, 0), Vec3(-1, 0, 0));
  AddTag(&lower, "tag_torso", Vec3(0, 0, 0), Vec3(0, 0, 0.25f));
  WriteFile(base + "_lower.md3", WriteMd3(lower));
  // Upper body: BOTH frames 0..1, torso frames 2..5; the hand at +Y holds tag_weapon.
  TestMd3 upper;
  upper.frames = 6;
  AddBox(&upper, "u_torso", Vec3(-4, -6, 0), Vec3(4, 6, 20));
  AddBox(&upper, "u_hand", Vec3(0, 6, 10), Vec3(4, 10, 14));
  AddTag(&upper, "tag_head", Vec3(0, 0, 20));
  AddTag(&upper, "tag_weapon", Vec3(2, 8, 12));
  WriteFile(base + "_upper.md3", WriteMd3(upper));
  TestMd3 head;
  AddBox(&head, "h_head", Vec3(-3, -3, 0), Vec3(3, 3, 8));
  WriteFile(base + "_head.md3", WriteMd3(head));

  WriteFile(base + "_lower.skin", "tag_torso,\nl_legs,models/players/" + name + "/legs.tga\n"
                                  "r_legs,models/players/" + name + "/legs.tga\n");
  WriteFile(base + "_upper.skin", "u_torso,models/players/" + name + "/torso.tga\r\n"
                                  "u_hand,models/players/" + name + "/torso.tga\r\ntag_head,\r\n");
  WriteFile(base + "_head.skin", "h_head,models/players/" + name + "/head.tga\n");
  WriteFile(base + "_animation.cfg", TestAnimationConfig());
  WriteFile(dir + "/" + name + "/legs.tga", SolidTga(0, 0, 255));
  WriteFile(dir + "/" + name + "/torso.tga", SolidTga(255, 0, 0));
  WriteFile(dir + "/" + name + "/head.tga", SolidTga(255, 255, 0));
}

void WriteTestWeapon(const std::string& dir, const std::string& name) {
  TestMd3 weapon;
  AddBox(&weapon, "w_" + name, Vec3(0, -1, -1), Vec3(14, 1, 1));
  WriteFile(dir + "/weapons/" + name + ".md3", WriteMd3(weapon));
  WriteFile(dir + "/weapons/" + name + ".shader", name + ".tga\n");
  WriteFile(dir + "/weapons/" + name + ".tga", SolidTga(0, 255, 0));
}
