// Commands the player gives the bots from the keyboard.
#pragma once

// Insert: flips between running and walking bots.
void SetBotsRun();
// Delete: sends both bots to the player's nearest waypoint.
void SendBotsToPlayer();
