// Where a bot's figure stands on the floor and the box shots test against it (the bots'
// drawing and the shots ask the same questions of the level).
#pragma once
#include "core/vec3.h"

// How far the drawn character is moved up (positive) or down so that its soles rest on the
// floor found by a short trace below the bot; 0 when no floor is near.
float BotDrawnFloorOffset(int index);
// The box shots test against bot `index`: the figure as drawn, from its soles (set down on
// the floor as DrawBots does) to the top of its head, 17 to either side on x and z.
void BotHitBox(int index, Vec3* mins, Vec3* maxs);
