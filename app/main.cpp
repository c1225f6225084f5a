// The game executable: everything lives in the library.
#include "app/game.h"

int main() { return GameMain(); }
