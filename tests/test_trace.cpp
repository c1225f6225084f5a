// The collision tracer on small built levels: exact stopping points, misses, moves that
// start inside brushes, non-solid contents, sliding, the tree walk against testing every
// brush, boxes on the curved surfaces of the room of every face type, and curved surfaces
// found through the tree on a level full of them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <string>

#include "core/game_state.h"
#include "core/level.h"
#include "level/trace.h"
#include "support/arena_level.h"
#include "support/face_types_level.h"
#include "support/level_builder.h"

namespace {


void ExpectVec(Vec3 actual, Vec3 expected, float tolerance = 1e-4f) {
  EXPECT_NEAR(actual.x, expected.x, tolerance);
  EXPECT_NEAR(actual.y, expected.y, tolerance);
  EXPECT_NEAR(actual.z, expected.z, tolerance);
}

}  // namespace

TEST(Trace, RayAndBoxStopJustBeforeTheFace) {
  LevelBuilder builder;
  builder.AddWorldBox(Vec3(-100, -100, 50), Vec3(100, 100, 150));
  Level level = LoadedLevel(builder);

  TraceResult ray = level.Trace(Vec3(0, 0, 0), Vec3(0, 0, 100), Vec3(0, 0, 0));
  EXPECT_FLOAT_EQ(ray.fraction, 0.4996875f);
  EXPECT_FLOAT_EQ(ray.end.z, 49.96875f);
  EXPECT_EQ(ray.normal, Vec3(0, 0, -1));
  EXPECT_EQ(ray.start, Vec3(0, 0, 0));
  EXPECT_FALSE(ray.allSolid);

  TraceResult box = level.Trace(Vec3(0, 0, 0), Vec3(0, 0, 100), Vec3(0, 0, 10));
  EXPECT_FLOAT_EQ(box.fraction, 0.3996875f);
  EXPECT_FLOAT_EQ(box.end.z, 39.96875f);
  EXPECT_EQ(box.extents, Vec3(0, 0, 10));
  EXPECT_EQ(box.normal, Vec3(0, 0, -1));

  // A box whose side overlaps the brush only sideways is stopped; one that passes beside it
  // (its face 0.5 units clear) is not.
  EXPECT_LT(level.Trace(Vec3(110, 0, 0), Vec3(110, 0, 100), Vec3(17, 50, 17)).fraction, 1.0f);
  EXPECT_EQ(level.Trace(Vec3(117.5f, 0, 0), Vec3(117.5f, 0, 100), Vec3(17, 50, 17)).fraction, 1.0f);

  // Starting within TraceEpsilon of the face and moving in: the contact lies just before the
  // start and is reported as 0, with the start as the end point.
  TraceResult touching = level.Trace(Vec3(0, 0, 49.99f), Vec3(0, 0, 60), Vec3(0, 0, 0));
  EXPECT_EQ(touching.fraction, 0.0f);
  ExpectVec(touching.end, Vec3(0, 0, 49.99f));
  // Moving away from the face is never stopped.
  EXPECT_EQ(level.Trace(Vec3(0, 0, 49.99f), Vec3(0, 0, 0), Vec3(0, 0, 0)).fraction, 1.0f);
}

TEST(Trace, MissesZeroLengthMovesAndMovesFromInside) {
  LevelBuilder builder;
  builder.AddWorldBox(Vec3(-100, -100, 50), Vec3(100, 100, 150));
  Level level = LoadedLevel(builder);

  TraceResult miss = level.Trace(Vec3(0, 0, 0), Vec3(0, 0, -500), Vec3(17, 50, 17));
  EXPECT_EQ(miss.fraction, 1.0f);
  EXPECT_EQ(miss.end, Vec3(0, 0, -500));
  EXPECT_EQ(miss.normal, Vec3(0, 0, 0));
  EXPECT_FALSE(miss.allSolid);

  TraceResult stillOutside = level.Trace(Vec3(0, 0, 0), Vec3(0, 0, 0), Vec3(17, 50, 17));
  EXPECT_EQ(stillOutside.fraction, 1.0f);
  EXPECT_FALSE(stillOutside.allSolid);

  TraceResult stillInside = level.Trace(Vec3(0, 0, 100), Vec3(0, 0, 100), Vec3(0, 0, 0));
  EXPECT_EQ(stillInside.fraction, 1.0f);
  EXPECT_TRUE(stillInside.allSolid);
  EXPECT_EQ(stillInside.end, Vec3(0, 0, 100));

  TraceResult inside = level.Trace(Vec3(0, 0, 60), Vec3(0, 0, 140), Vec3(0, 0, 0));
  EXPECT_EQ(inside.fraction, 1.0f);
  EXPECT_TRUE(inside.allSolid);

  TraceResult leaving = level.Trace(Vec3(0, 0, 100), Vec3(0, 0, -100), Vec3(0, 0, 0));
  EXPECT_EQ(leaving.fraction, 1.0f);
  EXPECT_FALSE(leaving.allSolid);
  EXPECT_EQ(leaving.end, Vec3(0, 0, -100));

  // An empty level (nothing loaded) stops nothing.
  Level empty;
  EXPECT_EQ(empty.Trace(Vec3(0, 0, 0), Vec3(0, 0, 100), Vec3(1, 1, 1)).fraction, 1.0f);
}

TEST(Trace, OnlyBrushesWithSolidContentsStop) {
  LevelBuilder builder;
  const int water = builder.AddTexture("textures/test/water", WaterContents);
  const int clip = builder.AddTexture("textures/test/clip", 0x10000);  // bit 16 of the mask
  builder.AddWorldBox(Vec3(-100, -100, 50), Vec3(100, 100, 60), water);
  builder.AddWorldBox(Vec3(-100, -100, 200), Vec3(100, 100, 210), clip);
  Level level = LoadedLevel(builder);

  TraceResult r = level.Trace(Vec3(0, 0, 0), Vec3(0, 0, 300), Vec3(0, 0, 0));
  EXPECT_LT(r.fraction, 1.0f);
  EXPECT_NEAR(r.end.z, 200 - TraceEpsilon, 1e-3);
  // Starting in the water does not count as inside anything solid.
  TraceResult wet = level.Trace(Vec3(0, 0, 55), Vec3(0, 0, 55), Vec3(0, 0, 0));
  EXPECT_FALSE(wet.allSolid);
}

TEST(Trace, SlidingAlongAWall) {
  ResetGameState();
  LevelBuilder builder;
  builder.AddWorldBox(Vec3(100, -500, -500), Vec3(200, 500, 500));  // wall facing -x
  ASSERT_TRUE(builder.LoadInto(&gGame.level));
  Level& level = gGame.level;

  // Head-on: nothing is left to slide along, so the body stays at its start.
  const Vec3 start(0, 0, 0);
  EXPECT_EQ(MoveWithSlide(start, Vec3(200, 0, 0)), start);
  EXPECT_TRUE(TraceHits(start, Vec3(200, 0, 0), BodyExtents));
  EXPECT_FALSE(TraceHits(start, Vec3(-200, 0, 0), BodyExtents));
  // A free move is not changed.
  EXPECT_EQ(MoveWithSlide(start, Vec3(50, 0, 30)), Vec3(50, 0, 30));

  // At an angle the part along the wall survives, starting again from the start.
  const Vec3 end(200, 0, 100);
  TraceResult first = level.Trace(start, end, BodyExtents);
  ASSERT_LT(first.fraction, 1.0f);
  EXPECT_EQ(first.normal, Vec3(-1, 0, 0));
  TraceResult slide = level.TraceSlide(start, end, BodyExtents);
  EXPECT_EQ(slide.fraction, 1.0f);
  const float remain = 1.0f - first.fraction;
  ExpectVec(slide.end, Vec3(0, 0, 100 * remain));
  ExpectVec(MoveWithSlide(start, end), slide.end);
  gGame.level = Level();
}

// Corridor, staircase, a ramp and scattered boxes: the tree walk must find exactly what
// testing every brush finds, which checks both the tracer's splitting and the builder's tree.
TEST(Trace, TreeWalkAgreesWithTestingEveryBrush) {
  LevelBuilder builder;
  builder.AddWorldBox(Vec3(-1000, -20, -1000), Vec3(1000, 0, 1000));      // floor
  builder.AddWorldBox(Vec3(-1000, 0, -120), Vec3(1000, 200, -100));       // corridor walls
  builder.AddWorldBox(Vec3(-1000, 0, 100), Vec3(1000, 200, 120));
  for (int i = 0; i < 6; ++i) {                                          // stairs, 20 high
    builder.AddWorldBox(Vec3(200.0f + 40 * i, 0, -100), Vec3(1000, 20.0f * (i + 1), 100));
  }
  // A ramp rising towards +x from x = -600 to 200 units high at x = -200 (file coordinates:
  // z up): z <= (x + 600) / 2.
  builder.AddBrush({{{-0.4472136f, 0, 0.8944272f}, 268.32816f},
                    {{1, 0, 0}, -200},
                    {{0, 0, -1}, 0},
                    {{0, -1, 0}, 100},
                    {{0, 1, 0}, 100}});
  std::mt19937 random(7);
  std::uniform_real_distribution<float> coordinate(-900, 900), size(10, 120);
  for (int i = 0; i < 40; ++i) {
    const Vec3 p(coordinate(random), coordinate(random) * 0.2f + 200, coordinate(random));
    builder.AddWorldBox(p, p + Vec3(size(random), size(random), size(random)));
  }
  Level level = LoadedLevel(builder);
  Level brute = AllBrushesInOneLeaf(level);
  brute.skipDistantBrushes = false;  // every side of every brush, as the tree walk's check
  EXPECT_GT(level.leaves.size(), 20u);

  const Vec3 boxes[] = {Vec3(0, 0, 0), PlayerExtents, BodyExtents, Vec3(10, 10, 10)};
  int hits = 0, mismatches = 0;
  // The same move traced by the tree walk and by every brush; the first few that differ are named.
  auto compare = [&](const char* what, int i, Vec3 a, Vec3 b, Vec3 extents) {
    const TraceResult tree = level.Trace(a, b, extents);
    const TraceResult all = brute.Trace(a, b, extents);
    hits += tree.fraction < 1.0f;
    if (std::fabs(tree.fraction - all.fraction) > 1e-5f) {
      ++mismatches;
      if (mismatches < 5) {
        ADD_FAILURE() << what << " " << i << " tree " << tree.fraction << " all " << all.fraction;
      }
    }
  };
  for (int i = 0; i < 4000; ++i) {
    const Vec3 a(coordinate(random), coordinate(random) * 0.3f + 150, coordinate(random));
    const Vec3 b = a + Vec3(coordinate(random), coordinate(random) * 0.2f, coordinate(random)) * 0.5f;
    compare("trace", i, a, b, boxes[i % 4]);
  }
  // Moves on the grid of the brushes' faces: boxes resting on, or sliding along, faces and
  // splitting planes, where a brush listed on one side only would be missed.
  for (int i = 0; i < 4000; ++i) {
    const Vec3 extents = boxes[i % 4];
    auto grid = [&](float scale) { return std::round(coordinate(random) / scale) * 20.0f; };
    const float lift[] = {0.0f, 0.01f, TraceEpsilon, 0.05f};
    const Vec3 a(grid(20), std::fabs(grid(80)) + extents.y + lift[(i / 4) % 4], grid(20));
    const Vec3 b = a + Vec3(grid(40), i % 3 == 0 ? -grid(160) : 0.0f, grid(40));
    compare("grid trace", i, a, b, extents);
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_GT(hits, 2000);  // the comparison means something only if many traces hit
}

// The builder's faces: a floor face is listed in the leaf above it, and its vertices come
// back in world coordinates.
TEST(LevelBuilder, FacesAreListedInTheLeavesTheyTouch) {
  LevelBuilder builder;
  builder.AddWorldBox(Vec3(-200, -20, -200), Vec3(200, 0, 200));
  builder.AddWorldBox(Vec3(300, -20, -200), Vec3(500, 100, 200));
  const int lightmap = builder.AddLightmap(10, 20, 30);
  const int face = builder.AddWorldFace({Vec3(-200, 0, 200), Vec3(200, 0, 200), Vec3(200, 0, -200), Vec3(-200, 0, -200)},
                                        0, lightmap);
  Level level = LoadedLevel(builder);
  ASSERT_EQ(level.faces.size(), 1u);
  EXPECT_EQ(level.faces[0].type, FaceTypePolygon);
  EXPECT_EQ(level.NumLightmaps(), 1);
  ASSERT_EQ(level.vertices.size(), 4u);
  EXPECT_EQ(level.vertices[0].position[0], -200.0f);
  EXPECT_EQ(level.vertices[0].position[1], 0.0f);
  EXPECT_EQ(level.vertices[0].position[2], 200.0f);

  const BspLeaf& above = level.leaves[level.FindLeaf(Vec3(0, 1, 0))];
  bool listed = false;
  for (int i = 0; i < above.leafFaceCount; ++i) listed |= level.leafFaces[above.firstLeafFace + i] == face;
  EXPECT_TRUE(listed);
  const BspLeaf& far = level.leaves[level.FindLeaf(Vec3(400, 150, 0))];
  for (int i = 0; i < far.leafFaceCount; ++i) EXPECT_NE(level.leafFaces[far.firstLeafFace + i], face);
}

// A box dropped onto the room's bowl falls as the player falls (to the contact, then sliding
// along what it hit) and comes to rest standing on the curved floor, not through it; a box
// pushed along the bulging wall (stopped, then sliding, as the bots move) follows its curve
// without entering it; a ray from above meets the tessellated floor, not the brush beneath.
TEST(Trace, BoxesRestOnCurvedFloorsAndSlideAlongCurvedWalls) {
  Level level = LoadedLevel(FaceTypesRoom());
  const Vec3 box(17, 17, 17);
  const Vec3 fall(0, -20, 0);
  Vec3 p(-150, 100, 60), previous;
  for (int step = 0; step < 200; ++step) {
    previous = p;
    const TraceResult r = level.Trace(p, p + fall, box);
    p = r.end;
    if (r.fraction != 1.0f) {
      const Vec3 remain = fall * (1.0f - r.fraction);
      p = level.Trace(p, p + remain - r.normal * Dot(r.normal, remain), box).end;
    }
  }
  EXPECT_EQ(p, previous);  // at rest
  const TraceResult stand = level.Trace(p, p + Vec3(0, -4, 0), box);
  EXPECT_LT(stand.fraction, 0.05f);
  EXPECT_GT(stand.normal.y, 0.7f);
  const float surface = level.Trace(p, p + Vec3(0, -300, 0), Vec3()).end.y;  // under the middle
  EXPECT_GE(p.y - box.y, surface);
  EXPECT_LT(p.y - box.y, surface + 6.0f);
  EXPECT_LT(p.y - box.y, -0.5f);  // in the dip, below the floor's edge

  const TraceResult ray = level.Trace(Vec3(0, 100, 0), Vec3(0, -200, 0), Vec3());
  EXPECT_NEAR(ray.end.y, -31.35f, 0.5f);  // the bowl's lowest point, through a corner of its grid
  EXPECT_GT(ray.normal.y, 0.99f);

  // Toward +x and along +z, into the wall that bulges in to about x = 224 at its middle.
  Vec3 q(150, 128, -150);
  const TraceResult first = level.Trace(q, q + Vec3(200, 0, 40), box);
  EXPECT_LT(first.fraction, 1.0f);
  EXPECT_LT(first.normal.x, -0.5f);
  EXPECT_GT(std::fabs(first.normal.z), 0.05f);  // curved: not the flat wall's normal
  for (int step = 0; step < 60; ++step) {
    const Vec3 to = q + Vec3(12, 0, 8);
    const TraceResult r = level.Trace(q, to, box);
    q = r.fraction == 1.0f ? r.end : level.TraceSlide(q, to, box).end;
    // The wall's nearest point across the box's side, found by rays.
    float wall = 1e9f;
    for (float dz : {-box.z, 0.0f, box.z})
      wall = std::min(wall, level.Trace(Vec3(0, q.y, q.z + dz), Vec3(400, q.y, q.z + dz), Vec3()).end.x);
    EXPECT_LE(q.x + box.x, wall + 0.1f);  // never into the bulge
    if (step > 20) {
      EXPECT_GT(q.x + box.x, wall - 4.0f);  // but kept against it
    }
  }
  EXPECT_GT(q.z, 100.0f);  // slid along the wall
}

// A curved surface is thin, not flat: a shot or a box crossing it anywhere, straight on or at a
// grazing angle, through the middle of a triangle, along a shared edge or through a grid
// corner, is stopped on the side it came from; nothing slips through between its triangles.
TEST(Trace, CurvedSurfacesStopBoxesAndShotsEverywhere) {
  // A wall across x = 0 in the file (y-z plane), bulging toward +x by up to 24, 256 square.
  std::vector<BspVertex> controls;
  for (int row = 0; row < 3; ++row)
    for (int column = 0; column < 3; ++column) {
      BspVertex v{};
      v.position[0] = (row == 1 && column == 1) ? 48.0f : (row == 1 || column == 1) ? 24.0f : 0.0f;
      v.position[1] = -128.0f + 128.0f * column;
      v.position[2] = 128.0f * row;
      v.normal[0] = 1;
      controls.push_back(v);
    }
  LevelBuilder builder;
  builder.AddBox(Vec3(-512, -512, -64), Vec3(512, 512, -16));
  builder.AddRawFace(FaceTypePatch, controls, {}, 0, -1, 3, 3);
  Level level;
  std::string error;
  ASSERT_TRUE(builder.LoadInto(&level, &error)) << error;
  ASSERT_FALSE(level.collisionTriangles.empty());

  std::mt19937 random(7);
  std::uniform_real_distribution<float> across(-90, 90), height(40, 216), slant(-0.4f, 0.4f);
  int crossings = 0;
  for (int k = 0; k < 2000; ++k) {
    // In world coordinates the wall is the plane x = 0 bulging to +x; moves cross it from
    // x = -60 to x = 140 (past the bulge), some straight, some at a grazing slant, some
    // through the grid's vertices (every 16 units along the patch's cut lines).
    Vec3 hit(0, height(random), across(random));
    if (k % 4 == 1) hit = Vec3(0, std::round(hit.y / 16) * 16, std::round(hit.z / 16) * 16);
    const Vec3 slope = k % 4 == 2 ? Vec3(1, slant(random), slant(random)) : Vec3(1, 0, 0);
    const Vec3 start = hit - slope * 60.0f, end = hit + slope * 140.0f;
    for (Vec3 extents : {Vec3(), Vec3(4, 4, 4)}) {
      for (int backward = 0; backward < 2; ++backward) {
        const Vec3 from = backward ? end : start, to = backward ? start : end;
        const TraceResult r = level.Trace(from, to, extents);
        ++crossings;
        EXPECT_LT(r.fraction, 1.0f) << "through at " << from.x << " " << from.y << " " << from.z << " extents "
                                    << extents.x;
        if (r.fraction < 1.0f) {
          // Stopped on its own side: moving the rest of the way from there is stopped at once.
          const TraceResult again = level.Trace(r.end, to, extents);
          EXPECT_LT(again.fraction, 0.01f);
          EXPECT_FALSE(again.allSolid);
        }
      }
    }
  }
  EXPECT_EQ(crossings, 8000);
}

// The arena's few hundred curved surfaces are found through the tree: a move far from all
// of them looks at none, and every move stops exactly where trying every surface stops it.
TEST(Trace, CurvedSurfacesAreFoundThroughTheTree) {
  Level level = LoadedLevel(ArenaLevel());
  ASSERT_GT(level.collisionSurfaces.size(), 200u);
  Level every = level;
  every.surfacesThroughTree = false;

  const TraceResult high = level.Trace(Vec3(-40, 1000, -40), Vec3(60, 1000, 40), Vec3(10, 10, 10));
  EXPECT_EQ(high.fraction, 1.0f);
  EXPECT_EQ(level.surfacesLookedAtLastTrace, 0u);
  every.Trace(Vec3(-40, 1000, -40), Vec3(60, 1000, 40), Vec3(10, 10, 10));
  EXPECT_EQ(every.surfacesLookedAtLastTrace, every.collisionSurfaces.size());

  std::mt19937 random(31);
  std::uniform_real_distribution<float> across(-ArenaHalf, ArenaHalf), low(2, 300), step(-400, 400);
  const Vec3 boxes[] = {Vec3(0, 0, 0), PlayerExtents, BodyExtents, Vec3(10, 10, 10)};
  int curvedHits = 0, mismatches = 0;
  size_t lookedAt = 0;
  for (int i = 0; i < 3000; ++i) {
    Vec3 a(across(random), low(random), across(random));
    Vec3 b = a + Vec3(step(random), i % 3 == 0 ? -low(random) : 0.3f * step(random), step(random));
    if (i % 2 == 0) {  // through the middle of a curved surface's box
      const CollisionSurface& s = level.collisionSurfaces[random() % level.collisionSurfaces.size()];
      const Vec3 middle((s.mins[0] + s.maxs[0]) / 2, (s.mins[1] + s.maxs[1]) / 2, (s.mins[2] + s.maxs[2]) / 2);
      a = middle + Vec3(0.5f * step(random), low(random) / 2, 0.5f * step(random));
      b = middle + (middle - a) * 0.5f;
    }
    const Vec3 extents = boxes[i % 4];
    const TraceResult tree = level.Trace(a, b, extents);
    const TraceResult all = every.Trace(a, b, extents);
    lookedAt += level.surfacesLookedAtLastTrace;
    const Vec3 n = all.normal;
    curvedHits += all.fraction < 1.0f && std::fabs(n.x) != 1.0f && std::fabs(n.y) != 1.0f && std::fabs(n.z) != 1.0f;
    if (tree.fraction != all.fraction || !(tree.normal == all.normal) || !(tree.end == all.end) ||
        tree.allSolid != all.allSolid) {
      if (++mismatches < 5) ADD_FAILURE() << "trace " << i << " tree " << tree.fraction << " all " << all.fraction;
    }
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_GT(curvedHits, 800);  // the comparison means something only if many moves end on curves
  EXPECT_LT(lookedAt, 3000u * level.collisionSurfaces.size() / 20);
}
