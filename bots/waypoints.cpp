// Placeholder until routing lands.
#include "bots/waypoints.h"

#include "app/game_state.h"

void LoadBuiltInWaypoints() {}
int UpdatePlayerWaypoint(Vec3 position) {
  gGame.trackedPlayerPosition = position;
  return gGame.playerWaypoint;
}
void DrawWaypointGraph() {}
