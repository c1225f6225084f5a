// Faces drawn stage by stage, as shader scripts layer them: the first stage is the face's
// base (opaque and writing depth unless it blends), each later stage is drawn over the same
// pixels (depth test equal) with its own blend, alpha test, colour, moving texture
// coordinates and animation frame. A face's vertices are copied once per frame (moved by its
// deforms), and each stage rewrites their texture coordinates and colours. Stages that
// multiply what lies under them are drawn untinted and unfogged: the tint and fog are already
// in what they multiply. Time is the surfaces' clock (gGame.surfaceSeconds).
#include <GL/gl.h>

#include <algorithm>

#include "core/game_state.h"
#include "core/level.h"
#include "level/face_arrays.h"
#include "level/face_looks.h"
#include "level/stage_draw.h"
#include "level/stage_motion.h"

namespace {

void ActiveTexture(unsigned int unit) {
  if (gGame.multitexture.activeTexture) gGame.multitexture.activeTexture(unit);
}

bool Multiplies(const ShaderStage& stage) {
  return (stage.blendSource == GL_DST_COLOR && stage.blendDestination == GL_ZERO) ||
         (stage.blendSource == GL_ZERO && stage.blendDestination == GL_SRC_COLOR);
}

// The GL state the stages change, as found, and put back at the end.
struct SavedState {
  bool blend = false, fog = false, culling = false;
  GLint source = GL_ONE, destination = GL_ZERO, depthFunction = GL_LESS;
  GLboolean depthWrites = GL_TRUE;
  CurrentColour colour;

  void Save() {
    blend = glIsEnabled(GL_BLEND);
    fog = glIsEnabled(GL_FOG);
    culling = glIsEnabled(GL_CULL_FACE);
    glGetIntegerv(GL_BLEND_SRC, &source);
    glGetIntegerv(GL_BLEND_DST, &destination);
    glGetIntegerv(GL_DEPTH_FUNC, &depthFunction);
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
    colour = ReadCurrentColour();
  }
  void Restore() const {
    glBlendFunc(static_cast<GLenum>(source), static_cast<GLenum>(destination));
    if (blend) glEnable(GL_BLEND); else glDisable(GL_BLEND);
    if (fog) glEnable(GL_FOG); else glDisable(GL_FOG);
    if (culling) glEnable(GL_CULL_FACE); else glDisable(GL_CULL_FACE);
    glDepthFunc(static_cast<GLenum>(depthFunction));
    glDepthMask(depthWrites);
    EndVertexColours(colour);
  }
};

}  // namespace

void DrawStages(const StagedMaterial& staged, const StageInputs& in, std::vector<BspVertex>* scratch, FaceLooks* looks) {
  std::vector<BspVertex>& out = *scratch;  // positions already set (deformed) by the caller
  for (size_t k = 0; k < staged.stages.size(); ++k) {
    const ShaderStage& stage = staged.stages[k];
    // The picture, lightmap or white of this stage.
    Texture texture = in.white;
    if (stage.image == StageImage::Lightmap) {
      texture = in.lightmap;
    } else if (stage.image == StageImage::Picture && !staged.textures[k].empty()) {
      texture = gGame.texturesOn ? staged.textures[k][AnimationFrame(stage, in.seconds)] : in.white;
    }
    glBindTexture(GL_TEXTURE_2D, texture);
    // Coordinates and colours. A lightmap stage of a face without a page shows the face's
    // vertex colours instead (the white texture times them).
    const bool multiplies = Multiplies(stage);
    const bool vertexLight = stage.image == StageImage::Lightmap && in.vertexLight;
    for (size_t i = 0; i < out.size(); ++i) {
      BspVertex& v = out[i];
      const BspVertex& original = in.originals[i];
      const float* base = stage.image == StageImage::Lightmap ? original.lightmapCoord : original.texCoord;
      v.texCoord[0] = base[0];
      v.texCoord[1] = base[1];
      if (!stage.texMods.empty()) MoveTexCoord(stage.texMods, in.seconds, v.position, v.texCoord);
      uint8_t rgba[4];
      if (vertexLight) {
        std::copy(original.color, original.color + 3, rgba);
        rgba[3] = 255;
      } else {
        StageColour(stage, in.seconds, original.color, rgba);
      }
      for (int c = 0; c < 4; ++c) {
        const float t = multiplies ? 1.0f : in.tint[c];
        v.color[c] = static_cast<uint8_t>(std::clamp(rgba[c] * t + 0.5f, 0.0f, 255.0f));
      }
    }
    PointFaceArrays(out.data(), true);
    // Blend and depth: the base as the first stage says, later stages over it.
    if (stage.blends) {
      glEnable(GL_BLEND);
      glBlendFunc(stage.blendSource, stage.blendDestination);
    } else {
      glDisable(GL_BLEND);
    }
    glDepthFunc(k == 0 ? in.firstDepth : in.laterDepth);
    glDepthMask(in.writeDepth && (stage.depthWrite || (k == 0 && !stage.blends)) ? GL_TRUE : GL_FALSE);
    if (in.fog && !multiplies) glEnable(GL_FOG); else glDisable(GL_FOG);
    looks->Apply(static_cast<uint8_t>(in.look | static_cast<uint8_t>(stage.alphaTest)));
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(in.indexCount), GL_UNSIGNED_INT, in.indices);
  }
}

void Level::DrawStagedFaces(const std::vector<int32_t>& faceList, Vec3 eye, bool blended) {
  if (faceList.empty() || stagedMaterials.empty()) return;
  std::vector<std::pair<float, int32_t>> order;
  for (int32_t f : faceList) {
    const int32_t staged = materials[faces[f].textureIndex].staged;
    if (staged < 0 || stagedMaterials[staged].blendedBase != blended) continue;
    float key = 0;
    if (blended) {  // far to near, by the centre of the face's corners
      const FaceGeometry& g = faceGeometry[f];
      float c[3] = {0, 0, 0};
      for (int k = 0; k < g.vertexCount; ++k)
        for (int a = 0; a < 3; ++a) c[a] += vertices[g.firstVertex + k].position[a] / g.vertexCount;
      key = -((c[0] - eye.x) * (c[0] - eye.x) + (c[1] - eye.y) * (c[1] - eye.y) + (c[2] - eye.z) * (c[2] - eye.z));
    }
    order.push_back({key, f});
  }
  if (order.empty()) return;
  if (blended)
    std::stable_sort(order.begin(), order.end(),
                     [](const std::pair<float, int32_t>& a, const std::pair<float, int32_t>& b) { return a.first < b.first; });

  SavedState saved;
  saved.Save();
  const double seconds = gGame.surfaceSeconds;
  const float* tint = saved.colour.rgba;
  // The view's axes in the vertices' coordinates, for faces turned to the viewer.
  float modelView[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
  const float right[3] = {modelView[0], modelView[4], modelView[8]};
  const float up[3] = {modelView[1], modelView[5], modelView[9]};

  // One texture unit: the stage's picture (or lightmap) times the stage's colour.
  ActiveTexture(GL_TEXTURE1_ARB);
  glDisable(GL_TEXTURE_2D);
  ActiveTexture(GL_TEXTURE0_ARB);
  glEnable(GL_TEXTURE_2D);
  FaceLooks looks;
  for (const auto& entry : order) {
    const int32_t f = entry.second;
    const BspFace& face = faces[f];
    const FaceGeometry& g = faceGeometry[f];
    const SurfaceMaterial& material = materials[face.textureIndex];
    const StagedMaterial& staged = stagedMaterials[material.staged];
    stageVertices_.assign(vertices.begin() + g.firstVertex, vertices.begin() + g.firstVertex + g.vertexCount);
    bool sprite = false;
    for (const VertexDeform& deform : staged.deforms) {
      if (deform.autosprite) {
        DeformAutosprite(right, up, stageVertices_.data(), stageVertices_.size());
        sprite = true;
      } else {
        DeformWave(deform, seconds, stageVertices_.data(), stageVertices_.size());
      }
    }
    StageInputs in;
    in.originals = &vertices[g.firstVertex];
    in.indices = &faceIndices[g.firstIndex];
    in.indexCount = g.indexCount;
    in.lightmap = gGame.lightmapsOn ? LightmapOf(face) : whiteTexture_;
    in.white = whiteTexture_;
    in.vertexLight = gGame.lightmapsOn && !HasLightmap(face);
    in.seconds = seconds;
    in.tint = tint;
    in.fog = saved.fog;
    in.firstDepth = static_cast<GLenum>(saved.depthFunction);
    in.laterDepth = GL_EQUAL;
    in.look = static_cast<uint8_t>((LookOf(material) & ~uint8_t{3}) | (sprite ? TwoSidedLook : 0));
    DrawStages(staged, in, &stageVertices_, &looks);
  }
  looks.Restore();
  saved.Restore();
  PointFaceArrays(vertices.data(), false);
  facesDrawnLastFrame += static_cast<int>(order.size());
  // The units as the level leaves them: surface textures on 0, lightmaps on 1.
  if (!gGame.texturesOn) glDisable(GL_TEXTURE_2D);
  if (gGame.lightmapsOn) {
    ActiveTexture(GL_TEXTURE1_ARB);
    glEnable(GL_TEXTURE_2D);
  }
}
