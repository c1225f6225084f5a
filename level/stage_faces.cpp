// Faces drawn stage by stage, as shader scripts layer them: the first stage is the face's
// base (opaque and writing depth unless it blends), each later stage is drawn over the same
// pixels (depth test equal) with its own blend, alpha test, colour, moving texture
// coordinates and animation frame. Runs of stages that multiply or add over an opaque stage
// are drawn together in one pass, a texture unit each (stage_passes.h); a stage that adds a
// colour that is black at this time is left out. Opaque faces of one entry, lightmap and
// choice of texture twins are drawn as one run, their vertices copied once per frame (moved
// by the deforms), and each pass rewrites their texture coordinates and colours. Stages that multiply what lies under them are drawn untinted and
// unfogged: the tint and fog are already in what they multiply. Time is the surfaces' clock
// (gGame.surfaceSeconds).
#include <GL/gl.h>

#include <algorithm>

#include "core/game_state.h"
#include "core/level.h"
#include "level/face_arrays.h"
#include "level/face_looks.h"
#include "level/stage_draw.h"
#include "level/stage_motion.h"

namespace {

bool Multiplies(const ShaderStage& stage) {
  return (stage.blendSource == GL_DST_COLOR && stage.blendDestination == GL_ZERO) ||
         (stage.blendSource == GL_ZERO && stage.blendDestination == GL_SRC_COLOR);
}

// Whether the stage adds nothing at `seconds`: it adds one colour all over that is black now,
// tests no alpha and writes no depth (a light flickering off, a glow at the low of its wave).
bool AddsNothing(const ShaderStage& stage, double seconds) {
  if (!stage.blends || stage.blendSource != GL_ONE || stage.blendDestination != GL_ONE) return false;
  if (stage.alphaTest != AlphaTest::None || stage.depthWrite) return false;
  if (stage.colour == ColourSource::Vertex || stage.colour == ColourSource::ExactVertex) return false;
  const uint8_t white[4] = {255, 255, 255, 255};
  uint8_t rgba[4];
  StageColour(stage, seconds, white, rgba);
  return rgba[0] == 0 && rgba[1] == 0 && rgba[2] == 0;
}

// The picture, lightmap or white a stage shows now.
Texture StageTexture(const StagedMaterial& staged, size_t k, const StageInputs& in) {
  const ShaderStage& stage = staged.stages[k];
  const bool twin = in.twins != nullptr && in.twins[k] != 0;
  if (stage.image == StageImage::Lightmap) return twin ? in.lightmapTwin : in.lightmap;
  if (stage.image == StageImage::Picture && !staged.textures[k].empty()) {
    if (!gGame.texturesOn) return in.white;
    const size_t frame = AnimationFrame(stage, in.seconds);
    return twin ? staged.twins[k][frame] : staged.textures[k][frame];
  }
  return in.white;
}

}  // namespace

int DrawStages(const StagedMaterial& staged, const StageInputs& in, const PassLimits& limits,
               std::vector<BspVertex>* scratch, std::vector<float>* coords, StagePasses* gl) {
  std::vector<BspVertex>& out = *scratch;  // positions already set (deformed) by the caller
  static std::vector<StagePass> passes;    // drawing runs on the main thread only
  PlanStagePasses(staged.stages, limits, &passes);
  const size_t n = out.size();
  int drawn = 0;
  for (const StagePass& pass : passes) {
    // The pass's stages drawn now: a stage that adds nothing takes no unit, and a pass of one
    // such stage is left out (unless fogged: the fog would add its colour).
    size_t stageOf[MaxStageUnits];
    size_t count = 0;
    for (size_t u = 0; u < pass.count; ++u) {
      const size_t k = pass.first + u;
      if ((u > 0 || (pass.count == 1 && !in.fog)) && AddsNothing(staged.stages[k], in.seconds)) continue;
      stageOf[count++] = k;
    }
    if (count == 0) continue;
    ++drawn;
    const ShaderStage& first = staged.stages[pass.first];
    // Units past the second take their coordinates from `coords`, n pairs per unit.
    if (count > 2) coords->resize(n * 2 * (count - 2));
    UnitJoin joins[MaxStageUnits] = {};
    float colours[MaxStageUnits][4] = {};
    for (size_t u = 1; u < count; ++u) {
      const ShaderStage& stage = staged.stages[stageOf[u]];
      joins[u] = JoinOf(stage, limits);
      const uint8_t white[4] = {255, 255, 255, 255};
      uint8_t rgba[4];
      StageColour(stage, in.seconds, white, rgba);  // one colour all over (JoinOf saw to it)
      for (int c = 0; c < 3; ++c) colours[u][c] = rgba[c] / 255.0f * in.tint[c];
      colours[u][3] = 1;
    }
    // Coordinates of every unit, and the first stage's colours. A lightmap stage of a face
    // without a page shows the face's vertex colours instead (the white texture times them).
    const bool multiplies = Multiplies(first);
    const bool vertexLight = first.image == StageImage::Lightmap && in.vertexLight;
    for (size_t i = 0; i < n; ++i) {
      BspVertex& v = out[i];
      const BspVertex& original = in.originals[i];
      for (size_t u = 0; u < count; ++u) {
        const ShaderStage& stage = staged.stages[stageOf[u]];
        float* st = u == 0 ? v.texCoord : u == 1 ? v.lightmapCoord : &(*coords)[((u - 2) * n + i) * 2];
        const float* base = stage.image == StageImage::Lightmap ? original.lightmapCoord : original.texCoord;
        st[0] = base[0];
        st[1] = base[1];
        if (!stage.texMods.empty()) MoveTexCoord(stage.texMods, in.seconds, v.position, st);
      }
      uint8_t rgba[4];
      if (vertexLight) {
        std::copy(original.color, original.color + 3, rgba);
        rgba[3] = 255;
      } else {
        StageColour(first, in.seconds, original.color, rgba);
      }
      for (int c = 0; c < 4; ++c) {
        const float t = multiplies ? 1.0f : in.tint[c];
        v.color[c] = static_cast<uint8_t>(std::clamp(rgba[c] * t + 0.5f, 0.0f, 255.0f));
      }
    }
    PointFaceArrays(out.data(), true);
    for (size_t u = 2; u < count; ++u) {
      ClientTextureUnit(u);
      glTexCoordPointer(2, GL_FLOAT, 0, &(*coords)[(u - 2) * n * 2]);
    }
    gl->Units(count, joins, colours);
    for (size_t u = 0; u < count; ++u) gl->Bind(u, StageTexture(staged, stageOf[u], in));
    // Blend and depth: the base as the first stage says, later stages over it.
    gl->Blend(first.blends, first.blendSource, first.blendDestination);
    gl->Depth(pass.first == 0 ? in.firstDepth : in.laterDepth,
              in.writeDepth && (first.depthWrite || (pass.first == 0 && !first.blends)));
    gl->Fog(in.fog && !multiplies);
    gl->Look(static_cast<uint8_t>(in.look | static_cast<uint8_t>(first.alphaTest)));
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(in.indexCount), GL_UNSIGNED_INT, in.indices);
  }
  return drawn;
}

void Level::DrawStagedFaces(const std::vector<int32_t>& faceList, Vec3 eye, bool blended) {
  if (faceList.empty() || stagedMaterials.empty()) return;
  const double seconds = gGame.surfaceSeconds;
  // Faces seen close show their pictures through twins without mip levels, as batched faces do.
  const bool twins = magnifiedTwins && PolygonsFilled();
  if (twins) BeginMagnifiedTest();
  std::vector<StagedFaceEntry>& order = stagedOrder_;
  order.clear();
  for (int32_t f : faceList) {
    const BspFace& face = faces[f];
    const int32_t staged = materials[face.textureIndex].staged;
    if (staged < 0 || stagedMaterials[staged].blendedBase != blended) continue;
    StagedFaceEntry entry;
    entry.face = f;
    entry.staged = staged;
    entry.lightmap = HasLightmap(face) ? face.lightmapIndex : -1;
    if (blended) {  // far to near, by the centre of the face's corners
      const FaceGeometry& g = faceGeometry[f];
      float c[3] = {0, 0, 0};
      for (int k = 0; k < g.vertexCount; ++k)
        for (int a = 0; a < 3; ++a) c[a] += vertices[g.firstVertex + k].position[a] / g.vertexCount;
      entry.distance = -((c[0] - eye.x) * (c[0] - eye.x) + (c[1] - eye.y) * (c[1] - eye.y) + (c[2] - eye.z) * (c[2] - eye.z));
    }
    if (twins) {
      MagnifiedStages(face, stagedMaterials[staged], seconds, &stageTwins_);
      for (size_t k = 0; k < stageTwins_.size() && k < 32; ++k)
        if (stageTwins_[k]) entry.twins |= 1u << k;
      if (entry.twins != 0) ++facesMagnifiedLastFrame;
    }
    order.push_back(entry);
  }
  if (order.empty()) return;
  // Opaque faces of one entry, lightmap page and choice of twins together: each such run is
  // drawn as one (its first stage writes depth and the later ones draw where it won, so the
  // faces of a run need no order among themselves). Blended faces one by one, far to near.
  std::stable_sort(order.begin(), order.end(), [blended](const StagedFaceEntry& a, const StagedFaceEntry& b) {
    if (blended) return a.distance < b.distance;
    if (a.staged != b.staged) return a.staged < b.staged;
    if (a.lightmap != b.lightmap) return a.lightmap < b.lightmap;
    return a.twins < b.twins;
  });

  StagePasses gl;
  const SavedDrawState& saved = gl.saved();
  const float* tint = saved.colour.rgba;
  // The view's axes in the vertices' coordinates, for faces turned to the viewer.
  float modelView[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
  const float right[3] = {modelView[0], modelView[4], modelView[8]};
  const float up[3] = {modelView[1], modelView[5], modelView[9]};

  for (size_t first = 0; first < order.size();) {
    const StagedFaceEntry& lead = order[first];
    size_t end = first + 1;
    if (!blended)
      while (end < order.size() && order[end].staged == lead.staged && order[end].lightmap == lead.lightmap &&
             order[end].twins == lead.twins)
        ++end;
    const BspFace& face = faces[lead.face];
    const SurfaceMaterial& material = materials[face.textureIndex];
    const StagedMaterial& staged = stagedMaterials[lead.staged];
    // The run's vertices as stored and as drawn (moved by the deforms, face by face), and
    // its triangles into them.
    stageOriginals_.clear();
    stageVertices_.clear();
    stageIndices_.clear();
    bool sprite = false;
    for (size_t i = first; i < end; ++i) {
      const FaceGeometry& g = faceGeometry[order[i].face];
      const uint32_t base = static_cast<uint32_t>(stageOriginals_.size());
      stageOriginals_.insert(stageOriginals_.end(), vertices.begin() + g.firstVertex,
                             vertices.begin() + g.firstVertex + g.vertexCount);
      for (uint32_t k = 0; k < g.indexCount; ++k) stageIndices_.push_back(base + faceIndices[g.firstIndex + k]);
      BspVertex* moved = stageOriginals_.data() + base;
      const size_t count = static_cast<size_t>(g.vertexCount);
      stageVertices_.insert(stageVertices_.end(), moved, moved + count);
      for (const VertexDeform& deform : staged.deforms) {
        if (deform.autosprite) {
          DeformAutosprite(right, up, stageVertices_.data() + base, count);
          sprite = true;
        } else {
          DeformWave(deform, seconds, stageVertices_.data() + base, count);
        }
      }
    }
    StageInputs in;
    in.originals = stageOriginals_.data();
    in.indices = stageIndices_.data();
    in.indexCount = static_cast<uint32_t>(stageIndices_.size());
    in.lightmap = gGame.lightmapsOn ? LightmapOf(face) : whiteTexture_;
    in.white = whiteTexture_;
    in.vertexLight = gGame.lightmapsOn && !HasLightmap(face);
    in.seconds = seconds;
    in.tint = tint;
    in.fog = saved.fog;
    in.firstDepth = static_cast<GLenum>(saved.depthFunction);
    in.laterDepth = GL_EQUAL;
    in.look = static_cast<uint8_t>((LookOf(material) & ~uint8_t{3}) | (sprite ? TwoSidedLook : 0));
    if (lead.twins != 0) {
      stageTwins_.assign(staged.stages.size(), 0);
      for (size_t k = 0; k < stageTwins_.size() && k < 32; ++k) stageTwins_[k] = (lead.twins >> k) & 1u;
      in.twins = stageTwins_.data();
      in.lightmapTwin = HasLightmap(face) ? magnifiedNames_[LightmapTextureBase + face.lightmapIndex] : 0;
    }
    PassLimits limits = gl.Limits(tint, in.vertexLight);
    if (!foldedStages) limits.units = 1;
    stagePassesLastFrame += DrawStages(staged, in, limits, &stageVertices_, &stageCoords_, &gl);
    first = end;
  }
  gl.Finish();
  PointFaceArrays(vertices.data(), false);
  facesDrawnLastFrame += static_cast<int>(order.size());
}
