// Placeholder entry until the shell lands.
#include "app/game.h"

int GameMain() { return 1; }
