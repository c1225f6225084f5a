// Screenshots: the saved picture is the frame's pixels exactly, names never collide, a folder
// that cannot be written or a full disk gives one line and leaves no file, and the pictures
// folder is found the way the desktop names it.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <png.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/user_folders.h"
#include "render/png_writer.h"
#include "render/screenshot.h"
#include "support/gl_context.h"
#include "support/scratch_dir.h"

namespace fs = std::filesystem;

namespace {

// RGB rows top first, as a PNG file holds them; empty when the file is no PNG.
std::vector<uint8_t> ReadPng(const std::string& path, int* width, int* height) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return {};
  *width = static_cast<int>(image.width);
  *height = static_cast<int>(image.height);
  return pixels;
}

std::vector<fs::path> FilesIn(const fs::path& folder) {
  std::vector<fs::path> files;
  std::error_code ignored;
  for (const auto& entry : fs::recursive_directory_iterator(folder, ignored))
    if (entry.is_regular_file()) files.push_back(entry.path());
  return files;
}

// Runs `save` and returns what it printed on standard output and standard error together.
template <typename Save>
std::string Printed(Save save) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  save();
  return testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();
}

// Sets an environment variable for the life of the object.
class EnvironmentValue {
 public:
  EnvironmentValue(const char* name, const char* value) : name_(name) {
    const char* old = std::getenv(name);
    hadOld_ = old != nullptr;
    if (old) old_ = old;
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~EnvironmentValue() {
    if (hadOld_)
      setenv(name_, old_.c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  bool hadOld_ = false;
  std::string old_;
};

TEST(ScreenshotGL, TheSavedPictureIsTheFramesPixels) {
  GLTestContext context(96, 64);
  REQUIRE_GL(context);
  // A frame no two rows or columns of which are alike, drawn pixel for pixel.
  const int width = context.width(), height = context.height();
  std::vector<uint8_t> drawn(width * height * 3);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* p = &drawn[(y * width + x) * 3];
      p[0] = static_cast<uint8_t>(x * 2 + y);
      p[1] = static_cast<uint8_t>(y * 3);
      p[2] = static_cast<uint8_t>((x * 7) ^ (y * 5));
    }
  glViewport(0, 0, width, height);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_TEXTURE_2D);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glRasterPos2f(-1, -1);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glDrawPixels(width, height, GL_RGB, GL_UNSIGNED_BYTE, drawn.data());  // bottom row first
  ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

  InScratch scratch("screenshot_frame");
  const fs::path pictures = fs::current_path() / "Pictures";
  EnvironmentValue picturesDir("XDG_PICTURES_DIR", pictures.c_str());
  const std::string printed = Printed([&] { EXPECT_TRUE(TakeScreenshot(width, height)); });

  const std::vector<fs::path> files = FilesIn(pictures);
  ASSERT_EQ(files.size(), 1u) << printed;
  EXPECT_EQ(files[0].parent_path(), pictures / "korvalis");
  EXPECT_EQ(printed, "Screenshot saved: " + files[0].string() + "\n");
  int savedWidth = 0, savedHeight = 0;
  const std::vector<uint8_t> saved = ReadPng(files[0], &savedWidth, &savedHeight);
  ASSERT_EQ(savedWidth, width);
  ASSERT_EQ(savedHeight, height);
  // The picture's top row is the frame's top row: GL's last.
  const std::vector<uint8_t> frame = context.ReadPixels();  // RGBA, bottom row first
  int different = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < 3; ++c) {
        const uint8_t s = saved[(y * width + x) * 3 + c];
        different += s != frame[((height - 1 - y) * width + x) * 4 + c];
        different += s != drawn[((height - 1 - y) * width + x) * 3 + c];
      }
  EXPECT_EQ(different, 0);
}

TEST(Screenshot, NamesByTimeNeverReplaceAFile) {
  InScratch scratch("screenshot_names");
  const std::vector<uint8_t> rgb(4 * 2 * 3, 200);
  const std::time_t when = 1765201812;  // any fixed moment
  const fs::path folder = fs::current_path() / "korvalis";
  fs::create_directories(folder);
  // A file already there under the first name stays as it is.
  { std::ofstream(folder / ScreenshotName(when, 1)) << "keep me"; }
  std::string first, second, error;
  ASSERT_TRUE(SaveScreenshot(rgb, 4, 2, fs::current_path(), when, &first, &error)) << error;
  ASSERT_TRUE(SaveScreenshot(rgb, 4, 2, fs::current_path(), when, &second, &error)) << error;
  EXPECT_EQ(fs::path(first).filename(), ScreenshotName(when, 2));
  EXPECT_EQ(fs::path(second).filename(), ScreenshotName(when, 3));
  std::ifstream kept(folder / ScreenshotName(when, 1));
  std::string text;
  std::getline(kept, text);
  EXPECT_EQ(text, "keep me");
  EXPECT_EQ(ScreenshotName(when, 1).size(), std::string("korvalis-2025-12-08_13-50-12.png").size());
}

TEST(Screenshot, AFolderThatCannotBeWrittenOrAFullDiskGivesOneLineAndNoFile) {
  InScratch scratch("screenshot_failures");
  const std::vector<uint8_t> rgb(64 * 64 * 3, 90);
  const fs::path readOnly = fs::current_path() / "read-only";
  fs::create_directories(readOnly);
  fs::permissions(readOnly, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
  {
    // Root may write anywhere: the save runs as nobody so the folder's bits count.
    const bool root = geteuid() == 0;
    if (root) {
      ASSERT_EQ(seteuid(65534), 0);
    }
    EnvironmentValue picturesDir("XDG_PICTURES_DIR", readOnly.c_str());
    const std::string printed = Printed([] { EXPECT_FALSE(TakeScreenshot(64, 64)); });
    if (root) {
      ASSERT_EQ(seteuid(0), 0);
    }
    EXPECT_EQ(printed, "Screenshot not saved: cannot make " + (readOnly / "korvalis").string() +
                           ": Permission denied\n");
  }
  // A disk that fills up while the picture is written: the file limit stands in for it.
  const fs::path full = fs::current_path() / "full";
  rlimit old = {};
  getrlimit(RLIMIT_FSIZE, &old);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 1000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  // Noise does not compress: the picture needs far more than the limit.
  std::minstd_rand random(7);
  std::vector<uint8_t> noisy(rgb.size());
  for (uint8_t& value : noisy) value = static_cast<uint8_t>(random() >> 7);
  std::string path, error;
  const bool saved = SaveScreenshot(noisy, 64, 64, full, 1765201812, &path, &error);
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(saved);
  EXPECT_EQ(error, "cannot write " + path + ": File too large");
  EXPECT_TRUE(FilesIn(full).empty()) << "half a picture was left behind";

  // The writer names a full device as such.
  std::FILE* device = std::fopen("/dev/full", "wb");
  ASSERT_NE(device, nullptr);
  EXPECT_FALSE(WritePngRgb(device, noisy.data(), 64, 64, &error));
  std::fclose(device);
  EXPECT_EQ(error, "No space left on device");
}

TEST(Screenshot, ThePicturesFolderIsTheDesktopsOwn) {
  InScratch scratch("screenshot_folders");
  const std::string home = fs::current_path().string();
  EnvironmentValue homeValue("HOME", home.c_str());
  EnvironmentValue config("XDG_CONFIG_HOME", nullptr);
  {
    EnvironmentValue pictures("XDG_PICTURES_DIR", "/srv/shots");
    EXPECT_EQ(PicturesFolder(), "/srv/shots");
  }
  EnvironmentValue pictures("XDG_PICTURES_DIR", nullptr);
  EXPECT_EQ(PicturesFolder(), home + "/Pictures");
  fs::create_directories(home + "/.config");
  struct {
    const char* line;
    std::string expected;
  } cases[] = {
      {"XDG_PICTURES_DIR=\"$HOME/Bilder\"", home + "/Bilder"},
      {"XDG_PICTURES_DIR=\"/data/pictures\"", "/data/pictures"},
      {"XDG_PICTURES_DIR=\"$HOME/\"", home + "/Pictures"},  // the home folder itself: none
      {"XDG_PICTURES_DIR=\"$HOME/Bilder", home + "/Pictures"},
      {"# XDG_PICTURES_DIR=\"/commented\"", home + "/Pictures"},
  };
  for (const auto& c : cases) {
    std::ofstream(home + "/.config/user-dirs.dirs") << "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n" << c.line << "\n";
    EXPECT_EQ(PicturesFolder(), c.expected) << c.line;
  }
  EnvironmentValue noHome("HOME", nullptr);
  EXPECT_EQ(PicturesFolder(), "");
}

}  // namespace
