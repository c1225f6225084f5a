// The game executable: everything lives in the library.
#include "app/game.h"

int main(int argc, char** argv) { return GameMain(argc, argv); }
