// The OpenGL set-up of the game window: the context, the initial state with fog, and the
// projection that follows the window size.
#include <GL/gl.h>
#include <GL/glu.h>

#include "app/game.h"
#include "core/game_state.h"
#include "platform/platform.h"

bool InitializeGL(int width, int height) {
  // The pixel format (double-buffered RGBA with depth) is chosen with the window; the
  // context is created and made current here. Without one nothing can be drawn, and no GL
  // call may follow: with no current context they land in no driver at all.
  if (!platform::Current().CreateGLContext()) {
    platform::ShowError("16 ChoosePixelFormat failed");
    platform::PostQuit(StartupFailureExit);
    return false;
  }

  glEnable(GL_TEXTURE_2D);
  glEnable(GL_DEPTH_TEST);

  // Exponential-squared black fog; start and end have no effect in this mode.
  const GLfloat fogColor[4] = {0, 0, 0, 1};
  glFogi(GL_FOG_MODE, GL_EXP2);
  glFogfv(GL_FOG_COLOR, fogColor);
  glFogf(GL_FOG_DENSITY, gGame.fogDensity);
  glHint(GL_FOG_HINT, GL_DONT_CARE);
  glFogf(GL_FOG_START, 0);
  glFogf(GL_FOG_END, 5.0f);
  glEnable(GL_FOG);

  ResizeView(width, height);
  return true;
}

void ResizeView(int width, int height) {
  if (height == 0) height = 1;
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(45.0, static_cast<GLdouble>(width) / static_cast<GLdouble>(height), 10.0, gGame.viewFar);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}
