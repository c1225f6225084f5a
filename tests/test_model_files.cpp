// Skin, shader and animation files: which mesh gets which texture name, and the clip table
// split between the upper and lower body.
#include <gtest/gtest.h>

#include "core/character.h"
#include "models/model_files.h"

namespace {

Md3Model ModelWithMeshes(std::initializer_list<const char*> names) {
  Md3Model model;
  for (const char* name : names) {
    Md3Mesh mesh;
    mesh.name = name;
    model.meshes.push_back(mesh);
  }
  model.meshCount = static_cast<int32_t>(model.meshes.size());
  return model;
}

TEST(SkinFile, LastPathComponentNamesTheTexture) {
  Md3Model model = ModelWithMeshes({"leg", "leg_l", "h_head", "u_torso", ""});
  ApplySkinText(&model,
                "tag_torso,\n"
                "leg,models/players/a/b/legs.tga\n"
                "leg_l,models/players/a/left.tga\r\n"  // the shorter name matches this line too
                "u_torso,models/players/a/very/long/folder/torso.tga\n"
                "h_head.tga\r"                          // no "/": the whole line
                "/u_torso.tga\n");                      // "/" at index 0 only: the whole line
  ASSERT_EQ(model.materialCount, 6);
  const char* names[6] = {"legs.tga", "left.tga", "left.tga", "torso.tga", "h_head.tga", "/u_torso.tga"};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(model.materials[i].fileName, names[i]) << i;
  EXPECT_EQ(model.meshes[0].materialId, 1);  // the last matching line decides
  EXPECT_EQ(model.meshes[1].materialId, 2);
  EXPECT_EQ(model.meshes[2].materialId, 4);
  EXPECT_EQ(model.meshes[3].materialId, 5);
  EXPECT_TRUE(model.meshes[3].hasTexture);
  EXPECT_FALSE(model.meshes[4].hasTexture);  // an empty name matches nothing
  for (const MeshMaterial& m : model.materials) EXPECT_EQ(m.textureId, -1);
}

TEST(ShaderFile, LineKBelongsToMeshK) {
  Md3Model model = ModelWithMeshes({"barrel", "grip"});
  ApplyShaderText(&model, "barrel.tga\r\n\r\nextra.tga\n");
  ASSERT_EQ(model.materialCount, 2);  // lines past the last mesh are ignored
  EXPECT_EQ(model.materials[0].fileName, "barrel.tga");
  EXPECT_EQ(model.materials[1].fileName, "");
  EXPECT_EQ(model.meshes[1].materialId, 1);
  EXPECT_TRUE(model.meshes[1].hasTexture);
}

// 6 BOTH clips, 7 TORSO clips from frame 90, 12 LEGS clips from frame 153.
std::string StandardConfig() {
  std::string text = "// made by hand\nsex f\nheadoffset 0 0 0\n\nfootsteps boot\r\n";
  const char* both[6] = {"DEATH1", "DEAD1", "DEATH2", "DEAD2", "DEATH3", "DEAD3"};
  for (int i = 0; i < 6; ++i) text += std::to_string(i * 15) + " 15 0 25 // BOTH_" + both[i] + "\n";
  for (int i = 0; i < 7; ++i)
    text += "  " + std::to_string(90 + i * 9) + "\t9 0 20\t// TORSO_" + std::to_string(i) + "\r\n";
  text += "153 8 8 20 // LEGS_WALK 153-160 7 0 0 7 LEGS_FAKE\n";  // trailing words are discarded
  for (int i = 1; i < 12; ++i) text += std::to_string(161 + i * 10) + " 10 10 15 // LEGS_" + std::to_string(i) + "\n";
  return text;
}

TEST(AnimationConfig, SplitsClipsAndShiftsLegs) {
  Md3Model upper, lower;
  std::string error;
  ASSERT_TRUE(ParseAnimationConfig(StandardConfig(), &upper, &lower, &error)) << error;
  EXPECT_EQ(upper.animationCount, 13);
  EXPECT_EQ(lower.animationCount, 18);
  EXPECT_EQ(upper.animations[1].name, "BOTH_DEAD1");
  EXPECT_EQ(lower.animations[1].startFrame, 15);  // BOTH clips keep their frames
  EXPECT_EQ(lower.animations[1].endFrame, 30);
  const AnimationClip& torso = upper.animations[6];
  EXPECT_EQ(torso.name, "TORSO_0");
  EXPECT_EQ(torso.startFrame, 90);
  EXPECT_EQ(torso.endFrame, 99);
  EXPECT_EQ(torso.framesPerSecond, 20);
  const AnimationClip& walk = lower.animations[6];
  EXPECT_EQ(walk.name, "LEGS_WALK");
  EXPECT_EQ(walk.startFrame, 90);  // 153 - (153 - 90)
  EXPECT_EQ(walk.endFrame, 98);
  EXPECT_EQ(walk.loopingFrames, 8);
  EXPECT_EQ(lower.animations[7].startFrame, 171 - 63);
  for (const AnimationClip& clip : lower.animations) EXPECT_NE(clip.name, "LEGS_FAKE");
}

TEST(AnimationConfig, ClassificationOffsetAndLimits) {
  Md3Model upper, lower;
  std::string error;
  // A legs line before entry 13 finds entries 6 and 13 both 0 and is not shifted; the
  // offset is computed again at the next legs line. A name holding TORSO and LEGS is torso.
  std::string text = "0 1 0 10 - LEGS_EARLY\n1 1 0 10 - TORSO_LEGS\n2 1 0 10 - OTHER\n";
  for (int i = 3; i < 13; ++i) text += std::to_string(i == 6 ? 90 : i) + " 1 0 10 - X\n";
  text += "153 8 0 10 - LEGS_WALK\n";
  for (int i = 14; i < 30; ++i) text += "160 1 0 10 - LEGS_" + std::to_string(i) + "\n";
  text += "1 1 0 10 - TORSO_" + std::string(300, 'N') + "\n";
  ASSERT_TRUE(ParseAnimationConfig(text, &upper, &lower, &error)) << error;
  ASSERT_EQ(upper.animationCount, 1);
  EXPECT_EQ(upper.animations[0].name, "TORSO_LEGS");
  EXPECT_EQ(lower.animations[0].name, "LEGS_EARLY");
  EXPECT_EQ(lower.animations[0].startFrame, 0);
  EXPECT_EQ(lower.animations[1].startFrame, 90);
  // Only 25 clip lines fit the table: LEGS_14 .. LEGS_24, then the rest is ignored.
  EXPECT_EQ(lower.animationCount, 2 + 11);
  EXPECT_EQ(lower.animations.back().name, "LEGS_24");

  // Entries 6 and 13 at the same frame: no shift.
  Md3Model u2, l2;
  std::string same;
  for (int i = 0; i < 14; ++i) same += "5 2 0 10 - " + std::string(i == 13 ? "LEGS_A" : "TORSO_X") + "\n";
  ASSERT_TRUE(ParseAnimationConfig(same, &u2, &l2, &error)) << error;
  EXPECT_EQ(l2.animations[0].startFrame, 5);

  // Names are cut to the field.
  Md3Model u3, l3;
  ASSERT_TRUE(ParseAnimationConfig("1 1 0 10 - TORSO_" + std::string(300, 'N'), &u3, &l3, &error));
  EXPECT_EQ(u3.animations[0].name.size(), MaxClipNameLength);
}

TEST(AnimationConfig, RefusesMalformedClipLinesAndChangesNothing) {
  const struct {
    const char* text;
    const char* reason;
  } cases[] = {
      {"0 10 0 20 // BOTH_DEATH1\n5 10 0 20 //\n", "line 2: the clip line ends before its name"},
      {"0 10 0\n20 // BOTH_DEATH1\n", "line 1: the clip line ends before its name"},
      {"0 10 x 20 // BOTH_DEATH1\n", "line 1: \"x\" is not a frame number"},
      {"5abc 10 0 20 // BOTH_DEATH1\n", "\"5abc\" is not a frame number"},
      {"0 99999999999 0 20 // BOTH_DEATH1\n", "is not a frame number"},
  };
  for (const auto& c : cases) {
    Md3Model upper, lower;
    std::string error;
    EXPECT_FALSE(ParseAnimationConfig(c.text, &upper, &lower, &error)) << c.text;
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    EXPECT_TRUE(upper.animations.empty());
    EXPECT_TRUE(lower.animations.empty());
  }
}

}  // namespace

namespace {

TEST(MaterialTextures, EachFileTakesOneSlotUntilTheTableIsFull) {
  // Names without a picture extension are refused by texture creation before any file or
  // GL call, so no context is needed; each still takes its slot.
  CharacterModel character;
  Md3Model& model = character.upper;
  for (int i = 0; i < MaxCharacterTextures + 2; ++i) model.materials.push_back(MeshMaterial{"t" + std::to_string(i), -1});
  model.materials.push_back(MeshMaterial{"t5", -1});
  model.materials.push_back(MeshMaterial{"", -1});
  BindMaterialTextures(&character, &model, "folder");
  EXPECT_EQ(character.textureFiles.size(), static_cast<size_t>(MaxCharacterTextures));
  EXPECT_EQ(model.materials[999].textureId, 999);
  EXPECT_EQ(model.materials[1000].textureId, -1);  // no slot left: drawn untextured
  EXPECT_EQ(model.materials[1001].textureId, -1);
  EXPECT_EQ(model.materials[1002].textureId, 5);   // a file already loaded shares its slot
  EXPECT_EQ(model.materials[1003].textureId, -1);  // no name, no texture
}

}  // namespace
