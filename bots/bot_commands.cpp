// The player's commands to the bots. The bots themselves are not in the game yet, so only
// the switch is kept.
#include "bots/bot_commands.h"

#include "app/game_state.h"

void SetBotsRun() { gGame.botsRun = !gGame.botsRun; }

void SendBotsToPlayer() {}
