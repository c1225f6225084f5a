// Twins of the level's textures that hold only the full-size image, and the test that tells
// when a face may be drawn with them. A texture filtered GL_LINEAR_MIPMAP_NEAREST with
// GL_LINEAR magnification samples its full-size image bilinearly wherever its level of
// detail is below one half (fewer than about 1.41 texels per pixel): there the twin, filtered
// GL_LINEAR alone, gives the same colour, and a software renderer fills such pixels far more
// cheaply without mip levels to choose between. Most of the level is seen that close (the
// lightmaps, at 8 units a texel, nearly always).
//
// The bound on texels per pixel over a face is exact, not sampled: along a plane, each
// partial derivative of a texture coordinate by a window coordinate is an affine function of
// the window position times the square of the clip w, so over the (convex) visible part of
// the face it is at most the largest w squared times the largest of its values over w squared
// at the corners.
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include "core/game_state.h"
#include "core/level.h"
#include "level/stage_motion.h"

namespace {

// Texels per pixel up to which a face takes the twins: level of detail 0.2, well below the
// 0.5 where the mipmapped texture would leave its full-size image, for the renderer's own
// approximations and the pixels it shades just outside a triangle's edge.
constexpr float MagnifiedLimit = 1.15f;
// Faces smaller than this on screen (pixels, either way) keep the mipmapped textures: the
// pixels shaded outside their edges would be many against the few inside.
constexpr float SmallestTwinFace = 8;

// Whether coordinates changing by at most `steps` (|ds/dx|, |dt/dx|, |ds/dy|, |dt/dy|) per
// pixel show fewer than MagnifiedLimit texels of a width x height picture per pixel.
bool Magnified(const float steps[4], float width, float height) {
  const float alongX = steps[0] * width * steps[0] * width + steps[1] * height * steps[1] * height;
  const float alongY = steps[2] * width * steps[2] * width + steps[3] * height * steps[3] * height;
  return std::max(alongX, alongY) <= MagnifiedLimit * MagnifiedLimit;
}

FaceCorner Mix(const FaceCorner& a, const FaceCorner& b, float t) {
  FaceCorner c;
  for (int k = 0; k < 4; ++k) c.q[k] = a.q[k] + (b.q[k] - a.q[k]) * t;
  for (int u = 0; u < 2; ++u)
    for (int k = 0; k < 2; ++k) c.uv[u][k] = a.uv[u][k] + (b.uv[u][k] - a.uv[u][k]) * t;
  return c;
}

// The polygon, in clip coordinates, cut to the view volume (-w <= x, y, z <= w).
void ClipToView(std::vector<FaceCorner>* polygon, std::vector<FaceCorner>* scratch) {
  for (int plane = 0; plane < 6 && !polygon->empty(); ++plane) {
    const int axis = plane / 2;
    const float sign = plane % 2 ? -1.0f : 1.0f;
    scratch->clear();
    const size_t n = polygon->size();
    for (size_t i = 0; i < n; ++i) {
      const FaceCorner& a = (*polygon)[i];
      const FaceCorner& b = (*polygon)[(i + 1) % n];
      const float da = a.q[3] + sign * a.q[axis], db = b.q[3] + sign * b.q[axis];
      if (da >= 0) scratch->push_back(a);
      if ((da >= 0) != (db >= 0)) scratch->push_back(Mix(a, b, da / (da - db)));
    }
    polygon->swap(*scratch);
  }
}

}  // namespace

void Level::MakeMagnifiedTwins() {
  GLint bound = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  std::vector<uint8_t> texels;
  struct Twin {
    Texture name = 0;
    int width = 0, height = 0;
  };
  std::map<Texture, Twin> twinOf;  // textures named by several slots or stages have one twin
  auto twin = [&](Texture texture) {
    const auto made = twinOf.find(texture);
    if (made != twinOf.end()) return made->second;
    Twin t;
    glBindTexture(GL_TEXTURE_2D, texture);
    GLint width = 0, height = 0, format = 0, minFilter = 0, magFilter = 0, wrapS = 0, wrapT = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrapS);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrapT);
    if (width > 0 && height > 0 && minFilter == GL_LINEAR_MIPMAP_NEAREST && magFilter == GL_LINEAR) {
      texels.resize(static_cast<size_t>(width) * height * 4);
      glPixelStorei(GL_PACK_ALIGNMENT, 1);
      glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
      glGenTextures(1, &t.name);
      glBindTexture(GL_TEXTURE_2D, t.name);
      glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
      glTexImage2D(GL_TEXTURE_2D, 0, format, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrapS);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrapT);
      t.width = width, t.height = height;
      twinTextures_.push_back(t.name);
    }
    twinOf.emplace(texture, t);
    return t;
  };
  for (int i = 0; i < TextureNameSlots; ++i) {
    if (textureNames[i] == 0) continue;
    const Twin t = twin(textureNames[i]);
    magnifiedNames_[i] = t.name;
    textureSizes_[i][0] = t.width;
    textureSizes_[i][1] = t.height;
  }
  for (StagedMaterial& staged : stagedMaterials) {
    staged.twins.assign(staged.textures.size(), {});
    staged.twinSizes.assign(staged.textures.size(), {});
    for (size_t k = 0; k < staged.textures.size(); ++k)
      for (Texture frame : staged.textures[k]) {
        const Twin t = twin(frame);
        staged.twins[k].push_back(t.name);
        staged.twinSizes[k].push_back({t.width, t.height});
      }
  }
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound));
}

void Level::DestroyMagnifiedTwins() {
  for (Texture twin : twinTextures_) glDeleteTextures(1, &twin);
  twinTextures_.clear();
  for (int i = 0; i < TextureNameSlots; ++i) {
    magnifiedNames_[i] = 0;
    textureSizes_[i][0] = textureSizes_[i][1] = 0;
  }
}

void Level::BeginMagnifiedTest() {
  float projection[16], modelView[16];
  GLint viewport[4] = {0, 0, 0, 0};
  glGetFloatv(GL_PROJECTION_MATRIX, projection);
  glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
  glGetIntegerv(GL_VIEWPORT, viewport);
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r) {
      float sum = 0;
      for (int k = 0; k < 4; ++k) sum += projection[k * 4 + r] * modelView[c * 4 + k];
      viewClip_[c * 4 + r] = sum;
    }
  viewportHalf_[0] = 0.5f * static_cast<float>(viewport[2]);
  viewportHalf_[1] = 0.5f * static_cast<float>(viewport[3]);
}

void Level::MagnifiedTextures(const BspFace& face, Texture* texture, Texture* lightmap) {
  const int slots[2] = {face.textureIndex, LightmapTextureBase + (face.lightmapIndex < 0 ? -1 : face.lightmapIndex)};
  const bool wanted[2] = {gGame.texturesOn && magnifiedNames_[slots[0]] != 0,
                          gGame.lightmapsOn && HasLightmap(face) && magnifiedNames_[slots[1]] != 0};
  if (!wanted[0] && !wanted[1]) return;
  float steps[2][4];
  if (!FaceCoordinateSteps(face, steps)) return;
  Texture* chosen[2] = {texture, lightmap};
  for (int u = 0; u < 2; ++u) {
    if (!wanted[u]) continue;
    const float width = static_cast<float>(textureSizes_[slots[u]][0]), height = static_cast<float>(textureSizes_[slots[u]][1]);
    if (Magnified(steps[u], width, height)) *chosen[u] = magnifiedNames_[slots[u]];
  }
}

bool Level::FaceCoordinateSteps(const BspFace& face, float steps[2][4]) {
  const float* m = viewClip_;
  std::vector<FaceCorner>& polygon = clipCorners_[0];
  polygon.clear();
  for (int k = 0; k < face.vertexCount; ++k) {
    const BspVertex& v = vertices[face.firstVertex + k];
    const float* p = v.position;
    FaceCorner c;
    for (int r = 0; r < 4; ++r) c.q[r] = m[r] * p[0] + m[4 + r] * p[1] + m[8 + r] * p[2] + m[12 + r];
    std::copy(v.texCoord, v.texCoord + 2, c.uv[0]);
    std::copy(v.lightmapCoord, v.lightmapCoord + 2, c.uv[1]);
    polygon.push_back(c);
  }
  ClipToView(&polygon, &clipCorners_[1]);
  if (polygon.size() < 3) return false;

  // The plane's parameters: q = q0 + a d1 + b d2 in clip coordinates, d1 to the corner
  // farthest from q0 and d2 to the one farthest off that line (corners may repeat or lie
  // on one line).
  const FaceCorner& c0 = polygon[0];
  auto difference = [&c0](const FaceCorner& c, float d[4]) {
    for (int k = 0; k < 4; ++k) d[k] = c.q[k] - c0.q[k];
  };
  auto dot = [](const float a[4], const float b[4]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3]; };
  size_t i1 = 0, i2 = 0;
  float d1[4], d2[4], best = 0;
  for (size_t i = 1; i < polygon.size(); ++i) {
    difference(polygon[i], d1);
    if (dot(d1, d1) > best) best = dot(d1, d1), i1 = i;
  }
  if (i1 == 0) return false;
  difference(polygon[i1], d1);
  best = 0;
  for (size_t i = 1; i < polygon.size(); ++i) {
    difference(polygon[i], d2);
    const float area = dot(d1, d1) * dot(d2, d2) - dot(d1, d2) * dot(d1, d2);
    if (area > best) best = area, i2 = i;
  }
  // A sliver seen nearly along its length gives no well-conditioned pair: keep the mip levels.
  if (i2 == 0 || best < 1e-4f * dot(d1, d1) * dot(d1, d1)) return false;
  difference(polygon[i2], d2);
  // Texture coordinates along the parameters (they are affine on the face).
  float du[2][2][2];  // [unit][coordinate][parameter]
  for (int u = 0; u < 2; ++u)
    for (int k = 0; k < 2; ++k) {
      du[u][k][0] = polygon[i1].uv[u][k] - c0.uv[u][k];
      du[u][k][1] = polygon[i2].uv[u][k] - c0.uv[u][k];
    }

  // Per corner, the derivatives of the coordinates by window x and y over w squared.
  float largestW = 0, screenMin[2] = {1e30f, 1e30f}, screenMax[2] = {-1e30f, -1e30f};
  float worst[2][4] = {{0, 0, 0, 0}, {0, 0, 0, 0}};  // [unit][ds/dx, dt/dx, ds/dy, dt/dy]
  for (const FaceCorner& c : polygon) {
    const float* q = c.q;
    const float w = q[3];
    if (!(w > 0)) return false;
    largestW = std::max(largestW, w);
    for (int a = 0; a < 2; ++a) {
      const float s = viewportHalf_[a] * q[a] / w;
      screenMin[a] = std::min(screenMin[a], s);
      screenMax[a] = std::max(screenMax[a], s);
    }
    // d(window)/d(parameter): rows x, y; columns a, b.
    const float w2 = w * w;
    const float xa = viewportHalf_[0] * (d1[0] * w - q[0] * d1[3]) / w2;
    const float xb = viewportHalf_[0] * (d2[0] * w - q[0] * d2[3]) / w2;
    const float ya = viewportHalf_[1] * (d1[1] * w - q[1] * d1[3]) / w2;
    const float yb = viewportHalf_[1] * (d2[1] * w - q[1] * d2[3]) / w2;
    const float det = xa * yb - xb * ya;
    if (!(std::fabs(det) > 1e-20f)) return false;  // seen edge on
    // d(parameter)/d(window).
    const float ax = yb / det, ay = -xb / det, bx = -ya / det, by = xa / det;
    for (int u = 0; u < 2; ++u)
      for (int k = 0; k < 2; ++k) {
        const float dx = du[u][k][0] * ax + du[u][k][1] * bx;
        const float dy = du[u][k][0] * ay + du[u][k][1] * by;
        worst[u][k] = std::max(worst[u][k], std::fabs(dx) / w2);
        worst[u][2 + k] = std::max(worst[u][2 + k], std::fabs(dy) / w2);
      }
  }
  if (screenMax[0] - screenMin[0] < SmallestTwinFace || screenMax[1] - screenMin[1] < SmallestTwinFace) return false;
  const float w2 = largestW * largestW;
  for (int u = 0; u < 2; ++u)
    for (int k = 0; k < 4; ++k) steps[u][k] = worst[u][k] * w2;
  return true;
}

void Level::MagnifiedStages(const BspFace& face, const StagedMaterial& staged, double seconds, std::vector<uint8_t>* twins) {
  twins->assign(staged.stages.size(), 0);
  if (face.type != FaceTypePolygon || !staged.deforms.empty() || staged.twins.size() != staged.stages.size()) return;
  const int lightmapSlot = LightmapTextureBase + (face.lightmapIndex < 0 ? -1 : face.lightmapIndex);
  bool any = false;
  for (size_t k = 0; k < staged.stages.size(); ++k) {
    const ShaderStage& stage = staged.stages[k];
    any |= stage.image == StageImage::Picture ? gGame.texturesOn && !staged.twins[k].empty()
                                              : stage.image == StageImage::Lightmap && gGame.lightmapsOn &&
                                                    HasLightmap(face) && magnifiedNames_[lightmapSlot] != 0;
  }
  float steps[2][4];
  if (!any || !FaceCoordinateSteps(face, steps)) return;
  for (size_t k = 0; k < staged.stages.size(); ++k) {
    const ShaderStage& stage = staged.stages[k];
    float width = 0, height = 0;
    if (stage.image == StageImage::Lightmap) {
      if (!gGame.lightmapsOn || !HasLightmap(face) || magnifiedNames_[lightmapSlot] == 0) continue;
      width = static_cast<float>(textureSizes_[lightmapSlot][0]), height = static_cast<float>(textureSizes_[lightmapSlot][1]);
    } else if (stage.image == StageImage::Picture && gGame.texturesOn && !staged.twins[k].empty()) {
      const size_t frame = AnimationFrame(stage, seconds);
      if (staged.twins[k][frame] == 0) continue;
      width = static_cast<float>(staged.twinSizes[k][frame].first), height = static_cast<float>(staged.twinSizes[k][frame].second);
    } else {
      continue;
    }
    // The tcMods other than turb move coordinates by one affine map over the whole face: its
    // linear part scales the steps (each new step at most the sum of the old ones it mixes).
    const float* base = steps[stage.image == StageImage::Lightmap ? 1 : 0];
    float moved[4] = {base[0], base[1], base[2], base[3]};
    if (!stage.texMods.empty()) {
      bool affine = true;
      for (const TexMod& mod : stage.texMods) affine = affine && mod.kind != TexModKind::Turb;
      if (!affine) continue;
      const float origin[3] = {0, 0, 0};
      float o[2] = {0, 0}, s[2] = {1, 0}, t[2] = {0, 1};
      MoveTexCoord(stage.texMods, seconds, origin, o);
      MoveTexCoord(stage.texMods, seconds, origin, s);
      MoveTexCoord(stage.texMods, seconds, origin, t);
      const float m[2][2] = {{std::fabs(s[0] - o[0]), std::fabs(t[0] - o[0])}, {std::fabs(s[1] - o[1]), std::fabs(t[1] - o[1])}};
      for (int axis = 0; axis < 2; ++axis)
        for (int r = 0; r < 2; ++r) moved[2 * axis + r] = m[r][0] * base[2 * axis] + m[r][1] * base[2 * axis + 1];
    }
    (*twins)[k] = Magnified(moved, width, height) ? 1 : 0;
  }
}
