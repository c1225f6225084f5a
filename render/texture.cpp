// Texture creation: picks a decoder by the file name, uploads the picture to OpenGL
// (mipmapped through GLU, or a single linear level) and frees it. Also reads files whole.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <GL/gl.h>
#include <GL/glu.h>

#include "platform/platform.h"
#include "render/texture.h"

namespace {

// Reads a bitmap for the HUD and effect pictures: "Failed to open DIB file" when the file
// cannot be read, the decoder's message when it cannot be decoded.
std::unique_ptr<ImageData> DecodeBitmapFile(const char* fileName) {
  char openFailure[512];
  std::snprintf(openFailure, sizeof openFailure, "Failed to open DIB file %s.\n", fileName);
  return LoadBmpFile(fileName, openFailure);
}

// The decoders pack rows tight, so uploads without the caller's alignment of 1 would read
// past the rows of a picture whose width * 3 is not a multiple of 4. These uploads keep the
// caller's alignment as it was.
class TightRows {
 public:
  TightRows() {
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &saved_);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  }
  ~TightRows() { glPixelStorei(GL_UNPACK_ALIGNMENT, saved_); }

 private:
  GLint saved_ = 4;
};

}  // namespace

bool ReadWholeFile(const char* fileName, std::vector<uint8_t>* bytes) {
  bytes->clear();
  if (!fileName) return false;
  std::FILE* file = std::fopen(fileName, "rb");
  if (!file) return false;
  uint8_t chunk[65536];
  bool ok = true;
  for (;;) {
    const size_t got = std::fread(chunk, 1, sizeof chunk, file);
    bytes->insert(bytes->end(), chunk, chunk + got);
    if (got < sizeof chunk) {
      ok = !std::ferror(file);  // a directory opens but cannot be read
      break;
    }
  }
  std::fclose(file);
  if (!ok) bytes->clear();
  return ok;
}

bool CreateTexture(Texture& texture, const char* fileName) {
  if (!fileName) return false;
  std::unique_ptr<ImageData> image;
  if (std::strstr(fileName, ".jpg"))
    image = LoadJpg(fileName);
  else if (std::strstr(fileName, ".tga"))
    image = LoadTga(fileName);
  else if (std::strstr(fileName, ".bmp"))
    image = LoadBmp(fileName);
  else
    return false;
  if (!image) return false;

  GLuint name = 0;
  glGenTextures(1, &name);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glBindTexture(GL_TEXTURE_2D, name);
  const GLenum format = image->channels == 4 ? GL_RGBA : GL_RGB;
  if (gluBuild2DMipmaps(GL_TEXTURE_2D, image->channels, image->width, image->height, format,
                        GL_UNSIGNED_BYTE, image->pixels.data()) != 0) {
    glDeleteTextures(1, &name);
    return false;
  }
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
  glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  texture = name;
  return true;
}

void CreateHudTexture(Texture* textures, const char* fileName, int slot) {
  if (!fileName) return;
  std::unique_ptr<ImageData> image = DecodeBitmapFile(fileName);
  if (!image) std::exit(EXIT_FAILURE);  // the overlay cannot be drawn without it

  GLuint name = 0;
  glGenTextures(1, &name);
  textures[slot] = name;
  glBindTexture(GL_TEXTURE_2D, name);
  {
    TightRows tight;
    gluBuild2DMipmaps(GL_TEXTURE_2D, 3, image->width, image->height, GL_RGB, GL_UNSIGNED_BYTE,
                      image->pixels.data());
  }
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
}

bool CreateLinearTexture(Texture& texture, const char* fileName) {
  if (!fileName) return false;
  std::unique_ptr<ImageData> image = DecodeBitmapFile(fileName);
  if (!image) return false;

  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  {
    TightRows tight;
    glTexImage2D(GL_TEXTURE_2D, 0, 3, image->width, image->height, 0, GL_RGB, GL_UNSIGNED_BYTE,
                 image->pixels.data());
  }
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  texture = name;
  return true;
}
