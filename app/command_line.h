// The command line: which level, which extra data folders, and the window question's answer.
//   korvalis [--level NAME|FILE] [--data DIR]... [--windowed | --fullscreen] [--help] [--version]
// Without options the game runs as it always has: Config.ini's level, the question box.
#pragma once
#include <string>
#include <vector>

enum class WindowChoice { Ask, Windowed, FullScreen };

struct CommandLine {
  std::string level;                  // --level: a level name (maps/NAME.bsp) or a .bsp/.pk3 path
  std::vector<std::string> dataDirs;  // --data, in the order given (later ones override)
  WindowChoice window = WindowChoice::Ask;
  std::string levelName;              // the data name --level resolved to (set by SetUpGameData)
  bool help = false;
  bool version = false;
};

// The options of this run (empty until GameMain parses them; tests leave it so).
extern CommandLine gCommandLine;

// False with the reason for an unknown option, a missing value, or both window options.
bool ParseCommandLine(int argc, const char* const* argv, CommandLine* out, std::string* error);
const char* UsageText();
const char* VersionText();

// Exit status for a command line the game cannot run with.
constexpr int UsageExit = 2;
