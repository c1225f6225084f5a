// The overlay's joined layers as the 1024 x 768 screen shows them, one texel a pixel: drawn
// once through a framebuffer object into a texture, they are afterwards put on the screen
// by nearest sampling, which a software renderer does far more cheaply than filtering the
// stretched picture again every frame. The texels are the very bytes the filtered draw
// gives, so blending them gives the same picture.
#include <GL/gl.h>
#include <GL/glext.h>

#include "platform/platform.h"
#include "render/hud_tiles.h"

namespace {

// Side of the square texture holding the screen (power of two, at least the screen's width).
constexpr int ScreenTextureSize = 1024;
static_assert(ScreenTextureSize >= HudScreenWidth && ScreenTextureSize >= HudScreenHeight, "the screen must fit");

struct FramebufferProcs {
  PFNGLGENFRAMEBUFFERSEXTPROC gen = nullptr;
  PFNGLDELETEFRAMEBUFFERSEXTPROC remove = nullptr;
  PFNGLBINDFRAMEBUFFEREXTPROC bind = nullptr;
  PFNGLFRAMEBUFFERTEXTURE2DEXTPROC attach = nullptr;
  PFNGLCHECKFRAMEBUFFERSTATUSEXTPROC status = nullptr;
};

template <typename Proc>
Proc Lookup(const char* extensionName, const char* coreName) {
  platform::Backend& p = platform::Current();
  void* address = p.GetProcAddress(extensionName);
  if (!address) address = p.GetProcAddress(coreName);
  return reinterpret_cast<Proc>(address);
}

// The framebuffer object calls, or false when the GL has none.
bool LookupFramebufferProcs(FramebufferProcs* f) {
  f->gen = Lookup<PFNGLGENFRAMEBUFFERSEXTPROC>("glGenFramebuffersEXT", "glGenFramebuffers");
  f->remove = Lookup<PFNGLDELETEFRAMEBUFFERSEXTPROC>("glDeleteFramebuffersEXT", "glDeleteFramebuffers");
  f->bind = Lookup<PFNGLBINDFRAMEBUFFEREXTPROC>("glBindFramebufferEXT", "glBindFramebuffer");
  f->attach = Lookup<PFNGLFRAMEBUFFERTEXTURE2DEXTPROC>("glFramebufferTexture2DEXT", "glFramebufferTexture2D");
  f->status = Lookup<PFNGLCHECKFRAMEBUFFERSTATUSEXTPROC>("glCheckFramebufferStatusEXT", "glCheckFramebufferStatus");
  return f->gen && f->remove && f->bind && f->attach && f->status;
}

// Draws `combined` stretched over the screen as the overlay draws it (white, unblended,
// unfogged, the second unit off) into the bound framebuffer, whose lower-left 1024 x 768
// pixels stand for the screen.
void DrawStretched(Texture combined, void (*activeTexture)(unsigned int)) {
  glPushAttrib(GL_ALL_ATTRIB_BITS);
  glViewport(0, 0, HudScreenWidth, HudScreenHeight);
  glDisable(GL_BLEND);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_FOG);
  glDisable(GL_CULL_FACE);
  glDisable(GL_ALPHA_TEST);
  glDisable(GL_SCISSOR_TEST);
  glDisable(GL_LIGHTING);
  glDisable(GL_DITHER);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  if (activeTexture) {
    activeTexture(GL_TEXTURE1_ARB);
    glDisable(GL_TEXTURE_2D);
    activeTexture(GL_TEXTURE0_ARB);
  }
  glEnable(GL_TEXTURE_2D);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glBindTexture(GL_TEXTURE_2D, combined);
  glColor4f(1, 1, 1, 1);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(0, HudScreenWidth, HudScreenHeight, 0, 0, 1);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  DrawHudScreenQuad();
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopAttrib();
}

}  // namespace

void DrawHudScreenQuad() {
  // The top edge shows the last row of the (bottom-up) picture, as on the screen.
  glBegin(GL_QUADS);
  glTexCoord2f(0, 1);
  glVertex2f(0, 0);
  glTexCoord2f(0, 0);
  glVertex2f(0, HudScreenHeight);
  glTexCoord2f(1, 0);
  glVertex2f(HudScreenWidth, HudScreenHeight);
  glTexCoord2f(1, 1);
  glVertex2f(HudScreenWidth, 0);
  glEnd();
}

namespace {

Texture MakeScreenTexture(Texture combined, void (*activeTexture)(unsigned int)) {
  FramebufferProcs f;
  if (combined == 0 || !LookupFramebufferProcs(&f)) return 0;
  // Bytes rounded once more for a screen of fewer bits could land a step off the colour
  // filtering gives directly.
  GLint screenBits[3] = {0, 0, 0};
  glGetIntegerv(GL_RED_BITS, &screenBits[0]);
  glGetIntegerv(GL_GREEN_BITS, &screenBits[1]);
  glGetIntegerv(GL_BLUE_BITS, &screenBits[2]);
  if (screenBits[0] != 8 || screenBits[1] != 8 || screenBits[2] != 8) return 0;
  GLint previousFramebuffer = 0;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &previousFramebuffer);
  GLuint screen = 0, framebuffer = 0;
  glGenTextures(1, &screen);
  glBindTexture(GL_TEXTURE_2D, screen);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, ScreenTextureSize, ScreenTextureSize, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  f.gen(1, &framebuffer);
  f.bind(GL_FRAMEBUFFER_EXT, framebuffer);
  f.attach(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, screen, 0);
  GLint redBits = 0, greenBits = 0, blueBits = 0, alphaBits = 0;
  const bool complete = f.status(GL_FRAMEBUFFER_EXT) == GL_FRAMEBUFFER_COMPLETE_EXT;
  if (complete) {
    glGetIntegerv(GL_RED_BITS, &redBits);
    glGetIntegerv(GL_GREEN_BITS, &greenBits);
    glGetIntegerv(GL_BLUE_BITS, &blueBits);
    glGetIntegerv(GL_ALPHA_BITS, &alphaBits);
  }
  // Only bytes as the screen's own (8 bits a channel) stand for what filtering gives there.
  const bool exact = complete && redBits == 8 && greenBits == 8 && blueBits == 8 && alphaBits == 8;
  if (exact) DrawStretched(combined, activeTexture);
  f.bind(GL_FRAMEBUFFER_EXT, static_cast<GLuint>(previousFramebuffer));
  f.remove(1, &framebuffer);
  if (!exact) {
    glDeleteTextures(1, &screen);
    return 0;
  }
  return screen;
}

}  // namespace

Texture ScreenHudTexture(HudTiles& tiles, Texture combined, void (*activeTexture)(unsigned int)) {
  for (const HudTiles::Screen& s : tiles.screens)
    if (s.combined == combined) return s.screen;
  GLint previous = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
  const Texture screen = MakeScreenTexture(combined, activeTexture);
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous));
  tiles.screens.push_back({combined, screen});
  return screen;
}

float ScreenHudTextureT(int screenRow) {
  return static_cast<float>(HudScreenHeight - screenRow) / ScreenTextureSize;
}

float ScreenHudTextureS(int screenColumn) { return static_cast<float>(screenColumn) / ScreenTextureSize; }
