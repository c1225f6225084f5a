// Search path set-up for a run of the game (see data_setup.h).
#include "app/data_setup.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "app/config.h"
#include "platform/files.h"

namespace fs = std::filesystem;

namespace {

bool HasExtension(const std::string& path, const char* extension) {
  return files::NormalName(fs::path(path).extension().string()) == extension;
}

bool IsFile(const std::string& path) {
  std::error_code failure;
  return fs::is_regular_file(path, failure);
}

// A .pk3 named on the command line: mounted above everything, and its level is the one
// played (the first in name order when it holds several).
bool UseArchiveLevel(const std::string& archive, std::string* levelName, std::string* error) {
  if (!files::MountArchive(archive, error)) return false;
  std::vector<std::string> levels;
  for (const std::string& name : files::List("maps", ".bsp"))
    if (files::Source(name) == archive) levels.push_back(name);
  if (levels.empty()) {
    *error = archive + " holds no level (maps/*.bsp)";
    return false;
  }
  if (levels.size() > 1) {
    std::printf("%s holds %zu levels; playing %s. The others:", archive.c_str(), levels.size(), levels[0].c_str());
    for (size_t i = 1; i < levels.size(); ++i) std::printf(" %s", levels[i].c_str());
    std::printf(" (play one with --data on the archive's folder and --level NAME)\n");
  }
  *levelName = levels[0];
  return true;
}

// The folders of a data tree that hold what a level uses: pictures, shader scripts, sky boxes,
// models and sounds.
const char* const LevelDataFolders[] = {"textures", "scripts", "env", "gfx", "models", "sound", "sprites", "maps"};
// The folders of our own data besides those: the characters and their weapon.
const char* const OwnDataFolders[] = {"fidget", "jack", "weapons"};

// Mounts the level data folders of a tree and the archives at its top, and nothing else of
// it: the tree may be a home folder that happens to hold maps/ and scripts/.
void MountLevelTree(const fs::path& tree) {
  std::error_code failure;
  for (const auto& entry : fs::directory_iterator(tree, failure)) {
    const std::string name = files::NormalName(entry.path().filename().string());
    if (!entry.is_directory(failure)) continue;
    for (const char* wanted : LevelDataFolders) {
      if (name != wanted) continue;
      std::string reason;
      if (!files::MountDirectoryAs(entry.path().string(), name, &reason))
        std::fprintf(stderr, "Data folder skipped: %s\n", reason.c_str());
    }
  }
  files::MountArchivesIn(tree.string());
}

// A .bsp named by its path. When it sits in a maps/ folder of a data tree (one with
// textures/ or scripts/ beside maps/), that tree's level data is mounted too, so its pictures
// are found.
void UseLevelFile(const std::string& path, std::string* levelName) {
  const fs::path file = fs::absolute(path);
  const fs::path folder = file.parent_path();
  if (files::NormalName(folder.filename().string()) == "maps") {
    const fs::path tree = folder.parent_path();
    std::error_code failure;
    if (fs::is_directory(tree / "textures", failure) || fs::is_directory(tree / "scripts", failure))
      MountLevelTree(tree);
  }
  *levelName = "maps/" + file.filename().string();
  files::AddLooseFile(*levelName, file.string());
}

// What --level names: a .pk3 or .bsp file by its path, else a level name, maps/NAME.bsp in the
// search path ("NAME.bsp" and "maps/NAME" work too).
bool ChooseLevel(const std::string& level, std::string* levelName, std::string* error) {
  if (HasExtension(level, ".pk3") && IsFile(level)) return UseArchiveLevel(level, levelName, error);
  if (HasExtension(level, ".bsp") && IsFile(level)) {
    UseLevelFile(level, levelName);
    return true;
  }
  std::string name = files::NormalName(level);
  if (name.rfind("maps/", 0) != 0) name = "maps/" + name;
  if (!HasExtension(name, ".bsp")) name += ".bsp";
  if (!files::Exists(name)) {
    *error = "no level " + level + ": neither a .bsp or .pk3 file nor " + name + " in the game data";
    return false;
  }
  *levelName = name;
  return true;
}

}  // namespace

std::string InstalledDataDirectory() {
  char exe[4096];
  const ssize_t length = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (length <= 0) return std::string();
  exe[length] = '\0';
  const fs::path folder = fs::path(exe).parent_path();
  std::error_code failure;
  const fs::path installed = folder / ".." / "share" / "korvalis";
  if (fs::is_directory(installed, failure)) return fs::canonical(installed, failure).string();
  if (fs::is_regular_file(folder / "Config.ini", failure)) return folder.string();
  return std::string();
}

bool SetUpGameData(CommandLine* options, const std::string& installed, std::string* error) {
  std::error_code failure;
  const fs::path working = fs::current_path(failure);
  // A working directory that holds Config.ini is the game's data folder, as it always was
  // (build/game/, or a copy of the data): it stands in for the installed data, so what it
  // leaves out stays missing. Otherwise the installed data is the base.
  // Of a working directory, only the game's own files and folders are read: it may hold
  // anything else besides.
  if (!failure && IsFile(ConfigFileName)) {
    std::vector<std::string> folders(std::begin(LevelDataFolders), std::end(LevelDataFolders));
    folders.insert(folders.end(), std::begin(OwnDataFolders), std::end(OwnDataFolders));
    if (!files::MountGameDirectory(working.string(), folders, error)) return false;
  } else if (!installed.empty() && !files::MountDirectory(installed, error)) {
    return false;
  }
  for (const std::string& dir : options->dataDirs) {
    if (!files::MountDirectory(dir, error)) {
      *error = "--data " + *error;
      return false;
    }
  }
  if (options->level.empty()) return true;
  return ChooseLevel(options->level, &options->levelName, error);
}

std::string ConfigLevelName(const std::string& configured) {
  if (configured.empty() || files::Exists(configured)) return configured;
  std::string name, error;
  return ChooseLevel(configured, &name, &error) ? name : configured;
}
