// The waypoint graph the bots walk, its all-pairs next-hop table, the nearest-waypoint
// questions the bots ask, and the diagnostic drawing of the graph.
#pragma once
#include <vector>

#include "core/vec3.h"

constexpr int MaxWaypoints = 99;          // capacity of the built-in graph
constexpr int MaxGeneratedWaypoints = 1024;  // capacity of a graph built for a level
constexpr int NoRoute = -2;              // a nextHop entry no search has written
constexpr float FarAway = 99999.0f;      // stands for an infinite distance

// A square table of ints read as table[row][column], sized to the graph. Iterating it gives
// its rows, each a range of ints.
class SquareTable {
 public:
  explicit SquareTable(int size = MaxWaypoints) : size_(size), cells_(size * size, 0) {}
  int size() const { return size_; }
  int* operator[](int row) { return cells_.data() + row * size_; }
  const int* operator[](int row) const { return cells_.data() + row * size_; }

  struct Row {
    int* first;
    int* last;
    int* begin() const { return first; }
    int* end() const { return last; }
  };
  struct RowIterator {
    Row row;
    int size;
    Row& operator*() { return row; }
    RowIterator& operator++() {
      row.first += size;
      row.last += size;
      return *this;
    }
    bool operator!=(const RowIterator& other) const { return row.first != other.row.first; }
  };
  RowIterator begin() { return RowIterator{Row{cells_.data(), cells_.data() + size_}, size_}; }
  RowIterator end() {
    int* last = cells_.data() + cells_.size();
    return RowIterator{Row{last, last}, size_};
  }

 private:
  int size_;
  std::vector<int> cells_;
};

struct WaypointGraph {
  // Room for `capacity` waypoints: 99 for the built-in table, as many as a generated graph
  // holds otherwise.
  explicit WaypointGraph(int capacity = MaxWaypoints)
      : x(capacity, 0.0f), y(capacity, 0.0f), z(capacity, 0.0f), links(capacity) {}
  std::vector<float> x;          // world x
  std::vector<float> y;          // world y (height)
  std::vector<float> z;          // world z
  int count = 0;                 // waypoints 0 .. count-1 are in use
  SquareTable links;             // [a][b] 1 = walkable straight line; anything else not
  // Built for the loaded level rather than read from the built-in table: its route table
  // comes from one search per waypoint instead of one per pair.
  bool generated = false;
  int capacity() const { return static_cast<int>(x.size()); }
};

struct RouteTable {
  explicit RouteTable(int capacity = MaxWaypoints) : nextHop(capacity) {}
  SquareTable nextHop;           // [from][to]; -2 = no route
};

// Fills the graph from the built-in table (heights raised by 4) and builds the route table.
void LoadBuiltInWaypoints();
// The position of waypoint w of the game's graph.
Vec3 WaypointPosition(int w);

// Travel cost: per axis the difference truncated toward zero, made positive, summed.
float WaypointCost(Vec3 a, Vec3 b);
// One shortest-path search from s to t; writes the next hop toward t for every waypoint of
// the path found. A target no path reaches leaves its entries untouched.
void FindRoute(int source, int target);
// Every pair below count: -2, the diagonal itself, then FindRoute in row-major order. A
// generated graph instead gets one shortest-path search from every waypoint (the tree of
// cheapest paths into it gives every other waypoint its next hop), and a table of its size.
void BuildRouteTable();
// Whether the route table leads from a to b.
bool HasRoute(int a, int b);

// The waypoint with the lowest cost to p; ties go to the lower index; 0 when none is near.
int NearestWaypoint(Vec3 p);
// Records the player's position and nearest waypoint (every frame); returns that waypoint.
int UpdatePlayerWaypoint(Vec3 position);
// The cheapest waypoint with a clear (10, 10, 10) box trace to the bot; 0 when none is.
int NearestVisibleWaypoint(int botIndex);

// Diagnostic view: a pyramid per waypoint and a white line per link.
void DrawWaypointGraph();
