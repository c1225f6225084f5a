// The waypoint graph on compiled levels with movers and triggers: a jump pad up to a ledge, a
// teleporter into a closed room (and one out), a lift between two floors, doors on the way.
// On each the graph joins the floors into one part (or keeps the way shut where it must) and a
// bot sent from one end reaches the other by the game's own steps: its movement, the triggers
// and the movers, tick by tick.
#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <string>

#include "bots/bot.h"
#include "bots/graph_builder.h"
#include "bots/mover_links.h"
#include "bots/waypoints.h"
#include "core/game_state.h"
#include "movers/level_bodies.h"
#include "movers/movers.h"
#include "support/bot_errand.h"
#include "support/compiled_level.h"
#include "support/fake_platform.h"

namespace {

// A hall (x 0..1024, z 0..1024, floor 0, roof 600) and whatever the case adds.
const char* HallSource =
    "material m textures/korvalis/concrete 128\n"
    "material pad textures/korvalis/hazard 64\n"
    "box m -16 -16 -16  1040 0 1040\n"
    "box m -16 600 -16  1040 616 1040\n"
    "box m -16 0 -16  0 600 1040\n"
    "box m 1024 0 -16  1040 600 1040\n"
    "box m -16 0 -16  1040 600 0\n"
    "box m -16 0 1024  1040 600 1040\n"
    "light 512 500 512 1 1 1 1500\n";

// A ledge 200 high along the east wall that no stair climbs; a jump pad in the hall throws
// onto it (its path peaks 120 above the ledge at x 860).
const char* JumpPadSource =
    "box m 700 0 0  1024 200 1024\n"
    "box pad 300 0 460  380 4 540\n"
    "entity_begin\n key classname trigger_push\n key target top\n box trigger 300 4 460  380 64 540\nentity_end\n"
    "entity_begin\n key classname target_position\n key targetname top\n key origin 860 320 500\nentity_end\n";

// A closed room (x 1200..1500, z 100..500) east of the hall: a teleporter in the hall leads in,
// one in the room leads back.
const char* TeleporterSource =
    "box m 1184 -16 84  1516 0 516\n"
    "box m 1184 300 84  1516 316 516\n"
    "box m 1184 0 84  1200 300 516\n"
    "box m 1500 0 84  1516 300 516\n"
    "box m 1184 0 84  1516 300 100\n"
    "box m 1184 0 500  1516 300 516\n"
    "light 1350 250 300 1 1 1 800\n"
    "box pad 600 0 460  664 4 524\n"
    "entity_begin\n key classname trigger_teleport\n key target in\n box trigger 600 4 460  664 84 524\nentity_end\n"
    "entity_begin\n key classname misc_teleporter_dest\n key targetname in\n key origin 1260 24 300\n"
    " key angle 0\nentity_end\n"
    "box pad 1420 0 268  1484 4 332\n"
    "entity_begin\n key classname trigger_teleport\n key target out\n box trigger 1420 4 268  1484 84 332\nentity_end\n"
    "entity_begin\n key classname misc_teleporter_dest\n key targetname out\n key origin 150 24 150\n"
    " key angle 0\nentity_end\n";

// A balcony 256 high in the north-west corner (x 0..300, z 700..1024) and a lift beside it
// that rests 240 lower (its top at 16) and rises to the balcony's height.
const char* LiftSource =
    "box m 0 0 700  300 256 1024\n"
    "entity_begin\n key classname func_plat\n key height 240\n box m 300 240 800  428 256 928\nentity_end\n";

// A wall across the hall at x 500 with a doorway (z 448..576, 128 high) closed by a door that
// slides up; `%s` adds the door's keys.
std::string DoorSource(const std::string& keys) {
  return "box m 500 0 0  516 600 448\n"
         "box m 500 0 576  516 600 1024\n"
         "box m 500 128 448  516 600 576\n"
         "entity_begin\n key classname func_door\n key angle -1\n" +
         keys + " box m 502 0 448  514 128 576\nentity_end\n";
}

bool LoadLevel(const std::string& extra) {
  std::string error;
  if (!CompileAndLoad(std::string(HallSource) + extra, QuickCompileOptions(), &gGame.level, &error)) {
    ADD_FAILURE() << error;
    return false;
  }
  return true;
}

class MoverLinks : public ::testing::Test {
 protected:
  void SetUp() override { ResetGameState(); }
  void TearDown() override { ResetGameState(); }

  // Compiles the hall with `extra`, sets up its movers and builds its graph and routes.
  void Build(const std::string& extra) {
    ASSERT_TRUE(LoadLevel(extra));
    SetUpLevelMovers();
    std::string error;
    WaypointGraph graph;
    ASSERT_TRUE(BuildLevelWaypointGraph(gGame.level, GraphBuildSettings(), &graph, &report, &error, &gGame.movers))
        << error;
    gGame.waypoints = std::move(graph);
    BuildRouteTable();
    for (Bot& bot : gGame.bots) {
      bot.walkSpeed = 1;
      bot.runSpeed = 4;
      bot.position = bot.previousPosition = Vec3(-5000, 45, -5000);
    }
  }

  int At(Vec3 p) { return NearestWaypoint(p); }
  const WaypointGraph& Graph() { return gGame.waypoints; }

  // The special links of a kind.
  int Count(LinkKind kind) {
    int n = 0;
    for (const SpecialLink& l : Graph().special) n += l.kind == kind;
    return n;
  }

  // Bot 0 at waypoint `from` with goal `to`, run by the game's tick (its movement step, the
  // triggers, the movers) until its last waypoint is the goal: the ticks it took, -1 past the
  // limit.
  int Run(int from, int to, int limit = 85 * 60) {
    Bot& bot = gGame.bots[0];
    SendBot(bot, WaypointPosition(from), from, to);
    bot.previousPosition = bot.position;
    bot.falling = false;
    gGame.botFlights[0] = BodyFlight();
    for (int tick = 0; tick < limit; ++tick) {
      MoveBot(0);
      BotsInTriggers(1.0f / 85);
      RunLevelMovers(1.0f / 85, false);
      EXPECT_FALSE(gGame.level.Trace(bot.position, bot.position, BodyExtents).allSolid) << "tick " << tick;
      if (bot.lastWaypoint == to) return tick;
    }
    return -1;
  }

  GraphBuildReport report;
  FakePlatform fake;
};

TEST_F(MoverLinks, JumpPadsAndTeleportersLinkOneWayAndBotsTakeThem) {
  struct Case {
    const char* name;
    const char* source;
    LinkKind kind;
    Vec3 from, to;              // near the waypoints the bot goes between
    bool (*far)(Vec3);          // the waypoints only the link reaches
  } cases[] = {
      {"jump pad", JumpPadSource, LinkKind::JumpPad, Vec3(100, 45, 100), Vec3(950, 245, 900),
       [](Vec3 p) { return p.y > 200; }},
      {"teleporter", TeleporterSource, LinkKind::Teleporter, Vec3(100, 45, 900), Vec3(1450, 45, 450),
       [](Vec3 p) { return p.x > 1200; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetGameState();
    Build(c.source);
    const WaypointGraph& g = Graph();
    ASSERT_GT(Count(c.kind), 0);
    int far = 0;
    for (int a = 0; a < g.count; ++a) far += c.far(WaypointPosition(a));
    ASSERT_GE(far, 2);
    // Between the floors only by the links, each one way (the room's teleporter leads back
    // out by a link of its own; off the ledge is a drop).
    for (const SpecialLink& l : g.special) {
      EXPECT_EQ(l.kind, c.kind);
      EXPECT_NE(c.far(WaypointPosition(l.from)), c.far(WaypointPosition(l.to)));
      EXPECT_NE(g.links[l.to][l.from], 1);
    }
    for (int a = 0; a < g.count; ++a)
      for (int b = 0; b < g.count; ++b) {
        if (g.links[a][b] == 1 && !c.far(WaypointPosition(a)) && c.far(WaypointPosition(b))) {
          EXPECT_NE(SpecialLinkOf(g, a, b), nullptr) << a << " -> " << b << " is walked";
        }
      }
    // No waypoint where a body would be thrown or sent away.
    for (const Trigger& t : gGame.movers.triggers)
      for (int a = 0; a < g.count; ++a) {
        const Vec3 p = WaypointPosition(a);
        EXPECT_FALSE(p.x + 17 > t.mins.x && p.x - 17 < t.maxs.x && p.z + 17 > t.mins.z && p.z - 17 < t.maxs.z &&
                     p.y + 45 > t.mins.y && p.y - 45 < t.maxs.y)
            << "waypoint " << a << " in a trigger";
      }
    EXPECT_GE(report.largest * 10, report.waypoints * 9) << report.largest << " of " << report.waypoints;
    const int from = At(c.from), to = At(c.to);
    ASSERT_TRUE(HasRoute(from, to));
    EXPECT_GE(Run(from, to), 0) << "from " << from << " to " << to;
    EXPECT_TRUE(c.far(gGame.bots[0].position));
  }
}

TEST_F(MoverLinks, ALiftJoinsTwoFloorsBothWays) {
  Build(LiftSource);
  const WaypointGraph& g = Graph();
  auto onBalcony = [](Vec3 p) { return p.y > 200; };
  ASSERT_GT(Count(LinkKind::LiftUp), 0);
  // No waypoint on the lift or anywhere on its way up and down.
  for (int a = 0; a < g.count; ++a) {
    const Vec3 p = WaypointPosition(a);
    EXPECT_FALSE(p.x + 17 > 300 && p.x - 17 < 428 && p.z + 17 > 800 && p.z - 17 < 928) << "waypoint " << a;
  }
  for (int a = 0; a < g.count; ++a)
    for (int b = 0; b < g.count; ++b)
      if (g.links[a][b] == 1 && !onBalcony(WaypointPosition(a)) && onBalcony(WaypointPosition(b))) {
        const SpecialLink* l = SpecialLinkOf(g, a, b);
        ASSERT_NE(l, nullptr) << a << " -> " << b << " climbs without the lift";
        EXPECT_EQ(l->kind, LinkKind::LiftUp);
      }
  EXPECT_EQ(report.components, 1);

  // Up: the bot waits at the foot while the lift is away, rides it, steps off at the top;
  // and down again.
  Mover& lift = gGame.movers.movers[0];
  const int floor = At(Vec3(800, 45, 200)), balcony = At(Vec3(100, 301, 950));
  ASSERT_TRUE(onBalcony(WaypointPosition(balcony)));
  lift.activated = true;  // somebody else took it up
  RunLevelMovers(0.05f, false);
  ASSERT_NE(lift.phase, MoverPhase::AtRest);
  EXPECT_GE(Run(floor, balcony), 0);
  EXPECT_TRUE(onBalcony(gGame.bots[0].position));
  EXPECT_GE(Run(balcony, floor), 0);
  EXPECT_FALSE(onBalcony(gGame.bots[0].position));
}

TEST_F(MoverLinks, ADoorThatOpensAsABotComesIsWalkedThroughOthersAreNot) {
  struct Case {
    const char* keys;
    bool through;
  } cases[] = {
      {"", true},                                     // opens when touched
      {" key health 10\n", false},                    // only when shot
      {" key targetname shut\n", false},              // only by a button or trigger
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keys);
    ResetGameState();
    Build(DoorSource(c.keys));
    const int west = At(Vec3(100, 45, 500)), east = At(Vec3(900, 45, 500));
    EXPECT_EQ(HasRoute(west, east), c.through);
    EXPECT_EQ(HasRoute(east, west), c.through);
    EXPECT_EQ(report.components, c.through ? 1 : 2);
    // No waypoint in the doorway, where the door comes down.
    for (int a = 0; a < Graph().count; ++a) EXPECT_GT(std::fabs(WaypointPosition(a).x - 508), 17 + 6) << a;
    if (c.through) {
      // Waypoints squarely in front of and behind the door (49 out from its faces), and every
      // link through it 33 or more from the doorway's sides from a body's width before the wall
      // to a body's width after it.
      for (const float x : {502 - 49.0f, 514 + 49.0f})
        EXPECT_LT(Magnitude(WaypointPosition(At(Vec3(x, 45, 512))) - Vec3(x, 45, 512)), 1) << x;
      int crossings = 0;
      for (int a = 0; a < Graph().count; ++a)
        for (int b = 0; b < Graph().count; ++b) {
          const Vec3 p = WaypointPosition(a), q = WaypointPosition(b);
          if (Graph().links[a][b] != 1 || (p.x < 508) == (q.x < 508)) continue;
          ++crossings;
          for (const float x : {500 - 17.0f, 516 + 17.0f}) {
            const float z = p.z + (q.z - p.z) * std::clamp((x - p.x) / (q.x - p.x), 0.0f, 1.0f);
            EXPECT_TRUE(z >= 448 + 33 && z <= 576 - 33) << a << " -> " << b << " at x " << x << ": z " << z;
          }
        }
      EXPECT_GE(crossings, 2);
      EXPECT_GE(Run(west, east), 0);
      EXPECT_GT(gGame.bots[0].position.x, 516);
      EXPECT_GE(Run(east, west), 0);
      EXPECT_LT(gGame.bots[0].position.x, 500);
    }
  }
}

}  // namespace

