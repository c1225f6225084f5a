#include "app/game_state.h"

#include "core/random.h"

GameState gGame;
FrameCounter gFrameCounter;

void ResetGameState() {
  gGame = GameState();
  gFrameCounter = FrameCounter();
  mouseLook = MouseLookState();
  ResetRandom();
}
