// Writes zip archives (.pk3) for tests: stored members, or members whose headers lie about
// their sizes, carry unsafe names or are symbolic links, as hostile archives do.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct ZipMember {
  std::string name;
  std::vector<uint8_t> data;
  uint32_t claimedSize = 0;   // the uncompressed size the headers claim; 0: the real size
  bool deflated = false;      // marks the data as deflate-compressed (method 8) without compressing
  uint32_t unixMode = 0;      // a Unix file mode (0120777: a symbolic link whose data is its target); 0: none
};

std::vector<uint8_t> WriteZip(const std::vector<ZipMember>& members);
ZipMember TextMember(const std::string& name, const std::string& text);
