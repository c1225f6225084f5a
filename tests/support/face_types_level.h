// A sealed test room built from every kind of level face: polygons whose index lists are the
// only right way to draw them (their stored vertex order folds as a fan), a triangle mesh,
// patches of 5 x 3 (a bowl for the floor), 3 x 9 (a wall bulging into the room) and 3 x 3
// (a cove between a wall and the ceiling, straight along one direction), faces lit by vertex
// colours (lightmap -1) beside lightmapped ones, and a billboard that is not geometry. Solid
// boxes behind the shell keep anything from leaving the room. Further cases (textures,
// shader scripts, sky) can be added to the builder it returns.
//
// World coordinates (y up): the room spans x and z from -256 to 256 and y from 0 to 256; the
// floor dips to about -32 in the middle and the +x wall bulges in to about x = 224.
#pragma once
#include <vector>

#include "support/level_builder.h"

constexpr float FaceRoomHalf = 256;    // the room's half width along x and z
constexpr float FaceRoomHeight = 256;  // floor edge to ceiling

// The control grid of the floor bowl (5 x 3), the bulging wall (3 x 9) and the cove (3 x 3),
// in world coordinates, row by row, as written into the level.
std::vector<Vec3> FloorBowlControls();
std::vector<Vec3> BulgingWallControls();
std::vector<Vec3> CoveControls();

// Indices of the faces in the built level.
struct FaceRoomFaces {
  int floorBowl, bulgingWall, cove;       // patches
  int westWall;                           // index-list polygon, stored order not a fan
  int northWall;                          // index-list polygon with vertex colours, lightmap -1
  int southWall;                          // lightmapped polygon
  int ceiling;                            // triangle mesh with vertex colours
  int billboard;
};

// The room; *faces receives the face indices when given.
LevelBuilder FaceTypesRoom(FaceRoomFaces* faces = nullptr);

// A vertex at the world point with the world normal (both converted to file coordinates),
// texture and lightmap coordinates and a colour.
BspVertex WorldVertex(Vec3 world, Vec3 worldNormal, float s, float t, uint8_t r = 255, uint8_t g = 255,
                      uint8_t b = 255);
