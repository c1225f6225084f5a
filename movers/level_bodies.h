// The game's own bodies against the level's movers and triggers: the player's box (centred
// on the eye, carried with the camera) and the two bots'.
#pragma once
#include <cstdint>

// How fast a thrown body falls from the top of its path: the player's fall speed, units a second.
constexpr float FlightFallSpeed = 256.0f;

// Game seconds for `realSeconds` of play: slow motion slows the movers as it slows the bots.
float MoverSeconds(float realSeconds);
// Advances the movers, carrying and pushing the player (when `withPlayer`) and the bots.
void RunLevelMovers(float gameSeconds, bool withPlayer);
// The player's flight after a jump pad (true while it lasts: gravity waits), and the
// triggers the player is in now (thrown, teleported, firing).
bool StepPlayerFlight(float seconds);
// A thrown player follows the throw: the keys do not steer it (the frame's keyboard move is
// taken back, the look kept).
void HoldPlayerInFlight();
void PlayerInTriggers();
// One game tick of the bots: their flights and the triggers they are in.
void BotsInTriggers(float tickSeconds);
// Resets the movers and flights for the loaded level.
void SetUpLevelMovers();
// With KORVALIS_PLAYER_POSITIONS set in the environment: the player's eye ("player X Y Z")
// on stdout five times a second, for scripts that walk the player through a level.
void PrintPlayerPosition(uint32_t nowMs);
