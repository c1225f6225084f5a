// One frame: clear, set the view, draw, swap. Until the level is drawn, a reference grid
// on the ground and a ring of posts show moving and turning.
#include <GL/gl.h>

#include <cmath>

#include "app/game.h"
#include "app/game_state.h"
#include "platform/platform.h"

namespace {

void DrawReferenceGrid() {
  glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_CULL_FACE);
  glDisable(GL_FOG);

  // Ground grid at y = 0, 100 units apart.
  glBegin(GL_LINES);
  for (int i = -2000; i <= 2000; i += 100) {
    if (i == 0) {
      glColor3f(1.0f, 0.3f, 0.3f);
    } else {
      glColor3f(0.3f, 0.9f, 0.3f);
    }
    glVertex3f(static_cast<float>(i), 0, -2000);
    glVertex3f(static_cast<float>(i), 0, 2000);
    glVertex3f(-2000, 0, static_cast<float>(i));
    glVertex3f(2000, 0, static_cast<float>(i));
  }
  glEnd();

  // Coloured posts around the origin, so each direction looks different.
  glBegin(GL_QUADS);
  for (int k = 0; k < 8; ++k) {
    const float angle = static_cast<float>(k) * 0.785398f;
    const float x = 600.0f * std::cos(angle), z = 600.0f * std::sin(angle);
    glColor3f((k & 1) ? 1.0f : 0.2f, (k & 2) ? 1.0f : 0.2f, (k & 4) ? 1.0f : 0.4f);
    const float w = 40.0f, h = 900.0f;
    glVertex3f(x - w, 0, z);
    glVertex3f(x + w, 0, z);
    glVertex3f(x + w, h, z);
    glVertex3f(x - w, h, z);
    glVertex3f(x, 0, z - w);
    glVertex3f(x, 0, z + w);
    glVertex3f(x, h, z + w);
    glVertex3f(x, h, z - w);
  }
  glEnd();
  glPopAttrib();
}

}  // namespace

void RenderFrame() {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glLoadIdentity();
  gGame.camera.Look();
  DrawReferenceGrid();
  platform::Current().SwapBuffers();
}
