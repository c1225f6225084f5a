// The pieces of the frame sequence that are worth driving on their own: the game-tick gate
// and the shot aim.
#pragma once
#include <cstdint>

// Game ticks run at most 85 times per second: 1000 / 85 = 11.7647 ms apart.
constexpr float TickIntervalMs = 1000.0f / 85.0f;
// How often the heap's free pages go back to the system, in milliseconds.
constexpr uint32_t MemoryReturnIntervalMs = 1000;

// True when a game tick is due at `nowMs` (the platform's millisecond clock); the gate then
// restarts from `nowMs`. At most one tick per call and no catch-up: with frames of 5 ms a tick
// runs on every third frame, with frames of 30 ms on every frame.
bool GameTickDue(uint32_t nowMs);
// Slow motion runs the surfaces' clock this many times slower.
constexpr double SlowMotionFactor = 20.0;
// Moves the surfaces' clock (gGame.surfaceSeconds) on to `nowMs`, slower in slow motion.
void AdvanceSurfaceClock(uint32_t nowMs);
// One game tick: bots think and move, shots fly.
void RunGameTick();
// Sets gGame.shotOrigin and gGame.aimDirection from the camera (where the next shot leaves).
void UpdateAim();
