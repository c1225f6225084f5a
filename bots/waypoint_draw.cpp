// The diagnostic view of the waypoint graph: a red-tipped pyramid on every waypoint and a
// white line for every link (each link is drawn once from each end).
#include <GL/gl.h>

#include "bots/waypoints.h"
#include "core/game_state.h"
#include "render/texture_units.h"

namespace {

constexpr float MarkerSize = 20.0f;

void DrawMarker(float x, float y, float z) {
  const float s = MarkerSize;
  // Base corners at y - 20, alternating cyan and magenta; apex red.
  struct Corner {
    float dx, dz;
    unsigned char r, g, b;
  };
  const Corner mm{-s, -s, 0, 255, 255}, pm{s, -s, 255, 0, 255}, pp{s, s, 0, 255, 255},
      mp{-s, s, 255, 0, 255};
  const Corner* triangles[4][2] = {{&mm, &pm}, {&pp, &mp}, {&mp, &mm}, {&pm, &pp}};
  glBegin(GL_TRIANGLES);
  for (const auto& t : triangles) {
    glColor3ub(255, 0, 0);
    glVertex3f(x, y + s, z);
    for (const Corner* c : t) {
      glColor3ub(c->r, c->g, c->b);
      glVertex3f(x + c->dx, y - s, z + c->dz);
    }
  }
  glEnd();
}

}  // namespace

void DrawWaypointGraph() {
  const WaypointGraph& graph = gGame.waypoints;
  glPushAttrib(GL_ENABLE_BIT);  // the other units' texturing comes back afterwards
  DisableTexturingOnEveryUnit();
  for (int i = 0; i < graph.count; ++i) {
    DrawMarker(graph.x[i], graph.y[i], graph.z[i]);
    glColor3ub(255, 255, 255);
    glBegin(GL_LINES);
    for (int j = 0; j < graph.count; ++j) {
      if (graph.links[i][j] != 1) continue;
      glVertex3f(graph.x[i], graph.y[i], graph.z[i]);
      glVertex3f(graph.x[j], graph.y[j], graph.z[j]);
    }
    glEnd();
  }
  glPopAttrib();
  glEnable(GL_TEXTURE_2D);
}
