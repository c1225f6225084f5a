// Finds the symbolic link entries of a zip archive (see archive_links.h) without trusting any
// count, size or offset in it.
//
// PhysicsFS's zip reader takes the end record nearest the end of the archive, puts the
// central directory the record's directory size before it (whatever offset the record
// states, so archives with data in front still open) and reads records forward from there.
// A non-Zip64 end record is accepted only when its comment reaches exactly to the end, so it
// lies in the last 64 KiB + 22 bytes. Looking at every central record signature from the
// earliest such start to the end of the archive therefore sees every record it can read.
#include "platform/archive_links.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/files.h"

namespace files {
namespace {

constexpr uint32_t CentralSignature = 0x02014b50;
constexpr uint32_t EndSignature = 0x06054b50;
constexpr uint32_t Zip64LocatorSignature = 0x07064b50;
constexpr size_t CentralRecordBytes = 46;
constexpr uint64_t EndSearchBytes = 65535 + 22;  // the longest comment and the end record
constexpr uint64_t Zip64LocatorBytes = 20;       // just before a Zip64 archive's end record
constexpr uint32_t UnixTypeMask = 0170000;
constexpr uint32_t UnixLink = 0120000;
constexpr size_t ScanChunk = size_t{1} << 20;

uint32_t Get16(const uint8_t* p) { return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8; }
uint32_t Get32(const uint8_t* p) { return Get16(p) | Get16(p + 2) << 16; }

// The earliest offset at which a central directory described by an end record near the end
// can start; false when there is no end record there.
bool EarliestDirectory(uint64_t size, const ArchiveReader& read, uint64_t* start) {
  const uint64_t from = size > EndSearchBytes + Zip64LocatorBytes ? size - EndSearchBytes - Zip64LocatorBytes : 0;
  std::vector<uint8_t> tail(static_cast<size_t>(size - from));
  if (!read(from, tail.size(), tail.data())) return false;
  bool found = false;
  *start = size;
  for (size_t i = 0; i + 4 <= tail.size(); ++i) {
    if (Get32(&tail[i]) != EndSignature) continue;
    found = true;
    const uint64_t at = from + i;
    uint64_t directory = at;  // a record cut short holds no directory size
    if (i + 16 <= tail.size()) {
      const uint32_t directorySize = Get32(&tail[i + 12]);
      directory = directorySize <= at ? at - directorySize : 0;
    }
    // Zip64 keeps the directory's place in a record of its own, anywhere before.
    if (i >= Zip64LocatorBytes && Get32(&tail[i - Zip64LocatorBytes]) == Zip64LocatorSignature) directory = 0;
    *start = std::min(*start, directory);
  }
  return found;
}

}  // namespace

bool FindArchiveLinks(uint64_t size, const ArchiveReader& read, std::vector<std::string>* names) {
  names->clear();
  uint64_t start = 0;
  if (!EarliestDirectory(size, read, &start)) return false;
  std::vector<uint8_t> chunk(static_cast<size_t>(std::min<uint64_t>(ScanChunk + 3, size - start)));
  uint8_t record[CentralRecordBytes];
  for (uint64_t at = start; at + 4 <= size; at += ScanChunk) {
    const size_t length = static_cast<size_t>(std::min<uint64_t>(chunk.size(), size - at));
    if (!read(at, length, chunk.data())) return false;
    // Signatures starting in this chunk; the 3 bytes past it catch one that crosses its end.
    for (size_t i = 0; i + 4 <= length && i < ScanChunk; ++i) {
      if (Get32(&chunk[i]) != CentralSignature) continue;
      const uint64_t recordAt = at + i;
      if (size - recordAt < CentralRecordBytes || !read(recordAt, CentralRecordBytes, record)) continue;
      if (((Get32(&record[38]) >> 16) & UnixTypeMask) != UnixLink) continue;
      const size_t nameBytes = static_cast<size_t>(std::min<uint64_t>(Get16(&record[28]), size - recordAt - CentralRecordBytes));
      std::string name(nameBytes, '\0');
      if (nameBytes > 0 && !read(recordAt + CentralRecordBytes, nameBytes, reinterpret_cast<uint8_t*>(&name[0]))) continue;
      name.resize(std::strlen(name.c_str()));  // a name ends at its first NUL for PhysicsFS too
      std::string normal = NormalName(name);
      while (!normal.empty() && normal.back() == '/') normal.pop_back();
      if (!normal.empty()) names->push_back(normal);
    }
  }
  return true;
}

bool FindArchiveLinks(const uint8_t* data, size_t size, std::vector<std::string>* names) {
  return FindArchiveLinks(
      size,
      [data, size](uint64_t offset, size_t length, uint8_t* out) {
        if (offset > size || length > size - offset) return false;
        if (length > 0) std::memcpy(out, data + offset, length);
        return true;
      },
      names);
}

bool FindArchiveFileLinks(const std::string& path, std::vector<std::string>* names) {
  names->clear();
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  bool ok = fseeko(file, 0, SEEK_END) == 0;
  const off_t size = ok ? ftello(file) : -1;
  ok = ok && size >= 0 &&
       FindArchiveLinks(
           static_cast<uint64_t>(size),
           [file](uint64_t offset, size_t length, uint8_t* out) {
             return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0 && std::fread(out, 1, length, file) == length;
           },
           names);
  std::fclose(file);
  return ok;
}

}  // namespace files
