// Billboards: the screen-aligned, additive squares of shots, trails, sparks and steam.
//
// Each square sits at its centre's eye-space position with the rotation of the model-view
// matrix removed, so it faces the screen and keeps its size wherever the camera looks. The
// eye-space corners are computed here once, and every run of billboards sharing a picture
// is drawn with one glDrawArrays from client arrays in the order they were added, so
// additive blending sums exactly as if they were drawn one by one.
#include "combat/billboard.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>

#include "app/game_state.h"

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

bool BillboardUsesAlpha(int type) {
  return type == RifleTrailKind || type == SparkKind || type == GrenadeTrailKind ||
         type == SteamKind;
}

void BillboardBatch::Begin() {
  glGetFloatv(GL_MODELVIEW_MATRIX, modelView_);
  vertices_.clear();
  texCoords_.clear();
  colours_.clear();
  textures_.clear();
}

void BillboardBatch::Add(Vec3 p, float red, float green, float blue, float alpha, float size,
                         int type) {
  const float* m = modelView_;
  // The translation column of the model-view matrix after translating to p.
  const float ex = m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12];
  const float ey = m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13];
  const float ez = m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14];
  const float s = size;
  const float corners[4][4] = {
      {-s, s, 0, 0}, {s, s, 1, 0}, {s, -s, 1, 1}, {-s, -s, 0, 1}};  // x, y, u, v
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
  for (const auto& c : corners) {
    vertices_.insert(vertices_.end(), {ex + c[0], ey + c[1], ez});
    texCoords_.insert(texCoords_.end(), {c[2], c[3]});
    colours_.insert(colours_.end(), colour, colour + 4);
  }
  textures_.push_back(gGame.effectTextures[BillboardTextureSlot(type)]);
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

  if (!textures_.empty()) {
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    ClientActiveTexture(GL_TEXTURE1_ARB);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    ClientActiveTexture(GL_TEXTURE0_ARB);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, vertices_.data());
    glTexCoordPointer(2, GL_FLOAT, 0, texCoords_.data());
    glColorPointer(4, GL_FLOAT, 0, colours_.data());

    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();  // the corners are already in eye space
    const size_t count = textures_.size();
    size_t first = 0;
    while (first < count) {
      size_t end = first + 1;
      while (end < count && textures_[end] == textures_[first]) ++end;
      glBindTexture(GL_TEXTURE_2D, textures_[first]);
      glDrawArrays(GL_QUADS, static_cast<GLint>(first * 4), static_cast<GLsizei>((end - first) * 4));
      ++calls;
      first = end;
    }
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
  vertices_.clear();
  texCoords_.clear();
  colours_.clear();
  textures_.clear();
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
