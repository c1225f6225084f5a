// Zip archive writer for tests (see zip_writer.h).
#include "support/zip_writer.h"

#include "core/crc32.h"

namespace {

void Put16(std::vector<uint8_t>* out, uint32_t v) {
  out->push_back(static_cast<uint8_t>(v));
  out->push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>* out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

}  // namespace

ZipMember TextMember(const std::string& name, const std::string& text) {
  return ZipMember{name, std::vector<uint8_t>(text.begin(), text.end())};
}

std::vector<uint8_t> WriteZip(const std::vector<ZipMember>& members) {
  std::vector<uint8_t> out, directory;
  for (const ZipMember& m : members) {
    const uint32_t crc = Crc32(m.data.data(), m.data.size());
    const uint32_t stored = static_cast<uint32_t>(m.data.size());
    const uint32_t size = m.claimedSize ? m.claimedSize : stored;
    const uint32_t method = m.deflated ? 8 : 0;
    const uint32_t offset = static_cast<uint32_t>(out.size());
    // The fields local and central headers share, from "version needed" on.
    auto common = [&](std::vector<uint8_t>* h) {
      Put16(h, 20);
      Put16(h, 0);
      Put16(h, method);
      Put16(h, 0);
      Put16(h, 0x21);  // 1980-01-01
      Put32(h, crc);
      Put32(h, stored);
      Put32(h, size);
      Put16(h, static_cast<uint32_t>(m.name.size()));
      Put16(h, 0);
    };
    Put32(&out, 0x04034b50);
    common(&out);
    out.insert(out.end(), m.name.begin(), m.name.end());
    out.insert(out.end(), m.data.begin(), m.data.end());

    Put32(&directory, 0x02014b50);
    Put16(&directory, m.unixMode ? 0x0314 : 20);  // made on Unix (3), or on FAT
    common(&directory);
    Put16(&directory, 0);  // comment
    Put16(&directory, 0);  // disk
    Put16(&directory, 0);  // internal attributes
    Put32(&directory, m.unixMode << 16);  // external attributes
    Put32(&directory, offset);
    directory.insert(directory.end(), m.name.begin(), m.name.end());
  }
  const uint32_t directoryOffset = static_cast<uint32_t>(out.size());
  out.insert(out.end(), directory.begin(), directory.end());
  Put32(&out, 0x06054b50);
  Put16(&out, 0);
  Put16(&out, 0);
  Put16(&out, static_cast<uint32_t>(members.size()));
  Put16(&out, static_cast<uint32_t>(members.size()));
  Put32(&out, static_cast<uint32_t>(directory.size()));
  Put32(&out, directoryOffset);
  Put16(&out, 0);
  return out;
}
