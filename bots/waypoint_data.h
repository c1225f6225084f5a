// The built-in waypoint table of the shipped level: 30 positions (heights as stored, before
// the graph loader raises them by 4.0) and the 36 undirected links between them.
#pragma once
#include <cstdint>

// The CRC-32 of the level file the waypoints were placed in (maps/korvalis.bsp as our tools
// compile content/korvalis.map): any other file, whatever its name, gets a graph of its own.
constexpr uint32_t DefaultLevelChecksum = 0x7e81ca14u;

constexpr int BuiltInWaypointCount = 30;
constexpr int BuiltInLinkCount = 36;
constexpr float BuiltInWaypointRaise = 4.0f;  // added to every height after filling

extern const float BuiltInWaypoints[BuiltInWaypointCount][3];  // world x, y (up), z
extern const int BuiltInLinks[BuiltInLinkCount][2];            // each walkable both ways
