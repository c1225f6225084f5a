// The muzzle of a character's weapon as drawn: the same blended tags DrawLinked multiplies
// onto the GL matrix, followed in software from the lower body to the weapon's flash tag.
#include <strings.h>

#include <algorithm>

#include "core/character.h"
#include "models/quaternion.h"

namespace {

// The matrix (column-major) of the parent's tag i, blended between its frames as drawn.
void TagMatrix(const Md3Model& model, size_t i, float m[16]) {
  const size_t tagCount = static_cast<size_t>(model.tagCount);
  const Md3Tag& c = model.tags[static_cast<size_t>(model.currentFrame) * tagCount + i];
  const Md3Tag& n = model.tags[static_cast<size_t>(model.nextFrame) * tagCount + i];
  const Vec3 p = c.origin + (n.origin - c.origin) * model.blend;
  MatrixFromQuaternion(Slerp(QuaternionFromAxes(c.axes), QuaternionFromAxes(n.axes), model.blend), m);
  m[12] = p.x, m[13] = p.y, m[14] = p.z;
}

Vec3 Transform(const float m[16], Vec3 v) {
  return Vec3(m[0] * v.x + m[4] * v.y + m[8] * v.z + m[12], m[1] * v.x + m[5] * v.y + m[9] * v.z + m[13],
              m[2] * v.x + m[6] * v.y + m[10] * v.z + m[14]);
}

// The index of the tag at which the parent holds child, or -1.
int LinkTo(const Md3Model& parent, const Md3Model& child) {
  const size_t tagCount = static_cast<size_t>(parent.tagCount > 0 ? parent.tagCount : 0);
  for (size_t i = 0; i < tagCount && i < parent.links.size(); ++i)
    if (parent.links[i] == &child) {
      // The frames drawn must hold the tag (the loader checked every frame has them all).
      const size_t needed = (static_cast<size_t>(std::max(parent.currentFrame, parent.nextFrame)) + 1) * tagCount;
      return parent.tags.size() >= needed ? static_cast<int>(i) : -1;
    }
  return -1;
}

}  // namespace

bool CharacterModel::WeaponMuzzle(Vec3* point) const {
  const int torso = LinkTo(lower, upper), hand = LinkTo(upper, weapon);
  if (torso < 0 || hand < 0) return false;
  Vec3 flash;  // the weapon's origin unless it names its muzzle
  const size_t tagCount = static_cast<size_t>(weapon.tagCount > 0 ? weapon.tagCount : 0);
  const size_t frame = static_cast<size_t>(weapon.currentFrame);
  for (size_t i = 0; i < tagCount && (frame + 1) * tagCount <= weapon.tags.size(); ++i)
    if (strcasecmp(weapon.tags[frame * tagCount + i].name, "tag_flash") == 0)
      flash = weapon.tags[frame * tagCount + i].origin;
  float m[16];
  TagMatrix(upper, static_cast<size_t>(hand), m);
  const Vec3 inUpper = Transform(m, flash);
  TagMatrix(lower, static_cast<size_t>(torso), m);
  *point = Transform(m, inUpper);
  return true;
}
