// Game start-up: runs once after the window exists and before the frame loop. The order is
// fixed: the GL context first, the HUD pictures before Config.ini, the level before the
// camera and the GL state the frame relies on. A failing step shows its numbered message
// and posts a quit request, so the loop ends before the first frame.
#include <GL/gl.h>

#include <algorithm>
#include <cstdio>

#include "app/command_line.h"
#include "app/config.h"
#include "app/data_setup.h"
#include "app/game.h"
#include "bots/bot.h"
#include "bots/level_bots.h"
#include "bots/waypoint_data.h"
#include "combat/billboard.h"
#include "combat/emitter.h"
#include "core/game_state.h"
#include "level/entities.h"
#include "movers/level_bodies.h"
#include "platform/platform.h"
#include "render/text.h"
#include "render/texture.h"

namespace {

// hudTextures slots 0..5: colour and mask layers of the rifle, the launcher, night vision.
constexpr const char* HudFiles[6] = {"hud-famas1.bmp",    "hud-famas2.bmp",
                                     "hud-launcher1.bmp", "hud-launcher2.bmp",
                                     "hud-nightvision2.bmp", "hud-nightvision1.bmp"};
// How far past the level's diagonal the far plane lies, level units: the eye may stand a
// little outside the box (noclip), and the sky faces lie on its edge.
constexpr float FarPlaneMargin = 512.0f;
// effectTextures slots 0..5 (there is no picture 6).
constexpr const char* EffectFiles[6] = {"P1.bmp", "P2.bmp", "P3.bmp", "P4.bmp", "P5.bmp", "P7.bmp"};

// Looks up the multitexture entry points. The extension decides: the platform's lookup
// returns an address even for names the driver does not have.
bool LookUpMultitexture() {
  platform::Backend& p = platform::Current();
  gGame.multitexture = MultitextureProcs();
  if (!p.ExtensionSupported("GL_ARB_multitexture")) return false;
  gGame.multitexture.activeTexture =
      reinterpret_cast<ActiveTextureProc>(p.GetProcAddress("glActiveTextureARB"));
  gGame.multitexture.clientActiveTexture =
      reinterpret_cast<ActiveTextureProc>(p.GetProcAddress("glClientActiveTextureARB"));
  gGame.multitexture.multiTexCoord2f =
      reinterpret_cast<MultiTexCoord2fProc>(p.GetProcAddress("glMultiTexCoord2fARB"));
  return gGame.multitexture.activeTexture && gGame.multitexture.clientActiveTexture;
}

// The player's place on a level other than our own (see FindLevelStart).
void PlaceCameraAtLevelStart() {
  LevelStart start;
  if (!FindLevelStart(gGame.level, gGame.playerBoxExtents, &start)) {
    std::printf("The level has no player start and no floor; starting at its origin\n");
    start.view = Vec3(1, 0, 0);
  } else if (!start.fromPlayerStart) {
    std::printf("The level has no player start; starting at the centre of leaf %d (%.0f %.0f %.0f)\n",
                start.leaf, start.eye.x, start.eye.y, start.eye.z);
  }
  const Vec3 e = start.eye, v = start.view;
  gGame.camera.PositionCamera(e.x, e.y, e.z, v.x, v.y, v.z, 0, 1, 0);
}

void FailStartup(const char* message) {
  if (message) platform::ShowError(message);
  platform::PostQuit(StartupFailureExit);
}

}  // namespace

bool InitializeGame() {
  platform::Backend& p = platform::Current();
  gGame.lastTickTime = platform::Ticks();
  gGame.nextShotSlot = 0;

  int width = 0, height = 0;
  p.GetClientSize(&width, &height);
  gGame.clientRect = ClientRect{0, 0, width, height};
  // Everything below needs the context: without it start-up stops here.
  if (!InitializeGL(width, height)) return false;

  // A HUD picture that cannot be decoded ends the game (its decoder said why), before
  // Config.ini is read.
  for (int slot = 0; slot < 6; ++slot) {
    if (!CreateHudTexture(gGame.hudTextures, HudFiles[slot], slot)) {
      FailStartup(nullptr);
      return false;
    }
  }

  p.ShowCursor(false);

  GameConfig config;
  if (!ReadConfigFile(ConfigFileName, &config)) {
    FailStartup("18 Could not find Config.ini file!");
    return false;
  }
  // Config.ini may name its level by any path, as --level does.
  config.levelPath = gCommandLine.levelName.empty() ? ConfigLevelName(config.levelPath) : gCommandLine.levelName;
  gGame.lightmapBrightness = config.lightmapBrightness;

  // Loading goes on without multitexturing so every later message still shows.
  bool ok = true;
  if (!LookUpMultitexture()) {
    FailStartup("19 Your video card doesn't support multitexturing");
    ok = false;
  }

  // The loader shows its own numbered message (13), and tells our own level by its content.
  std::printf("Level: %s\n", config.levelPath.c_str());
  std::fflush(stdout);
  if (!gGame.level.LoadBSP(config.levelPath.c_str(), DefaultLevelChecksum)) {
    FailStartup(nullptr);
    return false;
  }
  SetUpLevelMovers();
  if (!gGame.defaultLevel) {
    // Other levels bring their own look: our black distance fog starts off (F brings it), and
    // the far plane reaches across the whole level so every part in view is drawn.
    gGame.fogOn = false;
    gGame.viewFar = std::max(gGame.viewFar, gGame.level.BoundsDiagonal() + FarPlaneMargin);
    ResizeView(gGame.clientRect.right - gGame.clientRect.left, gGame.clientRect.bottom - gGame.clientRect.top);
  }

  // The characters; the loaders show their own numbered messages. Both hold the same weapon,
  // read once.
  const char* characterNames[2] = {"fidget", "jack"};
  for (int i = 0; i < 2; ++i) {
    CharacterModel& character = gGame.characters[i];
    if (!character.LoadCharacter(characterNames[i], characterNames[i]) ||
        (!(i > 0 && character.ShareWeapon(gGame.characters[0])) &&
         !character.LoadCharacterWeapon("weapons", "grenadel"))) {
      FailStartup(nullptr);
      return false;
    }
  }

  if (gGame.defaultLevel)
    gGame.camera.PositionCamera(587, 347, -404, 0, 480, 0, 0, 1, 0);
  else
    PlaceCameraAtLevelStart();

  for (CharacterModel& character : gGame.characters) {
    character.SetTorsoAnimation("TORSO_STAND");
    character.SetLegsAnimation("LEGS_WALK");
  }

  glEnable(GL_DEPTH_TEST);
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_CULL_FACE);
  glCullFace(GL_FRONT);

  gGame.fontListBase = CreateBitmapFont("Arial", 25);

  LoadWaypointsForLevel(gGame.defaultLevel);
  InitBot(0);
  InitBot(1);
  if (!gGame.defaultLevel) {
    std::vector<Vec3> starts;
    for (const PlayerStart& start : FindPlayerStarts(gGame.level.entityText)) starts.push_back(start.origin);
    PlaceBotsAtStarts(starts, gGame.camera.position);
  }

  // Explosion and spark pictures; a picture that fails to load leaves its slot 0.
  for (int slot = 0; slot < 6; ++slot) {
    if (!CreateLinearTexture(gGame.effectTextures[slot], EffectFiles[slot]))
      gGame.effectTextures[slot] = 0;
  }
  MeasureEffectPictures();  // their squares are drawn only as far as they are lit

  if (!gGame.fogOn) glDisable(GL_FOG);

  gGame.particles = CreateGameParticleSystem();
  return ok;
}
