// The level source: the parsed form of a ".map" text (materials, convex brushes, lights,
// ambient light, visibility zones). The text format is described in content/README.md.
// Coordinates are the game's world units with y up; the compiler converts them to the
// z-up file coordinates when it writes the level.
#pragma once
#include <string>
#include <utility>
#include <vector>

struct DVec {
  double x = 0, y = 0, z = 0;
  DVec() = default;
  DVec(double x_, double y_, double z_) : x(x_), y(y_), z(z_) {}
  double operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }
  double& operator[](int i) { return i == 0 ? x : (i == 1 ? y : z); }
};
inline DVec operator+(DVec a, DVec b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline DVec operator-(DVec a, DVec b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline DVec operator*(DVec a, double s) { return {a.x * s, a.y * s, a.z * s}; }
inline double Dot(DVec a, DVec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline DVec Cross(DVec a, DVec b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// A plane n . p = d; for a brush side n points out of the brush.
struct MapPlane {
  DVec normal;
  double distance = 0;
};

struct MapMaterial {
  std::string name;         // what the map calls it
  std::string texture;      // path without extension, relative to the game directory
  double worldSize = 128;   // level units covered by one repeat of the image
  bool trigger = false;     // the built-in "trigger": a volume with no faces that blocks nothing
};

struct MapSide {
  MapPlane plane;
  int material = 0;         // index into MapSource::materials
};

struct MapBrush {
  std::vector<MapSide> sides;
  int material = 0;         // the brush's own material (its texture record for collision)
  bool solid = true;        // false: drawn, but never blocks a move nor hides other faces
  int line = 0;             // source line, for messages
};

struct MapLight {
  DVec position;
  DVec color{1, 1, 1};      // 0..1 per channel
  double intensity = 300;   // reach in level units; also the brightness scale
};

struct MapZone {
  std::string name;
  DVec mins, maxs;          // a box of open space; each zone becomes one visibility cluster
};

// A curved surface: a grid of control points, row by row, made of biquadratic Bezier pieces
// of 3 x 3 points sharing their edges (width and height odd, at least 3). Its front is the
// side that (along a row) x (down the columns) points to.
struct MapPatch {
  int material = 0;
  int width = 0, height = 0;
  std::vector<DVec> points;
  bool solid = true;        // false: drawn, but never blocks a move
  int line = 0;             // source line, for messages
};

// An entity block: its keys in written order ("origin" in world coordinates, y up) and its
// brushes. With brushes it becomes brush model N of the level (its text gets "model" "*N").
struct MapEntity {
  std::vector<std::pair<std::string, std::string>> keys;
  std::vector<MapBrush> brushes;
  bool hasOrigin = false;   // an "origin" key: the model is stored around it
  DVec origin;
  int line = 0;
};

struct MapSource {
  std::vector<MapMaterial> materials;
  std::vector<MapBrush> brushes;
  std::vector<MapPatch> patches;
  std::vector<MapLight> lights;
  std::vector<MapZone> zones;
  DVec ambient{0.1, 0.1, 0.1};
  std::vector<std::string> entityLines;  // "entity" lines, copied into the entity text
  std::vector<MapEntity> entities;       // "entity_begin" ... "entity_end" blocks
};

// Parses the text. On failure returns false with "line N: reason" in *error.
bool ParseMapSource(const std::string& text, MapSource* map, std::string* error);
