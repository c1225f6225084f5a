// The CRC-32 of zip archives and PNG chunks (polynomial 0xEDB88320, bitwise: for the few
// small files our tools and tests write).
#pragma once
#include <cstddef>
#include <cstdint>

inline uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0) {
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}
