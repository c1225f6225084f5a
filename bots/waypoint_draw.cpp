// The diagnostic view of the waypoint graph: a red-tipped pyramid on every waypoint, a white
// line for every link both ways (drawn once from each end) and, for a link one way, a line
// from yellow to red with an arrowhead at the end it leads to.
#include <GL/gl.h>

#include "bots/waypoints.h"
#include "core/game_state.h"
#include "render/texture_units.h"

namespace {

constexpr float MarkerSize = 20.0f;
constexpr float ArrowLength = 24.0f, ArrowWidth = 10.0f;

// A one-way link from a to b: yellow to red, with an arrowhead just short of b's marker.
void DrawOneWay(Vec3 a, Vec3 b) {
  const Vec3 along = NormalizeOrZero(b - a);
  Vec3 side = NormalizeOrZero(Cross(along, Vec3(0, 1, 0)));
  if (Magnitude(side) == 0) side = Vec3(1, 0, 0);  // straight down or up
  const Vec3 tip = b - along * MarkerSize;
  const Vec3 back = tip - along * ArrowLength;
  glColor3ub(255, 255, 0);
  glVertex3f(a.x, a.y, a.z);
  glColor3ub(255, 0, 0);
  glVertex3f(tip.x, tip.y, tip.z);
  for (float s : {-ArrowWidth, ArrowWidth}) {
    const Vec3 wing = back + side * s;
    glVertex3f(tip.x, tip.y, tip.z);
    glVertex3f(wing.x, wing.y, wing.z);
  }
}

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
    glBegin(GL_LINES);
    for (int j = 0; j < graph.count; ++j) {
      if (graph.links[i][j] != 1) continue;
      if (graph.links[j][i] != 1) {
        DrawOneWay(Vec3(graph.x[i], graph.y[i], graph.z[i]), Vec3(graph.x[j], graph.y[j], graph.z[j]));
        continue;
      }
      glColor3ub(255, 255, 255);
      glVertex3f(graph.x[i], graph.y[i], graph.z[i]);
      glVertex3f(graph.x[j], graph.y[j], graph.z[j]);
    }
    glEnd();
  }
  glPopAttrib();
  glEnable(GL_TEXTURE_2D);
}
