// The game data of a run: where the installed data is, the search path built from it and the
// command line, and the level the command line chose.
#pragma once
#include <string>

#include "app/command_line.h"

// The game's own data: <folder of the executable>/../share/korvalis when it exists (an
// install, wherever it was moved), else the executable's own folder when it holds
// Config.ini (the build tree's build/game/); empty when neither.
std::string InstalledDataDirectory();

// Mounts, from lowest to highest priority: the base data, each --data folder, then what
// --level names (a .bsp file, with the data tree it sits in, or a .pk3 archive). The base is
// the working directory when it holds Config.ini (the game's folder, as it always was),
// else installedDir (none when empty). Sets options->levelName when --level was given.
// False with the reason when a --data folder or the --level level cannot be found.
bool SetUpGameData(CommandLine* options, const std::string& installedDir, std::string* error);

// The level Config.ini names, as the data name to load: the name itself when the search path
// has it; else what --level makes of it (a .bsp or .pk3 by its path, mounted as --level
// mounts it, or maps/NAME.bsp); else unchanged, and the loader says it cannot be found.
std::string ConfigLevelName(const std::string& configured);
