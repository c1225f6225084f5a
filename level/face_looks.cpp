// Face looks: the alpha test and the culling a material asks for, set and put back.
#include "level/face_looks.h"

#include <GL/gl.h>

uint8_t LookOf(const SurfaceMaterial& material) {
  return static_cast<uint8_t>(static_cast<uint8_t>(material.alphaTest) | (material.twoSided ? TwoSidedLook : 0) |
                              (material.backSided && !material.twoSided ? BackSidedLook : 0));
}

uint8_t FaceLookOf(const Level& level, const BspFace& face) {
  if (level.materials.size() != level.textures.size()) return 0;  // parsed only: no materials read
  return LookOf(level.materials[face.textureIndex]);
}

void FaceLooks::Apply(uint8_t look) {
  if (look == current_) return;
  if (!saved_) {
    culling_ = glIsEnabled(GL_CULL_FACE);
    alphaTest_ = glIsEnabled(GL_ALPHA_TEST);
    GLint function = GL_ALWAYS;
    glGetIntegerv(GL_ALPHA_TEST_FUNC, &function);
    alphaFunction_ = function;
    glGetFloatv(GL_ALPHA_TEST_REF, &alphaReference_);
    GLint side = GL_BACK;
    glGetIntegerv(GL_CULL_FACE_MODE, &side);
    culledSide_ = side;
    saved_ = true;
  }
  const uint8_t test = look & 3, before = current_ & 3;
  if (test != before) {
    switch (static_cast<AlphaTest>(test)) {
      case AlphaTest::None:
        glAlphaFunc(static_cast<GLenum>(alphaFunction_), alphaReference_);
        if (!alphaTest_) glDisable(GL_ALPHA_TEST);
        break;
      case AlphaTest::GT0:
        glAlphaFunc(GL_GREATER, 0.0f);
        break;
      case AlphaTest::LT128:
        glAlphaFunc(GL_LESS, 0.5f);
        break;
      case AlphaTest::GE128:
        glAlphaFunc(GL_GEQUAL, 0.5f);
        break;
    }
    if (test != 0) glEnable(GL_ALPHA_TEST);
  }
  if ((look & TwoSidedLook) != (current_ & TwoSidedLook)) {
    if (look & TwoSidedLook)
      glDisable(GL_CULL_FACE);
    else if (culling_)
      glEnable(GL_CULL_FACE);
  }
  if ((look & BackSidedLook) != (current_ & BackSidedLook)) {
    const GLenum usual = static_cast<GLenum>(culledSide_);
    glCullFace((look & BackSidedLook) ? (usual == GL_FRONT ? GL_BACK : GL_FRONT) : usual);
  }
  current_ = look;
}
