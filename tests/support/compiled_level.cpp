// Compiling a level source and loading the result, for the tests.
#include "support/compiled_level.h"

#include <cstdint>
#include <vector>

#include "level/bsp_writer.h"

CompileOptions QuickCompileOptions() {
  CompileOptions options;
  options.threads = 1;
  options.visibility = false;
  return options;
}

bool LoadCompiled(const BspFileData& data, Level* level, std::string* error) {
  const std::vector<uint8_t> bytes = WriteBspFile(data);
  return level->Parse(bytes.data(), bytes.size(), error);
}

bool CompileAndLoad(const std::string& source, const CompileOptions& options, Level* level, std::string* error) {
  BspFileData data;
  return CompileLevel(source, options, &data, nullptr, error) && LoadCompiled(data, level, error);
}
