// The process-wide game state: switches, values and the objects that live for the whole run.
// One instance, gGame. The window procedure and the frame never run at the same time, so
// nothing here is locked.
#pragma once
#include <cstdint>
#include <memory>

#include "core/bot_record.h"
#include "core/camera.h"
#include "core/character.h"
#include "core/frustum.h"
#include "core/hud_tile_masks.h"
#include "core/level.h"
#include "core/mover_records.h"
#include "core/particles.h"
#include "core/shot.h"
#include "core/texture_records.h"
#include "core/vec3.h"
#include "core/waypoint_graph_record.h"

// The multitexture entry points looked up at start-up (null until then).
typedef void (*ActiveTextureProc)(unsigned int texture);
typedef void (*MultiTexCoord2fProc)(unsigned int texture, float s, float t);
struct MultitextureProcs {
  ActiveTextureProc activeTexture = nullptr;        // glActiveTextureARB
  ActiveTextureProc clientActiveTexture = nullptr;  // glClientActiveTextureARB
  MultiTexCoord2fProc multiTexCoord2f = nullptr;    // glMultiTexCoord2fARB
};

struct ClientRect {
  int left = 0, top = 0, right = 0, bottom = 0;
};

constexpr int WeaponRifle = 11;
constexpr int WeaponLauncher = 13;
constexpr int PlayerOwner = 9123;

struct GameState {
  // Objects
  Camera camera;
  Level level;
  LevelMovers movers;               // the level's moving entities and triggers (movers/)
  BodyFlight playerFlight;          // the player thrown by a jump pad
  BodyFlight botFlights[BotCount];
  Frustum frustum;
  CharacterModel characters[2];     // 0 "fidget" (bot 0), 1 "jack" (bot 1)
  std::unique_ptr<ParticleSystem> particles;  // none until start-up
  Bot bots[BotCount];
  WaypointGraph waypoints;
  RouteTable routes;
  Vec3 trackedPlayerPosition;       // the position last given to UpdatePlayerWaypoint
  int playerWaypoint = 0;           // the waypoint nearest to it
  Shot shots[ShotSlots];

  // Window and GL
  ClientRect clientRect;            // client rectangle, read at start-up and on resize
  uint32_t fontListBase = 0;        // first of 256 display lists
  MultitextureProcs multitexture;
  Texture hudTextures[6] = {};
  HudTiles hudTiles;                // where each overlay picture changes the screen
  Texture effectTextures[6] = {};

  // Switches and values (keys toggle the bools)
  bool fullScreen = true;           // asked at start
  bool defaultLevel = true;         // false when start-up loaded a level other than our own
  bool gravityOn = true;
  bool collisionOn = true;
  bool hudOn = true;
  int currentWeapon = WeaponRifle;  // 11 rifle, 13 grenade launcher
  bool botsRun = true;
  bool fogOn = true;
  float fogDensity = 0.002f;
  // The projection's far plane, level units: 4000 on our level; other levels reach across
  // their whole box (set at start-up once the level is loaded).
  float viewFar = 4000.0f;
  bool filledPolygons = true;
  bool lightmapsOn = true;
  bool texturesOn = true;           // no key changes it
  float lightmapBrightness = 10.0f; // Config.ini token 4
  bool slowMotion = false;
  bool infoTextOn = false;
  bool waypointGraphOn = false;
  bool additiveBlendOn = false;
  bool invertMouse = false;
  bool nightVision = false;
  bool fogBeforeNightVision = false;
  bool lightmapsBeforeNightVision = false;
  bool jumping = false;
  float jumpOffset = 0;
  bool screenshotRequested = false; // Print Screen: the next frame is saved before it shows
  Vec3 playerBoxExtents{17, 50, 17};
  uint32_t lastTickTime = 0;        // ms of the last game tick
  // The clock of moving surfaces (shader stages), seconds: it follows the game clock and runs
  // at a twentieth of its speed in slow motion.
  double surfaceSeconds = 0;
  uint32_t surfaceClockTicks = 0;   // ms of the game clock when it last moved
  bool surfaceClockStarted = false;
  uint32_t gameTicks = 0;           // game ticks run since start (85 a second of game time)
  Vec3 shotOrigin;                  // where the player's shots start, set each frame
  Vec3 aimDirection;                // unit looking direction, set each frame
  int nextShotSlot = 0;             // the ring slot the next shot takes
  int slowTrailCounter = 0;         // slow motion: frames between trail particles
  int slowShotCounter = 0;          // slow motion: skipped bot shot opportunities
};

extern GameState gGame;

// Frame-rate counter: the interval between frames for all time-scaled movement
// (UpdateFrameRate, player/frame_counter.h, measures it).
struct FrameCounter {
  float frameInterval = 0;          // seconds between the last two runs
  uint32_t lastTime = 0;            // ms of the previous run (integer: exact for long runs)
  float framesThisSecond = 0;
  uint32_t lastSecond = 0;          // ms of the last title update
  int lastFrameCount = 0;           // frames counted in the last whole second
  char title[64] = "";
};
extern FrameCounter gFrameCounter;

// Resets the game state, the frame counter, the mouse state and the random sequence to
// their defaults (tests).
void ResetGameState();
