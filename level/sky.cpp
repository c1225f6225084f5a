// The sky: the six pictures of a sky box turned into one cube texture at load time, and the
// sky faces drawn with it. Each sky face's texture coordinate is its position less the eye's
// (made by texture coordinate generation), so every pixel looks up the box in its own
// direction: the sky stands still at infinity, and the faces keep their place in the depth
// buffer, so whatever stands in front of them stays in front. Without a box (or without cube
// textures in the GL implementation) the faces are drawn in one flat colour, never left open.
//
// The box's sides, in the level file's directions (z up), each seen from inside the box:
// rt +x, bk +y, lf -x, ft -y with their pictures' tops up; up (+z) and dn (-z) as seen by
// tilting the head back or forward from the ft view. A picture's first row is its bottom row,
// as DecodeImageFile gives every picture.
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "core/game_state.h"
#include "core/level.h"
#include "render/texture_lookup.h"

namespace {

const char* const SkySuffixes[SkySideCount] = {"_rt", "_bk", "_lf", "_ft", "_up", "_dn"};
constexpr float FlatSky[3] = {0.35f, 0.45f, 0.6f};  // the sky's colour without a box
constexpr int MaxSkyCubeSide = 1024;               // texels per cube side

struct Axes {
  float n[3], r[3], u[3];  // outward normal, picture right and picture up (file coordinates)
};
// Per SkySide: rt, bk, lf, ft, up, dn.
constexpr Axes SideAxes[SkySideCount] = {
    {{1, 0, 0}, {0, -1, 0}, {0, 0, 1}},  {{0, 1, 0}, {1, 0, 0}, {0, 0, 1}},
    {{-1, 0, 0}, {0, 1, 0}, {0, 0, 1}},  {{0, -1, 0}, {-1, 0, 0}, {0, 0, 1}},
    {{0, 0, 1}, {-1, 0, 0}, {0, 1, 0}},  {{0, 0, -1}, {-1, 0, 0}, {0, -1, 0}},
};

float Dot(const float a[3], const float b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// The world (y-up) direction of texel coordinates (sc, tc in -1..1) of a GL cube face
// (0..5: +x, -x, +y, -y, +z, -z), as the GL picks faces and coordinates.
void CubeDirection(int face, float sc, float tc, float d[3]) {
  switch (face) {
    case 0: d[0] = 1, d[1] = -tc, d[2] = -sc; break;
    case 1: d[0] = -1, d[1] = -tc, d[2] = sc; break;
    case 2: d[0] = sc, d[1] = 1, d[2] = tc; break;
    case 3: d[0] = sc, d[1] = -1, d[2] = -tc; break;
    case 4: d[0] = sc, d[1] = -tc, d[2] = 1; break;
    default: d[0] = -sc, d[1] = -tc, d[2] = -1; break;
  }
}

// The colour the box shows in a file-coordinate direction: nearest texel of the side it
// points at.
const uint8_t* SkyTexel(const ImageData (&sides)[SkySideCount], const float d[3]) {
  int side = 0;
  float best = -1;
  for (int s = 0; s < SkySideCount; ++s) {
    const float along = Dot(d, SideAxes[s].n);
    if (along > best) best = along, side = s;
  }
  const ImageData& image = sides[side];
  const float a = Dot(d, SideAxes[side].r) / best, b = Dot(d, SideAxes[side].u) / best;
  const int x = std::clamp(static_cast<int>((a + 1) * 0.5f * image.width), 0, image.width - 1);
  const int y = std::clamp(static_cast<int>((b + 1) * 0.5f * image.height), 0, image.height - 1);
  return &image.pixels[(static_cast<size_t>(y) * image.width + x) * image.channels];
}

bool CubeTexturesAvailable() {
  GLint side = 0;
  glGetIntegerv(GL_MAX_CUBE_MAP_TEXTURE_SIZE, &side);
  return glGetError() == GL_NO_ERROR && side > 0;
}

}  // namespace

void Level::LoadSkyBox(const std::string& box) {
  DestroySkyBox();
  ImageData sides[SkySideCount];
  int largest = 1;
  for (int s = 0; s < SkySideCount; ++s) {
    const std::string file = FindImageFile(box + SkySuffixes[s]);
    std::string reason = "no image file";
    if (file.empty() || !DecodeImageFile(file, &sides[s], &reason)) {
      std::fprintf(stderr, "Sky box %s: picture %s%s: %s; the sky is drawn in one colour\n", box.c_str(), box.c_str(),
                   SkySuffixes[s], reason.c_str());
      return;
    }
    largest = std::max(largest, std::max(sides[s].width, sides[s].height));
  }
  if (!CubeTexturesAvailable()) return;
  GLint limit = 0;
  glGetIntegerv(GL_MAX_CUBE_MAP_TEXTURE_SIZE, &limit);
  int n = 1;
  while (n * 2 <= std::min({largest, static_cast<int>(limit), MaxSkyCubeSide})) n *= 2;

  // Each cube face is filled texel by texel from the side its directions meet, so the
  // pictures keep the orientation described above whatever the GL's face conventions.
  std::vector<uint8_t> texels(static_cast<size_t>(n) * n * 3);
  glGenTextures(1, &skyCube);
  glBindTexture(GL_TEXTURE_CUBE_MAP, skyCube);
  GLint alignment = 4;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  for (int face = 0; face < 6; ++face) {
    for (int j = 0; j < n; ++j)
      for (int i = 0; i < n; ++i) {
        float world[3];
        CubeDirection(face, 2 * (i + 0.5f) / n - 1, 2 * (j + 0.5f) / n - 1, world);
        const float file[3] = {world[0], -world[2], world[1]};
        const uint8_t* texel = SkyTexel(sides, file);
        std::copy(texel, texel + 3, &texels[(static_cast<size_t>(j) * n + i) * 3]);
      }
    glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, 0, GL_RGB8, n, n, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
  }
  glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
  glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
}

void Level::DestroySkyBox() {
  if (skyCube != 0) glDeleteTextures(1, &skyCube);
  skyCube = 0;
}

void Level::DrawSky(Vec3 eye) {
  if (skyFaces_.empty()) return;
  skyIndices_.clear();
  for (int32_t f : skyFaces_) AppendFaceTriangles(f, &skyIndices_);
  if (skyIndices_.empty()) return;
  if (clouds.staged >= 0) {
    // The cloud dome is already behind everything: the sky faces only keep their depth.
    GLboolean mask[4] = {GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE};
    glGetBooleanv(GL_COLOR_WRITEMASK, mask);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(skyIndices_.size()), GL_UNSIGNED_INT, skyIndices_.data());
    glColorMask(mask[0], mask[1], mask[2], mask[3]);
    return;
  }

  const bool fog = glIsEnabled(GL_FOG);
  float colour[4] = {1, 1, 1, 1};
  glGetFloatv(GL_CURRENT_COLOR, colour);
  glDisable(GL_FOG);
  if (gGame.multitexture.activeTexture) gGame.multitexture.activeTexture(GL_TEXTURE1_ARB);
  glDisable(GL_TEXTURE_2D);
  if (gGame.multitexture.activeTexture) gGame.multitexture.activeTexture(GL_TEXTURE0_ARB);
  glDisable(GL_TEXTURE_2D);
  DrawSkyBackdrop(eye, skyIndices_);
  glColor4fv(colour);
  if (fog) glEnable(GL_FOG);
  // The units as the level leaves them: surface textures on 0, lightmaps on 1.
  if (gGame.texturesOn) glEnable(GL_TEXTURE_2D);
  if (gGame.lightmapsOn) {
    if (gGame.multitexture.activeTexture) gGame.multitexture.activeTexture(GL_TEXTURE1_ARB);
    glEnable(GL_TEXTURE_2D);
  }
}

void Level::DrawSkyBackdrop(Vec3 eye, const std::vector<uint32_t>& indices) const {
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
  glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(indices.size()), GL_UNSIGNED_INT, indices.data());

  if (skyCube != 0) {
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glDisable(GL_TEXTURE_GEN_R);
    glDisable(GL_TEXTURE_CUBE_MAP);
    glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  }
}
