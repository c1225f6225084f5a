// Game start-up: runs once after the window exists and before the frame loop.
#include <GL/gl.h>

#include "app/game.h"
#include "app/game_state.h"
#include "platform/platform.h"

bool InitializeGame() {
  platform::Backend& p = platform::Current();
  gGame.lastTickTime = platform::Ticks();
  gGame.nextShotSlot = 0;

  int width = 0, height = 0;
  p.GetClientSize(&width, &height);
  gGame.clientRect = ClientRect{0, 0, width, height};
  InitializeGL(width, height);

  p.ShowCursor(false);

  if (p.ExtensionSupported("GL_ARB_multitexture")) {
    gGame.multitexture.activeTexture =
        reinterpret_cast<ActiveTextureProc>(p.GetProcAddress("glActiveTextureARB"));
    gGame.multitexture.clientActiveTexture =
        reinterpret_cast<ActiveTextureProc>(p.GetProcAddress("glClientActiveTextureARB"));
    gGame.multitexture.multiTexCoord2f =
        reinterpret_cast<MultiTexCoord2fProc>(p.GetProcAddress("glMultiTexCoord2fARB"));
  }

  gGame.camera.PositionCamera(587, 347, -404, 0, 480, 0, 0, 1, 0);

  glEnable(GL_DEPTH_TEST);
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_CULL_FACE);
  glCullFace(GL_FRONT);
  if (!gGame.fogOn) glDisable(GL_FOG);
  return true;
}
