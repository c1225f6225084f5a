// Placeholder until the bots land: only the run switch is kept.
#include "bots/bot.h"

#include "app/game_state.h"

void InitBot(int) {}
void UpdateBot(int) {}
void MoveBot(int) {}
void ApplyBotAnimations() {}
void DrawBots() {}
void DrawBotInfoPanel() {}
void SetBotsRun() { gGame.botsRun = !gGame.botsRun; }
void SendBotsToPlayer() {}
