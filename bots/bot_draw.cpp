// Drawing the bots: their characters' clips, the characters themselves standing on the
// floor, and the information panel about bot 0.
#include <GL/gl.h>

#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "bots/bot.h"
#include "core/game_state.h"
#include "core/level.h"
#include "level/fog_volumes.h"
#include "level/light_grid.h"
#include "render/text.h"

namespace {

constexpr float DrawnDrop = 13.0f;      // the model's origin lies this far below `position`
constexpr float DrawnScale = 1.5f;
// The muzzle of a bot without a loaded character: ahead along `facing` and up.
constexpr float FallbackMuzzleForward = 50, FallbackMuzzleUp = 20;
constexpr float DegreesToRadians = 0.017453293f;

}  // namespace

int BotAnimationCalls(const Bot& bot, BotAnimationCall calls[3]) {
  int n = 0;
  // Torso before legs: a standing or walking bot ends on TORSO_STAND.
  if (bot.torsoAnimationDirty) {
    if (bot.state == StateSearch || bot.state == StateHunt)
      calls[n++] = {true, "TORSO_STAND"};
    else if (bot.state == StateAttack)
      calls[n++] = {true, "TORSO_ATTACK"};
  }
  if (bot.legsAnimationDirty) {
    if (bot.moveMode == MoveRun) {
      calls[n++] = {false, "LEGS_RUN"};
    } else if (bot.moveMode == MoveWalk) {
      calls[n++] = {true, "TORSO_STAND"};
      calls[n++] = {false, "LEGS_WALK"};
    } else if (bot.moveMode == MoveStand) {
      calls[n++] = {true, "TORSO_STAND"};
      calls[n++] = {false, "LEGS_IDLE"};
    }
  }
  return n;
}

void ApplyBotAnimations() {
  for (int i = 0; i < BotCount; ++i) {
    Bot& bot = gGame.bots[i];
    CharacterModel& character = gGame.characters[i];
    BotAnimationCall calls[3];
    const int n = BotAnimationCalls(bot, calls);
    for (int k = 0; k < n; ++k) {
      if (calls[k].torso)
        character.SetTorsoAnimation(calls[k].clip);
      else
        character.SetLegsAnimation(calls[k].clip);
    }
    bot.torsoAnimationDirty = false;
    bot.legsAnimationDirty = false;
  }
}

Vec3 BotMuzzle(int index) {
  const Bot& bot = gGame.bots[index];
  Vec3 m;
  if (!gGame.characters[index].WeaponMuzzle(&m))
    return Vec3(bot.position.x + bot.facing.x * FallbackMuzzleForward, bot.position.y + FallbackMuzzleUp,
                bot.position.z + bot.facing.z * FallbackMuzzleForward);
  // As DrawBots and DrawCharacter place the model: +Z up turned to +Y, the heading about
  // +Y, the scale, then the drawn position.
  const Vec3 up(m.x, m.z, -m.y);
  const float a = bot.heading * DegreesToRadians;
  const Vec3 turned(up.x * std::cos(a) + up.z * std::sin(a), up.y, -up.x * std::sin(a) + up.z * std::cos(a));
  const Vec3 origin(bot.position.x, bot.position.y - DrawnDrop + BotDrawnFloorOffset(index), bot.position.z);
  return origin + turned * DrawnScale;
}

void DrawBots() {
  for (int i = 0; i < BotCount; ++i) {
    const Bot& bot = gGame.bots[i];
    // Bots have no gravity and glide along their links; the drawn character alone is set
    // down on the floor below (its position, hit box and movement are left as they are).
    const float onFloor = BotDrawnFloorOffset(i);
    // Seen in or through a fog volume: the whole figure fades to the fog's colour.
    FigureFog fog;
    fog.Begin(gGame.level, gGame.camera.Position(), bot.position);
    // Standing where the eye's cluster sees nothing, the figure sends no triangles.
    CharacterModel& character = gGame.characters[i];
    const Vec3 origin(bot.position.x, bot.position.y - DrawnDrop + onFloor, bot.position.z);
    const float reach = character.Reach() * DrawnScale + 1;
    const float mins[3] = {origin.x - reach, origin.y - reach, origin.z - reach};
    const float maxs[3] = {origin.x + reach, origin.y + reach, origin.z + reach};
    character.hiddenByLevel = character.Reach() >= 0 && !gGame.level.BoxSeenFrom(gGame.camera.Position(), mins, maxs);
    glPushMatrix();
    glTranslatef(origin.x, origin.y, origin.z);
    glScalef(DrawnScale, DrawnScale, DrawnScale);
    glRotatef(bot.heading, 0, 1, 0);
    // Lit by the level's light grid where it has one (the current colour, white or night
    // vision's green, times the light around the bot); evenly lit elsewhere.
    float colour[4] = {1, 1, 1, 1}, light[3];
    const bool lit = FigureLight(gGame.level, bot.position, light);
    if (lit) {
      glGetFloatv(GL_CURRENT_COLOR, colour);
      glColor4f(colour[0] * light[0], colour[1] * light[1], colour[2] * light[2], colour[3]);
    }
    character.DrawCharacter();
    character.hiddenByLevel = false;
    if (lit) glColor4fv(colour);
    glPopMatrix();
    fog.End();
  }
}

namespace {

PanelLine Line(int x, int y, const char* format, ...) __attribute__((format(printf, 3, 4)));
PanelLine Line(int x, int y, const char* format, ...) {
  char text[256];  // what PrintText can show
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return PanelLine{x, y, text};
}

}  // namespace

std::vector<PanelLine> BotInfoPanelLines() {
  const Bot& bot = gGame.bots[0];  // the panel shows bot 0 only
  const Camera& camera = gGame.camera;
  return {
      Line(0, 25, "Bot X: %f Y: %f Z: %f L_WP: %d T_WP: %d T_M: %d", bot.position.x,
           bot.position.y, bot.position.z, bot.lastWaypoint, bot.targetWaypoint,
           bot.goalWaypoint),
      Line(0, 200, "Bot Dir X: %f Y: %f Z: %f GoWin %f typ %d", bot.facing.x, bot.facing.y,
           bot.facing.z, bot.desiredHeading, bot.steerMode),
      Line(0, 225, "Bot Human X: %f Y: %f Z: %f  WP %d", bot.lastSeenPlayerPosition.x,
           bot.lastSeenPlayerPosition.y, bot.lastSeenPlayerPosition.z,
           bot.lastSeenPlayerWaypoint),
      Line(0, 250, "Bot ReqPos X: %f Y: %f Z: %f fog %f", bot.aimPoint.x, bot.aimPoint.y,
           bot.aimPoint.z, gGame.fogDensity),
      Line(450, 50, "%s", BotStateName(bot.state)),
      Line(0, 50, bot.seesPlayer ? "Bot see you | Winkel %f" : "Bot don't see you | Winkel %f",
           bot.heading),
      Line(0, 75, "Your Pos X: %f Y: %f Z: %f WP: %d object_max %d", camera.position.x,
           camera.position.y, camera.position.z, gGame.playerWaypoint, gGame.nextShotSlot),
      Line(0, 100, "Your Dir X: %f Y: %f Z: %f Winkel: %f", camera.view.x, camera.view.y,
           camera.view.z, HeadingFromDirection(camera.view.x, camera.view.z)),
  };
}

void DrawBotInfoPanel() {
  glDisable(GL_TEXTURE_2D);
  glColor3f(1, 1, 1);
  for (const PanelLine& line : BotInfoPanelLines()) PrintText(line.x, line.y, "%s", line.text.c_str());
  glEnable(GL_TEXTURE_2D);
}
