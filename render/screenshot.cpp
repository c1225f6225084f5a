// Screenshots (see screenshot.h).
#include "render/screenshot.h"

#include <GL/gl.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "platform/user_folders.h"
#include "render/png_writer.h"

namespace {

// Copies beyond this many in one second are refused rather than searched for ever.
constexpr int MaxCopies = 1000;

}  // namespace

std::vector<uint8_t> ReadFramePixels(int width, int height) {
  if (width <= 0 || height <= 0) return {};
  const size_t row = static_cast<size_t>(width) * 3;
  std::vector<uint8_t> bottomUp(row * height);
  GLint alignment = 4;
  glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
  glPixelStorei(GL_PACK_ALIGNMENT, alignment);
  // GL gives the bottom row first; pictures start at the top.
  std::vector<uint8_t> topDown(bottomUp.size());
  for (int y = 0; y < height; ++y)
    std::memcpy(&topDown[y * row], &bottomUp[(height - 1 - y) * row], row);
  return topDown;
}

std::string ScreenshotName(std::time_t when, int copy) {
  std::tm local = {};
  localtime_r(&when, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d_%H-%M-%S", &local);
  std::string name = std::string("korvalis-") + stamp;
  if (copy > 1) name += "-" + std::to_string(copy);
  return name + ".png";
}

bool SaveScreenshot(const std::vector<uint8_t>& rgb, int width, int height,
                    const std::string& picturesFolder, std::time_t when, std::string* path,
                    std::string* error) {
  if (rgb.empty() || rgb.size() != static_cast<size_t>(width) * height * 3) {
    *error = "no picture of the frame";
    return false;
  }
  if (picturesFolder.empty()) {
    *error = "no pictures folder (neither XDG_PICTURES_DIR nor HOME is set)";
    return false;
  }
  const std::filesystem::path folder = std::filesystem::path(picturesFolder) / "korvalis";
  std::error_code failure;
  std::filesystem::create_directories(folder, failure);
  if (failure) {
    *error = "cannot make " + folder.string() + ": " + failure.message();
    return false;
  }
  // O_EXCL: a file of the same name, even one made at this very moment, is never replaced.
  int fd = -1;
  for (int copy = 1; copy <= MaxCopies && fd < 0; ++copy) {
    *path = (folder / ScreenshotName(when, copy)).string();
    fd = open(path->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0 && errno != EEXIST) {
      *error = "cannot write " + *path + ": " + std::strerror(errno);
      return false;
    }
  }
  if (fd < 0) {
    *error = "too many screenshots in " + folder.string() + " this second";
    return false;
  }
  std::FILE* file = fdopen(fd, "wb");
  if (!file) {
    *error = "cannot write " + *path + ": " + std::strerror(errno);
    close(fd);
    unlink(path->c_str());
    return false;
  }
  std::string reason;
  bool written = WritePngRgb(file, rgb.data(), width, height, &reason);
  if (std::fclose(file) != 0 && written) {
    written = false;
    reason = std::strerror(errno);
  }
  if (!written) {
    *error = "cannot write " + *path + ": " + reason;
    unlink(path->c_str());  // half a picture is no picture
    return false;
  }
  return true;
}

bool TakeScreenshot(int width, int height) {
  std::string path, error;
  if (!SaveScreenshot(ReadFramePixels(width, height), width, height, PicturesFolder(),
                      std::time(nullptr), &path, &error)) {
    std::fprintf(stderr, "Screenshot not saved: %s\n", error.c_str());
    return false;
  }
  std::printf("Screenshot saved: %s\n", path.c_str());
  std::fflush(stdout);
  return true;
}
