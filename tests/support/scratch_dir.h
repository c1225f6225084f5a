// A scratch folder of this test process's own under the system's temporary folder: tests of
// several builds run at once on one machine, so a fixed name would be shared between them.
#pragma once
#include <unistd.h>

#include <filesystem>
#include <string>

inline std::filesystem::path ScratchDir(const std::string& name) {
  return std::filesystem::temp_directory_path() /
         (name + "_" + std::to_string(static_cast<long>(getpid())));
}
