// Client arrays of the level's faces and the vertex-colour drawing of faces without a lightmap.
#include "level/face_arrays.h"

#include <GL/gl.h>

#include "core/game_state.h"

CurrentColour ReadCurrentColour() {
  CurrentColour colour;
  glGetFloatv(GL_CURRENT_COLOR, colour.rgba);
  return colour;
}

void PointFaceArrays(const BspVertex* records, bool colours) {
  const GLsizei stride = sizeof(BspVertex);
  glVertexPointer(3, GL_FLOAT, stride, records->position);
  if (gGame.multitexture.clientActiveTexture) gGame.multitexture.clientActiveTexture(GL_TEXTURE0_ARB);
  glTexCoordPointer(2, GL_FLOAT, stride, records->texCoord);
  if (gGame.multitexture.clientActiveTexture) gGame.multitexture.clientActiveTexture(GL_TEXTURE1_ARB);
  glTexCoordPointer(2, GL_FLOAT, stride, records->lightmapCoord);
  if (colours) {
    glColorPointer(4, GL_UNSIGNED_BYTE, stride, records->color);
    glEnableClientState(GL_COLOR_ARRAY);
  }
}

void TintVertexColours(BspVertex* records, size_t count, const CurrentColour& colour) {
  const float* c = colour.rgba;
  if (c[0] == 1 && c[1] == 1 && c[2] == 1 && c[3] == 1) return;
  for (size_t i = 0; i < count; ++i)
    for (int k = 0; k < 4; ++k) {
      const float v = records[i].color[k] * c[k] + 0.5f;
      records[i].color[k] = !(v > 0) ? 0 : v >= 255 ? 255 : static_cast<uint8_t>(v);
    }
}

void EndVertexColours(const CurrentColour& colour) {
  glDisableClientState(GL_COLOR_ARRAY);
  glColor4fv(colour.rgba);
}

// Drawing near to far shows in the picture unless the depth test alone decides what is
// seen: with blending, without the depth test or its writes, or with outlined polygons
// (neighbours share their edges at equal depth), the faces keep the leaves' order.
bool OrderIsInvisible() {
  if (glIsEnabled(GL_BLEND) || !glIsEnabled(GL_DEPTH_TEST)) return false;
  GLint function = 0, polygonMode[2] = {0, 0};
  GLboolean depthWrites = GL_FALSE;
  glGetIntegerv(GL_DEPTH_FUNC, &function);
  glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
  glGetIntegerv(GL_POLYGON_MODE, polygonMode);
  return function == GL_LESS && depthWrites && polygonMode[0] == GL_FILL && polygonMode[1] == GL_FILL;
}
