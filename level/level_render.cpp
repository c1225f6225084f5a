// The level renderer: finds the camera's leaf, skips leaves whose cluster cannot be seen
// from it or that lie outside the view frustum, and draws the triangles of each face of the
// rest once per frame (polygons, meshes and tessellated patches; face_geometry.cpp), surface
// texture on unit 0 and lightmap on unit 1 in one pass. Faces without a lightmap page take
// their vertex colours in its place; alpha-tested and two-sided faces set their look
// (face_looks.h). Faces wholly beyond the depth where black fog leaves nothing
// (fog_depth.cpp) are not drawn, unless a sky or a fog volume would show in their place, nor
// are faces out of view or facing away (face_culling.cpp).
// Parse checked every index this file follows, so nothing here is re-checked per frame.
#include <GL/gl.h>

#include <limits>

#include "core/game_state.h"
#include "core/level.h"
#include "level/face_arrays.h"
#include "level/face_looks.h"
#include "level/fog_depth.h"

namespace {

void ActiveTexture(unsigned int unit) {
  if (gGame.multitexture.activeTexture) gGame.multitexture.activeTexture(unit);
}

void ClientActiveTexture(unsigned int unit) {
  if (gGame.multitexture.clientActiveTexture) gGame.multitexture.clientActiveTexture(unit);
}

}  // namespace

// Walks from the root to the leaf holding the position; the front side includes the plane.
// Children always lie after their parent (checked on load), so the walk ends. -1 when no
// level is loaded.
int Level::FindLeaf(Vec3 position) const {
  if (nodes.empty()) return -1;
  int i = 0;
  while (i >= 0) {
    const BspNode& node = nodes[i];
    const BspPlane& plane = planes[node.plane];
    const float d = plane.normal[0] * position.x + plane.normal[1] * position.y +
                    plane.normal[2] * position.z - plane.distance;
    i = d >= 0 ? node.children[0] : node.children[1];
  }
  return -(i + 1);
}

bool Level::IsClusterVisible(int fromCluster, int testCluster) const {
  if (visibility.empty() || fromCluster < 0) return true;
  if (fromCluster >= clusterCount) return true;  // no row for it: nothing to cull by
  // A leaf without a cluster (-1 ... -7 in practice) reads byte 0 of the row, as the
  // truncating division gives; any more negative value reads the same byte, never before it.
  const int byteInRow = testCluster < 0 ? 0 : testCluster / 8;
  if (byteInRow >= bytesPerCluster) return false;
  const size_t index = static_cast<size_t>(fromCluster) * bytesPerCluster + byteInRow;
  return (visibility[index] & (1 << (testCluster & 7))) != 0;
}

void Level::RenderLevel(Vec3 cameraPosition) {
  facesDrawnLastFrame = 0;
  stagePassesLastFrame = 0;
  facesFoggedLastFrame = 0;
  facesCulledLastFrame = 0;
  facesMagnifiedLastFrame = 0;
  if (nodes.empty() || leaves.empty() || vertices.empty()) return;

  // Client arrays straight from the vertex records (stride 44).
  const GLsizei stride = sizeof(BspVertex);
  glVertexPointer(3, GL_FLOAT, stride, vertices[0].position);
  ClientActiveTexture(GL_TEXTURE0_ARB);
  glTexCoordPointer(2, GL_FLOAT, stride, vertices[0].texCoord);
  ClientActiveTexture(GL_TEXTURE1_ARB);
  glTexCoordPointer(2, GL_FLOAT, stride, vertices[0].lightmapCoord);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  if (gGame.texturesOn) {
    ClientActiveTexture(GL_TEXTURE0_ARB);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  }
  if (gGame.lightmapsOn) {
    ClientActiveTexture(GL_TEXTURE1_ARB);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  }

  for (uint32_t& word : facesDrawn) word = 0;
  visibleFaces_.clear();
  skyFaces_.clear();
  blendedFaces_.clear();
  stagedFaces_.clear();
  lastListedFace_ = -1;
  const int cameraCluster = leaves[FindLeaf(cameraPosition)].cluster;

  for (int l = static_cast<int>(leaves.size()) - 1; l >= 0; --l) {
    const BspLeaf& leaf = leaves[l];
    if (!IsClusterVisible(cameraCluster, leaf.cluster)) continue;
    if (!gGame.frustum.BoxInFrustum(static_cast<float>(leaf.mins[0]), static_cast<float>(leaf.mins[1]),
                                    static_cast<float>(leaf.mins[2]), static_cast<float>(leaf.maxs[0]),
                                    static_cast<float>(leaf.maxs[1]), static_cast<float>(leaf.maxs[2]))) {
      continue;
    }
    for (int j = leaf.leafFaceCount - 1; j >= 0; --j) {
      const int faceIndex = leafFaces[leaf.firstLeafFace + j];
      if (faceGeometry[faceIndex].indexCount == 0) continue;  // nothing to draw
      uint32_t& word = facesDrawn[faceIndex >> 5];
      const uint32_t bit = 1u << (faceIndex & 31);
      if (word & bit) continue;
      word |= bit;
      lastListedFace_ = faceIndex;
      if (SetAside(faceIndex)) continue;  // nodraw, sky and blended faces
      visibleFaces_.push_back(faceIndex);
    }
  }

  // Beyond the fog's hiding depth the cleared picture already shows what the faces would, so
  // faces wholly there are left out. Not while a sky or a fog volume is drawn after them:
  // those would show where a face is missing.
  const float fogDepth = skipFoggedFaces && skyFaces_.empty() && !AnyFogVolume()
                             ? FogHidingDepth() : std::numeric_limits<float>::infinity();
  CullVisibleFaces(fogDepth);

  if (!skyFaces_.empty() && clouds.staged >= 0) DrawCloudDome(cameraPosition);
  // Doors, lifts and platforms mostly stand in front of the world's faces: drawn first, they
  // spare shading the pixels of the world they hide.
  const bool modelsEarly = modelsFirst && OrderIsInvisible();
  if (modelsEarly) RenderModels(cameraPosition, true, false);
  if (batchedDrawing) {
    DrawFaceBatches(cameraPosition);
  } else {
    for (int32_t f : visibleFaces_) RenderFace(f);
  }
  DrawStagedFaces(stagedFaces_, cameraPosition, false);
  RenderModels(cameraPosition, !modelsEarly, true);
  DrawSky(cameraPosition);
  DrawFogVolumes(cameraPosition);
  DrawBlendedFaces(cameraPosition);
  DrawStagedFaces(stagedFaces_, cameraPosition, true);
  // Leave the textures of the leaves' last face bound, drawn or not, as drawing every face
  // one by one does: later drawing in the frame sees them.
  if (lastListedFace_ >= 0) BindTexturesOf(faces[lastListedFace_]);
}

bool Level::AnyFogVolume() const {
  for (const FogVolume& fog : fogs)
    if (fog.distance > 0) return true;
  return false;
}

// Whether every corner of the face's triangles lies at least `depth` in front of the eye.
bool Level::WhollyBeyond(const FaceGeometry& face, const float m[16], float depth) const {
  for (int k = 0; k < face.vertexCount; ++k) {
    const float* p = vertices[face.firstVertex + k].position;
    if (-(m[2] * p[0] + m[6] * p[1] + m[10] * p[2] + m[14]) < depth) return false;
  }
  return true;
}

void Level::RenderFace(int faceIndex) {
  // Only faces with triangles had their vertex range, texture and index list checked on load.
  if (faceIndex < 0 || static_cast<size_t>(faceIndex) >= faces.size()) return;
  const BspFace& face = faces[faceIndex];
  const FaceGeometry& geometry = faceGeometry[faceIndex];
  if (geometry.indexCount == 0) return;
  BindTexturesOf(face);
  const BspVertex* records = &vertices[geometry.firstVertex];
  const bool colours = gGame.lightmapsOn && !HasLightmap(face);
  CurrentColour colour;
  if (colours) {
    colour = ReadCurrentColour();
    // Vertex colours in place of the lightmap, times the current colour as a lightmap is.
    colouredVertices_.assign(records, records + geometry.vertexCount);
    TintVertexColours(colouredVertices_.data(), colouredVertices_.size(), colour);
    records = colouredVertices_.data();
  }
  PointFaceArrays(records, colours);
  FaceLooks looks;
  looks.Apply(FaceLookOf(*this, face));
  glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(geometry.indexCount), GL_UNSIGNED_INT,
                 &faceIndices[geometry.firstIndex]);
  looks.Restore();
  if (colours) EndVertexColours(colour);
  PointFaceArrays(vertices.data(), false);
  ++facesDrawnLastFrame;
}

Texture Level::LightmapOf(const BspFace& face) const {
  return HasLightmap(face) ? textureNames[LightmapTextureBase + face.lightmapIndex] : whiteTexture_;
}

void Level::BindTexturesOf(const BspFace& face) {
  if (gGame.texturesOn) {
    ActiveTexture(GL_TEXTURE0_ARB);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, textureNames[face.textureIndex]);
  }
  if (gGame.lightmapsOn) {
    ActiveTexture(GL_TEXTURE1_ARB);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, LightmapOf(face));
  }
}
