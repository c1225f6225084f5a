// korvalis_chargen OUTPUT_DIR: writes the two characters ("fidget", "jack") and the
// weapon ("weapons/grenadel") into the game data dir. Deterministic: the same bytes on
// every run.
#include <cstdio>
#include <string>

#include "tools/chargen/bake.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  bool ok = WriteFigure(dir, MakeFidget());
  ok = WriteFigure(dir, MakeJack()) && ok;
  ok = WriteWeapon(dir) && ok;
  return ok ? 0 : 1;
}
