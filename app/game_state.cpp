#include "app/game_state.h"

GameState gGame;
FrameCounter gFrameCounter;

void ResetGameState() {
  gGame = GameState();
  gFrameCounter = FrameCounter();
  mouseLook = MouseLookState();
}
