// Texture creation: picks a decoder by the file name, uploads the picture to OpenGL
// (mipmapped through GLU, or a single linear level) and frees it. Also reads files whole.
#include <cstdio>
#include <cstring>

#include <GL/gl.h>
#include <GL/glu.h>

#include "platform/files.h"
#include "platform/platform.h"
#include "render/texture.h"

// What the decoders may accept here: no side longer than the GL implementation's largest
// texture (GLU would quietly shrink it, a single level would be refused by GL after the
// whole picture was decoded), and the pixel budget.
ImageLimits TextureLimits() {
  ImageLimits limits;
  GLint side = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &side);
  if (side > 0 && side < limits.maxSide) limits.maxSide = side;
  return limits;
}

namespace {

// Reads a bitmap for the HUD and effect pictures: "Failed to open DIB file" when the file
// cannot be read, the decoder's message when it cannot be decoded.
std::unique_ptr<ImageData> DecodeBitmapFile(const char* fileName) {
  char openFailure[512];
  std::snprintf(openFailure, sizeof openFailure, "Failed to open DIB file %s.\n", fileName);
  return LoadBmpFile(fileName, openFailure, TextureLimits());
}

bool PowerOfTwo(int v) { return v > 0 && (v & (v - 1)) == 0; }

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

bool gFourByteTexels = true;

int TexelInternalFormat(int channels) { return gFourByteTexels ? GL_RGBA8 : channels; }

bool BuildMipmaps(int channels, int width, int height, std::vector<uint8_t>* pixels) {
  // Rescaling to a power of two reads up to a texel beyond the last row (with weight 0):
  // a row and a texel of slack keep those reads inside our buffer.
  if (!PowerOfTwo(width) || !PowerOfTwo(height))
    pixels->resize(size_t(width) * size_t(height) * size_t(channels) +
                   size_t(width + 1) * size_t(channels));
  const GLenum format = channels == 4 ? GL_RGBA : GL_RGB;
  return gluBuild2DMipmaps(GL_TEXTURE_2D, TexelInternalFormat(channels), width, height, format, GL_UNSIGNED_BYTE,
                           pixels->data()) == 0;
}

bool CreateTexture(Texture& texture, const char* fileName) {
  if (!fileName) return false;
  std::unique_ptr<ImageData> image;
  if (std::strstr(fileName, ".jpg"))
    image = LoadJpg(fileName, TextureLimits());
  else if (std::strstr(fileName, ".tga"))
    image = LoadTga(fileName, TextureLimits());
  else if (std::strstr(fileName, ".bmp"))
    image = LoadBmp(fileName, TextureLimits());
  else
    return false;
  return image && UploadMipmapped(texture, image.get());
}

bool UploadMipmapped(Texture& texture, ImageData* image) {
  GLuint name = 0;
  glGenTextures(1, &name);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glBindTexture(GL_TEXTURE_2D, name);
  if (!BuildMipmaps(image->channels, image->width, image->height, &image->pixels)) {
    glDeleteTextures(1, &name);
    return false;
  }
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
  glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  texture = name;
  return true;
}

bool CreateHudTexture(Texture* textures, const char* fileName, int slot) {
  if (!fileName) return true;  // nothing asked for, nothing failed
  std::unique_ptr<ImageData> image = DecodeBitmapFile(fileName);
  if (!image) return false;  // the caller ends start-up through the normal shut-down

  GLuint name = 0;
  glGenTextures(1, &name);
  textures[slot] = name;
  glBindTexture(GL_TEXTURE_2D, name);
  {
    TightRows tight;
    BuildMipmaps(3, image->width, image->height, &image->pixels);
  }
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  return true;
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
    glTexImage2D(GL_TEXTURE_2D, 0, TexelInternalFormat(3), image->width, image->height, 0, GL_RGB, GL_UNSIGNED_BYTE,
                 image->pixels.data());
  }
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  texture = name;
  return true;
}
