// Writing a level file from its lumps (tools and tests make their levels with it).
#pragma once
#include <cstdint>
#include <vector>

#include "core/bsp_format.h"

// Serialises the lumps in index order behind the header (little-endian host assumed).
std::vector<uint8_t> WriteBspFile(const BspFileData& file);
