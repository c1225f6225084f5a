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
#include <set>
#include <string>
#include <vector>

#include "platform/archive_links.h"

namespace files {
namespace {

struct IndexEntry {
  std::string realName;  // the name as PhysicsFS knows it
  size_t priority = 0;   // position of its mount in mount order: higher overrides lower
  std::string osPath;    // set for a game folder's own file, read directly (not by PhysicsFS)
};

// The own files of a folder mounted by MountGameDirectory, at their place in the mount order.
struct FolderFiles {
  size_t priority = 0;
  std::map<std::string, std::string> files;  // NormalName -> OS path
};

struct SearchPath {
  bool initialised = false;
  std::vector<std::string> mounts;                       // mount order, lowest priority first
  std::map<std::string, std::string> looseFiles;        // NormalName -> OS path, above all mounts
  std::map<std::string, IndexEntry> index;              // NormalName -> file
  std::vector<FolderFiles> folderFiles;                 // game folders' own files
  std::set<std::string> archiveLinks;                   // NormalName of mounted archives' link entries
  bool indexStale = true;
};

SearchPath gSearch;
uint64_t gContentReads = 0;

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

// A name that is a symbolic link entry of a mounted archive: PhysicsFS is never asked about it
// (see archive_links.h), so it is missing from the search path whichever mount holds it.
bool ArchiveLink(const std::string& name) {
  std::string normal = NormalName(name);
  while (!normal.empty() && normal.back() == '/') normal.pop_back();
  return gSearch.archiveLinks.count(normal) != 0;
}

// An archive held in memory, read through PhysicsFS's i/o interface. PhysicsFS's own memory
// mount (PHYSFS_mountMemory, 3.0.2) loses its reader, some 130 bytes, at every mount whether
// the mount succeeds or not; this reader is freed by the archive that holds it when it is
// closed, or by MountArchiveBytes when the mount fails.
struct BytesReader {
  const uint8_t* data;
  uint64_t size;
  uint64_t position;
};

PHYSFS_Io* NewBytesIo(const BytesReader& reader);

BytesReader& ReaderOf(PHYSFS_Io* io) { return *static_cast<BytesReader*>(io->opaque); }

PHYSFS_sint64 BytesRead(PHYSFS_Io* io, void* buffer, PHYSFS_uint64 length) {
  BytesReader& r = ReaderOf(io);
  const uint64_t count = std::min<uint64_t>(length, r.size - r.position);
  if (count > 0) std::memcpy(buffer, r.data + r.position, count);
  r.position += count;
  return static_cast<PHYSFS_sint64>(count);
}

PHYSFS_sint64 BytesWrite(PHYSFS_Io*, const void*, PHYSFS_uint64) {
  PHYSFS_setErrorCode(PHYSFS_ERR_READ_ONLY);
  return -1;
}

int BytesSeek(PHYSFS_Io* io, PHYSFS_uint64 offset) {
  BytesReader& r = ReaderOf(io);
  if (offset > r.size) {
    PHYSFS_setErrorCode(PHYSFS_ERR_PAST_EOF);
    return 0;
  }
  r.position = offset;
  return 1;
}

PHYSFS_sint64 BytesTell(PHYSFS_Io* io) { return static_cast<PHYSFS_sint64>(ReaderOf(io).position); }
PHYSFS_sint64 BytesLength(PHYSFS_Io* io) { return static_cast<PHYSFS_sint64>(ReaderOf(io).size); }
PHYSFS_Io* BytesDuplicate(PHYSFS_Io* io) { return NewBytesIo(ReaderOf(io)); }
int BytesFlush(PHYSFS_Io*) { return 1; }

void BytesDestroy(PHYSFS_Io* io) {
  delete static_cast<BytesReader*>(io->opaque);
  delete io;
}

PHYSFS_Io* NewBytesIo(const BytesReader& reader) {
  PHYSFS_Io* io = new PHYSFS_Io{};
  io->version = 0;
  io->opaque = new BytesReader(reader);
  io->read = BytesRead;
  io->write = BytesWrite;
  io->seek = BytesSeek;
  io->tell = BytesTell;
  io->length = BytesLength;
  io->duplicate = BytesDuplicate;
  io->flush = BytesFlush;
  io->destroy = BytesDestroy;
  return io;
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

void AddToIndex(const std::string& name, const IndexEntry& entry) {
  auto [it, added] = gSearch.index.emplace(NormalName(name), entry);
  if (!added && entry.priority > it->second.priority) it->second = entry;
}

// A folder of the operating system under a data name (what a linked folder points to), read
// directly: PhysicsFS lists a link to a folder but not what the folder holds.
void IndexOsFolder(const std::filesystem::path& folder, const std::string& name, size_t priority, int depth) {
  std::error_code failure;
  for (const auto& entry : std::filesystem::directory_iterator(folder, failure)) {
    if (depth > 32 || gSearch.index.size() >= MaxIndexedFiles) return;
    const std::string path = name + "/" + entry.path().filename().string();
    if (entry.is_directory(failure))
      IndexOsFolder(entry.path(), path, priority, depth + 1);
    else if (entry.is_regular_file(failure))
      AddToIndex(path, IndexEntry{std::string(), priority, entry.path().string()});
  }
}

// The folder of the operating system a linked data folder points to; empty when the link is
// not in a mounted folder or does not lead to a folder.
std::filesystem::path LinkedFolder(const std::string& path) {
  const char* realDir = PHYSFS_getRealDir(path.c_str());
  const char* mountPoint = realDir ? PHYSFS_getMountPoint(realDir) : nullptr;
  if (!mountPoint) return std::filesystem::path();
  std::string prefix = mountPoint;
  while (!prefix.empty() && prefix[0] == '/') prefix.erase(0, 1);
  if (path.compare(0, prefix.size(), prefix) != 0) return std::filesystem::path();
  const std::filesystem::path target = std::filesystem::path(realDir) / path.substr(prefix.size());
  std::error_code failure;
  return std::filesystem::is_directory(target, failure) ? target : std::filesystem::path();
}

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
    if (ArchiveLink(path)) {
      std::fprintf(stderr, "Skipped a symbolic link in an archive: %s\n", path.c_str());
      continue;
    }
    PHYSFS_Stat stat;
    if (!PHYSFS_stat(path.c_str(), &stat)) continue;
    // A symbolic link to a folder is followed through the operating system; any other is a
    // file, read through it.
    const size_t priority = MountPriority(PHYSFS_getRealDir(path.c_str()));
    if (stat.filetype == PHYSFS_FILETYPE_SYMLINK) {
      const std::filesystem::path linked = LinkedFolder(path);
      if (!linked.empty()) {
        IndexOsFolder(linked, path, priority, depth + 1);
        continue;
      }
    }
    if (stat.filetype == PHYSFS_FILETYPE_DIRECTORY) {
      IndexDirectory(path, depth + 1);
    } else if (stat.filetype == PHYSFS_FILETYPE_REGULAR || stat.filetype == PHYSFS_FILETYPE_SYMLINK) {
      AddToIndex(path, IndexEntry{path, priority, std::string()});
    }
  }
}

void RefreshIndex() {
  if (!gSearch.indexStale) return;
  gSearch.index.clear();
  if (gSearch.initialised && !gSearch.mounts.empty()) IndexDirectory("", 0);
  for (const FolderFiles& folder : gSearch.folderFiles)
    for (const auto& [key, osPath] : folder.files) AddToIndex(key, IndexEntry{std::string(), folder.priority, osPath});
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

// An archive is mounted once its link entries are known.
bool MountArchiveFile(const std::string& path, std::string* error) {
  std::vector<std::string> links;
  if (!FindArchiveFileLinks(path, &links)) {
    if (error) *error = path + ": cannot be read (not a zip archive)";
    return false;
  }
  if (!MountOne(path, error)) return false;
  gSearch.archiveLinks.insert(links.begin(), links.end());
  return true;
}

// Reads at most maxBytes + 1 bytes, so a file that lies about its length still cannot make
// us hold more than the budget.
bool ReadOsFile(const std::string& path, std::vector<uint8_t>* bytes, size_t maxBytes) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  ++gContentReads;
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
  ++gContentReads;
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

bool MountGameDirectory(const std::string& directory, const std::vector<std::string>& folders, std::string* error) {
  namespace fs = std::filesystem;
  std::error_code failure;
  if (!fs::is_directory(directory, failure)) {
    if (error) *error = directory + ": not a folder";
    return false;
  }
  if (!EnsureInitialised(error)) return false;
  FolderFiles own;
  own.priority = gSearch.mounts.size();
  std::vector<fs::path> wanted;
  for (const auto& entry : fs::directory_iterator(directory, failure)) {
    const std::string name = NormalName(entry.path().filename().string());
    if (entry.is_regular_file(failure)) {
      own.files[name] = entry.path().string();
    } else if (entry.is_directory(failure) && std::find(folders.begin(), folders.end(), name) != folders.end()) {
      wanted.push_back(entry.path());
    }
  }
  gSearch.mounts.push_back(directory);  // its own files' place in the mount order
  gSearch.folderFiles.push_back(std::move(own));
  gSearch.indexStale = true;
  std::sort(wanted.begin(), wanted.end());
  for (const fs::path& folder : wanted) {
    std::string reason;
    if (!MountOne(folder.string(), &reason, NormalName(folder.filename().string()).c_str()))
      std::fprintf(stderr, "Data folder skipped: %s\n", reason.c_str());
  }
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
    if (!MountArchiveFile(directory + "/" + name, &reason))
      std::fprintf(stderr, "Archive skipped: %s\n", reason.c_str());
  }
}

bool MountArchive(const std::string& path, std::string* error) { return MountArchiveFile(path, error); }

bool MountArchiveBytes(const uint8_t* data, size_t size, const std::string& name, std::string* error) {
  if (!EnsureInitialised(error)) return false;
  std::vector<std::string> links;
  if (!FindArchiveLinks(data, size, &links)) {
    if (error) *error = name + ": cannot be read (not a zip archive)";
    return false;
  }
  PHYSFS_Io* io = NewBytesIo(BytesReader{data, size, 0});
  if (!PHYSFS_mountIo(io, name.c_str(), nullptr, 0)) {
    if (error) *error = name + ": cannot be read (" + LastPhysfsError() + ")";
    BytesDestroy(io);
    return false;
  }
  gSearch.mounts.push_back(name);
  gSearch.archiveLinks.insert(links.begin(), links.end());
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
      ok = it != gSearch.index.end() && (it->second.osPath.empty()
                                             ? ReadMountedFile(it->second.realName, bytes, maxBytes)
                                             : ReadOsFile(it->second.osPath, bytes, maxBytes));
    }
  }
  if (!ok) {
    bytes->clear();
    bytes->shrink_to_fit();
  }
  return ok;
}

uint64_t ContentReads() { return gContentReads; }

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
  if (it != gSearch.index.end() && !it->second.osPath.empty()) {
    const uintmax_t size = std::filesystem::file_size(it->second.osPath, failure);
    return failure ? -1 : static_cast<int64_t>(size);
  }
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
