// Faces the shader scripts set apart from the opaque batches: nodraw faces and the sides of
// fog volumes are never drawn, faces drawn stage by stage wait for their pass (stage_faces.cpp),
// sky faces go to the sky pass (sky.cpp), and faces whose picture is blended (added, mixed
// by its alpha, or multiplying) are drawn after everything opaque, far to near, without
// writing depth, so what lies behind them shows through. A multiplying picture is drawn
// untinted and unfogged: the tint and fog of what lies behind it are already in the frame,
// and it only scales them (fog between the eye and the picture dims that light as much as
// it would have dimmed it anyway).
#include <GL/gl.h>

#include <algorithm>

#include "core/game_state.h"
#include "core/level.h"
#include "level/face_arrays.h"
#include "level/face_looks.h"

namespace {

void ActiveTexture(unsigned int unit) {
  if (gGame.multitexture.activeTexture) gGame.multitexture.activeTexture(unit);
}

void BlendFunctionOf(SurfaceBlend blend) {
  switch (blend) {
    case SurfaceBlend::Additive:
      glBlendFunc(GL_ONE, GL_ONE);
      break;
    case SurfaceBlend::Filter:
      glBlendFunc(GL_DST_COLOR, GL_ZERO);
      break;
    case SurfaceBlend::Opaque:
    case SurfaceBlend::Alpha:
      glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
      break;
  }
}

// Multiplying pictures: white, without fog; and the colour and fog they set aside.
class FilterLook {
 public:
  void Set(bool on) {
    if (on == on_) return;
    if (on) {
      if (!saved_) {
        colour_ = ReadCurrentColour();
        fog_ = glIsEnabled(GL_FOG);
        saved_ = true;
      }
      glColor4f(1, 1, 1, 1);
      glDisable(GL_FOG);
    } else {
      glColor4fv(colour_.rgba);
      if (fog_) glEnable(GL_FOG);
    }
    on_ = on;
  }

 private:
  bool on_ = false, saved_ = false, fog_ = false;
  CurrentColour colour_;
};

}  // namespace

bool Level::SetAside(int32_t face) {
  if (materials.size() != textures.size()) return false;  // parsed only: no materials read
  const SurfaceMaterial& material = materials[faces[face].textureIndex];
  if (material.nodraw || material.fog) return true;
  if (material.sky) {
    skyFaces_.push_back(face);
    return true;
  }
  if (material.staged >= 0) {
    stagedFaces_.push_back(face);
    return true;
  }
  if (material.blend != SurfaceBlend::Opaque) {
    blendedFaces_.push_back(face);
    return true;
  }
  return false;
}

void Level::AppendFaceTriangles(int32_t face, std::vector<uint32_t>* indices) const {
  // The face's own triangles (face_geometry.cpp), as indices into the whole vertex array.
  const FaceGeometry& g = faceGeometry[face];
  const uint32_t first = static_cast<uint32_t>(g.firstVertex);
  for (uint32_t k = 0; k < g.indexCount; ++k) indices->push_back(first + faceIndices[g.firstIndex + k]);
}

void Level::DrawBlendedFaces(Vec3 eye) {
  if (blendedFaces_.empty()) return;
  // Far to near, by the distance to the centre of each face's corners.
  std::vector<std::pair<float, int32_t>> order;
  order.reserve(blendedFaces_.size());
  for (int32_t f : blendedFaces_) {
    const FaceGeometry& face = faceGeometry[f];
    float centre[3] = {0, 0, 0};
    for (int k = 0; k < face.vertexCount; ++k)
      for (int a = 0; a < 3; ++a) centre[a] += vertices[face.firstVertex + k].position[a];
    const float n = static_cast<float>(std::max(face.vertexCount, 1));
    const float dx = centre[0] / n - eye.x, dy = centre[1] / n - eye.y, dz = centre[2] / n - eye.z;
    order.push_back({-(dx * dx + dy * dy + dz * dz), f});
  }
  std::stable_sort(order.begin(), order.end(),
                   [](const std::pair<float, int32_t>& a, const std::pair<float, int32_t>& b) { return a.first < b.first; });

  const bool blend = glIsEnabled(GL_BLEND);
  GLint source = GL_ONE, destination = GL_ZERO;
  GLboolean depthWrites = GL_TRUE;
  glGetIntegerv(GL_BLEND_SRC, &source);
  glGetIntegerv(GL_BLEND_DST, &destination);
  glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
  glEnable(GL_BLEND);
  glDepthMask(GL_FALSE);
  // The picture alone: blended stages carry no lightmap.
  ActiveTexture(GL_TEXTURE1_ARB);
  glDisable(GL_TEXTURE_2D);
  ActiveTexture(GL_TEXTURE0_ARB);
  glEnable(GL_TEXTURE_2D);
  FaceLooks looks;
  FilterLook filter;
  for (const auto& entry : order) {
    const BspFace& face = faces[entry.second];
    const SurfaceMaterial& material = materials[face.textureIndex];
    BlendFunctionOf(material.blend);
    filter.Set(material.blend == SurfaceBlend::Filter);
    looks.Apply(LookOf(material));
    glBindTexture(GL_TEXTURE_2D, gGame.texturesOn ? textureNames[face.textureIndex] : 0);
    blendedIndices_.clear();
    AppendFaceTriangles(entry.second, &blendedIndices_);
    if (!blendedIndices_.empty())
      glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(blendedIndices_.size()), GL_UNSIGNED_INT,
                     blendedIndices_.data());
  }
  filter.Set(false);
  looks.Restore();
  glBlendFunc(static_cast<GLenum>(source), static_cast<GLenum>(destination));
  if (!blend) glDisable(GL_BLEND);
  glDepthMask(depthWrites);
  if (!gGame.texturesOn) glDisable(GL_TEXTURE_2D);
  if (gGame.lightmapsOn) {
    ActiveTexture(GL_TEXTURE1_ARB);
    glEnable(GL_TEXTURE_2D);
  }
}
