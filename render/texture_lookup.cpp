// Image files by picture name, quiet texture creation and the checker texture.
#include "render/texture_lookup.h"

#include <algorithm>
#include <vector>

#include "platform/files.h"

namespace {

using files::EndsWithNoCase;

enum class ImageKind { None, Jpeg, Targa };

ImageKind KindOf(const std::string& name) {
  if (EndsWithNoCase(name, ".jpg") || EndsWithNoCase(name, ".jpeg")) return ImageKind::Jpeg;
  if (EndsWithNoCase(name, ".tga")) return ImageKind::Targa;
  return ImageKind::None;
}

void FlipRows(ImageData* image) {
  const size_t row = static_cast<size_t>(image->width) * image->channels;
  for (int32_t top = 0, bottom = image->height - 1; top < bottom; ++top, --bottom)
    std::swap_ranges(image->pixels.begin() + top * row, image->pixels.begin() + (top + 1) * row,
                     image->pixels.begin() + bottom * row);
}

std::string WithoutExtension(const std::string& name) { return name.substr(0, name.rfind('.')); }

}  // namespace

std::string FindImageFile(const std::string& name) {
  if (name.empty()) return std::string();
  switch (KindOf(name)) {
    case ImageKind::Jpeg:
      if (files::Exists(name)) return name;
      if (files::Exists(WithoutExtension(name) + ".tga")) return WithoutExtension(name) + ".tga";
      return std::string();
    case ImageKind::Targa:
      if (files::Exists(name)) return name;
      if (files::Exists(WithoutExtension(name) + ".jpg")) return WithoutExtension(name) + ".jpg";
      return std::string();
    case ImageKind::None:
      break;
  }
  if (files::Exists(name + ".jpg")) return name + ".jpg";
  if (files::Exists(name + ".tga")) return name + ".tga";
  return std::string();
}

bool DecodeImageFile(const std::string& fileName, ImageData* image, std::string* error, RowOrder order) {
  const ImageKind kind = KindOf(fileName);
  if (kind == ImageKind::None) {
    *error = "not a .jpg or .tga file";
    return false;
  }
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(fileName.c_str(), &bytes, MaxImageFileBytes)) {
    *error = "cannot be read";
    return false;
  }
  std::string reason;
  const bool decoded = kind == ImageKind::Jpeg
                           ? DecodeJpg(bytes.data(), bytes.size(), image, &reason, TextureLimits())
                           : DecodeTga(bytes.data(), bytes.size(), image, &reason, TextureLimits());
  if (!decoded) {
    *error = reason.empty() ? std::string("an image kind the game does not read") : reason;
    return false;
  }
  // Level texture coordinates take a picture's first row as its bottom, as a Targa stored
  // from its lower left corner keeps it. A JPEG, and a Targa stored from its upper left
  // corner (bit 5 of its descriptor byte), give the top row first: they are turned over, so
  // a picture looks the same whichever kind of file it was found in.
  constexpr size_t TargaDescriptor = 17;
  constexpr uint8_t TargaTopFirst = 0x20;
  const bool topFirst = kind == ImageKind::Jpeg || (bytes.size() > TargaDescriptor && (bytes[TargaDescriptor] & TargaTopFirst));
  if (topFirst && order == RowOrder::BottomFirst) FlipRows(image);
  return true;
}

bool CreateTextureQuietly(Texture& texture, const std::string& fileName, std::string* error, RowOrder order) {
  ImageData image;
  if (!DecodeImageFile(fileName, &image, error, order)) return false;
  if (!UploadMipmapped(texture, &image)) {
    *error = "the picture could not be made into a texture";
    return false;
  }
  return true;
}

bool CreateCheckerTexture(Texture& texture) {
  ImageData image;
  image.channels = 3;
  image.width = CheckerSide;
  image.height = CheckerSide;
  image.pixels.resize(size_t{CheckerSide} * CheckerSide * 3);
  for (int y = 0; y < CheckerSide; ++y)
    for (int x = 0; x < CheckerSide; ++x) {
      const bool lit = ((x / CheckerSquare) + (y / CheckerSquare)) % 2 == 0;
      uint8_t* p = &image.pixels[(size_t(y) * CheckerSide + x) * 3];
      p[0] = lit ? 255 : 0;
      p[1] = 0;
      p[2] = lit ? 255 : 0;
    }
  return UploadMipmapped(texture, &image);
}
