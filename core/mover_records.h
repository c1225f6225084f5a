// The level's moving entities and trigger volumes (movers/ runs them): doors, buttons, lifts,
// bobbing and turning parts, trains along their corners, and the volumes that throw, teleport
// or fire. Made from the entity text when a level is loaded; held by the game state.
// Coordinates are the game's (y up), level units; times in seconds of game time (slow motion
// slows it as it slows the bots).
#pragma once
#include <string>
#include <vector>

#include "core/vec3.h"

enum class MoverKind { Door, Button, Plat, Bobbing, Rotating, Train, Static };

// Where a two-place mover (door, button, lift) is: at its rest place (`closed`), on its way
// out, at its far place waiting, or on its way back.
enum class MoverPhase { AtRest, Going, AtFar, Returning };

struct Mover {
  MoverKind kind = MoverKind::Static;
  std::string classname;
  int model = 0;                // brush model it moves
  std::string targetname;       // what buttons and triggers name it by
  std::string target;           // what it fires (buttons) or its first corner (trains)
  bool still = false;           // bad keys: it stays where it was built
  // Two-place movers: the offsets of the rest and far places, and the way there.
  Vec3 restOffset, farOffset;
  float speed = 0;              // units per second (doors, buttons, lifts, trains); degrees per
                                // second (turning parts); seconds per cycle (bobbing parts)
  float wait = 0;               // seconds at the far place; -1: stays there
  int health = 0;               // > 0: opens when shot
  bool openedByTouch = false;   // a door without a name or health opens when a body comes near
  MoverPhase phase = MoverPhase::AtRest;
  float travelled = 0;          // units from where the current way began
  float waitLeft = 0;           // seconds before returning from the far place
  // Bobbing and turning parts, trains: their own clock, which stops while they are blocked.
  float clock = 0;
  Vec3 bobAxis;                 // unit direction of a bobbing part; its reach is `height`
  float height = 0;
  float cyclePhase = 0;         // bobbing: the part of a cycle at clock 0
  int turnAxis = 1;             // turning parts: game axis 0, 1 or 2
  Vec3 pivot;                   // turning parts: the point of the stored model they turn about
  float turnSign = 1;
  // Trains: the offsets that put the model at each corner, in order, looping when the chain
  // does; `leg` is the corner it is going from.
  std::vector<Vec3> corners;
  bool loops = false;
  int leg = 0;
  // Where it is now (also written into the level's model placement).
  Vec3 offset;
  float degrees = 0;
  bool activated = false;       // touched, shot or fired since the last step
};

enum class TriggerKind { Push, Teleport, Multiple };

struct Trigger {
  TriggerKind kind = TriggerKind::Multiple;
  int model = 0;
  Vec3 mins, maxs;              // the volume
  std::string target;
  // Push: the throw that makes a body's path peak at the target point (ThrowGravity).
  Vec3 throwVelocity;
  Vec3 destination;             // push: the target point; teleport: the destination point
  float destinationYaw = 0;     // teleport: degrees, counter-clockwise from +x in the file's frame
  float wait = 0.5f;            // multiple: seconds before it fires again
  float readyAt = 0;            // clock time it may fire again
  bool still = false;           // bad keys: does nothing
};

// A body in flight after a jump pad's throw: rising under ThrowGravity, then falling.
struct BodyFlight {
  bool active = false;
  Vec3 velocity;                // units per second
};

struct LevelMovers {
  std::vector<Mover> movers;
  std::vector<Trigger> triggers;
  float clock = 0;              // game seconds since the level was loaded
  std::vector<std::string> sounds;  // sounds due to play ("sound/....wav"), taken by the frame
};
