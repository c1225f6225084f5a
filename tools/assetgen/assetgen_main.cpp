// korvalis_assetgen OUTPUT_DIR: writes every generated picture, sound and music file of
// the game into OUTPUT_DIR (sounds and music into OUTPUT_DIR/sound). Deterministic.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "tools/assetgen/effect_pictures.h"
#include "tools/assetgen/hud_pictures.h"
#include "tools/assetgen/icon.h"
#include "tools/assetgen/sounds.h"

static bool MakeDir(const std::string& path) {
  if (mkdir(path.c_str(), 0755) == 0 || errno == EEXIST) return true;
  std::perror(path.c_str());
  return false;
}

int main(int argc, char** argv) {
  // The desktop icon is not game data: it is made on its own for the install.
  if (argc == 3 && std::string(argv[1]) == "--icon") return WriteIcon(argv[2], 64) ? 0 : 1;
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_DIR | --icon FILE.png\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  if (!MakeDir(dir) || !MakeDir(dir + "/sound")) return 1;
  bool ok = WriteHudPictures(dir);
  ok = WriteEffectPictures(dir) && ok;
  ok = WriteSoundEffects(dir + "/sound") && ok;
  ok = WriteMoverSounds(dir + "/sound") && ok;
  ok = WriteMusic(dir + "/sound") && ok;
  return ok ? 0 : 1;
}
