// Animating and drawing a character: one frame step per call by the platform clock, linear
// blending of vertices and tag positions, spherical blending of tag orientations; each
// mesh's blended frame sent as one array draw, nothing sent for a character out of view.
// A black GL fog is folded into the array draws' vertex colours.
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>

#include "core/character.h"
#include "core/game_state.h"
#include "models/model_tags.h"
#include "models/quaternion.h"
#include "platform/platform.h"

void CharacterModel::DrawCharacter() {
  glRotatef(-90, 1, 0, 0);  // model +Z up becomes world +Y up
  AdvanceAnimation(&lower);
  AdvanceAnimation(&upper);
  // Out of view the meshes still bind their textures, so what is drawn next finds the same
  // GL state either way.
  skipTriangles_ = hiddenByLevel || OutsideView();
  BeginFogInColours();
  DrawLinked(lower);
  EndFogInColours();
  skipTriangles_ = false;
}

void CharacterModel::BeginFogInColours() {
  fogInColours_ = false;
  if (!arrayDrawing || skipTriangles_ || !glIsEnabled(GL_FOG)) return;
  // A black fog only scales a pixel's colour, by a factor that varies little across a
  // figure's small triangles: taken per vertex into the colours, it spares the renderer the
  // fog's per-pixel work (about a tenth of a figure's cost), the pixels within 1/255. Other
  // fogs (a fog volume's colour, fog coordinates of their own) stay the GL's.
  GLint mode = 0, source = 0;
  float colour[4];
  glGetIntegerv(GL_FOG_MODE, &mode);
  glGetIntegerv(GL_FOG_COORD_SRC, &source);
  glGetFloatv(GL_FOG_COLOR, colour);
  if ((mode != GL_LINEAR && mode != GL_EXP && mode != GL_EXP2) || source != GL_FRAGMENT_DEPTH ||
      colour[0] != 0 || colour[1] != 0 || colour[2] != 0)
    return;
  fogMode_ = mode;
  glGetFloatv(GL_FOG_DENSITY, &fogDensity_);
  glGetFloatv(GL_FOG_START, &fogStart_);
  glGetFloatv(GL_FOG_END, &fogEnd_);
  glGetFloatv(GL_CURRENT_COLOR, fogFreeColour_);
  glDisable(GL_FOG);
  fogInColours_ = true;
}

void CharacterModel::EndFogInColours() {
  if (!fogInColours_) return;
  glEnable(GL_FOG);
  glColor4fv(fogFreeColour_);  // after a colour array the current colour is undefined
  fogInColours_ = false;
}

float CharacterModel::FogFactor(float depth) const {
  // As the GL fogs a pixel at eye depth |z|, clamped to [0, 1].
  float f = 1;
  if (fogMode_ == GL_LINEAR)
    f = fogEnd_ == fogStart_ ? 1.0f : (fogEnd_ - depth) / (fogEnd_ - fogStart_);
  else if (fogMode_ == GL_EXP)
    f = std::exp(-fogDensity_ * depth);
  else
    f = std::exp(-(fogDensity_ * depth) * (fogDensity_ * depth));
  return std::clamp(f, 0.0f, 1.0f);
}

bool CharacterModel::OutsideView() const {
  if (!viewCulling || reach_ < 0) return false;
  float m[16], p[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, m);
  glGetFloatv(GL_PROJECTION_MATRIX, p);
  // Clip coordinates of the model's point x are c = P * M * x; row r of P * M is clip[r].
  float clip[4][4];
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      clip[r][c] = p[r] * m[4 * c] + p[4 + r] * m[4 * c + 1] + p[8 + r] * m[4 * c + 2] + p[12 + r] * m[4 * c + 3];
  // The six sides of the clip volume, -w <= x, y, z <= w, as planes in model space; a
  // margin covers rounding.
  const float reach = reach_ * 1.01f + 1.0f;
  for (int axis = 0; axis < 3; ++axis) {
    for (const float sign : {1.0f, -1.0f}) {
      float plane[4];
      for (int c = 0; c < 4; ++c) plane[c] = clip[3][c] + sign * clip[axis][c];
      const float length = std::sqrt(plane[0] * plane[0] + plane[1] * plane[1] + plane[2] * plane[2]);
      if (!(length > 0)) return false;
      if (plane[3] / length < -reach) return true;  // the origin lies farther out than any vertex
    }
  }
  return false;
}

void CharacterModel::AdvanceAnimation(Md3Model* model) {
  // The clip loops from its last frame back to its first. Its range lies inside the
  // model's frames, so both frames drawn always exist.
  int32_t start = 0, end = 1;
  ClipFrameRange(*model, &start, &end);
  model->nextFrame = (model->currentFrame + 1) % end;
  if (model->nextFrame == 0) model->nextFrame = start;
  const int index = model->currentAnimation;
  if (index < 0 || static_cast<size_t>(index) >= model->animations.size()) return;

  const uint32_t now = platform::Ticks();
  // The clock never runs backwards; a negative difference (a reset clock) counts as none.
  const int64_t sinceChange = static_cast<int64_t>(now) - model->lastFrameTime;
  const float elapsed = static_cast<float>(std::max<int64_t>(sinceChange, 0));
  int32_t rate = model->animations[static_cast<size_t>(index)].framesPerSecond;
  if (slowMotion_) rate /= 20;  // a rate below 20 stands still in slow motion
  if (rate <= 0) {
    model->blend = 0;  // endless frame: no change, no division
    return;
  }
  const float duration = 1000.0f / static_cast<float>(rate);
  const float blend = elapsed / duration;
  // At most one frame per call, however long the pause. After a change currentFrame equals
  // nextFrame until the next call, so a blend of 1 or more draws exactly the new frame.
  if (elapsed >= duration) {
    model->currentFrame = model->nextFrame;
    model->lastFrameTime = now;
  }
  model->blend = blend;
}

void CharacterModel::DrawLinked(const Md3Model& model) {
  DrawMeshes(model);
  const int32_t tagCount = model.tagCount;
  for (int32_t i = 0; i < tagCount; ++i) {
    Md3Model* child = model.links[static_cast<size_t>(i)];
    if (!child) continue;
    const Md3Tag& c = model.tags[static_cast<size_t>(model.currentFrame) * tagCount + i];
    const Md3Tag& n = model.tags[static_cast<size_t>(model.nextFrame) * tagCount + i];
    const Vec3 p = c.origin + (n.origin - c.origin) * model.blend;
    const Quaternion q = Slerp(QuaternionFromAxes(c.axes), QuaternionFromAxes(n.axes), model.blend);
    float finalMatrix[16];
    MatrixFromQuaternion(q, finalMatrix);
    finalMatrix[12] = p.x;
    finalMatrix[13] = p.y;
    finalMatrix[14] = p.z;
    glPushMatrix();
    glMultMatrixf(finalMatrix);
    DrawLinked(*child);
    glPopMatrix();
  }
}

void CharacterModel::BindMeshTexture(const Md3Model& model, const Md3Mesh& mesh) {
  const ActiveTextureProc activeTexture = gGame.multitexture.activeTexture;
  // A material whose file has no slot (no name, or the table was full) draws untextured.
  int32_t textureId = -1;
  if (mesh.hasTexture && mesh.materialId >= 0 && static_cast<size_t>(mesh.materialId) < model.materials.size())
    textureId = model.materials[static_cast<size_t>(mesh.materialId)].textureId;
  if (textureId >= 0 && textureId < MaxCharacterTextures) {
    if (activeTexture) activeTexture(GL_TEXTURE0_ARB);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, textures[textureId]);
    if (activeTexture) {
      activeTexture(GL_TEXTURE1_ARB);
      glDisable(GL_TEXTURE_2D);
    }
  } else {
    glDisable(GL_TEXTURE_2D);
  }
}

void CharacterModel::DrawMeshes(const Md3Model& model) {
  if (skipTriangles_) {
    for (const Md3Mesh& mesh : model.meshes) {
      BindMeshTexture(model, mesh);
      LeaveLastTexCoord(mesh);
    }
    return;
  }
  if (!arrayDrawing) {
    for (const Md3Mesh& mesh : model.meshes) {
      BindMeshTexture(model, mesh);
      DrawMeshImmediate(model, mesh);
    }
    return;
  }
  // The level and the billboards leave arrays on (colours, a second set of texture
  // coordinates); only positions and the first unit's coordinates may feed these draws.
  const ActiveTextureProc clientActiveTexture = gGame.multitexture.clientActiveTexture;
  GLint clientUnit = GL_TEXTURE0_ARB;
  if (clientActiveTexture) glGetIntegerv(GL_CLIENT_ACTIVE_TEXTURE_ARB, &clientUnit);
  glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
  if (clientActiveTexture) {
    clientActiveTexture(GL_TEXTURE1_ARB);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    clientActiveTexture(GL_TEXTURE0_ARB);
  }
  glDisableClientState(GL_COLOR_ARRAY);
  glDisableClientState(GL_NORMAL_ARRAY);
  glDisableClientState(GL_SECONDARY_COLOR_ARRAY);
  glDisableClientState(GL_FOG_COORD_ARRAY);
  glDisableClientState(GL_EDGE_FLAG_ARRAY);
  glDisableClientState(GL_INDEX_ARRAY);
  glEnableClientState(GL_VERTEX_ARRAY);
  if (fogInColours_) {
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    for (int c = 0; c < 4; ++c) eyeDepthRow_[c] = m[4 * c + 2];  // row 2: eye-space z
    glEnableClientState(GL_COLOR_ARRAY);
  }
  for (const Md3Mesh& mesh : model.meshes) {
    BindMeshTexture(model, mesh);
    DrawMeshArrays(model, mesh);
  }
  glPopClientAttrib();
  if (clientActiveTexture) clientActiveTexture(static_cast<unsigned int>(clientUnit));
}

void CharacterModel::DrawMeshImmediate(const Md3Model& model, const Md3Mesh& mesh) {
  const size_t a = static_cast<size_t>(model.currentFrame) * mesh.vertexCount;
  const size_t b = static_cast<size_t>(model.nextFrame) * mesh.vertexCount;
  const bool hasTexCoords = !mesh.texCoords.empty();
  const float blend = model.blend;
  glBegin(GL_TRIANGLES);
  for (const Md3Face& face : mesh.faces) {
    for (int corner = 0; corner < 3; ++corner) {
      const size_t i = static_cast<size_t>(face.vertexIndex[corner]);
      if (hasTexCoords) glTexCoord2f(mesh.texCoords[2 * i], mesh.texCoords[2 * i + 1]);
      const Vec3 from = mesh.vertices[a + i];
      const Vec3 v = from + (mesh.vertices[b + i] - from) * blend;
      glVertex3f(v.x, v.y, v.z);
    }
  }
  glEnd();
}

void CharacterModel::DrawMeshArrays(const Md3Model& model, const Md3Mesh& mesh) {
  const size_t count = static_cast<size_t>(mesh.vertexCount);
  if (mesh.faces.empty() || count == 0) return;
  // The blend as the vertex-by-vertex draw computes it, so both give the same positions.
  const Vec3* from = &mesh.vertices[static_cast<size_t>(model.currentFrame) * count];
  const Vec3* to = &mesh.vertices[static_cast<size_t>(model.nextFrame) * count];
  const float blend = model.blend;
  blended_.resize(count);
  for (size_t i = 0; i < count; ++i) blended_[i] = from[i] + (to[i] - from[i]) * blend;
  indices_.resize(mesh.faces.size() * 3);
  for (size_t f = 0; f < mesh.faces.size(); ++f)
    for (int corner = 0; corner < 3; ++corner)
      indices_[3 * f + corner] = static_cast<uint32_t>(mesh.faces[f].vertexIndex[corner]);

  glVertexPointer(3, GL_FLOAT, sizeof(Vec3), blended_.data());
  if (fogInColours_) {
    const float* row = eyeDepthRow_;
    const float* c = fogFreeColour_;
    colours_.resize(4 * count);
    for (size_t i = 0; i < count; ++i) {
      const Vec3 v = blended_[i];
      const float f = FogFactor(std::fabs(row[0] * v.x + row[1] * v.y + row[2] * v.z + row[3]));
      float* out = &colours_[4 * i];
      out[0] = c[0] * f, out[1] = c[1] * f, out[2] = c[2] * f, out[3] = c[3];
    }
    glColorPointer(4, GL_FLOAT, 0, colours_.data());
  }
  const bool hasTexCoords = mesh.texCoords.size() >= 2 * count;
  if (hasTexCoords) {
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, 0, mesh.texCoords.data());
  } else {
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  }
  glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(indices_.size()), GL_UNSIGNED_INT, indices_.data());
  LeaveLastTexCoord(mesh);
}

void CharacterModel::LeaveLastTexCoord(const Md3Mesh& mesh) {
  // Drawn vertex by vertex, the last corner's coordinates stay current; later untextured
  // drawing may carry them.
  if (mesh.faces.empty() || mesh.texCoords.empty()) return;
  const size_t last = static_cast<size_t>(mesh.faces.back().vertexIndex[2]);
  if (2 * last + 1 < mesh.texCoords.size()) glTexCoord2f(mesh.texCoords[2 * last], mesh.texCoords[2 * last + 1]);
}
