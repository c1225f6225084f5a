// Character animation without a window: clip choice, frame stepping and blending by the
// clock, clips that do not fit the model, tags, and the quaternion math of the tags.
#include <gtest/gtest.h>

#include <cmath>

#include "core/character.h"
#include "models/model_tags.h"
#include "models/quaternion.h"
#include "support/fake_platform.h"

namespace {

AnimationClip Clip(const char* name, int start, int count, int fps) {
  AnimationClip clip;
  clip.name = name;
  clip.startFrame = start;
  clip.endFrame = start + count;
  clip.framesPerSecond = fps;
  return clip;
}

class CharacterAnimation : public ::testing::Test {
 protected:
  void SetUp() override {
    character.lower.frameCount = 100;
    character.lower.animations = {Clip("BOTH_DEATH1", 0, 30, 25), Clip("LEGS_WALK", 90, 8, 20),
                                  Clip("LEGS_IDLE", 30, 5, 15), Clip("LEGS_STILL", 40, 4, 0)};
    character.lower.animationCount = 4;
    fake.now = 100000;
  }
  // One AdvanceAnimation of the lower body at the given clock.
  void StepAt(uint32_t now) {
    fake.now = now;
    character.AdvanceAnimation(&character.lower);
  }
  FakePlatform fake;
  CharacterModel character;
};

TEST_F(CharacterAnimation, StepsOneFramePerDurationAndWraps) {
  Md3Model& lower = character.lower;
  character.SetLegsAnimation("legs_walk");  // case is ignored
  EXPECT_EQ(lower.currentAnimation, 1);
  EXPECT_EQ(lower.currentFrame, 90);
  StepAt(100000);  // a fresh model (last change at 0) changes at once
  EXPECT_EQ(lower.currentFrame, 91);
  StepAt(100020);  // 20 ms into a 50 ms frame
  EXPECT_EQ(lower.currentFrame, 91);
  EXPECT_EQ(lower.nextFrame, 92);
  EXPECT_FLOAT_EQ(lower.blend, 0.4f);
  StepAt(100049);
  EXPECT_EQ(lower.currentFrame, 91);
  StepAt(100050);
  EXPECT_EQ(lower.currentFrame, 92);
  EXPECT_EQ(lower.nextFrame, 92);  // the drawn pose is exactly the new frame
  StepAt(110050);                  // a long pause advances one frame only
  EXPECT_EQ(lower.currentFrame, 93);
  std::vector<int> seen;
  for (int i = 0; i < 8; ++i) {
    StepAt(fake.now + 50);
    seen.push_back(lower.currentFrame);
  }
  EXPECT_EQ(seen, (std::vector<int>{94, 95, 96, 97, 90, 91, 92, 93}));

  // Unknown names change nothing; the playing clip restarts at its first frame.
  character.SetLegsAnimation("LEGS_NONE");
  EXPECT_EQ(lower.currentFrame, 93);
  character.SetLegsAnimation("LEGS_WALK");
  EXPECT_EQ(lower.currentFrame, 90);
}

TEST_F(CharacterAnimation, SlowMotionAndStillRates) {
  Md3Model& lower = character.lower;
  character.SetSlowMotion(true);
  character.SetLegsAnimation("LEGS_WALK");
  StepAt(100000);
  EXPECT_EQ(lower.currentFrame, 91);
  StepAt(100999);  // 20 / 20 = 1 frame per second
  EXPECT_EQ(lower.currentFrame, 91);
  StepAt(101000);
  EXPECT_EQ(lower.currentFrame, 92);

  // 15 / 20 is 0 in slow motion, and a rate of 0 always: the clip stands still.
  for (const char* clip : {"LEGS_IDLE", "LEGS_STILL"}) {
    character.SetLegsAnimation(clip);
    const int start = lower.currentFrame;
    for (uint32_t t = 200000; t < 260000; t += 7000) {
      StepAt(t);
      EXPECT_EQ(lower.currentFrame, start) << clip;
      EXPECT_EQ(lower.blend, 0.0f);
    }
  }
  character.SetSlowMotion(false);
  character.SetLegsAnimation("LEGS_IDLE");
  StepAt(300000);
  EXPECT_EQ(lower.currentFrame, 31);  // LEGS_IDLE runs again
}

TEST_F(CharacterAnimation, ClipsThatDoNotFitHoldOnFramesTheModelHas) {
  Md3Model& lower = character.lower;
  lower.frameCount = 10;
  lower.animations = {Clip("PAST_END", 8, 12, 20), Clip("BEYOND", 50, 10, 20), Clip("EMPTY", 5, 0, 20),
                      Clip("NEGATIVE", -3, 5, 20), Clip("ZERO_END", 0, 0, 20), Clip("BACKWARDS", 6, -4, 20)};
  const struct {
    const char* name;
    std::vector<int> frames;  // currentFrame after each step
  } cases[] = {
      {"PAST_END", {9, 8, 9, 8}},   // runs to the model's last frame and wraps
      {"BEYOND", {9, 9, 9, 9}},     // holds the model's last frame
      {"EMPTY", {5, 5, 5, 5}},      // holds its start
      {"NEGATIVE", {1, 0, 1, 0}},   // frames below 0 are cut off
      {"ZERO_END", {0, 0, 0, 0}},
      {"BACKWARDS", {6, 6, 6, 6}},
  };
  uint32_t t = 100000;
  for (const auto& c : cases) {
    character.SetLegsAnimation(c.name);
    std::vector<int> seen;
    for (size_t i = 0; i < c.frames.size(); ++i) {
      StepAt(t += 50);
      seen.push_back(lower.currentFrame);
      EXPECT_LT(lower.nextFrame, 10);
      EXPECT_GE(lower.nextFrame, 0);
    }
    EXPECT_EQ(seen, c.frames) << c.name;
  }
}

TEST(CharacterTags, AttachIgnoresCaseAndMissingTags) {
  CharacterModel character;
  Md3Model& upper = character.upper;
  upper.frameCount = 2;
  upper.tagCount = 2;
  upper.tags.resize(4);
  std::snprintf(upper.tags[0].name, sizeof upper.tags[0].name, "tag_head");
  std::snprintf(upper.tags[1].name, sizeof upper.tags[1].name, "TAG_Weapon");
  upper.links.assign(2, nullptr);
  AttachAtTag(&upper, &character.weapon, "tag_weapon");
  AttachAtTag(&upper, &character.head, "tag_hat");  // no such tag: nothing happens
  EXPECT_EQ(upper.links[0], nullptr);
  EXPECT_EQ(upper.links[1], &character.weapon);
  // A copy links its own models, never the original's.
  CharacterModel copy = character;
  EXPECT_EQ(copy.upper.links[1], &copy.weapon);
}

void ExpectQuaternion(Quaternion q, float x, float y, float z, float w) {
  EXPECT_NEAR(q.x, x, 1e-6f);
  EXPECT_NEAR(q.y, y, 1e-6f);
  EXPECT_NEAR(q.z, z, 1e-6f);
  EXPECT_NEAR(q.w, w, 1e-6f);
}

TEST(Quaternion, EqualFramesGiveTheTagAxesAsMatrixColumns) {
  const float c = std::cos(0.5f), s = std::sin(0.5f);
  // Rotations picking every branch of the conversion: identity, about z, and half turns
  // about x, y and z (trace -1).
  const float axesTable[][9] = {{1, 0, 0, 0, 1, 0, 0, 0, 1},   {c, s, 0, -s, c, 0, 0, 0, 1},
                                {1, 0, 0, 0, -1, 0, 0, 0, -1}, {-1, 0, 0, 0, 1, 0, 0, 0, -1},
                                {-1, 0, 0, 0, -1, 0, 0, 0, 1}, {0, 0, 1, 1, 0, 0, 0, 1, 0}};
  for (const auto& axes : axesTable) {
    const Quaternion q = QuaternionFromAxes(axes);
    const Quaternion same = Slerp(q, q, 0.4f);
    float m[16];
    MatrixFromQuaternion(same, m);
    for (int col = 0; col < 3; ++col)
      for (int row = 0; row < 3; ++row) EXPECT_NEAR(m[col * 4 + row], axes[col * 3 + row], 1e-5f) << col << row;
    EXPECT_EQ(m[15], 1.0f);
    EXPECT_EQ(m[12], 0.0f);
  }
  ExpectQuaternion(QuaternionFromAxes(axesTable[0]), 0, 0, 0, 1);
}

TEST(Quaternion, SlerpBlendsNearlyEqualRotationsLinearly) {
  const Quaternion a{0, 0, 0, 1};
  const Quaternion near{0, 0, std::sin(0.1f), std::cos(0.1f)};  // 1 - dot = 0.005
  const Quaternion linear = Slerp(a, near, 0.5f);
  ExpectQuaternion(linear, 0, 0, near.z / 2, (1 + near.w) / 2);  // not renormalised
  EXPECT_LT(std::sqrt(linear.z * linear.z + linear.w * linear.w), 1.0f);

  const Quaternion quarter{0, 0, std::sin(0.785398f), std::cos(0.785398f)};  // 90 degrees about z
  const Quaternion half = Slerp(a, quarter, 0.5f);
  ExpectQuaternion(half, 0, 0, std::sin(0.392699f), std::cos(0.392699f));
  // The shorter way round: a negated target gives the same rotation.
  const Quaternion negated{-quarter.x, -quarter.y, -quarter.z, -quarter.w};
  ExpectQuaternion(Slerp(a, negated, 0.5f), 0, 0, std::sin(0.392699f), std::cos(0.392699f));
  ExpectQuaternion(Slerp(a, quarter, 0.0f), 0, 0, 0, 1);
}

}  // namespace
