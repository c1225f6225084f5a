// Image decoding (bitmap, Targa, JPEG) and OpenGL texture creation.
// Decoders work from memory and never read past the buffer; the Load* wrappers read a file.
// Rows keep the file's own order: no decoder flips rows.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/texture_records.h"

// Memory decoders: true and a filled image, or false and the message to show in *error.
// An empty message means "no image, say nothing" (a Targa depth the game does not use).
// No decoder allocates more pixels than its file can describe.
bool DecodeBmp(const uint8_t* data, size_t size, ImageData* image, std::string* error,
               const ImageLimits& limits = ImageLimits());
bool DecodeTga(const uint8_t* data, size_t size, ImageData* image, std::string* error,
               const ImageLimits& limits = ImageLimits());
bool DecodeJpg(const uint8_t* data, size_t size, ImageData* image, std::string* error,
               const ImageLimits& limits = ImageLimits());

// File loaders: show "Unable to load BMP File!" (TGA, JPG) when the file cannot be opened,
// or the decoder's message, and return null.
std::unique_ptr<ImageData> LoadBmp(const char* fileName, const ImageLimits& limits = ImageLimits());
// LoadBmp with another message for a file that cannot be read.
std::unique_ptr<ImageData> LoadBmpFile(const char* fileName, const char* openFailure,
                                       const ImageLimits& limits = ImageLimits());
std::unique_ptr<ImageData> LoadTga(const char* fileName, const ImageLimits& limits = ImageLimits());
std::unique_ptr<ImageData> LoadJpg(const char* fileName, const ImageLimits& limits = ImageLimits());
// What the file loaders share: reads the file and decodes it with `decode`; shows
// `openFailure` when the file cannot be read, or the decoder's message (none when empty),
// and returns null.
using ImageDecoder = bool (*)(const uint8_t* data, size_t size, ImageData* image, std::string* error,
                              const ImageLimits& limits);
std::unique_ptr<ImageData> LoadImageFile(const char* fileName, const char* openFailure, const ImageLimits& limits,
                                         ImageDecoder decode);

// Texture creation (GL context current). Pictures larger than the GL implementation's
// largest texture are refused by their decoder.
bool CreateTexture(Texture& texture, const char* fileName);
// False (after the decoder's message) when the bitmap cannot be decoded; the slot is then
// left as it was.
// The upload CreateTexture makes of a decoded picture: a mipmapped texture, minified
// GL_LINEAR_MIPMAP_NEAREST, GL_MODULATE on the active unit. The pixels may grow (see
// BuildMipmaps). False when GLU fails; the reference is then untouched.
bool UploadMipmapped(Texture& texture, ImageData* image);
// The decoders' limits for pictures that become textures (the GL implementation's largest
// side and the pixel budget).
ImageLimits TextureLimits();
bool CreateHudTexture(Texture* textures, const char* fileName, int slot);
bool CreateLinearTexture(Texture& texture, const char* fileName);
// Whether textures keep each texel in four bytes, even without alpha. The software
// renderer stores three-channel texels in three bytes and samples them markedly slower than
// four; the colours are the same either way. Read when textures are made.
extern bool gFourByteTexels;
// The internal format for textures of 3 or 4 channels.
int TexelInternalFormat(int channels);
// Builds the mipmap chain of the bound texture through GLU from tight rows. GLU reads past
// the last row when it rescales a side that is not a power of two, so the buffer gets
// slack first (its size grows; the picture stays the same). False when GLU fails.
bool BuildMipmaps(int channels, int width, int height, std::vector<uint8_t>* pixels);
