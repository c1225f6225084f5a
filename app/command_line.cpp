// Command line parsing (see command_line.h).
#include "app/command_line.h"

#include <cstring>

#ifndef KORVALIS_VERSION
#define KORVALIS_VERSION "0"
#endif

CommandLine gCommandLine;

const char* UsageText() {
  return "Usage: korvalis [--level NAME|FILE] [--data DIR]... [--windowed | --fullscreen]\n"
         "                [--help] [--version]\n"
         "\n"
         "  --level NAME|FILE  play the level maps/NAME.bsp of the game data, or a level file\n"
         "                     (.bsp), or the level in an archive (.pk3)\n"
         "  --data DIR         add a folder of game data and the .pk3 archives in it; later\n"
         "                     folders override earlier ones (may be given several times)\n"
         "  --windowed         play in a 1024x768 window without asking\n"
         "  --fullscreen       play full screen without asking\n"
         "  --help             show this text\n"
         "  --version          show the version\n";
}

const char* VersionText() { return "korvalis " KORVALIS_VERSION "\n"; }

bool ParseCommandLine(int argc, const char* const* argv, CommandLine* out, std::string* error) {
  *out = CommandLine();
  bool windowGiven = false;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    // Both "--level NAME" and "--level=NAME".
    std::string name = arg, value;
    bool hasValue = false;
    const char* equals = std::strchr(arg, '=');
    if (std::strncmp(arg, "--", 2) == 0 && equals) {
      name.assign(arg, equals - arg);
      value = equals + 1;
      hasValue = true;
    }
    const bool takesValue = name == "--level" || name == "--data";
    if (takesValue && !hasValue) {
      if (i + 1 >= argc) {
        *error = name + " needs a value";
        return false;
      }
      value = argv[++i];
    }
    if (takesValue && value.empty()) {
      *error = name + " needs a value";
      return false;
    }
    if (!takesValue && hasValue) {
      *error = name + " takes no value";
      return false;
    }
    if (name == "--level") {
      out->level = value;
    } else if (name == "--data") {
      out->dataDirs.push_back(value);
    } else if (name == "--windowed" || name == "--fullscreen") {
      const WindowChoice choice = name == "--windowed" ? WindowChoice::Windowed : WindowChoice::FullScreen;
      if (windowGiven && choice != out->window) {
        *error = "--windowed and --fullscreen exclude each other";
        return false;
      }
      windowGiven = true;
      out->window = choice;
    } else if (name == "--help" || name == "-h") {
      out->help = true;
    } else if (name == "--version") {
      out->version = true;
    } else {
      *error = std::string("unknown option ") + arg;
      return false;
    }
  }
  return true;
}
