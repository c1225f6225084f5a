// Drawing the visible faces of a frame in few, large draw calls: the faces the leaf walk
// found are sorted near to far (so the depth test turns away hidden pixels before they are
// shaded), each surface texture and lightmap pair is gathered where its nearest face stands
// (within bands of distance), runs of a pair become one indexed triangle list, and textures
// are bound only when they change. The picture is the one that drawing face by face gives:
// the same triangles with their vertices in the same order. A face that reaches outside the
// view is drawn on its own, as before: a clipped triangle in a batch makes Mesa send the whole
// batch down its clipping path, which puts a few edge pixels on the other side. Faces lit by
// their vertex colours carry them, times the current colour, in the copied vertices. Faces
// whose material asks for an alpha test or no culling (face_looks.h) form batches of their own.
#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "core/game_state.h"
#include "core/level.h"
#include "level/draw_state.h"
#include "level/face_arrays.h"
#include "level/face_looks.h"

namespace {

void ActiveTexture(unsigned int unit) {
  if (gGame.multitexture.activeTexture) gGame.multitexture.activeTexture(unit);
}

// The binds the face-by-face path makes for a face, in its order.
void BindFaceTextures(Texture texture, Texture lightmap) {
  if (gGame.texturesOn) {
    ActiveTexture(GL_TEXTURE0_ARB);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
  }
  if (gGame.lightmapsOn) {
    ActiveTexture(GL_TEXTURE1_ARB);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, lightmap);
  }
}

// Squared distance from the point to the nearest point of the face's bounding box.
float DistanceToFaceSquared(const BspVertex* v, int count, Vec3 p) {
  float mins[3] = {v[0].position[0], v[0].position[1], v[0].position[2]};
  float maxs[3] = {mins[0], mins[1], mins[2]};
  for (int i = 1; i < count; ++i)
    for (int a = 0; a < 3; ++a) {
      mins[a] = std::min(mins[a], v[i].position[a]);
      maxs[a] = std::max(maxs[a], v[i].position[a]);
    }
  const float point[3] = {p.x, p.y, p.z};
  float sum = 0;
  for (int a = 0; a < 3; ++a) {
    const float d = point[a] < mins[a] ? mins[a] - point[a] : point[a] > maxs[a] ? point[a] - maxs[a] : 0;
    sum += d * d;
  }
  return sum;
}

// Whether some vertex lies outside the view volume or close to its edge: such a face may be
// clipped, and is drawn on its own, as the face-by-face path draws it.
bool NeedsClipping(const BspVertex* v, int count) {
  const float(*planes)[4] = gGame.frustum.planes;
  for (int i = 0; i < count; ++i)
    for (int p = 0; p < 6; ++p)
      if (planes[p][0] * v[i].position[0] + planes[p][1] * v[i].position[1] + planes[p][2] * v[i].position[2] +
              planes[p][3] < 1.0f)
        return true;
  return false;
}

// A texture pair and the band of distance a face of it stands in: the band is the binary
// exponent of the squared distance halved, so each band reaches twice as far as the one before.
// Faces nearer than 64 units share the first band. The band takes the key's top bits (texture
// names are small); were two keys ever to meet, two pairs would merely share a rank.
uint64_t PairInBand(Texture texture, Texture lightmap, float distanceSquared, bool bands) {
  if (!bands) return static_cast<uint64_t>(texture) << 32 | lightmap;
  const uint64_t band = static_cast<uint64_t>(std::max(0, std::ilogb(std::max(distanceSquared, 4096.0f)) - 12) / 2);
  return (static_cast<uint64_t>(texture) << 32 | lightmap) ^ (band << 56);
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

}  // namespace

void Level::DrawFaceBatches(Vec3 cameraPosition) {
  if (visibleFaces_.empty()) return;
  // Each face's texture pair: its own, or the twins without mip levels where it is seen close.
  // Outlines sample textures along lines, where the level of detail is found otherwise.
  const bool twins = magnifiedTwins && PolygonsFilled();
  if (twins) BeginMagnifiedTest();
  facePairs_.clear();
  for (int32_t f : visibleFaces_) {
    const BspFace& face = faces[f];
    Texture texture = textureNames[face.textureIndex];
    Texture lightmap = LightmapOf(face);
    // Twins are chosen on flat faces, where texture coordinates are affine.
    if (twins && face.type == FaceTypePolygon) {
      const uint64_t before = static_cast<uint64_t>(texture) << 32 | lightmap;
      MagnifiedTextures(face, &texture, &lightmap);
      if ((static_cast<uint64_t>(texture) << 32 | lightmap) != before) ++facesMagnifiedLastFrame;
    }
    facePairs_.push_back({texture, lightmap});
  }

  // Near to far, then the faces of each texture and lightmap pair gathered where the nearest
  // of them stands, within bands of distance that double outwards: gathering keeps the binds
  // few, the bands keep a far room's walls from being drawn with the near ones of their pair
  // before what stands between (which the depth test then cannot turn away). Or the leaves'
  // order where the order would show. Entries hold places in visibleFaces_.
  faceOrder_.clear();
  const bool keepOrder = !OrderIsInvisible();
  for (size_t i = 0; i < visibleFaces_.size(); ++i) {
    const FaceGeometry& face = faceGeometry[visibleFaces_[i]];
    const float key = keepOrder ? static_cast<float>(i)
                                : DistanceToFaceSquared(&vertices[face.firstVertex], face.vertexCount, cameraPosition);
    faceOrder_.push_back({key, static_cast<int32_t>(i)});
  }
  std::sort(faceOrder_.begin(), faceOrder_.end());
  if (!keepOrder) {
    pairRank_.clear();
    for (auto& entry : faceOrder_) {
      const auto& pair = facePairs_[entry.second];
      const uint64_t key = PairInBand(pair.first, pair.second, entry.first, distanceBands);
      entry.first = static_cast<float>(pairRank_.emplace(key, static_cast<int>(pairRank_.size())).first->second);
    }
    std::stable_sort(faceOrder_.begin(), faceOrder_.end(),
                     [](const std::pair<float, int32_t>& a, const std::pair<float, int32_t>& b) { return a.first < b.first; });
  }

  batchVertices_.clear();
  batchIndices_.clear();
  batches_.clear();
  CurrentColour colour;
  bool anyColours = false;
  for (const auto& entry : faceOrder_) {
    const BspFace& record = faces[visibleFaces_[entry.second]];
    const FaceGeometry& face = faceGeometry[visibleFaces_[entry.second]];
    const Texture texture = facePairs_[entry.second].first, lightmap = facePairs_[entry.second].second;
    const bool colours = gGame.lightmapsOn && !HasLightmap(record);
    const bool clipped = NeedsClipping(&vertices[face.firstVertex], face.vertexCount);
    const uint8_t look = FaceLookOf(*this, record);
    if (clipped || batches_.empty() || batches_.back().alone || batches_.back().texture != texture ||
        batches_.back().lightmap != lightmap || batches_.back().colours != colours || batches_.back().look != look) {
      FaceBatch batch;
      batch.texture = texture;
      batch.lightmap = lightmap;
      batch.firstIndex = static_cast<uint32_t>(batchIndices_.size());
      batch.alone = clipped;
      batch.colours = colours;
      batch.look = look;
      batches_.push_back(batch);
    }
    // The face's triangles, the same ones wound the same way.
    const uint32_t base = static_cast<uint32_t>(batchVertices_.size());
    batchVertices_.insert(batchVertices_.end(), vertices.begin() + face.firstVertex,
                          vertices.begin() + face.firstVertex + face.vertexCount);
    if (colours) {
      if (!anyColours) colour = ReadCurrentColour();
      anyColours = true;
      TintVertexColours(batchVertices_.data() + base, static_cast<size_t>(face.vertexCount), colour);
    }
    const uint32_t* offsets = &faceIndices[face.firstIndex];
    for (uint32_t k = 0; k < face.indexCount; ++k) batchIndices_.push_back(base + offsets[k]);
    batches_.back().indexCount = static_cast<uint32_t>(batchIndices_.size()) - batches_.back().firstIndex;
    ++facesDrawnLastFrame;
  }

  bool coloursOn = false;
  FaceLooks looks;
  PointFaceArrays(batchVertices_.data(), false);
  for (size_t b = 0; b < batches_.size(); ++b) {
    const FaceBatch& batch = batches_[b];
    if (b == 0 || batch.texture != batches_[b - 1].texture || batch.lightmap != batches_[b - 1].lightmap)
      BindFaceTextures(batch.texture, batch.lightmap);
    if (batch.colours != coloursOn) {
      if (batch.colours)
        PointFaceArrays(batchVertices_.data(), true);
      else
        EndVertexColours(colour);
      coloursOn = batch.colours;
    }
    looks.Apply(batch.look);
    if (batch.indexCount > 0)
      glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(batch.indexCount), GL_UNSIGNED_INT,
                     batchIndices_.data() + batch.firstIndex);
  }
  if (coloursOn) EndVertexColours(colour);
  looks.Restore();
  // Leave the arrays on the level's records, as the face-by-face path does (RenderLevel then
  // binds the textures of the leaves' last face).
  PointFaceArrays(vertices.data(), false);
}
