// Writes zip archives (.pk3) for tests: stored members, or members whose headers lie about
// their sizes or carry unsafe names, as hostile archives do.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct ZipMember {
  std::string name;
  std::vector<uint8_t> data;
  uint32_t claimedSize = 0;   // the uncompressed size the headers claim; 0: the real size
  bool deflated = false;      // marks the data as deflate-compressed (method 8) without compressing
};

std::vector<uint8_t> WriteZip(const std::vector<ZipMember>& members);
ZipMember TextMember(const std::string& name, const std::string& text);
