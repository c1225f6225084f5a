// Texture creation on an offscreen GL context: upload formats, mipmaps, filters, the
// extension test, and rows reaching OpenGL in the file's own order.
#include <gtest/gtest.h>
#include <unistd.h>

#include <GL/gl.h>
#include <GL/glu.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "render/texture.h"
#include "support/fake_platform.h"
#include "support/gl_context.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct TempDir {
  std::string path;
  TempDir() {
    char pattern[] = "/tmp/korvalis_textures_XXXXXX";
    path = mkdtemp(pattern);
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  std::string operator/(const std::string& name) const { return path + "/" + name; }
};

void WriteAll(const std::string& path, const Bytes& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

uint8_t Value(int x, int y, int c) { return uint8_t(x * 40 + y * 70 + c * 20 + 5); }

// Uncompressed Targa whose stored pixel (x, y) has R, G, B(, A) = Value(x, y, 0..3).
Bytes MakeTga(int w, int h, int channels) {
  Bytes b(18, 0);
  b[2] = 2;
  b[12] = uint8_t(w);
  b[14] = uint8_t(h);
  b[16] = uint8_t(channels * 8);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      b.insert(b.end(), {Value(x, y, 2), Value(x, y, 1), Value(x, y, 0)});
      if (channels == 4) b.push_back(Value(x, y, 3));
    }
  return b;
}

// 24-bit bitmap with padded rows; stored row y holds Value(x, y, 0..2).
Bytes MakeBmp(int w, int h) {
  const int stride = (w * 3 + 3) / 4 * 4;
  Bytes b(54 + size_t(stride) * h, 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
  };
  b[0] = 'B';
  b[1] = 'M';
  put32(2, uint32_t(b.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, uint32_t(w));
  put32(22, uint32_t(h));
  b[26] = 1;
  b[28] = 24;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < 3; ++c) b[54 + size_t(y) * stride + x * 3 + c] = Value(x, y, 2 - c);
  return b;
}

GLint LevelParameter(int level, GLenum name) {
  GLint v = -1;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, level, name, &v);
  return v;
}

GLint TextureParameter(GLenum name) {
  GLint v = -1;
  glGetTexParameteriv(GL_TEXTURE_2D, name, &v);
  return v;
}

GLint Integer(GLenum name) {
  GLint v = -1;
  glGetIntegerv(name, &v);
  return v;
}

// Level 0 of the bound texture as tight rows, first row = texture row t = 0.
Bytes LevelZero(int w, int h, int channels) {
  Bytes out(size_t(w) * h * channels);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, channels == 4 ? GL_RGBA : GL_RGB, GL_UNSIGNED_BYTE, out.data());
  return out;
}

Bytes Expected(int w, int h, int channels) {
  Bytes out;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < channels; ++c) out.push_back(Value(x, y, c));
  return out;
}

}  // namespace

TEST(CreateTexture, TargaDepthPicksTheUploadFormatAndBuildsMipmaps) {
  GLTestContext gl(64, 64);
  REQUIRE_GL(gl);
  FakePlatform fake;
  TempDir dir;
  for (int channels : {4, 3}) {
    SCOPED_TRACE(channels);
    const std::string file = dir / ("picture" + std::to_string(channels) + ".tga");
    WriteAll(file, MakeTga(4, 2, channels));
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    Texture texture = 0;
    ASSERT_TRUE(CreateTexture(texture, file.c_str()));
    ASSERT_NE(texture, 0u);
    EXPECT_EQ(GLuint(Integer(GL_TEXTURE_BINDING_2D)), texture);
    // Texels are kept in four bytes (an opaque alpha for three channels), which the software
    // renderer samples fastest; without that, the internal format is the channel count
    // (reported as given, or as its named form).
    const GLint format = LevelParameter(0, GL_TEXTURE_INTERNAL_FORMAT);
    if (channels == 4) {
      EXPECT_TRUE(format == 4 || format == GL_RGBA || format == GL_RGBA8) << format;
      EXPECT_GT(LevelParameter(0, GL_TEXTURE_ALPHA_SIZE), 0);
    } else {
      EXPECT_EQ(format, GL_RGBA8);
      gFourByteTexels = false;
      Texture three = 0;
      ASSERT_TRUE(CreateTexture(three, file.c_str()));
      gFourByteTexels = true;
      const GLint threeFormat = LevelParameter(0, GL_TEXTURE_INTERNAL_FORMAT);
      EXPECT_TRUE(threeFormat == 3 || threeFormat == GL_RGB || threeFormat == GL_RGB8) << threeFormat;
      EXPECT_EQ(LevelParameter(0, GL_TEXTURE_ALPHA_SIZE), 0);
      EXPECT_EQ(LevelZero(4, 2, channels), Expected(4, 2, channels));
      glDeleteTextures(1, &three);
      glBindTexture(GL_TEXTURE_2D, texture);
    }
    EXPECT_EQ(LevelZero(4, 2, channels), Expected(4, 2, channels));
    EXPECT_EQ(LevelParameter(1, GL_TEXTURE_WIDTH), 2);  // a mipmap chain
    EXPECT_EQ(LevelParameter(2, GL_TEXTURE_WIDTH), 1);
    EXPECT_EQ(TextureParameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_NEAREST);
    EXPECT_EQ(TextureParameter(GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    GLint mode = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
    EXPECT_EQ(mode, GL_MODULATE);
    EXPECT_EQ(Integer(GL_UNPACK_ALIGNMENT), 1);
    glDeleteTextures(1, &texture);
  }
  // Sizes that are not powers of two are rescaled by the utility library.
  WriteAll(dir / "odd.tga", MakeTga(5, 3, 3));
  Texture odd = 0;
  ASSERT_TRUE(CreateTexture(odd, (dir / "odd.tga").c_str()));
  EXPECT_GT(LevelParameter(0, GL_TEXTURE_WIDTH), 0);
  EXPECT_TRUE(fake.messages.empty());
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST(CreateTexture, ExtensionIsACaseSensitiveSubstringWithJpegFirst) {
  GLTestContext gl(64, 64);
  REQUIRE_GL(gl);
  FakePlatform fake;
  TempDir dir;
  const Bytes tga = MakeTga(4, 2, 3);
  WriteAll(dir / "capital.TGA", tga);
  WriteAll(dir / "no_extension", tga);
  WriteAll(dir / "picture.tga.bak", tga);
  Texture texture = 77;
  EXPECT_FALSE(CreateTexture(texture, (dir / "capital.TGA").c_str()));
  EXPECT_FALSE(CreateTexture(texture, (dir / "no_extension").c_str()));
  EXPECT_FALSE(CreateTexture(texture, nullptr));
  EXPECT_EQ(texture, 77u);
  EXPECT_TRUE(fake.messages.empty());
  EXPECT_TRUE(CreateTexture(texture, (dir / "picture.tga.bak").c_str()));

  // ".jpg" wins over a later ".tga": Targa bytes under such a name go to the JPEG reader.
  WriteAll(dir / "both.jpg.tga", tga);
  texture = 77;
  EXPECT_FALSE(CreateTexture(texture, (dir / "both.jpg.tga").c_str()));
  EXPECT_EQ(texture, 77u);
  EXPECT_EQ(fake.messages, std::vector<std::string>{"Error: Unable to load JPG File!"});
  if (access("/usr/bin/convert", X_OK) == 0) {
    const std::string jpeg = dir / "real.jpg.tga";
    ASSERT_EQ(std::system(("/usr/bin/convert -size 8x8 gradient:red-blue JPG:'" + jpeg + "'").c_str()),
              0);
    ASSERT_TRUE(CreateTexture(texture, jpeg.c_str()));
    EXPECT_EQ(LevelParameter(0, GL_TEXTURE_WIDTH), 8);
  }

  fake.messages.clear();
  EXPECT_FALSE(CreateTexture(texture, (dir / "missing.tga").c_str()));
  EXPECT_FALSE(CreateTexture(texture, (dir / "missing.bmp").c_str()));
  EXPECT_EQ(fake.messages, (std::vector<std::string>{"Error: Unable to load TGA File!",
                                                     "Error: Unable to load BMP File!"}));
}

TEST(CreateLinearTexture, OneLevelWithLinearFiltersAndTightRows) {
  GLTestContext gl(64, 64);
  REQUIRE_GL(gl);
  FakePlatform fake;
  TempDir dir;
  // 5 pixels of 3 bytes: rows the decoder packs tight, whatever the caller's alignment.
  WriteAll(dir / "P1.bmp", MakeBmp(5, 3));
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  Texture texture = 0;
  ASSERT_TRUE(CreateLinearTexture(texture, (dir / "P1.bmp").c_str()));
  EXPECT_EQ(GLuint(Integer(GL_TEXTURE_BINDING_2D)), texture);
  EXPECT_EQ(LevelParameter(0, GL_TEXTURE_WIDTH), 5);
  EXPECT_EQ(LevelParameter(0, GL_TEXTURE_HEIGHT), 3);
  EXPECT_EQ(LevelParameter(1, GL_TEXTURE_WIDTH), 0);  // no mipmaps
  EXPECT_EQ(TextureParameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR);
  EXPECT_EQ(TextureParameter(GL_TEXTURE_MAG_FILTER), GL_LINEAR);
  EXPECT_EQ(LevelZero(5, 3, 3), Expected(5, 3, 3));  // stored (bottom) row first
  EXPECT_EQ(Integer(GL_UNPACK_ALIGNMENT), 4);         // left as the caller had it

  Texture untouched = 9;
  EXPECT_FALSE(CreateLinearTexture(untouched, (dir / "P6.bmp").c_str()));
  EXPECT_FALSE(CreateLinearTexture(untouched, nullptr));
  EXPECT_EQ(untouched, 9u);
  ASSERT_EQ(fake.messages.size(), 1u);
  EXPECT_EQ(fake.messages[0], "Error: Failed to open DIB file " + (dir / "P6.bmp") + ".\n");
}

TEST(CreateHudTexture, WritesItsSlotMipmapped) {
  GLTestContext gl(64, 64);
  REQUIRE_GL(gl);
  FakePlatform fake;
  TempDir dir;
  WriteAll(dir / "hud.bmp", MakeBmp(8, 4));
  Texture slots[6] = {};
  CreateHudTexture(slots, (dir / "hud.bmp").c_str(), 2);
  ASSERT_NE(slots[2], 0u);
  EXPECT_EQ(slots[0], 0u);
  EXPECT_EQ(GLuint(Integer(GL_TEXTURE_BINDING_2D)), slots[2]);
  EXPECT_EQ(LevelParameter(1, GL_TEXTURE_WIDTH), 4);
  EXPECT_EQ(TextureParameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_NEAREST);
  EXPECT_EQ(TextureParameter(GL_TEXTURE_MAG_FILTER), GL_LINEAR);
  EXPECT_EQ(LevelZero(8, 4, 3), Expected(8, 4, 3));
  CreateHudTexture(slots, nullptr, 3);
  EXPECT_EQ(slots[3], 0u);
  EXPECT_TRUE(fake.messages.empty());
}

// GLU reads a texel past the last row when it rescales a side that is not a power of two.
// The texture must not depend on those bytes: it equals what GLU makes from the picture
// followed by zeros and by 0xFF, so the slack changes nothing and the picture is as before.
TEST(CreateTexture, RescaledPicturesDoNotDependOnBytesPastTheRows) {
  GLTestContext gl(64, 64);
  REQUIRE_GL(gl);
  FakePlatform fake;
  TempDir dir;
  struct Size {
    int w, h, channels;
  } sizes[] = {{5, 3, 3}, {100, 60, 3}, {37, 1, 4}, {64, 48, 3}};
  for (const Size& s : sizes) {
    SCOPED_TRACE(std::to_string(s.w) + "x" + std::to_string(s.h));
    const std::string file = dir / "odd.tga";
    WriteAll(file, MakeTga(s.w, s.h, s.channels));
    Texture texture = 0;
    ASSERT_TRUE(CreateTexture(texture, file.c_str()));
    const int w = LevelParameter(0, GL_TEXTURE_WIDTH), h = LevelParameter(0, GL_TEXTURE_HEIGHT);
    const Bytes ours = LevelZero(w, h, s.channels);
    for (uint8_t fill : {0x00, 0xFF}) {
      Bytes padded = Expected(s.w, s.h, s.channels);
      padded.resize(padded.size() + 4096, fill);
      GLuint name = 0;
      glGenTextures(1, &name);
      glBindTexture(GL_TEXTURE_2D, name);
      ASSERT_EQ(gluBuild2DMipmaps(GL_TEXTURE_2D, s.channels, s.w, s.h,
                                  s.channels == 4 ? GL_RGBA : GL_RGB, GL_UNSIGNED_BYTE,
                                  padded.data()),
                0);
      EXPECT_EQ(LevelZero(w, h, s.channels), ours) << int(fill);
      glDeleteTextures(1, &name);
    }
    glDeleteTextures(1, &texture);
  }
  EXPECT_TRUE(fake.messages.empty());
}

// The decoders are told the GL implementation's largest texture: a picture with a longer
// side is refused with the decoder's message, before anything is uploaded.
TEST(CreateTexture, RefusesPicturesLargerThanTheLargestTexture) {
  GLTestContext gl(64, 64);
  REQUIRE_GL(gl);
  FakePlatform fake;
  TempDir dir;
  GLint largest = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
  ASSERT_GT(largest, 0);
  if (largest >= 65535) GTEST_SKIP() << "a Targa side cannot exceed " << largest;
  // A run-length Targa one pixel high and one wider than the largest texture: small on disk.
  Bytes tga(18, 0);
  tga[2] = 10;
  tga[12] = uint8_t((largest + 1) & 0xFF);
  tga[13] = uint8_t((largest + 1) >> 8);
  tga[14] = 1;
  tga[16] = 24;
  for (int left = largest + 1; left > 0; left -= 128)
    tga.insert(tga.end(), {uint8_t(127 + (left < 128 ? left : 128)), 1, 2, 3});
  WriteAll(dir / "wide.tga", tga);
  Texture texture = 5;
  EXPECT_FALSE(CreateTexture(texture, (dir / "wide.tga").c_str()));
  EXPECT_EQ(texture, 5u);
  EXPECT_EQ(fake.messages, std::vector<std::string>{"Error: Unable to load TGA File!"});
  // With a limit one longer the same picture decodes.
  ImageData image;
  std::string error;
  ImageLimits limits;
  limits.maxSide = largest + 1;
  EXPECT_TRUE(DecodeTga(tga.data(), tga.size(), &image, &error, limits)) << error;
}
