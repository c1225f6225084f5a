// One frame of the game, in a fixed order: the game tick when due, the player's physics, the
// view, the text, the characters, the level, the effects, the HUD overlay and the swap. Later
// steps rely on the GL state and values the earlier ones leave.
#include "app/frame.h"

#include <GL/gl.h>

#include "app/game.h"
#include "bots/bot.h"
#include "bots/waypoints.h"
#include "combat/shots.h"
#include "combat/sound.h"
#include "core/game_state.h"
#include "movers/level_bodies.h"
#include "platform/platform.h"
#include "player/physics.h"
#include "render/screenshot.h"
#include "render/text.h"

namespace {

constexpr int MoverSoundVolume = 160;  // of 255: doors, lifts, jump pads, teleporters

// The current colour: green in night vision, else white. `green` is the green level used
// in night vision (the level is drawn darker than the characters).
void SetWorldColour(float green) {
  if (gGame.nightVision)
    glColor4f(0, green, 0, 1);
  else
    glColor4f(1, 1, 1, 1);
}

// When the heap's free pages last went back to the system.
uint32_t gLastMemoryReturn = 0;

}  // namespace

bool GameTickDue(uint32_t nowMs) {
  // Unsigned difference: correct across the clock's wrap after 49.7 days.
  const float elapsed = static_cast<float>(nowMs - gGame.lastTickTime);
  if (elapsed < TickIntervalMs) return false;
  gGame.lastTickTime = nowMs;
  return true;
}

void AdvanceSurfaceClock(uint32_t nowMs) {
  if (gGame.surfaceClockStarted) {
    const double seconds = static_cast<double>(nowMs - gGame.surfaceClockTicks) / 1000.0;
    gGame.surfaceSeconds += gGame.slowMotion ? seconds / SlowMotionFactor : seconds;
  }
  gGame.surfaceClockTicks = nowMs;
  gGame.surfaceClockStarted = true;
}

void RunGameTick() {
  ++gGame.gameTicks;
  UpdateBot(0);
  UpdateBot(1);
  MoveBot(0);
  MoveBot(1);
  BotsInTriggers(MoverSeconds(TickIntervalMs / 1000.0f));
  UpdateShots();
}

void UpdateAim() {
  const Camera& camera = gGame.camera;
  gGame.aimDirection = NormalizeOrZero(camera.view - camera.position);
  gGame.shotOrigin = camera.position;
  gGame.shotOrigin.x += gGame.aimDirection.x * 0.5f;
  gGame.shotOrigin.y -= 5.0f;
  gGame.shotOrigin.z += gGame.aimDirection.z * 0.5f;
}

void RenderFrame() {
  glEnable(GL_CULL_FACE);
  glCullFace(GL_FRONT);

  // Only the first character follows slow motion; the second keeps its rate.
  gGame.characters[0].SetSlowMotion(gGame.slowMotion);

  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glLoadIdentity();
  if (gGame.hudOn) MaskScreenUnderHud();  // spares shading what the overlay covers

  if (GameTickDue(platform::Ticks())) RunGameTick();
  AdvanceSurfaceClock(platform::Ticks());
  PrintBotPositions(platform::Ticks());

  // The level's moving parts carry and push the player and the bots (the player only while
  // collision is on).
  RunLevelMovers(MoverSeconds(gFrameCounter.frameInterval), gGame.collisionOn);
  // Collision, stairs, jump and gravity; with collision off the player flies freely. A jump
  // pad's throw, then the triggers the player is in.
  if (gGame.collisionOn) {
    HoldPlayerInFlight();
    ApplyPlayerPhysics();
    StepPlayerFlight(gFrameCounter.frameInterval);
    PlayerInTriggers();
  }
  PrintPlayerPosition(platform::Ticks());
  for (const std::string& sound : gGame.movers.sounds) {
    OpenEffect(sound.c_str());
    PlayEffect(MoverSoundVolume);
  }
  gGame.movers.sounds.clear();

  gGame.camera.Look();

  UpdatePlayerWaypoint(gGame.camera.Position());
  if (gGame.waypointGraphOn) DrawWaypointGraph();

  glColor3f(1, 1, 1);
  glDisable(GL_TEXTURE_2D);
  PrintText(5, 0, "%d FPS", gGame.camera.frameRate);
  glEnable(GL_TEXTURE_2D);

  if (gGame.infoTextOn) DrawBotInfoPanel();
  ApplyBotAnimations();

  SetWorldColour(1.0f);
  DrawBots();

  SetWorldColour(0.6f);  // tints the level
  UpdateAim();
  gGame.frustum.CalculateFrustum();
  if (!gGame.level.leaves.empty()) gGame.level.RenderLevel(gGame.camera.Position());

  SetWorldColour(1.0f);
  DrawShots();

  glDisable(GL_TEXTURE_2D);
  glColor3ub(255, 255, 255);
  if (gGame.particles) {
    gGame.particles->DrawParticles();
    gGame.particles->UpdateParticles();
  }
  glEnable(GL_TEXTURE_2D);

  if (gGame.fogOn) glEnable(GL_FOG);
  SetWorldColour(1.0f);
  glDisable(GL_CULL_FACE);  // the next frame enables it again

  // Additive blending carries into the next frame until a billboard or the overlay turns
  // blending off after itself.
  if (gGame.additiveBlendOn) {
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
  }

  if (gGame.hudOn) {
    DrawHudOverlay();
    SetWorldColour(1.0f);
  }

  // A screenshot is this frame exactly as the swap is about to show it.
  if (gGame.screenshotRequested) {
    gGame.screenshotRequested = false;
    int width = 0, height = 0;
    platform::Current().GetClientSize(&width, &height);
    TakeScreenshot(width, height);
  }
  platform::Current().SwapBuffers();

  // The renderer's per-frame buffers come and go with the number of particles: once a second
  // the pages they left free go back, so the memory follows the load rather than its peak.
  const uint32_t now = platform::Ticks();
  if (now - gLastMemoryReturn >= MemoryReturnIntervalMs) {
    gLastMemoryReturn = now;
    platform::ReturnFreeMemory();
  }
}
