// The waypoint graph the bots walk and its all-pairs next-hop table, as the game state
// holds them. Building, routing and the nearest-waypoint questions are bots/waypoints.h.
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

// A link bots take by more than walking: a jump pad's throw, a teleporter, a lift up or down
// its shaft. The graph's links table holds it as any other link; this says how to take it.
enum class LinkKind { JumpPad, Teleporter, LiftUp, LiftDown };
struct SpecialLink {
  int from = 0, to = 0;     // waypoints
  LinkKind kind = LinkKind::JumpPad;
  int mover = -1;           // lifts: the index of the lift in the level's movers
  Vec3 entry;               // where the bot walks to take it: the volume's middle, the lift's floor
  Vec3 exit;                // where it comes out: the throw's landing, the destination, the lift's top
  float cost = 0;           // the route search's cost of the link
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
  SquareTable links;             // [a][b] 1 = a bot goes from a to b (walking, or down a
                                 // ledge); anything else not. The built-in links go both ways.
  // Built for the loaded level rather than read from the built-in table: its route table
  // comes from one search per waypoint instead of one per pair.
  bool generated = false;
  std::vector<SpecialLink> special;  // the links that are taken by more than walking
  int capacity() const { return static_cast<int>(x.size()); }
};

struct RouteTable {
  explicit RouteTable(int capacity = MaxWaypoints) : nextHop(capacity) {}
  SquareTable nextHop;           // [from][to]; -2 = no route
  // A generated graph's parts (waypoints that can all reach one another): each waypoint's
  // part and each part's size. Empty for the built-in graph, which is one part.
  std::vector<int> part;
  std::vector<int> partSize;
  int largestPartWaypoint = -1;  // a waypoint of the largest part; -1 for the built-in graph
};
