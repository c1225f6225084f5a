// Billboards: the screen-aligned, additive squares of shots, trails, sparks and steam.
//
// Each square sits at its centre's eye-space position with the rotation of the model-view
// matrix removed, so it faces the screen and keeps its size wherever the camera looks. The
// eye-space corners are computed here once, and every run of billboards sharing a picture
// is drawn with one glDrawArrays from client arrays in the order they were added, so
// additive blending sums exactly as if they were drawn one by one. Billboards that cannot
// change a pixel (outside the view volume, or too faint to survive rounding) are left out.
#include "combat/billboard.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>

#include "core/game_state.h"
#include "level/fog_volumes.h"

namespace {

void ActiveTexture(unsigned int unit) {
  if (gGame.multitexture.activeTexture) gGame.multitexture.activeTexture(unit);
}
void ClientActiveTexture(unsigned int unit) {
  if (gGame.multitexture.clientActiveTexture) gGame.multitexture.clientActiveTexture(unit);
}

// Colour components truncated to a byte, as an opaque colour is given.
float ByteColour(float value) {
  const int truncated = static_cast<int>(std::max(0.0f, std::min(255.0f, value)));
  return static_cast<float>(truncated) / 255.0f;
}

// A fragment adding less than half a step of the colour buffer's bytes adds nothing.
constexpr float FaintestStep = 0.49f;

// Each effect slot's picture as last measured: its texture and how far it is lit.
unsigned int gMeasuredTexture[6] = {};
float gLitExtent[6] = {1, 1, 1, 1, 1, 1};

// How far from the middle of the square (0..1 of the half-size, along either axis) the
// bound texture has a texel other than black, plus the texel the linear filter reaches
// across: beyond it every sample is black. 1 when it cannot tell.
float LitExtentOfBoundTexture() {
  GLint width = 0, height = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
  if (width < 2 || height < 2 || width > 4096 || height > 4096) return 1;
  std::vector<unsigned char> texels(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
  glPopClientAttrib();
  float lit = -1;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const unsigned char* t = &texels[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3];
      if (t[0] == 0 && t[1] == 0 && t[2] == 0) continue;
      const float cx = std::fabs((x + 0.5f) * 2 / static_cast<float>(width) - 1);
      const float cy = std::fabs((y + 0.5f) * 2 / static_cast<float>(height) - 1);
      lit = std::max({lit, cx, cy});
    }
  }
  if (lit < 0) return 1;  // all black: nothing to gain, drawn as it always was
  const float reach = 2.0f / static_cast<float>(std::min(width, height));
  return std::min(1.0f, lit + reach + 0.01f);
}

}  // namespace

int BillboardTextureSlot(int type) {
  switch (type) {
    case GrenadeType: return 0;          // P1
    case PlasmaType: return 1;           // P2
    case SparkKind:
    case GrenadeTrailKind: return 4;     // P5
    case RifleTrailKind:
    case SteamKind: return 5;            // P7
    default: return 2;                   // P3: shots 10 and 11 and anything unknown
  }
}

void MeasureEffectPictures() {
  GLint bound = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  for (int slot = 0; slot < 6; ++slot) {
    gMeasuredTexture[slot] = gGame.effectTextures[slot];
    gLitExtent[slot] = 1;
    if (gGame.effectTextures[slot] == 0) continue;
    glBindTexture(GL_TEXTURE_2D, gGame.effectTextures[slot]);
    gLitExtent[slot] = LitExtentOfBoundTexture();
  }
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound));
}

float BillboardLitExtent(int type) {
  const int slot = BillboardTextureSlot(type);
  const unsigned int texture = gGame.effectTextures[slot];
  return texture != 0 && texture == gMeasuredTexture[slot] ? gLitExtent[slot] : 1.0f;
}

bool BillboardUsesAlpha(int type) {
  return type == RifleTrailKind || type == SparkKind || type == GrenadeTrailKind ||
         type == SteamKind;
}

void FadeBillboardInFog(Vec3 position, int type, float* red, float* green, float* blue, float* alpha) {
  if (gGame.level.fogs.empty()) return;
  const float at[3] = {position.x, position.y, position.z};
  float fogColour[3];
  const float keep = 1 - FogAlong(gGame.level, gGame.camera.Position(), at, fogColour);
  if (BillboardUsesAlpha(type)) {
    *alpha *= keep;
  } else {
    *red *= keep, *green *= keep, *blue *= keep;
  }
}

void BillboardBatch::Begin() {
  glGetFloatv(GL_MODELVIEW_MATRIX, modelView_);
  glGetFloatv(GL_PROJECTION_MATRIX, projection_);
  fogOn_ = glIsEnabled(GL_FOG);
  if (fogOn_) {
    float colour[4];
    glGetFloatv(GL_FOG_COLOR, colour);
    fogBlack_ = colour[0] == 0 && colour[1] == 0 && colour[2] == 0;
    glGetIntegerv(GL_FOG_MODE, &fogMode_);
    glGetFloatv(GL_FOG_DENSITY, &fogDensity_);
    glGetFloatv(GL_FOG_START, &fogStart_);
    glGetFloatv(GL_FOG_END, &fogEnd_);
  }
  plain_.corners.clear();
  plain_.textures.clear();
  blended_.corners.clear();
  blended_.textures.clear();
}

float BillboardBatch::MaxFogFactor(float depth) const {
  if (!fogOn_) return 1;
  // Every fog distance the GL may use (plane or radial) is at least the depth.
  const float d = std::max(0.0f, depth);
  float f = 1;
  switch (fogMode_) {
    case GL_EXP: f = std::exp(-fogDensity_ * d); break;
    case GL_EXP2: f = std::exp(-(fogDensity_ * d) * (fogDensity_ * d)); break;
    case GL_LINEAR: f = fogEnd_ != fogStart_ ? (fogEnd_ - d) / (fogEnd_ - fogStart_) : 1; break;
    default: break;
  }
  // Some slack for the GL's own arithmetic.
  return std::min(1.0f, std::max(0.0f, f) * 1.01f + 1e-4f);
}

bool BillboardBatch::Add(Vec3 p, float red, float green, float blue, float alpha, float size,
                         int type, BillboardShape shape) {
  const float* m = modelView_;
  // The translation column of the model-view matrix after translating to p.
  const float ex = m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12];
  const float ey = m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13];
  const float ez = m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14];
  const float e = std::min(BillboardLitExtent(type), std::max(0.0f, shape.extent));
  const float s = size * e;

  // Wholly outside one plane of the view volume: no pixel. The four corners in clip space
  // are the centre's plus the corner offsets times the first two columns of the projection.
  const float* P = projection_;
  float centre[4], dx[4], dy[4];
  for (int i = 0; i < 4; ++i) {
    centre[i] = P[i] * ex + P[4 + i] * ey + P[8 + i] * ez + P[12 + i];
    dx[i] = P[i] * s;
    dy[i] = P[4 + i] * s;
  }
  unsigned outside = 0xFF;  // planes -x, +x, -y, +y, -z, +z all four corners are beyond
  for (int corner = 0; corner < 4; ++corner) {
    const float sx = corner == 1 || corner == 2 ? 1.0f : -1.0f;
    const float sy = corner < 2 ? 1.0f : -1.0f;
    float c[4];
    for (int i = 0; i < 4; ++i) c[i] = centre[i] + sx * dx[i] + sy * dy[i];
    unsigned out = 0;
    for (int axis = 0; axis < 3; ++axis) {
      if (c[axis] < -c[3]) out |= 1u << (2 * axis);
      if (c[axis] > c[3]) out |= 2u << (2 * axis);
    }
    outside &= out;
  }
  if (outside != 0) return false;

  float colour[4];
  if (gGame.nightVision) {
    colour[0] = 0, colour[1] = 1, colour[2] = 0, colour[3] = 1;
  } else if (BillboardUsesAlpha(type)) {
    // GL clamps the alpha: values above 1 draw at full intensity.
    colour[0] = red / 255.0f, colour[1] = green / 255.0f, colour[2] = blue / 255.0f;
    colour[3] = alpha;
  } else {
    colour[0] = ByteColour(red), colour[1] = ByteColour(green), colour[2] = ByteColour(blue);
    colour[3] = 1;
  }
  // Too faint to change a byte of the picture: the fragment's colour (texture x colour x fog,
  // at most colour x fog) rounds to a byte before the blend scales it by the alpha, so it adds
  // nothing when that byte or the scaled byte stays below half a step. Only black fog is
  // sure to darken.
  const float opacity = std::min(1.0f, std::max(0.0f, colour[3]));
  if (!fogOn_ || fogBlack_) {
    const float brightest = std::min(1.0f, std::max({colour[0], colour[1], colour[2], 0.0f})) * MaxFogFactor(-ez);
    if (brightest * 255.0f < FaintestStep || opacity * 255.0f < FaintestStep ||
        (brightest * 255.0f + 0.5f) * (opacity + 0.5f / 255.0f) < FaintestStep)
      return false;
  }

  // At full opacity the source-alpha factor is exactly 1: such squares go into the plain
  // additive list, which the GL fills more cheaply. Additive blending into the bytes of the
  // colour buffer is a saturating sum, so drawing that list first changes no pixel.
  List& list = opacity >= 1.0f ? plain_ : blended_;
  // The picture's corners from the top left, clockwise, as its square's corners take them;
  // a turn starts the round at another corner, a mirror goes it the other way.
  const float lo = 0.5f - 0.5f * e, hi = 0.5f + 0.5f * e;
  const float uv[4][2] = {{lo, lo}, {hi, lo}, {hi, hi}, {lo, hi}};
  const float xy[4][2] = {{-s, s}, {s, s}, {s, -s}, {-s, -s}};
  const int turn = shape.turn & 3;
  const bool mirrored = (shape.turn & 4) != 0;
  for (int k = 0; k < 4; ++k) {
    const int t = (mirrored ? 4 + turn - k : turn + k) & 3;
    list.corners.push_back({ex + xy[k][0], ey + xy[k][1], ez, uv[t][0], uv[t][1], colour[0], colour[1], colour[2], colour[3]});
  }
  list.textures.push_back(gGame.effectTextures[BillboardTextureSlot(type)]);
  return true;
}

int BillboardBatch::DrawList(List& list) {
  const size_t count = list.textures.size();
  int calls = 0;
  if (count > 0) {
    const GLsizei stride = sizeof(Corner);
    glVertexPointer(3, GL_FLOAT, stride, &list.corners[0].x);
    glTexCoordPointer(2, GL_FLOAT, stride, &list.corners[0].u);
    glColorPointer(4, GL_FLOAT, stride, &list.corners[0].r);
  }
  size_t first = 0;
  while (first < count) {
    size_t end = first + 1;
    while (end < count && list.textures[end] == list.textures[first]) ++end;
    glBindTexture(GL_TEXTURE_2D, list.textures[first]);
    for (size_t part = first; part < end; part += MaxSquaresPerDraw) {
      const size_t squares = std::min(end - part, MaxSquaresPerDraw);
      glDrawArrays(GL_QUADS, static_cast<GLint>(part * 4), static_cast<GLsizei>(squares * 4));
      ++calls;
    }
    first = end;
  }
  list.corners.clear();
  list.textures.clear();
  // After a burst far larger than this frame's squares, the memory goes back rather than
  // staying at the largest burst of the run.
  if (list.textures.capacity() > std::max(SquaresKeptAlways, 4 * count)) {
    List smaller;
    smaller.corners.reserve(2 * 4 * count);
    smaller.textures.reserve(2 * count);
    std::swap(list, smaller);
  }
  return calls;
}

int BillboardBatch::Flush() {
  int calls = 0;
  glDepthMask(GL_FALSE);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE);
  // The level leaves its lightmap unit switched on; a glow is not lit by a lightmap.
  ActiveTexture(GL_TEXTURE1_ARB);
  const bool lightmapUnitOn = gGame.multitexture.activeTexture && glIsEnabled(GL_TEXTURE_2D);
  if (lightmapUnitOn) glDisable(GL_TEXTURE_2D);
  ActiveTexture(GL_TEXTURE0_ARB);
  glEnable(GL_TEXTURE_2D);

  if (size() > 0) {
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    ClientActiveTexture(GL_TEXTURE1_ARB);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    ClientActiveTexture(GL_TEXTURE0_ARB);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();  // the corners are already in eye space
    // One colour per square: not interpolated across it.
    glShadeModel(GL_FLAT);
    glBlendFunc(GL_ONE, GL_ONE);
    calls += DrawList(plain_);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    calls += DrawList(blended_);
    glShadeModel(GL_SMOOTH);
    glPopMatrix();
    glPopClientAttrib();
  }

  glDisable(GL_BLEND);
  glDepthMask(GL_TRUE);
  if (lightmapUnitOn) {
    ActiveTexture(GL_TEXTURE1_ARB);
    glEnable(GL_TEXTURE_2D);
    ActiveTexture(GL_TEXTURE0_ARB);
  }
  glDisable(GL_TEXTURE_2D);
  glColor3ub(255, 255, 255);
  return calls;
}

void DrawBillboard(Vec3 position, float red, float green, float blue, float alpha, float size,
                   int type) {
  // The player's jump is not touched: drawing changes no game state.
  BillboardBatch one;
  one.Begin();
  one.Add(position, red, green, blue, alpha, size, type);
  one.Flush();
}
