// Symbolic links stored in zip archives (.pk3). PhysicsFS follows such an entry whenever a
// name reaching it is looked at, and first allocates the size the entry claims for the link's
// target: a few bytes of archive claiming 2 GB make it allocate 2 GB. Game data never needs a
// link inside an archive, so the search path finds the link entries itself, before PhysicsFS
// sees the archive, and never names them to PhysicsFS.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace files {

// Reads `length` bytes at `offset` of the archive into `out`; false when they are not there.
using ArchiveReader = std::function<bool(uint64_t offset, size_t length, uint8_t* out)>;

// The names (NormalName form, no trailing '/') of every entry of the archive's central
// directory that carries the Unix mode of a symbolic link. Nothing in the archive is trusted:
// every central directory record between the earliest place any end record in the last
// 64 KiB + 22 bytes can put the directory and the end of the archive is looked at (the whole
// archive for Zip64), so whichever directory PhysicsFS reads, its links are among these.
// False when no end record is there: no zip reader takes the archive then.
bool FindArchiveLinks(uint64_t size, const ArchiveReader& read, std::vector<std::string>* names);
bool FindArchiveLinks(const uint8_t* data, size_t size, std::vector<std::string>* names);
// The same for an archive on disk; false also when it cannot be read.
bool FindArchiveFileLinks(const std::string& path, std::vector<std::string>* names);

}  // namespace files
