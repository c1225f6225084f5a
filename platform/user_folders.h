// The user's own folders, as the desktop names them.
#pragma once
#include <string>

// The pictures folder: $XDG_PICTURES_DIR, else XDG_PICTURES_DIR in the desktop's user-dirs.dirs
// (in $XDG_CONFIG_HOME, else ~/.config), else ~/Pictures. Empty when none can be named (no
// home folder).
std::string PicturesFolder();
