// A scratch folder of this test process's own under the system's temporary folder: tests of
// several builds run at once on one machine, so a fixed name would be shared between them.
// InScratch runs a test in a fresh one as the working directory (names are plain paths).
#pragma once
#include <unistd.h>

#include <filesystem>
#include <string>

inline std::filesystem::path ScratchDir(const std::string& name) {
  return std::filesystem::temp_directory_path() /
         (name + "_" + std::to_string(static_cast<long>(getpid())));
}

class InScratch {
 public:
  explicit InScratch(const std::string& name) : dir_(ScratchDir(name)), old_(std::filesystem::current_path()) {
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    std::filesystem::current_path(dir_);
  }
  ~InScratch() {
    std::filesystem::current_path(old_);
    std::filesystem::remove_all(dir_);
  }

 private:
  std::filesystem::path dir_, old_;
};
