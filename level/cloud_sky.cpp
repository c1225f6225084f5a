// Cloud skies: the stages of the sky's entry drawn on a dome around the eye, behind
// everything. The dome is a sphere of DomeRadius whose top lies the cloud height above the
// eye; a direction's texture coordinates are where it meets the sphere, one repeat every
// CloudRepeat units across, moved by the stages' tcMods. It is drawn first, at the far end
// of the depth range and only where nothing has been drawn yet (bots drawn before the level
// stay in front), without writing depth; the sky faces then only write their depth
// (sky.cpp), so what lies behind them stays hidden and what stands in front stays in front.
// A sky box, when the entry also has one, is drawn on the dome under the clouds.
#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "core/game_state.h"
#include "core/level.h"
#include "level/face_arrays.h"
#include "level/stage_draw.h"

namespace {

constexpr float DomeRadius = 4096;    // level units
constexpr float CloudRepeat = 1024;   // level units of cloud per repeat of the picture
constexpr float DrawnRadius = 100;    // where the dome is drawn (its depth is pinned to the far end)
constexpr int DomeRings = 16, DomeSegments = 32;
constexpr float FlatSky[3] = {0.35f, 0.45f, 0.6f};  // under clouds that blend, without a box
constexpr double Pi = 3.14159265358979323846;

void ActiveTexture(unsigned int unit) {
  if (gGame.multitexture.activeTexture) gGame.multitexture.activeTexture(unit);
}

// The dome's vertices around the eye (y up) with their cloud coordinates, and its triangles.
void BuildDome(Vec3 eye, float height, std::vector<BspVertex>* vertices, std::vector<uint32_t>* indices) {
  vertices->clear();
  indices->clear();
  const double centreBelow = DomeRadius - std::min(height, DomeRadius - 1);  // eye above the centre
  for (int r = 0; r <= DomeRings; ++r) {
    const double elevation = Pi / 2 - Pi * r / DomeRings;  // from straight up to straight down
    for (int g = 0; g <= DomeSegments; ++g) {
      const double azimuth = 2 * Pi * g / DomeSegments;
      // Direction in the file's axes (z up).
      const double d[3] = {std::cos(elevation) * std::cos(azimuth), std::cos(elevation) * std::sin(azimuth),
                           std::sin(elevation)};
      // Where the ray from the eye meets the sphere: the eye lies centreBelow above its centre.
      const double b = centreBelow * d[2];
      const double t = -b + std::sqrt(b * b - (centreBelow * centreBelow - double(DomeRadius) * DomeRadius));
      BspVertex v{};
      v.position[0] = eye.x + static_cast<float>(d[0] * DrawnRadius);
      v.position[1] = eye.y + static_cast<float>(d[2] * DrawnRadius);
      v.position[2] = eye.z - static_cast<float>(d[1] * DrawnRadius);
      v.texCoord[0] = static_cast<float>(d[0] * t / CloudRepeat);
      v.texCoord[1] = -static_cast<float>(d[1] * t / CloudRepeat);  // stored turned over, as the level's
      std::fill(v.color, v.color + 4, uint8_t{255});
      vertices->push_back(v);
    }
  }
  for (int r = 0; r < DomeRings; ++r)
    for (int g = 0; g < DomeSegments; ++g) {
      const uint32_t a = static_cast<uint32_t>(r * (DomeSegments + 1) + g), b = a + DomeSegments + 1;
      indices->insert(indices->end(), {a, b, a + 1, a + 1, b, b + 1});
    }
}

}  // namespace

void Level::DrawCloudDome(Vec3 eye) {
  const StagedMaterial& sky = stagedMaterials[static_cast<size_t>(clouds.staged)];
  std::vector<BspVertex> dome;
  BuildDome(eye, clouds.height, &dome, &stageIndices_);

  const bool fog = glIsEnabled(GL_FOG), culling = glIsEnabled(GL_CULL_FACE), blend = glIsEnabled(GL_BLEND);
  GLint depthFunction = GL_LESS, source = GL_ONE, destination = GL_ZERO;
  GLboolean depthWrites = GL_TRUE;
  glGetIntegerv(GL_DEPTH_FUNC, &depthFunction);
  glGetIntegerv(GL_BLEND_SRC, &source);
  glGetIntegerv(GL_BLEND_DST, &destination);
  glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
  const CurrentColour colour = ReadCurrentColour();
  glDisable(GL_FOG);
  glDisable(GL_CULL_FACE);
  glDepthRange(1, 1);
  glDepthFunc(GL_LEQUAL);
  glDepthMask(GL_FALSE);
  ActiveTexture(GL_TEXTURE1_ARB);
  glDisable(GL_TEXTURE_2D);
  ActiveTexture(GL_TEXTURE0_ARB);
  PointFaceArrays(dome.data(), false);

  // Under the clouds: the box, or the flat colour where the first cloud stage blends.
  if (skyCube != 0 || sky.blendedBase) {
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    if (skyCube != 0) {
      glEnable(GL_TEXTURE_CUBE_MAP);
      glBindTexture(GL_TEXTURE_CUBE_MAP, skyCube);
      glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
      const GLenum coords[3] = {GL_S, GL_T, GL_R};
      const GLenum gens[3] = {GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R};
      const float at[3] = {eye.x, eye.y, eye.z};
      for (int a = 0; a < 3; ++a) {
        float plane[4] = {0, 0, 0, -at[a]};
        plane[a] = 1;
        glTexGeni(coords[a], GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
        glTexGenfv(coords[a], GL_OBJECT_PLANE, plane);
        glEnable(gens[a]);
      }
      glColor3f(1, 1, 1);
    } else {
      glColor3fv(FlatSky);
    }
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(stageIndices_.size()), GL_UNSIGNED_INT, stageIndices_.data());
    if (skyCube != 0) {
      glDisable(GL_TEXTURE_GEN_S);
      glDisable(GL_TEXTURE_GEN_T);
      glDisable(GL_TEXTURE_GEN_R);
      glDisable(GL_TEXTURE_CUBE_MAP);
      glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
      glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    }
  }

  // The cloud stages, one over the other (the dome has no depth to compare: each layer is
  // drawn where the one under it was).
  glEnable(GL_TEXTURE_2D);
  const float white[4] = {1, 1, 1, 1};
  StageInputs in;
  in.originals = dome.data();
  in.indices = stageIndices_.data();
  in.indexCount = static_cast<uint32_t>(stageIndices_.size());
  in.lightmap = in.white = whiteTexture_;
  in.seconds = gGame.surfaceSeconds;
  in.tint = white;  // the sky keeps its colours, in night vision too
  in.firstDepth = in.laterDepth = GL_LEQUAL;
  in.writeDepth = false;
  stageVertices_ = dome;
  FaceLooks looks;
  DrawStages(sky, in, &stageVertices_, &looks);
  looks.Restore();

  glDepthRange(0, 1);
  glDepthFunc(static_cast<GLenum>(depthFunction));
  glDepthMask(depthWrites);
  glBlendFunc(static_cast<GLenum>(source), static_cast<GLenum>(destination));
  if (blend) glEnable(GL_BLEND); else glDisable(GL_BLEND);
  if (fog) glEnable(GL_FOG);
  if (culling) glEnable(GL_CULL_FACE);
  EndVertexColours(colour);
  PointFaceArrays(vertices.data(), false);
  if (!gGame.texturesOn) glDisable(GL_TEXTURE_2D);
  if (gGame.lightmapsOn) {
    ActiveTexture(GL_TEXTURE1_ARB);
    glEnable(GL_TEXTURE_2D);
  }
}
