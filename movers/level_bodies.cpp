// Connects the game state's player and bots to the movers: each is a Body for the moment of
// the call, and whatever the movers and triggers did to it is written back (the camera moves
// its eye, view point and the start of its latest move together, so the look and the
// physics' move check stay as they were).
#include "movers/level_bodies.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "core/game_state.h"
#include "level/entities.h"
#include "movers/movers.h"

namespace {

constexpr float SlowMotionDivisor = 20.0f;

void ShiftCamera(Vec3 delta) {
  Camera& c = gGame.camera;
  c.position = c.position + delta;
  c.view = c.view + delta;
  c.moveStartPosition = c.moveStartPosition + delta;
  c.moveStartView = c.moveStartView + delta;
}

// Turns a horizontal velocity by the yaw change (degrees, counter-clockwise seen from above).
Vec3 TurnedFlat(Vec3 v, float degrees) {
  const float r = degrees * 0.017453292f, c = std::cos(r), s = std::sin(r);
  return Vec3(v.x * c + v.z * s, v.y, -v.x * s + v.z * c);
}

float YawOf(Vec3 direction) { return std::atan2(-direction.z, direction.x) * 57.29578f; }

}  // namespace

float MoverSeconds(float realSeconds) {
  if (!(realSeconds > 0)) return 0;
  return gGame.slowMotion ? realSeconds / SlowMotionDivisor : realSeconds;
}

void SetUpLevelMovers() {
  SetUpMovers(gGame.level, &gGame.movers);
  gGame.playerFlight = BodyFlight();
  for (BodyFlight& f : gGame.botFlights) f = BodyFlight();
}

void RunLevelMovers(float gameSeconds, bool withPlayer) {
  if (gGame.movers.movers.empty()) return;
  Body bodies[1 + BotCount];
  int count = 0;
  if (withPlayer) bodies[count++] = Body{gGame.camera.position, gGame.playerBoxExtents};
  for (int b = 0; b < BotCount; ++b) bodies[count++] = Body{gGame.bots[b].position, BodyExtents};
  AdvanceMovers(gGame.movers, gGame.level, gameSeconds, bodies, count);
  int i = 0;
  if (withPlayer) {
    const Vec3 delta = bodies[i++].position - gGame.camera.position;
    if (!(delta == Vec3())) ShiftCamera(delta);
  }
  for (int b = 0; b < BotCount; ++b, ++i) {
    Bot& bot = gGame.bots[b];
    const Vec3 delta = bodies[i].position - bot.position;
    bot.position = bodies[i].position;
    bot.previousPosition = bot.previousPosition + delta;
  }
}

void HoldPlayerInFlight() {
  if (!gGame.playerFlight.active) return;
  Camera& c = gGame.camera;
  const Vec3 back = c.moveStartPosition - c.position;
  c.position = c.position + back;
  c.view = c.view + back;
}

bool StepPlayerFlight(float seconds) {
  if (!gGame.playerFlight.active) return false;
  Body body{gGame.camera.position, gGame.playerBoxExtents};
  StepFlight(gGame.level, &gGame.playerFlight, &body, seconds, FlightFallSpeed);
  ShiftCamera(body.position - gGame.camera.position);
  return gGame.playerFlight.active;
}

void PlayerInTriggers() {
  if (gGame.movers.triggers.empty()) return;
  const TriggerOutcome o = TouchTriggers(gGame.movers, gGame.level, Body{gGame.camera.position, gGame.playerBoxExtents});
  if (o.thrown) gGame.playerFlight = BodyFlight{true, o.velocity};
  if (o.teleported) {
    Camera& c = gGame.camera;
    const Vec3 look = c.view - c.position;
    const float flat = std::sqrt(look.x * look.x + look.z * look.z);
    const Vec3 facing = YawDirection(o.yawDegrees);
    const float turn = o.yawDegrees - YawOf(look);
    c.position = o.position;
    c.view = o.position + Vec3(facing.x * (flat > 0 ? flat : 1), look.y, facing.z * (flat > 0 ? flat : 1));
    c.moveStartPosition = c.position;
    c.moveStartView = c.view;
    if (gGame.playerFlight.active)
      gGame.playerFlight.velocity = TurnedFlat(gGame.playerFlight.velocity, turn);
  }
}

void BotsInTriggers(float tickSeconds) {
  if (gGame.movers.triggers.empty()) return;
  for (int b = 0; b < BotCount; ++b) {
    Bot& bot = gGame.bots[b];
    Body body{bot.position, BodyExtents};
    if (gGame.botFlights[b].active) {
      StepFlight(gGame.level, &gGame.botFlights[b], &body, tickSeconds, FlightFallSpeed);
      bot.previousPosition = bot.position;
      bot.position = body.position;
    }
    const TriggerOutcome o = TouchTriggers(gGame.movers, gGame.level, body);
    if (o.thrown) gGame.botFlights[b] = BodyFlight{true, o.velocity};
    if (o.teleported) {
      bot.position = bot.previousPosition = o.position;
      if (gGame.botFlights[b].active)
        gGame.botFlights[b].velocity = TurnedFlat(gGame.botFlights[b].velocity, o.yawDegrees - YawOf(bot.facing));
    }
  }
}

void PrintPlayerPosition(uint32_t nowMs) {
  static const bool wanted = std::getenv("KORVALIS_PLAYER_POSITIONS") != nullptr;
  static uint32_t lastPrint = 0;
  if (!wanted || nowMs - lastPrint < 200) return;
  lastPrint = nowMs;
  const Vec3 p = gGame.camera.position;
  std::printf("player %.1f %.1f %.1f\n", p.x, p.y, p.z);
  std::fflush(stdout);
}
