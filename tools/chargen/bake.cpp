// Baking: poses each frame, rests the figure on the floor, and turns the pieces of each
// part into one MD3 surface per part; also the text files and the file writing.
#include "tools/chargen/bake.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <functional>

namespace {

// All vertices of a part placed by `boneToModel`.
std::vector<Vec3> PlacePart(const Part& part, const std::function<Xform(int)>& boneToModel) {
  std::vector<Vec3> out;
  for (const PieceRef& ref : part.pieces) {
    const Region& region = part.regions[ref.region];
    Piece piece = BuildLoft(region.loft, ref.place, ref.bone, region.rect, part.atlasSize,
                            part.atlasSize);
    Xform toModel = boneToModel(ref.bone);
    for (Vec3 p : piece.positions) out.push_back(toModel.Point(p));
  }
  return out;
}

// The surface of a part with no frames yet: texture coordinates and triangles.
Md3OutSurface SurfaceOf(const Part& part, const std::string& folder) {
  Md3OutSurface s;
  s.name = part.surface;
  s.shader = folder + "/" + part.texture;
  for (const PieceRef& ref : part.pieces) {
    const Region& region = part.regions[ref.region];
    Piece piece = BuildLoft(region.loft, ref.place, ref.bone, region.rect, part.atlasSize,
                            part.atlasSize);
    const int base = static_cast<int>(s.texCoords.size() / 2);
    s.texCoords.insert(s.texCoords.end(), piece.texCoords.begin(), piece.texCoords.end());
    for (int i : piece.triangles) s.triangles.push_back(base + i);
  }
  return s;
}

Md3OutTag Tag(const char* name, const Xform& place) { return {name, place}; }

struct PosedFrame {
  std::vector<Vec3> lower, upper;
  Xform torsoTag, headTag, weaponTag;
};

PosedFrame PoseFrame(const Figure& f, const Part& weapon, const Pose& pose) {
  BodyFrames body = PoseBody(f.body, pose);
  PosedFrame out;
  auto lowerBones = [&](int bone) { return body.bone[bone]; };
  auto upperBones = [&](int bone) { return body.bone[bone]; };
  out.lower = PlacePart(f.lower, lowerBones);
  out.upper = PlacePart(f.upper, upperBones);
  // Rest the lowest point of the whole figure, weapon included, on the floor.
  float lowest = 1e9f;
  for (Vec3 p : out.lower) lowest = std::min(lowest, p.z);
  for (Vec3 p : out.upper) lowest = std::min(lowest, body.torsoTag.Point(p).z);
  const Xform headPlace = body.torsoTag * body.bone[BoneHead];
  for (Vec3 p : PlacePart(f.head, [&](int) { return headPlace; })) lowest = std::min(lowest, p.z);
  const Xform weaponPlace = body.torsoTag * body.bone[BoneWeapon];
  for (Vec3 p : PlacePart(weapon, [&](int) { return weaponPlace; })) lowest = std::min(lowest, p.z);
  float rise = pose.lift + (pose.ground ? SoleZ - lowest : 0.0f);
  for (Vec3& p : out.lower) p.z += rise;
  out.torsoTag = body.torsoTag;
  out.torsoTag.origin.z += rise;
  out.headTag = body.bone[BoneHead];
  out.weaponTag = body.bone[BoneWeapon];
  return out;
}

bool MakeDir(const std::string& path) {
  if (mkdir(path.c_str(), 0755) == 0 || errno == EEXIST) return true;
  std::perror(path.c_str());
  return false;
}

bool WriteText(const std::string& path, const std::string& text) {
  return WriteFileBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

}  // namespace

BakedFigure BakeFigure(const Figure& f) {
  BakedFigure baked;
  const Part weapon = MakeLauncher();
  baked.lower.name = f.name + "_lower";
  baked.upper.name = f.name + "_upper";
  baked.head.name = f.name + "_head";
  Md3OutSurface lower = SurfaceOf(f.lower, f.name);
  Md3OutSurface upper = SurfaceOf(f.upper, f.name);
  Md3OutSurface head = SurfaceOf(f.head, f.name);

  int next = 0;
  for (int c = 0; c < ClipCount; ++c) {
    baked.clipStart[c] = next;
    next += Clips[c].frames;
    const bool toLower = Clips[c].kind != ClipKind::Torso;
    const bool toUpper = Clips[c].kind != ClipKind::Legs;
    for (int k = 0; k < Clips[c].frames; ++k) {
      PosedFrame frame = PoseFrame(f, weapon, ClipPose(c, k, f.gait));
      if (toLower) {
        lower.frames.push_back(frame.lower);
        baked.lower.tags.push_back({Tag("tag_torso", frame.torsoTag)});
      }
      if (toUpper) {
        upper.frames.push_back(frame.upper);
        baked.upper.tags.push_back(
            {Tag("tag_head", frame.headTag), Tag("tag_weapon", frame.weaponTag)});
      }
    }
  }
  baked.lower.frameCount = static_cast<int>(lower.frames.size());
  baked.upper.frameCount = static_cast<int>(upper.frames.size());
  baked.lower.surfaces.push_back(std::move(lower));
  baked.upper.surfaces.push_back(std::move(upper));

  head.frames.push_back(PlacePart(f.head, [](int) { return Xform(); }));
  baked.head.frameCount = 1;
  baked.head.surfaces.push_back(std::move(head));
  return baked;
}

Md3Out BakeWeapon(const Part& launcher) {
  Md3Out m;
  m.name = "grenadel";
  Md3OutSurface s = SurfaceOf(launcher, "weapons");
  s.frames.push_back(PlacePart(launcher, [](int) { return Xform(); }));
  m.surfaces.push_back(std::move(s));
  m.frameCount = 1;
  m.tags.push_back({Tag("tag_flash", Translate(Vec3(13.2f, 0, 3.4f)))});
  return m;
}

std::string AnimationConfigText(const BakedFigure& baked) {
  std::string text =
      "// animation clips written by korvalis_chargen\n"
      "// first frame, frame count, looping frames, frames per second, then the clip name\n"
      "\n"
      "sex m\n"
      "\n";
  char line[128];
  for (int c = 0; c < ClipCount; ++c) {
    if (c == 6 || c == 13) text += "\n";
    std::snprintf(line, sizeof line, "%d\t%d\t%d\t%d\t\t// %s\n", baked.clipStart[c],
                  Clips[c].frames, Clips[c].loops ? Clips[c].frames : 0, Clips[c].fps,
                  Clips[c].name);
    text += line;
  }
  return text;
}

std::string SkinText(const Part& part, const std::string& folder,
                     const std::vector<std::string>& tags) {
  std::string text;
  for (const std::string& tag : tags) text += tag + ",\n";
  text += part.surface + "," + folder + "/" + part.texture + "\n";
  return text;
}

std::vector<uint8_t> EncodeTga24(const Picture& picture) {
  std::vector<uint8_t> out(18, 0);
  out[2] = 2;  // uncompressed true colour
  out[12] = static_cast<uint8_t>(picture.width & 0xFF);
  out[13] = static_cast<uint8_t>(picture.width >> 8);
  out[14] = static_cast<uint8_t>(picture.height & 0xFF);
  out[15] = static_cast<uint8_t>(picture.height >> 8);
  out[16] = 24;
  out[17] = 0;  // origin at the lower left: the bottom row comes first
  for (int y = picture.height - 1; y >= 0; --y) {
    for (int x = 0; x < picture.width; ++x) {
      const float* p = picture.At(x, y);
      for (int c = 2; c >= 0; --c) out.push_back(static_cast<uint8_t>(std::lround(Clamp01(p[c]) * 255)));
    }
  }
  return out;
}

bool WriteFigure(const std::string& dir, const Figure& f) {
  const std::string folder = dir + "/" + f.name;
  if (!MakeDir(folder)) return false;
  const std::string prefix = folder + "/" + f.name;
  BakedFigure baked = BakeFigure(f);
  bool ok = WriteFileBytes(prefix + "_lower.md3", EncodeMd3(baked.lower));
  ok = WriteFileBytes(prefix + "_upper.md3", EncodeMd3(baked.upper)) && ok;
  ok = WriteFileBytes(prefix + "_head.md3", EncodeMd3(baked.head)) && ok;
  ok = WriteText(prefix + "_lower.skin", SkinText(f.lower, f.name, {"tag_torso"})) && ok;
  ok = WriteText(prefix + "_upper.skin", SkinText(f.upper, f.name, {"tag_head", "tag_weapon"})) && ok;
  ok = WriteText(prefix + "_head.skin", SkinText(f.head, f.name, {})) && ok;
  ok = WriteText(prefix + "_animation.cfg", AnimationConfigText(baked)) && ok;
  for (const Part* part : {&f.lower, &f.upper, &f.head})
    ok = WriteFileBytes(folder + "/" + part->texture, EncodeTga24(PaintAtlas(*part))) && ok;
  return ok;
}

bool WriteWeapon(const std::string& dir) {
  const std::string folder = dir + "/weapons";
  if (!MakeDir(folder)) return false;
  Part launcher = MakeLauncher();
  bool ok = WriteFileBytes(folder + "/grenadel.md3", EncodeMd3(BakeWeapon(launcher)));
  ok = WriteText(folder + "/grenadel.shader", launcher.texture + "\n") && ok;
  ok = WriteFileBytes(folder + "/" + launcher.texture, EncodeTga24(PaintAtlas(launcher))) && ok;
  return ok;
}
