// The one game state and frame counter of the process, and their reset for tests.
#include "core/game_state.h"

#include "core/random.h"

GameState gGame;
FrameCounter gFrameCounter;
MouseLookState mouseLook;

void ResetGameState() {
  gGame = GameState();
  gFrameCounter = FrameCounter();
  mouseLook = MouseLookState();
  ResetRandom();
}
