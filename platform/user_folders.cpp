// The user's folders (see user_folders.h). user-dirs.dirs holds shell assignments written by
// xdg-user-dirs-update, one a line: XDG_PICTURES_DIR="$HOME/Pictures"; a path there is either
// absolute or starts with $HOME/.
#include "platform/user_folders.h"

#include <cstdlib>
#include <fstream>

namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// The pictures folder named in user-dirs.dirs, empty when the file does not name one.
std::string PicturesFromUserDirs(const std::string& home) {
  std::string config = Environment("XDG_CONFIG_HOME");
  if (config.empty() || config[0] != '/') config = home + "/.config";
  std::ifstream in(config + "/user-dirs.dirs");
  const std::string key = "XDG_PICTURES_DIR=\"";
  for (std::string line; std::getline(in, line);) {
    if (line.compare(0, key.size(), key) != 0) continue;
    const size_t end = line.find('"', key.size());
    if (end == std::string::npos) return "";
    std::string path = line.substr(key.size(), end - key.size());
    if (path.compare(0, 5, "$HOME") == 0) path = home + path.substr(5);
    // "$HOME/" alone means the home folder itself: the desktop has no pictures folder.
    if (path.empty() || path[0] != '/' || path == home || path == home + "/") return "";
    return path;
  }
  return "";
}

}  // namespace

std::string PicturesFolder() {
  const std::string fromEnvironment = Environment("XDG_PICTURES_DIR");
  if (!fromEnvironment.empty()) return fromEnvironment;
  const std::string home = Environment("HOME");
  if (home.empty()) return "";
  const std::string fromUserDirs = PicturesFromUserDirs(home);
  return fromUserDirs.empty() ? home + "/Pictures" : fromUserDirs;
}
