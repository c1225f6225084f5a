// Image decoding (bitmap, Targa, JPEG) and OpenGL texture creation.
// Decoders work from memory and never read past the buffer; the Load* wrappers read a file.
// Rows keep the file's own order: no decoder flips rows.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

using Texture = uint32_t;  // an OpenGL texture name; 0 means none

struct ImageData {
  int32_t channels = 0;         // bytes per pixel: 3 (R, G, B) or 4 (R, G, B, A)
  int32_t width = 0;            // pixels per row
  int32_t height = 0;           // rows
  std::vector<uint8_t> pixels;  // width * height * channels, rows packed tight
};

// Largest picture the decoders accept: a side of at most 16384 pixels, and no more than
// maxPixels pixels in all (callers such as fuzzers may lower it).
constexpr int32_t MaxImageSide = 16384;
constexpr int64_t MaxImagePixels = int64_t{MaxImageSide} * MaxImageSide;

// Memory decoders: true and a filled image, or false and the message to show in *error.
// An empty message means "no image, say nothing" (a Targa depth the game does not use).
bool DecodeBmp(const uint8_t* data, size_t size, ImageData* image, std::string* error,
               int64_t maxPixels = MaxImagePixels);
bool DecodeTga(const uint8_t* data, size_t size, ImageData* image, std::string* error,
               int64_t maxPixels = MaxImagePixels);
bool DecodeJpg(const uint8_t* data, size_t size, ImageData* image, std::string* error,
               int64_t maxPixels = MaxImagePixels);

// File loaders: show "Unable to load BMP File!" (TGA, JPG) when the file cannot be opened,
// or the decoder's message, and return null.
std::unique_ptr<ImageData> LoadBmp(const char* fileName);
// LoadBmp with another message for a file that cannot be read.
std::unique_ptr<ImageData> LoadBmpFile(const char* fileName, const char* openFailure);
std::unique_ptr<ImageData> LoadTga(const char* fileName);
std::unique_ptr<ImageData> LoadJpg(const char* fileName);

// Texture creation (GL context current).
bool CreateTexture(Texture& texture, const char* fileName);
// Ends the process with a non-zero status when the bitmap cannot be decoded.
void CreateHudTexture(Texture* textures, const char* fileName, int slot);
bool CreateLinearTexture(Texture& texture, const char* fileName);

// Reads a whole file; false when it cannot be opened or read.
bool ReadWholeFile(const char* fileName, std::vector<uint8_t>* bytes);
