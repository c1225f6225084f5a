// The fixed-function state a face's material asks for beyond its textures: the alpha test of
// an alpha-tested picture and no face culling for a surface seen from both sides. Shared by
// the batched, the face-by-face and the blended drawing, so all three draw a material alike.
#pragma once
#include <cstdint>

#include "core/level.h"

// A material's look in one byte: its alpha test (AlphaTest) in the low bits, TwoSidedLook
// for no culling, BackSidedLook for the other side culled than usual (seen from behind).
// 0 is the plain look: nothing to change.
constexpr uint8_t TwoSidedLook = 4;
constexpr uint8_t BackSidedLook = 8;
uint8_t LookOf(const SurfaceMaterial& material);
// The look of a face of the level (0 when the level has no materials).
uint8_t FaceLookOf(const Level& level, const BspFace& face);

// Sets looks one after another, changing GL only when the look changes, and puts back what
// it changed. The plain look is the state found at the first change.
class FaceLooks {
 public:
  void Apply(uint8_t look);
  void Restore() { Apply(0); }

 private:
  uint8_t current_ = 0;
  bool saved_ = false;
  bool culling_ = false, alphaTest_ = false;
  int culledSide_ = 0;
  int alphaFunction_ = 0;
  float alphaReference_ = 0;
};
