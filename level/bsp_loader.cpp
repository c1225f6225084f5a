// Level::LoadBSP and Level::Destroy: reads the level file, hands its bytes to Parse, then
// creates the surface textures (surface_textures.cpp), brightens and uploads the lightmap
// pages, brightens the vertex colours that light faces without a page the same way, and
// points the GL client arrays at the vertex records. Needs a current GL context.
#include <GL/gl.h>
#include <GL/glu.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/crc32.h"
#include "core/game_state.h"
#include "core/level.h"
#include "level/lightmaps.h"
#include "platform/files.h"
#include "platform/platform.h"
#include "render/texture.h"

namespace {

void UploadLightmap(Texture* texture, const uint8_t* texels) {
  glGenTextures(1, texture);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glBindTexture(GL_TEXTURE_2D, *texture);
  gluBuild2DMipmaps(GL_TEXTURE_2D, TexelInternalFormat(3), LightmapSide, LightmapSide, GL_RGB, GL_UNSIGNED_BYTE, texels);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
}

}  // namespace

bool Level::LoadBSP(const char* fileName, uint32_t ownLevelChecksum) {
  Destroy();  // there is no reload, but never leak what an earlier call made
  std::vector<uint8_t> bytes;
  if (!fileName || !files::ReadFile(fileName, &bytes)) {
    platform::ShowError("13 Could not find BSP file!");
    return false;
  }
  std::string reason;
  if (!Parse(bytes.data(), bytes.size(), &reason)) {
    const std::string text = std::string("13 Invalid BSP file: ") + fileName + ": " + reason;
    platform::ShowError(text.c_str());
    return false;
  }
  if (ownLevelChecksum != 0) gGame.defaultLevel = Crc32(bytes.data(), bytes.size()) == ownLevelChecksum;
  bytes.clear();
  bytes.shrink_to_fit();

  LoadSurfaceTextures();

  for (int j = 0; j < lightmapCount_; ++j) {
    uint8_t* page = lightmapTexels.data() + static_cast<size_t>(j) * LightmapBytes;
    BrightenLightmap(page, LightmapSide * LightmapSide, gGame.lightmapBrightness);
    UploadLightmap(&textureNames[LightmapTextureBase + j], page);
  }
  lightmapTexels.clear();
  lightmapTexels.shrink_to_fit();
  // Faces without a page are lit by their vertex colours, which stand for the same light.
  for (BspVertex& v : vertices) BrightenLightmap(v.color, 1, gGame.lightmapBrightness);
  // Their lightmap unit modulates by white.
  const uint8_t white[4] = {255, 255, 255, 255};
  glGenTextures(1, &whiteTexture_);
  glBindTexture(GL_TEXTURE_2D, whiteTexture_);
  glTexImage2D(GL_TEXTURE_2D, 0, TexelInternalFormat(4), 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, white);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  MakeMagnifiedTwins();

  // Client arrays: positions, then texture coordinates on unit 0 and lightmap coordinates
  // on unit 1, all straight from the vertex records.
  if (!vertices.empty()) {
    const GLsizei stride = sizeof(BspVertex);
    glVertexPointer(3, GL_FLOAT, stride, vertices[0].position);
    if (gGame.multitexture.clientActiveTexture) gGame.multitexture.clientActiveTexture(GL_TEXTURE0_ARB);
    glTexCoordPointer(2, GL_FLOAT, stride, vertices[0].texCoord);
    if (gGame.multitexture.clientActiveTexture) gGame.multitexture.clientActiveTexture(GL_TEXTURE1_ARB);
    glTexCoordPointer(2, GL_FLOAT, stride, vertices[0].lightmapCoord);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  }
  return true;
}

void Level::Destroy() {
  // Only names this level created are deleted; a level that never reached GL makes no GL call.
  DestroyMagnifiedTwins();
  if (whiteTexture_ != 0) glDeleteTextures(1, &whiteTexture_);
  whiteTexture_ = 0;
  for (int i = 0; i < TextureNameSlots; ++i) {
    if (textureNames[i] != 0) glDeleteTextures(1, &textureNames[i]);
    textureNames[i] = 0;
  }
  DestroySkyBox();
  for (Texture& texture : stageTextures) glDeleteTextures(1, &texture);
  stageTextures = {};
  stagedMaterials = {};
  clouds = CloudSky();
  fogs = {};
  materials = {};
  vertices = {};
  faces = {};
  meshVertices = {};
  faceGeometry = {};
  faceIndices = {};
  collisionTriangles = {};
  collisionSurfaces = {};
  fileVertexCount = 0;
  nodes = {};
  leaves = {};
  planes = {};
  leafFaces = {};
  leafBrushes = {};
  brushes = {};
  brushSides = {};
  models = {};
  modelPlacements = {};
  textures = {};
  lightmapTexels = {};
  visibility = {};
  facesDrawn = {};
  clusterCount = 0;
  bytesPerCluster = 0;
  lightmapCount_ = 0;
  facesDrawnLastFrame = 0;
}
