// The game data search path (see files.h). PhysicsFS holds the mounts and reads the folders
// and zip archives; on top of it sits a lower-case index of every file name, because
// PhysicsFS compares names inside archives with their case and level files, skins and
// scripts name their files in whatever case their authors typed.
#include "platform/files.h"

#include <physfs.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace files {
namespace {

struct IndexEntry {
  std::string realName;  // the name as PhysicsFS knows it
  size_t priority = 0;   // position of its mount in mount order: higher overrides lower
};

struct SearchPath {
  bool initialised = false;
  std::vector<std::string> mounts;                       // mount order, lowest priority first
  std::map<std::string, std::string> looseFiles;        // NormalName -> OS path, above all mounts
  std::map<std::string, IndexEntry> index;              // NormalName -> file
  bool indexStale = true;
};

SearchPath gSearch;

const char* LastPhysfsError() { return PHYSFS_getErrorByCode(PHYSFS_getLastErrorCode()); }

bool EnsureInitialised(std::string* error) {
  if (gSearch.initialised) return true;
  if (!PHYSFS_init(nullptr)) {
    if (error) *error = std::string("the file system cannot start: ") + LastPhysfsError();
    return false;
  }
  // Archives are searched for by name only; symbolic links inside data folders are followed
  // as any program would.
  PHYSFS_permitSymbolicLinks(1);
  gSearch.initialised = true;
  return true;
}

// A name from an archive that must never be used: a parent step, an absolute path, a drive.
bool UnsafeName(const std::string& name) {
  if (name.empty() || name[0] == '/' || name[0] == '\\') return true;
  if (name.find(':') != std::string::npos) return true;
  const std::string normal = "/" + NormalName(name) + "/";
  return normal.find("/../") != std::string::npos;
}

size_t MountPriority(const char* realDir) {
  if (!realDir) return 0;
  for (size_t i = gSearch.mounts.size(); i-- > 0;)
    if (gSearch.mounts[i] == realDir) return i;
  return 0;
}

struct WalkState {
  std::string directory;
  std::vector<std::string> names;
};

PHYSFS_EnumerateCallbackResult CollectName(void* data, const char*, const char* name) {
  static_cast<WalkState*>(data)->names.push_back(name);
  return PHYSFS_ENUM_OK;
}

// Walks the merged tree once. Deep or cyclic trees (symbolic links) stop at 32 levels.
// A folder holding more files than any game's data stops being indexed at MaxIndexedFiles.
constexpr size_t MaxIndexedFiles = 1000000;

void IndexDirectory(const std::string& directory, int depth) {
  if (depth > 32 || gSearch.index.size() >= MaxIndexedFiles) return;
  WalkState walk;
  walk.directory = directory;
  if (!PHYSFS_enumerate(directory.c_str(), CollectName, &walk)) return;
  for (const std::string& name : walk.names) {
    const std::string path = directory.empty() ? name : directory + "/" + name;
    if (UnsafeName(path)) {
      std::fprintf(stderr, "Skipped a data file with an unsafe name: %s\n", path.c_str());
      continue;
    }
    PHYSFS_Stat stat;
    if (!PHYSFS_stat(path.c_str(), &stat)) continue;
    // A symbolic link is a folder when it can be listed, else a file.
    bool folder = stat.filetype == PHYSFS_FILETYPE_DIRECTORY;
    if (stat.filetype == PHYSFS_FILETYPE_SYMLINK) {
      WalkState probe;
      folder = PHYSFS_enumerate(path.c_str(), CollectName, &probe) && !probe.names.empty();
    }
    if (folder) {
      IndexDirectory(path, depth + 1);
    } else if (stat.filetype == PHYSFS_FILETYPE_REGULAR || stat.filetype == PHYSFS_FILETYPE_SYMLINK) {
      IndexEntry entry{path, MountPriority(PHYSFS_getRealDir(path.c_str()))};
      auto [it, added] = gSearch.index.emplace(NormalName(path), entry);
      if (!added && entry.priority > it->second.priority) it->second = entry;
    }
  }
}

void RefreshIndex() {
  if (!gSearch.indexStale) return;
  gSearch.index.clear();
  if (gSearch.initialised && !gSearch.mounts.empty()) IndexDirectory("", 0);
  gSearch.indexStale = false;
}

bool MountOne(const std::string& path, std::string* error, const char* mountPoint = nullptr) {
  if (!EnsureInitialised(error)) return false;
  // Prepending puts the new mount in front of the search, so it overrides everything before.
  if (!PHYSFS_mount(path.c_str(), mountPoint, 0)) {
    if (error) *error = path + ": cannot be read (" + LastPhysfsError() + ")";
    return false;
  }
  // PhysicsFS keeps the name as given; MountPriority compares it with PHYSFS_getRealDir.
  gSearch.mounts.push_back(path);
  gSearch.indexStale = true;
  return true;
}

// Reads at most maxBytes + 1 bytes, so a file that lies about its length still cannot make
// us hold more than the budget.
bool ReadOsFile(const std::string& path, std::vector<uint8_t>* bytes, size_t maxBytes) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  uint8_t chunk[65536];
  bool ok = true;
  for (;;) {
    const size_t got = std::fread(chunk, 1, sizeof chunk, file);
    if (bytes->size() + got > maxBytes) {
      std::fprintf(stderr, "%s: larger than %zu bytes, not read\n", path.c_str(), maxBytes);
      ok = false;
      break;
    }
    bytes->insert(bytes->end(), chunk, chunk + got);
    if (got < sizeof chunk) {
      ok = !std::ferror(file);  // a directory opens but cannot be read
      break;
    }
  }
  std::fclose(file);
  return ok;
}

bool ReadMountedFile(const std::string& realName, std::vector<uint8_t>* bytes, size_t maxBytes) {
  PHYSFS_File* file = PHYSFS_openRead(realName.c_str());
  if (!file) {
    std::fprintf(stderr, "%s: cannot be opened: %s\n", realName.c_str(), LastPhysfsError());
    return false;
  }
  // The length an archive claims is checked before anything is inflated.
  const PHYSFS_sint64 length = PHYSFS_fileLength(file);
  if (length < 0 || static_cast<uint64_t>(length) > maxBytes) {
    std::fprintf(stderr, "%s: claims %lld bytes, more than the %zu allowed; not read\n",
                 realName.c_str(), static_cast<long long>(length), maxBytes);
    PHYSFS_close(file);
    return false;
  }
  bytes->resize(static_cast<size_t>(length));
  const PHYSFS_sint64 got = PHYSFS_readBytes(file, bytes->data(), static_cast<PHYSFS_uint64>(length));
  PHYSFS_close(file);
  if (got != length) {
    std::fprintf(stderr, "%s: damaged, %lld of %lld bytes read\n", realName.c_str(),
                 static_cast<long long>(got < 0 ? 0 : got), static_cast<long long>(length));
    return false;
  }
  return true;
}

}  // namespace

bool EndsWithNoCase(const std::string& text, const std::string& ending) {
  if (text.size() < ending.size()) return false;
  const size_t start = text.size() - ending.size();
  for (size_t i = 0; i < ending.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[start + i])) != std::tolower(static_cast<unsigned char>(ending[i])))
      return false;
  return true;
}

std::string NormalName(const std::string& name) {
  std::string out;
  out.reserve(name.size());
  for (char c : name) {
    char d = c == '\\' ? '/' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (d == '/' && (out.empty() || out.back() == '/')) continue;  // leading or doubled
    out.push_back(d);
  }
  while (out.size() >= 2 && out[0] == '.' && out[1] == '/') out.erase(0, 2);
  return out;
}

bool MountDirectory(const std::string& directory, std::string* error) {
  std::error_code failure;
  if (!std::filesystem::is_directory(directory, failure)) {
    if (error) *error = directory + ": not a folder";
    return false;
  }
  if (!MountOne(directory, error)) return false;
  MountArchivesIn(directory);
  return true;
}

bool MountDirectoryAs(const std::string& directory, const std::string& mountPoint, std::string* error) {
  std::error_code failure;
  if (!std::filesystem::is_directory(directory, failure)) {
    if (error) *error = directory + ": not a folder";
    return false;
  }
  return MountOne(directory, error, mountPoint.c_str());
}

void MountArchivesIn(const std::string& directory) {
  // In name order, each above the one before.
  std::error_code failure;
  std::vector<std::string> archives;
  for (const auto& entry : std::filesystem::directory_iterator(directory, failure)) {
    const std::string name = entry.path().filename().string();
    if (EndsWithNoCase(name, ".pk3") && entry.is_regular_file(failure)) archives.push_back(name);
  }
  std::sort(archives.begin(), archives.end());
  for (const std::string& name : archives) {
    std::string reason;
    if (!MountOne(directory + "/" + name, &reason))
      std::fprintf(stderr, "Archive skipped: %s\n", reason.c_str());
  }
}

bool MountArchive(const std::string& path, std::string* error) { return MountOne(path, error); }

bool MountArchiveBytes(const uint8_t* data, size_t size, const std::string& name, std::string* error) {
  if (!EnsureInitialised(error)) return false;
  if (!PHYSFS_mountMemory(data, size, nullptr, name.c_str(), nullptr, 0)) {
    if (error) *error = name + ": cannot be read (" + LastPhysfsError() + ")";
    return false;
  }
  gSearch.mounts.push_back(name);
  gSearch.indexStale = true;
  return true;
}

void AddLooseFile(const std::string& name, const std::string& osPath) {
  gSearch.looseFiles[NormalName(name)] = osPath;
}

void UnmountAll() {
  if (gSearch.initialised) PHYSFS_deinit();
  gSearch = SearchPath();
}

bool Mounted() { return !gSearch.mounts.empty() || !gSearch.looseFiles.empty(); }

bool ReadFile(const std::string& name, std::vector<uint8_t>* bytes, size_t maxBytes) {
  bytes->clear();
  bool ok = false;
  if (!Mounted()) {
    ok = ReadOsFile(name, bytes, maxBytes);
  } else {
    const std::string key = NormalName(name);
    auto loose = gSearch.looseFiles.find(key);
    if (loose != gSearch.looseFiles.end()) {
      ok = ReadOsFile(loose->second, bytes, maxBytes);
    } else {
      RefreshIndex();
      auto it = gSearch.index.find(key);
      ok = it != gSearch.index.end() && ReadMountedFile(it->second.realName, bytes, maxBytes);
    }
  }
  if (!ok) {
    bytes->clear();
    bytes->shrink_to_fit();
  }
  return ok;
}

bool Exists(const std::string& name) {
  if (!Mounted()) {
    std::FILE* file = std::fopen(name.c_str(), "rb");
    if (file) std::fclose(file);
    return file != nullptr;
  }
  const std::string key = NormalName(name);
  if (gSearch.looseFiles.count(key)) return true;
  RefreshIndex();
  return gSearch.index.count(key) != 0;
}

int64_t Size(const std::string& name) {
  std::error_code failure;
  if (!Mounted()) {
    const uintmax_t size = std::filesystem::file_size(name, failure);
    return failure ? -1 : static_cast<int64_t>(size);
  }
  const std::string key = NormalName(name);
  auto loose = gSearch.looseFiles.find(key);
  if (loose != gSearch.looseFiles.end()) {
    const uintmax_t size = std::filesystem::file_size(loose->second, failure);
    return failure ? -1 : static_cast<int64_t>(size);
  }
  RefreshIndex();
  auto it = gSearch.index.find(key);
  PHYSFS_Stat stat;
  if (it == gSearch.index.end() || !PHYSFS_stat(it->second.realName.c_str(), &stat)) return -1;
  return stat.filesize;
}

std::string Source(const std::string& name) {
  const std::string key = NormalName(name);
  auto loose = gSearch.looseFiles.find(key);
  if (loose != gSearch.looseFiles.end()) return loose->second;
  RefreshIndex();
  auto it = gSearch.index.find(key);
  if (it == gSearch.index.end()) return std::string();
  return gSearch.mounts[it->second.priority];
}

std::vector<std::string> List(const std::string& directory, const std::string& extension, bool recursive) {
  std::vector<std::string> names;
  std::string prefix = NormalName(directory);
  if (!prefix.empty() && prefix.back() != '/') prefix.push_back('/');
  auto take = [&](const std::string& key) {
    if (key.compare(0, prefix.size(), prefix) != 0) return;
    if (!recursive && key.find('/', prefix.size()) != std::string::npos) return;  // deeper folder
    if (EndsWithNoCase(key, extension)) names.push_back(key);
  };
  if (!Mounted()) {
    std::error_code failure;
    for (const auto& entry : std::filesystem::directory_iterator(directory.empty() ? "." : directory, failure))
      if (entry.is_regular_file(failure) && EndsWithNoCase(entry.path().filename().string(), extension))
        names.push_back((directory.empty() ? "" : directory + "/") + entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  RefreshIndex();
  for (const auto& entry : gSearch.index) take(entry.first);
  for (const auto& entry : gSearch.looseFiles) take(entry.first);
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  return names;
}

}  // namespace files

bool ReadWholeFile(const char* fileName, std::vector<uint8_t>* bytes, size_t maxBytes) {
  bytes->clear();
  return fileName && files::ReadFile(fileName, bytes, maxBytes);
}
