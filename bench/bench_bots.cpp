// Bot timings with the default game data on an offscreen context: BuildRouteTable as start-up
// runs it, and one game tick of both bots (decisions, line of sight, movement and unsticking
// traces) against an empty frame (clear and swap), measured in the same run so the ratios
// hold on a noisy machine.
#include <GL/gl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "app/game.h"
#include "bench/bench_gl.h"
#include "bots/bot.h"
#include "bots/waypoints.h"
#include "combat/shots.h"
#include "core/game_state.h"
#include "platform/platform.h"

namespace {

using Clock = std::chrono::steady_clock;

// Sorted microseconds of `runs` timed calls after `warmup` untimed ones.
std::vector<double> TimesUs(int warmup, int runs, const std::function<void()>& body) {
  for (int i = 0; i < warmup; ++i) body();
  std::vector<double> times;
  times.reserve(runs);
  for (int i = 0; i < runs; ++i) {
    auto start = Clock::now();
    body();
    times.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times;
}
double Median(const std::vector<double>& t) { return t[t.size() / 2]; }
double Percentile(const std::vector<double>& t, double p) { return t[static_cast<size_t>(p * (t.size() - 1))]; }

void NoShot(Vec3, Vec3, int, int) {}

}  // namespace

int main() {
  if (!StartBenchGame("bench_bots")) return 1;

  const std::vector<double> empty = TimesUs(20, 200, [] {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    platform::Current().SwapBuffers();
    glFinish();
  });
  const std::vector<double> routes = TimesUs(3, 31, [] { BuildRouteTable(); });

  // Ticks of a running game, every timed call the next tick of the same run: first with the
  // player out of sight in the start hall (the bots roam the routes), then with the player
  // in the great hall, where the bots come, attack and hunt.
  gBotShot = NoShot;
  auto gameTick = [] {
    UpdateBot(0);
    UpdateBot(1);
    MoveBot(0);
    MoveBot(1);
  };
  UpdatePlayerWaypoint(Vec3(587, 268, -404));
  const std::vector<double> roam = TimesUs(100, 20000, gameTick);
  UpdatePlayerWaypoint(Vec3(1700, 491, -1500));
  const std::vector<double> tick = TimesUs(100, 20000, gameTick);
  gBotShot = FireShot;

  std::printf("bots on the default level (%d waypoints):\n", gGame.waypoints.count);
  std::printf("  empty frame (clear + swap), median of 200   %9.2f us\n", Median(empty));
  std::printf("  BuildRouteTable, median of 31               %9.2f us  = %.2fx empty frame\n", Median(routes),
              Median(routes) / Median(empty));
  auto report = [&empty](const char* what, const std::vector<double>& t) {
    std::printf("  game tick of both bots, %-14s median %6.2f us = %.4fx empty frame; 99%% %.2f us\n", what,
                Median(t), Median(t) / Median(empty), Percentile(t, 0.99));
  };
  report("roaming,", roam);
  report("player in view,", tick);
  platform::Current().DestroyWindow();
  return 0;
}
