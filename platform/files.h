// Game data files: one search path of folders and .pk3 (zip) archives, read through
// PhysicsFS. Every data file the game reads (levels, textures, models, skins, scripts,
// sounds, pictures) goes through ReadFile; nothing is ever written into the search path.
//
// Until something is mounted, names are plain paths relative to the working directory, so
// the tools and the tests that write their own files keep working without a search path.
// Once mounted, names are looked up without regard to case and with '/' or '\' separators.
// Later mounts override earlier ones; inside a folder, its loose files come first and then
// its *.pk3 archives in name order, each overriding what came before.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace files {

// No single data file the game reads is larger: a member of an archive that claims more is
// refused before anything is decoded.
constexpr size_t DefaultMaxFileBytes = size_t{256} << 20;

// Mounts a folder, then every *.pk3 in it in name order, on top of what is mounted already.
// An archive that cannot be opened (not a zip, truncated) is skipped with a line on stderr;
// false (and the reason) when the folder itself cannot be mounted.
bool MountDirectory(const std::string& directory, std::string* error);
// Mounts a folder's own files (no archives) as the folder `mountPoint` of the search path:
// "textures" makes DIRECTORY/wall.tga readable as textures/wall.tga.
bool MountDirectoryAs(const std::string& directory, const std::string& mountPoint, std::string* error);
// Mounts every *.pk3 directly in a folder, in name order, on top of what is mounted already;
// one that cannot be opened is skipped with a line on stderr.
void MountArchivesIn(const std::string& directory);
// Mounts one archive on top of everything else (a .pk3 named on the command line).
bool MountArchive(const std::string& path, std::string* error);
// The same for an archive held in memory, which must outlive the mount (the fuzz target).
bool MountArchiveBytes(const uint8_t* data, size_t size, const std::string& name, std::string* error);
// Makes one file of the operating system readable under a data name, above every mount
// (a level named by its path on the command line).
void AddLooseFile(const std::string& name, const std::string& osPath);
// Forgets every mount: names are working-directory paths again.
void UnmountAll();
bool Mounted();

// The whole file, when it exists and holds at most maxBytes; false otherwise (and a line on
// stderr when the file exists but is too large or cannot be read).
bool ReadFile(const std::string& name, std::vector<uint8_t>* bytes,
              size_t maxBytes = DefaultMaxFileBytes);
bool Exists(const std::string& name);
// The size a file has (or an archive member claims), without reading it; -1 when missing.
int64_t Size(const std::string& name);
// The files directly in a folder of the search path (or anywhere below it, with
// `recursive`) whose names end with the extension (".shader", ".bsp"; any case; "" for all),
// as names ReadFile takes, sorted.
std::vector<std::string> List(const std::string& directory, const std::string& extension, bool recursive = false);

// The folder or archive a name is read from, as it was mounted; empty when the name is not in
// the search path (or nothing is mounted).
std::string Source(const std::string& name);

// The lower-case, '/'-separated form under which names are compared ("Maps\\A.BSP" ->
// "maps/a.bsp"); leading "./" and doubled separators are dropped.
std::string NormalName(const std::string& name);

// Whether a name ends with `ending`, letters compared without case (".PK3" ends with ".pk3").
bool EndsWithNoCase(const std::string& text, const std::string& ending);

}  // namespace files

// Reads a whole data file through the search path; false when fileName is null, or the file is
// missing, unreadable or larger than maxBytes.
bool ReadWholeFile(const char* fileName, std::vector<uint8_t>* bytes,
                   size_t maxBytes = files::DefaultMaxFileBytes);
